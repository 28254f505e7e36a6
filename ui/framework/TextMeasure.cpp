// Word wrapping over measured prefix widths, and the device-context measure.
#include "ui/framework/TextMeasure.h"

#include <wx/dc.h>

#include <algorithm>

namespace ridgeforge::ui {

DcTextMeasure::DcTextMeasure(wxDC& dc) : dc_(dc) {}

DcTextMeasure::DcTextMeasure(wxDC& dc, const wxFont& font) : dc_(dc) { dc_.SetFont(font); }

void DcTextMeasure::PrefixWidths(std::wstring_view text, std::vector<int>& widths) const {
    widths.clear();
    if (text.empty()) return;
    wxArrayInt extents;
    dc_.GetPartialTextExtents(wxString(text.data(), text.size()), extents);
    widths.assign(extents.begin(), extents.end());
    widths.resize(text.size(), widths.empty() ? 0 : widths.back());
}

int DcTextMeasure::LineHeight() const {
    wxCoord width = 0, height = 0, descent = 0, leading = 0;
    dc_.GetTextExtent(wxS("Ag"), &width, &height, &descent, &leading);
    return std::max(1, height + leading);
}

CharWidthMeasure::CharWidthMeasure() : bitmap_(1, 1) {
    dc_.SelectObject(bitmap_);
    latin_.fill(-1);
}

void CharWidthMeasure::SetFont(const wxFont& font) {
    dc_.SetFont(font);
    lineHeight_ = DcTextMeasure(dc_).LineHeight();
    latin_.fill(-1);
    others_.clear();
}

int CharWidthMeasure::Advance(wchar_t c) const {
    constexpr int kRun = 16;
    auto measure = [this, c] { return dc_.GetTextExtent(wxString(static_cast<size_t>(kRun), c)).x * 256 / kRun; };
    if (c >= 0 && c < 256) {
        int& slot = latin_[static_cast<std::size_t>(c)];
        if (slot < 0) slot = measure();
        return slot;
    }
    const auto found = others_.find(c);
    if (found != others_.end()) return found->second;
    return others_.emplace(c, measure()).first->second;
}

void CharWidthMeasure::PrefixWidths(std::wstring_view text, std::vector<int>& widths) const {
    widths.resize(text.size());
    int sum = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        sum += Advance(text[i]);
        widths[i] = (sum + 255) / 256;
    }
}

std::vector<TextSegment> WrapText(std::wstring_view text, const std::vector<int>& prefixWidths, int firstWidth,
                                  int laterWidth) {
    const int length = static_cast<int>(text.size());
    if (length == 0) return {TextSegment{}};
    // Width of the characters [from, to).
    auto span = [&prefixWidths](int from, int to) {
        return prefixWidths[static_cast<std::size_t>(to - 1)] -
               (from > 0 ? prefixWidths[static_cast<std::size_t>(from - 1)] : 0);
    };
    std::vector<TextSegment> segments;
    int s = 0;
    while (s < length) {
        const int available = segments.empty() ? firstWidth : laterWidth;
        if (span(s, length) <= available) {
            segments.push_back({s, length - s});
            break;
        }
        int fit = s;  // first character that does not fit
        while (fit < length && span(s, fit + 1) <= available) ++fit;
        int lastSpace = -1;
        for (int i = std::min(fit, length - 1); i > s; --i) {
            if (text[static_cast<std::size_t>(i)] == L' ') {
                lastSpace = i;
                break;
            }
        }
        int next = 0;
        if (lastSpace > s) {
            segments.push_back({s, lastSpace - s});
            next = lastSpace + 1;
        } else {
            const int count = std::max(1, fit - s);
            segments.push_back({s, count});
            next = s + count;
        }
        while (next < length && text[static_cast<std::size_t>(next)] == L' ') ++next;
        s = next;
    }
    return segments;
}

int CountWrappedLines(std::wstring_view text, int width, const TextMeasure& measure) {
    int lines = 0;
    std::vector<int> widths;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find(L'\n', from);
        std::wstring_view paragraph = text.substr(from, end == std::wstring_view::npos ? text.npos : end - from);
        if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.remove_suffix(1);
        measure.PrefixWidths(paragraph, widths);
        lines += static_cast<int>(WrapText(paragraph, widths, width, width).size());
        if (end == std::wstring_view::npos) break;
        from = end + 1;
    }
    return lines;
}

}  // namespace ridgeforge::ui
