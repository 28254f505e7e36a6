#include "ui/workflow/FlowWnd.h"

#include <wx/choice.h>
#include <wx/dcbuffer.h>

#include <memory>
#include <string>

#include "ui/framework/Dpi.h"
#include "ui/framework/Paint.h"
#include "ui/framework/Profile.h"
#include "ui/framework/StartupMarks.h"
#include "ui/workflow/MappingBody.h"
#include "ui/workflow/ReliefBodies.h"
#include "ui/workflow/TextureBody.h"
#include "ui/workflow/SectionGeometry.h"

namespace ridgeforge {
namespace {

std::unique_ptr<CSectionBody> MakeBody(FlowStep step) {
    switch (step) {
        case FlowStep::Mapping:
            return std::make_unique<CMappingBody>();
        case FlowStep::Texture:
            return std::make_unique<CTextureBody>();
        case FlowStep::Relief:
            return std::make_unique<CReliefBody>();
        case FlowStep::Simplify:
            return std::make_unique<CSimplifyBody>();
        default:
            return std::make_unique<CSectionBody>();
    }
}

std::string Utf8(const wchar_t* text) { return wxString(text).ToStdString(wxConvUTF8); }

}  // namespace

bool CFlowWnd::Create(wxWindow* parent, int id, ui::Profile* profile) {
    profile_ = profile;
    if (!wxWindow::Create(parent, id, wxDefaultPosition, wxDefaultSize,
                          wxCLIP_CHILDREN | wxCLIP_SIBLINGS | wxWANTS_CHARS))
        return false;
    scrollBar_ = new wxScrollBar(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSB_VERTICAL);
    scrollBar_->Hide();
    ui::PrepareBufferedPainting(*this);
    SetBackgroundColour(flow_colours::kBackground);
    dpi_ = ui::WindowDpi(this);
    for (int index = 0; index < kFlowStepCount; ++index) {
        const FlowStep step = StepAt(index);
        auto* header = new CSectionHeader(this, 100 + index, step, dpi_);
        header->UpdateLayout();
        header->SetClickHandler([this](CSectionHeader& clicked, CSectionHeader::Code code, bool controlDown) {
            OnHeaderClick(clicked, code, controlDown);
        });
        auto body = MakeBody(step);
        if (!body->Create(this, 200 + index, step)) return false;
        sections_[static_cast<std::size_t>(index)] = {header, body.release()};
        ForwardWheel(*header);
        ForwardWheel(*sections_[static_cast<std::size_t>(index)].body);
        ui::MarkStartupPhase("    section " + Utf8(StepInfo(step).title));
    }
    Bind(wxEVT_PAINT, &CFlowWnd::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        RecalcLayout();
    });
    Bind(wxEVT_MOUSEWHEEL, &CFlowWnd::OnWheel, this);
    for (const wxEventTypeTag<wxScrollEvent>& type :
         {wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN, wxEVT_SCROLL_PAGEUP,
          wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK, wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_CHANGED})
        scrollBar_->Bind(type, &CFlowWnd::OnScroll, this);

    const int stored = profile_ != nullptr ? profile_->GetInt("Workflow", "Collapsed2", 0) : 0;
    SetCollapsedMask(static_cast<unsigned>(stored));
    RecalcLayout();
    return true;
}

void CFlowWnd::ForwardWheel(wxWindow& window) {
    // The wheel reaches the window under the pointer; over a section it
    // scrolls the column, except in a drop-down list, which takes it.
    if (dynamic_cast<wxChoice*>(&window) == nullptr) window.Bind(wxEVT_MOUSEWHEEL, &CFlowWnd::OnWheel, this);
    for (wxWindow* child : window.GetChildren()) ForwardWheel(*child);
}

int CFlowWnd::LineHeight() const { return ui::ScaleDip(kScrollLineDip, dpi_); }

bool CFlowWnd::IsSectionCollapsed(FlowStep step) const {
    const Section& section = GetSection(step);
    return section.header != nullptr && section.header->Collapsed();
}

unsigned CFlowWnd::CollapsedMask() const {
    std::array<bool, kFlowStepCount> collapsed{};
    for (int index = 0; index < kFlowStepCount; ++index)
        collapsed[static_cast<std::size_t>(index)] = IsSectionCollapsed(StepAt(index));
    return ridgeforge::CollapsedMask(collapsed);
}

void CFlowWnd::SetSectionCollapsed(FlowStep step, bool collapsed) {
    const Section& section = GetSection(step);
    if (section.header == nullptr || section.header->Collapsed() == collapsed) return;
    section.header->SetCollapsed(collapsed);
    section.body->Show(!collapsed);
    if (batch_) return;
    RecalcLayout();
    SaveCollapsedState();
}

