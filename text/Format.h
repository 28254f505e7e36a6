// Number formats shared by every report: counts grouped by three with commas,
// millimetres with two decimals, and three sizes joined by " x ". Every report
// writes its numbers through these and text/NumberText.h, which never consult
// the process locale.
#pragma once

#include <cstdint>
#include <string>

namespace ridgeforge {

// 1234567 gives "1,234,567"; no mark below 1000.
std::string FormatCount(std::uint64_t value);
// The value as "%.2f" prints it in the C locale, whatever the process locale.
std::string FormatMillimetres(float value);
// "12.00 x 3.50 x 7.25 mm".
std::string FormatDimensions(float x, float y, float z);

}  // namespace ridgeforge
