// The last part of the fold guard: moves that make triangles cross are eased
// back. The tilt test of the guard sees a triangle that turns, not two that
// meet: the flanks of a concave crease moving towards each other, a fan of
// bed-face triangles slid over its neighbours inside the base band, a corner
// whose faces pass through each other. Surfaces meet only where the surface
// between them folds, so the search starts there: at every vertex whose fan
// is no longer a plain graph over its summed normal (a fan that only slid is
// left alone), and at what the tilt test eased. Every triangle within the
// longest move of those is tested exactly by the validation's search, which
// also decides triangles sharing a corner or an edge; edge neighbours that
// the move folded almost flat onto each other, and faces it folded over the
// surface around them, count too. Each moved corner of such a triangle gives
// back half of its move per round for a few rounds, then all of it. Giving
// back whole moves can make a neighbour that keeps its move cross in turn (a
// wall half back beside one still pushed through a narrow slot), so those
// rounds go on until nothing crosses or folds: each takes at least one vertex
// back for good, and the surface before the move, which crossed nowhere,
// bounds the work. The buffers of the search are made once for all rounds,
// and a round looks near its eased faces only, so that the rounds cost about
// what they ease, not the size of the part.
#include <algorithm>
#include <cmath>
#include <limits>

#include "mesh/ParallelChunks.h"
#include "mesh/SortUnique.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/displacement/MeshDisplacementStages.h"
#include "relief/validation/SelfIntersections.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr std::uint32_t kCrossingRounds = 8;
constexpr std::size_t kChunk = 4096;
constexpr std::uint32_t kLargestFan = 64;
constexpr float kSlidTolerance = 1e-4f;
constexpr std::uint32_t kNoVertex = 0xFFFFFFFFu;
// cos 87 degrees: a face seen along the fan's normal keeps a fair width.
constexpr double kPlainCosine = 0.05233596;
// One turn, and a little for rounding: a fan that winds twice adds up to two.
constexpr double kOneTurn = 6.2841853;
// Two turns, less a little for rounding.
constexpr double kTwoTurns = 12.556;
// Edge neighbours whose normals are further apart than about 165 degrees
// have folded onto each other.
constexpr double kFoldedCosine = -0.966;
// cos 75 degrees, a little raised for rounding.
constexpr double kNoFoldCosine = 0.2589;

// Whether every corner of the faces around vertex v moved as v did (up to a
// ten-thousandth of a millimetre): the fan only slid, and what did not meet
// before the move does not meet now.
bool FanSlid(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, const std::vector<Vec3f>& saved,
             std::uint32_t v) {
    const Vec3f move = mesh.vertices[v].position - saved[v];
    for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) {
        for (std::size_t c = 0; c < 3; ++c) {
            const std::uint32_t u = mesh.indices[3 * std::size_t{faces.faces[k]} + c];
            const Vec3f d = mesh.vertices[u].position - saved[u] - move;
            if (std::fabs(d.x) + std::fabs(d.y) + std::fabs(d.z) > kSlidTolerance) return false;
        }
    }
    return true;
}

// Whether every other corner of the faces around v belongs to exactly two of
// them: the fan closes around v.
bool FanCloses(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, std::uint32_t v) {
    std::uint32_t spokes[2 * kLargestFan];
    std::uint32_t count = 0;
    for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) {
        for (std::size_t c = 0; c < 3; ++c) {
            const std::uint32_t u = mesh.indices[3 * std::size_t{faces.faces[k]} + c];
            if (u != v) spokes[count++] = u;
        }
    }
    if (count != 2 * (faces.offsets[v + 1] - faces.offsets[v])) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (std::count(spokes, spokes + count, spokes[i]) != 2) return false;
    }
    return true;
}

