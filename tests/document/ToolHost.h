// The scripted shell of the export and input-mesh tool tests: the export
// check dialog, the Remesh Input Mesh dialog, the stop key and the window in
// front are scripted on top of FakeHost.
#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include "tests/document/FakeHost.h"

namespace ridgeforge::test {

class ToolHost : public FakeHost {
public:
    // The export dialog: what it was given, and how it ends. With `dialog`
    // set it fills the result and gives the answer; without, it is cancelled.
    std::vector<ExportDialogRequest> exportRequests;
    std::function<bool(const ExportDialogRequest&, ExportDialogResult&)> exportDialog;

    std::optional<mesh::RemeshSettings> remeshChoice;
    std::vector<mesh::RemeshSettings> remeshStarts;

    // Escape is held down, and whether the main window is in front.
    bool escapeDown = false;
    bool mainFrameInFront = true;
    std::atomic<int> paintPumps{0};
    int inputDiscards = 0;
    int outputPaneShows = 0;

    bool RunExportDialog(const ExportDialogRequest& request, ExportDialogResult& result) override {
        exportRequests.push_back(request);
        return exportDialog ? exportDialog(request, result) : false;
    }
    bool RunRemeshInputDialog(const mesh::RemeshSettings& start, const mesh::TriangleMesh&,
                              mesh::RemeshSettings& chosen) override {
        remeshStarts.push_back(start);
        if (!remeshChoice) return false;
        chosen = *remeshChoice;
        return true;
    }
    bool MainFrameInFront() const override { return mainFrameInFront; }
    bool EscapeKeyDown() const override { return escapeDown; }
    void PumpPaintEvents(std::int32_t) override { ++paintPumps; }
    void DiscardQueuedInput() override { ++inputDiscards; }
    void ShowOutputPane() override { ++outputPaneShows; }
};

struct ToolDocument {
    ToolHost host;
    CRidgeforgeDoc doc{&host};
    ToolDocument() { host.document = &doc; }
};

}  // namespace ridgeforge::test
