// The strip under the workflow column: the document's one-line processing
// status and one large button that sends Process while idle and Stop
// Processing while a run goes, with the run's progress drawn over it.
#pragma once

#include <cstdint>

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

#include "document/DocumentHost.h"

namespace ridgeforge {

enum class FooterState : std::int32_t { Idle = 0, Running = 1, Disabled = 2 };

// What the footer shows; the left pane works it out from the document.
struct FooterValues {
    CString status = L"No part loaded";
    FooterState state = FooterState::Disabled;
    CString stage;
    float fraction = 0.0f;
    bool hasFraction = false;
    bool operator==(const FooterValues&) const = default;
};

struct FooterRects {
    wxRect text;
    wxRect button;
};
// Text line 16 dip over a 30 dip button, 4 dip apart, centred in the
// height, 8 dip from both sides.
FooterRects LayoutFooter(const wxSize& client, unsigned dpi);

struct FooterLook {
    const wchar_t* label;
    wxColour fill;
    wxColour labelColour;
};
FooterLook FooterLookOf(FooterState state, bool hover);

// The status line: the status text, or while running the stage ("Processing"
// without one) with "  46%" when the stage has a fraction.
CString FooterStatusLine(const FooterValues& values);
// The width of the progress strip over a button `width` wide.
int ProgressStripWidth(int width, float fraction);

class CFooterWnd : public wxWindow {
public:
    CFooterWnd(wxWindow* parent, int id, unsigned dpi);

    // Stores changed values and repaints; false when nothing changed.
    bool SetValues(const FooterValues& values);
    const FooterValues& Values() const { return values_; }
    void SetDpi(unsigned dpi);
    unsigned Dpi() const { return dpi_; }
    const FooterRects& Rects() const { return rects_; }
    bool Hover() const { return hover_; }

    // A press at `point`: inside the button and not disabled, sends Stop
    // Processing while running and Process otherwise to the main window.
    void Press(const wxPoint& point);

private:
    void Relayout();
    void OnPaint(wxPaintEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);

    FooterValues values_;
    unsigned dpi_ = 96;
    bool hover_ = false;
    FooterRects rects_;
};

}  // namespace ridgeforge
