// The Workflow pane's 150 ms refresh when nothing changed: four headers,
// four bodies and the footer compared with the document (needs a display).
// Aim: under 50 microseconds a pass, and no repaint; the "paints" counter
// is the repaints the passes left behind.
#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/utils.h>

#include "ui/app/LeftPane.h"
#include "testing/Shapes.h"
#include "ui/workflow/FlowDocument.h"
#include "ui/workflow/FlowWnd.h"

namespace {

using namespace ridgeforge;

// Lets the window settle: the X server's map and size events arrive late.
void Settle() {
    for (int i = 0; i < 40; ++i) {
        wxTheApp->Yield();
        wxMilliSleep(5);
    }
}

bool StartWindows() {
    static const bool started = [] {
        wxApp::SetInstance(new wxApp);
        int argc = 0;
        if (!wxEntryStart(argc, static_cast<wxChar**>(nullptr))) return false;
        return wxTheApp->CallOnInit();
    }();
    return started;
}

// A loaded part whose result is out of date, nothing running.
class SteadyDocument : public FlowDocument {
public:
    SteadyDocument() : part_(test::MakeGridBox({0, 0, 0}, {60, 40, 30}, 289)) {}
    bool HasPart() const override { return true; }
    const mesh::TriangleMesh& WorkingPart() const override { return part_; }
    std::uint32_t PartCounter() const override { return 1; }
    bool RemeshOn() const override { return true; }
    bool DisplacementOn() const override { return true; }
    bool SimplifyOn() const override { return true; }
    void SetRemeshOn(bool) override {}
    void SetDisplacementOn(bool) override {}
    void SetSimplifyOn(bool) override {}
    const mesh::RemeshSettings& Remesh() const override { return remesh_; }
    const mesh::DisplacementSettings& Displacement() const override { return displacement_; }
    const mesh::SimplifySettings& Simplify() const override { return simplify_; }
    void SetRemesh(const mesh::RemeshSettings&) override {}
    void SetDisplacement(const mesh::DisplacementSettings&) override {}
    void SetSimplify(const mesh::SimplifySettings&) override {}
    void OnSettingsChanged() override {}
    void LogResultOutOfDate() override {}
    bool IsStepRunning(FlowStep) const override { return false; }
    bool IsStepOutOfDate(FlowStep) const override { return true; }
    CString ProcessStatusText() const override { return L"Not processed yet"; }
    bool CanProcess() const override { return true; }
    bool PipelineRunning() const override { return false; }
    mesh::PipelineStatus PipelineStatus() const override { return {}; }

private:
    mesh::TriangleMesh part_;
    mesh::RemeshSettings remesh_;
    mesh::DisplacementSettings displacement_;
    mesh::SimplifySettings simplify_;
};

void CountPaints(wxWindow& window, long& paints) {
    window.Bind(wxEVT_PAINT, [&paints](wxPaintEvent& event) {
        ++paints;
        event.Skip();
    });
    for (wxWindow* child : window.GetChildren()) CountPaints(*child, paints);
}

void BM_RefreshStepsUnchanged(benchmark::State& state) {
    if (!StartWindows()) {
        state.SkipWithError("no display");
        return;
    }
    SteadyDocument document;
    SetFlowDocumentSource([&document]() -> FlowDocument* { return &document; });
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(340, 760));
    auto* pane = new CLeftPane(frame, 1, nullptr);
    pane->SetSize(frame->GetClientSize());
    frame->Show();
    pane->RefreshSteps();
    Settle();
    long paints = 0;
    CountPaints(*pane, paints);
    // Paints that come without any refresh (the toolkit's own), to tell
    // apart from what the passes cause.
    Settle();
    const long unprompted = paints;
    paints = 0;

    for (auto _ : state) pane->RefreshSteps();

    Settle();
    state.counters["paints"] = static_cast<double>(paints);
    state.counters["unprompted"] = static_cast<double>(unprompted);
    frame->Destroy();
    wxTheApp->Yield();
    SetFlowDocumentSource({});
}
BENCHMARK(BM_RefreshStepsUnchanged)->Unit(benchmark::kMicrosecond);

}  // namespace
