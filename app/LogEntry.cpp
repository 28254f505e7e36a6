// Timing removal and line splitting on the way into the log.
#include "app/LogEntry.h"

#include "app/LogLineRules.h"
#include "app/OutputWnd.h"
#include "text/Utf8.h"

namespace ridgeforge {

std::optional<std::wstring> LineForLog(std::wstring_view text, bool detailedLog) {
    if (detailedLog) return std::wstring(text);
    std::wstring line = RemoveTimingText(text);
    if (line.empty() && !text.empty()) return std::nullopt;
    return line;
}

std::vector<std::wstring> LinesOfLogText(std::string_view utf8) {
    const std::wstring text = WideFromUtf8(utf8);
    std::vector<std::wstring> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find(L'\n', from);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

void WriteLog(COutputWnd& pane, std::wstring_view text, LogKind kind, bool detailedLog) {
    if (const auto line = LineForLog(text, detailedLog)) pane.AddLine(*line, kind);
}

void WriteLogText(COutputWnd& pane, std::string_view utf8, bool detailedLog) {
    for (const std::wstring& line : LinesOfLogText(utf8)) WriteLog(pane, line, LogKind::Auto, detailedLog);
}

}  // namespace ridgeforge
