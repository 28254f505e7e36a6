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
// bounds the work.
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
constexpr std::size_t kNearChunk = 65536;
constexpr std::uint32_t kLargestFan = 64;
constexpr float kSlidTolerance = 1e-4f;
constexpr float kHuge = 3.0e38f;
constexpr std::uint32_t kNoVertex = 0xFFFFFFFFu;
// Cells of the nearness grid, one bit each: 32 MB at most.
constexpr std::int64_t kLargestGrid = std::int64_t{1} << 28;
// cos 87 degrees: a face seen along the fan's normal keeps a fair width.
constexpr double kPlainCosine = 0.05233596;
// One turn, and a little for rounding: a fan that winds twice adds up to two.
constexpr double kOneTurn = 6.2841853;
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
    double turn = 0.0;
    for (std::uint32_t k = first; k < last; ++k) {
        // The face's angle at v, seen along n.
        const std::uint32_t* corner = &mesh.indices[3 * std::size_t{faces.faces[k]}];
        int at = 0;
        while (corner[at] != v) ++at;
        Vec3d e0 = ToDouble(mesh.vertices[corner[(at + 1) % 3]].position) - p;
        Vec3d e1 = ToDouble(mesh.vertices[corner[(at + 2) % 3]].position) - p;
        e0 -= n * Dot(e0, n);
        e1 -= n * Dot(e1, n);
        turn += std::atan2(Dot(Cross(e0, e1), n), Dot(e0, e1));
    }
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

