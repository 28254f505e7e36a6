// The part the layer benchmarks slice: a torus standing on its rim along Y,
// 2 x (35 + 15) = 100 mm tall, of 250,000 (around 500) or 1,000,000
// (around 1000) triangles. Its lower half overhangs and its top arches over
// the hole, so the slicing meets every kind of layer change.
#pragma once

#include <cstdint>

#include "mesh/TriangleMesh.h"
#include "testing/Shapes.h"

namespace ridgeforge::bench {

inline constexpr std::int32_t kStandingAxis = 1;

inline const mesh::TriangleMesh& StandingTorus(std::int64_t around) {
    static const mesh::TriangleMesh small = test::MakeTorus(35.0f, 15.0f, 500, 250);
    static const mesh::TriangleMesh large = test::MakeTorus(35.0f, 15.0f, 1000, 500);
    return around == 500 ? small : large;
}

}  // namespace ridgeforge::bench
