// Generated printable parts that stress remeshing and simplification: sharp
// edges, thin walls, flat faces with holes, helical and revolved surfaces,
// overlapping shells. Each is closed, outward-wound and welded; sizes are in
// millimetres, each part a few tens of millimetres across.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "mesh/TestShapes.h"
#include "mesh/TriangleMesh.h"
#include "testing/Shapes.h"

namespace ridgeforge::test {

namespace stress {

inline constexpr float kTwoPi = 6.2831853f;

inline void AddQuad(mesh::TriangleMesh& m, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
}

inline std::uint32_t AddVertex(mesh::TriangleMesh& m, float x, float y, float z) {
    m.vertices.push_back({{x, y, z}, {}});
    return static_cast<std::uint32_t>(m.vertices.size() - 1);
}

// Turns every triangle over when the part came out inside out, then sets
// bounds and normals.
inline mesh::TriangleMesh Finish(mesh::TriangleMesh m) {
    m.RecomputeBounds();
    if (m.SignedVolume() < 0.0f) {
        for (std::size_t t = 0; t < m.indices.size(); t += 3) std::swap(m.indices[t + 1], m.indices[t + 2]);
    }
    m.RecomputeNormals();
    return m;
}

// A prism between z0 and z1 over the ring `outer` (counter-clockwise, each
// point at its own angle about the origin), with a bore along the ring
// `inner` (one point per outer point, at the same angle) or, when inner is
// empty, closed by fans about the origin. Every face triangle stays within
// the sector between its two rays, so a ring that dents inwards is fine.
inline mesh::TriangleMesh Extrude(const std::vector<std::pair<float, float>>& outer,
                                  const std::vector<std::pair<float, float>>& inner, float z0, float z1) {
    mesh::TriangleMesh m;
    const auto n = static_cast<std::uint32_t>(outer.size());
    auto ring = [&](const std::vector<std::pair<float, float>>& points, float z) {
        const auto first = static_cast<std::uint32_t>(m.vertices.size());
        for (const auto& [x, y] : points) AddVertex(m, x, y, z);
        return first;
    };
    const std::uint32_t ob = ring(outer, z0), ot = ring(outer, z1);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t j = (i + 1) % n;
        AddQuad(m, ob + i, ob + j, ot + j, ot + i);
    }
    if (inner.empty()) {
        const std::uint32_t cb = AddVertex(m, 0, 0, z0), ct = AddVertex(m, 0, 0, z1);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t j = (i + 1) % n;
            m.indices.insert(m.indices.end(), {ct, ot + i, ot + j, cb, ob + j, ob + i});
        }
        return Finish(m);
    }
    // A ring just inside the outer one's deepest dent keeps the face
    // triangles short across, so none reaches past a dent into the next sector.
    float dent = 3e38f;
    for (std::uint32_t i = 0; i < n; ++i) dent = std::min(dent, std::hypot(outer[i].first, outer[i].second));
    std::vector<std::pair<float, float>> middle;
    for (std::uint32_t i = 0; i < n; ++i) {
        const float r = std::hypot(inner[i].first, inner[i].second);
        const float scale = (r + 0.9f * (dent - r)) / r;
        middle.emplace_back(inner[i].first * scale, inner[i].second * scale);
    }
    const std::uint32_t mb = ring(middle, z0), mt = ring(middle, z1);
    const std::uint32_t ib = ring(inner, z0), it = ring(inner, z1);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t j = (i + 1) % n;
        AddQuad(m, ib + j, ib + i, it + i, it + j);
        AddQuad(m, ot + i, ot + j, mt + j, mt + i);
        AddQuad(m, mt + i, mt + j, it + j, it + i);
        AddQuad(m, ob + j, ob + i, mb + i, mb + j);
        AddQuad(m, mb + j, mb + i, ib + i, ib + j);
    }
    return Finish(m);
}

