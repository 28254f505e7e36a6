// Measures the help viewer's text in its eight fonts. A width is measured once
// per font and text and then kept: a relayout after a resize measures nothing
// new, and neither does another viewer that shows the same words in the same
// fonts (every dialog makes its own viewer, so a help page opened again is
// laid out without measuring). Widths are kept by the font's full description
// (face, weight, slant, pixel size), so fonts made for another DPI never see
// the widths of the old ones.
//
// Widths come from one graphics context per font, each given its font once,
// rather than from the caller's device context: a page alternates fonts word
// by word, and every font switch on a device context builds a new toolkit
// font object. Metrics still come from the attached device context.
#pragma once

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/dcmemory.h>
#include <wx/font.h>
#include <wx/graphics.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "ui/app/MarkdownLayout.h"

namespace ridgeforge {

using MarkdownFontSet = std::array<wxFont, kMarkdownFontCount>;

class WxMarkdownMeasurer : public MarkdownMeasurer {
public:
    WxMarkdownMeasurer();
    ~WxMarkdownMeasurer() override;
    WxMarkdownMeasurer(const WxMarkdownMeasurer&) = delete;
    WxMarkdownMeasurer& operator=(const WxMarkdownMeasurer&) = delete;

    // Call after the fonts were made again: forgets which fonts it measured with.
    void Reset();
    // The device context the next measurements use; null measures nothing (0).
    void Attach(wxDC* dc, const MarkdownFontSet* fonts);

    int TextWidth(MarkdownFont font, std::wstring_view text) override;
    FontMetrics Metrics(MarkdownFont font) override;

    // Drops the widths kept for every font, so that the next layout measures
    // from scratch.
    static void ForgetAllWidths();

    // Looks words up by view, so that a hit allocates nothing.
    struct WordHash {
        using is_transparent = void;
        std::size_t operator()(std::wstring_view text) const { return std::hash<std::wstring_view>{}(text); }
    };
    using WidthCache = std::unordered_map<std::wstring, int, WordHash, std::equal_to<>>;

private:
    void Select(MarkdownFont font);
    // The context and kept widths of a font of the attached set, made on first use.
    struct FontSlot {
        std::unique_ptr<wxGraphicsContext> context;
        WidthCache* widths = nullptr;
    };
    FontSlot& SlotFor(MarkdownFont font);
    void DropSlots();

    wxDC* dc_ = nullptr;
    const MarkdownFontSet* fonts_ = nullptr;
    int selected_ = -1;
    std::array<FontMetrics, kMarkdownFontCount> metrics_{};
    std::array<bool, kMarkdownFontCount> haveMetrics_{};

    // The font set the slots were made for; the contexts measure on a
    // private one-pixel bitmap, since they draw nothing.
    const MarkdownFontSet* slotFonts_ = nullptr;
    std::unique_ptr<wxBitmap> bitmap_;
    std::unique_ptr<wxMemoryDC> memory_;
    std::array<FontSlot, kMarkdownFontCount> slots_;
};

}  // namespace ridgeforge
