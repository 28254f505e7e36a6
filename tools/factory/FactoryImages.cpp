// Each image is a weighted sum of pattern renders (and, where no pattern has
// the look, of a drawn layer), stretched to the full 0..1 range.
#include "tools/factory/FactoryImages.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge::tools {
namespace {

using Values = std::vector<std::pair<std::string, float>>;
using Layer = std::vector<float>;

// The pattern rendered with the values; empty when the pattern or a key is
// unknown, which Mix passes on, so that the image is refused rather than
// drawn without it.
Layer Pattern(int size, const char* texture, const Values& values) {
    auto made = mesh::procedural::CreateTexture(texture);
    if (made == nullptr) return {};
    made->ResetToDefaults();
    for (const auto& [key, value] : values)
        if (!made->SetValue(key, value)) return {};
    return made->RenderHeightMap(size, size);
}

// A layer computed from the tile coordinates of each pixel centre, u to the
// right and v upward as the patterns have them.
template <class Shape>
Layer Drawn(int size, Shape shape) {
    Layer out(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
        const float v = 1.0f - (static_cast<float>(y) + 0.5f) / static_cast<float>(size);
        for (int x = 0; x < size; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(size);
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)] =
                shape(u, v);
        }
    }
    return out;
}

// The sum of weight x layer, stretched so that its lowest point is 0 and its
// highest 1; empty when a layer is empty or of another size.
Layer Mix(const std::vector<std::pair<float, Layer>>& layers) {
    Layer out(layers.front().second.size(), 0.0f);
    for (const auto& [weight, layer] : layers) {
        if (layer.empty() || layer.size() != out.size()) return {};
        for (std::size_t i = 0; i < out.size(); ++i) out[i] += weight * layer[i];
    }
    const auto [low, high] = std::minmax_element(out.begin(), out.end());
    const float lo = *low;
    const float range = *high - lo;
    for (float& h : out) h = range > 0.0f ? (h - lo) / range : 0.5f;
    return out;
}

Layer Shaped(Layer layer, float (*shape)(float)) {
    for (float& h : layer) h = shape(h);
    return layer;
}

float Frac(float x) { return x - std::floor(x); }
constexpr float kPi = 3.14159265f;

// Planks: boards along u, each row of boards a quarter of the tile high,
// with a butt joint at a different place in every row; the joints are
// grooves with rounded edges.
float PlankJoints(float u, float v) {
    const int rows = 4;
    const float row = v * rows;
    const int index = static_cast<int>(std::floor(row)) % rows;
    const float across = Frac(row);
    const float shift = static_cast<float>((index * 5) % 8) / 8.0f;
    const float along = Frac(u + shift);
    // Distances in row heights, so that both grooves are equally wide.
    const float edge = std::min({across, 1.0f - across, along * rows, (1.0f - along) * rows});
    return std::min(1.0f, edge / 0.05f);
}

// Quilting: a diamond grid of stitched seams with each pillow swelling
// between them.
float QuiltPillows(float u, float v) {
    const float n = 4.0f;
    const float a = Frac(n * (u + v));
    const float b = Frac(n * (u - v));
    const float pillow = std::sin(kPi * a) * std::sin(kPi * b);
    return std::sqrt(std::max(0.0f, pillow));
}

// Knit: rows of V-shaped stitches; the two legs of a stitch meet at its
// foot and lean apart towards its head, each an elongated bump.
float KnitStitches(float u, float v) {
    const float cu = Frac(u * 12.0f);
    const float cv = Frac(v * 16.0f);
    const float along = cv - 0.5f;
    float height = 0.0f;
    for (const float side : {-1.0f, 1.0f}) {
        const float across = cu - (0.5f + side * 0.28f * cv);
        height = std::max(height, 1.0f - (across * across) / 0.03f - (along * along) / 0.36f);
    }
    return std::sqrt(std::max(0.0f, height));
}

// Waves: crests across the tile that wander up and down twice on the way.
float SineWaves(float u, float v) {
    const float crest = 0.5f + 0.5f * std::sin(2.0f * kPi * (8.0f * v + 0.35f * std::sin(2.0f * kPi * 2.0f * u)));
    return crest;
}

float Soft(float h) { return std::sqrt(std::clamp(h, 0.0f, 1.0f)); }

