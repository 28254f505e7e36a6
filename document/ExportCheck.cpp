// The pre-save check: validation without the crossing search, then the
// unbudgeted crossing search, the fold test on every triangle, the base plane
// test on every vertex and the printability check. The fold and base passes
// run in chunks on all threads; the others bring their own parallelism.
#include "document/ExportCheck.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "mesh/ParallelChunks.h"
#include "relief/repair/FixBuildingBlocks.h"
#include "relief/validation/Printability.h"
#include "relief/validation/KnownCrossings.h"
#include "relief/validation/ValidateMesh.h"
#include "text/Format.h"
#include "text/NumberText.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {


// Milliseconds since the last lap.
class Stopwatch {
public:
    double Lap() {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - last_).count();
        last_ = now;
        return ms;
    }

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

constexpr std::wstring_view kNotePrefix = L"  note    ";
constexpr std::wstring_view kNotCheckedPrefix = L"  -       ";

std::wstring Count(std::uint64_t value) { return WideFromUtf8(FormatCount(value)); }

std::wstring Fixed(double value, int decimals) { return WideFromUtf8(FormatFixed(value, decimals)); }

void NoteLine(std::wstring& text, const std::wstring& line) {
    text += kNotePrefix;
    text += line;
    text += L"\r\n";
}

void CheckValidation(const mesh::TriangleMesh& m, std::wstring& text, bool& all) {
    const mesh::ValidationOptions options{0.001f, false, false, 40'000'000};
    const mesh::ValidationReport v = mesh::ValidateMesh(m, options);
    ExportCheckLine(text, all, v.edges.openBoundaryEdges == 0,
                    Count(v.edges.openBoundaryEdges) + L" open edges (watertight when zero)");
    ExportCheckLine(text, all, v.edges.nonManifoldEdges == 0, Count(v.edges.nonManifoldEdges) + L" non-manifold edges");
    ExportCheckLine(text, all, v.degenerateTriangles == 0, Count(v.degenerateTriangles) + L" triangles with no area");
    ExportCheckLine(text, all, v.reversedTriangles.empty(),
                    Count(v.reversedTriangles.size()) + L" triangles wound the wrong way");
    ExportCheckLine(text, all, !v.insideOut, L"the body is the right way out");
    // Only a failure gets a line: a sound part's report reads as it always did.
    if (v.bodiesWithoutVolume > 0) {
        ExportCheckLine(
            text, all, false,
            Count(v.bodiesWithoutVolume) + L" bodies enclose no volume (flat, or two sides lying on each other)");
    }
}

void CheckCrossings(const mesh::TriangleMesh& m, std::wstring& text, bool& all) {
    bool stoppedEarly = false;
    const std::vector<std::uint32_t> crossing = mesh::CrossingTriangles(m, &stoppedEarly);
    ExportCheckLine(text, all, crossing.empty() && !stoppedEarly,
                    Count(crossing.size()) + L" triangles passing through others");
}

std::uint64_t CountFolded(const mesh::TriangleMesh& m) {
    if (!mesh::IsValidMesh(m) || m.indices.empty()) return 0;
    const mesh::VertexAdjacency adjacency = mesh::BuildVertexAdjacency(m);
    const std::vector<mesh::Vec3d> sums = mesh::CornerNormalSums(m, adjacency);
    std::atomic<std::uint64_t> folded{0};
    mesh::ForEachChunk(m.TriangleCount(), mesh::kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t here = 0;
        for (std::size_t t = begin; t < end; ++t)
            here += mesh::IsFoldedTriangle(m, sums, static_cast<std::uint32_t>(t));
        folded += here;
    });
    return folded;
}

struct BaseDepths {
    std::uint64_t count = 0;
    float deepest = 0.0f;
};

