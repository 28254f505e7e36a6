// The mesh program's per-pixel arithmetic in C++, step for step: the values
// the renderer hands the program for a height map and a mask volume, and the
// program's height lookup (wrap, four texels, bilinear, levels), mask factor
// and box blending. Tests compare the program's pixels with these, and these
// with the CPU sampler the relief uses.
#pragma once

#include <array>
#include <vector>

#include "gl/RendererTypes.h"
#include "relief/mapping/MaskVolume.h"
#include "textures/TextureSettings.h"

namespace ridgeforge::gl {

struct HeightMapUniforms {
    int wrapMode = 0;
    std::array<float, 2> sizeMm{1.0f, 1.0f};
    std::array<float, 2> offsetMm{0.0f, 0.0f};
    float rotationRadians = 0.0f;
    float blackLevel = 0.0f;
    float whiteLevel = 1.0f;
    float gamma = 1.0f;
    float outputBlack = 0.0f;
    float outputWhite = 1.0f;
    bool invert = false;
};

HeightMapUniforms HeightMapUniformsFrom(const mesh::TextureSettings& settings);

// Index i folded onto n texels: 2 clamps, 1 mirrors, anything else repeats.
int WrapIndex(float i, float n, int wrapMode);
float ApplyLevels(float value, const HeightMapUniforms& u);
// The levelled height at projector millimetres; texels row-major, row 0 first.
float HeightAt(const std::vector<float>& texels, int width, int height, const HeightMapUniforms& u, float mmX,
               float mmY);

// One mask volume as the program receives it.
struct MaskUniform {
    int shape = 0;
    mesh::Vec3f centre;
    mesh::Vec3f axisX{1.0f, 0.0f, 0.0f};
    mesh::Vec3f axisY{0.0f, 1.0f, 0.0f};
    mesh::Vec3f axisZ{0.0f, 0.0f, 1.0f};
    // max(0.001, size) / 2 per axis.
    mesh::Vec3f half{0.5f, 0.5f, 0.5f};
    float feather = 0.0f;
};

MaskUniform MaskUniformFrom(const mesh::MaskVolume& volume);
// 1 inside (the surface counts), smoothstep down to 0 over the feather outside.
float MaskInside(const MaskUniform& mask, const mesh::Vec3f& p);
// 1 minus the largest inside value.
float MaskFactor(const std::vector<MaskUniform>& masks, const mesh::Vec3f& p);

struct BlendContribution {
    std::array<float, 2> mm{0.0f, 0.0f};
    float weight = 0.0f;
};

// A side's projector millimetres for a point in cage coordinates.
std::array<float, 2> SideMillimetres(const MappingState& m, int side, const mesh::Vec3f& local);
// Up to three (millimetres, weight) pairs, weights summing to 1; the count.
int BlendContributions(const MappingState& m, const mesh::Vec3f& position, const mesh::Vec3f& normal,
                       std::array<BlendContribution, 3>& out);

}  // namespace ridgeforge::gl
