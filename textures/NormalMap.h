// Turning a normal map (the surface's slope) into heights: the map is
// resampled onto a power-of-two grid, each normal becomes x and y slopes, and
// the discrete Poisson equation (Laplacian of height = divergence of slope) is
// solved with periodic boundaries in the frequency domain (Frankot and
// Chellappa, "A Method for Enforcing Integrability in Shape from Shading
// Algorithms", 1988). Absolute depth is lost: the result is scaled to 0..1.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

namespace ridgeforge::mesh {

struct NormalMapHeights {
    bool ok = false;
    // On success a note on what was done; on failure the reason.
    std::string message;
    // Grid size: powers of two from 8 to 4096, not the image's size.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<float> heights;
};

// rgb: 3 floats (0..1) per pixel, row-major, top row first. greenUp: green
// points up the image (towards row 0).
NormalMapHeights IntegrateNormalMap(const std::vector<float>& rgb, std::int32_t width, std::int32_t height,
                                    bool greenUp);

// Grid size along one axis: the nearest power of two (the smaller one when
// halfway), at least 8 and at most 4096.
std::int32_t NormalMapGridSize(std::int32_t size);

// In-place radix-2 transform; n must be a power of two (0 or 1 changes
// nothing). The inverse divides by n.
void Fft(std::complex<double>* data, std::uint32_t n, bool inverse);
// Rows, then columns, of a row-major grid of n columns and m rows.
void Fft2D(std::complex<double>* data, std::uint32_t n, std::uint32_t m, bool inverse);

// Bilinear sample of one channel (0..2) with the image repeating; integer
// coordinates fall exactly on pixels.
float SampleChannelWrapped(const std::vector<float>& rgb, std::int32_t width, std::int32_t height, int channel, float x,
                           float y);

}  // namespace ridgeforge::mesh
