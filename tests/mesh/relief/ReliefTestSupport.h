// Height maps and mappings the relief tests share.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/mapping/Projection.h"
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

}  // namespace ridgeforge::mesh
