// The workflow column: the Mapping, Texture, Relief and Simplify sections
// stacked top to bottom, each a header over a body, in a window that
// scrolls them. It remembers which sections are collapsed in the profile
// ("Workflow"/"Collapsed2", bit 1 << step per collapsed section) and
// reports every header click to its owner through one callback. The scroll
// bar is a control of its own beside the sections, which are placed again
// at each scroll, so no toolkit scrolling moves them behind our back.
#pragma once

#include <array>

#include <wx/scrolbar.h>
#include <wx/window.h>

#include "ui/workflow/FlowTypes.h"
#include "ui/workflow/SectionBody.h"
#include "ui/workflow/SectionHeader.h"

namespace ridgeforge {

namespace ui {
class Profile;
}

class CFlowWnd : public wxWindow {
public:
    struct Section {
        CSectionHeader* header = nullptr;
        CSectionBody* body = nullptr;
    };

    CFlowWnd() = default;
    // Makes the window and its four sections, and applies the collapsed
    // sections stored in `profile` (none stored, or no profile: all open).
    // False when a section could not be made.
    bool Create(wxWindow* parent, int id, ui::Profile* profile);

    void SetEventCallback(FlowCallback callback) { callback_ = std::move(callback); }

    const Section& GetSection(FlowStep step) const { return sections_[static_cast<std::size_t>(step)]; }
    unsigned Dpi() const { return dpi_; }
    void SetDpi(unsigned dpi) { dpi_ = dpi == 0 ? 96 : dpi; }

    void SetSectionCollapsed(FlowStep step, bool collapsed);
    bool IsSectionCollapsed(FlowStep step) const;
    // Applies every bit at once, lays out once and stores the mask.
    void SetCollapsedMask(unsigned mask);
    unsigned CollapsedMask() const;
    void SaveCollapsedState();

    // Stacks the sections and sets the scroll bar.
    void RecalcLayout();
    void ScrollTo(int position);
    int ScrollPosition() const { return scroll_; }
    int ContentHeight() const { return contentHeight_; }
    // The scroll bar beside the sections, shown only while there is
    // something to scroll.
    wxScrollBar& ScrollBar() const { return *scrollBar_; }
    // One line of scrolling (24 dip).
    int LineHeight() const;
    // A wheel turn as the window gets it (120 per notch).
    void ScrollByWheel(int wheelDelta);

private:
    void OnHeaderClick(CSectionHeader& header, CSectionHeader::Code code, bool controlDown);
    void OnScroll(wxScrollEvent& event);
    void OnWheel(wxMouseEvent& event);
    void OnPaint(wxPaintEvent& event);
    void ForwardWheel(wxWindow& window);

    std::array<Section, kFlowStepCount> sections_{};
    wxScrollBar* scrollBar_ = nullptr;
    FlowCallback callback_;
    ui::Profile* profile_ = nullptr;
    unsigned dpi_ = 96;
    bool batch_ = false;
    int scroll_ = 0;
    int contentHeight_ = 0;
};

}  // namespace ridgeforge
