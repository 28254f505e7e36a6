#include "ui/framework/CaptionedPane.h"

#include <wx/dcbuffer.h>
#include <wx/sizer.h>

#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"

namespace ridgeforge::ui {

CaptionedPane::CaptionedPane(wxWindow* parent, int id, const wxString& caption, PaneSide side, int designWidth,
                             int designHeight)
    : wxPanel(parent, id, wxDefaultPosition, wxDefaultSize,
              wxTAB_TRAVERSAL | wxCLIP_CHILDREN | wxFULL_REPAINT_ON_RESIZE),
      caption_(caption),
      side_(side),
      designWidth_(designWidth),
      designHeight_(designHeight),
      dpi_(WindowDpi(parent)) {
    PrepareBufferedPainting(*this);
    Bind(wxEVT_PAINT, &CaptionedPane::OnPaintPane, this);
    strip_ = new wxWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE);
    PrepareBufferedPainting(*strip_);
    strip_->Bind(wxEVT_PAINT, &CaptionedPane::OnPaintCaption, this);

    // The border line is left free by the sizer and painted by the pane.
    const int edge = side_ == PaneSide::Left ? wxRIGHT : side_ == PaneSide::Right ? wxLEFT : wxTOP;
    inner_ = new wxBoxSizer(wxVERTICAL);
    inner_->Add(strip_, 0, wxEXPAND);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(inner_, 1, wxEXPAND | edge, 1);
    SetSizer(outer);
    Relayout();
}

void CaptionedPane::SetContent(wxWindow* content) {
    if (content_ == content) return;
    if (content_ != nullptr) {
        inner_->Detach(content_);
        content_->Destroy();
    }
    content_ = content;
    if (content_ != nullptr) {
        if (content_->GetParent() != this) content_->Reparent(this);
        inner_->Add(content_, 1, wxEXPAND);
    }
    Relayout();
}

void CaptionedPane::SetCaption(const wxString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    strip_->Refresh();
}

int CaptionedPane::CaptionHeight() const { return ScaleDip(22, dpi_); }

wxSize CaptionedPane::ScaledSize() const {
    return wxSize(designWidth_ > 0 ? ScaleDip(designWidth_, dpi_) : -1,
                  designHeight_ > 0 ? ScaleDip(designHeight_, dpi_) : -1);
}

void CaptionedPane::SetDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    Relayout();
    if (GetParent() != nullptr) GetParent()->Layout();
}

void CaptionedPane::Relayout() {
    const wxSize fixed = ScaledSize();
    SetMinSize(fixed);
    SetSize(wxSize(fixed.x > 0 ? fixed.x : GetSize().x, fixed.y > 0 ? fixed.y : GetSize().y));
    strip_->SetMinSize(wxSize(-1, CaptionHeight()));
    Layout();
    strip_->Refresh();
    Refresh();
}

void CaptionedPane::OnPaintPane(wxPaintEvent&) {
    BufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    FillRectExact(dc, wxRect(size), GetBackgroundColour());
    switch (side_) {
        case PaneSide::Left:
            FillRectExact(dc, wxRect(size.x - 1, 0, 1, size.y), kPaneBorder);
            break;
        case PaneSide::Right:
            FillRectExact(dc, wxRect(0, 0, 1, size.y), kPaneBorder);
            break;
        case PaneSide::Bottom:
            FillRectExact(dc, wxRect(0, 0, size.x, 1), kPaneBorder);
            break;
    }
}

void CaptionedPane::OnPaintCaption(wxPaintEvent&) {
    BufferedPaintDC dc(strip_);
    const wxSize size = strip_->GetClientSize();
    FillRectExact(dc, wxRect(size), kCaptionBackground);
    dc.SetFont(GetUiFont(Normal, dpi_));
    dc.SetTextForeground(kCaptionText);
    const int margin = ScaleDip(6, dpi_);
    DrawEllipsisText(dc, caption_, wxRect(margin, 0, size.x - 2 * margin, size.y));
}

}  // namespace ridgeforge::ui