// The closed (r, z) polygon turned about the z axis; no point on the axis.
inline mesh::TriangleMesh Revolve(const std::vector<std::pair<float, float>>& profile, std::uint32_t segments) {
    mesh::TriangleMesh m;
    const auto n = static_cast<std::uint32_t>(profile.size());
    for (std::uint32_t s = 0; s < segments; ++s) {
        const float a = kTwoPi * static_cast<float>(s) / static_cast<float>(segments);
        for (const auto& [r, z] : profile) AddVertex(m, r * std::cos(a), r * std::sin(a), z);
    }
    for (std::uint32_t s = 0; s < segments; ++s) {
        const std::uint32_t s1 = (s + 1) % segments;
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t i1 = (i + 1) % n;
            AddQuad(m, s * n + i, s * n + i1, s1 * n + i1, s1 * n + i);
        }
    }
    return Finish(m);
}

inline mesh::TriangleMesh Joined(const mesh::TriangleMesh& a, const mesh::TriangleMesh& b) {
    mesh::TriangleMesh m = a;
    const auto offset = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), b.vertices.begin(), b.vertices.end());
    for (const std::uint32_t i : b.indices) m.indices.push_back(i + offset);
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// A block of square columns on a grid of `side` mm cells standing on z = 0:
// heights[y][x] is a column's height (0: no column); a column with a hole
// flag has a round hole of `radius` through it. Each cell side carries k
// segments so that neighbouring faces share their vertices.
class ColumnBlock {
public:
    ColumnBlock(float side, std::uint32_t k) : side_(side), k_(k) {}

    mesh::TriangleMesh Build(const std::vector<std::vector<float>>& heights,
                             const std::vector<std::vector<bool>>& holes, float radius) {
        heights_ = heights;
        std::set<float> levels(std::set<float>{0.0f});
        for (const auto& row : heights) levels.insert(row.begin(), row.end());
        levels_.assign(levels.begin(), levels.end());
        for (std::size_t y = 0; y < heights.size(); ++y) {
            for (std::size_t x = 0; x < heights[y].size(); ++x) {
                if (heights[y][x] <= 0.0f) continue;
                const int cx = static_cast<int>(x), cy = static_cast<int>(y);
                if (holes[y][x]) {
                    HoleCell(cx, cy, heights[y][x], radius);
                } else {
                    SolidCell(cx, cy, heights[y][x]);
                }
                Walls(cx, cy, heights[y][x]);
            }
        }
        return Finish(std::move(m_));
    }

private:
    float Height(int x, int y) const {
        if (y < 0 || x < 0 || y >= static_cast<int>(heights_.size()) || x >= static_cast<int>(heights_[y].size())) {
            return 0.0f;
        }
        return heights_[y][x];
    }

    std::uint32_t Lattice(int X, int Y, float z) {
        auto [it, added] = lattice_.try_emplace({X, Y, z}, 0u);
        if (added) {
            const float step = side_ / static_cast<float>(k_);
            it->second = AddVertex(m_, static_cast<float>(X) * step, static_cast<float>(Y) * step, z);
        }
        return it->second;
    }

    void SolidCell(int cx, int cy, float h) {
        const int k = static_cast<int>(k_), X = cx * k, Y = cy * k;
        for (int i = 0; i < k; ++i) {
            for (int j = 0; j < k; ++j) {
                AddQuad(m_, Lattice(X + i, Y + j, h), Lattice(X + i + 1, Y + j, h), Lattice(X + i + 1, Y + j + 1, h),
                        Lattice(X + i, Y + j + 1, h));
                AddQuad(m_, Lattice(X + i, Y + j + 1, 0), Lattice(X + i + 1, Y + j + 1, 0),
                        Lattice(X + i + 1, Y + j, 0), Lattice(X + i, Y + j, 0));
            }
        }
    }

    // The cell's boundary, counter-clockwise from its lowest corner.
    std::vector<std::pair<int, int>> Ring(int cx, int cy) const {
        const int k = static_cast<int>(k_), X = cx * k, Y = cy * k;
        std::vector<std::pair<int, int>> ring;
        for (int s = 0; s < k; ++s) ring.emplace_back(X + s, Y);
        for (int s = 0; s < k; ++s) ring.emplace_back(X + k, Y + s);
        for (int s = 0; s < k; ++s) ring.emplace_back(X + k - s, Y + k);
        for (int s = 0; s < k; ++s) ring.emplace_back(X, Y + k - s);
        return ring;
    }

