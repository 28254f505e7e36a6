// Holding a project's values to the ranges of the controls that set them:
// the relief and simplify settings, the mapping settings, the texture
// settings with their levels, the texture drag's zoom, the mask panel and the
// export check's hole sizes. Values that no control bounds (the cage, the
// texture's offset) are left as they stand; the stage switches, words and
// integers the reader already took only in their own forms.
#include "document/ProjectRanges.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>

#include "text/Format.h"
#include "text/NumberText.h"
#include "textures/procedural/ParameterSet.h"

namespace ridgeforge {

namespace {

std::string Number(double value) { return FormatGeneral(value, 7); }

class Holder {
public:
    explicit Holder(std::vector<HeldValue>& held) : held_(held) {}

    // [lo, hi]; a value past an end becomes that end.
    void Range(float& value, float lo, float hi, const std::string& name) {
        const float used = value > hi ? hi : (value >= lo ? value : lo);
        Note(value, used, name, Number(lo) + " to " + Number(hi));
    }
    // At least lo.
    void AtLeast(float& value, float lo, const std::string& name) {
        Note(value, value >= lo ? value : lo, name, "at least " + Number(lo));
    }
    // Above 0, which the control insists on: anything else takes `fallback`.
    void Positive(float& value, float fallback, const std::string& name) {
        Note(value, value > 0.0f && std::isfinite(value) ? value : fallback, name, "above 0");
    }
    // A count of triangles in [lo, hi].
    void Count(std::uint64_t& value, const std::string& name) {
        const auto lo = static_cast<std::uint64_t>(kSmallestTriangleLimit);
        const auto hi = static_cast<std::uint64_t>(kLargestTriangleLimit);
        const std::uint64_t used = std::clamp(value, lo, hi);
        if (used == value) return;
        held_.push_back({name, FormatCount(value), FormatCount(used), FormatCount(lo) + " to " + FormatCount(hi)});
        value = used;
    }
    void Note(float& value, float used, const std::string& name, const std::string& allowed) {
        // Written so that a NaN, which equals nothing, counts as changed.
        if (used == value) return;
        held_.push_back({name, Number(value), Number(used), allowed});
        value = used;
    }

private:
    std::vector<HeldValue>& held_;
};

void HoldRelief(ProjectFileData& r, Holder& h) {
    h.Range(r.remesh.targetEdgeMillimetres, kSmallestTriangleSizeMillimetres, kLargestFieldMillimetres,
            "triangle size (mm)");
    h.Range(r.displacement.strengthMillimetres, 0.0f, kLargestFieldMillimetres, "strength (mm)");
    h.Range(r.displacement.midLevel, 0.0f, 1.0f, "midlevel");
    h.Count(r.maximumTriangles, "triangle limit");
    // 0 shows the whole mesh; any other limit is held as the triangle limit is.
    if (r.displayTriangles != 0) h.Count(r.displayTriangles, "display limit");
    h.Range(r.simplify.planarToleranceMillimetres, kSmallestPlanarTolerance, kLargestPlanarTolerance,
            "planar tolerance (mm)");
    h.Range(r.simplify.meshDetailError, kSmallestDetailLevel, kLargestDetailLevel, "detail level");
}

void HoldMapping(ProjectFileData& r, Holder& h, std::vector<HeldValue>& held) {
    h.Range(r.projection.box.blendSharpness, kSmallestBlendSharpness, kLargestBlendSharpness, "blend sharpness");
    static const char* const kSides[] = {"+X", "-X", "+Y", "-Y", "+Z", "-Z"};
    for (std::size_t side = 0; side < r.projection.layer.size(); ++side) {
        float& zoom = r.projection.layer[side].zoom;
        const std::string name = std::string("texture zoom on the ") + kSides[side] + " side";
        // A zoom not above 0 counts as 1 wherever it is used.
        if (!(zoom > 0.0f)) {
            h.Note(zoom, 1.0f, name, Number(kSmallestZoom) + " to " + Number(kLargestZoom));
        } else {
            h.Range(zoom, kSmallestZoom, kLargestZoom, name);
        }
    }
    if (r.occupancyCells != 128 && r.occupancyCells != 256 && r.occupancyCells != 512) {
        const std::int32_t used = ProjectFileData{}.occupancyCells;
        held.push_back(
            {"test grid (cells across)", std::to_string(r.occupancyCells), std::to_string(used), "128, 256 or 512"});
        r.occupancyCells = used;
    }
}

void HoldTexture(mesh::TextureSettings& t, Holder& h) {
    const mesh::TextureSettings defaults;
    h.Positive(t.widthMillimetres, defaults.widthMillimetres, "texture width (mm)");
    h.Positive(t.heightMillimetres, defaults.heightMillimetres, "texture height (mm)");
    h.AtLeast(t.blurMillimetres, 0.0f, "blur (mm)");
    h.Range(t.blackLevel, 0.0f, 1.0f, "input black level");
    h.Range(t.whiteLevel, 0.0f, 1.0f, "input white level");
    // The levels control keeps black below white by a step of one in 255.
    if (!(t.blackLevel < t.whiteLevel)) {
        h.Note(t.whiteLevel, std::min(t.blackLevel + 1.0f / 255.0f, 1.0f), "input white level",
               "above the input black level");
    }
    if (!(t.gamma > 0.0f)) {
        h.Note(t.gamma, defaults.gamma, "gamma", Number(kSmallestGamma) + " to " + Number(kLargestGamma));
    } else {
        h.Range(t.gamma, kSmallestGamma, kLargestGamma, "gamma");
    }
    h.Range(t.outputBlackLevel, 0.0f, 1.0f, "output black level");
    h.Range(t.outputWhiteLevel, 0.0f, 1.0f, "output white level");
}

void HoldMasks(std::vector<mesh::MaskVolume>& masks, Holder& h) {
    for (mesh::MaskVolume& mask : masks) {
        const std::string of = " of mask \"" + mask.name + "\"";
        h.AtLeast(mask.size.x, kSmallestMaskMillimetres, "size X (mm)" + of);
        h.AtLeast(mask.size.y, kSmallestMaskMillimetres, "size Y (mm)" + of);
        h.AtLeast(mask.size.z, kSmallestMaskMillimetres, "size Z (mm)" + of);
        h.AtLeast(mask.featherMillimetres, 0.0f, "feather (mm)" + of);
    }
}

std::string Allowed(const mesh::procedural::ParameterDefinition& d) {
    using mesh::procedural::ParameterKind;
    const std::string span = Number(d.minimum) + " to " + Number(d.maximum);
    switch (d.kind) {
        case ParameterKind::Integer:
            return "whole numbers " + span;
        case ParameterKind::Choice:
            return "choices " + span;
        case ParameterKind::Toggle:
            return "0 or 1";
        case ParameterKind::Float:
            break;
    }
    return span;
}

}  // namespace

std::vector<HeldValue> HoldProjectToRanges(ProjectFileData& record) {
    std::vector<HeldValue> held;
    Holder h(held);
    HoldTexture(record.textureSettings, h);
    HoldMapping(record, h, held);
    HoldMasks(record.masks, h);
    HoldRelief(record, h);
    h.AtLeast(record.exportCleanup.maximumHoleMillimetres, 0.0f, "largest hole to fill (mm)");
    h.AtLeast(record.exportCleanup.maximumSlitWidthMillimetres, 0.0f, "narrowest slit to fill (mm)");
    return held;
}

std::vector<HeldValue> HeldParameterValues(const mesh::procedural::ParameterSet& set, std::string_view text) {
    // The last value of each key, read as the set reads it.
    std::map<std::string, float, std::less<>> last;
    mesh::procedural::ForEachValueLine(
        text, [&last](std::string_view key, double value) { last[std::string(key)] = static_cast<float>(value); });
    std::vector<HeldValue> held;
    for (const mesh::procedural::ParameterDefinition& definition : set.Parameters()) {
        const auto found = last.find(definition.key);
        if (found == last.end()) continue;
        const float read = found->second;
        const float used = definition.Clamp(read);
        if (used == read) continue;
        held.push_back({definition.label + " of " + set.Name(), Number(read), Number(used), Allowed(definition)});
    }
    return held;
}

std::string DescribeHeldValue(const HeldValue& held) {
    return "The project's " + held.name + " " + held.read + " is outside what the program allows (" + held.allowed +
           "), so " + held.used + " is used.";
}

}  // namespace ridgeforge
