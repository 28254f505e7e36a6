// The strength, direction and bed-face part of the Relief section, with a
// small picture of where the relief goes against the surface.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/graphics.h>
#include <wx/textctrl.h>

#include <memory>

#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "ui/workflow/FlowDocument.h"
#include "ui/workflow/ReliefBodies.h"
#include "ui/workflow/ReliefRules.h"

namespace ridgeforge {
namespace {

constexpr int kEditId = 5;
constexpr int kDirectionId = 6;
constexpr int kKeepFlatId = 7;
constexpr int kFirstPresetId = 8;
constexpr unsigned char kDisabledAlpha = 110;

wxColour WithAlpha(const wxColour& colour, bool enabled) {
    return wxColour(colour.Red(), colour.Green(), colour.Blue(), enabled ? 255 : kDisabledAlpha);
}

}  // namespace

bool CDisplacementBody::OnCreateBody() {
    edit_ = new wxTextCtrl(this, kEditId, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                           wxTE_RIGHT | wxTE_PROCESS_ENTER | wxBORDER_SIMPLE);
    edit_->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
        event.Skip();
        if (!refreshing_) CommitTypedStrength();
    });
    edit_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
        if (!refreshing_) CommitTypedStrength();
    });
    for (int i = 0; i < 3; ++i) {
        const float strength = kPresets[static_cast<std::size_t>(i)];
        auto* button = new wxButton(this, kFirstPresetId + i, ui::FormatFloatField(strength), wxDefaultPosition,
                                    wxDefaultSize, wxBU_EXACTFIT);
        button->Bind(wxEVT_BUTTON, [this, strength](wxCommandEvent&) {
            if (!refreshing_) ApplyStrength(strength);
        });
        presets_[static_cast<std::size_t>(i)] = button;
    }
    const wxString directions[] = {"Centred", "Outward only", "Inward only"};
    direction_ = new wxChoice(this, kDirectionId, wxDefaultPosition, wxDefaultSize, 3, directions);
    direction_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
        if (!refreshing_ && direction_->GetSelection() != wxNOT_FOUND) ApplyDirection(direction_->GetSelection());
    });
    keepFlat_ = new wxCheckBox(this, kKeepFlatId, "Keep the bed face flat");
    // No background colour of its own: on GTK 3 it also blanks the tick.
    keepFlat_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        if (!refreshing_) ApplyKeepFlat(keepFlat_->GetValue());
    });
    Bind(wxEVT_CHAR_HOOK, &CDisplacementBody::OnCharHook, this);
    SetDpi(dpi_);
    return true;
}

void CDisplacementBody::OnCharHook(wxKeyEvent& event) {
    if (wxWindow::FindFocus() != edit_) {
        event.Skip();
        return;
    }
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) {
        CommitTypedStrength();
    } else if (event.GetKeyCode() == WXK_ESCAPE) {
        if (FlowDocument* document = GetActiveFlowDocument()) {
            refreshing_ = true;
            edit_->ChangeValue(ui::FormatFloatField(document->Displacement().strengthMillimetres));
            refreshing_ = false;
        }
        UpdateFromDocument(GetActiveFlowDocument());
    } else {
        event.Skip();
    }
}

void CDisplacementBody::SetDpi(unsigned dpi) {
    CSectionBody::SetDpi(dpi);
    const wxFont& font = ui::GetUiFont(ui::Normal, dpi_);
    for (wxWindow* control : std::initializer_list<wxWindow*>{edit_, direction_, keepFlat_})
        if (control != nullptr) control->SetFont(font);
    for (wxButton* button : presets_)
        if (button != nullptr) button->SetFont(font);
    LayoutControls();
}

int CDisplacementBody::GetPreferredHeight() const { return ui::ScaleDip(100, dpi_); }

void CDisplacementBody::LayoutControls() {
    if (edit_ == nullptr) return;
    auto dip = [this](int size) { return ui::ScaleDip(size, dpi_); };
    const int width = GetClientSize().x;
    strengthLabel_ = wxRect(dip(8), dip(8), dip(80) - dip(8), dip(24));
    edit_->SetSize(dip(80), dip(8), dip(44), dip(24));
    unit_ = wxRect(dip(128), dip(8), dip(150) - dip(128), dip(24));
    const int step = dip(40) + dip(6) / 2;
    for (int i = 0; i < 3; ++i)
        presets_[static_cast<std::size_t>(i)]->SetSize(dip(164) + i * step, dip(8), dip(40), dip(24));
    directionLabel_ = wxRect(dip(8), dip(38), dip(80) - dip(8), dip(62) - dip(38));
    direction_->SetSize(dip(80), dip(38), dip(130), dip(24));
    diagram_ = DiagramRect(width, dpi_);
    wxRect keepFlat = KeepFlatRect(width, dpi_);
    keepFlat.width = CheckBoxWidth(*keepFlat_, keepFlat.width);
    keepFlat_->SetSize(keepFlat);
    // The whole body repaints with the values the diagram was last drawn
    // for; forgetting them here would show "0 mm" until the next refresh.
    Refresh();
}

