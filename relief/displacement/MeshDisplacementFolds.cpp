// The folds the crossing guard of the vertex relief looks for beside the
// crossings: edge neighbours turned almost fully onto each other, and faces
// turned away from the surface around their corners by more than about 107
// degrees (the fold a save check counts). Only what the move made counts: a
// fold the part already had is left to the repair.
//
// Both walk edges and corners, never pairs of faces around one corner, so a
// corner shared by tens of thousands of faces costs its faces once, not
// their square: an edge's other faces come from the smaller face list of its
// two ends, and the summed normals of a corner are worked out once per call.
#include <algorithm>
#include <cmath>

#include "mesh/ParallelChunks.h"
#include "mesh/SortUnique.h"
#include "relief/displacement/MeshDisplacementStages.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr std::size_t kFoldChunk = 4096;
// Edge neighbours whose normals are further apart than about 165 degrees
// have folded onto each other.
constexpr double kFoldedCosine = -0.966;
// A face further than about 107 degrees from the summed normals around it
// has folded over.
constexpr double kFoldedOverCosine = -0.3;

template <typename Position>
Vec3d FaceCross(const TriangleMesh& mesh, const Position& position, std::uint32_t f) {
    const Vec3d a = ToDouble(position(mesh.indices[3 * std::size_t{f}]));
    const Vec3d b = ToDouble(position(mesh.indices[3 * std::size_t{f} + 1]));
    const Vec3d c = ToDouble(position(mesh.indices[3 * std::size_t{f} + 2]));
    return Cross(b - a, c - a);
}

// Whether the triangles s and t, sharing an edge, have turned almost fully
// against each other at the positions that position(vertex) gives.
template <typename Position>
bool FoldedOnto(const TriangleMesh& mesh, const Position& position, std::uint32_t s, std::uint32_t t) {
    const Vec3d n0 = FaceCross(mesh, position, s), n1 = FaceCross(mesh, position, t);
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

bool HasCorner(const TriangleMesh& mesh, std::uint32_t t, std::uint32_t v) {
    const std::size_t i = 3 * std::size_t{t};
    return mesh.indices[i] == v || mesh.indices[i + 1] == v || mesh.indices[i + 2] == v;
}

// The summed face normals (cross products) around each listed corner, at
// the positions that position(vertex) gives; corners sorted.
template <typename Position>
std::vector<Vec3d> CornerSums(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, const Position& position,
                              const std::vector<std::uint32_t>& corners) {
    std::vector<Vec3d> sums(corners.size());
    ForEachChunk(corners.size(), kFoldChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t v = corners[i];
            Vec3d s;
            for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k)
                s += FaceCross(mesh, position, faces.faces[k]);
            sums[i] = s;
        }
    });
    return sums;
}

// Whether face t turns away from the summed normals around its corners;
// `sum` gives a corner's sum.
template <typename Position, typename Sum>
bool FoldedOver(const TriangleMesh& mesh, const Position& position, const Sum& sum, std::uint32_t t) {
    const Vec3d n = FaceCross(mesh, position, t);
    Vec3d s;
    for (std::size_t k = 0; k < 3; ++k) s += sum(mesh.indices[3 * std::size_t{t} + k]);
    const double nl = Length(n), sl = Length(s);
    return nl > 0.0 && sl > 0.0 && Dot(n, s) < kFoldedOverCosine * nl * sl;
}

std::vector<std::uint32_t> CornersOf(const TriangleMesh& mesh, const std::vector<std::uint32_t>& triangles) {
    std::vector<std::uint32_t> out;
    out.reserve(3 * triangles.size());
    for (const std::size_t t : triangles)
        out.insert(out.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    SortUnique(out);
    return out;
}

}  // namespace

void FoldedEdgePairs(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, const std::vector<Vec3f>& saved,
                     const std::vector<std::uint32_t>& marked, std::vector<std::uint32_t>& out) {
    const auto now = [&](std::uint32_t v) { return mesh.vertices[v].position; };
    const auto before = [&](std::uint32_t v) { return saved[v]; };
    for (const std::uint32_t s : marked) {
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t a = mesh.indices[3 * std::size_t{s} + k];
            const std::uint32_t b = mesh.indices[3 * std::size_t{s} + (k + 1) % 3];
            const std::uint32_t from =
                faces.offsets[a + 1] - faces.offsets[a] <= faces.offsets[b + 1] - faces.offsets[b] ? a : b;
            const std::uint32_t other = from == a ? b : a;
            for (std::uint32_t i = faces.offsets[from]; i < faces.offsets[from + 1]; ++i) {
                const std::uint32_t t = faces.faces[i];
                if (t == s || !HasCorner(mesh, t, other) || SharedCorners(mesh, s, t) != 2) continue;
                if (FoldedOnto(mesh, now, s, t) && !FoldedOnto(mesh, before, s, t)) out.insert(out.end(), {s, t});
            }
        }
    }
}

std::vector<std::uint32_t> FacesFoldedOver(const TriangleMesh& mesh, const VertexFaceAdjacency& faces,
                                           const std::vector<Vec3f>& saved,
                                           const std::vector<std::uint32_t>& triangles) {
    // A face's fold reads the faces at its corners, so whatever changed with
    // the listed faces shows in the faces at their corners.
    std::vector<std::uint32_t> candidates;
    for (const std::uint32_t v : CornersOf(mesh, triangles)) {
        candidates.insert(candidates.end(), faces.faces.begin() + faces.offsets[v],
                          faces.faces.begin() + faces.offsets[v + 1]);
    }
    SortUnique(candidates);
    const auto now = [&](std::uint32_t v) { return mesh.vertices[v].position; };
    const auto before = [&](std::uint32_t v) { return saved[v]; };
    auto lookUp = [](const std::vector<std::uint32_t>& corners, const std::vector<Vec3d>& sums) {
        return [&corners, &sums](std::uint32_t v) {
            return sums[static_cast<std::size_t>(std::lower_bound(corners.begin(), corners.end(), v) -
                                                 corners.begin())];
        };
    };
    std::vector<std::uint32_t> corners = CornersOf(mesh, candidates);
    std::vector<Vec3d> sums = CornerSums(mesh, faces, now, corners);
    // Each chunk lists its own; joined in chunk order, ascending.
    std::vector<std::vector<std::uint32_t>> foldedIn((candidates.size() + kFoldChunk - 1) / kFoldChunk);
    ForEachChunk(candidates.size(), kFoldChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            if (FoldedOver(mesh, now, lookUp(corners, sums), candidates[i]))
                foldedIn[begin / kFoldChunk].push_back(candidates[i]);
        }
    });
    std::vector<std::uint32_t> folded;
    for (const std::vector<std::uint32_t>& mine : foldedIn) folded.insert(folded.end(), mine.begin(), mine.end());
    if (folded.empty()) return folded;
    corners = CornersOf(mesh, folded);
    sums = CornerSums(mesh, faces, before, corners);
    folded.erase(std::remove_if(folded.begin(), folded.end(),
                                [&](std::uint32_t t) { return FoldedOver(mesh, before, lookUp(corners, sums), t); }),
                 folded.end());
    return folded;
}

}  // namespace ridgeforge::mesh::relief_detail
