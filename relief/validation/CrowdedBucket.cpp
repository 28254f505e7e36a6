// The pairs of a crowded cell: hub groups, arcs of directions about each hub,
// and a grid in the triangles' own frame for the rest.
//
// Two triangles that share only their corner v meet anywhere else exactly
// when some direction from v points into both: a point p != v common to both
// gives the direction p - v, and a direction into both reaches, from v, a
// stretch of each. The directions into the triangle v, a, b are the great-
// circle arc from (a - v) / |a - v| to (b - v) / |b - v|; those into a
// triangle off v, the spherical triangle of its corners' directions. Their
// boxes are exact up to a slack far above the rounding: an arc's box is its
// ends and each axis's extreme on its circle where that falls within it.
#include "relief/validation/internal/CrowdedBucket.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <tuple>

#include "mesh/ParallelChunks.h"
#include "mesh/ScratchAllocator.h"
#include "relief/validation/internal/MainDirection.h"

namespace ridgeforge::mesh {
namespace {

// Slack on the boxes of directions: far above the rounding of a few double
// operations on unit vectors; more would only hand on more pairs.
constexpr double kArcSlack = 1e-9;
// The grid across groups: at most kLocalSide cells along an axis at its
// finest level, each further level 4 times coarser along each axis; a
// triangle sits at the finest level where its box covers at most
// kLocalCellsPerTriangle cells, and one too large for every level is paired
// with every triangle of the cell.
constexpr std::int64_t kLocalSide = 1024;
constexpr int kLocalLevels = 5;
constexpr std::int64_t kLocalCellsPerTriangle = 64;
// Triangles a parallel chunk meets a large group with: each costs a few arc
// boxes and a tree query.
constexpr std::size_t kOthersChunk = 1024;

struct Box {
    Vec3d low, high;
};

bool Overlap(const Box& a, const Box& b) {
    for (int axis = 0; axis < 3; ++axis) {
        if (a.low[axis] > b.high[axis] || b.low[axis] > a.high[axis]) return false;
    }
    return true;
}

// The axis along which the boxes' centres spread furthest.
int WidestAxis(const ScratchVector<Box>& boxes) {
    Vec3d low{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
              std::numeric_limits<double>::max()};
    Vec3d high{-low.x, -low.y, -low.z};
    for (const Box& b : boxes) {
        for (int axis = 0; axis < 3; ++axis) {
            const double centre = 0.5 * (b.low[axis] + b.high[axis]);
            low[axis] = std::min(low[axis], centre);
            high[axis] = std::max(high[axis], centre);
        }
    }
    const Vec3d spread = high - low;
    return spread.x >= spread.y && spread.x >= spread.z ? 0 : (spread.y >= spread.z ? 1 : 2);
}

// Every overlapping pair of boxes once (i < j as positions after sorting),
// by sorting on the widest axis and scanning forward while the next box
// still starts before the current one ends. Stops when visit returns false.
template <typename Visit>
bool SweepOverlaps(const ScratchVector<Box>& boxes, const Visit& visit) {
    const int axis = WidestAxis(boxes);
    ScratchVector<std::uint32_t> order(boxes.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t p, std::uint32_t q) { return boxes[p].low[axis] < boxes[q].low[axis]; });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Box& a = boxes[order[i]];
        for (std::size_t j = i + 1; j < order.size() && boxes[order[j]].low[axis] <= a.high[axis]; ++j) {
            if (Overlap(a, boxes[order[j]]) && !visit(order[i], order[j])) return false;
        }
    }
    return true;
}

