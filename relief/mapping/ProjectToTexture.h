// Where a point of the part, given its normal, takes the texture from: up to
// three samples (side coordinates turned into the layer's texture plane, a
// weight and the side), the share of the point the texture covers and the
// dominant side.
//
// Box and sphere sides are chosen by the normal's dominant axis, or blended
// by |n_axis|^sharpness (the usual tri-planar blend); the sphere measures its
// side coordinates as angles times the radius. The cylinder mixes its wall
// (weighted by how squarely the normal faces out from the axis) with the cap
// the normal faces. An optional face byte (bit s set when the face is an
// outside face for side s) keeps each side to the faces it is set to texture.
//
// Pure and reentrant: called from parallel loops over faces and vertices.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "mesh/Vec3.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge::mesh {

struct ProjectionSample {
    // Side coordinates (mm); after ProjectToTexture the layer's texture coordinates.
    float u = 0.0f;
    float v = 0.0f;
    float weight = 0.0f;
    // -1 for an empty slot.
    std::int32_t side = -1;
};

struct ProjectionSamples {
    std::array<ProjectionSample, 3> samples{};
    std::int32_t count = 0;
    // Share of the point the texture covers, 0..1.
    float coverage = 0.0f;
    // Side of the largest weight, -1 for none.
    std::int32_t dominantSide = -1;
};

// A point in a side's texture plane.
struct SideUv {
    float u = 0.0f;
    float v = 0.0f;
};

// The samples of part-space point `point` with part-space normal `normal`.
ProjectionSamples ProjectToTexture(const Projection& projection, const Vec3f& point, const Vec3f& normal,
                                   std::optional<std::uint8_t> faceByte = std::nullopt);

// The layer transform of a side: the origin taken off, turned by minus the
// layer's rotation, divided by the zoom (1 when not above 0). A side outside
// 0..5 uses the default layer.
SideUv SideTileUv(const Projection& projection, int side, float u, float v);

// The (u, v) of the sample with the largest weight (the first on ties);
// (0, 0) when there is none.
SideUv LargestWeightIndex(const ProjectionSamples& samples);

}  // namespace ridgeforge::mesh
