// The base of every procedural height pattern and the renderer that turns
// one into a grid of heights.
//
// A pattern is a parameter set (its own table followed by the shared
// "invert" switch) plus a pure function Sample(u, v) over one tile, u to the
// right and v upward, both in [0, 1], returning a height where 0 is the
// deepest and 1 the highest point of the relief. Sample only reads the
// object, so the renderer may call it from many threads at once.
//
// RenderHeightMap samples pixel centres row by row, rows in parallel, clamps
// every sample to [0, 1] and applies "invert". Sizes are worked out in 64
// bits and a grid that cannot be held in memory is refused (an empty result
// and a message from RenderSizeProblem) rather than allocated with a wrapped
// size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "textures/procedural/ParameterSet.h"

namespace ridgeforge::mesh::procedural {

class ProceduralTexture : public ParameterSet {
public:
    // True when the pattern repeats seamlessly with period 1 in u and in v.
    // The registry sets it when it makes the pattern.
    bool tileable = true;

    // The pattern's own table followed by "invert"; built on the first call
    // and unchanged afterwards.
    const std::vector<ParameterDefinition>& Parameters() const override;

    // The pattern's own table (a function-local static of the pattern).
    virtual const std::vector<ParameterDefinition>& OwnParameters() const = 0;

    // The height at (u, v) of the tile; see the file comment.
    virtual float Sample(float u, float v) const = 0;

    // The height of a featureless area of the pattern.
    virtual float NeutralHeight() const { return 0.5f; }

    // NeutralHeight as it appears in a rendered grid: made finite, clamped to
    // [0, 1] and turned over when "invert" is on.
    float EffectiveNeutralHeight() const;

    // The pattern as width x height heights in [0, 1], row-major, the first
    // row at the top of the tile (v near 1). Sizes below 1 are raised to 1.
    // Returns an empty vector when the grid cannot be held in memory (see
    // RenderSizeProblem); a successful render is never empty.
    std::vector<float> RenderHeightMap(int width, int height) const;

protected:
    // A parameter used as a whole number (integers, choices, the seed),
    // rounded half away from zero.
    std::int32_t GetWhole(std::string_view key) const;

private:
    mutable std::vector<ParameterDefinition> cachedParameters;
};

// The "invert" entry every pattern's table ends with.
const ParameterDefinition& InvertParameter();

// Number of heights a render of width x height makes (sizes below 1 raised
// to 1), computed in 64 bits.
std::uint64_t RenderCellCount(int width, int height);

// Why a render of width x height cannot be made ("" when it can): the grid
// is larger than the memory of this computer or than a vector can index.
std::string RenderSizeProblem(int width, int height);

}  // namespace ridgeforge::mesh::procedural
