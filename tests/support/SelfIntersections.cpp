// Self-intersection and fold count by exact orientation tests on candidate
// pairs of the bounding-box tree.
#include "tests/support/SelfIntersections.h"

#include <numeric>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/ParallelChunks.h"
#include "relief/validation/ExactPredicates.h"

namespace ridgeforge::test {
namespace {

using mesh::Vec3d;
using mesh::Vec3f;

// The orientation tests are the validation's exact predicate, so that the
// project keeps one.
int Orient3dD(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) { return mesh::Orient3d(a, b, c, d); }

// Exact 2D orientation of the points projected by dropping axis `drop`: the
// 3D orientation of the projected points against the unit step along the
// dropped axis, which is exact because that coordinate is 0 in all of them.
int Orient2d(const Vec3d& a, const Vec3d& b, const Vec3d& c, int drop) {
    Vec3d pa = a, pb = b, pc = c, up{};
    pa[drop] = 0.0;
    pb[drop] = 0.0;
    pc[drop] = 0.0;
    up[drop] = 1.0;
    return mesh::Orient3d(pa, pb, pc, up);
}

// --- Closed intersection tests ---

struct Tri {
    Vec3d p[3];
};

// The axis to drop so that the projection keeps the triangle's plane
// one-to-one: the largest component of its normal.
int DropAxis(const Tri& t) {
    const Vec3d n = Cross(t.p[1] - t.p[0], t.p[2] - t.p[0]);
    const Vec3d m = {std::fabs(n.x), std::fabs(n.y), std::fabs(n.z)};
    return m.x >= m.y && m.x >= m.z ? 0 : (m.y >= m.z ? 1 : 2);
}

bool Segments2d(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d, int drop) {
    const int o1 = Orient2d(a, b, c, drop), o2 = Orient2d(a, b, d, drop);
    const int o3 = Orient2d(c, d, a, drop), o4 = Orient2d(c, d, b, drop);
    if (o1 * o2 < 0 && o3 * o4 < 0) return true;
    const int u = (drop + 1) % 3, v = (drop + 2) % 3;
    auto within = [&](const Vec3d& p, const Vec3d& q, const Vec3d& r) {
        return std::min(p[u], q[u]) <= r[u] && r[u] <= std::max(p[u], q[u]) && std::min(p[v], q[v]) <= r[v] &&
               r[v] <= std::max(p[v], q[v]);
    };
    return (o1 == 0 && within(a, b, c)) || (o2 == 0 && within(a, b, d)) || (o3 == 0 && within(c, d, a)) ||
           (o4 == 0 && within(c, d, b));
}

bool PointInTriangle2d(const Vec3d& p, const Tri& t, int drop) {
    const int o0 = Orient2d(t.p[0], t.p[1], p, drop);
    const int o1 = Orient2d(t.p[1], t.p[2], p, drop);
    const int o2 = Orient2d(t.p[2], t.p[0], p, drop);
    return (o0 >= 0 && o1 >= 0 && o2 >= 0) || (o0 <= 0 && o1 <= 0 && o2 <= 0);
}

bool SegmentTriangle2d(const Vec3d& a, const Vec3d& b, const Tri& t, int drop) {
    if (PointInTriangle2d(a, t, drop) || PointInTriangle2d(b, t, drop)) return true;
    for (int k = 0; k < 3; ++k) {
        if (Segments2d(a, b, t.p[k], t.p[(k + 1) % 3], drop)) return true;
    }
    return false;
}

bool SegmentTriangle(const Vec3d& a, const Vec3d& b, const Tri& t) {
    const int s1 = Orient3dD(t.p[0], t.p[1], t.p[2], a);
    const int s2 = Orient3dD(t.p[0], t.p[1], t.p[2], b);
    if (s1 * s2 > 0) return false;
    if (s1 == 0 && s2 == 0) return SegmentTriangle2d(a, b, t, DropAxis(t));
    const int o0 = Orient3dD(a, b, t.p[0], t.p[1]);
    const int o1 = Orient3dD(a, b, t.p[1], t.p[2]);
    const int o2 = Orient3dD(a, b, t.p[2], t.p[0]);
    return (o0 >= 0 && o1 >= 0 && o2 >= 0) || (o0 <= 0 && o1 <= 0 && o2 <= 0);
}

bool DisjointTrianglesMeet(const Tri& s, const Tri& t) {
    for (int k = 0; k < 3; ++k) {
        if (SegmentTriangle(s.p[k], s.p[(k + 1) % 3], t)) return true;
        if (SegmentTriangle(t.p[k], t.p[(k + 1) % 3], s)) return true;
    }
    return false;
}

// x, lying in the plane of the corner v-c-d, points into that corner's wedge.
bool InWedge(const Vec3d& v, const Vec3d& c, const Vec3d& d, const Vec3d& x) {
    const int drop = DropAxis(Tri{{v, c, d}});
    const int s = Orient2d(v, c, d, drop);
    if (s == 0) return false;
    return Orient2d(v, c, x, drop) * s >= 0 && Orient2d(v, x, d, drop) * s >= 0;
}

// s = (v, a, b) and t = (v, c, d) share only the corner v.
bool CornerNeighboursMeet(const Tri& s, const Tri& t) {
    const Vec3d &v = s.p[0], &a = s.p[1], &b = s.p[2], &c = t.p[1], &d = t.p[2];
    if (SegmentTriangle(a, b, t) || SegmentTriangle(c, d, s)) return true;
    for (const Vec3d* x : {&a, &b}) {
        if (Orient3dD(v, c, d, *x) == 0 && InWedge(v, c, d, *x)) return true;
    }
    for (const Vec3d* x : {&c, &d}) {
        if (Orient3dD(v, a, b, *x) == 0 && InWedge(v, a, b, *x)) return true;
    }
    return false;
}

// s and t share the edge u-v; w0 and w1 are their third corners. Off one
// plane, two triangles on an edge meet only along its line, which each meets
// only in the edge; in one plane they overlap beyond the edge when the third
// corners lie on the same side of it.
bool EdgeNeighboursOverlap(const Vec3d& u, const Vec3d& v, const Vec3d& w0, const Vec3d& w1) {
    if (Orient3dD(u, v, w0, w1) != 0) return false;
    const int drop = DropAxis(Tri{{u, v, w0}});
    return Orient2d(u, v, w0, drop) * Orient2d(u, v, w1, drop) > 0;
}

class Counter {
public:
    explicit Counter(const mesh::TriangleMesh& m) : m_(m) {}