    void HoleCell(int cx, int cy, float h, float radius) {
        const std::vector<std::pair<int, int>> ring = Ring(cx, cy);
        const auto n = static_cast<std::uint32_t>(ring.size());
        const float step = side_ / static_cast<float>(k_);
        const float mx = (static_cast<float>(cx) + 0.5f) * side_, my = (static_cast<float>(cy) + 0.5f) * side_;
        std::vector<std::uint32_t> bottom(n), top(n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const float a = std::atan2(static_cast<float>(ring[i].second) * step - my,
                                       static_cast<float>(ring[i].first) * step - mx);
            bottom[i] = AddVertex(m_, mx + radius * std::cos(a), my + radius * std::sin(a), 0.0f);
            top[i] = AddVertex(m_, mx + radius * std::cos(a), my + radius * std::sin(a), h);
        }
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t j = (i + 1) % n;
            const auto [xi, yi] = ring[i];
            const auto [xj, yj] = ring[j];
            AddQuad(m_, Lattice(xi, yi, h), Lattice(xj, yj, h), top[j], top[i]);
            AddQuad(m_, Lattice(xj, yj, 0), Lattice(xi, yi, 0), bottom[i], bottom[j]);
            AddQuad(m_, bottom[j], bottom[i], top[i], top[j]);
        }
    }

    // Walls where this column stands above its neighbour, through every level
    // in between so that the walls meeting at a corner share their vertices.
    void Walls(int cx, int cy, float h) {
        const int k = static_cast<int>(k_), X = cx * k, Y = cy * k;
        struct Side {
            int dx, dy;
            int x0, y0, ux, uy;
        };
        // Each side runs so that (run direction) x (up) points out of the cell.
        const Side sides[4] = {
            {1, 0, X + k, Y, 0, 1}, {-1, 0, X, Y + k, 0, -1}, {0, 1, X + k, Y + k, -1, 0}, {0, -1, X, Y, 1, 0}};
        for (const Side& s : sides) {
            const float low = Height(cx + s.dx, cy + s.dy);
            if (!(low < h)) continue;
            std::vector<float> zs;
            for (const float z : levels_) {
                if (z >= low && z <= h) zs.push_back(z);
            }
            for (int i = 0; i < k; ++i) {
                const int ax = s.x0 + s.ux * i, ay = s.y0 + s.uy * i;
                const int bx = ax + s.ux, by = ay + s.uy;
                for (std::size_t l = 0; l + 1 < zs.size(); ++l) {
                    AddQuad(m_, Lattice(ax, ay, zs[l]), Lattice(bx, by, zs[l]), Lattice(bx, by, zs[l + 1]),
                            Lattice(ax, ay, zs[l + 1]));
                }
            }
        }
    }

    float side_;
    std::uint32_t k_;
    std::vector<std::vector<float>> heights_;
    std::vector<float> levels_;
    std::map<std::tuple<int, int, float>, std::uint32_t> lattice_;
    mesh::TriangleMesh m_;
};

}  // namespace stress

// A spur gear: 18 teeth on a 20 mm pitch radius, 8 mm thick, 6 mm bore.
inline mesh::TriangleMesh MakeGear() {
    std::vector<std::pair<float, float>> outer, inner;
    const int teeth = 18, perTooth = 8;
    // Root, flank up, tip, flank down, as fractions of one tooth's angle.
    const float shape[perTooth] = {18.5f, 18.5f, 19.2f, 21.5f, 21.5f, 21.5f, 19.2f, 18.5f};
    for (int t = 0; t < teeth; ++t) {
        for (int s = 0; s < perTooth; ++s) {
            const float a = stress::kTwoPi * (static_cast<float>(t) + static_cast<float>(s) / perTooth) / teeth;
            outer.emplace_back(shape[s] * std::cos(a), shape[s] * std::sin(a));
            inner.emplace_back(6.0f * std::cos(a), 6.0f * std::sin(a));
        }
    }
    return stress::Extrude(outer, inner, 0.0f, 8.0f);
}

// A disk 40 mm across and 0.8 mm thick.
inline mesh::TriangleMesh MakeThinDisk() {
    std::vector<std::pair<float, float>> outer;
    for (int i = 0; i < 128; ++i) {
        const float a = stress::kTwoPi * static_cast<float>(i) / 128.0f;
        outer.emplace_back(20.0f * std::cos(a), 20.0f * std::sin(a));
    }
    return stress::Extrude(outer, {}, 0.0f, 0.8f);
}

