// The commands that change the part as loaded: Repair, Repair with Windows,
// Simplify Input Mesh and Remesh Input Mesh.
//
// They run their work on a thread of their own over a copy, while the host
// keeps the windows painting and watches Escape (DocumentHost::WaitForJob);
// only after the join does the copy replace the part, so a stop or a failure
// leaves the part exactly as it was.
#include <algorithm>
#include <chrono>
#include <exception>
#include <future>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "mesh/remesh/Remesh.h"
#include "relief/repair/Repair.h"
#include "relief/repair/WindowsRepair.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "relief/validation/ValidateMesh.h"

namespace ridgeforge {

namespace {

// A changed part is validated with the self-intersection search on.
mesh::ValidationOptions ToolValidation() { return mesh::ValidationOptions{0.001f, true, false, 40'000'000}; }

// The job's progress callback: go on while nobody asked to stop.
mesh::ProgressCallback StopFlagProgress(const std::atomic<bool>& stop) {
    return [&stop](const std::string&, float) { return !stop.load(); };
}

// Each line of a report on a log line of the caller's kind; the prefix goes
// before the first.
void LogLines(CRidgeforgeDoc& doc, const CString& prefix, const std::string& utf8, LogKind kind) {
    const CString text = Utf8ToCString(utf8);
    CString lead = prefix;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(L'\n', start), text.size());
        doc.Log(lead + text.substr(start, end - start), kind);
        lead.clear();
        start = end + 1;
    }
}

}  // namespace

bool CRidgeforgeDoc::RunWithProgress(const std::function<void(const std::atomic<bool>&)>& job,
                                     const std::function<void(const std::atomic<bool>&)>& onTick) {
    std::atomic<bool> stop{false};
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    // A job that throws ends its thread through the promise rather than
    // terminating the program; the exception is raised again here.
    std::thread worker;
    try {
        worker = std::thread([&job, &stop, &finished] {
            try {
                job(stop);
                finished.set_value();
            } catch (...) {
                finished.set_exception(std::current_exception());
            }
        });
    } catch (const std::system_error&) {
        // No thread could start (no memory for its stack under an
        // address-space limit, or none left): the job runs here, and the
        // window waits for it without its ticks.
        job(stop);
        return stop.load();
    }
    DocumentHost* host = Host();
    if (host == nullptr) {
        done.wait();
    } else {
        document_internal::WaitCursor wait(host);
        std::function<void()> tick;
        if (onTick) tick = [&onTick, &stop] { onTick(stop); };
        host->WaitForJob([&done] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, tick,
                         stop);
    }
    worker.join();
    done.get();
    return stop.load();
}

void CRidgeforgeDoc::AdoptChangedPart(mesh::TriangleMesh changed) {
    mesh::TriangleMesh previous = std::move(partAsLoaded);
    partAsLoaded = std::move(changed);
    try {
        ReplaceInputMesh();
    } catch (const std::bad_alloc&) {
        // Back to the part as it was; the changed one is let go first, so the
        // rebuild needs no more memory than the document held before.
        partAsLoaded = std::move(previous);
        ReplaceInputMesh();
        throw;
    }
    previous = mesh::TriangleMesh{};
    partChanged = true;
    SetModifiedFlag(true);
    // The part object stays the same and may keep its index count.
    meshInfoCache.valid = false;
    partValidation = mesh::ValidateMesh(ShownMesh(), ToolValidation());
    LogText(mesh::FormatValidationReport(partValidation));
    UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
}

bool CRidgeforgeDoc::RunToolJob(const CString& name, const std::function<void(const std::atomic<bool>&)>& job,
                                bool* stopAsked) {
    try {
        const bool stopped = RunWithProgress(job);
        if (stopAsked != nullptr) *stopAsked = stopped;
        return true;
    } catch (const std::bad_alloc&) {
        ClearInformationPane();
        ReportOutOfMemory(L"finish " + name, L"The part is as it was.");
        return false;
    } catch (const std::exception& error) {
        ClearInformationPane();
        Log(name + L" failed: " + Utf8ToCString(error.what()) + L". The part is as it was.", LogKind::Error);
        ShowInformation(name + L" could not finish.\n" + Utf8ToCString(error.what()), InfoKind::Problem);
        return false;
    }
}

void CRidgeforgeDoc::OnRepair() {
    GuardMemory(L"repair the part", L"The part is as it was.", [this] {
        RepairCommand();
        return true;
    });
}

