// Generated shapes for the tests and benchmarks: closed,
// outward-wound, welded meshes of a chosen fineness.
#pragma once

#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::test {

// A closed, outward-wound axis-aligned box of 8 vertices and 12 triangles.
mesh::TriangleMesh MakeBox(mesh::Vec3f min, mesh::Vec3f max);

// A torus around the z axis: 2 x around x across triangles, no poles.
inline mesh::TriangleMesh MakeTorus(float major, float minor, std::uint32_t around, std::uint32_t across) {
    mesh::TriangleMesh m;
    const float twoPi = 6.2831853f;
    for (std::uint32_t i = 0; i < around; ++i) {
        const float u = twoPi * static_cast<float>(i) / static_cast<float>(around);
        for (std::uint32_t j = 0; j < across; ++j) {
            const float v = twoPi * static_cast<float>(j) / static_cast<float>(across);
            const float r = major + minor * std::cos(v);
            m.vertices.push_back({{r * std::cos(u), r * std::sin(u), minor * std::sin(v)}, {}});
        }
    }
    auto id = [&](std::uint32_t i, std::uint32_t j) { return (i % around) * across + (j % across); };
    for (std::uint32_t i = 0; i < around; ++i) {
        for (std::uint32_t j = 0; j < across; ++j) {
            const std::uint32_t a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1), d = id(i, j + 1);
            m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
        }
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// An axis-aligned box whose six faces are each an n x n grid of split squares,
// welded along the box's edges.
inline mesh::TriangleMesh MakeGridBox(mesh::Vec3f min, mesh::Vec3f max, std::uint32_t n) {
    mesh::TriangleMesh m;
    std::unordered_map<std::uint64_t, std::uint32_t> ids;
    const std::uint64_t side = n + 1;
    auto vertex = [&](std::uint32_t i, std::uint32_t j, std::uint32_t k) {
        const std::uint64_t key = (i * side + j) * side + k;
        auto [it, added] = ids.try_emplace(key, static_cast<std::uint32_t>(m.vertices.size()));
        if (added) {
            auto at = [n](float lo, float hi, std::uint32_t s) {
                return lo + (hi - lo) * static_cast<float>(s) / static_cast<float>(n);
            };
            m.vertices.push_back({{at(min.x, max.x, i), at(min.y, max.y, j), at(min.z, max.z, k)}, {}});
        }
        return it->second;
    };
    // Each face: the fixed axis, its value (0 or n), and two running axes in
    // an order that makes the face point outwards.
    struct Face {
        int fixed, u, v;
        std::uint32_t value;
    };
    const Face faces[] = {{0, 2, 1, 0}, {0, 1, 2, n}, {1, 0, 2, 0}, {1, 2, 0, n}, {2, 1, 0, 0}, {2, 0, 1, n}};
    for (const Face& f : faces) {
        for (std::uint32_t a = 0; a < n; ++a) {
            for (std::uint32_t b = 0; b < n; ++b) {
                std::uint32_t quad[4];
                const std::uint32_t du[4] = {0, 1, 1, 0}, dv[4] = {0, 0, 1, 1};
                for (int c = 0; c < 4; ++c) {
                    std::uint32_t coord[3];
                    coord[f.fixed] = f.value;
                    coord[f.u] = a + du[c];
                    coord[f.v] = b + dv[c];
                    quad[c] = vertex(coord[0], coord[1], coord[2]);
                }
                m.indices.insert(m.indices.end(), {quad[0], quad[1], quad[2], quad[0], quad[2], quad[3]});
            }
        }
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// A flat n x n grid of split squares in the z = 0 plane, facing +z: an open mesh.
inline mesh::TriangleMesh MakeGridPlate(float size, std::uint32_t n) {
    mesh::TriangleMesh m;
    for (std::uint32_t j = 0; j <= n; ++j) {
        for (std::uint32_t i = 0; i <= n; ++i) {
            m.vertices.push_back({{size * static_cast<float>(i) / static_cast<float>(n),
                                   size * static_cast<float>(j) / static_cast<float>(n), 0.0f},
                                  {}});
        }
    }
    for (std::uint32_t j = 0; j < n; ++j) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t a = j * (n + 1) + i, b = a + 1, c = a + n + 2, d = a + n + 1;
            m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
        }
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// True when every edge has exactly two triangles that run it in opposite directions.
inline bool IsClosedOrientedManifold(const mesh::TriangleMesh& m) {
    std::unordered_map<std::uint64_t, int> directed;
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const std::uint64_t a = m.indices[t + k], b = m.indices[t + (k + 1) % 3];
            if (a == b || ++directed[(a << 32) | b] != 1) return false;
        }
    }
    for (const auto& [key, count] : directed) {
        if (directed.find((key << 32) | (key >> 32)) == directed.end()) return false;
    }
    return true;
}

// Adds another mesh's triangles and vertices, renumbered, after the mesh's own.
inline void AppendMesh(mesh::TriangleMesh& m, const mesh::TriangleMesh& other) {
    const auto base = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), other.vertices.begin(), other.vertices.end());
    for (std::uint32_t i : other.indices) m.indices.push_back(base + i);
}

// Adds a triangle with three vertices of its own.
inline void AddLooseTriangle(mesh::TriangleMesh& m, mesh::Vec3f a, mesh::Vec3f b, mesh::Vec3f c) {
    const auto base = static_cast<std::uint32_t>(m.vertices.size());
    for (const mesh::Vec3f& p : {a, b, c}) m.vertices.push_back({p, {}});
    m.indices.insert(m.indices.end(), {base, base + 1, base + 2});
}

}  // namespace ridgeforge::test
