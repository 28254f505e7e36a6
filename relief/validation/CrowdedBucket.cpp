// The pairs of a crowded cell: hub groups, arcs of directions about each hub
// swept along one axis, and a small grid for the pairs across groups.
//
// Two triangles that share only their corner v meet anywhere else exactly
// when some direction from v points into both: a point p != v common to both
// gives the direction p - v, and a direction into both reaches, from v, a
// stretch of each. The directions into the triangle v, a, b are the arc of
// the unit sphere from (a - v) / |a - v| to (b - v) / |b - v|, which lies
// within the box of its chord widened by the arc's sagitta.
#include "relief/validation/internal/CrowdedBucket.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <tuple>

namespace ridgeforge::mesh {
namespace {

// Slack on the arcs' boxes: far above the rounding of a few double operations
// on unit vectors, far below any angle between distinct float directions that
// matters here.
constexpr double kArcSlack = 1e-9;
// The grid across groups: at most this many cells along an axis, and a
// triangle whose box covers more than this many cells is paired with every
// triangle of the cell instead.
constexpr std::int64_t kGridSide = 32;
constexpr std::int64_t kGridCellsPerTriangle = 512;

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
int WidestAxis(const std::vector<Box>& boxes) {
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
bool SweepOverlaps(const std::vector<Box>& boxes, const Visit& visit) {
    const int axis = WidestAxis(boxes);
    std::vector<std::uint32_t> order(boxes.size());
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

class CrowdedCell {
public:
    CrowdedCell(const TriangleMesh& mesh, const std::vector<TriangleRecord>& records, const std::uint32_t* triangles,
                std::size_t count, const std::function<bool(std::uint32_t, std::uint32_t)>& visit)
        : mesh_(mesh), records_(records), triangles_(triangles, triangles + count), visit_(visit) {}

    void Run() {
        FindHubs();
        // Groups: runs of one hub, within them runs of one corner set.
        std::vector<std::uint32_t> order(triangles_.size());
        for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::uint32_t p, std::uint32_t q) {
            return std::tie(hub_[p], corners_[p], triangles_[p]) < std::tie(hub_[q], corners_[q], triangles_[q]);
        });
        group_.assign(triangles_.size(), 0);
        std::uint32_t groups = 0;
        for (std::size_t begin = 0; begin < order.size();) {
            std::size_t end = begin + 1;
            while (end < order.size() && hub_[order[end]] == hub_[order[begin]]) ++end;
            for (std::size_t k = begin; k < end; ++k) group_[order[k]] = groups;
            ++groups;
            if (!WithinGroup(order.data() + begin, end - begin)) return;
            begin = end;
        }
        if (groups > 1) AcrossGroups();
    }

private:
    // Each triangle's hub: of its corners, the one the most triangles of
    // the cell share (the lowest index among equals).
    void FindHubs() {
        const std::size_t n = triangles_.size();
        std::vector<std::uint32_t> all;
        all.reserve(3 * n);
        corners_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            std::array<std::uint32_t, 3> c;
            for (int k = 0; k < 3; ++k) c[k] = mesh_.indices[3 * std::size_t{triangles_[i]} + k];
            std::sort(c.begin(), c.end());
            corners_[i] = c;
            all.insert(all.end(), c.begin(), c.end());
        }
        std::sort(all.begin(), all.end());
        const auto sharing = [&](std::uint32_t v) {
            return std::upper_bound(all.begin(), all.end(), v) - std::lower_bound(all.begin(), all.end(), v);
        };
        hub_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            std::uint32_t best = corners_[i][0];
            auto most = sharing(best);
            for (int k = 1; k < 3; ++k) {
                const auto here = sharing(corners_[i][k]);
                if (here > most) {
                    most = here;
                    best = corners_[i][k];
                }
            }
            hub_[i] = best;
        }
    }

    bool Visit(std::uint32_t p, std::uint32_t q) const {
        const std::uint32_t a = triangles_[p], b = triangles_[q];
        return a < b ? visit_(a, b) : visit_(b, a);
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
        const double middle = 0.5 * Length(ua + ub);
        if (!(middle > 1e-6)) return false;
        const double reach = (1.0 - middle) + kArcSlack;
        for (int axis = 0; axis < 3; ++axis) {
            box.low[axis] = std::min(ua[axis], ub[axis]) - reach;
            box.high[axis] = std::max(ua[axis], ub[axis]) + reach;
        }
        return true;
    }

    // Pairs within one group (positions `members`, in corner-set order):
    // the classes of one corner set pair up through their arcs.
    bool WithinGroup(const std::uint32_t* members, std::size_t count) {
        if (count < 2) return true;
        std::vector<std::size_t> classStart;
        for (std::size_t k = 0; k < count; ++k) {
            if (k == 0 || corners_[members[k]] != corners_[members[k - 1]]) classStart.push_back(k);
        }
        classStart.push_back(count);
        const std::size_t classes = classStart.size() - 1;
        const auto pairClasses = [&](std::size_t c, std::size_t d) {
            for (std::size_t i = classStart[c]; i < classStart[c + 1]; ++i) {
                for (std::size_t j = classStart[d]; j < classStart[d + 1]; ++j) {
                    if (!Visit(members[i], members[j])) return false;
                }
            }
            return true;
        };
        std::vector<Box> arcs;
        std::vector<std::size_t> arcClass, wild;
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
        return SweepOverlaps(arcs, [&](std::uint32_t p, std::uint32_t q) {
            return pairClasses(arcClass[p], arcClass[q]);
        });
    }

