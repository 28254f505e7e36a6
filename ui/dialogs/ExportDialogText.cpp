#include "ui/dialogs/ExportDialogText.h"

#include <string_view>
#include <vector>

#include "document/DocumentText.h"

namespace ridgeforge {
namespace {

std::vector<std::wstring> SplitAt(const std::wstring& text, std::wstring_view separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::wstring::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring Trimmed(std::wstring_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return std::wstring(text.substr(first, last - first));
}

bool StartsWith(const std::wstring& line, std::wstring_view prefix) {
    return line.size() >= prefix.size() && std::wstring_view(line).substr(0, prefix.size()) == prefix;
}

}  // namespace

ExportSummary SummarizeExportReport(const std::wstring& report, bool checksPassed) {
    std::vector<std::wstring> problems;
    int notes = 0;
    for (const std::wstring& line : SplitAt(report, L"\n")) {
        if (StartsWith(line, kProblemPrefix)) problems.push_back(Trimmed(std::wstring_view(line).substr(10)));
        if (StartsWith(line, kNotePrefix)) ++notes;
    }
    ExportSummary summary;
    if (!problems.empty() || !checksPassed) {
        summary.good = false;
        if (problems.empty()) {
            summary.text = L"Not checked: see below.";
            return summary;
        }
        summary.text = FormatText("%zu problem%s found: ", problems.size(), problems.size() == 1 ? "" : "s");
        for (std::size_t i = 0; i < problems.size(); ++i) summary.text += (i > 0 ? L"; " : L"") + problems[i];
        summary.text += L".";
        return summary;
    }
    summary.text = L"Ready to save: no problems found.";
    if (notes > 0) summary.text += FormatText(" %d note%s about printing below.", notes, notes == 1 ? "" : "s");
    return summary;
}

std::wstring ShownExportReport(const std::wstring& report, double seconds, bool detailedLog) {
    if (detailedLog) return report + FormatText("\r\nChecked in %.1f s.", seconds);
    std::wstring shown;
    bool first = true;
    for (const std::wstring& line : SplitAt(report, L"\r\n")) {
        const std::wstring kept = RemoveTimingText(line);
        if (!line.empty() && kept.empty()) continue;
        if (!first) shown += L"\r\n";
        shown += kept;
        first = false;
    }
    while (!shown.empty() && IsBlank(shown.back())) shown.pop_back();
    return shown;
}

}  // namespace ridgeforge