// The box of the shorter great-circle arc from unit a to unit b: the ends,
// and each axis's extreme on the arc's circle where it falls within the arc.
// With n = a x b, the extreme towards +axis is the unit m along the axis less
// its part along n, whose component there is sqrt(1 - n_axis^2 / |n|^2); it
// lies within the arc when (a x m) . n = m . (n x a) and (m x b) . n =
// m . (b x n) are both at least 0, and as m is the axis less a multiple of n,
// which both n x a and b x n are square to, those are the axis's components
// of n x a and b x n (the opposite extreme: both at most 0).
Box GreatArcBox(const Vec3d& a, const Vec3d& b) {
    Box box{Vec3d{std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)},
            Vec3d{std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)}};
    const Vec3d n = Cross(a, b);
    const double n2 = LengthSquared(n);
    if (n2 > 1e-300) {
        const Vec3d fromA = Cross(n, a), toB = Cross(b, n);
        for (int axis = 0; axis < 3; ++axis) {
            const double q = 1.0 - n[axis] * n[axis] / n2;
            if (!(q > 0.0)) continue;
            const double extreme = std::sqrt(q);
            if (fromA[axis] >= 0.0 && toB[axis] >= 0.0) box.high[axis] = std::max(box.high[axis], extreme);
            if (fromA[axis] <= 0.0 && toB[axis] <= 0.0) box.low[axis] = std::min(box.low[axis], -extreme);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        box.low[axis] -= kArcSlack;
        box.high[axis] += kArcSlack;
    }
    return box;
}

// The box of the spherical triangle of unit u0, u1, u2: its three arcs, and
// each axis's end of the sphere that lies within it. False when the three
// lie on one great circle, where they span no triangle.
bool SphericalTriangleBox(const Vec3d (&u)[3], Box& box) {
    const double turn = Dot(Cross(u[0], u[1]), u[2]);
    if (!(std::fabs(turn) > 1e-12)) return false;
    box = GreatArcBox(u[0], u[1]);
    for (const Box& edge : {GreatArcBox(u[1], u[2]), GreatArcBox(u[2], u[0])}) {
        for (int axis = 0; axis < 3; ++axis) {
            box.low[axis] = std::min(box.low[axis], edge.low[axis]);
            box.high[axis] = std::max(box.high[axis], edge.high[axis]);
        }
    }
    const double side = turn > 0.0 ? 1.0 : -1.0;
    for (int axis = 0; axis < 3; ++axis) {
        for (double sense : {-1.0, 1.0}) {
            Vec3d e{};
            e[axis] = sense;
            bool inside = true;
            for (int k = 0; k < 3; ++k) inside = inside && Dot(Cross(u[k], u[(k + 1) % 3]), e) * side >= -1e-9;
            if (inside) (sense < 0.0 ? box.low[axis] : box.high[axis]) = sense;
        }
    }
    return true;
}

