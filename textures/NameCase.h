// Case-insensitive handling of item names and paths for the library: every
// character is lower-cased with towlower and the results compare ordinally,
// the one rule that every name lookup of the library uses.
#pragma once

#include <string>
#include <string_view>

namespace ridgeforge {

// The UTF-8 text with each character lower-cased by towlower.
std::string LowerCased(std::string_view text);

// Equal after lower-casing every character.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// Ordinal less-than after lower-casing every character; a prefix sorts first.
bool LessIgnoringCase(std::string_view a, std::string_view b);

}  // namespace ridgeforge
