#include "ui/dialogs/MaskPanelRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "document/SettingRanges.h"
#include "document/pipeline/PipelineStageCache.h"
#include "ui/framework/DialogFloat.h"

namespace ridgeforge {

float BedHeight(const mesh::TriangleMesh& part) {
    if (!mesh::HoldsTriangles(part) || !part.boundsValid) return 0.0f;
    return part.boundsMin.z;
}

std::array<float, kMaskFieldCount> MaskFieldValues(const mesh::MaskVolume& v, float bedHeight) {
    return {v.center.x,
            v.center.y,
            v.center.z - bedHeight,
            v.size.x,
            v.size.y,
            v.size.z,
            v.rotationDegrees.x,
            v.rotationDegrees.y,
            v.rotationDegrees.z,
            v.featherMillimetres};
}

wxString FormatMaskField(float value) {
    if (!(std::fabs(value) >= 0.005f)) return "0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
    std::string text = buffer;
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    return wxString::FromUTF8(text.c_str());
}

mesh::MaskVolume ApplyMaskFieldTexts(const mesh::MaskVolume& volume, float bedHeight, const MaskFieldTexts& typed,
                                     const MaskFieldTexts& written) {
    const std::array<float, kMaskFieldCount> shown = MaskFieldValues(volume, bedHeight);
    std::array<float, kMaskFieldCount> value = shown;
    std::array<bool, kMaskFieldCount> changed{};
    for (int i = 0; i < kMaskFieldCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (typed[at] == written[at]) continue;
        value[at] = ui::ParseFloatField(typed[at], shown[at]);
        changed[at] = value[at] != shown[at];
    }
    mesh::MaskVolume edited = volume;
    if (changed[0]) edited.center.x = value[0];
    if (changed[1]) edited.center.y = value[1];
    if (changed[2]) edited.center.z = value[2] + bedHeight;
    if (changed[3]) edited.size.x = std::max(kSmallestMaskMillimetres, value[3]);
    if (changed[4]) edited.size.y = std::max(kSmallestMaskMillimetres, value[4]);
    if (changed[5]) edited.size.z = std::max(kSmallestMaskMillimetres, value[5]);
    if (changed[6]) edited.rotationDegrees.x = value[6];
    if (changed[7]) edited.rotationDegrees.y = value[7];
    if (changed[8]) edited.rotationDegrees.z = value[8];
    if (changed[9]) edited.featherMillimetres = std::max(0.0f, value[9]);
    return edited;
}

wxString MaskShapeText(mesh::MaskShape shape) {
    switch (shape) {
        case mesh::MaskShape::Box:
            return "Box";
        case mesh::MaskShape::Cylinder:
            return "Cylinder";
        case mesh::MaskShape::Sphere:
            return "Sphere";
    }
    return "Volume";
}

bool MaskListNeedsRebuild(const std::vector<mesh::MaskVolume>& shown, const std::vector<mesh::MaskVolume>& now) {
    if (shown.size() != now.size()) return true;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (shown[i].name != now[i].name || shown[i].shape != now[i].shape) return true;
    return false;
}

wxPoint MaskPanelPlace(std::optional<wxPoint> saved, wxPoint near, bool (*onDisplay)(wxPoint)) {
    if (saved && onDisplay(wxPoint(saved->x + 20, saved->y + 10))) return *saved;
    return wxPoint(near.x + 12, near.y + 12);
}

}  // namespace ridgeforge
