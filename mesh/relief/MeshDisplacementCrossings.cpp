// The last part of the fold guard: moves that make triangles cross are eased
// back. The tilt test of the guard sees a triangle that turns, not two that
// meet: the flanks of a concave crease moving towards each other, a fan of
// bed-face triangles slid over its neighbours inside the base band, a corner
// whose faces pass through each other. Here every triangle with a moved
// corner is tested exactly against the rest by the validation's search, which
// also decides triangles sharing a corner or an edge; edge neighbours that the
// move folded almost flat onto each other count too. Each moved corner of a
// crossing triangle gives back half of its move per round, and all of it in
// the last round, so that the surface before the move, which crossed nowhere,
// bounds the work.
#include <algorithm>
#include <cmath>
#include <limits>

#include "mesh/SortUnique.h"
#include "mesh/relief/MeshDisplacement.h"
#include "mesh/relief/MeshDisplacementStages.h"
#include "mesh/validation/SelfIntersections.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr std::uint32_t kCrossingRounds = 8;
// Edge neighbours whose normals are further apart than about 165 degrees
// have folded onto each other.
constexpr double kFoldedCosine = -0.966;

// Whether the triangles s and t, sharing an edge, have turned almost fully
// against each other at the given positions.
bool FoldedOnto(const TriangleMesh& mesh, const std::vector<Vec3f>& positions, std::uint32_t s, std::uint32_t t) {
    auto normal = [&](std::uint32_t f) {
        const Vec3d a = ToDouble(positions[mesh.indices[3 * std::size_t{f}]]);
        const Vec3d b = ToDouble(positions[mesh.indices[3 * std::size_t{f} + 1]]);
        const Vec3d c = ToDouble(positions[mesh.indices[3 * std::size_t{f} + 2]]);
        return Cross(b - a, c - a);
    };
    const Vec3d n0 = normal(s), n1 = normal(t);
    const double l0 = Length(n0), l1 = Length(n1);
    return l0 > 0.0 && l1 > 0.0 && Dot(n0, n1) < kFoldedCosine * l0 * l1;
}

int SharedCorners(const TriangleMesh& mesh, std::uint32_t s, std::uint32_t t) {
    int shared = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            shared += mesh.indices[3 * std::size_t{s} + i] == mesh.indices[3 * std::size_t{t} + j] ? 1 : 0;
        }
    }
    return shared;
}

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
    // Edge neighbours folded onto each other off one plane meet only along
    // their edge, yet leave a blade no slicer can read; they lie in the fans
    // of their corners.
    const std::vector<Vec3f> now = PositionsOf(mesh);
    for (const std::uint32_t v : CornersOfMarked(mesh, mask)) {
        for (std::uint32_t i = faces.offsets[v]; i < faces.offsets[v + 1]; ++i) {
            for (std::uint32_t j = i + 1; j < faces.offsets[v + 1]; ++j) {
                const std::uint32_t s = faces.faces[i], t = faces.faces[j];
                if ((!mask[s] && !mask[t]) || SharedCorners(mesh, s, t) != 2) continue;
                if (FoldedOnto(mesh, now, s, t) && !FoldedOnto(mesh, saved, s, t)) out.insert(out.end(), {s, t});
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
