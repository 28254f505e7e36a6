// Conversions between UTF-8 byte strings and wide strings (UTF-32 on this
// platform). Invalid input never fails: each broken sequence becomes U+FFFD,
// the way the system's text layer has always treated it.
#pragma once

#include <string>
#include <string_view>

namespace ridgeforge {

std::string Utf8FromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);

// The same for bytes that need not be UTF-8 (a file name on this platform):
// each byte outside a valid sequence becomes the character U+100000 + byte,
// and back, so any byte string survives the trip through a wide string
// exactly. The window library's file-name conversion uses the same
// characters, so its strings and these agree. A valid sequence that spells
// one of those characters is kept byte by byte too, so nothing is mistaken
// for an escaped byte. The wide form stays valid text: Utf8FromWide turns it
// into valid UTF-8 that WideFromUtf8 reads back unchanged.
std::wstring WideFromBytesKeepingInvalid(std::string_view bytes);
std::string BytesFromWideKeepingInvalid(std::wstring_view wide);

}  // namespace ridgeforge
