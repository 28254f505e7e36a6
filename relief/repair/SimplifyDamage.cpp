// A result triangle is unchanged when its corners are its input triangle's,
// in order and at the same positions; every pair of unchanged triangles was a
// pair of the input, so the crossing search is masked to the changed ones,
// and only triangles with a corner on a changed one can have a new fold. The
// input is searched only around what was found, to excuse damage it brought.
#include "relief/repair/SimplifyDamage.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "mesh/ParallelChunks.h"
#include "relief/repair/FixBuildingBlocks.h"
#include "relief/validation/SelfIntersections.h"

namespace ridgeforge::mesh {
namespace {

std::vector<std::uint8_t> ChangedTriangles(const TriangleMesh& input, const TriangleMesh& result,
                                           const std::vector<std::uint32_t>& vertexMap,
                                           const std::vector<std::uint32_t>& faceMap) {
    std::vector<std::uint8_t> changed(result.TriangleCount(), 1);
    ForEachChunk(changed.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const std::size_t from = faceMap[t];
            bool same = from < input.TriangleCount();
            for (int k = 0; k < 3 && same; ++k) {
                const std::uint32_t v = result.indices[3 * t + k];
                const std::uint32_t w = vertexMap[v];
                same = w == input.indices[3 * from + k] && result.vertices[v].position == input.vertices[w].position;
            }
            changed[t] = same ? 0 : 1;
        }
    });
    return changed;
}

double MaxAbs(const Vec3d& p) { return std::max({std::abs(p.x), std::abs(p.y), std::abs(p.z)}); }

struct Box {
    Vec3d lo, hi;
};

std::int64_t Cell(double x, double origin, double size) {
    return static_cast<std::int64_t>(std::floor((x - origin) / size));
}

std::uint64_t CellKey(std::int64_t x, std::int64_t y, std::int64_t z) {
    const auto part = [](std::int64_t c) { return static_cast<std::uint64_t>(c) & 0x1FFFFFu; };
    return (part(x) << 42) | (part(y) << 21) | part(z);
}

Box BoxOf(const TriangleMesh& m, std::size_t t) {
    const Vec3d a = ToDouble(m.vertices[m.indices[3 * t]].position);
    Box box{a, a};
    for (int k = 1; k < 3; ++k) {
        const Vec3d p = ToDouble(m.vertices[m.indices[3 * t + k]].position);
        box.lo = Min(box.lo, p);
        box.hi = Max(box.hi, p);
    }
    return box;
}

bool Overlap(const Box& x, const Box& y) {
    return x.lo.x <= y.hi.x && y.lo.x <= x.hi.x && x.lo.y <= y.hi.y && y.lo.y <= x.hi.y && x.lo.z <= y.hi.z &&
           y.lo.z <= x.hi.z;
}

// Boxes filed in hash grids by size. A box goes to the level whose cells are
// the smallest power of four times the base cell (the median box size) that
// it fits in, so it lies in at most two cells along each axis of its level.
// One grid with cells as large as the largest box would put a flat area
// merged into a few large triangles in every cell, beside all the small
// boxes, and a query would then read them all.
class BoxGrid {
public:
    // Widened by a little more than nothing, so that corners lying on the
    // box count.
    void Add(Box box) {
        const double pad = 1e-6 * (1.0 + MaxAbs(box.lo) + MaxAbs(box.hi));
        box.lo = box.lo - Vec3d{pad, pad, pad};
        box.hi = box.hi + Vec3d{pad, pad, pad};
        lowest_ = Min(lowest_, box.lo);
        boxes_.push_back(box);
    }