    Tri Corners(std::uint32_t t, int start) const {
        Tri out;
        for (int k = 0; k < 3; ++k) out.p[k] = ToDouble(m_.vertices[m_.indices[3 * t + (start + k) % 3]].position);
        return out;
    }

    bool PairMeets(std::uint32_t s, std::uint32_t t) const {
        int shared = 0, sAt = 0, tAt = 0, sSharedMask = 0, tSharedMask = 0;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (m_.indices[3 * s + i] == m_.indices[3 * t + j]) {
                    ++shared;
                    sAt = i;
                    tAt = j;
                    sSharedMask |= 1 << i;
                    tSharedMask |= 1 << j;
                }
            }
        }
        if (shared == 0) return DisjointTrianglesMeet(Corners(s, 0), Corners(t, 0));
        if (shared == 1) return CornerNeighboursMeet(Corners(s, sAt), Corners(t, tAt));
        if (shared > 2) return false;
        // The corner each holds apart from the edge: the bit its mask lacks.
        const Tri a = Corners(s, 0), b = Corners(t, 0);
        const int sOwn = 7 ^ sSharedMask, tOwn = 7 ^ tSharedMask;
        const auto single = [](int bit) { return bit == 1 || bit == 2 || bit == 4; };
        if (!single(sOwn) || !single(tOwn)) return false;  // a corner repeated within a triangle
        const int u = sOwn == 1 ? 1 : 0, v = sOwn == 4 ? 1 : 2;
        return EdgeNeighboursOverlap(a.p[u], a.p[v], a.p[sOwn >> 1], b.p[tOwn >> 1]);
    }