void CRidgeforgeDoc::RepairCommand() {
    if (!HasPart()) return;
    // The part as loaded is what Repair changes: after a Process the shown
    // report describes the relief, not this part.
    if (partValidation.problems.empty() && partValidation.componentCount < 2) {
        ShowInformation(L"Validation found nothing to repair.", InfoKind::Good);
        return;
    }
    if (Host() == nullptr) return;
    const CString question =
        L"Repair the part as loaded?\n\nRepair welds corners, removes empty, duplicate and double-skinned "
        L"triangles, turns wrongly wound ones, splits non-manifold edges where two solids touch, closes small gaps "
        L"where triangles are missing (holes in the design are kept) and removes crumbs too small to print. It "
        L"does not move the surface, so triangles passing through others are left for Save STL.\n\nIt replaces "
        L"the part as loaded; open the file again to get the original back.";
    if (Host()->AskQuestion(question, QuestionButtons::YesNo, QuestionIcon::Question) != QuestionAnswer::Yes) return;
    if (RepairMeshInPlace()) Host()->ShowOutputPane();
}

bool CRidgeforgeDoc::RepairMeshInPlace() {
    if (!HasPart()) return false;
    document_internal::WaitCursor wait(Host());
    mesh::TriangleMesh copy = partAsLoaded;
    ShowInformation(L"Repairing the part.", InfoKind::Good);
    mesh::RepairReport report;
    // No callback: a repair runs to its end.
    if (!RunToolJob(L"Repair", [&copy, &report](const std::atomic<bool>&) { report = mesh::RepairMesh(copy, {}); })) {
        return false;
    }
    ClearInformationPane();
    LogText(mesh::FormatRepairSummary(report));
    if (report.refusedAsEmpty) {
        ShowInformation(L"Repair would have removed every triangle of this part, so nothing was changed.",
                        InfoKind::Problem);
        return false;
    }
    if (!report.changed) {
        ShowInformation(
            L"Nothing was changed. What is wrong with this part is not something Repair mends: large holes are not "
            L"filled, and triangles passing through others are mended when the part is saved.",
            InfoKind::Good);
        return false;
    }
    AdoptChangedPart(std::move(copy));

    CString text = FormatText(
        "Repaired: open edges %llu to %llu, non-manifold edges %llu to %llu, bodies %llu to %llu.",
        static_cast<unsigned long long>(report.openBefore), static_cast<unsigned long long>(report.openAfter),
        static_cast<unsigned long long>(report.nonManifoldBefore),
        static_cast<unsigned long long>(report.nonManifoldAfter), static_cast<unsigned long long>(report.bodiesBefore),
        static_cast<unsigned long long>(report.bodiesAfter));
    if (report.openAfter > 0) {
        if (report.holesLeftOpen > 0) {
            text += FormatText(
                "\n%llu open edges are left: %llu hole(s) up to %.1f mm across, too large to close by "
                "guessing.",
                static_cast<unsigned long long>(report.openAfter),
                static_cast<unsigned long long>(report.holesLeftOpen),
                static_cast<double>(report.largestOpenHoleMillimetres));
        } else {
            text += FormatText("\n%llu open edges are left.", static_cast<unsigned long long>(report.openAfter));
        }
    }
    if (report.nonManifoldAfter > 0) {
        text += FormatText("\n%llu non-manifold edges are left, which no split could part.",
                           static_cast<unsigned long long>(report.nonManifoldAfter));
    }
    if (partValidation.selfIntersectingTriangles > 0) {
        text += FormatText(
            "\n%llu triangles pass through others: Repair does not move the surface; Save STL mends "
            "those.",
            static_cast<unsigned long long>(partValidation.selfIntersectingTriangles));
    }
    const bool left = report.openAfter > 0 || report.nonManifoldAfter > 0;
    ShowInformation(text, left ? InfoKind::Caution : InfoKind::Good);
    return true;
}

void CRidgeforgeDoc::OnRepairWithWindows() {
    GuardMemory(L"repair the part", L"The part is as it was.", [this] {
        RepairWithWindowsCommand();
        return true;
    });
}

void CRidgeforgeDoc::RepairWithWindowsCommand() {
    if (!HasPart() || Host() == nullptr) return;
    const CString question =
        L"Fix the mesh with the Windows repair service?\n\nWindows repair closes the surface and eliminates "
        L"non-manifold edges, but it does not fix self-intersections, so it is better suited to broken STLs than "
        L"to a textured relief.\n\nIt replaces the part as loaded, and on a large part it can take a minute or more "
        L"(Esc stops it).";
    if (Host()->AskQuestion(question, QuestionButtons::YesNo, QuestionIcon::Question) != QuestionAnswer::Yes) return;
    if (FixMeshWithWindows()) Host()->ShowOutputPane();
}

