// The scripted shell of the export and input-mesh tool tests: the export
// check dialog, the Remesh Input Mesh dialog, the stop key and the window in
// front are scripted on top of FakeHost. The export dialog runs the real
// check worker on a thread of its own, as the dialog does, and then answers
// as told.
#pragma once

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>

#include "document/ExportCheckWorker.h"
#include "tests/document/FakeHost.h"

namespace ridgeforge::test {

class ToolHost : public FakeHost {
public:
    // The export dialog: what it was given, what its worker made, and how it
    // ends. `adjustOptions` plays the user changing the options before the
    // check that is kept.
    std::vector<ExportDialogRequest> exportRequests;
    std::vector<ExportCheckResult> exportChecks;
    std::vector<std::wstring> exportStages;
    bool exportAnswer = true;
    std::function<void(mesh::ExportCleanupOptions&, mesh::ExportFixOptions&)> adjustOptions;

    std::optional<mesh::RemeshSettings> remeshChoice;
    std::vector<mesh::RemeshSettings> remeshStarts;
    std::vector<std::uint64_t> remeshLimits;

    // Escape is held down, and whether the main window is in front.
    bool escapeDown = false;
    bool mainFrameInFront = true;
    // Escape pressed after the job last looked at the stop flag: the job
    // finishes anyway, as a contouring between its checks does.
    bool escapeAfterLastLook = false;
    std::atomic<int> paintPumps{0};
    int inputDiscards = 0;
    int outputPaneShows = 0;

    bool RunExportDialog(const ExportDialogRequest& request, ExportDialogResult& result) override {
        exportRequests.push_back(request);
        if (request.mesh == nullptr) return false;
        ExportCheckInputs inputs;
        inputs.weldToleranceMillimetres = request.weldTolerance;
        inputs.cleanup = request.cleanup;
        inputs.fixes = request.fixes;
        inputs.bodyCount = request.bodyCount;
        if (adjustOptions) adjustOptions(inputs.cleanup, inputs.fixes);
        ExportCheckResult check;
        std::atomic<bool> stop{false};
        std::thread worker([&] {
            check = RunExportCheck(
                *request.mesh, inputs, [this](const std::wstring& stage) { exportStages.push_back(stage); },
                request.check, stop);
        });
        worker.join();
        exportChecks.push_back(check);
        if (!exportAnswer) return false;
        result.mesh = std::move(check.mesh);
        result.cleanup = inputs.cleanup;
        result.fixes = inputs.fixes;
        result.report = check.report;
        result.checksPassed = check.checksPassed;
        return true;
    }
    bool RunRemeshInputDialog(const mesh::RemeshSettings& start, const mesh::TriangleMesh&, std::uint64_t triangleLimit,
                              mesh::RemeshSettings& chosen) override {
        remeshStarts.push_back(start);
        remeshLimits.push_back(triangleLimit);
        if (!remeshChoice) return false;
        chosen = *remeshChoice;
        return true;
    }
    // Escape counts only while the main window is in front, as in the program.
    void WaitForJob(const std::function<bool()>& finished, const std::function<void()>& tick,
                    std::atomic<bool>& stop) override {
        while (!finished()) {
            if (escapeDown && mainFrameInFront) stop = true;
            if (tick) tick();
            ++paintPumps;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (escapeAfterLastLook) stop = true;
        ++inputDiscards;
    }
    void ShowOutputPane() override { ++outputPaneShows; }
};

struct ToolDocument {
    ToolHost host;
    CRidgeforgeDoc doc{&host};
    ToolDocument() { host.document = &doc; }
};

inline bool SameBytes(const mesh::TriangleMesh& a, const mesh::TriangleMesh& b) {
    return a.vertices.size() == b.vertices.size() && a.indices == b.indices &&
           std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(mesh::Vertex)) == 0;
}

// Puts a mesh in as the part as loaded, the way a finished import leaves it.
inline void AdoptPart(CRidgeforgeDoc& doc, mesh::TriangleMesh part, const CString& name) {
    doc.OnTestCube();
    doc.partAsLoaded = std::move(part);
    doc.partAsLoaded.RecomputeBounds();
    doc.partAsLoaded.RecomputeNormals();
    doc.partName = name;
    doc.ReplaceInputMesh();
    doc.SetModifiedFlag(false);
}

}  // namespace ridgeforge::test
