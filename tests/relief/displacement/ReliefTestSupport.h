// Height maps, mappings and look-ups the relief and coverage tests share.
#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "mesh/TriangleMesh.h"
#include "relief/mapping/Projection.h"
#include "textures/HeightMap.h"

namespace ridgeforge::mesh {

// A map of the given pixels (row-major, top row first) on a 30 mm tile with
// the levels untouched; wrap 0 repeats, 2 clamps.
inline HeightMap MakeMap(std::int32_t width, std::int32_t height, std::vector<float> pixels,
                         WrapMode wrap = WrapMode::Repeat) {
    HeightMap map;
    TextureSettings settings;
    settings.wrap = wrap;
    map.SetSettings(settings);
    map.SetImage(width, height, std::move(pixels));
    return map;
}

inline HeightMap UniformMap(float value) { return MakeMap(4, 4, std::vector<float>(16, value)); }

// A box mapping whose cage covers everything within `half` of the origin.
inline Projection BoxProjection(float half = 100.0f) {
    Projection p;
    p.type = ProjectionType::Box;
    p.cage.size = {2 * half, 2 * half, 2 * half};
    return p;
}

// The index of the vertex within 1e-5 mm of `where`; a test failure and 0 when there is none.
inline std::size_t VertexAt(const TriangleMesh& m, Vec3f where) {
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
        if (Length(m.vertices[v].position - where) < 1e-5f) return v;
    }
    ADD_FAILURE() << "no vertex at " << where.x << ", " << where.y << ", " << where.z;
    return 0;
}

}  // namespace ridgeforge::mesh