// Whether the fan of faces around vertex v is a graph over the plane across
// its summed normal: every face within 87 degrees of that normal, no two of
// them folded onto each other, and their angles at v, seen along it, adding
// up to one turn at most. The faces of such a fan cover disjoint wedges of
// that plane, each one-to-one, so no two of them meet beyond what they share.
bool FanIsPlain(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, std::uint32_t v) {
    const std::uint32_t first = faces.offsets[v], last = faces.offsets[v + 1];
    if (last - first > kLargestFan) return false;
    Vec3d cross[kLargestFan];
    Vec3d axis{};
    const Vec3d p = ToDouble(mesh.vertices[v].position);
    for (std::uint32_t k = first; k < last; ++k) {
        const std::uint32_t* corner = &mesh.indices[3 * std::size_t{faces.faces[k]}];
        const Vec3d a = ToDouble(mesh.vertices[corner[0]].position);
        cross[k - first] =
            Cross(ToDouble(mesh.vertices[corner[1]].position) - a, ToDouble(mesh.vertices[corner[2]].position) - a);
        axis += cross[k - first];
    }
    const double axisLength = Length(axis);
    if (!(axisLength > 0.0)) return false;
    const Vec3d n = axis / axisLength;
    double nearest = 1.0;
    for (std::uint32_t k = first; k < last; ++k) {
        const double length = Length(cross[k - first]);
        if (!(Dot(cross[k - first], n) > kPlainCosine * length)) return false;
        cross[k - first] = cross[k - first] / length;
        nearest = std::min(nearest, Dot(cross[k - first], n));
    }
    // Faces within 75 degrees of n lie within 150 degrees of each other: none
    // can have folded onto another.
    if (nearest < kNoFoldCosine) {
        for (std::uint32_t k = first; k < last; ++k) {
            for (std::uint32_t j = first; j < k; ++j) {
                if (Dot(cross[k - first], cross[j - first]) < kFoldedCosine) return false;
            }
        }
    }
    // The faces' angles at v, seen along n, as sine and cosine times the
    // lengths of the two sides; 2 tan(angle / 2) bounds each from above.
    double sine[kLargestFan], cosine[kLargestFan];
    double bound = 0.0;
    for (std::uint32_t k = first; k < last; ++k) {
        const std::uint32_t* corner = &mesh.indices[3 * std::size_t{faces.faces[k]}];
        int at = 0;
        while (corner[at] != v) ++at;
        Vec3d e0 = ToDouble(mesh.vertices[corner[(at + 1) % 3]].position) - p;
        Vec3d e1 = ToDouble(mesh.vertices[corner[(at + 2) % 3]].position) - p;
        e0 -= n * Dot(e0, n);
        e1 -= n * Dot(e1, n);
        sine[k - first] = Dot(Cross(e0, e1), n);
        cosine[k - first] = Dot(e0, e1);
        const double sides = std::sqrt(Dot(e0, e0) * Dot(e1, e1));
        bound += sides + cosine[k - first] > 0.0 ? 2.0 * sine[k - first] / (sides + cosine[k - first]) : kTwoTurns;
    }
    // Every face turns the same way about n, so the angles of a fan that
    // closes add up to whole turns: below two, to exactly one.
    if (bound < kTwoTurns && FanCloses(mesh, faces, v)) return true;
    double turn = 0.0;
    for (std::uint32_t k = first; k < last; ++k) turn += std::atan2(sine[k - first], cosine[k - first]);
    return turn < kOneTurn;
}

// The buffers of one easing, sized for the part once and handed from round
// to round, so that a round costs about what its marked faces need: the
// marked faces as a flag per triangle and as a list, the vertex numbers of
// the part cut out for the search (kNoVertex outside it), and what the
// search for nearby triangles keeps.
struct CrossingScratch {
    std::vector<std::uint8_t> mask;
    std::vector<std::uint32_t> marked;
    std::vector<std::uint32_t> renumbered;
    NearSearch near;

    // Marks the faces around v.
    void MarkFan(const VertexFaceAdjacency& faces, std::uint32_t v) {
        for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) {
            const std::uint32_t t = faces.faces[k];
            if (!mask[t]) {
                mask[t] = 1;
                marked.push_back(t);
            }
        }
    }
    void ClearMarks() {
        for (const std::uint32_t t : marked) mask[t] = 0;
        marked.clear();
    }
};

// What a round found, each list sorted, without repeats: the triangles that
// meet another beyond what they share, with the edge neighbours the move
// folded onto each other; and the faces it folded over the surface around
// them.
struct Found {
    std::vector<std::uint32_t> crossing;
    std::vector<std::uint32_t> foldedOver;

    bool Empty() const { return crossing.empty() && foldedOver.empty(); }
    std::size_t Count() const {
        std::vector<std::uint32_t> all(crossing);
        all.insert(all.end(), foldedOver.begin(), foldedOver.end());
        SortUnique(all);
        return all.size();
    }
};

// What the move made cross or fold within the reach of the marked triangles.
Found CrossingTriangles(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, const std::vector<Vec3f>& saved,
                        CrossingScratch& scratch, float reach) {
    Found found;
    std::vector<std::uint32_t>& out = found.crossing;
    bool stoppedEarly = false;
    const std::vector<std::uint32_t> near = TrianglesNear(mesh, scratch.mask, scratch.marked, reach, scratch.near);
    if (near.size() == scratch.mask.size()) {
        FindSelfIntersections(mesh, nullptr, std::numeric_limits<std::uint64_t>::max(), out, stoppedEarly);
    } else {
        // The search over the nearby triangles alone, on their own corners
        // numbered afresh, so that shared corners stay shared without copying
        // every vertex of the part.
        TriangleMesh part;
        std::vector<std::uint32_t>& renumbered = scratch.renumbered;
        std::vector<std::uint32_t> used;
        part.indices.reserve(3 * near.size());
        for (const std::size_t t : near) {
            for (std::size_t k = 0; k < 3; ++k) {
                const std::uint32_t v = mesh.indices[3 * t + k];
                if (renumbered[v] == kNoVertex) {
                    renumbered[v] = static_cast<std::uint32_t>(part.vertices.size());
                    part.vertices.push_back(mesh.vertices[v]);
                    used.push_back(v);
                }
                part.indices.push_back(renumbered[v]);
            }
        }
        for (const std::uint32_t v : used) renumbered[v] = kNoVertex;
        FindSelfIntersections(part, nullptr, std::numeric_limits<std::uint64_t>::max(), out, stoppedEarly);
        for (std::uint32_t& t : out) t = near[t];
    }
    // Edge neighbours folded onto each other off one plane meet only along
    // their edge, yet leave a blade no slicer can read.
    FoldedEdgePairs(mesh, faces, saved, scratch.marked, out);
    SortUnique(out);
    found.foldedOver = FacesFoldedOver(mesh, faces, saved, scratch.marked);
    return found;
}

