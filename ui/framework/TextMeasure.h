// Text measurement behind a small interface, so that wrapping can be worked
// out (and tested) without a window: a device-context measure for the screen,
// and the word-wrapping rule shared by the log and the text boxes.
//
// Wrapping takes as many characters as fit, then breaks at the last space
// that still fits (dropping it), or inside a word too long for a line; spaces
// at the start of a following line are skipped. GTK's text view does not say
// how many lines its wrapping made, so boxes that size themselves to their
// text count wrapped lines here.
#pragma once

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/font.h>

#include <array>
#include <string_view>
#include <unordered_map>
#include <vector>

class wxDC;

namespace ridgeforge::ui {

class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    // widths[i] is the width in pixels of the text's first i + 1 characters.
    virtual void PrefixWidths(std::wstring_view text, std::vector<int>& widths) const = 0;
    // Height of one line of text: the font's height plus its external leading.
    virtual int LineHeight() const = 0;
};

// Measures with the font currently selected into (or given to) a device context.
class DcTextMeasure final : public TextMeasure {
public:
    explicit DcTextMeasure(wxDC& dc);
    DcTextMeasure(wxDC& dc, const wxFont& font);
    void PrefixWidths(std::wstring_view text, std::vector<int>& widths) const override;
    int LineHeight() const override;

private:
    wxDC& dc_;
};

// Measures text as the sum of its characters' advances, each character
// measured once per font (as a run of sixteen, so that fractional advances
// add up right). Laying out a whole line through the text library costs tens
// of microseconds; this costs a table lookup per character, which lets a long
// log be measured again whenever its width changes. Kerning is left out; it
// only narrows text, so wrapping by these widths breaks early, never late.
class CharWidthMeasure final : public TextMeasure {
public:
    CharWidthMeasure();
    void SetFont(const wxFont& font);
    void PrefixWidths(std::wstring_view text, std::vector<int>& widths) const override;
    int LineHeight() const override { return lineHeight_; }

private:
    // Advance of a character in 1/256 pixel.
    int Advance(wchar_t c) const;

    wxBitmap bitmap_;
    mutable wxMemoryDC dc_;
    int lineHeight_ = 1;
    mutable std::array<int, 256> latin_{};
    mutable std::unordered_map<wchar_t, int> others_;
};

struct TextSegment {
    int start = 0;
    int length = 0;
    bool operator==(const TextSegment&) const = default;
};

// The lines of one paragraph (no line breaks inside): the first line may be
// `firstWidth` wide, every later one `laterWidth`. An empty text is one empty line.
std::vector<TextSegment> WrapText(std::wstring_view text, const std::vector<int>& prefixWidths, int firstWidth,
                                  int laterWidth);

// Lines a word-wrapping box `width` pixels wide shows for the text: each
// '\n' (with or without '\r') starts a new line, each paragraph wraps.
int CountWrappedLines(std::wstring_view text, int width, const TextMeasure& measure);

}  // namespace ridgeforge::ui
