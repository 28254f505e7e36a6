// Wrapping widths and item height of a log line.
#include "ui/app/LogLayout.h"

#include <algorithm>

namespace ridgeforge {

int LogTextWidth(int clientWidth, const LogListMetrics& metrics) {
    return std::max(clientWidth - 2 * metrics.textMargin - metrics.markerBar, metrics.minimumTextWidth);
}

LogLineLayout LayOutLogLine(std::wstring_view text, const std::vector<int>& prefixWidths, int clientWidth,
                            const LogListMetrics& metrics) {
    LogLineLayout layout;
    const std::size_t spaces = std::min(text.find_first_not_of(L' '), text.size());
    layout.leadingWidth = spaces > 0 ? prefixWidths[spaces - 1] : 0;
    const int available = LogTextWidth(clientWidth, metrics);
    const int continuation = std::max(available / 3, available - metrics.continuationIndent - layout.leadingWidth);
    layout.segments = ui::WrapText(text, prefixWidths, available, continuation);
    layout.height = std::min(static_cast<int>(layout.segments.size()) * metrics.lineHeight + 2, kMaximumLogItemHeight);
    return layout;
}

}  // namespace ridgeforge