    bool BoxesMeet(std::uint32_t s, std::uint32_t t) const {
        for (int axis = 0; axis < 3; ++axis) {
            float lo[2], hi[2];
            for (int w = 0; w < 2; ++w) {
                const std::uint32_t tri = w == 0 ? s : t;
                lo[w] = hi[w] = m_.vertices[m_.indices[3 * tri]].position[axis];
                for (int k = 1; k < 3; ++k) {
                    const float x = m_.vertices[m_.indices[3 * tri + k]].position[axis];
                    lo[w] = std::min(lo[w], x);
                    hi[w] = std::max(hi[w], x);
                }
            }
            if (lo[0] > hi[1] || lo[1] > hi[0]) return false;
        }
        return true;
    }

private:
    const mesh::TriangleMesh& m_;
};

bool NodesMeet(const mesh::AabbNode& a, const mesh::AabbNode& b) {
    for (int axis = 0; axis < 3; ++axis) {
        if (a.min[axis] > b.max[axis] || b.min[axis] > a.max[axis]) return false;
    }
    return true;
}

// Pairs of leaves whose boxes meet, each unordered pair once.
std::vector<std::pair<std::uint32_t, std::uint32_t>> LeafPairs(const mesh::AabbTree& tree) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out, stack{{0u, 0u}};
    while (!stack.empty()) {
        const auto [a, b] = stack.back();
        stack.pop_back();
        const mesh::AabbNode& na = tree.nodes[a];
        const mesh::AabbNode& nb = tree.nodes[b];
        if (!NodesMeet(na, nb)) continue;
        const bool leafA = na.triangleCount != 0, leafB = nb.triangleCount != 0;
        if (leafA && leafB) {
            out.emplace_back(a, b);
        } else if (a == b) {
            stack.push_back({a + 1, a + 1});
            stack.push_back({na.secondChild, na.secondChild});
            stack.push_back({a + 1, na.secondChild});
        } else if (leafB || (!leafA && a < b)) {
            stack.push_back({a + 1, b});
            stack.push_back({na.secondChild, b});
        } else {
            stack.push_back({a, b + 1});
            stack.push_back({a, nb.secondChild});
        }
    }
    return out;
}

// Counts the folded edges; marks both triangles of each in `damaged` when given.
std::uint64_t CountFolds(const mesh::TriangleMesh& m, std::vector<std::uint8_t>* damaged = nullptr) {
    // Each undirected edge with the triangles that hold it.
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> edges;
    const auto count = static_cast<std::uint32_t>(m.indices.size() / 3);
    for (std::uint32_t t = 0; t < count; ++t) {
        for (int k = 0; k < 3; ++k) {
            const std::uint64_t a = m.indices[3 * t + k], b = m.indices[3 * t + (k + 1) % 3];
            edges[std::min(a, b) << 32 | std::max(a, b)].push_back(t);
        }
    }
    auto corner = [&](std::uint32_t t, int k) { return ToDouble(m.vertices[m.indices[3 * t + k]].position); };
    auto normal = [&](std::uint32_t t) {
        const Vec3d n = Cross(corner(t, 1) - corner(t, 0), corner(t, 2) - corner(t, 0));
        const double length = Length(n);
        return length > 0.0 ? n / length : Vec3d{};
    };
    auto opposite = [&](std::uint32_t t, std::uint64_t key) {
        for (int k = 0; k < 3; ++k) {
            const std::uint64_t v = m.indices[3 * t + k];
            if (v != (key >> 32) && v != (key & 0xFFFFFFFFu)) return corner(t, k);
        }
        return corner(t, 0);
    };
    std::uint64_t folds = 0;
    for (const auto& [key, tris] : edges) {
        if (tris.size() != 2) continue;
        const Vec3d n0 = normal(tris[0]), n1 = normal(tris[1]);
        bool folded = Dot(n0, n1) < -0.966;
        if (!folded) {
            const Vec3d u = ToDouble(m.vertices[key >> 32].position);
            const Vec3d v = ToDouble(m.vertices[key & 0xFFFFFFFFu].position);
            const Vec3d w0 = opposite(tris[0], key), w1 = opposite(tris[1], key);
            if (Orient3dD(u, v, w0, w1) != 0) continue;
            const int drop = DropAxis(Tri{{u, v, w0}});
            folded = Orient2d(u, v, w0, drop) * Orient2d(u, v, w1, drop) > 0;
        }
        if (!folded) continue;
        ++folds;
        if (damaged) (*damaged)[tris[0]] = (*damaged)[tris[1]] = 1;
    }
    return folds;
}

}  // namespace