// A rod `length` mm long standing on z = 0 with a sharp V thread: radius
// `radius` at the crests, `depth` mm deep, `pitch` mm a turn; flat ends.
inline mesh::TriangleMesh MakeThread(float radius, float depth, float pitch, float length, std::uint32_t around,
                                     std::uint32_t rows) {
    mesh::TriangleMesh m;
    for (std::uint32_t k = 0; k < rows; ++k) {
        const float z = length * static_cast<float>(k) / static_cast<float>(rows - 1);
        for (std::uint32_t j = 0; j < around; ++j) {
            const float a = stress::kTwoPi * static_cast<float>(j) / static_cast<float>(around);
            const float phase = z / pitch - static_cast<float>(j) / static_cast<float>(around);
            const float wave = std::fabs(2.0f * (phase - std::floor(phase)) - 1.0f);  // 0..1 triangle wave
            const float r = radius - depth + depth * wave;
            stress::AddVertex(m, r * std::cos(a), r * std::sin(a), z);
        }
    }
    for (std::uint32_t k = 0; k + 1 < rows; ++k) {
        for (std::uint32_t j = 0; j < around; ++j) {
            const std::uint32_t j1 = (j + 1) % around;
            stress::AddQuad(m, k * around + j, k * around + j1, (k + 1) * around + j1, (k + 1) * around + j);
        }
    }
    const std::uint32_t bottom = stress::AddVertex(m, 0, 0, 0), top = stress::AddVertex(m, 0, 0, length);
    const std::uint32_t last = (rows - 1) * around;
    for (std::uint32_t j = 0; j < around; ++j) {
        const std::uint32_t j1 = (j + 1) % around;
        m.indices.insert(m.indices.end(), {bottom, j1, j, top, last + j, last + j1});
    }
    return stress::Finish(m);
}

// An M10-like rod 30 mm long: a 2 mm pitch thread 0.9 mm deep, flat ends.
inline mesh::TriangleMesh MakeThreadedRod() { return MakeThread(5.0f, 0.9f, 2.0f, 30.0f, 64, 121); }

// A 40 x 25 mm plate 3 mm thick with two 8 mm ribs along x and six round
// holes 3 mm across.
inline mesh::TriangleMesh MakeRibbedPlate() {
    const float plate = 3.0f, rib = 8.0f;
    std::vector<std::vector<float>> heights(5, std::vector<float>(8, plate));
    std::vector<std::vector<bool>> holes(5, std::vector<bool>(8, false));
    for (int x = 0; x < 8; ++x) heights[1][x] = heights[3][x] = rib;
    for (const auto& [x, y] : {std::pair{1, 0}, {4, 0}, {6, 2}, {2, 2}, {3, 4}, {6, 4}}) holes[y][x] = true;
    return stress::ColumnBlock(5.0f, 4).Build(heights, holes, 1.5f);
}

// A closed box 30 x 20 x 15 mm with a hollow inside: walls 0.6 mm thick.
inline mesh::TriangleMesh MakeHollowBox() {
    mesh::TriangleMesh outer = MakeGridBox({0, 0, 0}, {30, 20, 15}, 3);
    mesh::TriangleMesh inner = MakeGridBox({0.6f, 0.6f, 0.6f}, {29.4f, 19.4f, 14.4f}, 3);
    for (std::size_t t = 0; t < inner.indices.size(); t += 3) std::swap(inner.indices[t + 1], inner.indices[t + 2]);
    return stress::Joined(outer, inner);
}

// A nozzle: a flange 18 mm across with a 4 mm bore, tapering to a 7 mm tip,
// walls about 1 mm thick, 24 mm tall.
inline mesh::TriangleMesh MakeNozzle() {
    return stress::Revolve({{2.0f, 0.0f},
                            {9.0f, 0.0f},
                            {9.0f, 5.0f},
                            {3.5f, 20.0f},
                            {3.5f, 24.0f},
                            {2.5f, 24.0f},
                            {2.5f, 20.0f},
                            {7.5f, 5.0f},
                            {7.5f, 1.5f},
                            {2.0f, 1.5f}},
                           96);
}