void CFlowWnd::SetCollapsedMask(unsigned mask) {
    batch_ = true;
    for (int index = 0; index < kFlowStepCount; ++index)
        SetSectionCollapsed(StepAt(index), (mask & StepBit(StepAt(index))) != 0);
    batch_ = false;
    RecalcLayout();
    if (profile_ != nullptr) profile_->WriteInt("Workflow", "Collapsed2", static_cast<int>(mask));
}

void CFlowWnd::SaveCollapsedState() {
    if (profile_ != nullptr) profile_->WriteInt("Workflow", "Collapsed2", static_cast<int>(CollapsedMask()));
}

void CFlowWnd::RecalcLayout() {
    if (sections_[0].header == nullptr) return;
    const int header = ui::ScaleDip(kHeaderHeightDip, dpi_);
    std::vector<SectionSlot> slots;
    for (const Section& section : sections_)
        slots.push_back({header, section.header->Collapsed() ? 0 : section.body->GetPreferredHeight()});
    const wxSize client = GetClientSize();
    contentHeight_ = ridgeforge::ContentHeight(slots);
    scroll_ = ClampScroll(scroll_, contentHeight_, client.y);
    const bool scrolls = contentHeight_ > client.y;
    const int barWidth = scrolls ? scrollBar_->GetBestSize().x : 0;
    Freeze();
    scrollBar_->Show(scrolls);
    if (scrolls) {
        scrollBar_->SetSize(client.x - barWidth, 0, barWidth, client.y);
        scrollBar_->SetScrollbar(scroll_, std::max(client.y, 0), std::max(contentHeight_, 0), std::max(client.y, 0));
    }
    const auto placed = StackSections(slots, std::max(0, client.x - barWidth), scroll_);
    for (std::size_t index = 0; index < sections_.size(); ++index) {
        if (sections_[index].header->GetRect() != placed[index].header)
            sections_[index].header->SetSize(placed[index].header);
        if (sections_[index].body->GetRect() != placed[index].body) sections_[index].body->SetSize(placed[index].body);
    }
    Thaw();
    Refresh();
}

void CFlowWnd::ScrollTo(int position) {
    const int clamped = ClampScroll(position, contentHeight_, GetClientSize().y);
    if (clamped == scroll_) return;
    scroll_ = clamped;
    RecalcLayout();
    Update();
}

void CFlowWnd::ScrollByWheel(int wheelDelta) { ScrollTo(scroll_ + WheelScrollDelta(wheelDelta, LineHeight())); }

void CFlowWnd::OnWheel(wxMouseEvent& event) {
    if (event.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL) {
        event.Skip();
        return;
    }
    ScrollByWheel(event.GetWheelRotation());
}

void CFlowWnd::OnScroll(wxScrollEvent& event) {
    const int line = LineHeight();
    const int page = GetClientSize().y;
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_SCROLL_LINEUP)
        ScrollTo(scroll_ - line);
    else if (type == wxEVT_SCROLL_LINEDOWN)
        ScrollTo(scroll_ + line);
    else if (type == wxEVT_SCROLL_PAGEUP)
        ScrollTo(scroll_ - page);
    else if (type == wxEVT_SCROLL_PAGEDOWN)
        ScrollTo(scroll_ + page);
    else if (type == wxEVT_SCROLL_THUMBTRACK || type == wxEVT_SCROLL_THUMBRELEASE || type == wxEVT_SCROLL_CHANGED)
        ScrollTo(event.GetPosition());
    else if (type == wxEVT_SCROLL_TOP)
        ScrollTo(0);
    else if (type == wxEVT_SCROLL_BOTTOM)
        ScrollTo(contentHeight_);
}

void CFlowWnd::OnHeaderClick(CSectionHeader& header, CSectionHeader::Code code, bool controlDown) {
    std::size_t found = sections_.size();
    for (std::size_t index = 0; index < sections_.size(); ++index)
        if (sections_[index].header == &header) found = index;
    if (found == sections_.size()) return;
    const FlowStep step = StepAt(static_cast<int>(found));
    if (code == CSectionHeader::Code::Collapse) {
        if (controlDown) {
            header.SetCollapsed(false);
            SetCollapsedMask(SoloMask(step));
        }
        sections_[found].body->Show(!header.Collapsed());
        RecalcLayout();
        SaveCollapsedState();
    }
    if (!callback_) return;
    const FlowEvent event = code == CSectionHeader::Code::Switch     ? FlowEvent::Switched
                            : code == CSectionHeader::Code::Settings ? FlowEvent::SettingsAsked
                                                                     : FlowEvent::Collapsed;
    callback_(step, event);
}

void CFlowWnd::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    ui::FillRectExact(dc, wxRect(GetClientSize()), flow_colours::kBackground);
}

}  // namespace ridgeforge
