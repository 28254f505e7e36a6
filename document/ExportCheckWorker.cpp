// The export check's rounds. The read-back replaces the mesh with what a
// slicer would see (welded float corners, no degenerate facets), so each
// later round cleans and fixes exactly what would be written.
#include "document/ExportCheckWorker.h"

#include <chrono>
#include <cstdio>
#include <limits>

#include "relief/repair/Repair.h"
#include "relief/validation/KnownCrossings.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

// The same six counts under which the cleanup's own text says "nothing to clean up".
bool CleanupDidNothing(const mesh::ExportCleanupReport& r) {
    return r.verticesMerged == 0 && r.collapsedTrianglesDropped == 0 && r.fillTriangles == 0 &&
           r.collapsesRefused == 0 && r.zeroAreaTrianglesLeft == 0 && r.holesLeftOpen == 0;
}

bool AnyFix(const mesh::ExportFixOptions& f) {
    return f.splitNonManifoldEdges || f.unfoldTriangles || f.resolveSelfIntersections || f.removeCrumbs;
}

std::wstring Printed(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return WideFromUtf8(text);
}

std::wstring ReadBackLine(const mesh::SlicerReadBackReport& r, bool fixedAgain, bool nothingLeft) {
    // A slicer refuses a file with nothing in it as surely as a broken one.
    if (nothingLeft) return L"Read back as a slicer reads it: no triangles are left.\r\n";
    if (r.overSharedEdges == 0 && r.openEdges == 0 && r.facetsWithNoArea == 0) {
        return Printed("Read back as a slicer reads it: %llu triangles, nothing a slicer would refuse.\r\n",
                       static_cast<unsigned long long>(r.trianglesReadBack));
    }
    return Printed(
        "Read back as a slicer reads it: %llu non-manifold edges, %llu open edges, %llu facets with no "
        "area%s\r\n",
        static_cast<unsigned long long>(r.overSharedEdges), static_cast<unsigned long long>(r.openEdges),
        static_cast<unsigned long long>(r.facetsWithNoArea), fixedAgain ? " - fixed again." : ".");
}

// Every line break as CR LF, whatever the texts it was built from used.
std::wstring WithCrLf(const std::wstring& text) {
    std::wstring lf;
    lf.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
        lf += text[i];
    }
    std::wstring out;
    out.reserve(lf.size() + lf.size() / 16);
    for (const wchar_t c : lf) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

ExportCheckResult Stopped() {
    ExportCheckResult result;
    result.stopped = true;
    return result;
}

void Say(const ExportStageCallback& stage, const std::wstring& text) {
    if (stage) stage(text);
}

}  // namespace

ExportCheckResult RunExportCheck(mesh::TriangleMesh mesh, const ExportCheckInputs& inputs,
                                 const ExportStageCallback& stage, const ExportCheckFunction& check,
                                 const std::atomic<bool>& stop, const ExportCheckSteps& steps) {
    const auto start = std::chrono::steady_clock::now();
    // The fixes and the check function both search the whole mesh for
    // crossings; when nothing changed it in between, the second search is
    // answered from the first.
    const mesh::KnownCrossingsScope knownCrossings;
    ExportCheckResult result;
    const bool fixesOn = AnyFix(inputs.fixes);
    std::uint64_t previousCrossing = std::numeric_limits<std::uint64_t>::max();
    const mesh::FixStageCallback fixStage = [&](const char* name) { Say(stage, WideFromUtf8(name) + L"..."); };
    std::wstring& report = result.report;

    for (int round = 1; round <= kExportCheckRounds; ++round) {
        if (stop.load()) return Stopped();
        Say(stage, round == 1 ? L"Cleaning up the mesh..." : L"Fixing what the reading found...");
        const mesh::ExportCleanupReport cleanup =
            steps.cleanup ? steps.cleanup(mesh, inputs.weldToleranceMillimetres, inputs.cleanup)
                          : mesh::CleanupForExport(mesh, inputs.weldToleranceMillimetres, inputs.cleanup);
        mesh.RecomputeBounds();
        if (round == 1) {
            report = CleanupDidNothing(cleanup)
                         ? std::wstring(L"Cleanup: nothing to do.\r\n\r\n")
                         : L"Cleanup:\r\n" + WideFromUtf8(mesh::FormatExportCleanupReport(cleanup)) + L"\r\n";
            result.cleanup = cleanup;
        }

        bool crossingRan = false;
        std::uint64_t crossingLeft = 0;
        if (fixesOn) {
            mesh::ExportFixReport fixes = steps.fixes
                                              ? steps.fixes(mesh, inputs.fixes, fixStage, inputs.bodyCount)
                                              : mesh::FixMeshForExport(mesh, inputs.fixes, fixStage, inputs.bodyCount);
            crossingRan = fixes.selfIntersectionsRan;
            crossingLeft = fixes.selfIntersectingLeft;
            if (round == 1) {
                report += L"Fixes:\r\n" + WideFromUtf8(mesh::FormatExportFixReport(fixes)) + L"\r\n";
                result.fixes = std::move(fixes);
            }
        }

        Say(stage, L"Reading the file back as a slicer will...");
        const mesh::SlicerReadBackReport readBack =
            steps.readBack ? steps.readBack(mesh) : mesh::CheckSlicerReadBack(mesh);
        report += ReadBackLine(readBack, fixesOn && round < kExportCheckRounds, mesh.indices.empty());
        if (!fixesOn) break;
        const bool clean = readBack.overSharedEdges == 0 && readBack.openEdges == 0 && readBack.facetsWithNoArea == 0;
        if (clean) {
            // A clean read-back goes round again only while the crossing count still falls.
            if (!crossingRan || crossingLeft == 0 || crossingLeft >= previousCrossing) break;
            if (round < kExportCheckRounds) {
                report += Printed("%llu triangles still pass through others - fixed again.\r\n",
                                  static_cast<unsigned long long>(crossingLeft));
            }
        }
        if (crossingRan) previousCrossing = crossingLeft;
    }
    report += L"\r\n";

    if (stop.load()) return Stopped();
    Say(stage, L"Checking the file: edges, crossings, how it prints...");
    if (check) {
        std::wstring checkText;
        result.checksPassed = check(mesh, checkText);
        report += checkText;
    }
    report = WithCrLf(report);
    result.mesh = std::move(mesh);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

}  // namespace ridgeforge
