// The one conversion between the wide strings of the windows and the
// document and file-system paths. A path on this platform is bytes, UTF-8 by
// convention but not always; std::filesystem would convert a wide string
// through the global C++ locale, which throws for any letter outside ASCII
// under the C locale and for any name that is not UTF-8 under a UTF-8 one.
// These go through UTF-8 whatever the locale, and keep every byte that is not
// UTF-8 (Utf8.h), so a name read from the disk names the same file when it
// comes back. scripts/check_wide_paths.py holds the program's sources to them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ridgeforge {

std::filesystem::path PathFromWide(std::wstring_view wide);
std::wstring WideFromPath(const std::filesystem::path& path);

// The same through the UTF-8 text that lists and project files keep:
// Utf8FromWide of the wide form, which is always valid UTF-8.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// A name of the wide form as it is shown where no escaped byte may go (a
// window's title): each byte that is not UTF-8 becomes U+FFFD, the usual sign
// of a character that could not be read.
std::wstring ShownName(std::wstring_view wide);

}  // namespace ridgeforge