std::vector<FactoryImage> Build() {
    std::vector<FactoryImage> images = {
        // Stone
        {"Stone", "Cobblestones",
         [](int s) {
             return Mix({{1.0f, Pattern(s, "Cells", {{"cells", 7}, {"seed", 3}})},
                         {0.15f, Pattern(s, "Noise", {{"scale", 32}, {"detail", 3}})}});
         }},
        {"Stone", "Slate",
         [](int s) {
             return Mix({{1.0f, Pattern(s, "Flat Rock", {{"plates", 6}, {"seed", 11}})},
                         {0.25f, Pattern(s, "Noise", {{"scale", 12}, {"detail", 5}, {"roughness", 0.6f}})}});
         }},
        {"Stone", "Granite",
         [](int s) {
             return Mix({{1.0f, Pattern(s, "Noise", {{"scale", 24}, {"detail", 4}, {"roughness", 0.55f}})},
                         {0.5f, Pattern(s, "Noise", {{"kind", 2}, {"scale", 64}, {"seed", 5}})}});
         }},
        {"Stone", "Fieldstone wall", [](int s) { return Mix({{1.0f, Pattern(s, "Rocks", {{"cells", 6}, {"seed", 2}})}}); }},

        // Wood
        {"Wood", "Oak",
         [](int s) {
             return Mix({{1.0f, Pattern(s, "Wood", {{"rings", 10}, {"fibreLines", 128}})},
                         {0.35f, Pattern(s, "Wood Pores", {{"along", 8}, {"across", 96}, {"direction", 0}})}});
         }},
        {"Wood", "Planks",
         [](int s) {
             return Mix({{0.6f, Pattern(s, "Wood", {{"rings", 16}, {"fibreLines", 160}, {"seed", 4}})},
                         {1.0f, Drawn(s, PlankJoints)}});
         }},
        {"Wood", "End grain", [](int s) { return Mix({{1.0f, Pattern(s, "Wood", {{"direction", 2}, {"rings", 10}})}}); }},
        {"Wood", "Rough timber",
         [](int s) { return Mix({{1.0f, Pattern(s, "Timber", {{"cells", 10}, {"fibre", 0.5f}, {"seed", 8}})}}); }},

        // Leather
        {"Leather", "Pebbled",
         [](int s) { return Mix({{1.0f, Pattern(s, "Leather", {{"cells", 14}, {"rounding", 0.35f}, {"seed", 1}})}}); }},
        {"Leather", "Fine grain", [](int s) { return Mix({{1.0f, Pattern(s, "Leather", {{"cells", 40}, {"seed", 2}})}}); }},
        {"Leather", "Crocodile",
         [](int s) {
             return Mix({{1.0f, Pattern(s, "Leather",
                                        {{"cells", 7}, {"crease", 0.1f}, {"rounding", 0.3f}, {"irregularity", 0.5f}})},
                         {0.15f, Pattern(s, "Leather", {{"cells", 48}, {"seed", 3}})}});
         }},
        {"Leather", "Quilted",
         [](int s) {
             return Mix({{1.0f, Drawn(s, QuiltPillows)}, {0.12f, Pattern(s, "Leather", {{"cells", 40}, {"seed", 4}})}});
         }},

        // Fabric
        {"Fabric", "Canvas", [](int s) { return Mix({{1.0f, Pattern(s, "Weave", {{"threads", 24}})}}); }},
        {"Fabric", "Twill", [](int s) { return Mix({{1.0f, Pattern(s, "Weave", {{"threads", 16}, {"float", 2}})}}); }},
        {"Fabric", "Corduroy",
         [](int s) {
             return Mix({{1.0f, Shaped(Pattern(s, "Stripes", {{"stripes", 16}}), Soft)},
                         {0.1f, Pattern(s, "Noise", {{"scale", 48}, {"detail", 1}})}});
         }},
        {"Fabric", "Knit", [](int s) { return Mix({{1.0f, Drawn(s, KnitStitches)}}); }},

        // Geometric
        {"Geometric", "Hexagons",
         [](int s) { return Mix({{1.0f, Pattern(s, "Wire Mesh", {{"hexes", 6}, {"profile", 1}, {"invert", 1}})}}); }},
        {"Geometric", "Waves", [](int s) { return Mix({{1.0f, Drawn(s, SineWaves)}}); }},
        {"Geometric", "Pyramids", [](int s) { return Mix({{1.0f, Pattern(s, "Stars", {{"cells", 6}})}}); }},
        {"Geometric", "Circles", [](int s) { return Mix({{1.0f, Pattern(s, "Truchet", {{"cells", 6}, {"layout", 0}})}}); }},

        // Grip
        {"Grip", "Diamond knurl", [](int s) { return Mix({{1.0f, Pattern(s, "Knurl", {{"grooves", 32}})}}); }},
        {"Grip", "Straight knurl", [](int s) { return Mix({{1.0f, Pattern(s, "Knurl", {{"kind", 1}, {"grooves", 32}})}}); }},
        {"Grip", "Tread plate", [](int s) { return Mix({{1.0f, Pattern(s, "Tread Plate", {{"count", 8}})}}); }},
        {"Grip", "Rubber dots",
         [](int s) { return Mix({{1.0f, Pattern(s, "Dots", {{"count", 14}, {"shape", 1}, {"layout", 1}})}}); }},
    };
    return images;
}

}  // namespace

const std::vector<FactoryImage>& FactoryImages() {
    static const std::vector<FactoryImage> images = Build();
    return images;
}

}  // namespace ridgeforge::tools
