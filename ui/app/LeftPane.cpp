#include "ui/app/LeftPane.h"

#include "ui/commands/CommandIds.h"
#include "ui/framework/Commands.h"
#include "ui/framework/Dpi.h"
#include "text/Utf8.h"
#include "ui/workflow/FlowDocument.h"
#include "ui/workflow/FlowWnd.h"

namespace ridgeforge {
namespace {

constexpr int kFlowId = 1;
constexpr int kFooterId = 2;
constexpr int kFooterHeightDip = 64;

bool StepSwitchedOn(const FlowDocument* document, FlowStep step) {
    if (document == nullptr) return false;
    switch (step) {
        case FlowStep::Relief:
            return document->DisplacementOn();
        case FlowStep::Simplify:
            return document->SimplifyOn();
        default:
            return true;
    }
}

}  // namespace

StepView ComputeStepView(const FlowDocument* document, FlowStep step) {
    StepView view;
    view.switchedOn = StepSwitchedOn(document, step);
    if (!view.switchedOn || document == nullptr || !document->HasPart())
        view.status = SectionStatus::Inactive;
    else if (document->IsStepRunning(step))
        view.status = SectionStatus::Running;
    else if (document->IsStepOutOfDate(step))
        view.status = SectionStatus::OutOfDate;
    else
        view.status = SectionStatus::UpToDate;
    return view;
}

FooterValues ComputeFooterValues(const FlowDocument* document) {
    FooterValues values;
    if (document == nullptr) return values;
    values.status = document->ProcessStatusText();
    if (document->PipelineRunning()) {
        const mesh::PipelineStatus status = document->PipelineStatus();
        values.state = FooterState::Running;
        values.stage = WideFromUtf8(status.progressText);
        values.fraction = status.fraction;
        values.hasFraction = status.hasFraction;
    } else {
        values.state = document->CanProcess() ? FooterState::Idle : FooterState::Disabled;
    }
    return values;
}

CommandId StepSettingsCommand(FlowStep step) {
    switch (step) {
        case FlowStep::Mapping:
            return ID_MAPPING_SETTINGS;
        case FlowStep::Texture:
            return ID_TEXTURE_SETTINGS;
        case FlowStep::Relief:
            return ID_RELIEF_SETTINGS;
        case FlowStep::Simplify:
            return ID_SIMPLIFY_SETTINGS;
    }
    return 0;
}

CLeftPane::CLeftPane(wxWindow* parent, int id, ui::Profile* profile)
    : CStaticPane(parent, id, "Workflow", ui::PaneSide::Left, 340, 0), timer_([this] { RefreshSteps(); }) {
    content_ = new wxWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxCLIP_CHILDREN);
    flow_ = new CFlowWnd();
    flow_->Create(content_, kFlowId, profile);
    flow_->SetEventCallback([this](FlowStep step, FlowEvent event) { OnFlowEvent(step, event); });
    paneDpi_ = ui::WindowDpi(this);
    footer_ = new CFooterWnd(content_, kFooterId, paneDpi_);
    content_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        LayoutContent();
    });
    content_->Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent&) { flow_->SetFocus(); });
    SetContent(content_);
    timer_.Start(kRefreshMilliseconds);
}

CLeftPane::~CLeftPane() { timer_.Stop(); }

void CLeftPane::LayoutContent() {
    const wxSize client = content_->GetClientSize();
    const int footer = std::min(client.y, ui::ScaleDip(kFooterHeightDip, paneDpi_));
    footer_->SetSize(0, client.y - footer, client.x, footer);
    flow_->SetSize(0, 0, client.x, client.y - footer);
}

void CLeftPane::SetDpi(unsigned dpi) {
    paneDpi_ = dpi == 0 ? 96 : dpi;
    CStaticPane::SetDpi(paneDpi_);
    if (flow_ == nullptr) return;
    flow_->SetDpi(paneDpi_);
    for (int index = 0; index < kFlowStepCount; ++index) {
        const CFlowWnd::Section& section = flow_->GetSection(StepAt(index));
        section.header->SetDpi(paneDpi_);
        section.header->UpdateLayout();
        section.header->Refresh();
        section.body->SetDpi(paneDpi_);
    }
    flow_->RecalcLayout();
    footer_->SetDpi(paneDpi_);
    LayoutContent();
}

void CLeftPane::RefreshSteps() {
    FlowDocument* document = GetActiveFlowDocument();
    if (document != nullptr) document->LogResultOutOfDate();
    for (int index = 0; index < kFlowStepCount; ++index) {
        const FlowStep step = StepAt(index);
        const CFlowWnd::Section& section = flow_->GetSection(step);
        const StepView view = ComputeStepView(document, step);
        if (section.header->SwitchedOn() != view.switchedOn) {
            section.header->SetSwitchedOn(view.switchedOn);
            if (StepInfo(step).canSwitchOff) flow_->SetSectionCollapsed(step, !view.switchedOn);
        }
        section.header->SetStatus(view.status);
        section.body->UpdateFromDocument(document);
    }
    footer_->SetValues(ComputeFooterValues(document));
}

void CLeftPane::OnFlowEvent(FlowStep step, FlowEvent event) {
    switch (event) {
        case FlowEvent::Collapsed:
            return;
        case FlowEvent::SettingsAsked: {
            auto* frame = dynamic_cast<ui::CommandFrame*>(wxGetTopLevelParent(this));
            if (frame != nullptr) ui::SendCommand(frame, StepSettingsCommand(step));
            return;
        }
        case FlowEvent::Switched:
            break;
    }
    const bool on = flow_->GetSection(step).header->SwitchedOn();
    if (FlowDocument* document = GetActiveFlowDocument()) {
        if (step == FlowStep::Relief) {
            // Both switches change in one edit, so one Undo step: a step with
            // only one of them flipped is a state the user never chose.
            if (document->DisplacementOn() != on || document->RemeshOn() != on) {
                document->Edit([on](DocumentEdit& edit) {
                    edit.displacementEnabled = on;
                    edit.remeshEnabled = on;
                });
            }
        } else if (step == FlowStep::Simplify && document->SimplifyOn() != on) {
            document->Edit([on](DocumentEdit& edit) { edit.simplifyEnabled = on; });
        }
    }
    flow_->SetSectionCollapsed(step, !on);
    RefreshSteps();
}

}  // namespace ridgeforge
