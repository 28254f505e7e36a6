// How one log line is laid out in the Output list: the widths it wraps to,
// its segments and its item height. The list measures, draws and sizes its
// items with this one rule, so that a line is drawn in the height it was given.
//
// Continuation lines hang: they start the continuation indent plus the width
// of the line's own leading spaces further right, but keep at least a third
// of the width. An item is never taller than the list control allows (255
// pixels); what does not fit is cut and ends in an ellipsis.
#pragma once

#include "ui/framework/TextMeasure.h"

#include <string_view>
#include <vector>

namespace ridgeforge {

inline constexpr int kMaximumLogItemHeight = 255;

// Sizes in pixels at the list's current DPI.
struct LogListMetrics {
    int lineHeight = 16;
    int textMargin = 6;
    int markerBar = 3;
    int continuationIndent = 14;
    int minimumTextWidth = 40;
};

struct LogLineLayout {
    std::vector<ui::TextSegment> segments;
    int leadingWidth = 0;  // width of the line's leading spaces
    int height = 0;        // item height, at most kMaximumLogItemHeight
};

// The width text may take on a line's first segment in a list this wide.
int LogTextWidth(int clientWidth, const LogListMetrics& metrics);

// `prefixWidths` as TextMeasure::PrefixWidths gives them for `text`.
LogLineLayout LayOutLogLine(std::wstring_view text, const std::vector<int>& prefixWidths, int clientWidth,
                            const LogListMetrics& metrics);

}  // namespace ridgeforge
