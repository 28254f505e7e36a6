// Measures the help viewer's text with a wxDC in its eight fonts. Widths are
// kept per font and text, so a page is measured word by word only once and a
// relayout after a resize measures nothing new; the cache is dropped when the
// fonts change.
#pragma once

#include <wx/dc.h>
#include <wx/font.h>

#include <array>
#include <functional>
#include <string>
#include <unordered_map>

#include "app/MarkdownLayout.h"

namespace ridgeforge {

using MarkdownFontSet = std::array<wxFont, kMarkdownFontCount>;

class WxMarkdownMeasurer : public MarkdownMeasurer {
public:
    // Drops every cached measurement; call after the fonts were made again.
    void Reset();
    // The device context the next measurements use; null measures nothing (0).
    void Attach(wxDC* dc, const MarkdownFontSet* fonts);

    int TextWidth(MarkdownFont font, std::wstring_view text) override;
    FontMetrics Metrics(MarkdownFont font) override;

private:
    // Looks words up by view, so that a hit allocates nothing.
    struct WordHash {
        using is_transparent = void;
        std::size_t operator()(std::wstring_view text) const { return std::hash<std::wstring_view>{}(text); }
    };
    using WidthCache = std::unordered_map<std::wstring, int, WordHash, std::equal_to<>>;

    void Select(MarkdownFont font);

    wxDC* dc_ = nullptr;
    const MarkdownFontSet* fonts_ = nullptr;
    int selected_ = -1;
    std::array<WidthCache, kMarkdownFontCount> widths_;
    std::array<FontMetrics, kMarkdownFontCount> metrics_{};
    std::array<bool, kMarkdownFontCount> haveMetrics_{};
};

}  // namespace ridgeforge
