#include "ui/workflow/SectionBody.h"

#include <wx/checkbox.h>

#include <algorithm>

#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {

bool CSectionBody::Create(wxWindow* parent, int id, FlowStep step) {
    step_ = step;
    dpi_ = ui::WindowDpi(parent);
    if (!wxWindow::Create(parent, id, wxPoint(0, 0), wxSize(0, 0),
                          wxCLIP_SIBLINGS | wxCLIP_CHILDREN | wxFULL_REPAINT_ON_RESIZE | wxTAB_TRAVERSAL))
        return false;
    ui::PrepareBufferedPainting(*this);
    SetBackgroundColour(flow_colours::kBackground);
    Bind(wxEVT_PAINT, &CSectionBody::OnPaint, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        event.Skip();
        LayoutControls();
    });
    return OnCreateBody();
}

void CSectionBody::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    LayoutControls();
    Refresh();
}

int CSectionBody::GetPreferredHeight() const { return ui::ScaleDip(36, dpi_); }

void CSectionBody::UpdateFromDocument(FlowDocument*) {}

void CSectionBody::LayoutControls() {}

wxString CSectionBody::GetNotBuiltText() const { return "Not built yet."; }

void CSectionBody::PaintBody(wxDC& dc) {
    const wxSize size = GetClientSize();
    ui::FillRectExact(dc, wxRect(size), flow_colours::kBackground);
    const wxString text = GetNotBuiltText();
    if (text.empty()) return;
    dc.SetFont(ui::GetUiFont(ui::Small, dpi_));
    dc.SetTextForeground(flow_colours::kSecondary);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const int margin = ui::ScaleDip(8, dpi_);
    ui::DrawEllipsisText(dc, text, wxRect(margin, 0, size.x - 2 * margin, size.y));
}

void CSectionBody::OnPaint(wxPaintEvent&) {
    ui::BufferedPaintDC dc(this);
    PaintBody(dc);
}

int CSectionBody::CheckBoxWidth(const wxCheckBox& box, int wanted) const {
    return std::max(wanted, box.GetTextExtent(box.GetLabel()).x + ui::ScaleDip(28, dpi_));
}

}  // namespace ridgeforge