void CRidgeforgeDoc::OnUpdateRepairWithWindows(CommandState& state) const {
    state.enabled = HasPart() && mesh::IsWindowsRepairAvailable();
}

bool CRidgeforgeDoc::FixMeshWithWindows() {
    if (!HasPart()) return false;
    if (!mesh::IsWindowsRepairAvailable()) {
        ShowInformation(Utf8ToCString(mesh::kWindowsRepairUnavailable), InfoKind::Problem);
        return false;
    }
    const mesh::TriangleMesh copy = partAsLoaded;
    Log(L"Repair with Windows: " + FormatWithThousands(copy.TriangleCount()) +
            L" triangles to the Windows repair service. Esc stops it.",
        LogKind::Auto);
    ShowInformation(L"Fixing the mesh with the Windows repair service. Esc stops it.", InfoKind::Good);
    mesh::WindowsRepairResult result;
    const bool ran = RunToolJob(L"Repair with Windows", [&copy, &result](const std::atomic<bool>& stop) {
        result = mesh::RepairMeshWithWindows(copy, &stop);
    });
    // A failed job has cleared the progress line and said why.
    if (!ran) return false;
    ClearInformationPane();
    if (result.cancelled) {
        Log(L"Repair with Windows: stopped. The part is as it was.", LogKind::Warning);
        return false;
    }
    if (!result.succeeded) {
        const CString message = Utf8ToCString(result.message);
        Log(L"Repair with Windows failed: " + message, LogKind::Error);
        ShowInformation(L"The Windows repair service could not fix this mesh.\n" + message, InfoKind::Problem);
        return false;
    }
    const mesh::ValidationReport before = mesh::ValidateMesh(copy, ToolValidation());
    const mesh::ValidationReport after = mesh::ValidateMesh(result.mesh, ToolValidation());
    Log(FormatText("Repair with Windows: done in %.1f s. Triangles ", result.seconds) +
            FormatWithThousands(copy.TriangleCount()) + L" to " + FormatWithThousands(result.mesh.TriangleCount()) +
            FormatText("; open edges %llu to %llu; non-manifold edges %llu to %llu; triangles passing through others "
                       "%llu to %llu; volume %.2f to %.2f cubic mm.",
                       static_cast<unsigned long long>(before.edges.openBoundaryEdges),
                       static_cast<unsigned long long>(after.edges.openBoundaryEdges),
                       static_cast<unsigned long long>(before.edges.nonManifoldEdges),
                       static_cast<unsigned long long>(after.edges.nonManifoldEdges),
                       static_cast<unsigned long long>(before.selfIntersectingTriangles),
                       static_cast<unsigned long long>(after.selfIntersectingTriangles),
                       static_cast<double>(before.signedVolume), static_cast<double>(after.signedVolume)),
        LogKind::Good);
    AdoptChangedPart(std::move(result.mesh));
    return true;
}

void CRidgeforgeDoc::OnSimplifyInputMesh() {
    GuardMemory(L"simplify the part", L"The part is as it was.", [this] {
        SimplifyInputMeshCommand();
        return true;
    });
}

void CRidgeforgeDoc::SimplifyInputMeshCommand() {
    if (!HasPart() || Host() == nullptr) return;
    const float level = simplifySettings.meshDetailError;
    const std::string name = mesh::DetailLevelName(level);
    const CString levelText = name.empty() ? FormatText("%g", static_cast<double>(level))
                                           : FormatText("%s (%g)", name.c_str(), static_cast<double>(level));
    const CString question = L"Simplify the loaded part?\n\nIt has " +
                             FormatWithThousands(partAsLoaded.TriangleCount()) +
                             L" triangles. Its whole surface is simplified at detail level " + levelText +
                             L", the level set in Simplify Settings; the face on the bed stays as it is.\n\nThe "
                             L"simplified part replaces the part as loaded; open the file again to get the original "
                             L"back.";
    if (Host()->AskQuestion(question, QuestionButtons::YesNo, QuestionIcon::Question) != QuestionAnswer::Yes) return;
    if (SimplifyInputMesh()) Host()->ShowOutputPane();
}

