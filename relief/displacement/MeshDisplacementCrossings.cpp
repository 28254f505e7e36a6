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
// the move folded almost flat onto each other count too. Each moved corner of
// a crossing triangle gives back half of its move per round, and all of it in
// the last round, so that the surface before the move, which crossed nowhere,
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

// Whether the triangles s and t, sharing an edge, have turned almost fully
// against each other at the positions that position(vertex) gives.
template <typename Position>
bool FoldedOnto(const TriangleMesh& mesh, const Position& position, std::uint32_t s, std::uint32_t t) {
    auto normal = [&](std::uint32_t f) {
        const Vec3d a = ToDouble(position(mesh.indices[3 * std::size_t{f}]));
        const Vec3d b = ToDouble(position(mesh.indices[3 * std::size_t{f} + 1]));
        const Vec3d c = ToDouble(position(mesh.indices[3 * std::size_t{f} + 2]));
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

// The corners of the marked triangles, sorted, without repeats.
std::vector<std::uint32_t> CornersOfMarked(const TriangleMesh& mesh, const CrossingScratch& scratch) {
    std::vector<std::uint32_t> out;
    out.reserve(3 * scratch.marked.size());
    for (const std::size_t t : scratch.marked) {
        out.insert(out.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    }
    SortUnique(out);
    return out;
}

// The triangles within the reach of the marked ones that meet another
// triangle beyond what they share, and the marked edge neighbours that the
// move folded onto each other; sorted, without repeats.
std::vector<std::uint32_t> CrossingTriangles(const TriangleMesh& mesh, const VertexFaceAdjacency& faces,
                                             const std::vector<Vec3f>& saved, CrossingScratch& scratch, float reach) {
    std::vector<std::uint32_t> out;
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
    // their edge, yet leave a blade no slicer can read; they lie in the fans
    // of their corners.
    const std::vector<std::uint8_t>& mask = scratch.mask;
    const auto now = [&](std::uint32_t v) { return mesh.vertices[v].position; };
    const auto before = [&](std::uint32_t v) { return saved[v]; };
    for (const std::uint32_t v : CornersOfMarked(mesh, scratch)) {
        for (std::uint32_t i = faces.offsets[v]; i < faces.offsets[v + 1]; ++i) {
            for (std::uint32_t j = i + 1; j < faces.offsets[v + 1]; ++j) {
                const std::uint32_t s = faces.faces[i], t = faces.faces[j];
                if ((!mask[s] && !mask[t]) || SharedCorners(mesh, s, t) != 2) continue;
                if (FoldedOnto(mesh, now, s, t) && !FoldedOnto(mesh, before, s, t)) out.insert(out.end(), {s, t});
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
    const std::size_t vertexCount = mesh.vertices.size();
    auto moved = [&](std::uint32_t v) { return !(mesh.vertices[v].position == saved[v]); };
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
    std::vector<std::uint32_t> crossing = CrossingTriangles(mesh, faces, saved, scratch, reach);
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
        // Triangles that cross with no corner left to ease stay as they are.
        if (vertices.empty()) break;
        SortUnique(vertices);
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
        crossing = CrossingTriangles(mesh, faces, saved, scratch, reach);
    }
    report.trianglesLeftTurned += crossing.size();
}

}  // namespace ridgeforge::mesh::relief_detail
