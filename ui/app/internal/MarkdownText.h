// Small text helpers the Markdown engine's files share.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace ridgeforge::markdown {

// Space, tab, carriage return, line feed, vertical tab, form feed.
bool IsBlank(wchar_t c);
std::wstring_view TrimLeft(std::wstring_view text);
std::wstring_view TrimRight(std::wstring_view text);
std::wstring_view Trim(std::wstring_view text);

// The text's lines at line feeds; a final line feed ends the last line
// rather than starting an empty one.
std::vector<std::wstring_view> SplitLines(std::wstring_view text);

// Length of a "12. " prefix (digits, a full stop, a space), or 0.
std::size_t NumberedPrefixLength(std::wstring_view text);

}  // namespace ridgeforge::markdown