    // Once every box is added.
    void File() {
        if (boxes_.empty()) return;
        std::vector<double> extents(boxes_.size());
        for (std::size_t b = 0; b < boxes_.size(); ++b) extents[b] = Extent(boxes_[b]);
        const auto middle = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() / 2);
        std::nth_element(extents.begin(), middle, extents.end());
        base_ = *middle;
        for (std::uint32_t b = 0; b < boxes_.size(); ++b) {
            const Box& box = boxes_[b];
            std::size_t level = 0;
            while (CellSize(level) < Extent(box)) ++level;
            if (level >= levels_.size()) levels_.resize(level + 1);
            const double cell = CellSize(level);
            for (std::int64_t x = Cell(box.lo.x, lowest_.x, cell); x <= Cell(box.hi.x, lowest_.x, cell); ++x)
                for (std::int64_t y = Cell(box.lo.y, lowest_.y, cell); y <= Cell(box.hi.y, lowest_.y, cell); ++y)
                    for (std::int64_t z = Cell(box.lo.z, lowest_.z, cell); z <= Cell(box.hi.z, lowest_.z, cell); ++z)
                        levels_[level][CellKey(x, y, z)].push_back(b);
        }
    }

    // Whether `found` holds for a box filed in a cell that `query` meets, or
    // the query meets more than 64 cells of some level (a triangle far
    // larger than those boxes is simply taken as near).
    template <typename Found>
    bool AnyNear(const Box& query, const Found& found) const {
        for (std::size_t level = 0; level < levels_.size(); ++level) {
            const auto& cells = levels_[level];
            if (cells.empty()) continue;
            const double cell = CellSize(level);
            const std::int64_t x0 = Cell(query.lo.x, lowest_.x, cell), x1 = Cell(query.hi.x, lowest_.x, cell);
            const std::int64_t y0 = Cell(query.lo.y, lowest_.y, cell), y1 = Cell(query.hi.y, lowest_.y, cell);
            const std::int64_t z0 = Cell(query.lo.z, lowest_.z, cell), z1 = Cell(query.hi.z, lowest_.z, cell);
            if ((x1 - x0 + 1) * (y1 - y0 + 1) * (z1 - z0 + 1) > 64) return true;
            for (std::int64_t x = x0; x <= x1; ++x)
                for (std::int64_t y = y0; y <= y1; ++y)
                    for (std::int64_t z = z0; z <= z1; ++z) {
                        const auto filed = cells.find(CellKey(x, y, z));
                        if (filed == cells.end()) continue;
                        for (const std::uint32_t b : filed->second) {
                            if (found(boxes_[b])) return true;
                        }
                    }
        }
        return false;
    }

private:
    static double Extent(const Box& box) {
        const Vec3d extent = box.hi - box.lo;
        return std::max({extent.x, extent.y, extent.z});
    }
    double CellSize(std::size_t level) const { return std::ldexp(base_, 2 * static_cast<int>(level)); }

    std::vector<Box> boxes_;
    Vec3d lowest_{1e300, 1e300, 1e300};
    double base_ = 0.0;
    std::vector<std::unordered_map<std::uint64_t, std::vector<std::uint32_t>>> levels_;
};

// The changed triangles and every triangle whose box meets one of theirs, as
// a mesh of their own (`from` maps its triangles back), when they are few
// enough for that to pay; otherwise false. A stop throws `Stopped`.
bool NearChanged(const TriangleMesh& result, const std::vector<std::uint8_t>& changed, TriangleMesh& sub,
                 std::vector<std::uint32_t>& from, CancelContext* cancel) {
    std::vector<std::uint32_t> moved;
    for (std::uint32_t t = 0; t < changed.size(); ++t) {
        if (changed[t]) moved.push_back(t);
    }
    if (moved.size() * 4 > changed.size()) return false;
    BoxGrid grid;
    for (const std::uint32_t t : moved) grid.Add(BoxOf(result, t));
    grid.File();
    ThrowIfStopped(cancel);
    std::vector<std::uint8_t> keep(changed.size(), 0);
    // Seconds on a part of millions of triangles with 2 processors.
    ForEachChunk(changed.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        for (std::size_t t = begin; t < end; ++t) {
            if (poll.Add(1)) return;
            const Box box = BoxOf(result, t);
            keep[t] = changed[t] || grid.AnyNear(box, [&box](const Box& other) { return Overlap(box, other); });
        }
    });
    if (StopSeen(cancel)) throw Stopped{};
    std::vector<std::uint32_t> index(result.vertices.size(), 0xFFFFFFFFu);
    for (std::uint32_t t = 0; t < keep.size(); ++t) {
        if (!keep[t]) continue;
        from.push_back(t);
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = result.indices[3 * std::size_t{t} + k];
            if (index[v] == 0xFFFFFFFFu) {
                index[v] = static_cast<std::uint32_t>(sub.vertices.size());
                sub.vertices.push_back(result.vertices[v]);
            }
            sub.indices.push_back(index[v]);
        }
    }
    sub.RecomputeBounds();
    return true;
}

// Every crossing pair of `m` with a marked triangle; a stop throws `Stopped`.
std::vector<std::uint32_t> Crossings(const TriangleMesh& m, const std::vector<std::uint8_t>& mask,
                                     CancelContext* cancel) {
    std::vector<std::uint32_t> hits;
    bool stoppedEarly = false;
    FindSelfIntersections(m, &mask, std::numeric_limits<std::uint64_t>::max(), hits, stoppedEarly, cancel);
    return hits;
}

