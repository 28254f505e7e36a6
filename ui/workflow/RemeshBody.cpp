// The triangle-size part of the Relief section. The estimate under the
// field is worked out again only when the size or the part changed, since
// it measures the whole part on the user-interface thread.
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/textctrl.h>

#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "ui/framework/TextMeasure.h"
#include "ui/workflow/FlowDocument.h"
#include "ui/workflow/ReliefBodies.h"
#include "ui/workflow/ReliefRules.h"

namespace ridgeforge {
namespace {

constexpr int kEditId = 1;
constexpr int kFirstPresetId = 2;

// Word-wrapped lines of `text` in `rect`; the last line that fits ends
// with "..." when more text follows.
void DrawWrapped(wxDC& dc, const wxString& text, const wxRect& rect) {
    if (rect.width <= 0 || rect.height <= 0) return;
    const std::wstring wide = text.ToStdWstring();
    ui::DcTextMeasure measure(dc);
    std::vector<int> widths;
    measure.PrefixWidths(wide, widths);
    const auto lines = ui::WrapText(wide, widths, rect.width, rect.width);
    const int lineHeight = std::max(1, measure.LineHeight());
    const int fitting = std::max(1, rect.height / lineHeight);
    wxDCClipper clip(dc, rect);
    for (int i = 0; i < static_cast<int>(lines.size()) && i < fitting; ++i) {
        const auto& line = lines[static_cast<std::size_t>(i)];
        const bool lastShown = i + 1 == fitting && i + 1 < static_cast<int>(lines.size());
        const std::size_t start = static_cast<std::size_t>(line.start);
        const wxString part = lastShown ? wxString(wide.substr(start))
                                        : wxString(wide.substr(start, static_cast<std::size_t>(line.length)));
        ui::DrawEllipsisText(dc, part, wxRect(rect.x, rect.y + i * lineHeight, rect.width, lineHeight));
    }
}

}  // namespace

bool CRemeshBody::OnCreateBody() {
    edit_ = new wxTextCtrl(this, kEditId, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                           wxTE_RIGHT | wxTE_PROCESS_ENTER | wxBORDER_SIMPLE);
    edit_->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
        event.Skip();
        if (!refreshing_) CommitTypedSize();
    });
    edit_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
        if (!refreshing_) CommitTypedSize();
    });
    for (int i = 0; i < 3; ++i) {
        const float size = kPresets[static_cast<std::size_t>(i)];
        auto* button = new wxButton(this, kFirstPresetId + i, ui::FormatFloatField(size), wxDefaultPosition,
                                    wxDefaultSize, wxBU_EXACTFIT);
        button->Bind(wxEVT_BUTTON, [this, size](wxCommandEvent&) {
            if (!refreshing_) ApplyTriangleSize(size);
        });
        presets_[static_cast<std::size_t>(i)] = button;
    }
    Bind(wxEVT_CHAR_HOOK, &CRemeshBody::OnCharHook, this);
    SetDpi(dpi_);
    return true;
}

void CRemeshBody::OnCharHook(wxKeyEvent& event) {
    if (wxWindow::FindFocus() != edit_) {
        event.Skip();
        return;
    }
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) {
        CommitTypedSize();
    } else if (event.GetKeyCode() == WXK_ESCAPE) {
        cachedSize_ = -1.0f;
        // The document's value goes back into the field even though it
        // keeps the focus.
        if (FlowDocument* document = GetActiveFlowDocument()) {
            refreshing_ = true;
            edit_->ChangeValue(ui::FormatFloatField(document->Remesh().targetEdgeMillimetres));
            refreshing_ = false;
        }
        UpdateFromDocument(GetActiveFlowDocument());
    } else {
        event.Skip();
    }
}