// Two boxes whose volumes overlap: two shells that cut through each other.
inline mesh::TriangleMesh MakeOverlappingBoxes() {
    return stress::Joined(MakeGridBox({0, 0, 0}, {20, 20, 20}, 4), MakeGridBox({8, 7, 6}, {26, 24, 22}, 4));
}

// A cone `height` mm tall on a base of `radius`, standing on its base, in
// `rings` rings of `around` points: a needle when it is narrow.
inline mesh::TriangleMesh MakeCone(float radius, float height, std::uint32_t around, std::uint32_t rings) {
    mesh::TriangleMesh m;
    for (std::uint32_t k = 0; k < rings; ++k) {
        const float f = static_cast<float>(k) / static_cast<float>(rings);
        for (std::uint32_t j = 0; j < around; ++j) {
            const float a = stress::kTwoPi * static_cast<float>(j) / static_cast<float>(around);
            stress::AddVertex(m, radius * (1.0f - f) * std::cos(a), radius * (1.0f - f) * std::sin(a), height * f);
        }
    }
    const std::uint32_t apex = stress::AddVertex(m, 0, 0, height), centre = stress::AddVertex(m, 0, 0, 0);
    const std::uint32_t top = (rings - 1) * around;
    for (std::uint32_t j = 0; j < around; ++j) {
        const std::uint32_t j1 = (j + 1) % around;
        for (std::uint32_t k = 0; k + 1 < rings; ++k) {
            stress::AddQuad(m, k * around + j, k * around + j1, (k + 1) * around + j1, (k + 1) * around + j);
        }
        m.indices.insert(m.indices.end(), {top + j, top + j1, apex, centre, j1, j});
    }
    return stress::Finish(m);
}

// A blade 10 mm tall whose edge comes to a 22 degree point 20 mm out.
inline mesh::TriangleMesh MakeKnifeEdge() {
    std::vector<std::pair<float, float>> outer;
    const std::pair<float, float> corners[3] = {{-3.0f, -4.4f}, {20.0f, 0.0f}, {-3.0f, 4.4f}};
    for (int side = 0; side < 3; ++side) {
        const auto [x0, y0] = corners[side];
        const auto [x1, y1] = corners[(side + 1) % 3];
        for (int i = 0; i < 16; ++i) {
            const float f = static_cast<float>(i) / 16.0f;
            outer.emplace_back(x0 + f * (x1 - x0), y0 + f * (y1 - y0));
        }
    }
    return stress::Extrude(outer, {}, 0.0f, 10.0f);
}

// A 40 x 20 mm base 1 mm thick carrying fins 0.3 mm thick and 6 mm tall, 2.1
// mm apart, across it.
inline mesh::TriangleMesh MakeFinnedPlate() {
    const std::size_t columns = 133, rows = 67;
    std::vector<std::vector<float>> heights(rows, std::vector<float>(columns, 1.0f));
    for (auto& row : heights) {
        for (std::size_t x = 3; x < columns; x += 7) row[x] = 6.0f;
    }
    return stress::ColumnBlock(0.3f, 1).Build(heights, std::vector<std::vector<bool>>(rows, std::vector<bool>(columns)),
                                              0.0f);
}

// Parts whose few triangles are costly to check: long triangles whose boxes
// fill the grid when they lie across it, many triangles about one corner (a
// round face closed by a fan, as CAD programs close it), copies of one
// triangle; and the sphere to set each beside, of about as many triangles.

// `v` turned by the rotation that takes +z to the unit direction `to`.
inline mesh::Vec3f TurnFromZ(mesh::Vec3f v, mesh::Vec3f to) {
    const double c = to.z, sx = -to.y, sy = to.x;  // axis z x to, of length sin
    const double s2 = sx * sx + sy * sy;
    if (s2 < 1e-24) return c > 0 ? v : mesh::Vec3f{v.x, -v.y, -v.z};
    const double k = (1.0 - c) / s2;
    const double x = v.x, y = v.y, z = v.z;
    // Rodrigues' formula with the unnormalised axis (sx, sy, 0).
    const double dot = sx * x + sy * y;
    return {static_cast<float>(x * c + sy * z + sx * dot * k), static_cast<float>(y * c - sx * z + sy * dot * k),
            static_cast<float>(z * c + (sx * y - sy * x))};
}

