// Marches the Trabecular rays of one row of pixels many at a time. Needs the
// settings and a source that builds the ray of a pixel; gives, per pixel,
// exactly what TrabecularTexture::March gives for that ray.
#pragma once

#include "textures/procedural/TrabecularTexture.h"

namespace ridgeforge::mesh::procedural {

// Builds the ray of pixel x (strut sizes and roughness set).
struct RaySource {
    const void* context = nullptr;
    void (*make)(const void* context, int x, TrabecularTexture::Ray& ray) = nullptr;
};

// out[x] = TrabecularTexture::March(ray of x, settings) for x in [0, count);
// settings.depth must be above 0, and the source's rays must be made with
// these settings (their rays share the noise lattice's hashes). Thirty-two
// lanes where the processor has AVX-512, sixteen where it has AVX2, else
// four.
void MarchRays(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out);

// MarchRays with four lanes (one ray after another without SSE2).
void MarchRaysFourLanes(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out);

// MarchRays with sixteen lanes; false (nothing written) where the processor or
// the compiler lacks AVX2.
bool MarchRaysAvx2(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out);

// MarchRays with thirty-two lanes; false (nothing written) where the
// processor or the compiler lacks AVX-512.
bool MarchRaysAvx512(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out);

}  // namespace ridgeforge::mesh::procedural
