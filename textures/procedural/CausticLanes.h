// Caustic Rock's gathering of the light for four pixels at once. Needs the
// noise layers and the focus; gives each pixel's final ripple sum exactly as
// the single-pixel gathering gives it.
#pragma once

#include <cstdint>

namespace ridgeforge::mesh::procedural {

// One gradient-noise layer of the ripple sum.
struct CausticLayer {
    std::int32_t period = 1;
    float weight = 0.0f;
    std::uint32_t seed = 0;
};

inline constexpr int kMaxCausticLayers = 24;

// The layers' corner gradients per lane, kept between the groups of a row:
// neighbouring pixels mostly sample the same cells.
struct CausticLaneCells {
    unsigned held[kMaxCausticLayers] = {};  // lanes whose cell below is valid, one bit each
    alignas(16) std::int32_t ix[kMaxCausticLayers][4] = {};
    alignas(16) std::int32_t iy[kMaxCausticLayers][4] = {};
    alignas(16) float gx[kMaxCausticLayers][4][4] = {};  // [layer][corner][lane]
    alignas(16) float gy[kMaxCausticLayers][4][4] = {};
};

// For the four points (u[i], v): ten rounds of moving each point by step
// times the weighted gradient of the layers, then the weighted sum of the
// layers' values there, written to sums. False (sums untouched) when a point
// strays so far that the lattice cannot hold it, or on processors without the
// vector instructions: the caller then works pixel by pixel.
bool GatherLight4(const CausticLayer* layers, int count, float step, const float u[4], float v,
                  CausticLaneCells& cells, float sums[4]);

}  // namespace ridgeforge::mesh::procedural