int Orient3d(const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& d) {
    return Orient3dD(ToDouble(a), ToDouble(b), ToDouble(c), ToDouble(d));
}

namespace {

// The count; marks every triangle of a crossing pair or a folded edge in
// `damaged` (one byte per triangle) when given.
SelfIntersectionCount Count(const mesh::TriangleMesh& m, std::vector<std::uint8_t>* damaged) {
    SelfIntersectionCount result;
    if (!mesh::IsValidMesh(m) || m.indices.empty()) return result;
    mesh::AabbTree tree;
    tree.Build(m);
    if (tree.nodes.empty()) return result;
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> leaves = LeafPairs(tree);
    const Counter counter(m);
    std::atomic<std::uint64_t> pairs{0};
    mesh::ForEachChunk(leaves.size(), 256, [&](std::size_t begin, std::size_t end) {
        std::uint64_t found = 0;
        for (std::size_t i = begin; i < end; ++i) {
            const mesh::AabbNode& a = tree.nodes[leaves[i].first];
            const mesh::AabbNode& b = tree.nodes[leaves[i].second];
            const bool same = leaves[i].first == leaves[i].second;
            for (std::uint32_t x = 0; x < a.triangleCount; ++x) {
                for (std::uint32_t y = same ? x + 1 : 0; y < b.triangleCount; ++y) {
                    const std::uint32_t s = tree.triangleOrder[a.firstTriangle + x];
                    const std::uint32_t t = tree.triangleOrder[b.firstTriangle + y];
                    if (!counter.BoxesMeet(s, t) || !counter.PairMeets(s, t)) continue;
                    ++found;
                    if (damaged) {
                        std::atomic_ref<std::uint8_t>((*damaged)[s]).store(1, std::memory_order_relaxed);
                        std::atomic_ref<std::uint8_t>((*damaged)[t]).store(1, std::memory_order_relaxed);
                    }
                }
            }
        }
        pairs.fetch_add(found);
    });
    result.intersectingPairs = pairs.load();
    result.foldedEdges = CountFolds(m, damaged);
    return result;
}

}  // namespace

SelfIntersectionCount CountSelfIntersections(const mesh::TriangleMesh& m) { return Count(m, nullptr); }

std::vector<std::uint8_t> DamagedTriangles(const mesh::TriangleMesh& m) {
    std::vector<std::uint8_t> damaged(m.indices.size() / 3, 0);
    Count(m, &damaged);
    return damaged;
}

namespace {

// The mesh's connected bodies (through shared vertices) as meshes of their own.
std::vector<mesh::TriangleMesh> Bodies(const mesh::TriangleMesh& m) {
    std::vector<std::uint32_t> parent(m.vertices.size());
    std::iota(parent.begin(), parent.end(), 0u);
    auto find = [&](std::uint32_t v) {
        while (parent[v] != v) v = parent[v] = parent[parent[v]];
        return v;
    };
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
        parent[find(m.indices[t + 1])] = find(m.indices[t]);
        parent[find(m.indices[t + 2])] = find(m.indices[t]);
    }
    std::vector<std::uint32_t> body(m.vertices.size(), 0xFFFFFFFFu);
    std::vector<mesh::TriangleMesh> out;
    for (std::size_t t = 0; t < m.indices.size(); t += 3) {
        const std::uint32_t root = find(m.indices[t]);
        if (body[root] == 0xFFFFFFFFu) {
            body[root] = static_cast<std::uint32_t>(out.size());
            out.push_back(m);
            out.back().indices.clear();
        }
        mesh::TriangleMesh& b = out[body[root]];
        b.indices.insert(b.indices.end(), m.indices.begin() + static_cast<std::ptrdiff_t>(t),
                         m.indices.begin() + static_cast<std::ptrdiff_t>(t + 3));
    }
    return out;
}

}  // namespace

SelfIntersectionCount CountWithinBodies(const mesh::TriangleMesh& m) {
    SelfIntersectionCount sum;
    for (const mesh::TriangleMesh& body : Bodies(m)) {
        const SelfIntersectionCount c = CountSelfIntersections(body);
        sum.intersectingPairs += c.intersectingPairs;
        sum.foldedEdges += c.foldedEdges;
    }
    return sum;
}

}  // namespace ridgeforge::test
