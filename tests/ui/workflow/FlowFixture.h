// What the workflow tests share: a document whose answers the test sets and
// whose settings calls it counts, a frame that records the commands it is
// sent, and a scratch profile.
#pragma once

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "ui/framework/Commands.h"
#include "ui/framework/Profile.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "ui/workflow/FlowDocument.h"

namespace ridgeforge::testing {

class FakeFlowDocument : public FlowDocument {
public:
    bool HasPart() const override { return !part.indices.empty() && !part.vertices.empty(); }
    const mesh::TriangleMesh& WorkingPart() const override { return part; }
    std::uint32_t PartCounter() const override { return counter; }
    bool RemeshOn() const override { return remeshOn; }
    bool DisplacementOn() const override { return displacementOn; }
    bool SimplifyOn() const override { return simplifyOn; }
    const mesh::RemeshSettings& Remesh() const override { return remesh; }
    const mesh::DisplacementSettings& Displacement() const override { return displacement; }
    const mesh::SimplifySettings& Simplify() const override { return simplify; }
    void Edit(const std::function<void(DocumentEdit&)>& change) override {
        DocumentEdit edit{projection,     masks,          activeMask,       remesh,      displacement,
                          simplify,       remeshOn,       displacementOn,   simplifyOn,  maximumTriangles,
                          displayTriangles, printCheckShown, placementToolActive};
        change(edit);
        ++settingsChanges;
    }
    void LogResultOutOfDate() override { ++outOfDateChecks; }
    bool IsStepRunning(FlowStep step) const override { return running[static_cast<std::size_t>(step)]; }
    bool IsStepOutOfDate(FlowStep step) const override { return outOfDate[static_cast<std::size_t>(step)]; }
    CString ProcessStatusText() const override { return statusText; }
    bool CanProcess() const override { return canProcess; }
    bool PipelineRunning() const override { return pipelineRunning; }
    mesh::PipelineStatus PipelineStatus() const override { return status; }

    // A small part, loaded.
    void LoadBox() {
        part = test::MakeBox({0, 0, 0}, {20, 10, 5});
        ++counter;
    }

    mesh::TriangleMesh part;
    std::uint32_t counter = 0;
    bool remeshOn = true;
    bool displacementOn = true;
    bool simplifyOn = true;
    mesh::RemeshSettings remesh;
    mesh::DisplacementSettings displacement;
    mesh::SimplifySettings simplify;
    // What else an edit may write; the section tests read only the projection.
    mesh::Projection projection;
    std::vector<mesh::MaskVolume> masks;
    std::int32_t activeMask = -1;
    std::uint64_t maximumTriangles = 18'000'000;
    std::uint64_t displayTriangles = 4'000'000;
    bool printCheckShown = false;
    bool placementToolActive = false;
    int settingsChanges = 0;
    int outOfDateChecks = 0;
    std::array<bool, 4> running{};
    std::array<bool, 4> outOfDate{true, true, true, true};
    CString statusText = L"Not processed yet";
    bool canProcess = true;
    bool pipelineRunning = false;
    mesh::PipelineStatus status;
};

// A main window that keeps the ids of the commands sent to it.
class RecordingFrame : public ui::CommandFrame {
public:
    RecordingFrame() : ui::CommandFrame(nullptr, wxID_ANY, "workflow test", wxPoint(0, 0), wxSize(400, 760)) {
        Bind(wxEVT_MENU, [this](wxCommandEvent& event) { commands.push_back(ui::CommandOf(event.GetId())); });
    }
    std::vector<const CommandTable*> CommandRoute() const override { return {}; }
    std::vector<CommandId> commands;
};

// A scratch profile folder and the fake document as the active one.
class FlowTest : public ::testing::Test {
protected:
    FlowTest() : scratch_("flow") {
        environment_.Set("XDG_CONFIG_HOME", (scratch_.Path() / "config").string());
        SetFlowDocumentSource([this]() -> FlowDocument* { return documentActive ? &document : nullptr; });
    }
    ~FlowTest() override { SetFlowDocumentSource({}); }

    std::unique_ptr<ui::Profile> MakeProfile() {
        return std::make_unique<ui::Profile>("Fernwhistle", "Ruvolta", 4, 100);
    }

    FakeFlowDocument document;
    bool documentActive = true;

private:
    test::ScopedEnvironment environment_;
    test::TempDir scratch_;
};

// Moves the pointer (through the X server) and waits until it is there.
inline void MoveMouseTo(wxWindow& window, const wxPoint& point) {
    const wxPoint target = window.ClientToScreen(point);
    wxUIActionSimulator simulator;
    simulator.MouseMove(target);
    PumpUntil([&] { return wxGetMousePosition() == target; }, 2000);
    PumpEvents(30);
}

// A real click at a point of a shown window, waiting until the window has
// had the release; with `control` Ctrl is held.
inline void ClickAt(wxWindow& window, const wxPoint& point, bool control = false) {
    MoveMouseTo(window, point);
    bool released = false;
    auto onRelease = [&released](wxMouseEvent& event) {
        released = true;
        event.Skip();
    };
    window.Bind(wxEVT_LEFT_UP, onRelease);
    wxUIActionSimulator simulator;
    if (control) simulator.KeyDown(WXK_CONTROL);
    simulator.MouseClick();
    if (control) simulator.KeyUp(WXK_CONTROL);
    PumpUntil([&released] { return released; }, 2000);
    window.Unbind(wxEVT_LEFT_UP, onRelease);
    PumpEvents(30);
}

// The distance of the grabbed colour closest to `colour` inside `rect`
// (sum of channel differences); 0 when it is there exactly.
inline int ClosestColourDistance(const wxImage& image, const wxRect& rect, const wxColour& colour) {
    int best = 1 << 30;
    for (int y = std::max(0, rect.y); y < std::min(image.GetHeight(), rect.y + rect.height); ++y)
        for (int x = std::max(0, rect.x); x < std::min(image.GetWidth(), rect.x + rect.width); ++x) {
            const int d = std::abs(image.GetRed(x, y) - colour.Red()) +
                          std::abs(image.GetGreen(x, y) - colour.Green()) +
                          std::abs(image.GetBlue(x, y) - colour.Blue());
            best = std::min(best, d);
        }
    return best;
}

}  // namespace ridgeforge::testing