// A rod of `segments` sides, `radius` and `length`, its ends fans about their
// centres, standing from the origin along `axis` (any length but zero).
inline mesh::TriangleMesh MakeFanCappedRod(float radius, float length, std::uint32_t segments, mesh::Vec3f axis) {
    std::vector<std::pair<float, float>> ring;
    for (std::uint32_t i = 0; i < segments; ++i) {
        const float a = stress::kTwoPi * static_cast<float>(i) / static_cast<float>(segments);
        ring.emplace_back(radius * std::cos(a), radius * std::sin(a));
    }
    mesh::TriangleMesh m = stress::Extrude(ring, {}, 0.0f, length);
    const mesh::Vec3f to = mesh::Normalize(axis);
    for (mesh::Vertex& v : m.vertices) v.position = TurnFromZ(v.position, to);
    return stress::Finish(m);
}

// A tube of `segments` sides, `radius` and `length` standing from the origin,
// both ends left open: two holes of `segments` corners each.
inline mesh::TriangleMesh MakeOpenTube(float radius, float length, std::uint32_t segments) {
    mesh::TriangleMesh m;
    for (std::uint32_t end = 0; end < 2; ++end) {
        for (std::uint32_t i = 0; i < segments; ++i) {
            const float a = stress::kTwoPi * static_cast<float>(i) / static_cast<float>(segments);
            stress::AddVertex(m, radius * std::cos(a), radius * std::sin(a), length * static_cast<float>(end));
        }
    }
    for (std::uint32_t i = 0; i < segments; ++i) {
        const std::uint32_t j = (i + 1) % segments;
        stress::AddQuad(m, i, j, segments + j, segments + i);
    }
    return stress::Finish(m);
}

