#include "ui/dialogs/SettingsDialogRules.h"

#include <algorithm>
#include <cmath>

#include "document/SettingRanges.h"

namespace ridgeforge {

int TestGridEntry(std::int32_t cells) {
    for (std::size_t i = 0; i < kTestGridCells.size(); ++i)
        if (kTestGridCells[i] == cells) return static_cast<int>(i);
    return 1;
}

float ClampSharpness(float sharpness) {
    return std::isnan(sharpness) ? 1.0f : std::clamp(sharpness, kSmallestBlendSharpness, kLargestBlendSharpness);
}

wxString MappingNote(bool blendingApplies, bool blendChecked) {
    if (!blendingApplies) return "Blending belongs to the box and sphere mappings.";
    // The checkerboard and height-map views blend per pixel as processing does.
    if (blendChecked)
        return "The Checkerboard and Height Map views show the corners blended, as the processed part will be.";
    return wxString();
}

wxString SeamlessStatus(bool procedural, const std::string& method) {
    if (procedural) return "Seamless: not needed";
    if (method.empty() || method == "Unchanged") return "Seamless: unchanged";
    return "Seamless: " + wxString::FromUTF8(method.c_str());
}

std::optional<wxString> TextureSettingsRefusal(float width, float height, float gamma) {
    if (!(width > 0.0f) || !(height > 0.0f))
        return wxString("The texture width and height must both be greater than zero.");
    if (!(gamma > 0.0f)) return wxString("Gamma must be greater than zero.");
    return std::nullopt;
}

float LockedHeight(float width, float height, float aspect) { return aspect > 0.0f ? width / aspect : height; }

std::vector<std::uint32_t> TextureHistogram(const std::vector<float>& values) {
    std::vector<std::uint32_t> bins(256, 0);
    for (float value : values) {
        std::size_t bin = 255;
        if (value < 0.0f)
            bin = 0;
        else if (value < 1.0f)
            bin = std::min<std::size_t>(static_cast<std::size_t>(value * 256.0f), 255);
        ++bins[bin];
    }
    return bins;
}

}  // namespace ridgeforge