    // Pairs across groups: a grid over the cell's boxes; a pair is handed on
    // from the grid cell of the larger of its two box minima, where both
    // boxes are, and only when its triangles are of different groups.
    void AcrossGroups() {
        const std::size_t n = triangles_.size();
        Box all{ToDouble(records_[triangles_[0]].boxMin), ToDouble(records_[triangles_[0]].boxMax)};
        for (std::uint32_t t : triangles_) {
            for (int axis = 0; axis < 3; ++axis) {
                all.low[axis] = std::min(all.low[axis], static_cast<double>(records_[t].boxMin[axis]));
                all.high[axis] = std::max(all.high[axis], static_cast<double>(records_[t].boxMax[axis]));
            }
        }
        const auto side = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::cbrt(static_cast<double>(n))) * 2,
                                                   1, kGridSide);
        Vec3d step{};
        for (int axis = 0; axis < 3; ++axis) {
            step[axis] = (all.high[axis] - all.low[axis]) / static_cast<double>(side);
        }
        const auto cellOf = [&](double value, int axis) {
            if (!(step[axis] > 0.0)) return std::int64_t{0};
            const double c = std::floor((value - all.low[axis]) / step[axis]);
            return static_cast<std::int64_t>(std::clamp(c, 0.0, static_cast<double>(side - 1)));
        };
        struct Entry {
            std::int64_t cell;
            std::uint32_t position;
        };
        std::vector<Entry> entries;
        std::vector<std::array<std::int64_t, 3>> lowCell(n);
        std::vector<std::uint32_t> large;
        for (std::uint32_t p = 0; p < n; ++p) {
            const TriangleRecord& r = records_[triangles_[p]];
            std::int64_t lo[3], hi[3], cells = 1;
            for (int axis = 0; axis < 3; ++axis) {
                lo[axis] = cellOf(r.boxMin[axis], axis);
                hi[axis] = cellOf(r.boxMax[axis], axis);
                cells *= hi[axis] - lo[axis] + 1;
                lowCell[p][axis] = lo[axis];
            }
            if (cells > kGridCellsPerTriangle) {
                large.push_back(p);
                continue;
            }
            for (std::int64_t x = lo[0]; x <= hi[0]; ++x)
                for (std::int64_t y = lo[1]; y <= hi[1]; ++y)
                    for (std::int64_t z = lo[2]; z <= hi[2]; ++z) entries.push_back({(z * side + y) * side + x, p});
        }
        // The large ones meet every other triangle of another group once.
        std::vector<std::uint8_t> isLarge(n, 0);
        for (std::uint32_t p : large) isLarge[p] = 1;
        for (std::uint32_t p : large) {
            for (std::uint32_t q = 0; q < n; ++q) {
                if (group_[p] == group_[q] || (isLarge[q] != 0 && q <= p)) continue;
                if (!Visit(p, q)) return;
            }
        }
        std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
            return std::tie(a.cell, group_[a.position], a.position) < std::tie(b.cell, group_[b.position], b.position);
        });
        std::vector<std::size_t> groupEnd;
        for (std::size_t begin = 0; begin < entries.size();) {
            std::size_t end = begin + 1;
            while (end < entries.size() && entries[end].cell == entries[begin].cell) ++end;
            const std::int64_t cell = entries[begin].cell;
            // Where each entry's group ends within the cell, so that a
            // crowd of one group costs nothing.
            groupEnd.resize(end - begin);
            for (std::size_t i = end; i-- > begin;) {
                const bool last = i + 1 == end || group_[entries[i + 1].position] != group_[entries[i].position];
                groupEnd[i - begin] = last ? i + 1 : groupEnd[i + 1 - begin];
            }
            for (std::size_t i = begin; i < end; ++i) {
                const std::uint32_t p = entries[i].position;
                for (std::size_t j = groupEnd[i - begin]; j < end; ++j) {
                    const std::uint32_t q = entries[j].position;
                    const std::int64_t owner = (std::max(lowCell[p][2], lowCell[q][2]) * side +
                                                std::max(lowCell[p][1], lowCell[q][1])) *
                                                   side +
                                               std::max(lowCell[p][0], lowCell[q][0]);
                    if (owner != cell) continue;
                    if (!Visit(p, q)) return;
                }
            }
            begin = end;
        }
    }

    const TriangleMesh& mesh_;
    const std::vector<TriangleRecord>& records_;
    std::vector<std::uint32_t> triangles_;
    const std::function<bool(std::uint32_t, std::uint32_t)>& visit_;
    std::vector<std::array<std::uint32_t, 3>> corners_;
    std::vector<std::uint32_t> hub_;
    std::vector<std::uint32_t> group_;
};

}  // namespace

void ForEachCrowdedPair(const TriangleMesh& mesh, const std::vector<TriangleRecord>& records,
                        const std::uint32_t* triangles, std::size_t count,
                        const std::function<bool(std::uint32_t, std::uint32_t)>& visit) {
    if (count < 2) return;
    CrowdedCell(mesh, records, triangles, count, visit).Run();
}

}  // namespace ridgeforge::mesh
