// Parts and relief heights for the tests and benchmarks of the solid relief:
// a part with a slot, finer copies of a mesh, and heights from a procedural
// texture laid on the part by a simple box projection.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge::test {

// Each triangle split into four, `levels` times, new vertices shared along edges.
inline mesh::TriangleMesh Subdivide(mesh::TriangleMesh m, int levels) {
    for (int level = 0; level < levels; ++level) {
        std::map<std::uint64_t, std::uint32_t> middle;
        const auto mid = [&](std::uint32_t a, std::uint32_t b) {
            const auto [it, added] =
                middle.try_emplace(mesh::EdgeKey(a, b), static_cast<std::uint32_t>(m.vertices.size()));
            if (added) m.vertices.push_back({(m.vertices[a].position + m.vertices[b].position) * 0.5f, {}});
            return it->second;
        };
        std::vector<std::uint32_t> indices;
        for (std::size_t t = 0; t < m.indices.size(); t += 3) {
            const std::uint32_t a = m.indices[t], b = m.indices[t + 1], c = m.indices[t + 2];
            const std::uint32_t ab = mid(a, b), bc = mid(b, c), ca = mid(c, a);
            indices.insert(indices.end(), {a, ab, ca, ab, b, bc, ca, bc, c, ab, bc, ca});
        }
        m.indices = std::move(indices);
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// A U-shaped block 10 x 10 x 10 mm whose slot, `slot` mm wide and 7 mm deep,
// opens upward along y, from the origin.
inline mesh::TriangleMesh MakeSlotPart(float slot) {
    const float a = 5.0f - slot / 2.0f, b = 5.0f + slot / 2.0f;
    // The profile in x and z, counter-clockwise seen from -y.
    const float profile[10][2] = {{0, 0}, {a, 0}, {b, 0}, {10, 0}, {10, 10}, {b, 10}, {b, 3}, {a, 3}, {a, 10}, {0, 10}};
    const int caps[8][3] = {{7, 8, 9}, {7, 9, 0}, {7, 0, 1}, {1, 2, 6}, {1, 6, 7}, {6, 2, 3}, {6, 3, 4}, {6, 4, 5}};
    mesh::TriangleMesh m;
    for (const float y : {0.0f, 10.0f}) {
        for (const auto& p : profile) m.vertices.push_back({{p[0], y, p[1]}, {}});
    }
    for (int i = 0; i < 8; ++i) {
        const auto* t = caps[i];
        // Near cap (y = 0) faces -y; far cap reversed.
        m.indices.insert(m.indices.end(), {std::uint32_t(t[0]), std::uint32_t(t[2]), std::uint32_t(t[1])});
        m.indices.insert(m.indices.end(),
                         {std::uint32_t(10 + t[0]), std::uint32_t(10 + t[1]), std::uint32_t(10 + t[2])});
    }
    for (std::uint32_t i = 0; i < 10; ++i) {
        const std::uint32_t j = (i + 1) % 10;
        m.indices.insert(m.indices.end(), {i, j, 10 + j, i, 10 + j, 10 + i});
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    if (m.SignedVolume() < 0.0f) {
        for (std::size_t t = 0; t < m.indices.size(); t += 3) std::swap(m.indices[t + 1], m.indices[t + 2]);
        m.RecomputeNormals();
    }
    return m;
}

// One signed height per vertex: the named procedural texture, tiled every
// `tile` mm on the plane across the vertex normal's largest component, mapped
// from 0..1 to -strength/2..strength/2.
inline std::vector<float> TextureHeights(const mesh::TriangleMesh& m, const std::string& texture, float tile,
                                         float strength) {
    const int size = 128;
    const std::vector<float> pixels = mesh::procedural::CreateTexture(texture)->RenderHeightMap(size, size);
    std::vector<float> heights(m.vertices.size(), 0.0f);
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
        const mesh::Vec3f p = m.vertices[v].position;
        const mesh::Vec3f n = m.vertices[v].normal;
        const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
        const int axis = ax >= ay && ax >= az ? 0 : (ay >= az ? 1 : 2);
        const float u = p[(axis + 1) % 3] / tile, w = p[(axis + 2) % 3] / tile;
        const auto wrap = [&](float x) {
            const float f = x - std::floor(x);
            return std::min(size - 1, static_cast<int>(f * static_cast<float>(size)));
        };
        heights[v] = (pixels[static_cast<std::size_t>(wrap(w) * size + wrap(u))] - 0.5f) * strength;
    }
    return heights;
}

}  // namespace ridgeforge::test