// The moved corners of what was found, sorted, without repeats. A face folded
// over by the moves of its neighbours alone has no moved corner: the moved
// corners of the faces at its corners stand for it.
void MovedCorners(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, const std::vector<Vec3f>& saved,
                  const Found& found, std::vector<std::uint32_t>& vertices) {
    auto moved = [&](std::uint32_t v) { return !(mesh.vertices[v].position == saved[v]); };
    vertices.clear();
    auto addMovedCorners = [&](std::uint32_t t) {
        const std::size_t before = vertices.size();
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t v = mesh.indices[3 * std::size_t{t} + k];
            if (moved(v)) vertices.push_back(v);
        }
        return vertices.size() > before;
    };
    for (const std::uint32_t t : found.crossing) addMovedCorners(t);
    for (const std::uint32_t t : found.foldedOver) {
        if (addMovedCorners(t)) continue;
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t v = mesh.indices[3 * std::size_t{t} + k];
            for (std::uint32_t i = faces.offsets[v]; i < faces.offsets[v + 1]; ++i) addMovedCorners(faces.faces[i]);
        }
    }
    SortUnique(vertices);
}

}  // namespace

void EaseCrossings(TriangleMesh& mesh, const DisplacementWork& work, const std::vector<Vec3f>& saved,
                   std::vector<std::uint8_t>& eased, DisplacementReport& report) {
    const VertexFaceAdjacency& faces = work.vertexFaces;
    const std::size_t vertexCount = mesh.vertices.size();
    // Each chunk finds its own longest move (a maximum comes out the same in
    // any order) and lists the vertices whose fans are searched: those that
    // no longer lie plain, and what the tilt test eased whatever its fan.
    struct Folds {
        float reach = 0.0f;
        std::vector<std::uint32_t> vertices;
    };
    std::vector<Folds> folds((vertexCount + kChunk - 1) / kChunk);
    ForEachChunk(vertexCount, kChunk, [&](std::size_t begin, std::size_t end) {
        Folds& mine = folds[begin / kChunk];
        for (std::size_t v = begin; v < end; ++v) {
            const auto u = static_cast<std::uint32_t>(v);
            mine.reach = std::max(mine.reach, Length(mesh.vertices[v].position - saved[v]));
            if (eased[v] || !(FanSlid(mesh, faces, saved, u) || FanIsPlain(mesh, faces, u))) mine.vertices.push_back(u);
        }
    });
    // Where the surface folded, or the tilt test eased it, surfaces may have
    // moved into each other from as far as the longest move away.
    CrossingScratch scratch;
    scratch.mask.assign(mesh.TriangleCount(), 0);
    float reach = 0.0f;
    for (const Folds& mine : folds) {
        reach = std::max(reach, mine.reach);
        for (const std::uint32_t v : mine.vertices) scratch.MarkFan(faces, v);
    }
    if (scratch.marked.empty()) return;
    folds = {};
    scratch.renumbered.assign(vertexCount, kNoVertex);
    scratch.near.faces = &faces;
    scratch.near.everyVertexUsed = true;
    for (std::size_t v = 0; v < vertexCount && scratch.near.everyVertexUsed; ++v) {
        scratch.near.everyVertexUsed = faces.offsets[v + 1] > faces.offsets[v];
    }
    Found found = CrossingTriangles(mesh, faces, saved, scratch, reach);
    std::vector<std::uint32_t> vertices;
    // Every round from the last easing one on gives back whole moves, so each
    // takes at least one vertex back to where it was for good: the rounds end.
    for (std::uint32_t round = 1; !found.Empty(); ++round) {
        const float keep = round >= kCrossingRounds ? 0.0f : 0.5f;
        MovedCorners(mesh, faces, saved, found, vertices);
        // What crosses or folds with no move left to give back was so before.
        if (vertices.empty()) break;
        scratch.ClearMarks();
        // What the eased faces can meet now lies within the way they went back.
        reach = 0.0f;
        for (const std::uint32_t v : vertices) {
            Vec3f& position = mesh.vertices[v].position;
            reach = std::max(reach, (1.0f - keep) * Length(position - saved[v]));
            position = saved[v] + (position - saved[v]) * keep;
            eased[v] = 1;
            scratch.MarkFan(faces, v);
        }
        found = CrossingTriangles(mesh, faces, saved, scratch, reach);
    }
    report.trianglesLeftTurned += found.Count();
}

}  // namespace ridgeforge::mesh::relief_detail
