// The grey texture as floating-point heights (nominally 0..1) with its
// texture settings. The image passes a fixed chain, each stage kept so that a
// settings change redoes only what it affects:
//   source pixels -> seamless method -> blur -> (at sampling) bilinear sample
//   with the wrap rule, then the tone curve.
// Sampling and levels only read, so many threads may sample one map at once.
// Nothing here throws for bad input; a bad SetImage leaves an empty map.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "textures/SharedPixels.h"
#include "textures/seamless/SeamlessMethod.h"
#include "textures/TextureSettings.h"

namespace ridgeforge::mesh {

struct HeightMap {
    // Size of the seamless (and blurred) image; 0 when there is no image.
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Size of the image as handed in.
    std::int32_t sourceWidth = 0;
    std::int32_t sourceHeight = 0;
    // Row-major, top row first: pixel (x, y) is element y * width + x. Each
    // stage's list is shared by every copy of the map, and with the stage
    // before it when the stage changes nothing (no seamless method, no blur).
    SharedPixels sourcePixels;
    SharedPixels seamlessPixels;
    // seamlessPixels after the blur: the values that are sampled.
    SharedPixels pixels;
    TextureSettings settings;
    seamless::SeamlessReport seamlessReport;
    // Lower bound of the blur radius, mm; set only on the pipeline's copy.
    float minimumBlurMillimetres = 0.0f;
    std::string name;
    // The height that means no displacement, for a procedural render.
    std::optional<float> neutralHeight;

    // New source image; runs the whole chain. A size below 1, a pixel count
    // other than width x height (counted in 64 bits) empties the map.
    void SetImage(std::int32_t newWidth, std::int32_t newHeight, std::vector<float> newPixels);
    // New settings; redoes only the steps they affect.
    void SetSettings(const TextureSettings& newSettings);
    void ApplySeamless();
    // Black and white levels from the 1st and 99th percentiles when autoLevels is on.
    void ApplyAutoLevels();
    // pixels = seamlessPixels blurred by the larger of the two blur radii.
    void ApplyBlur();

    // Raw blurred value at tile coordinates, bilinear with the wrap rule. 0 for
    // an empty map; the neutral height (0 when none) for a coordinate that is
    // not finite or too far out to index a pixel.
    float SampleBilinear(float u, float v) const;
    // The tone curve: levels, gamma, output levels, invert.
    float ApplyLevels(float value) const;
    // Percentile of the tone-mapped pixels.
    float LevelledPercentile(float q) const;
};

// One running-sum box-filter pass along rows (horizontal) or columns, folding
// positions by the map's wrap rule. The map gives the sizes and the wrap. A
// radius that is not a number, or rounds below 1, changes nothing; larger
// radii are capped at the line length.
void BoxBlurPass(const HeightMap& map, std::vector<float>& pixels, float radius, bool horizontal);

// Value at a fraction q of the sorted list (selection, not a full sort); 0 when empty.
float Percentile(std::vector<float> values, float q);

}  // namespace ridgeforge::mesh
