// Appending, the line cap, following the end and the DPI of the Output pane.
#include "ui/app/OutputWnd.h"

#include "ui/app/LogLineRules.h"
#include "ui/framework/CaptionedPane.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Fonts.h"

namespace ridgeforge {

COutputWnd::COutputWnd(wxWindow* parent, ui::CaptionedPane* captioned)
    : wxPanel(parent, wxID_ANY), captioned_(captioned), caption_(wxS("Output")) {
    list_ = new COutputList(this);
    dpi_ = ui::WindowDpi(this);
    Bind(wxEVT_SIZE, &COutputWnd::OnSize, this);
    UpdateFonts();
    AddLine(L"Output log ready.", LogKind::Auto);
}

void COutputWnd::AddLine(const CString& text, LogKind kind) {
    AppendLines(text, kind, !list_->HasCapture(), list_->TopLine());
}

void COutputWnd::AppendLines(std::wstring_view text, LogKind kind, bool follow, std::size_t top) {
    list_->Freeze();
    std::size_t removed = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find(L'\n', from);
        std::wstring_view piece = text.substr(from, end == std::wstring_view::npos ? text.npos : end - from);
        if (!piece.empty() && piece.back() == L'\r') piece.remove_suffix(1);
        list_->PushLine(std::wstring(piece), kind == LogKind::Auto ? ClassifyLogLine(piece) : kind);
        if (list_->LineCount() > kMaximumLines) {
            const std::size_t excess = list_->LineCount() - kMaximumLines;
            list_->PopOldestLines(excess);
            removed += excess;
            discarded_ += excess;
        }
        if (end == std::wstring_view::npos) break;
        from = end + 1;
    }
    list_->SyncAfterRemoval(removed);
    if (follow) {
        ScrollToEnd();
    } else if (list_->LineCount() > 0) {
        list_->SetTopLine(top > removed ? top - removed : 0);
    }
    list_->Thaw();
    if (removed > 0) {
        caption_ =
            wxString::Format(wxS("Output (%llu older lines discarded)"), static_cast<unsigned long long>(discarded_));
        if (captioned_ != nullptr) captioned_->SetCaption(caption_);
    }
    list_->Refresh(false);
}

void COutputWnd::ScrollToEnd() { list_->ScrollToEnd(); }

CString COutputWnd::LineText(std::size_t index) const {
    return index < list_->LineCount() ? list_->LineText(index) : CString();
}

void COutputWnd::Clear() { list_->OnClear(); }

void COutputWnd::UpdateFonts() {
    LogListMetrics metrics;
    metrics.textMargin = ui::ScaleDip(6, dpi_);
    metrics.markerBar = ui::ScaleDip(3, dpi_);
    metrics.continuationIndent = ui::ScaleDip(16, dpi_);
    metrics.minimumTextWidth = ui::ScaleDip(40, dpi_);
    list_->SetLogFont(ui::GetUiFont(ui::Normal, dpi_), metrics);
    if (!list_->HasCapture()) ScrollToEnd();
    list_->Refresh(false);
}

void COutputWnd::SetDpi(unsigned dpi) {
    dpi_ = dpi > 0 ? dpi : ui::WindowDpi(this);
    UpdateFonts();
}

void COutputWnd::OnSize(wxSizeEvent& event) {
    list_->SetSize(GetClientSize());
    if (list_->RemeasureIfWidthChanged() && !list_->HasCapture()) ScrollToEnd();
    event.Skip();
}

}  // namespace ridgeforge
