#include "ui/app/FooterWnd.h"

#include <wx/dcbuffer.h>

#include <algorithm>
#include <cstdio>

#include "ui/commands/CommandIds.h"
#include "ui/framework/Commands.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "ui/workflow/FlowTypes.h"

namespace ridgeforge {

FooterRects LayoutFooter(const wxSize& client, unsigned dpi) {
    auto dip = [dpi](int size) { return ui::ScaleDip(size, dpi); };
    const int margin = dip(8);
    const int line = dip(16);
    const int gap = dip(4);
    const int button = dip(30);
    const int top = std::max(0, (client.y - gap - button - line) / 2);
    const int width = std::max(0, client.x - 2 * margin);
    return {wxRect(margin, top, width, line), wxRect(margin, top + line + gap, width, button)};
}

FooterLook FooterLookOf(FooterState state, bool hover) {
    switch (state) {
        case FooterState::Idle:
            return {L"Process", hover ? wxColour(46, 104, 188) : wxColour(58, 123, 213), *wxWHITE};
        case FooterState::Running:
            return {L"Stop", hover ? wxColour(200, 60, 48) : wxColour(224, 72, 60), *wxWHITE};
        case FooterState::Disabled:
            break;
    }
    return {L"Process", wxColour(214, 218, 224), flow_colours::kSecondary};
}

CString FooterStatusLine(const FooterValues& values) {
    if (values.state != FooterState::Running) return values.status;
    CString line = values.stage.empty() ? CString(L"Processing") : values.stage;
    if (values.hasFraction) {
        wchar_t percent[32];
        std::swprintf(percent, 32, L"  %d%%", static_cast<int>(values.fraction * 100.0f + 0.5f));
        line += percent;
    }
    return line;
}

int ProgressStripWidth(int width, float fraction) {
    const float clamped = std::clamp(fraction, 0.0f, 1.0f);
    return static_cast<int>(static_cast<float>(width) * clamped);
}

CFooterWnd::CFooterWnd(wxWindow* parent, int id, unsigned dpi)
    : wxWindow(parent, id, wxDefaultPosition, wxDefaultSize, wxCLIP_SIBLINGS | wxFULL_REPAINT_ON_RESIZE),
      dpi_(dpi == 0 ? 96 : dpi) {
    ui::PrepareBufferedPainting(*this);
    Bind(wxEVT_PAINT, &CFooterWnd::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        Relayout();
    });
    Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent& event) { Press(event.GetPosition()); });
    Bind(wxEVT_MOTION, &CFooterWnd::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &CFooterWnd::OnLeave, this);
    Relayout();
}

bool CFooterWnd::SetValues(const FooterValues& values) {
    if (values == values_) return false;
    values_ = values;
    Refresh();
    return true;
}

void CFooterWnd::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    Relayout();
}

void CFooterWnd::Relayout() {
    rects_ = LayoutFooter(GetClientSize(), dpi_);
    Refresh();
}

void CFooterWnd::Press(const wxPoint& point) {
    if (values_.state == FooterState::Disabled || !rects_.button.Contains(point)) return;
    auto* frame = dynamic_cast<ui::CommandFrame*>(wxGetTopLevelParent(this));
    if (frame == nullptr) return;
    ui::SendCommand(frame, values_.state == FooterState::Running ? ID_STOP_PROCESSING : ID_PROCESS);
}

void CFooterWnd::OnMotion(wxMouseEvent& event) {
    event.Skip();
    const bool over = rects_.button.Contains(event.GetPosition());
    if (over != hover_) {
        hover_ = over;
        Refresh();
    }
}

void CFooterWnd::OnLeave(wxMouseEvent& event) {
    event.Skip();
    if (hover_) {
        hover_ = false;
        Refresh();
    }
}

void CFooterWnd::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    ui::FillRectExact(dc, wxRect(size), flow_colours::kHeader);
    ui::FillRectExact(dc, wxRect(0, 0, size.x, 1), flow_colours::kFrame);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);

    dc.SetFont(ui::GetUiFont(ui::Small, dpi_));
    dc.SetTextForeground(values_.state == FooterState::Disabled ? flow_colours::kSecondary : flow_colours::kText);
    ui::DrawEllipsisText(dc, FooterStatusLine(values_), rects_.text);

    const FooterLook look = FooterLookOf(values_.state, hover_);
    ui::FillRectExact(dc, rects_.button, look.fill);
    if (values_.state == FooterState::Running && values_.hasFraction) {
        wxRect strip = rects_.button;
        strip.width = ProgressStripWidth(rects_.button.width, values_.fraction);
        ui::FillRectExact(dc, strip, wxColour(240, 120, 108));
    }
    dc.SetFont(ui::GetUiFont(ui::Title, dpi_));
    dc.SetTextForeground(look.labelColour);
    dc.DrawLabel(look.label, rects_.button, wxALIGN_CENTER);
}

}  // namespace ridgeforge
