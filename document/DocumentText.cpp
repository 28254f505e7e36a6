#include "document/DocumentText.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "text/Format.h"
#include "text/Utf8.h"

namespace ridgeforge {

CString Utf8ToCString(std::string_view utf8) { return utf8.empty() ? CString() : WideFromUtf8(utf8); }

std::string CStringToUtf8(std::wstring_view text) { return text.empty() ? std::string() : Utf8FromWide(text); }

CString FormatWithThousands(std::uint64_t value) { return Utf8ToCString(FormatCount(value)); }

CString FormatFloat3(float value) { return FormatText("%.3f", static_cast<double>(value)); }

CString FormatVec3(float x, float y, float z) {
    return FormatFloat3(x) + L", " + FormatFloat3(y) + L", " + FormatFloat3(z);
}

CString FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        out.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(again);
    return Utf8ToCString(out);
}

namespace {

bool IsTimingDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || c == L'.'; }

// A line that is nothing but "in <digits and dots> ms" after its indent.
bool IsWholeLineTiming(const CString& text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == L' ' || text[start] == L'\t')) ++start;
    if (start == text.size()) return false;
    if (text.compare(start, 3, L"in ") != 0) return false;
    if (text.size() <= start + 6) return false;
    if (text.size() < 3 || text.compare(text.size() - 3, 3, L" ms") != 0) return false;
    const std::size_t first = start + 3;
    const std::size_t end = text.size() - 3;
    if (end < first) return false;
    for (std::size_t i = first; i < end; ++i) {
        if (!IsTimingDigit(text[i])) return false;
    }
    return true;
}

}  // namespace

CString RemoveTimingText(const CString& text) {
    CString out = text;
    for (;;) {
        const std::size_t ms = out.find(L" ms)");
        if (ms == CString::npos) break;
        const std::size_t open = out.rfind(L'(', ms);
        if (open == CString::npos) break;
        std::size_t cut = open;
        while (cut > 0 && out[cut - 1] == L' ') --cut;
        out.erase(cut, ms + 4 - cut);
    }
    if (IsWholeLineTiming(out)) return CString();
    return out;
}

}  // namespace ridgeforge
