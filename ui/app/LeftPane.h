// The "Workflow" pane on the left of the main window: the workflow column
// above the footer. Every 150 ms it sets each section's switch and status
// dot from the document, lets each body refresh itself and brings the
// footer up to date; it turns the column's events into document changes
// and settings commands.
#pragma once

#include "ui/app/FooterWnd.h"
#include "ui/app/PaneContents.h"
#include "ui/framework/CommandTable.h"
#include "ui/framework/PeriodicTimer.h"
#include "ui/workflow/FlowTypes.h"

namespace ridgeforge {

namespace ui {
class Profile;
}

class CFlowWnd;
class FlowDocument;

// What a section's header shows for the document (null: none).
struct StepView {
    bool switchedOn = false;
    SectionStatus status = SectionStatus::Inactive;
};
StepView ComputeStepView(const FlowDocument* document, FlowStep step);

// What the footer shows for the document (null: none).
FooterValues ComputeFooterValues(const FlowDocument* document);

// The settings command of a step's settings icon.
CommandId StepSettingsCommand(FlowStep step);

class CLeftPane : public CStaticPane {
public:
    static constexpr int kRefreshMilliseconds = 150;

    // `profile` keeps the collapsed sections (may be null).
    CLeftPane(wxWindow* parent, int id, ui::Profile* profile);
    ~CLeftPane() override;

    // The column's callback: switches and settings requests.
    void OnFlowEvent(FlowStep step, FlowEvent event);
    // Sets switches, dots, bodies and footer from the active document;
    // repaints only what changed.
    void RefreshSteps();
    void SetDpi(unsigned dpi) override;

    CFlowWnd& Flow() const { return *flow_; }
    CFooterWnd& Footer() const { return *footer_; }

private:
    void LayoutContent();

    wxWindow* content_ = nullptr;
    CFlowWnd* flow_ = nullptr;
    CFooterWnd* footer_ = nullptr;
    unsigned paneDpi_ = 96;
    ui::PeriodicTimer timer_;
};

}  // namespace ridgeforge
