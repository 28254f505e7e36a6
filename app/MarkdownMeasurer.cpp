#include "app/internal/MarkdownMeasurer.h"

namespace ridgeforge {

void WxMarkdownMeasurer::Reset() {
    for (auto& cache : widths_) cache.clear();
    haveMetrics_.fill(false);
    selected_ = -1;
}

void WxMarkdownMeasurer::Attach(wxDC* dc, const MarkdownFontSet* fonts) {
    dc_ = dc;
    fonts_ = fonts;
    selected_ = -1;
}

void WxMarkdownMeasurer::Select(MarkdownFont font) {
    const int index = static_cast<int>(font);
    if (selected_ == index) return;
    dc_->SetFont((*fonts_)[static_cast<std::size_t>(index)]);
    selected_ = index;
}

int WxMarkdownMeasurer::TextWidth(MarkdownFont font, std::wstring_view text) {
    if (text.empty()) return 0;
    auto& cache = widths_[static_cast<std::size_t>(font)];
    if (const auto found = cache.find(text); found != cache.end()) return found->second;
    if (dc_ == nullptr || fonts_ == nullptr) return 0;
    Select(font);
    wxCoord width = 0;
    wxCoord height = 0;
    dc_->GetTextExtent(wxString(text.data(), text.size()), &width, &height);
    cache.emplace(std::wstring(text), width);
    return width;
}

FontMetrics WxMarkdownMeasurer::Metrics(MarkdownFont font) {
    const auto index = static_cast<std::size_t>(font);
    if (haveMetrics_[index]) return metrics_[index];
    if (dc_ == nullptr || fonts_ == nullptr) return {};
    Select(font);
    wxCoord width = 0;
    wxCoord height = 0;
    wxCoord descent = 0;
    wxCoord leading = 0;
    dc_->GetTextExtent(wxString("Xg"), &width, &height, &descent, &leading);
    metrics_[index] = {height, leading};
    haveMetrics_[index] = true;
    return metrics_[index];
}

}  // namespace ridgeforge