void CDisplacementBody::UpdateFromDocument(FlowDocument* document) {
    enabled_ = document != nullptr && document->HasPart() && document->DisplacementOn();
    if (edit_->IsEnabled() != enabled_) {
        for (wxWindow* control : std::initializer_list<wxWindow*>{edit_, direction_, keepFlat_})
            control->Enable(enabled_);
        for (wxButton* button : presets_) button->Enable(enabled_);
        keepFlat_->SetForegroundColour(enabled_ ? flow_colours::kText : flow_colours::kSecondary);
        Refresh();
    }
    if (document == nullptr) return;

    const mesh::DisplacementSettings& settings = document->Displacement();
    refreshing_ = true;
    if (wxWindow::FindFocus() != edit_) {
        const wxString text = ui::FormatFloatField(settings.strengthMillimetres);
        if (edit_->GetValue() != text) edit_->ChangeValue(text);
    }
    // The list cannot say whether it is dropped down; while it has the
    // focus the user may be choosing, so it is left alone.
    const int direction = static_cast<int>(settings.direction);
    if (wxWindow::FindFocus() != direction_ && direction_->GetSelection() != direction)
        direction_->SetSelection(direction >= 0 && direction < 3 ? direction : wxNOT_FOUND);
    if (keepFlat_->GetValue() != settings.base.enabled) keepFlat_->SetValue(settings.base.enabled);
    refreshing_ = false;

    if (settings.strengthMillimetres == cachedStrength_ && direction == cachedDirection_ && enabled_ == cachedEnabled_)
        return;
    cachedStrength_ = settings.strengthMillimetres;
    cachedDirection_ = direction;
    cachedEnabled_ = enabled_;
    if (!diagram_.IsEmpty()) RefreshRect(diagram_);
}

void CDisplacementBody::ApplyStrength(float strength) {
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr) return;
    mesh::DisplacementSettings settings = document->Displacement();
    settings.strengthMillimetres = strength;
    if (!(settings == document->Displacement())) {
        document->SetDisplacement(settings);
        document->OnSettingsChanged();
    }
    UpdateFromDocument(document);
}

void CDisplacementBody::CommitTypedStrength() {
    FlowDocument* document = GetActiveFlowDocument();
    const float current = document != nullptr ? document->Displacement().strengthMillimetres : 0.0f;
    if (document != nullptr) {
        if (const auto strength = AcceptStrength(edit_->GetValue(), current)) {
            ApplyStrength(*strength);
            return;
        }
    }
    UpdateFromDocument(document);
}

void CDisplacementBody::ApplyDirection(int direction) {
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr) return;
    mesh::DisplacementSettings settings = document->Displacement();
    settings.direction = static_cast<mesh::DisplacementDirection>(direction);
    if (!(settings == document->Displacement())) {
        document->SetDisplacement(settings);
        document->OnSettingsChanged();
    }
    UpdateFromDocument(document);
}

void CDisplacementBody::ApplyKeepFlat(bool keepFlat) {
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr) return;
    mesh::DisplacementSettings settings = document->Displacement();
    settings.base.enabled = keepFlat;
    if (!(settings == document->Displacement())) {
        document->SetDisplacement(settings);
        document->OnSettingsChanged();
    }
    UpdateFromDocument(document);
}

void CDisplacementBody::PaintBody(wxDC& dc) {
    ui::FillRectExact(dc, wxRect(GetClientSize()), flow_colours::kBackground);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetFont(ui::GetUiFont(ui::Normal, dpi_));
    dc.SetTextForeground(enabled_ ? flow_colours::kText : flow_colours::kSecondary);
    dc.DrawLabel("Strength", strengthLabel_, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
    dc.DrawLabel("mm", unit_, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
    dc.DrawLabel("Direction", directionLabel_, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
    if (!diagram_.IsEmpty()) PaintDiagram(dc);
}

void CDisplacementBody::PaintDiagram(wxDC& dc) {
    ui::FillRectExact(dc, diagram_, flow_colours::kBackground);
    const DirectionDiagram d = LayoutDirectionDiagram(diagram_, dpi_, cachedDirection_);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::CreateFromUnknownDC(dc));
    if (gc) {
        gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
        const bool on = cachedEnabled_;
        const double u = d.unit;

        wxGraphicsPath area = gc->CreatePath();
        area.MoveToPoint(d.fill.front());
        for (std::size_t i = 1; i < d.fill.size(); ++i) area.AddLineToPoint(d.fill[i]);
        area.CloseSubpath();
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->SetBrush(gc->CreateBrush(wxBrush(WithAlpha(flow_colours::kSelection, on))));
        gc->FillPath(area);

        gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(WithAlpha(flow_colours::kText, on)).Width(1.4 * u)));
        gc->StrokeLines(d.wave.size(), d.wave.data());

        gc->SetPen(gc->CreatePen(
            wxGraphicsPenInfo(WithAlpha(flow_colours::kAccent, on)).Width(1.2 * u).Style(wxPENSTYLE_SHORT_DASH)));
        gc->StrokeLine(d.x0, d.surfaceY, d.x1, d.surfaceY);

        gc->SetPen(gc->CreatePen(wxGraphicsPenInfo(WithAlpha(flow_colours::kSecondary, on)).Width(u)));
        gc->StrokeLine(d.markerX, d.reliefTop, d.markerX, d.reliefBottom);
        gc->StrokeLine(d.markerX - 3 * u, d.reliefTop, d.markerX + 3 * u, d.reliefTop);
        gc->StrokeLine(d.markerX - 3 * u, d.reliefBottom, d.markerX + 3 * u, d.reliefBottom);
    }
    dc.SetFont(ui::GetUiFont(ui::Small, dpi_));
    dc.SetTextForeground(cachedEnabled_ ? flow_colours::kText : flow_colours::kSecondary);
    dc.DrawLabel(StrengthLabel(cachedStrength_), d.label, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
}

}  // namespace ridgeforge
