// What the Mapping Settings and Texture Settings dialogs decide, without
// their windows: the test-grid entries, the sharpness range, the notes and
// status lines, the refusals of OK, the locked height and the histogram the
// levels control shows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <wx/string.h>

namespace ridgeforge {

// The test grid's entries, cells across.
inline constexpr std::array<std::int32_t, 3> kTestGridCells{128, 256, 512};
// The entry of a stored count; the 256 entry for any other count.
int TestGridEntry(std::int32_t cells);
// Sharpness as stored: 1..16 (a value that is not a number counts as 1).
float ClampSharpness(float sharpness);
// The note under the blend box.
wxString MappingNote(bool blendingApplies, bool blendChecked);

// "Seamless: not needed", "Seamless: unchanged" or "Seamless: <method>".
wxString SeamlessStatus(bool procedural, const std::string& method);
// Why OK may not close the dialog, or nothing.
std::optional<wxString> TextureSettingsRefusal(float width, float height, float gamma);
// The height that keeps the width's aspect; `height` when the aspect is not above 0.
float LockedHeight(float width, float height, float aspect);

// 256 bins of the values: value x 256 truncated, below 0 in bin 0, 256 and
// above (and NaN) in bin 255.
std::vector<std::uint32_t> TextureHistogram(const std::vector<float>& values);

}  // namespace ridgeforge
