// The triangle-size part of the Relief section. The estimate under the
// field is worked out again only when the size or the part changed, since
// it measures the whole part on the user-interface thread.
#include <wx/dcclient.h>
#include <wx/textctrl.h>

#include "ui/framework/DialogFloat.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"
#include "ui/framework/Paint.h"
#include "ui/framework/TextMeasure.h"
#include "ui/workflow/FlowDocument.h"
#include "ui/workflow/PresetNumberField.h"
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
    PresetNumberField::Actions actions;
    actions.commit = [this] { CommitTypedSize(); };
    actions.apply = [this](float size) { ApplyTriangleSize(size); };
    actions.documentValue = [](const FlowDocument& document) { return document.Remesh().targetEdgeMillimetres; };
    actions.escaped = [this] {
        cachedSize_ = -1.0f;
        UpdateFromDocument(GetActiveFlowDocument());
    };
    field_.Create(this, kEditId, kFirstPresetId, kPresets, refreshing_, std::move(actions));
    SetDpi(dpi_);
    return true;
}

void CRemeshBody::SetDpi(unsigned dpi) {
    CSectionBody::SetDpi(dpi);
    field_.SetFont(ui::GetUiFont(ui::Normal, dpi_));
    LayoutControls();
}

int CRemeshBody::GetPreferredHeight() const { return ui::ScaleDip(76, dpi_); }

void CRemeshBody::LayoutControls() {
    if (Edit() == nullptr) return;
    auto dip = [this](int size) { return ui::ScaleDip(size, dpi_); };
    const int width = GetClientSize().x;
    label_ = wxRect(dip(8), dip(8), dip(80) - dip(8), dip(32) - dip(8));
    field_.Place(dip(80), dip(8), dip(44), dip(164), dip(40), dip(40) + dip(6) / 2, dip(24));
    unit_ = wxRect(dip(128), dip(8), dip(150) - dip(128), dip(24));
    estimateRect_ = wxRect(dip(8), dip(38), std::max(0, width - dip(8) - dip(8)), dip(68) - dip(38));
    Refresh();
}

void CRemeshBody::UpdateFromDocument(FlowDocument* document) {
    const bool partLoaded = document != nullptr && document->HasPart();
    enabled_ = partLoaded && document->DisplacementOn();
    wxTextCtrl* edit = Edit();
    if (edit->IsEnabled() != enabled_) {
        field_.Enable(enabled_);
        Refresh();
    }
    if (document == nullptr) return;

    const float size = document->Remesh().targetEdgeMillimetres;
    if (!field_.BeingTyped()) {
        const wxString text = ui::FormatFloatField(size);
        if (edit->GetValue() != text) {
            refreshing_ = true;
            edit->ChangeValue(text);
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
    if (!(settings == document->Remesh()))
        document->Edit([&settings](DocumentEdit& edit) { edit.remeshSettings = settings; });
    UpdateFromDocument(document);
}

void CRemeshBody::CommitTypedSize() {
    if (const auto size = AcceptTriangleSize(Edit()->GetValue())) {
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
