// The texts the Save STL dialog shows after a check: the one-line summary
// with its verdict, read from the report's line prefixes, and the report as
// shown, with or without its timings.
#pragma once

#include <string>

namespace ridgeforge {

// The report's line prefixes that the summary reads (ten characters each).
inline constexpr wchar_t kProblemPrefix[] = L"  PROBLEM ";
inline constexpr wchar_t kNotePrefix[] = L"  note    ";

struct ExportSummary {
    std::wstring text;
    bool good = true;  // shown green; amber otherwise
};

// "Ready to save: no problems found." (with the count of notes when there
// are any), "N problems found: a; b." or, without problem lines and without a
// passed check, "Not checked: see below.".
ExportSummary SummarizeExportReport(const std::wstring& report, bool checksPassed);

// The report as the dialog shows it. With the detailed log on: the report
// and "Checked in N.N s.". Otherwise every timing is taken out; a line that
// held only a timing goes, an empty line stays; no trailing blanks.
std::wstring ShownExportReport(const std::wstring& report, double seconds, bool detailedLog);

}  // namespace ridgeforge
