// "Trabecular": the open strut network of spongy bone seen from above. A ray
// cast straight down into a three-dimensional Voronoi structure finds the
// first strut (an edge where three cells meet); the height says how deep.
#pragma once

#include <cstdint>

#include "textures/procedural/ProceduralTexture.h"

namespace ridgeforge::mesh::procedural {

class TrabecularTexture final : public ProceduralTexture {
public:
    // Layers of feature points a ray may look at: ceil(depth) + 3, at most 7.
    static constexpr int kMaxLayers = 8;

    // The feature points around one ray, built afresh for every sample on the
    // caller's stack so that samples can run on many threads.
    struct Ray {
        float x = 0.0f, y = 0.0f;  // the ray in cell units
        std::int32_t cells = 1;
        std::int32_t layers = 0;
        std::uint32_t seed = 0;
        float thickness = 0.0f, roughness = 0.0f, thickest = 0.0f;
        float horizontal[kMaxLayers][9] = {};  // squared horizontal distance per layer and column
        float depth[kMaxLayers][9] = {};       // feature point depth per layer and column

        // The roughness noise of one octave along the ray: x and y are fixed,
        // so only the lattice values of the current depth cell change, and
        // they are kept until the march leaves that cell.
        struct Octave {
            std::int32_t ix = 0, iy = 0, period = 1;
            std::uint32_t xs[4] = {}, ys[4] = {};  // the four corners around (ix, iy), wrapped
            float sx = 0.0f, sy = 0.0f;
            std::uint32_t seed = 0;
            std::int32_t cachedCell = 0;
            bool cached = false;
            float layer[2] = {};  // bilinear values at depth cells cachedCell and cachedCell + 1
        };
        mutable Octave octaves[4];
    };

    // The values one sample reads, read once per sample or per row.
    struct Settings {
        std::int32_t cells = 1, layers = 0;
        std::uint32_t seed = 0;
        float depth = 0.0f, thickness = 0.0f, roughness = 0.0f, contrast = 1.0f;

        void Read(const TrabecularTexture& texture);
        // Sets the ray's strut sizes and roughness noise.
        void Finish(Ray& ray) const;
    };

    const char* Name() const override { return "Trabecular"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override;
    float Sample(float u, float v) const override;
    // Hashes the feature points of a row's cells once for the whole row.
    void SampleRow(float v, int width, float* out) const override;

    // The feature points and roughness noise around the ray at (u, v).
    Ray MakeRay(float u, float v) const;

    // Feature layers a ray of the given depth looks at: ceil(depth) + 3.
    static std::int32_t LayerCount(float depth);

    // Falls to 0 where the nearest three feature points are equally far: on a strut's axis.
    static float StrutDistance(const Ray& ray, float z);
    // Whether the ray point at depth z, with strut distance d, lies inside a strut.
    static bool IsSolid(const Ray& ray, float z, float d);

    // The roughness octave's lattice values at depth cell iz, blended
    // across the ray's x and y.
    static float OctaveLayer(const Ray::Octave& octave, std::int32_t iz);
    // Those lattice values at the corners (x, y), (x + 1, y), (x, y + 1),
    // (x + 1, y + 1) around the ray, and their blend.
    static void OctaveCorners(const Ray::Octave& octave, std::int32_t iz, float corners[4]);
    static float BlendCorners(const Ray::Octave& o, const float c[4]) {
        return ((1.0f - o.sx) * c[0] + o.sx * c[1]) * (1.0f - o.sy) + ((1.0f - o.sx) * c[2] + o.sx * c[3]) * o.sy;
    }

    // Marches the ray down to the first strut; the height (contrast applied)
    // or 0, the floor, when none lies within the depth (depth > 0).
    static float March(Ray& ray, const Settings& settings);
};

// Value noise on a 3-D lattice, periodic in x and y only, in [0, 1).
float PeriodicValueNoise3(float x, float y, float z, std::int32_t period, std::uint32_t seed);
float LatticeValue3(std::int32_t ix, std::int32_t iy, std::int32_t iz, std::int32_t period, std::uint32_t seed);

}  // namespace ridgeforge::mesh::procedural