bool CRidgeforgeDoc::SimplifyInputMesh() {
    if (!HasPart()) return false;
    // Simplified as it stands on the bed, so the bed face is recognised.
    mesh::TriangleMesh copy = partAsLoaded;
    const bool placed = !orientation.IsIdentity();
    if (placed) mesh::ApplyTransform(copy, orientation);
    const mesh::MeshSimplifyOptions options{simplifySettings.meshDetailError, 0, 2, 78.0f, true, nullptr, 0.0f};
    const std::uint64_t before = copy.TriangleCount();
    Log(L"Simplify Input Mesh: " + FormatWithThousands(before) +
            FormatText(" triangles at detail level %g. Esc stops it.",
                       static_cast<double>(simplifySettings.meshDetailError)),
        LogKind::Auto);
    ShowInformation(L"Simplifying the loaded part. Esc stops it.", InfoKind::Good);
    mesh::SimplifyReport report;
    bool stopAsked = false;
    const bool ran = RunToolJob(
        L"Simplify Input Mesh",
        [&copy, &report, &options](const std::atomic<bool>& stop) {
            report = mesh::SimplifyMesh(copy, options, StopFlagProgress(stop));
        },
        &stopAsked);
    // A failed job has cleared the progress line and said why.
    if (!ran) return false;
    ClearInformationPane();
    if (report.stopped || stopAsked) {
        Log(L"Simplify Input Mesh: stopped. The part is as it was.", LogKind::Warning);
        return false;
    }
    Log(L"Simplify Input Mesh: " + Utf8ToCString(mesh::FormatSimplifyReport(report)), LogKind::Good);
    if (copy.TriangleCount() >= before) {
        ShowInformation(L"Nothing to simplify at this detail level: no merge was cheap enough.", InfoKind::Good);
        return false;
    }
    if (placed) mesh::ApplyTransform(copy, orientation.Inverse());
    AdoptChangedPart(std::move(copy));
    return true;
}

void CRidgeforgeDoc::OnRemeshInputMesh() {
    GuardMemory(L"remesh the part", L"The part is as it was.", [this] {
        RemeshInputMeshCommand();
        return true;
    });
}

void CRidgeforgeDoc::RemeshInputMeshCommand() {
    if (!HasPart() || Host() == nullptr) return;
    mesh::RemeshSettings chosen = remeshSettings;
    if (!Host()->RunRemeshInputDialog(remeshSettings, partAsLoaded, maximumTriangles, chosen)) return;
    const bool methodChanged = remeshSettings.method != chosen.method;
    remeshSettings.method = chosen.method;
    if (RemeshInputMesh(chosen)) {
        Host()->ShowOutputPane();
    } else if (methodChanged) {
        OnSettingsChanged();
    }
}

bool CRidgeforgeDoc::RemeshInputMesh(const mesh::RemeshSettings& settings) {
    if (!HasPart()) return false;
    mesh::TriangleMesh copy = partAsLoaded;
    const bool placed = !orientation.IsIdentity();
    if (placed) mesh::ApplyTransform(copy, orientation);
    // The limit Process keeps: a remesh far past it would run until memory ran out.
    if (maximumTriangles != 0) {
        const std::uint64_t estimate = mesh::EstimateRemesh(copy, settings).expectedTotal;
        if (estimate > maximumTriangles) {
            const CString text = L"Remesh Input Mesh: about " + FormatWithThousands(estimate) +
                                 L" triangles, which is over the limit. Nothing was changed; use a larger triangle "
                                 L"size.";
            Log(text, LogKind::Error);
            ShowInformation(text, InfoKind::Problem);
            return false;
        }
    }
    Log(L"Remesh Input Mesh: " + FormatWithThousands(copy.TriangleCount()) +
            FormatText(" triangles at %g mm. Esc stops it.", static_cast<double>(settings.targetEdgeMillimetres)),
        LogKind::Auto);
    ShowInformation(L"Remeshing the loaded part. Esc stops it.", InfoKind::Good);
    mesh::RemeshReport report;
    bool stopAsked = false;
    const bool ran = RunToolJob(
        L"Remesh Input Mesh",
        [&copy, &report, &settings](const std::atomic<bool>& stop) {
            report = mesh::Remesh(copy, settings, StopFlagProgress(stop));
        },
        &stopAsked);
    // A failed job has cleared the progress line and said why.
    if (!ran) return false;
    ClearInformationPane();
    if (report.cancelled || stopAsked) {
        Log(L"Remesh Input Mesh: stopped. The part is as it was.", LogKind::Warning);
        return false;
    }
    // A contouring that produced nothing usable leaves the mesh as it was:
    // the part must not be marked changed, nor the run logged as a success.
    if (!report.failure.empty()) {
        LogLines(*this, CString(), mesh::FormatRemeshReport(report), LogKind::Error);
        ShowInformation(L"The part could not be remeshed.\n" + Utf8ToCString(report.failure), InfoKind::Problem);
        return false;
    }
    LogLines(*this, L"Remesh Input Mesh: ", mesh::FormatRemeshReport(report), LogKind::Good);
    if (placed) mesh::ApplyTransform(copy, orientation.Inverse());
    AdoptChangedPart(std::move(copy));
    return true;
}

}  // namespace ridgeforge
