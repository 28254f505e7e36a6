// The patch grid behind the histogram blend: every output pixel blends three
// randomly offset, wrapped samples of the input from the corners of its
// triangle in a P x P grid, with weights normalised so that the blend keeps
// the input's variance about its mean instead of averaging contrast away.
// Offsets repeat with period P and samples wrap, so the output tiles.
//
// Rows are computed in parallel; each writes only its own slice.
#pragma once

#include <cstdint>
#include <vector>

namespace ridgeforge::mesh::seamless {

struct PatchGridResult {
    std::vector<float> pixels;  // empty when the input was refused
    std::int32_t patches = 0;   // patch count used, after clamping
    float mean = 0.0f;          // of the input
    float contrastBefore = 0.0f;
    float contrastAfter = 0.0f;  // about the input's mean
    double milliseconds = 0.0;
};

// Refuses (empty pixels) when a size is below 1 or the input does not hold
// width x height values. The output size is raised to at least 1 x 1.
PatchGridResult HistogramPatchGrid(const std::vector<float>& input, std::int32_t width, std::int32_t height,
                                   std::int32_t outputWidth, std::int32_t outputHeight, std::int32_t patches,
                                   std::uint32_t seed);

}  // namespace ridgeforge::mesh::seamless
