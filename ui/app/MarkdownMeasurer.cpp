#include "ui/app/internal/MarkdownMeasurer.h"

#include <string>

namespace ridgeforge {
namespace {

// A font's kept widths are dropped whole once they reach this many texts, so
// that hit testing (which measures every prefix it passes) cannot grow them
// without end.
constexpr std::size_t kMaxKeptWidths = 50000;

// Kept widths by font description, shared by every viewer of the process
// (user-interface thread only).
std::unordered_map<std::string, WxMarkdownMeasurer::WidthCache>& KeptWidths() {
    static std::unordered_map<std::string, WxMarkdownMeasurer::WidthCache> kept;
    return kept;
}

}  // namespace

WxMarkdownMeasurer::WxMarkdownMeasurer() = default;

WxMarkdownMeasurer::~WxMarkdownMeasurer() { DropSlots(); }

void WxMarkdownMeasurer::ForgetAllWidths() {
    for (auto& [font, widths] : KeptWidths()) widths.clear();
}

void WxMarkdownMeasurer::Reset() {
    haveMetrics_.fill(false);
    selected_ = -1;
    DropSlots();
}

void WxMarkdownMeasurer::Attach(wxDC* dc, const MarkdownFontSet* fonts) {
    dc_ = dc;
    fonts_ = fonts;
    selected_ = -1;
}

void WxMarkdownMeasurer::DropSlots() {
    // The contexts draw on the memory context's bitmap: they go first.
    for (FontSlot& slot : slots_) slot = FontSlot{};
    memory_.reset();
    bitmap_.reset();
    slotFonts_ = nullptr;
}

void WxMarkdownMeasurer::Select(MarkdownFont font) {
    const int index = static_cast<int>(font);
    if (selected_ == index) return;
    dc_->SetFont((*fonts_)[static_cast<std::size_t>(index)]);
    selected_ = index;
}

WxMarkdownMeasurer::FontSlot& WxMarkdownMeasurer::SlotFor(MarkdownFont font) {
    if (slotFonts_ != fonts_) {
        DropSlots();
        bitmap_ = std::make_unique<wxBitmap>(1, 1);
        memory_ = std::make_unique<wxMemoryDC>(*bitmap_);
        slotFonts_ = fonts_;
    }
    const auto index = static_cast<std::size_t>(font);
    FontSlot& slot = slots_[index];
    if (slot.widths == nullptr) {
        const wxFont& wx = (*fonts_)[index];
        slot.widths = &KeptWidths()[wx.GetNativeFontInfoDesc().utf8_string()];
        slot.context.reset(wxGraphicsContext::Create(*memory_));
        if (slot.context) slot.context->SetFont(wx, *wxBLACK);
    }
    return slot;
}

int WxMarkdownMeasurer::TextWidth(MarkdownFont font, std::wstring_view text) {
    if (text.empty() || dc_ == nullptr || fonts_ == nullptr) return 0;
    FontSlot& slot = SlotFor(font);
    if (const auto found = slot.widths->find(text); found != slot.widths->end()) return found->second;
    const wxString string(text.data(), text.size());
    int width = 0;
    if (slot.context) {
        wxDouble exact = 0;
        wxDouble height = 0;
        slot.context->GetTextExtent(string, &exact, &height);
        // Rounded as a device context rounds the same measurement.
        width = static_cast<int>(exact + 0.5);
    } else {
        Select(font);
        width = dc_->GetTextExtent(string).x;
    }
    if (slot.widths->size() >= kMaxKeptWidths) slot.widths->clear();
    slot.widths->emplace(std::wstring(text), width);
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