// The crossing pairs of `m` with a marked triangle, searched among the
// marked triangles and their surroundings alone when they are few.
std::vector<std::uint32_t> MaskedCrossings(const TriangleMesh& m, const std::vector<std::uint8_t>& mask,
                                           CancelContext* cancel) {
    TriangleMesh sub;
    std::vector<std::uint32_t> from;
    if (!NearChanged(m, mask, sub, from, cancel)) return Crossings(m, mask, cancel);
    ThrowIfStopped(cancel);
    std::vector<std::uint8_t> subMask(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) subMask[i] = mask[from[i]];
    std::vector<std::uint32_t> hits = Crossings(sub, subMask, cancel);
    for (std::uint32_t& t : hits) t = from[t];
    return hits;
}

// The result's crossing pairs with a changed triangle whose input triangles
// did not cross each other, both triangles of each.
void NewCrossings(const TriangleMesh& input, const TriangleMesh& result, const std::vector<std::uint32_t>& faceMap,
                  const std::vector<std::uint8_t>& changed, CancelContext* cancel,
                  std::vector<std::uint32_t>& damaged) {
    // Every pair of unchanged triangles was a pair of the input: the search
    // needs only the changed ones and what lies near them.
    const std::vector<std::uint32_t> hits = MaskedCrossings(result, changed, cancel);
    if (hits.empty()) return;
    std::vector<std::uint8_t> near(input.TriangleCount(), 0);
    for (const std::uint32_t t : hits) near[faceMap[t]] = 1;
    const std::vector<std::uint32_t> before = MaskedCrossings(input, near, cancel);
    std::vector<std::uint64_t> pairs;
    for (std::size_t i = 0; i + 1 < before.size(); i += 2) pairs.push_back(EdgeKey(before[i], before[i + 1]));
    std::sort(pairs.begin(), pairs.end());
    for (std::size_t i = 0; i + 1 < hits.size(); i += 2) {
        if (std::binary_search(pairs.begin(), pairs.end(), EdgeKey(faceMap[hits[i]], faceMap[hits[i + 1]]))) continue;
        damaged.push_back(hits[i]);
        damaged.push_back(hits[i + 1]);
    }
}

// The triangles around the wanted vertices only, in the adjacency's layout:
// the fold test of some triangles without an adjacency of the whole mesh.
VertexAdjacency PartialAdjacency(const TriangleMesh& input, const std::vector<std::uint8_t>& wanted) {
    VertexAdjacency adjacency;
    adjacency.vertexTriangleOffsets.assign(input.vertices.size() + 1, 0);
    const std::size_t triangles = input.TriangleCount();
    for (std::size_t t = 0; t < triangles; ++t) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = input.indices[3 * t + k];
            if (wanted[v]) ++adjacency.vertexTriangleOffsets[v + 1];
        }
    }
    for (std::size_t v = 0; v < input.vertices.size(); ++v)
        adjacency.vertexTriangleOffsets[v + 1] += adjacency.vertexTriangleOffsets[v];
    adjacency.vertexTriangles.resize(adjacency.vertexTriangleOffsets.back());
    std::vector<std::uint32_t> cursor(adjacency.vertexTriangleOffsets.begin(),
                                      adjacency.vertexTriangleOffsets.end() - 1);
    for (std::size_t t = 0; t < triangles; ++t) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = input.indices[3 * t + k];
            if (wanted[v]) adjacency.vertexTriangles[cursor[v]++] = static_cast<std::uint32_t>(t);
        }
    }
    return adjacency;
}