// A bounding-volume tree over boxes (median splits on the widest axis of
// their centres, leaves of a few), for many queries by box.
class BoxTree {
public:
    explicit BoxTree(const ScratchVector<Box>& boxes) : boxes_(boxes), order_(boxes.size()) {
        for (std::uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
        if (!order_.empty()) Build(0, order_.size());
    }

    // visit(i) for every box i overlapping `query`; false from visit stops.
    template <typename Visit>
    bool Query(const Box& query, const Visit& visit) const {
        if (nodes_.empty()) return true;
        ScratchVector<std::uint32_t> stack{0};
        while (!stack.empty()) {
            const Node& node = nodes_[stack.back()];
            stack.pop_back();
            if (!Overlap(node.box, query)) continue;
            if (node.leaf) {
                for (std::size_t k = node.begin; k < node.end; ++k) {
                    if (Overlap(boxes_[order_[k]], query) && !visit(order_[k])) return false;
                }
            } else {
                stack.push_back(node.left);
                stack.push_back(node.right);
            }
        }
        return true;
    }

private:
    struct Node {
        Box box;
        bool leaf = false;
        std::size_t begin = 0, end = 0;
        std::uint32_t left = 0, right = 0;
    };

    std::uint32_t Build(std::size_t begin, std::size_t end) {
        const auto at = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
        Box box = boxes_[order_[begin]];
        for (std::size_t k = begin + 1; k < end; ++k) {
            for (int axis = 0; axis < 3; ++axis) {
                box.low[axis] = std::min(box.low[axis], boxes_[order_[k]].low[axis]);
                box.high[axis] = std::max(box.high[axis], boxes_[order_[k]].high[axis]);
            }
        }
        nodes_[at].box = box;
        if (end - begin <= 4) {
            nodes_[at].leaf = true;
            nodes_[at].begin = begin;
            nodes_[at].end = end;
            return at;
        }
        const Vec3d spread = box.high - box.low;
        const int axis = spread.x >= spread.y && spread.x >= spread.z ? 0 : (spread.y >= spread.z ? 1 : 2);
        const std::size_t middle = begin + (end - begin) / 2;
        std::nth_element(
            order_.begin() + static_cast<std::ptrdiff_t>(begin), order_.begin() + static_cast<std::ptrdiff_t>(middle),
            order_.begin() + static_cast<std::ptrdiff_t>(end), [&](std::uint32_t p, std::uint32_t q) {
                return boxes_[p].low[axis] + boxes_[p].high[axis] < boxes_[q].low[axis] + boxes_[q].high[axis];
            });
        const std::uint32_t left = Build(begin, middle);
        const std::uint32_t right = Build(middle, end);
        nodes_[at].left = left;
        nodes_[at].right = right;
        return at;
    }

    const ScratchVector<Box>& boxes_;
    ScratchVector<std::uint32_t> order_;
    ScratchVector<Node> nodes_;
};

class CrowdedCell {
public:
    CrowdedCell(const TriangleMesh& mesh, std::span<const TriangleRecord> records, const std::uint32_t* triangles,
                std::size_t count, const CrowdedPairVisit& visit, std::vector<std::uint32_t>& found)
        : mesh_(mesh), records_(records), triangles_(triangles, triangles + count), visit_(visit), found_(found) {}

    void Run() {
        FindHubs();
        // Groups: runs of one hub, within them runs of one corner set.
        ScratchVector<std::uint32_t> order(triangles_.size());
        for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::uint32_t p, std::uint32_t q) {
            return std::tie(hub_[p], corners_[p], triangles_[p]) < std::tie(hub_[q], corners_[q], triangles_[q]);
        });
        group_.assign(triangles_.size(), 0);
        inFan_.assign(triangles_.size(), 0);
        ScratchVector<std::pair<std::size_t, std::size_t>> fans;
        std::uint32_t groups = 0;
        for (std::size_t begin = 0; begin < order.size();) {
            std::size_t end = begin + 1;
            while (end < order.size() && hub_[order[end]] == hub_[order[begin]]) ++end;
            for (std::size_t k = begin; k < end; ++k) group_[order[k]] = groups;
            ++groups;
            if (!WithinGroup(order.data() + begin, end - begin)) return;
            if (end - begin > kCrowdedCell) {
                fans.emplace_back(begin, end);
                for (std::size_t k = begin; k < end; ++k) inFan_[order[k]] = 1;
            }
            begin = end;
        }
        if (groups < 2) return;
        // A large group meets the triangles of the others through the
        // directions from its hub; the rest meet in the grid.
        for (const auto& [begin, end] : fans) {
            if (!FanAgainstOthers(order.data() + begin, end - begin)) return;
        }
        AcrossGroups();
    }

