// Locale-independent number text; see NumberText.h.
#include "text/NumberText.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace ridgeforge {

namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c, bool hex) {
    if (c >= '0' && c <= '9') return true;
    return hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// from_chars leaves the value alone when the text is out of range, so decide
// from the text itself whether it was too large (strtod gives an infinity) or
// too small (strtod gives zero): find the power of the leading digit.
bool TextOverflows(std::string_view digits, bool hex) {
    std::size_t i = 0;
    std::int64_t magnitude = 0;
    bool seenLeading = false;
    const std::int64_t digitPower = hex ? 4 : 1;
    std::int64_t integerDigits = 0;
    while (i < digits.size() && IsDigit(digits[i], hex)) {
        if (digits[i] != '0' || seenLeading) {
            seenLeading = true;
            ++integerDigits;
        }
        ++i;
    }
    if (seenLeading) {
        magnitude = (integerDigits - 1) * digitPower;
    } else {
        std::int64_t zeros = 0;
        if (i < digits.size() && digits[i] == '.') {
            ++i;
            while (i < digits.size() && digits[i] == '0') {
                ++zeros;
                ++i;
            }
        }
        magnitude = -(zeros + 1) * digitPower;
    }
    while (i < digits.size() && (IsDigit(digits[i], hex) || digits[i] == '.')) ++i;
    if (i < digits.size() && (digits[i] == 'e' || digits[i] == 'E' || digits[i] == 'p' || digits[i] == 'P')) {
        ++i;
        bool negative = false;
        if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) negative = digits[i++] == '-';
        std::int64_t exponent = 0;
        for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i) {
            if (exponent < (std::int64_t{1} << 40)) exponent = exponent * 10 + (digits[i] - '0');
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude > 0;
}

}  // namespace

std::string FormatFloatNineDigits(float value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

namespace {

std::string Format(double value, std::chars_format format, int precision) {
    // Fixed notation of the largest double needs 309 digits before the point.
    char buffer[400];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (ec != std::errc()) return "0";
    return std::string(buffer, end);
}

}  // namespace

std::string FormatFixed(double value, int decimals) { return Format(value, std::chars_format::fixed, decimals); }

std::string FormatGeneral(double value, int digits) { return Format(value, std::chars_format::general, digits); }

std::string FormatScientific(double value, int decimals) {
    return Format(value, std::chars_format::scientific, decimals);
}

std::optional<double> ParseNumberPrefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string_view rest = text.substr(i);
    // A second sign is not a number; from_chars would take a lone minus.
    if (rest.empty() || rest[0] == '+' || rest[0] == '-') return std::nullopt;

    bool hex = false;
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        rest.remove_prefix(2);
    }
    double value = 0.0;
    const char* first = rest.data();
    const char* last = rest.data() + rest.size();
    auto [ptr, ec] = std::from_chars(first, last, value, hex ? std::chars_format::hex : std::chars_format::general);
    if (ec == std::errc::invalid_argument) {
        // strtod reads "0x" with no hexadecimal digits after it as the 0.
        if (!hex) return std::nullopt;
        value = 0.0;
    } else if (ec == std::errc::result_out_of_range) {
        value = TextOverflows(std::string_view(first, static_cast<std::size_t>(ptr - first)), hex)
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    }
    return negative ? -value : value;
}

}  // namespace ridgeforge