// The triangles whose boxes touch a cell of a grid, as fine as the largest
// marked triangle's box or the reach, that a marked triangle's box widened
// by the reach touches. The touched cells are kept as bits; a part so large
// that they would pass kLargestGrid gets coarser cells, which only let a few
// more triangles through. A first call looks at every triangle; a later one,
// when every vertex is in use and the touched cells are few, only at the
// faces of the vertices within the longest box side so far of a touched
// cell, as only those can touch one: the same triangles at a cost that
// follows the marked ones.
std::vector<std::uint32_t> TrianglesNear(const TriangleMesh& mesh, const std::vector<std::uint8_t>& mask,
                                         const std::vector<std::uint32_t>& marked, float reach, NearSearch& search) {
    const std::size_t triangles = mask.size();
    auto boxOf = [&](std::size_t t, Vec3f& lo, Vec3f& hi) {
        lo = hi = mesh.vertices[mesh.indices[3 * t]].position;
        for (std::size_t k = 1; k < 3; ++k) {
            const Vec3f& p = mesh.vertices[mesh.indices[3 * t + k]].position;
            for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
        }
    };
    auto longestSide = [](const Vec3f& lo, const Vec3f& hi) {
        return std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
    };
    const bool local = search.longestSide >= 0.0f && search.everyVertexUsed;
    // The extremes by chunks on all threads: min and max give the same
    // values in any order. Over the vertices when every one is in use, as
    // the triangles' boxes would give the same.
    struct Extent {
        Vec3f low{kHuge, kHuge, kHuge}, high{-kHuge, -kHuge, -kHuge};
        float cell = 0.0f, side = 0.0f;
    };
    Vec3f lo, hi, low = {kHuge, kHuge, kHuge}, high = -low;
    float cell = reach;
    if (local) {
        const std::size_t vertexCount = mesh.vertices.size();
        std::vector<Extent> extents((vertexCount + kNearChunk - 1) / kNearChunk);
        ForEachChunk(vertexCount, kNearChunk, [&](std::size_t begin, std::size_t end) {
            Extent& e = extents[begin / kNearChunk];
            for (std::size_t v = begin; v < end; ++v) {
                const Vec3f& p = mesh.vertices[v].position;
                for (int a = 0; a < 3; ++a) e.low[a] = std::min(e.low[a], p[a]), e.high[a] = std::max(e.high[a], p[a]);
            }
        });
        for (const Extent& e : extents) {
            for (int a = 0; a < 3; ++a) low[a] = std::min(low[a], e.low[a]), high[a] = std::max(high[a], e.high[a]);
        }
        // Only the marked triangles' corners moved since the last call.
        for (const std::uint32_t t : marked) {
            boxOf(t, lo, hi);
            cell = std::max(cell, longestSide(lo, hi));
        }
        search.longestSide = std::max(search.longestSide, cell);
    } else {
        std::vector<Extent> extents((triangles + kNearChunk - 1) / kNearChunk);
        ForEachChunk(triangles, kNearChunk, [&](std::size_t begin, std::size_t end) {
            Extent& e = extents[begin / kNearChunk];
            Vec3f boxLow, boxHigh;
            for (std::size_t t = begin; t < end; ++t) {
                boxOf(t, boxLow, boxHigh);
                for (int a = 0; a < 3; ++a)
                    e.low[a] = std::min(e.low[a], boxLow[a]), e.high[a] = std::max(e.high[a], boxHigh[a]);
                const float side = longestSide(boxLow, boxHigh);
                e.side = std::max(e.side, side);
                if (mask[t]) e.cell = std::max(e.cell, side);
            }
        });
        for (const Extent& e : extents) {
            for (int a = 0; a < 3; ++a) low[a] = std::min(low[a], e.low[a]), high[a] = std::max(high[a], e.high[a]);
            cell = std::max(cell, e.cell);
            search.longestSide = std::max(search.longestSide, e.side);
        }
    }
    float step = std::max(cell, 1e-3f);
    std::int64_t size[3];
    for (;;) {
        double cells = 1.0;
        for (int a = 0; a < 3; ++a) {
            size[a] = static_cast<std::int64_t>((high[a] - low[a]) / step) + 1;
            cells *= static_cast<double>(size[a]);
        }
        if (cells <= static_cast<double>(kLargestGrid)) break;
        step *= static_cast<float>(std::cbrt(cells / static_cast<double>(kLargestGrid))) * 1.01f;
    }
    const auto cellCount = static_cast<std::size_t>(size[0] * size[1] * size[2]);
    search.cellBits.assign((cellCount + 63) / 64, 0);
    std::uint64_t* touched = search.cellBits.data();
    // Calls `visit` on each cell of the box; false stops it and is returned.
    auto cells = [&](const Vec3f& boxLow, const Vec3f& boxHigh, const auto& visit) {
        std::int64_t from[3], to[3];
        for (int a = 0; a < 3; ++a) {
            from[a] = std::clamp<std::int64_t>(static_cast<std::int64_t>((boxLow[a] - low[a]) / step), 0, size[a] - 1);
            to[a] = std::clamp<std::int64_t>(static_cast<std::int64_t>((boxHigh[a] - low[a]) / step), 0, size[a] - 1);
        }
        for (std::int64_t x = from[0]; x <= to[0]; ++x) {
            for (std::int64_t y = from[1]; y <= to[1]; ++y) {
                for (std::int64_t z = from[2]; z <= to[2]; ++z) {
                    if (!visit(static_cast<std::size_t>((x * size[1] + y) * size[2] + z))) return false;
                }
            }
        }
        return true;
    };
    const Vec3f widen = {reach, reach, reach};
    std::vector<std::size_t> touchedCells;
    for (const std::uint32_t t : marked) {
        boxOf(t, lo, hi);
        cells(lo - widen, hi + widen, [&](std::size_t c) {
            if (((touched[c / 64] >> (c % 64)) & 1u) == 0) touchedCells.push_back(c);
            touched[c / 64] |= std::uint64_t{1} << (c % 64);
            return true;
        });
    }
    auto isNear = [&](std::size_t t) {
        if (mask[t]) return true;
        Vec3f boxLow, boxHigh;
        boxOf(t, boxLow, boxHigh);
        return !cells(boxLow, boxHigh, [&](std::size_t c) { return ((touched[c / 64] >> (c % 64)) & 1u) == 0; });
    };
    std::vector<std::uint32_t> near;
    // A triangle that touches a touched cell has its corners within its
    // longest side of that cell: within `spread` cells, one more for rounding.
    const double spread = std::ceil(static_cast<double>(search.longestSide) / step) + 1.0;
    const double dilation = static_cast<double>(touchedCells.size()) * std::pow(2.0 * spread + 1.0, 3.0);
    if (local && dilation <= static_cast<double>(triangles)) {
        const auto r = static_cast<std::int64_t>(spread);
        std::vector<std::uint64_t>& around = search.aroundBits;
        around.assign(search.cellBits.size(), 0);
        for (const std::size_t c : touchedCells) {
            const auto z = static_cast<std::int64_t>(c) % size[2];
            const auto y = static_cast<std::int64_t>(c) / size[2] % size[1];
            const auto x = static_cast<std::int64_t>(c) / size[2] / size[1];
            for (std::int64_t i = std::max<std::int64_t>(x - r, 0); i <= std::min(x + r, size[0] - 1); ++i) {
                for (std::int64_t j = std::max<std::int64_t>(y - r, 0); j <= std::min(y + r, size[1] - 1); ++j) {
                    for (std::int64_t k = std::max<std::int64_t>(z - r, 0); k <= std::min(z + r, size[2] - 1); ++k) {
                        const auto d = static_cast<std::size_t>((i * size[1] + j) * size[2] + k);
                        around[d / 64] |= std::uint64_t{1} << (d % 64);
                    }
                }
            }
        }
        const std::size_t vertexCount = mesh.vertices.size();
        std::vector<std::vector<std::uint32_t>> inside((vertexCount + kNearChunk - 1) / kNearChunk);
        ForEachChunk(vertexCount, kNearChunk, [&](std::size_t begin, std::size_t end) {
            std::vector<std::uint32_t>& mine = inside[begin / kNearChunk];
            for (std::size_t v = begin; v < end; ++v) {
                const Vec3f& p = mesh.vertices[v].position;
                cells(p, p, [&](std::size_t c) {
                    if ((around[c / 64] >> (c % 64)) & 1u) mine.push_back(static_cast<std::uint32_t>(v));
                    return true;
                });
            }
        });
        const VertexFaceAdjacency& faces = *search.faces;
        for (const std::vector<std::uint32_t>& mine : inside) {
            for (const std::uint32_t v : mine) {
                near.insert(near.end(), faces.faces.begin() + faces.offsets[v],
                            faces.faces.begin() + faces.offsets[v + 1]);
            }
        }
        near.insert(near.end(), marked.begin(), marked.end());
        SortUnique(near);
        near.erase(std::remove_if(near.begin(), near.end(), [&](std::uint32_t t) { return !isNear(t); }), near.end());
        return near;
    }
    // Each chunk lists its own; joined in chunk order, ascending.
    std::vector<std::vector<std::uint32_t>> nearIn((triangles + kNearChunk - 1) / kNearChunk);
    ForEachChunk(triangles, kNearChunk, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t>& mine = nearIn[begin / kNearChunk];
        for (std::size_t t = begin; t < end; ++t) {
            if (isNear(t)) mine.push_back(static_cast<std::uint32_t>(t));
        }
    });
    for (const std::vector<std::uint32_t>& mine : nearIn) near.insert(near.end(), mine.begin(), mine.end());
    return near;
}

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
