// Text conversions that every document operation uses: UTF-8 to and from
// the document's wide text, counts with thousands separators, fixed
// three-decimal numbers, and taking timings out of log lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "document/DocumentHost.h"

namespace ridgeforge {

CString Utf8ToCString(std::string_view utf8);
std::string CStringToUtf8(std::wstring_view text);
// 1234567 gives "1,234,567".
CString FormatWithThousands(std::uint64_t value);
// "%.3f".
CString FormatFloat3(float value);
// "1.000, 2.500, -3.000".
CString FormatVec3(float x, float y, float z);
// printf into a wide string, in the C locale's number format.
CString FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The line without its timings: every "(... ms)" goes together with the
// blanks before it, and a line that is only "in <number> ms" becomes empty.
CString RemoveTimingText(const CString& text);

}  // namespace ridgeforge