void NewFolds(const TriangleMesh& input, const TriangleMesh& result, const std::vector<std::uint32_t>& faceMap,
              const std::vector<std::uint8_t>& changed, std::vector<std::uint32_t>& damaged) {
    std::vector<std::uint8_t> touched(result.vertices.size(), 0);
    for (std::size_t t = 0; t < changed.size(); ++t) {
        if (!changed[t]) continue;
        for (int k = 0; k < 3; ++k) touched[result.indices[3 * t + k]] = 1;
    }
    // The triangles that may fold, and the corners their test reads around.
    std::vector<std::uint8_t> near(changed.size(), 0), wanted(result.vertices.size(), 0);
    ForEachChunk(changed.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            near[t] = touched[result.indices[3 * t]] || touched[result.indices[3 * t + 1]] ||
                      touched[result.indices[3 * t + 2]];
        }
    });
    for (std::size_t t = 0; t < changed.size(); ++t) {
        if (!near[t]) continue;
        for (int k = 0; k < 3; ++k) wanted[result.indices[3 * t + k]] = 1;
    }
    const VertexAdjacency adjacency = PartialAdjacency(result, wanted);
    const std::vector<Vec3d> sums = CornerNormalSums(result, adjacency);
    std::vector<std::uint32_t> folded;
    std::mutex guard;
    ForEachChunk(changed.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t> here;
        for (std::size_t t = begin; t < end; ++t) {
            if (near[t] && IsFoldedTriangle(result, sums, static_cast<std::uint32_t>(t)))
                here.push_back(static_cast<std::uint32_t>(t));
        }
        const std::lock_guard<std::mutex> lock(guard);
        folded.insert(folded.end(), here.begin(), here.end());
    });
    if (folded.empty()) return;
    std::vector<std::uint8_t> around(input.vertices.size(), 0);
    for (const std::uint32_t t : folded) {
        for (int k = 0; k < 3; ++k) around[input.indices[3 * std::size_t{faceMap[t]} + k]] = 1;
    }
    const VertexAdjacency before = PartialAdjacency(input, around);
    for (const std::uint32_t t : folded) {
        if (!IsFoldedTriangle(input, before, faceMap[t])) damaged.push_back(t);
    }
}

}  // namespace

std::vector<std::uint32_t> FindSimplifyDamage(const TriangleMesh& input, const TriangleMesh& result,
                                              const std::vector<std::uint32_t>& vertexMap,
                                              const std::vector<std::uint32_t>& faceMap, CancelContext* cancel) {
    std::vector<std::uint32_t> damaged;
    if (!IsValidMesh(input) || !IsValidMesh(result) || vertexMap.size() != result.vertices.size() ||
        faceMap.size() != result.TriangleCount()) {
        return damaged;
    }
    for (const std::uint32_t v : vertexMap) {
        if (v >= input.vertices.size()) return damaged;
    }
    const std::vector<std::uint8_t> changed = ChangedTriangles(input, result, vertexMap, faceMap);
    if (std::find(changed.begin(), changed.end(), 1) == changed.end()) return damaged;
    // The pass that made the result has just spent a while building it.
    ThrowIfStopped(cancel);
    NewCrossings(input, result, faceMap, changed, cancel, damaged);
    ThrowIfStopped(cancel);
    NewFolds(input, result, faceMap, changed, damaged);
    std::sort(damaged.begin(), damaged.end());
    damaged.erase(std::unique(damaged.begin(), damaged.end()), damaged.end());
    return damaged;
}

std::vector<std::uint8_t> HoldAroundDamage(const TriangleMesh& input, const TriangleMesh& result,
                                           const std::vector<std::uint32_t>& damaged, bool aroundCorners) {
    std::vector<std::uint8_t> held(input.TriangleCount(), 0);
    if (damaged.empty() || !IsValidMesh(result)) return held;
    VertexAdjacency adjacency;
    if (aroundCorners) adjacency = BuildVertexAdjacency(result);
    BoxGrid grid;
    const auto corner = [&](std::size_t t, int k) {
        return ToDouble(result.vertices[result.indices[3 * t + k]].position);
    };
    for (const std::uint32_t t : damaged) {
        Box box{corner(t, 0), corner(t, 0)};
        for (int k = 0; k < 3; ++k) {
            box.lo = Min(box.lo, corner(t, k));
            box.hi = Max(box.hi, corner(t, k));
            if (!aroundCorners) continue;
            const std::uint32_t v = result.indices[3 * std::size_t{t} + k];
            for (std::uint32_t i = adjacency.vertexTriangleOffsets[v]; i < adjacency.vertexTriangleOffsets[v + 1];
                 ++i) {
                for (int j = 0; j < 3; ++j) {
                    box.lo = Min(box.lo, corner(adjacency.vertexTriangles[i], j));
                    box.hi = Max(box.hi, corner(adjacency.vertexTriangles[i], j));
                }
            }
        }
        grid.Add(box);
    }
    grid.File();
    const auto inside = [&grid](const Vec3d& p) {
        return grid.AnyNear({p, p}, [&p](const Box& box) {
            return p.x >= box.lo.x && p.y >= box.lo.y && p.z >= box.lo.z && p.x <= box.hi.x && p.y <= box.hi.y &&
                   p.z <= box.hi.z;
        });
    };
    ForEachChunk(held.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            for (int k = 0; k < 3 && !held[t]; ++k) {
                held[t] = inside(ToDouble(input.vertices[input.indices[3 * t + k]].position)) ? 1 : 0;
            }
        }
    });
    return held;
}

}  // namespace ridgeforge::mesh
