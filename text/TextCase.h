// Case-insensitive comparison of names and paths: both UTF-8 strings are
// widened, each wide character is lower-cased with towlower, and the results
// are compared ordinally. Every name lookup of the system uses this one rule
// so that a name found in one place is found in every other.
#pragma once

#include <string>
#include <string_view>

namespace ridgeforge {

// Negative when a sorts before b, zero when they are equal ignoring case, positive otherwise.
int CompareIgnoreCase(std::string_view a, std::string_view b);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// True when a sorts before b ignoring case; a prefix sorts first.
inline bool LessIgnoringCase(std::string_view a, std::string_view b) { return CompareIgnoreCase(a, b) < 0; }
// The UTF-8 text with each character lower-cased by the same rule.
std::string LowerCased(std::string_view text);

}  // namespace ridgeforge
