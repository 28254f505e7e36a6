// UTF-8 <-> UTF-32 by hand rather than through the C locale, so the result
// does not depend on the process's locale settings. Overlong forms, surrogate
// code points and truncated sequences each become one U+FFFD, the common
// "maximal subpart" practice.
#include "text/Utf8.h"

#include <cstdint>

namespace ridgeforge {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string Utf8FromWide(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t w : wide) AppendUtf8(out, static_cast<char32_t>(static_cast<std::uint32_t>(w)));
    return out;
}

std::wstring WideFromUtf8(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        int length = 0;
        char32_t c = 0;
        char32_t lowest = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
            lowest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
            lowest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
            lowest = 0x10000;
        }
        if (length == 0) {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        // Take continuation bytes while they keep the sequence possible; a
        // sequence cut short is replaced once and reading resumes at the byte
        // that broke it.
        std::size_t j = i + 1;
        bool complete = true;
        for (int k = 1; k < length; ++k, ++j) {
            if (j >= n || !IsContinuation(static_cast<unsigned char>(utf8[j]))) {
                complete = false;
                break;
            }
            const char32_t next = (c << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
            // Reject overlong forms, surrogates and values above U+10FFFF as
            // early as the second byte shows them.
            if (k == 1) {
                const char32_t top = next << (6 * (length - 2));
                if (top < lowest || top > 0x10FFFF || (top >= 0xD800 && top <= 0xDFFF)) {
                    complete = false;
                    break;
                }
            }
            c = next;
        }
        out += static_cast<wchar_t>(complete ? c : kReplacement);
        i = j;
    }
    return out;
}

}  // namespace ridgeforge