// Vertices past the plane by more than the allowance, on the side away from the part.
BaseDepths MeasureBase(const mesh::TriangleMesh& m, const mesh::DisplacementBase& base) {
    const int axis = std::clamp(base.axis, 0, 2);
    std::atomic<std::uint64_t> count{0};
    std::mutex guard;
    float deepest = 0.0f;
    mesh::ForEachChunk(m.vertices.size(), mesh::kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t here = 0;
        float deepestHere = 0.0f;
        for (std::size_t v = begin; v < end; ++v) {
            const float coordinate = m.vertices[v].position[axis];
            const float depth =
                base.protectBelow ? base.planeMillimetres - coordinate : coordinate - base.planeMillimetres;
            if (depth > kBasePlaneAllowanceMillimetres) {
                ++here;
                deepestHere = std::max(deepestHere, depth);
            }
        }
        count += here;
        const std::lock_guard<std::mutex> lock(guard);
        deepest = std::max(deepest, deepestHere);
    });
    return {count, deepest};
}

void CheckBase(const mesh::TriangleMesh& m, const mesh::DisplacementBase& base, std::wstring& text, bool& all) {
    if (!base.enabled) {
        text += kNotCheckedPrefix;
        text += L"base protection is off; nothing checked below the part\r\n";
        return;
    }
    const BaseDepths depths = MeasureBase(m, base);
    if (depths.count > 0) {
        ExportCheckLine(text, all, false,
                        Count(depths.count) + L" vertices below the base plane, the deepest by " +
                            Fixed(depths.deepest, 4) + L" mm");
    } else {
        ExportCheckLine(text, all, true, L"nothing below the base plane");
    }
}

void CheckSupport(const mesh::TriangleMesh& m, const mesh::DisplacementBase& base, std::wstring& text, bool& all) {
    mesh::PrintabilitySettings settings;
    settings.buildAxis = std::clamp(base.axis, 0, 2);
    settings.collectHighlights = false;
    const mesh::PrintabilityReport report = mesh::CheckPrintability(m, settings);
    if (!report.checked) return;
    if (!report.featuresInAir.empty()) {
        const mesh::PrintabilityIssue& first = report.featuresInAir.front();
        NoteLine(text, Count(report.featuresInAir.size()) +
                           L" feature(s) need support: nothing beneath them (the first at " + Fixed(first.x, 1) +
                           L", " + Fixed(first.y, 1) + L", " + Fixed(first.z, 1) + L")");
    } else {
        ExportCheckLine(text, all, true, L"nothing needs support");
    }
    if (!report.farReaches.empty()) {
        NoteLine(text, Count(report.farReaches.size()) + L" layer(s) reach up to " +
                           Fixed(report.longestReachMillimetres, 1) + L" mm past the layer below; support recommended");
    }
}

}  // namespace

void ExportCheckLine(std::wstring& text, bool& allPassed, bool ok, const std::wstring& line) {
    text += ok ? L"  ok      " : L"  PROBLEM ";
    text += line;
    text += L"\r\n";
    if (!ok) allPassed = false;
}

bool ExportCheckReport(const mesh::TriangleMesh& mesh, const mesh::DisplacementBase& base, std::wstring& text) {
    ExportCheckTimes times;
    return ExportCheckReport(mesh, base, text, times);
}

bool ExportCheckReport(const mesh::TriangleMesh& mesh, const mesh::DisplacementBase& base, std::wstring& text,
                       ExportCheckTimes& times) {
    text = L"Before saving:\r\n";
    bool allPassed = true;
    // Every other line would pass on these without having checked anything.
    if (mesh.indices.empty()) {
        ExportCheckLine(text, allPassed, false, L"nothing is left to save: the mesh has no triangles");
        return allPassed;
    }
    if (!mesh::IsValidMesh(mesh)) {
        ExportCheckLine(text, allPassed, false, L"the mesh has indices that do not refer to a vertex");
        return allPassed;
    }
    Stopwatch clock;
    CheckValidation(mesh, text, allPassed);
    times.validation = clock.Lap();
    CheckCrossings(mesh, text, allPassed);
    times.crossings = clock.Lap();
    if (const std::uint64_t folded = CountFolded(mesh); folded > 0)
        NoteLine(text, Count(folded) + L" triangles folded over (a problem where they also cross)");
    times.folds = clock.Lap();
    CheckBase(mesh, base, text, allPassed);
    times.base = clock.Lap();
    CheckSupport(mesh, base, text, allPassed);
    times.support = clock.Lap();
    return allPassed;
}

}  // namespace ridgeforge
