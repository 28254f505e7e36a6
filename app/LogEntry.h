// The document's two ways into the log. Log writes one line: as given when
// the detailed log is on; otherwise without its timings, and not at all when
// a timing was all it held. LogText writes UTF-8 text line by line with the
// kind worked out from each line's wording; a final line break adds no empty
// line. These rules run here and nowhere else, so a line is never stripped twice.
#pragma once

#include "app/LogKind.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ridgeforge {

class COutputWnd;

// The line Log adds, or nothing when the line is dropped.
std::optional<std::wstring> LineForLog(std::wstring_view text, bool detailedLog);

// The lines LogText hands to Log, in order.
std::vector<std::wstring> LinesOfLogText(std::string_view utf8);

void WriteLog(COutputWnd& pane, std::wstring_view text, LogKind kind, bool detailedLog);
void WriteLogText(COutputWnd& pane, std::string_view utf8, bool detailedLog);

}  // namespace ridgeforge
