// The last part of the fold guard: moves that make triangles cross are eased
// back. The tilt test of the guard sees a triangle that turns, not two that
// meet: the flanks of a concave crease moving towards each other, a fan of
// bed-face triangles slid over its neighbours inside the base band, a corner
// whose faces pass through each other. Here every triangle with a moved
// corner is tested exactly against the rest: triangles apart by the
// validation's search, triangles sharing a corner or an edge by the same
// orientation predicate (they cross when they meet anywhere but what they
// share; edge neighbours also when they fold flat onto each other). Each
// moved corner of a crossing triangle gives back half of its move per round,
// and all of it in the last round, so that the surface before the move, which
// crossed nowhere, bounds the work.
#include <algorithm>
#include <cmath>
#include <limits>

#include "mesh/SortUnique.h"
#include "mesh/relief/MeshDisplacement.h"
#include "mesh/relief/MeshDisplacementStages.h"
#include "mesh/validation/ExactPredicates.h"
#include "mesh/validation/SelfIntersections.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr std::uint32_t kCrossingRounds = 8;
// Edge neighbours whose normals are further apart than about 165 degrees
// have folded onto each other.
constexpr double kFoldedCosine = -0.966;

struct Corners {
    Vec3d p[3];
};

// Exact 2D orientation after dropping axis `drop`: the 3D orientation against
// the unit step along that axis, exact because the dropped coordinate is 0.
int Orient2d(Vec3d a, Vec3d b, Vec3d c, int drop) {
    Vec3d up{};
    a[drop] = b[drop] = c[drop] = 0.0;
    up[drop] = 1.0;
    return Orient3d(a, b, c, up);
}

int DropAxis(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const Vec3d n = Cross(b - a, c - a);
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

bool PointInTriangle2d(const Vec3d& p, const Corners& t, int drop) {
    const int o0 = Orient2d(t.p[0], t.p[1], p, drop);
    const int o1 = Orient2d(t.p[1], t.p[2], p, drop);
    const int o2 = Orient2d(t.p[2], t.p[0], p, drop);
    return (o0 >= 0 && o1 >= 0 && o2 >= 0) || (o0 <= 0 && o1 <= 0 && o2 <= 0);
}

// Whether the closed segment a-b meets the closed triangle t.
bool SegmentMeets(const Vec3d& a, const Vec3d& b, const Corners& t) {
    const int s1 = Orient3d(t.p[0], t.p[1], t.p[2], a);
    const int s2 = Orient3d(t.p[0], t.p[1], t.p[2], b);
    if (s1 * s2 > 0) return false;
    if (s1 == 0 && s2 == 0) {
        const int drop = DropAxis(t.p[0], t.p[1], t.p[2]);
        if (PointInTriangle2d(a, t, drop) || PointInTriangle2d(b, t, drop)) return true;
        for (int k = 0; k < 3; ++k) {
            if (Segments2d(a, b, t.p[k], t.p[(k + 1) % 3], drop)) return true;
        }
        return false;
    }
    const int o0 = Orient3d(a, b, t.p[0], t.p[1]);
    const int o1 = Orient3d(a, b, t.p[1], t.p[2]);
    const int o2 = Orient3d(a, b, t.p[2], t.p[0]);
    return (o0 >= 0 && o1 >= 0 && o2 >= 0) || (o0 <= 0 && o1 <= 0 && o2 <= 0);
}

// x, lying in the plane of the corner v-c-d, points into that corner's wedge.
bool InWedge(const Vec3d& v, const Vec3d& c, const Vec3d& d, const Vec3d& x) {
    const int drop = DropAxis(v, c, d);
    const int s = Orient2d(v, c, d, drop);
    if (s == 0) return false;
    return Orient2d(v, c, x, drop) * s >= 0 && Orient2d(v, x, d, drop) * s >= 0;
}

// s = (v, a, b) and t = (v, c, d) share only the corner v.
bool CornerNeighboursMeet(const Corners& s, const Corners& t) {
    const Vec3d &v = s.p[0], &a = s.p[1], &b = s.p[2], &c = t.p[1], &d = t.p[2];
    if (SegmentMeets(a, b, t) || SegmentMeets(c, d, s)) return true;
    for (const Vec3d* x : {&a, &b}) {
        if (Orient3d(v, c, d, *x) == 0 && InWedge(v, c, d, *x)) return true;
    }
    for (const Vec3d* x : {&c, &d}) {
        if (Orient3d(v, a, b, *x) == 0 && InWedge(v, a, b, *x)) return true;
    }
    return false;
}

// s = (u, v, w) and t hold the edge u-v; x is t's far corner.
bool EdgeNeighboursFold(const Vec3d& u, const Vec3d& v, const Vec3d& w, const Vec3d& x) {
    const Vec3d n0 = Cross(v - u, w - u), n1 = Cross(u - v, x - v);
    const double l0 = Length(n0), l1 = Length(n1);
    if (l0 > 0.0 && l1 > 0.0 && Dot(n0, n1) < kFoldedCosine * l0 * l1) return true;
    if (Orient3d(u, v, w, x) != 0) return false;
    const int drop = DropAxis(u, v, w);
    return Orient2d(u, v, w, drop) * Orient2d(u, v, x, drop) > 0;
}

class PairJudge {
public:
    PairJudge(const TriangleMesh& mesh, const std::vector<Vec3f>& positions) : mesh_(mesh), positions_(positions) {}

    // Whether triangles s and t, sharing `shared` corners, meet beyond them.
    bool NeighboursMeet(std::uint32_t s, std::uint32_t t) const {
        int shared = 0, sAt = 0, tAt = 0, sFree = 0, tFree = 0;
        bool sUsed[3] = {false, false, false}, tUsed[3] = {false, false, false};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (Index(s, i) != Index(t, j)) continue;
                ++shared;
                sAt = i, tAt = j;
                sUsed[i] = tUsed[j] = true;
            }
        }
        if (shared == 1) return CornerNeighboursMeet(CornersFrom(s, sAt), CornersFrom(t, tAt));
        if (shared != 2) return false;
        while (sUsed[sFree]) ++sFree;
        while (tUsed[tFree]) ++tFree;
        // s runs u, v, w from its free corner's successor.
        const Vec3d u = At(s, sFree + 1), v = At(s, sFree + 2), w = At(s, sFree);
        return EdgeNeighboursFold(u, v, w, At(t, tFree));
    }

