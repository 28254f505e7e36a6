// Case-insensitive comparison of names and paths: both UTF-8 strings are
// widened, each wide character is lower-cased with towlower, and the results
// are compared ordinally. Every name lookup of the system uses this one rule
// so that a name found in one place is found in every other.
#pragma once

#include <string_view>

namespace ridgeforge {

// Negative when a sorts before b, zero when they are equal ignoring case, positive otherwise.
int CompareIgnoreCase(std::string_view a, std::string_view b);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace ridgeforge