private:
    // Each triangle's hub: of its corners, the one the most triangles of
    // the cell share (the lowest index among equals).
    void FindHubs() {
        const std::size_t n = triangles_.size();
        corners_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            std::array<std::uint32_t, 3> c;
            for (int k = 0; k < 3; ++k) c[k] = mesh_.indices[3 * std::size_t{triangles_[i]} + k];
            std::sort(c.begin(), c.end());
            corners_[i] = c;
        }
        const ScratchVector<std::uint32_t> sharing = Sharing();
        hub_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            int best = 0;
            for (int k = 1; k < 3; ++k) {
                if (sharing[3 * i + k] > sharing[3 * i + best]) best = k;
            }
            hub_[i] = corners_[i][best];
        }
    }

    // For each corner (place 3 x position + k), how many corners of the
    // cell have its index. Counted in an array over the mesh's vertices when
    // that is not much longer than the cell's corners (the cell of a fan's
    // hub can hold most of a part); otherwise the corners are sorted once
    // with their places, and each learns its sharing from its run.
    ScratchVector<std::uint32_t> Sharing() const {
        const std::size_t places = 3 * corners_.size();
        ScratchVector<std::uint32_t> sharing(places);
        constexpr std::size_t kCountingShare = 8;
        if (mesh_.vertices.size() <= kCountingShare * places) {
            ScratchVector<std::uint32_t> count(mesh_.vertices.size(), 0);
            for (const auto& c : corners_)
                for (const std::uint32_t v : c) ++count[v];
            for (std::size_t p = 0; p < places; ++p) sharing[p] = count[corners_[p / 3][p % 3]];
            return sharing;
        }
        ScratchVector<std::uint64_t> sorted(places);  // corner index, then place
        for (std::size_t p = 0; p < places; ++p) sorted[p] = std::uint64_t{corners_[p / 3][p % 3]} << 32 | p;
        std::sort(sorted.begin(), sorted.end());
        for (std::size_t begin = 0; begin < places;) {
            std::size_t end = begin + 1;
            while (end < places && sorted[end] >> 32 == sorted[begin] >> 32) ++end;
            for (std::size_t k = begin; k < end; ++k)
                sharing[sorted[k] & 0xffffffffu] = static_cast<std::uint32_t>(end - begin);
            begin = end;
        }
        return sharing;
    }

    bool Visit(std::uint32_t p, std::uint32_t q) const { return Visit(p, q, found_); }
    bool Visit(std::uint32_t p, std::uint32_t q, std::vector<std::uint32_t>& found) const {
        const std::uint32_t a = triangles_[p], b = triangles_[q];
        return a < b ? visit_(a, b, found) : visit_(b, a, found);
    }

    // The arc of directions from the hub into a triangle, as a box; false
    // when the triangle gives no clean arc there (the hub repeated or off
    // its corners, a corner on the hub, or the far corners on opposite
    // sides of it), so that it must be paired with every other.
    bool ArcBox(std::uint32_t position, Box& box) const {
        const std::uint32_t t = triangles_[position];
        const std::uint32_t* idx = &mesh_.indices[3 * std::size_t{t}];
        int at = -1, seen = 0;
        for (int k = 0; k < 3; ++k) {
            if (idx[k] == hub_[position]) {
                at = k;
                ++seen;
            }
        }
        if (seen != 1) return false;
        const TriangleRecord& r = records_[t];
        const Vec3d v = ToDouble(r.corners[at]);
        const Vec3d toA = ToDouble(r.corners[(at + 1) % 3]) - v;
        const Vec3d toB = ToDouble(r.corners[(at + 2) % 3]) - v;
        const double la = Length(toA), lb = Length(toB);
        if (!(la > 0.0) || !(lb > 0.0) || !std::isfinite(la) || !std::isfinite(lb)) return false;
        const Vec3d ua = toA * (1.0 / la), ub = toB * (1.0 / lb);
        // Opposite directions span no single arc.
        if (!(Length(ua + ub) > 1e-6)) return false;
        box = GreatArcBox(ua, ub);
        return true;
    }

    // Where each run of one corner set starts among a group's members, and
    // where the last ends.
    ScratchVector<std::size_t> ClassStarts(const std::uint32_t* members, std::size_t count) const {
        ScratchVector<std::size_t> classStart;
        for (std::size_t k = 0; k < count; ++k) {
            if (k == 0 || corners_[members[k]] != corners_[members[k - 1]]) classStart.push_back(k);
        }
        classStart.push_back(count);
        return classStart;
    }

    bool WithinGroup(const std::uint32_t* members, std::size_t count) {
        if (count < 2) return true;
        const ScratchVector<std::size_t> classStart = ClassStarts(members, count);
        const std::size_t classes = classStart.size() - 1;
        const auto pairClasses = [&](std::size_t c, std::size_t d) {
            for (std::size_t i = classStart[c]; i < classStart[c + 1]; ++i) {
                for (std::size_t j = classStart[d]; j < classStart[d + 1]; ++j) {
                    if (!Visit(members[i], members[j])) return false;
                }
            }
            return true;
        };
        ScratchVector<Box> arcs;
        ScratchVector<std::size_t> arcClass, wild;
        for (std::size_t c = 0; c < classes; ++c) {
            Box box;
            if (ArcBox(members[classStart[c]], box)) {
                arcs.push_back(box);
                arcClass.push_back(c);
            } else {
                wild.push_back(c);
            }
        }
        for (std::size_t w = 0; w < wild.size(); ++w) {
            for (std::size_t c = 0; c < classes; ++c) {
                // Each wild class meets every clean one, and each later wild one.
                const bool isWild = std::binary_search(wild.begin(), wild.end(), c);
                if (c == wild[w] || (isWild && c < wild[w])) continue;
                if (!pairClasses(wild[w], c)) return false;
            }
        }
        return SweepOverlaps(arcs,
                             [&](std::uint32_t p, std::uint32_t q) { return pairClasses(arcClass[p], arcClass[q]); });
    }

    // The directions from the hub into a triangle off it, as a box: the
    // corners' directions, widened by how far the spherical triangle they
    // span bulges past their flat one (one less the flat one's distance from
    // the centre). False when a corner lies on the hub.
    bool DirectionBox(const Vec3d& hub, std::uint32_t position, Box& box) const {
        const TriangleRecord& r = records_[triangles_[position]];
        Vec3d u[3];
        for (int k = 0; k < 3; ++k) {
            const Vec3d d = ToDouble(r.corners[k]) - hub;
            const double l = Length(d);
            if (!(l > 0.0) || !std::isfinite(l)) return false;
            u[k] = d * (1.0 / l);
        }
        return SphericalTriangleBox(u, box);
    }

    // A large group (positions `members`, in corner-set order) against every
    // triangle of another group that is small or comes later: a triangle
    // meets a member beyond the hub only where the member's arc of
    // directions enters the triangle's directions from the hub. The arcs sit
    // in a grid over the cube around the unit sphere; each pair is handed on
    // from the grid cell of the larger of its two box minima.
    bool FanAgainstOthers(const std::uint32_t* members, std::size_t count) {
        const std::uint32_t fanGroup = group_[members[0]];
        const ScratchVector<std::size_t> classStart = ClassStarts(members, count);
        const std::size_t classes = classStart.size() - 1;
        const std::uint32_t first = triangles_[members[0]];
        int at = 0;
        for (int k = 0; k < 3; ++k) {
            if (mesh_.indices[3 * std::size_t{first} + k] == hub_[members[0]]) at = k;
        }
        const Vec3d hub = ToDouble(records_[first].corners[at]);
        ScratchVector<std::size_t> everywhere, treeClass;
        ScratchVector<Box> treeBoxes;
        for (std::size_t c = 0; c < classes; ++c) {
            Box box;
            if (!ArcBox(members[classStart[c]], box)) {
                everywhere.push_back(c);
            } else {
                treeBoxes.push_back(box);
                treeClass.push_back(c);
            }
        }
        const BoxTree tree(treeBoxes);
        // The other triangles are independent of each other: they go in
        // parallel chunks, each with its own list of what it found.
        std::atomic<bool> going{true};
        ForEachChunk(triangles_.size(), kOthersChunk, [&](std::size_t begin, std::size_t end) {
            std::vector<std::uint32_t> found;
            const auto pairClass = [&](std::size_t c, std::uint32_t q) {
                for (std::size_t i = classStart[c]; i < classStart[c + 1]; ++i) {
                    if (!Visit(members[i], q, found)) return false;
                }
                return true;
            };
            const auto meet = [&](std::uint32_t q) {
                // Classes without a clean arc, and every class for a triangle
                // whose directions span no clean triangle, meet it.
                for (std::size_t c : everywhere) {
                    if (!pairClass(c, q)) return false;
                }
                Box seen;
                if (!DirectionBox(hub, q, seen)) {
                    for (std::size_t c : treeClass) {
                        if (!pairClass(c, q)) return false;
                    }
                    return true;
                }
                return tree.Query(seen, [&](std::uint32_t i) { return pairClass(treeClass[i], q); });
            };
            for (auto q = static_cast<std::uint32_t>(begin); q < end && going.load(std::memory_order_relaxed); ++q) {
                if (group_[q] == fanGroup || (inFan_[q] != 0 && group_[q] < fanGroup)) continue;
                if (!meet(q)) going.store(false, std::memory_order_relaxed);
            }
            Hand(found);
        });
        return going.load();
    }

    // A chunk's findings added to the caller's list.
    void Hand(const std::vector<std::uint32_t>& found) {
        if (found.empty()) return;
        const std::lock_guard<std::mutex> lock(foundGuard_);
        found_.insert(found_.end(), found.begin(), found.end());
    }

    // Pairs across groups, from a small multi-level grid over the cell's
    // boxes taken in a frame along the triangles' main direction (a rod
    // lying across the axes has long triangles whose axis-aligned boxes all
    // overlap, but not in its own frame). Each triangle sits at the finest
    // level where its box covers at most kLocalCellsPerTriangle cells; a pair
    // of one level is handed on from the cell of the larger of its box
    // minima, a pair of two levels from that cell at the coarser one,
    // found from the finer triangle's side.
    void AcrossGroups() {
        const std::size_t n = triangles_.size();
        // The grid follows the triangles it holds: those of no large group.
        // A cell of fans alone (a cone's) holds none, and needs no boxes.
        ScratchVector<std::uint32_t> held;
        for (std::uint32_t p = 0; p < n; ++p) {
            if (inFan_[p] == 0) held.push_back(p);
        }
        if (held.size() < 2) return;
        FrameBoxes();
        Vec3d low = boxes_[held[0]].low, high = boxes_[held[0]].high, median{};
        for (std::uint32_t p : held) {
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], boxes_[p].low[axis]);
                high[axis] = std::max(high[axis], boxes_[p].high[axis]);
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            ScratchVector<double> extents;
            for (std::uint32_t p : held) extents.push_back(boxes_[p].high[axis] - boxes_[p].low[axis]);
            const auto middle = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() / 2);
            std::nth_element(extents.begin(), middle, extents.end());
            median[axis] = *middle;
        }
        for (int axis = 0; axis < 3; ++axis) {
            const double span = high[axis] - low[axis];
            origin_[axis] = low[axis];
            cell_[axis] = std::max({median[axis], span / kLocalSide, 1e-300});
            side_[axis] = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::ceil(span / cell_[axis])), 1,
                                                   static_cast<std::int64_t>(kLocalSide));
        }
        levels_.assign(n, 0);
        ScratchVector<std::uint32_t> large;
        for (std::uint32_t p = 0; p < n; ++p) {
            if (inFan_[p] != 0) {
                levels_[p] = kLocalLevels + 1;  // met through its hub
                continue;
            }
            int L = 0;
            while (L < kLocalLevels && CellsCovered(p, L) > kLocalCellsPerTriangle) ++L;
            levels_[p] = static_cast<std::uint8_t>(L);
            if (L == kLocalLevels) large.push_back(p);
        }
        if (!LargePairs(large)) return;
        ScratchVector<ScratchVector<Entry>> entries(kLocalLevels);
        for (std::uint32_t p = 0; p < n; ++p) {
            if (levels_[p] >= kLocalLevels) continue;
            const int L = levels_[p];
            const Range r = RangeAt(p, L);
            for (std::int64_t z = r.lo[2]; z <= r.hi[2]; ++z)
                for (std::int64_t y = r.lo[1]; y <= r.hi[1]; ++y)
                    for (std::int64_t x = r.lo[0]; x <= r.hi[0]; ++x) entries[L].push_back({Key(x, y, z), p});
        }
        for (auto& level : entries) {
            std::sort(level.begin(), level.end(), [&](const Entry& a, const Entry& b) {
                return std::tie(a.cell, group_[a.position], a.position) <
                       std::tie(b.cell, group_[b.position], b.position);
            });
        }
        for (int L = 0; L < kLocalLevels; ++L) {
            if (!PairsWithinLevel(entries[L], L)) return;
        }
        for (std::uint32_t p = 0; p < n; ++p) {
            for (int L = levels_[p] + 1; L < kLocalLevels; ++L) {  // none for the large and the fans
                if (!entries[L].empty() && !PairsWithCoarser(p, L, entries[L])) return;
            }
        }
    }

    struct Range {
        std::int64_t lo[3], hi[3];
    };
    struct Entry {
        std::int64_t cell;
        std::uint32_t position;
    };

    // The boxes of the triangles of no large group in a frame whose first
    // axis is the main direction of their longest edges, widened for the
    // rounding of the turn.
    void FrameBoxes() {
        MainDirection main;
        for (std::size_t p = 0; p < triangles_.size(); ++p) {
            if (inFan_[p] == 0) main.AddLongestEdge(records_[triangles_[p]].corners);
        }
        Vec3d axes[3];
        main.Frame(axes);
        boxes_.resize(triangles_.size());
        for (std::size_t p = 0; p < triangles_.size(); ++p) {
            if (inFan_[p] == 0) FrameBox(records_[triangles_[p]].corners, axes, boxes_[p].low, boxes_[p].high);
        }
    }

    std::int64_t CellAt(double value, int axis, int level) const {
        const double size = cell_[axis] * static_cast<double>(std::int64_t{1} << (2 * level));
        const std::int64_t count = (side_[axis] + (std::int64_t{1} << (2 * level)) - 1) >> (2 * level);
        const double c = std::floor((value - origin_[axis]) / size);
        return static_cast<std::int64_t>(std::clamp(c, 0.0, static_cast<double>(count - 1)));
    }

    Range RangeAt(std::uint32_t p, int level) const {
        Range r;
        for (int axis = 0; axis < 3; ++axis) {
            r.lo[axis] = CellAt(boxes_[p].low[axis], axis, level);
            r.hi[axis] = CellAt(boxes_[p].high[axis], axis, level);
        }
        return r;
    }

    std::int64_t CellsCovered(std::uint32_t p, int level) const {
        const Range r = RangeAt(p, level);
        return (r.hi[0] - r.lo[0] + 1) * (r.hi[1] - r.lo[1] + 1) * (r.hi[2] - r.lo[2] + 1);
    }

    static std::int64_t Key(std::int64_t x, std::int64_t y, std::int64_t z) {
        return (z * kLocalSide + y) * kLocalSide + x;
    }

    // The cell at `level` that holds the larger of two boxes' minima.
    std::int64_t Owner(std::uint32_t p, std::uint32_t q, int level) const {
        std::int64_t at[3];
        for (int axis = 0; axis < 3; ++axis) {
            at[axis] = std::max(CellAt(boxes_[p].low[axis], axis, level), CellAt(boxes_[q].low[axis], axis, level));
        }
        return Key(at[0], at[1], at[2]);
    }

    // The triangles too large for every level meet every other triangle of
    // another group once.
    bool LargePairs(const ScratchVector<std::uint32_t>& large) const {
        for (std::uint32_t p : large) {
            for (std::uint32_t q = 0; q < triangles_.size(); ++q) {
                if (group_[p] == group_[q] || inFan_[q] != 0 || (levels_[q] == kLocalLevels && q <= p)) continue;
                if (Overlap(boxes_[p], boxes_[q]) && !Visit(p, q)) return false;
            }
        }
        return true;
    }

    bool PairsWithinLevel(const ScratchVector<Entry>& entries, int level) const {
        ScratchVector<std::size_t> groupEnd;
        for (std::size_t begin = 0; begin < entries.size();) {
            std::size_t end = begin + 1;
            while (end < entries.size() && entries[end].cell == entries[begin].cell) ++end;
            // Where each entry's group ends within the cell, so that a crowd
            // of one group costs nothing.
            groupEnd.resize(end - begin);
            for (std::size_t i = end; i-- > begin;) {
                const bool last = i + 1 == end || group_[entries[i + 1].position] != group_[entries[i].position];
                groupEnd[i - begin] = last ? i + 1 : groupEnd[i + 1 - begin];
            }
            for (std::size_t i = begin; i < end; ++i) {
                const std::uint32_t p = entries[i].position;
                for (std::size_t j = groupEnd[i - begin]; j < end; ++j) {
                    const std::uint32_t q = entries[j].position;
                    if (!Overlap(boxes_[p], boxes_[q]) || Owner(p, q, level) != entries[begin].cell) continue;
                    if (!Visit(p, q)) return false;
                }
            }
            begin = end;
        }
        return true;
    }

    bool PairsWithCoarser(std::uint32_t p, int level, const ScratchVector<Entry>& entries) const {
        const Range r = RangeAt(p, level);
        for (std::int64_t z = r.lo[2]; z <= r.hi[2]; ++z)
            for (std::int64_t y = r.lo[1]; y <= r.hi[1]; ++y)
                for (std::int64_t x = r.lo[0]; x <= r.hi[0]; ++x) {
                    const std::int64_t key = Key(x, y, z);
                    auto it = std::lower_bound(entries.begin(), entries.end(), key,
                                               [](const Entry& e, std::int64_t k) { return e.cell < k; });
                    for (; it != entries.end() && it->cell == key; ++it) {
                        const std::uint32_t q = it->position;
                        if (group_[q] == group_[p] || !Overlap(boxes_[p], boxes_[q])) continue;
                        if (Owner(p, q, level) != key) continue;
                        if (!Visit(p, q)) return false;
                    }
                }
        return true;
    }

    const TriangleMesh& mesh_;
    std::span<const TriangleRecord> records_;
    ScratchVector<std::uint32_t> triangles_;
    const CrowdedPairVisit& visit_;
    std::vector<std::uint32_t>& found_;
    std::mutex foundGuard_;
    ScratchVector<std::array<std::uint32_t, 3>> corners_;
    ScratchVector<std::uint32_t> hub_;
    ScratchVector<std::uint32_t> group_;
    ScratchVector<std::uint8_t> inFan_;  // of a group larger than kCrowdedCell
    ScratchVector<Box> boxes_;
    ScratchVector<std::uint8_t> levels_;
    Vec3d origin_{}, cell_{};
    std::int64_t side_[3] = {1, 1, 1};
};

}  // namespace

void ForEachCrowdedPair(const TriangleMesh& mesh, std::span<const TriangleRecord> records,
                        const std::uint32_t* triangles, std::size_t count, const CrowdedPairVisit& visit,
                        std::vector<std::uint32_t>& found) {
    if (count < 2) return;
    CrowdedCell(mesh, records, triangles, count, visit, found).Run();
}

}  // namespace ridgeforge::mesh
