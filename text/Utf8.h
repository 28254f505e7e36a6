// Conversions between UTF-8 byte strings and wide strings (UTF-32 on this
// platform). Invalid input never fails: each broken sequence becomes U+FFFD,
// the way the system's text layer has always treated it.
#pragma once

#include <string>
#include <string_view>

namespace ridgeforge {

std::string Utf8FromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);

}  // namespace ridgeforge
