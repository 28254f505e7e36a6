// Number text for parameter values and report lines that reads and writes the
// same in every process locale: a comma-decimal locale must neither change
// what we write nor make us misread what we wrote. Built on std::to_chars and
// std::from_chars, which never consult the locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ridgeforge {

// As "%.9g" prints the value in the C locale: enough digits that the text
// reads back to the same float.
std::string FormatFloatNineDigits(float value);
// As "%.*f" prints the value in the C locale.
std::string FormatFixed(double value, int decimals);
// As "%.*g" prints the value in the C locale.
std::string FormatGeneral(double value, int digits);
// As "%.*e" prints the value in the C locale.
std::string FormatScientific(double value, int decimals);

// As strtod reads a prefix of the text in the C locale: leading white space
// skipped, an optional sign, decimal or hexadecimal digits with an optional
// exponent, "inf", "infinity" and "nan"; trailing characters are ignored.
// Out-of-range text gives an infinity (too large) or zero (too small), as
// strtod does. Nothing when the text holds no number at all.
std::optional<double> ParseNumberPrefix(std::string_view text);

}  // namespace ridgeforge
