// UTF-8 <-> UTF-32 by hand rather than through the C locale, so the result
// does not depend on the process's locale settings. Overlong forms, surrogate
// code points and truncated sequences each become one U+FFFD, the common
// "maximal subpart" practice; or, for file names, each of their bytes is
// kept as a private-use character (the escape PEP 383 makes with lone
// surrogates, moved to where wxWidgets' file-name conversion puts it).
#include "text/Utf8.h"

#include <cstdint>

namespace ridgeforge {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// Where a byte that is not UTF-8 goes when it is kept: the start of plane
// 16, a private-use area, as the window library's file-name conversion does.
constexpr char32_t kByteEscapeBase = 0x100000;

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

namespace {

// Decodes UTF-8; each byte that belongs to no valid sequence goes to
// `invalid`, which appends what stands for it.
template <typename Invalid>
std::wstring Decode(std::string_view utf8, Invalid invalid) {
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
            invalid(out, utf8.substr(i, 1));
            ++i;
            continue;
        }
        // Take continuation bytes while they keep the sequence possible; a
        // sequence cut short is invalid as a whole and reading resumes at
        // the byte that broke it.
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
        if (!complete) {
            invalid(out, utf8.substr(i, j - i));
        } else if (invalid.Escapes(c)) {
            // A character of the escape range itself: kept as its bytes, so
            // that it cannot be mistaken for an escaped byte.
            invalid(out, utf8.substr(i, j - i));
        } else {
            out += static_cast<wchar_t>(c);
        }
        i = j;
    }
    return out;
}

// The common practice: one U+FFFD per broken sequence.
struct Replace {
    void operator()(std::wstring& out, std::string_view) const { out += static_cast<wchar_t>(kReplacement); }
    bool Escapes(char32_t) const { return false; }
};

// Every byte kept, as U+100000 + byte.
struct KeepBytes {
    void operator()(std::wstring& out, std::string_view bytes) const {
        for (const char b : bytes) out += static_cast<wchar_t>(kByteEscapeBase + static_cast<unsigned char>(b));
    }
    bool Escapes(char32_t c) const { return c >= kByteEscapeBase + 0x80 && c <= kByteEscapeBase + 0xFF; }
};

}  // namespace

std::wstring WideFromUtf8(std::string_view utf8) { return Decode(utf8, Replace{}); }

std::wstring WideFromBytesKeepingInvalid(std::string_view bytes) { return Decode(bytes, KeepBytes{}); }

std::string BytesFromWideKeepingInvalid(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (const wchar_t w : wide) {
        const auto c = static_cast<char32_t>(static_cast<std::uint32_t>(w));
        if (KeepBytes{}.Escapes(c))
            out += static_cast<char>(c - kByteEscapeBase);
        else
            AppendUtf8(out, c);
    }
    return out;
}

}  // namespace ridgeforge