// `count` copies of one triangle on the same three corners.
inline mesh::TriangleMesh MakeCopiedTriangle(std::uint32_t count, float size) {
    mesh::TriangleMesh m;
    stress::AddVertex(m, 0, 0, 0);
    stress::AddVertex(m, size, 0.2f * size, 0.1f * size);
    stress::AddVertex(m, 0.3f * size, size, 0.6f * size);
    for (std::uint32_t i = 0; i < count; ++i) m.indices.insert(m.indices.end(), {0, 1, 2});
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// A flat fan of `fan` triangles from corner w over a straight edge 20 mm
// long, a wall 1 mm high under that edge, and a flap 0.05 mm wide along the
// edge from w to the first point, turned by beta degrees from the top about
// that edge. The flap is the last triangle.
inline mesh::TriangleMesh MakeFlappedFan(std::uint32_t fan, double beta) {
    mesh::TriangleMesh m;
    const auto add = [&m](double x, double y, double z) {
        m.vertices.push_back({{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)}, {}});
        return static_cast<std::uint32_t>(m.vertices.size() - 1);
    };
    const std::uint32_t w = add(0, 0, 0);
    std::vector<std::uint32_t> rim, low;
    for (std::uint32_t i = 0; i <= fan; ++i) rim.push_back(add(10, -10.0 + 20.0 * i / fan, 0));
    for (std::uint32_t i = 0; i <= fan; ++i) low.push_back(add(10, -10.0 + 20.0 * i / fan, -1));
    for (std::uint32_t i = 0; i < fan; ++i) {
        m.indices.insert(m.indices.end(), {w, rim[i], rim[i + 1]});
        m.indices.insert(m.indices.end(), {rim[i], low[i], rim[i + 1]});
        m.indices.insert(m.indices.end(), {rim[i + 1], low[i], low[i + 1]});
    }
    // 0.05 mm out from the middle of the edge, turned down past the vertical.
    const double turn = beta * 3.14159265358979 / 180.0, out = -0.05 * std::sqrt(0.5) * std::cos(turn);
    const std::uint32_t flap = add(5 + out, -5 + out, -0.05 * std::sin(turn));
    m.indices.insert(m.indices.end(), {rim[0], w, flap});
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

// A sphere of `radius` in `rings` rings of 2 x rings points, with a point at
// each pole: 4 x rings x (rings - 1) triangles.
inline mesh::TriangleMesh MakeRingSphere(float radius, std::uint32_t rings) {
    mesh::TriangleMesh m;
    const std::uint32_t around = 2 * rings;
    for (std::uint32_t k = 1; k < rings; ++k) {
        const float polar = 0.5f * stress::kTwoPi * static_cast<float>(k) / static_cast<float>(rings);
        for (std::uint32_t j = 0; j < around; ++j) {
            const float a = stress::kTwoPi * static_cast<float>(j) / static_cast<float>(around);
            stress::AddVertex(m, radius * std::sin(polar) * std::cos(a), radius * std::sin(polar) * std::sin(a),
                              radius * std::cos(polar));
        }
    }
    const std::uint32_t north = stress::AddVertex(m, 0, 0, radius), south = stress::AddVertex(m, 0, 0, -radius);
    const std::uint32_t last = (rings - 2) * around;
    for (std::uint32_t j = 0; j < around; ++j) {
        const std::uint32_t j1 = (j + 1) % around;
        m.indices.insert(m.indices.end(), {north, j, j1, south, last + j1, last + j});
        for (std::uint32_t k = 0; k + 2 < rings; ++k) {
            stress::AddQuad(m, k * around + j, (k + 1) * around + j, (k + 1) * around + j1, k * around + j1);
        }
    }
    return stress::Finish(m);
}

// The ring sphere with about `triangles` triangles.
inline mesh::TriangleMesh MakeRingSphereOf(std::uint64_t triangles, float radius) {
    const auto rings = static_cast<std::uint32_t>(std::max(2.0, std::round(std::sqrt(triangles / 4.0))));
    return MakeRingSphere(radius, rings);
}

// Parts whose triangles crowd round one corner or run long across the grid,
// for the benchmarks that set each beside a sphere of radius 10 mm and as
// many triangles: size is the segments around, the copies, or the sphere's
// triangles.
namespace crowded {
enum Part : int { kUprightRod, kDiagonalRod, kCone, kFanCylinder, kCopies, kSphere };
}  // namespace crowded

inline mesh::TriangleMesh MakeCrowdedPart(std::int64_t part, std::int64_t count) {
    const auto size = static_cast<std::uint32_t>(count);
    switch (part) {
        case crowded::kUprightRod:
            return MakeFanCappedRod(5.0f, 100.0f, size, {0, 0, 1});
        case crowded::kDiagonalRod:
            return MakeFanCappedRod(5.0f, 100.0f, size, {1, 1, 1});
        case crowded::kCone:
            return MakeCone(10.0f, 24.0f, size, 1);
        case crowded::kFanCylinder:
            return MakeFanCappedRod(10.0f, 20.0f, size, {0, 0, 1});
        case crowded::kCopies:
            return MakeCopiedTriangle(size, 20.0f);
        case crowded::kSphere:
            return MakeRingSphereOf(size, 10.0f);
    }
    return {};
}

struct StressPart {
    std::string name;
    mesh::TriangleMesh mesh;
};

inline std::vector<StressPart> MakeStressParts() {
    return {{"gear", MakeGear()},
            {"threaded rod", MakeThreadedRod()},
            {"ribbed plate", MakeRibbedPlate()},
            {"thin disk", MakeThinDisk()},
            {"hollow box", MakeHollowBox()},
            {"nozzle", MakeNozzle()},
            {"overlapping boxes", MakeOverlappingBoxes()},
            {"sphere", mesh::MakeTestSphere(15.0f)}};
}

// Sharper still: needles, blades, fins thinner than a cell and fine threads.
inline std::vector<StressPart> MakeSharpStressParts() {
    return {{"needle cone", MakeCone(2.0f, 30.0f, 48, 24)},
            {"knife edge", MakeKnifeEdge()},
            {"finned plate", MakeFinnedPlate()},
            {"fine thread", MakeThread(2.0f, 0.35f, 0.6f, 12.0f, 48, 161)},
            {"coarse thread", MakeThread(6.0f, 1.6f, 3.5f, 20.0f, 72, 97)}};
}

}  // namespace ridgeforge::test