private:
    std::uint32_t Index(std::uint32_t t, int k) const { return mesh_.indices[3 * std::size_t{t} + (k % 3)]; }
    Vec3d At(std::uint32_t t, int k) const { return ToDouble(positions_[Index(t, k)]); }
    Corners CornersFrom(std::uint32_t t, int start) const {
        return {{At(t, start), At(t, start + 1), At(t, start + 2)}};
    }

    const TriangleMesh& mesh_;
    const std::vector<Vec3f>& positions_;
};

// The corners of the marked triangles, sorted, without repeats.
std::vector<std::uint32_t> CornersOfMarked(const TriangleMesh& mesh, const std::vector<std::uint8_t>& mask) {
    std::vector<std::uint32_t> out;
    for (std::size_t t = 0; t < mask.size(); ++t) {
        if (mask[t]) out.insert(out.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    }
    SortUnique(out);
    return out;
}

std::vector<Vec3f> PositionsOf(const TriangleMesh& mesh) {
    std::vector<Vec3f> out(mesh.vertices.size());
    for (std::size_t v = 0; v < out.size(); ++v) out[v] = mesh.vertices[v].position;
    return out;
}

// The marked triangles that meet another triangle beyond what they share,
// and that did not before the move; sorted, without repeats.
std::vector<std::uint32_t> CrossingTriangles(const TriangleMesh& mesh, const VertexFaceAdjacency& faces,
                                             const std::vector<Vec3f>& saved, const std::vector<std::uint8_t>& mask) {
    std::vector<std::uint32_t> out;
    bool stoppedEarly = false;
    FindSelfIntersections(mesh, &mask, std::numeric_limits<std::uint64_t>::max(), out, stoppedEarly);
    const std::vector<Vec3f> now = PositionsOf(mesh);
    const PairJudge after(mesh, now), before(mesh, saved);
    // Triangles that share a corner lie in the fan of that corner.
    for (const std::uint32_t v : CornersOfMarked(mesh, mask)) {
        for (std::uint32_t i = faces.offsets[v]; i < faces.offsets[v + 1]; ++i) {
            for (std::uint32_t j = i + 1; j < faces.offsets[v + 1]; ++j) {
                const std::uint32_t s = faces.faces[i], t = faces.faces[j];
                if (!mask[s] && !mask[t]) continue;
                if (after.NeighboursMeet(s, t) && !before.NeighboursMeet(s, t)) out.insert(out.end(), {s, t});
            }
        }
    }
    SortUnique(out);
    return out;
}

}  // namespace

void EaseCrossings(TriangleMesh& mesh, const DisplacementWork& work, const std::vector<Vec3f>& saved,
                   std::vector<std::uint8_t>& eased, DisplacementReport& report) {
    const VertexFaceAdjacency& faces = work.vertexFaces;
    const std::size_t triangles = mesh.TriangleCount();
    auto moved = [&](std::uint32_t v) { return !(mesh.vertices[v].position == saved[v]); };
    std::vector<std::uint8_t> mask(triangles, 0);
    for (std::uint32_t v = 0; v < mesh.vertices.size(); ++v) {
        if (!moved(v)) continue;
        for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) mask[faces.faces[k]] = 1;
    }
    std::vector<std::uint32_t> crossing = CrossingTriangles(mesh, faces, saved, mask);
    std::vector<std::uint32_t> vertices;
    for (std::uint32_t round = 1; !crossing.empty() && round <= kCrossingRounds; ++round) {
        const float keep = round == kCrossingRounds ? 0.0f : 0.5f;
        vertices.clear();
        for (const std::uint32_t t : crossing) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint32_t v = mesh.indices[3 * std::size_t{t} + k];
                if (moved(v)) vertices.push_back(v);
            }
        }
        SortUnique(vertices);
        std::fill(mask.begin(), mask.end(), std::uint8_t{0});
        for (const std::uint32_t v : vertices) {
            Vec3f& position = mesh.vertices[v].position;
            position = saved[v] + (position - saved[v]) * keep;
            eased[v] = 1;
            for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) mask[faces.faces[k]] = 1;
        }
        crossing = CrossingTriangles(mesh, faces, saved, mask);
    }
    report.trianglesLeftTurned += crossing.size();
}

}  // namespace ridgeforge::mesh::relief_detail
