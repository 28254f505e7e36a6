#include "text/PathText.h"

#include "text/Utf8.h"

namespace ridgeforge {

std::filesystem::path PathFromWide(std::wstring_view wide) {
    return std::filesystem::path(BytesFromWideKeepingInvalid(wide));
}

std::wstring WideFromPath(const std::filesystem::path& path) { return WideFromBytesKeepingInvalid(path.native()); }

std::filesystem::path PathFromUtf8(std::string_view utf8) { return PathFromWide(WideFromUtf8(utf8)); }

std::string Utf8FromPath(const std::filesystem::path& path) { return Utf8FromWide(WideFromPath(path)); }

std::wstring ShownName(std::wstring_view wide) { return WideFromUtf8(BytesFromWideKeepingInvalid(wide)); }

}  // namespace ridgeforge
