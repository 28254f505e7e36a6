#include "ui/workflow/SectionHeader.h"

#include <wx/dcbuffer.h>
#include <wx/graphics.h>

#include <memory>

#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {

namespace {
constexpr int kBlinkMilliseconds = 450;
}

CSectionHeader::CSectionHeader(wxWindow* parent, int id, FlowStep step, unsigned dpi)
    : wxWindow(parent, id, wxDefaultPosition, wxDefaultSize, wxCLIP_SIBLINGS | wxFULL_REPAINT_ON_RESIZE),
      step_(step),
      dpi_(dpi == 0 ? 96 : dpi),
      blink_([this] { OnBlink(); }) {
    ui::PrepareBufferedPainting(*this);
    SetCursor(wxCursor(wxCURSOR_ARROW));
    Bind(wxEVT_PAINT, &CSectionHeader::OnPaint, this);
    Bind(wxEVT_SIZE, &CSectionHeader::OnSize, this);
    Bind(wxEVT_LEFT_DOWN, &CSectionHeader::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CSectionHeader::OnLeftDown, this);
    Bind(wxEVT_MOTION, &CSectionHeader::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &CSectionHeader::OnLeave, this);
    UpdateLayout();
}

CSectionHeader::~CSectionHeader() { blink_.Stop(); }

void CSectionHeader::UpdateLayout() { rects_ = LayoutHeader(wxRect(GetClientSize()), dpi_, Info().canSwitchOff); }

void CSectionHeader::SetSwitchedOn(bool on) {
    switchedOn_ = on;
    Refresh();
}

void CSectionHeader::SetStatus(SectionStatus status) {
    if (status == status_) return;
    status_ = status;
    if (status_ == SectionStatus::Running)
        blink_.Start(kBlinkMilliseconds);
    else
        blink_.Stop();
    Refresh();
}

void CSectionHeader::SetCollapsed(bool collapsed) {
    if (collapsed == collapsed_) return;
    collapsed_ = collapsed;
    Refresh();
}

void CSectionHeader::OnBlink() {
    blinkPhase_ = !blinkPhase_;
    RefreshRect(rects_.dot);
}

void CSectionHeader::OnSize(wxSizeEvent& event) {
    event.Skip();
    UpdateLayout();
    Refresh();
}

void CSectionHeader::Press(const wxPoint& point, bool controlDown) {
    Code code;
    switch (HitTestHeader(rects_, point)) {
        case HeaderHit::Switch:
            switchedOn_ = !switchedOn_;
            Refresh();
            code = Code::Switch;
            break;
        case HeaderHit::Settings:
            code = Code::Settings;
            break;
        case HeaderHit::Collapse:
            collapsed_ = !collapsed_;
            Refresh();
            code = Code::Collapse;
            break;
        default:
            return;
    }
    if (onClick_) onClick_(*this, code, controlDown);
}

void CSectionHeader::OnLeftDown(wxMouseEvent& event) { Press(event.GetPosition(), event.ControlDown()); }

void CSectionHeader::OnMotion(wxMouseEvent& event) {
    event.Skip();
    const bool over = rects_.settings.Contains(event.GetPosition());
    if (over != hover_) {
        hover_ = over;
        Refresh();
    }
}

void CSectionHeader::OnLeave(wxMouseEvent& event) {
    event.Skip();
    if (hover_) {
        hover_ = false;
        Refresh();
    }
}

void CSectionHeader::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    ui::FillRectExact(dc, wxRect(size), flow_colours::kHeader);
    ui::FillRectExact(dc, wxRect(0, size.y - 1, size.x, 1), flow_colours::kFrame);

    // Chevron: a filled triangle without outline.
    const auto chevron = ChevronPoints(rects_.chevron, collapsed_);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(flow_colours::kSecondary));
    wxPoint corners[3] = {chevron[0], chevron[1], chevron[2]};
    dc.DrawPolygon(3, corners);

    ui::DrawIconImage(dc, Info().iconKey, rects_.icon);

    if (Info().canSwitchOff) {
        if (switchedOn_) {
            ui::FillRectExact(dc, rects_.toggle, flow_colours::kAccent);
            std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::CreateFromUnknownDC(dc));
            if (gc) {
                gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
                const double width = std::max(1, ui::ScaleDip(2, dpi_));
                gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(*wxWHITE).Width(width)));
                const auto mark = CheckMarkPoints(rects_.toggle);
                wxPoint2DDouble points[3];
                for (int i = 0; i < 3; ++i)
                    points[i] =
                        wxPoint2DDouble(mark[static_cast<std::size_t>(i)].x, mark[static_cast<std::size_t>(i)].y);
                gc->StrokeLines(3, points);
            }
        } else {
            ui::FillRectExact(dc, rects_.toggle, *wxWHITE);
            dc.SetPen(wxPen(flow_colours::kSecondary, 1));
            dc.SetBrush(*wxTRANSPARENT_BRUSH);
            dc.DrawRectangle(rects_.toggle);
        }
    }

    dc.SetFont(ui::GetUiFont(ui::Title, dpi_));
    dc.SetTextForeground(switchedOn_ ? flow_colours::kText : flow_colours::kSecondary);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    ui::DrawEllipsisText(dc, Info().title, rects_.title);

    const DotLook look = StatusDotLook(switchedOn_, status_, blinkPhase_);
    ui::DrawStatusDot(dc, rects_.dot, look.colour, look.ring);

    if (hover_) ui::FillRectExact(dc, wxRect(rects_.settings).Inflate(ui::ScaleDip(3, dpi_)), flow_colours::kSelection);
    ui::DrawIconImage(dc, "settings", rects_.settings);
}

}  // namespace ridgeforge