void CRemeshBody::SetDpi(unsigned dpi) {
    CSectionBody::SetDpi(dpi);
    const wxFont& font = ui::GetUiFont(ui::Normal, dpi_);
    if (edit_ != nullptr) edit_->SetFont(font);
    for (wxButton* button : presets_)
        if (button != nullptr) button->SetFont(font);
    LayoutControls();
}

int CRemeshBody::GetPreferredHeight() const { return ui::ScaleDip(76, dpi_); }

void CRemeshBody::LayoutControls() {
    if (edit_ == nullptr) return;
    auto dip = [this](int size) { return ui::ScaleDip(size, dpi_); };
    const int width = GetClientSize().x;
    label_ = wxRect(dip(8), dip(8), dip(80) - dip(8), dip(32) - dip(8));
    edit_->SetSize(dip(80), dip(8), dip(44), dip(24));
    unit_ = wxRect(dip(128), dip(8), dip(150) - dip(128), dip(24));
    const int step = dip(40) + dip(6) / 2;
    for (int i = 0; i < 3; ++i)
        presets_[static_cast<std::size_t>(i)]->SetSize(dip(164) + i * step, dip(8), dip(40), dip(24));
    estimateRect_ = wxRect(dip(8), dip(38), std::max(0, width - dip(8) - dip(8)), dip(68) - dip(38));
    Refresh();
}

void CRemeshBody::UpdateFromDocument(FlowDocument* document) {
    const bool partLoaded = document != nullptr && document->HasPart();
    enabled_ = partLoaded && document->DisplacementOn();
    if (edit_->IsEnabled() != enabled_) {
        edit_->Enable(enabled_);
        for (wxButton* button : presets_) button->Enable(enabled_);
        Refresh();
    }
    if (document == nullptr) return;

    const float size = document->Remesh().targetEdgeMillimetres;
    if (wxWindow::FindFocus() != edit_) {
        const wxString text = ui::FormatFloatField(size);
        if (edit_->GetValue() != text) {
            refreshing_ = true;
            edit_->ChangeValue(text);
            refreshing_ = false;
        }
    }
    const std::uint32_t counter = partLoaded ? document->PartCounter() : 0;
    if (size == cachedSize_ && counter == cachedCounter_) return;
    cachedSize_ = size;
    cachedCounter_ = counter;
    if (!partLoaded) {
        estimate_ = kNoPartEstimate;
    } else {
        ++estimates_;
        estimate_ = EstimateText(EstimateReliefTriangles(document->WorkingPart(), document->Remesh()));
    }
    Refresh();
}

void CRemeshBody::ApplyTriangleSize(float size) {
    FlowDocument* document = GetActiveFlowDocument();
    if (document == nullptr) return;
    mesh::RemeshSettings settings = document->Remesh();
    settings.targetEdgeMillimetres = StoredTriangleSize(size);
    if (!(settings == document->Remesh())) {
        document->SetRemesh(settings);
        document->OnSettingsChanged();
    }
    UpdateFromDocument(document);
}

void CRemeshBody::CommitTypedSize() {
    if (const auto size = AcceptTriangleSize(edit_->GetValue())) {
        ApplyTriangleSize(*size);
        return;
    }
    UpdateFromDocument(GetActiveFlowDocument());
}

void CRemeshBody::PaintBody(wxDC& dc) {
    ui::FillRectExact(dc, wxRect(GetClientSize()), flow_colours::kBackground);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.SetFont(ui::GetUiFont(ui::Normal, dpi_));
    dc.SetTextForeground(enabled_ ? flow_colours::kText : flow_colours::kSecondary);
    // Labels run past their boxes rather than being cut: the boxes were
    // measured for a narrower face than the one here.
    dc.DrawLabel("Triangle size", label_, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
    dc.DrawLabel("mm", unit_, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
    dc.SetFont(ui::GetUiFont(ui::Small, dpi_));
    dc.SetTextForeground(flow_colours::kSecondary);
    DrawWrapped(dc, estimate_, estimateRect_);
}

}  // namespace ridgeforge
