// Marking the surface cells and marching rays through them.
//
// Marking runs over the triangles in parallel chunks; each visits only the
// rows of cells its surface passes near, so the cost follows the surface and
// not the triangles' bounding boxes (a long rod lying across the diagonal has
// boxes that fill the grid). Cells only ever go from 0 to 1, written through
// relaxed atomic stores, so which cells are marked does not depend on the
// order; only where each brick's room lies does.
#include "relief/mapping/OccupancyGrid.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <execution>
#include <limits>
#include <numeric>
#include <optional>
#include <sstream>
#include <thread>
#include <tuple>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mesh/CancellableLoop.h"
#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::int32_t kMinimumResolution = 16;
constexpr std::int32_t kMaximumResolution = 1024;
// Marked cells a ray may cross at its start: the face's own shell.
constexpr int kOwnShellCells = 3;

// The separating-axis test of one triangle against many cubes of the same
// half edge: the corners' projections onto the thirteen axes are worked out
// once, so each cube costs one dot product per axis.
class TriangleCubeTest {
public:
    TriangleCubeTest(const Vec3f& a, const Vec3f& b, const Vec3f& c, float halfEdge) {
        const Vec3f edges[3] = {b - a, c - b, a - c};
        const Vec3f boxAxes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
        // The plane first: it rejects most cubes that the bounding range lets
        // through. Its normal is taken in double (exact for float corners up
        // to one rounding) so that it points right even for a long sliver,
        // whose float cross product of two long edges cancels.
        const Vec3d da = ToDouble(a), db = ToDouble(b), dc = ToDouble(c);
        Add(ToFloat(Cross(db - da, dc - db)), a, b, c, halfEdge);
        // A triangle flat across a box axis (a cap, a plate's face) is
        // separated from the cubes beside it in its plane by the edge normals
        // within it, and on the other box axes the crossed edges point along
        // the plane's normal again: those come first. The order does not
        // change the answer, only how soon a cube is turned down.
        int order[3] = {0, 1, 2};
        for (int axis = 1; axis < 3; ++axis) {
            if (a[axis] == b[axis] && b[axis] == c[axis]) std::rotate(order, order + axis, order + axis + 1);
        }
        for (int axis : order) {
            for (const Vec3f& edge : edges) Add(Cross(boxAxes[axis], edge), a, b, c, halfEdge);
        }
        for (const Vec3f& boxAxis : boxAxes) Add(boxAxis, a, b, c, halfEdge);
    }

    // The axes four at a time where the processor can, each product and
    // comparison as the plain loop takes it, so that the answer is the same
    // to the bit: a cube the triangle overlaps goes through all thirteen,
    // and those are most of the cubes a sliver's neighbours have not marked.
    bool Overlaps(const Vec3f& centre) const {
#if defined(__SSE2__)
        const __m128 cx = _mm_set1_ps(centre.x), cy = _mm_set1_ps(centre.y), cz = _mm_set1_ps(centre.z);
        for (int i = 0; i < kAxes; i += 4) {
            const __m128 at =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_load_ps(x_ + i), cx), _mm_mul_ps(_mm_load_ps(y_ + i), cy)),
                           _mm_mul_ps(_mm_load_ps(z_ + i), cz));
            const __m128 reach = _mm_load_ps(reach_ + i);
            const __m128 apart =
                _mm_or_ps(_mm_cmpgt_ps(_mm_sub_ps(_mm_load_ps(low_ + i), at), reach),
                          _mm_cmplt_ps(_mm_sub_ps(_mm_load_ps(high_ + i), at), _mm_load_ps(minusReach_ + i)));
            if (_mm_movemask_ps(apart) != 0) return false;
        }
        return true;
#else
        for (int i = 0; i < kAxes; ++i) {
            const float at = x_[i] * centre.x + y_[i] * centre.y + z_[i] * centre.z;
            if (low_[i] - at > reach_[i] || high_[i] - at < minusReach_[i]) return false;
        }
        return true;
#endif
    }

private:
    void Add(const Vec3f& axis, const Vec3f& a, const Vec3f& b, const Vec3f& c, float h) {
        const float pa = Dot(axis, a), pb = Dot(axis, b), pc = Dot(axis, c);
        x_[count_] = axis.x;
        y_[count_] = axis.y;
        z_[count_] = axis.z;
        low_[count_] = std::min({pa, pb, pc});
        high_[count_] = std::max({pa, pb, pc});
        reach_[count_] = h * (std::fabs(axis.x) + std::fabs(axis.y) + std::fabs(axis.z));
        minusReach_[count_] = -reach_[count_];
        ++count_;
    }

    // Thirteen axes and three that every cube passes (all zero).
    static constexpr int kAxes = 16;
    alignas(16) float x_[kAxes] = {}, y_[kAxes] = {}, z_[kAxes] = {};
    alignas(16) float low_[kAxes] = {}, high_[kAxes] = {}, reach_[kAxes] = {}, minusReach_[kAxes] = {};
    int count_ = 0;
};

// The test of one triangle, set up at its first cube: most of the cells of
// a fanned cap's spoke or a fine cylinder's side are marked by its
// neighbours before it comes, and it need not test any.
class LazyCubeTest {
public:
    LazyCubeTest(const Vec3f& a, const Vec3f& b, const Vec3f& c, float halfEdge) : a_(a), b_(b), c_(c), h_(halfEdge) {}

    bool Overlaps(const Vec3f& centre) const {
        if (!test_) test_.emplace(a_, b_, c_, h_);
        return test_->Overlaps(centre);
    }

private:
    Vec3f a_, b_, c_;
    float h_;
    mutable std::optional<TriangleCubeTest> test_;
};

std::int32_t CellOf(float coordinate, float origin, float cellSize, std::int32_t count) {
    const double cell = std::floor((static_cast<double>(coordinate) - origin) / cellSize);
    return static_cast<std::int32_t>(std::clamp(cell, 0.0, static_cast<double>(count - 1)));
}

// A convex polygon of at most a triangle cut by two slabs.
struct Piece {
    Vec3d points[9];
    int count = 0;
};

// The part of `in` between lo and hi along `axis` (Sutherland-Hodgman
// against the slab's two planes).
Piece ClipToSlab(const Piece& in, int axis, double lo, double hi) {
    const auto clip = [axis](const Piece& from, double bound, double sense) {
        Piece out;
        for (int i = 0; i < from.count; ++i) {
            const Vec3d& p = from.points[i];
            const Vec3d& q = from.points[(i + 1) % from.count];
            const double dp = (p[axis] - bound) * sense, dq = (q[axis] - bound) * sense;
            if (dp >= 0.0) out.points[out.count++] = p;
            if ((dp < 0.0) != (dq < 0.0)) out.points[out.count++] = p + (q - p) * (dp / (dp - dq));
        }
        return out;
    };
    return clip(clip(in, lo, 1.0), hi, -1.0);
}

// The span of a triangle's section by the slab lo <= p[w] <= hi along the
// two other axes. The section is a convex polygon whose corners are the
// triangle's corners inside the slab and the points where its edges cross
// the slab's planes, so its span is that of the three edges clipped to the
// slab: with the corners sorted along w each edge is a straight run in w,
// and no polygon needs to be clipped.
class SlabSections {
public:
    SlabSections(const Vec3d (&corners)[3], int w, int u, int v) {
        int order[3] = {0, 1, 2};
        std::sort(order, order + 3, [&](int i, int j) { return corners[i][w] < corners[j][w]; });
        const int ends[3][2] = {{order[0], order[2]}, {order[0], order[1]}, {order[1], order[2]}};
        for (int e = 0; e < 3; ++e) {
            const Vec3d& from = corners[ends[e][0]];
            const Vec3d& to = corners[ends[e][1]];
            Edge& edge = edges_[e];
            edge.start = from[w];
            edge.end = to[w];
            edge.along = edge.end - edge.start;
            edge.inverse = edge.along > 0.0 ? 1.0 / edge.along : 0.0;
            edge.square = edge.along > 0.0 ? 0.0 : 1.0;
            edge.u = from[u];
            edge.v = from[v];
            edge.du = to[u] - from[u];
            edge.dv = to[v] - from[v];
        }
        // How far the middle corner lies off the long edge across w. Every
        // point of the triangle lies at most that far off the long edge at
        // its own w: on each short edge the offset runs linearly from 0 at
        // the long edge's end to the middle corner's.
        const Edge& longEdge = edges_[0];
        const Vec3d& middle = corners[order[1]];
        const double t = (middle[w] - longEdge.start) * longEdge.inverse;
        offU_ = std::fabs(middle[u] - (longEdge.u + t * longEdge.du));
        offV_ = std::fabs(middle[v] - (longEdge.v + t * longEdge.dv));
        thin_ = offU_ <= kThin && offV_ <= kThin;
        // The long edge as u and v straight in w, for InteriorSpan. Worked
        // out another way than Span's, they may differ from it by a few
        // roundings of a double: the offsets are widened by far more.
        constexpr double kRoundingCells = 1e-9;
        if (thin_ && longEdge.along > 0.0) {
            slopeU_ = longEdge.du * longEdge.inverse;
            slopeV_ = longEdge.dv * longEdge.inverse;
            lineU_ = longEdge.u - longEdge.start * slopeU_;
            lineV_ = longEdge.v - longEdge.start * slopeV_;
            lineStart_ = longEdge.start;
            lineEnd_ = longEdge.end;
            offU_ += kRoundingCells;
            offV_ += kRoundingCells;
        }
    }

    // False when the slab misses the triangle. Branch-free over the edges,
    // and the ends are reduced pairwise, so that slabs overlap in the
    // processor rather than wait on one long chain of comparisons.
    [[gnu::always_inline]] bool Span(double lo, double hi, double& uLow, double& uHigh, double& vLow,
                                     double& vHigh) const {
        if (thin_) return ThinSpan(lo, hi, uLow, uHigh, vLow, vHigh);
        constexpr double kNone = std::numeric_limits<double>::infinity();
        double ul[3], uh[3], vl[3], vh[3];
        bool any = false;
        for (int e = 0; e < 3; ++e) {
            const Edge& edge = edges_[e];
            const double first = std::max(lo, edge.start), last = std::min(hi, edge.end);
            const bool meets = first <= last;
            any = any || meets;
            // An edge square to w lies whole in the slab once it meets it.
            const double t0 = std::clamp((first - edge.start) * edge.inverse, 0.0, 1.0);
            const double t1 = std::max(std::clamp((last - edge.start) * edge.inverse, 0.0, 1.0), edge.square);
            const double u0 = edge.u + t0 * edge.du, u1 = edge.u + t1 * edge.du;
            const double v0 = edge.v + t0 * edge.dv, v1 = edge.v + t1 * edge.dv;
            ul[e] = meets ? std::min(u0, u1) : kNone;
            uh[e] = meets ? std::max(u0, u1) : -kNone;
            vl[e] = meets ? std::min(v0, v1) : kNone;
            vh[e] = meets ? std::max(v0, v1) : -kNone;
        }
        uLow = std::min(std::min(ul[0], ul[1]), ul[2]);
        uHigh = std::max(std::max(uh[0], uh[1]), uh[2]);
        vLow = std::min(std::min(vl[0], vl[1]), vl[2]);
        vHigh = std::max(std::max(vh[0], vh[1]), vh[2]);
        return any;
    }

    // The span of a sliver's section by the slab lo <= w <= hi where the
    // slab lies within the long edge's run along w: there the edge's u and v
    // are straight in w, and no clamping is needed. False elsewhere, where
    // Span answers.
    [[gnu::always_inline]] bool InteriorSpan(double lo, double hi, double& uLow, double& uHigh, double& vLow,
                                             double& vHigh) const {
        if (!(thin_ && lo >= lineStart_ && hi <= lineEnd_)) return false;
        const double ua = lineU_ + lo * slopeU_, ub = lineU_ + hi * slopeU_;
        const double va = lineV_ + lo * slopeV_, vb = lineV_ + hi * slopeV_;
        uLow = std::min(ua, ub) - offU_;
        uHigh = std::max(ua, ub) + offU_;
        vLow = std::min(va, vb) - offV_;
        vHigh = std::max(va, vb) + offV_;
        return true;
    }

    // The slabs of a single-slab span that InteriorSpan answers, and there
    // the cells' band about the long edge: the centre line in u and v at
    // slab k and how far the cells reach either side of it (the slab's and
    // the cube's reach, the middle corner's offset, and a margin for the
    // other roundings). A sliver of a cone or of a fanned cap visits every
    // slab it spans and nearly all are found marked already: there the
    // band's few products are the whole cost. Empty for a triangle that is
    // not thin.
    struct ThinBand {
        std::int32_t first = 1, last = 0;
        double lineU = 0.0, slopeU = 0.0, halfU = 0.0, lineV = 0.0, slopeV = 0.0, halfV = 0.0;
    };
    ThinBand Band(double reach, std::int32_t slabFirst, std::int32_t slabLast) const {
        ThinBand band;
        if (!thin_ || !(lineStart_ + reach <= lineEnd_ - reach)) return band;
        const double first = std::max(std::ceil(lineStart_ + reach), static_cast<double>(slabFirst));
        const double last = std::min(std::floor(lineEnd_ - reach), static_cast<double>(slabLast));
        if (!(first <= last)) return band;
        constexpr double kRoundingCells = 1e-9;
        band.first = static_cast<std::int32_t>(first);
        band.last = static_cast<std::int32_t>(last);
        band.lineU = lineU_;
        band.slopeU = slopeU_;
        band.halfU = reach * std::fabs(slopeU_) + offU_ + reach + kRoundingCells;
        band.lineV = lineV_;
        band.slopeV = slopeV_;
        band.halfV = reach * std::fabs(slopeV_) + offV_ + reach + kRoundingCells;
        return band;
    }

private:
    // A sliver, whose middle corner lies within a quarter cell of its long
    // edge, takes the span of its long edge widened by that offset: one
    // edge instead of three, for a span at most that much wider. The
    // offsets are in cell units, as are the corners.
    static constexpr double kThin = 0.25;

    [[gnu::always_inline]] bool ThinSpan(double lo, double hi, double& uLow, double& uHigh, double& vLow,
                                         double& vHigh) const {
        const Edge& edge = edges_[0];
        const double first = std::max(lo, edge.start), last = std::min(hi, edge.end);
        if (!(first <= last)) return false;
        const double t0 = std::clamp((first - edge.start) * edge.inverse, 0.0, 1.0);
        const double t1 = std::max(std::clamp((last - edge.start) * edge.inverse, 0.0, 1.0), edge.square);
        const double u0 = edge.u + t0 * edge.du, u1 = edge.u + t1 * edge.du;
        const double v0 = edge.v + t0 * edge.dv, v1 = edge.v + t1 * edge.dv;
        uLow = std::min(u0, u1) - offU_;
        uHigh = std::max(u0, u1) + offU_;
        vLow = std::min(v0, v1) - offV_;
        vHigh = std::max(v0, v1) + offV_;
        return true;
    }

    struct Edge {
        double start = 0.0, end = 0.0, along = 0.0, inverse = 0.0, square = 0.0;
        double u = 0.0, v = 0.0, du = 0.0, dv = 0.0;
    };
    // The long edge (first to last corner along w) first, then the two short ones.
    Edge edges_[3];
    double offU_ = 0.0, offV_ = 0.0;
    bool thin_ = false;
    // The long edge's u = lineU_ + w slopeU_ (and v likewise) over
    // lineStart_ <= w <= lineEnd_; an empty run when it has no length in w.
    double lineU_ = 0.0, lineV_ = 0.0, slopeU_ = 0.0, slopeV_ = 0.0;
    double lineStart_ = 1.0, lineEnd_ = 0.0;
};

// A triangle's bounding range of cells along one axis, [from, to].
struct AxisCells {
    AxisCells(std::int32_t first, std::int32_t last)
        : from(first), to(last), below(static_cast<double>(first) - 1.0), above(static_cast<double>(last) + 1.0) {}
    std::int32_t from, to;
    double below, above;  // what a span is clamped to before rounding
};

// The index range of the cells whose centres lie within `reach` of the span
// [low, high] along one axis, kept within the bounding range; positions in
// cell units, cell i's centre at i. This runs for every slab of every
// triangle, so the bounds are rounded by truncating shifted values, not by
// calls into the maths library; the shift's rounding only ever widens the
// range.

[[gnu::always_inline]] inline void CellsNear(double low, double high, double reach, const AxisCells& cells,
                                             std::int32_t& first, std::int32_t& last) {
    constexpr double kShift = 4096.0;  // above any cell count plus one
    const double lowCell = std::min(std::max(low - reach, cells.below), cells.above);
    const double highCell = std::min(std::max(high + reach, cells.below), cells.above);
    first = std::max(cells.from, static_cast<std::int32_t>(kShift) - static_cast<std::int32_t>(kShift - lowCell));
    last = std::min(cells.to, static_cast<std::int32_t>(highCell + kShift) - static_cast<std::int32_t>(kShift));
}

// The same for the span of a piece.
void CellsNear(const Piece& piece, int axis, double reach, const AxisCells& cells, std::int32_t& first,
               std::int32_t& last) {
    double low = piece.points[0][axis], high = low;
    for (int i = 1; i < piece.count; ++i) {
        low = std::min(low, piece.points[i][axis]);
        high = std::max(high, piece.points[i][axis]);
    }
    CellsNear(low, high, reach, cells, first, last);
}

// How many slabs along w one section span serves: a needle along w (such as
// a side of a finely divided cylinder) moves little across several slabs,
// and the cells near it in all of them are found at the cost of one. A
// section that moves an eighth of a cell or more from slab to slab (a side
// of a cone, a spoke of a fanned cap) gets a span per slab: a group's box
// would hold cells that the triangle misses in some of its slabs, the box
// would then never be found all marked, and each of the many slivers
// beside it would test those cells again. A group of more than 8 slabs
// moves it at most a quarter of a cell, so that a long thin needle (a side
// of a cylinder of tens of thousands of segments) works out a few spans,
// not one every 8 slabs, and tests hardly more cells.
std::int32_t SlabsPerSpan(const Vec3d (&corners)[3], int w, int u, int v) {
    const auto extent = [&](int axis) {
        return std::max({corners[0][axis], corners[1][axis], corners[2][axis]}) -
               std::min({corners[0][axis], corners[1][axis], corners[2][axis]});
    };
    const double across = std::max(extent(u), extent(v));
    const double along = extent(w);
    constexpr double kFewSlabs = 8.0, kLongNeedle = 4.0 * kFewSlabs, kMostSlabs = 65536.0;
    if (!(along >= across * kFewSlabs)) return 1;
    if (!(along > across * kLongNeedle)) return static_cast<std::int32_t>(kFewSlabs);
    return static_cast<std::int32_t>(std::min(along / (4.0 * across), kMostSlabs));
}

// Rows of one slab whose cells are all tested over the slab section's span
// rather than the span of each row's own piece: a sliver's section spans at
// most about three, and testing a cell costs less than clipping a row.
constexpr std::int32_t kRowsWithoutClipping = 3;

// A slab group's box of cells found all marked after a triangle tested it.
// The sides of a finely divided cylinder stand so close that dozens share
// each column of cells, and the spokes of a fanned cap each row of its
// middle: the next one's box lies within the last and is skipped, as every
// cell of it would be. Kept per thread, one per starting slab (a grid has at
// most a few more slabs than boxes kept, and a box knows its own slabs), and
// for one grid build only.
struct MarkedBox {
    std::uint64_t build = 0;
    std::int32_t k = 0, kLast = -1, vFirst = 0, vLast = -1, uFirst = 0, uLast = -1;

    bool Holds(const MarkedBox& box) const {
        return build == box.build && k <= box.k && box.kLast <= kLast && vFirst <= box.vFirst && box.vLast <= vLast &&
               uFirst <= box.uFirst && box.uLast <= uLast;
    }
};
constexpr std::uint32_t kRecentBoxes = 1024;
// One set for each axis the slabs run along.
thread_local MarkedBox recentlyMarked[3][kRecentBoxes];
std::atomic<std::uint64_t> gridBuilds{0};

// The boxes of cells found all marked on slivers' band slabs, a block of
// four slabs at a time (see MarkBand), one set per thread and axis as for
// MarkedBox. A block knows the grid build its boxes belong to; an empty box
// (first past last) holds nothing.
struct BandBoxes {
    // Blocks for every slab a grid can have: the most cells along a side
    // and its margins.
    static constexpr std::int32_t kBlocks = (kMaximumResolution + 8) / 4 + 1;
    std::uint64_t build[kBlocks] = {};
    alignas(16) std::int32_t uFirst[4 * kBlocks] = {}, uLast[4 * kBlocks] = {};
    alignas(16) std::int32_t vFirst[4 * kBlocks] = {}, vLast[4 * kBlocks] = {};

    void Keep(std::int32_t block, int lane, std::uint64_t gridBuild, std::int32_t u0, std::int32_t u1, std::int32_t v0,
              std::int32_t v1) {
        const std::int32_t at = 4 * block;
        if (build[block] != gridBuild) {
            build[block] = gridBuild;
            std::fill_n(uFirst + at, 4, std::numeric_limits<std::int32_t>::max());
            std::fill_n(vFirst + at, 4, std::numeric_limits<std::int32_t>::max());
            std::fill_n(uLast + at, 4, std::numeric_limits<std::int32_t>::min());
            std::fill_n(vLast + at, 4, std::numeric_limits<std::int32_t>::min());
        }
        uFirst[at + lane] = u0;
        uLast[at + lane] = u1;
        vFirst[at + lane] = v0;
        vLast[at + lane] = v1;
    }
};
thread_local BandBoxes bandBoxes[3];

// A sliver's band (SlabSections::ThinBand) in floats, four slabs at a time.
// Each half width is widened by 2^-20 of the largest magnitude its sums pass
// through, more than twice what the floats' roundings can move them, so that
// every box holds the one the band gives in double: a cell more is only
// tested, never marked wrongly. The bounds are rounded by truncating
// shifted values, which only ever widens them (CellsNear).
class BandFrame {
public:
    BandFrame(const SlabSections::ThinBand& band, const AxisCells& uCells, const AxisCells& vCells)
        : u_(Axis(band.lineU, band.slopeU, band.halfU, band.last, uCells)),
          v_(Axis(band.lineV, band.slopeV, band.halfV, band.last, vCells)) {}

    // The boxes of slabs base..base + 3 (base = 4 block) into the four
    // lists; returns the lanes whose box the block's kept box holds.
    [[gnu::always_inline]] int Boxes(std::int32_t base, const BandBoxes& kept, std::int32_t block, std::uint64_t build,
                                     std::int32_t (&uFirst)[4], std::int32_t (&uLast)[4], std::int32_t (&vFirst)[4],
                                     std::int32_t (&vLast)[4]) const {
#if defined(__SSE2__)
        const __m128 k = _mm_add_ps(_mm_set1_ps(static_cast<float>(base)), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
        __m128i u0, u1, v0, v1;
        Bounds(k, u_, u0, u1);
        Bounds(k, v_, v0, v1);
        _mm_store_si128(reinterpret_cast<__m128i*>(uFirst), u0);
        _mm_store_si128(reinterpret_cast<__m128i*>(uLast), u1);
        _mm_store_si128(reinterpret_cast<__m128i*>(vFirst), v0);
        _mm_store_si128(reinterpret_cast<__m128i*>(vLast), v1);
        if (kept.build[block] != build) return 0;
        const std::int32_t at = 4 * block;
        const auto load = [at](const std::int32_t* list) {
            return _mm_load_si128(reinterpret_cast<const __m128i*>(list + at));
        };
        const __m128i outside =
            _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi32(load(kept.uFirst), u0), _mm_cmpgt_epi32(u1, load(kept.uLast))),
                         _mm_or_si128(_mm_cmpgt_epi32(load(kept.vFirst), v0), _mm_cmpgt_epi32(v1, load(kept.vLast))));
        return ~_mm_movemask_ps(_mm_castsi128_ps(outside)) & 0xF;
#else
        for (int lane = 0; lane < 4; ++lane) {
            const float k = static_cast<float>(base + lane);
            Bounds(k, u_, uFirst[lane], uLast[lane]);
            Bounds(k, v_, vFirst[lane], vLast[lane]);
        }
        if (kept.build[block] != build) return 0;
        int held = 0;
        for (int lane = 0; lane < 4; ++lane) {
            const std::int32_t at = 4 * block + lane;
            if (kept.uFirst[at] <= uFirst[lane] && uLast[lane] <= kept.uLast[at] && kept.vFirst[at] <= vFirst[lane] &&
                vLast[lane] <= kept.vLast[at])
                held |= 1 << lane;
        }
        return held;
#endif
    }

private:
    struct AxisBand {
        float line, slope, half, from, to;
    };
    static constexpr float kShift = 4096.0f;  // above any cell count plus one

    static AxisBand Axis(double line, double slope, double half, std::int32_t lastSlab, const AxisCells& cells) {
        const double largest = std::fabs(line) + std::fabs(slope) * (lastSlab + 1.0) + half + 1.0;
        return {static_cast<float>(line), static_cast<float>(slope), static_cast<float>(half + largest * 0x1p-20),
                static_cast<float>(cells.from), static_cast<float>(cells.to)};
    }

#if defined(__SSE2__)
    // The first cell at or above the band's low side and the last at or
    // below its high side, kept within the bounding range.
    [[gnu::always_inline]] static void Bounds(__m128 k, const AxisBand& a, __m128i& first, __m128i& last) {
        const __m128 centre = _mm_add_ps(_mm_set1_ps(a.line), _mm_mul_ps(k, _mm_set1_ps(a.slope)));
        const __m128 low = _mm_min_ps(_mm_max_ps(_mm_sub_ps(centre, _mm_set1_ps(a.half)), _mm_set1_ps(a.from)),
                                      _mm_set1_ps(a.to + 1.0f));
        const __m128 high = _mm_max_ps(_mm_min_ps(_mm_add_ps(centre, _mm_set1_ps(a.half)), _mm_set1_ps(a.to)),
                                       _mm_set1_ps(a.from - 1.0f));
        const __m128 shift = _mm_set1_ps(kShift);
        first = _mm_sub_epi32(_mm_set1_epi32(4096), _mm_cvttps_epi32(_mm_sub_ps(shift, low)));
        last = _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(high, shift)), _mm_set1_epi32(4096));
    }
#else
    static void Bounds(float k, const AxisBand& a, std::int32_t& first, std::int32_t& last) {
        const float centre = a.line + k * a.slope;
        const float low = std::min(std::max(centre - a.half, a.from), a.to + 1.0f);
        const float high = std::max(std::min(centre + a.half, a.to), a.from - 1.0f);
        first = 4096 - static_cast<std::int32_t>(kShift - low);
        last = static_cast<std::int32_t>(high + kShift) - 4096;
    }
#endif

    AxisBand u_, v_;
};

// The marking of one grid: every cell of a triangle's bounding range whose
// cube the separating-axis test finds overlapping the triangle. Only the
// cells near the triangle are tested: the triangle is cut into the slabs of
// cells along the axis it spans most cells of, and a slab's cells are those
// within reach of its section (of each row's piece when the section spans
// many rows). The reach is the cube's half edge plus how far off the
// triangle the float test may still find overlap. Where coordinates are so
// large against the cells that this reaches past a few cells, every cell of
// the range is tested, as the test alone would.
class SurfaceMarker {
public:
    SurfaceMarker(OccupancyGrid& grid, const TriangleMesh& mesh) : grid_(grid), mesh_(mesh) {
        half_ = grid.cellSize * 0.5f * 1.0001f;
        for (int axis = 0; axis < 3; ++axis) {
            const double far = grid.origin[axis] + static_cast<double>(grid.dimensions[axis]) * grid.cellSize;
            largest_ = std::max({largest_, std::fabs(static_cast<double>(grid.origin[axis])), std::fabs(far)});
        }
        build_ = gridBuilds.fetch_add(1, std::memory_order_relaxed) + 1;
    }

    std::uint32_t RoomsTaken() const { return roomsTaken_.load(std::memory_order_relaxed); }

    // The triangle's bounding range of cells and the axis its slabs run
    // along: the one it spans most cells of. False for a corner that is
    // not finite (cached bounds may not have seen it): nothing is marked.
    bool SlabsOf(std::size_t triangle, std::int32_t (&from)[3], std::int32_t (&to)[3], int& w) const {
        const Vec3f& a = mesh_.vertices[mesh_.indices[3 * triangle]].position;
        const Vec3f& b = mesh_.vertices[mesh_.indices[3 * triangle + 1]].position;
        const Vec3f& c = mesh_.vertices[mesh_.indices[3 * triangle + 2]].position;
        const Vec3f low = Min(Min(a, b), c);
        const Vec3f high = Max(Max(a, b), c);
        if (!IsFinite(low) || !IsFinite(high)) return false;
        for (int axis = 0; axis < 3; ++axis) {
            from[axis] = CellOf(low[axis], grid_.origin[axis], grid_.cellSize, grid_.dimensions[axis]);
            to[axis] = CellOf(high[axis], grid_.origin[axis], grid_.cellSize, grid_.dimensions[axis]);
        }
        const std::int32_t spanned[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
        w = spanned[0] >= spanned[1] && spanned[0] >= spanned[2] ? 0 : (spanned[1] >= spanned[2] ? 1 : 2);
        return true;
    }

    // Marks the cells the triangle overlaps in its slabs first..last (see
    // SlabsOf); returns how many of them were not marked before. Slabs past
    // the triangle's range are left out; a triangle that is not cut into
    // slabs is marked whole by the call that holds its first slab.
    std::uint64_t Mark(std::size_t triangle, std::int32_t first, std::int32_t last) const {
        const Vec3f& a = mesh_.vertices[mesh_.indices[3 * triangle]].position;
        const Vec3f& b = mesh_.vertices[mesh_.indices[3 * triangle + 1]].position;
        const Vec3f& c = mesh_.vertices[mesh_.indices[3 * triangle + 2]].position;
        std::int32_t from[3], to[3];
        int w = 0;
        if (!SlabsOf(triangle, from, to, w)) return 0;
        const bool whole = first <= from[w];
        if (from[0] == to[0] && from[1] == to[1] && from[2] == to[2])
            return whole ? Set(grid_.Index(from[0], from[1], from[2])) : 0;
        const LazyCubeTest test(a, b, c, half_);
        double reach = Reach(a, b, c);
        if (!(reach < 4.0 * grid_.cellSize)) {
            if (!whole) return 0;
            std::uint64_t marked = 0;
            for (std::int32_t z = from[2]; z <= to[2]; ++z)
                for (std::int32_t y = from[1]; y <= to[1]; ++y) marked += TestRun<2>(test, z, y, from[0], to[0]);
            return marked;
        }
        // The corners and the reach in cell units, cell i's centre at i.
        const double inverse = 1.0 / static_cast<double>(grid_.cellSize);
        const auto inCells = [&](const Vec3f& p) {
            Vec3d q;
            for (int axis = 0; axis < 3; ++axis)
                q[axis] = (p[axis] - static_cast<double>(grid_.origin[axis])) * inverse - 0.5;
            return q;
        };
        const Vec3d corners[3] = {inCells(a), inCells(b), inCells(c)};
        reach *= inverse;
        const std::int32_t slabs[2] = {std::max(first, from[w]), std::min(last, to[w])};
        if (w == 0) return MarkSlabs<0>(test, corners, from, to, slabs, reach);
        if (w == 1) return MarkSlabs<1>(test, corners, from, to, slabs, reach);
        return MarkSlabs<2>(test, corners, from, to, slabs, reach);
    }

private:
    // Every axis of the test is within a few roundings of its true
    // direction, and each projection is off by a few roundings of the
    // largest coordinate, so a cube the test finds overlapping lies within
    // that much of the triangle.
    double Reach(const Vec3f& a, const Vec3f& b, const Vec3f& c) const {
        const Vec3d da = ToDouble(a), db = ToDouble(b), dc = ToDouble(c);
        const double longest = std::max({Length(db - da), Length(dc - db), Length(da - dc)});
        double largest = largest_;
        for (const Vec3d& p : {da, db, dc})
            largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
        constexpr double kFloatRounding = 1.0 / 16777216.0;  // 2^-24
        const double rounding = 16.0 * kFloatRounding * (3.0 * largest + 4.0 * longest + grid_.cellSize);
        return static_cast<double>(half_) + rounding;
    }

    // The cells near the triangle, slab by slab along axis W; rows run
    // along V and cells along U. The axes are fixed at compile time so that
    // a cell's indices stay in registers.
    template <int W>
    std::uint64_t MarkSlabs(const LazyCubeTest& test, const Vec3d (&corners)[3], const std::int32_t (&from)[3],
                            const std::int32_t (&to)[3], const std::int32_t (&slabs)[2], double reach) const {
        constexpr int U = W == 0 ? 1 : 0, V = W == 2 ? 1 : 2;
        const AxisCells uCells(from[U], to[U]), vCells(from[V], to[V]);
        const SlabSections sections(corners, W, U, V);
        const std::int32_t group = SlabsPerSpan(corners, W, U, V);
        SlabSections::ThinBand band = group == 1 ? sections.Band(reach, slabs[0], slabs[1]) : SlabSections::ThinBand{};
        if (band.last >= 4 * BandBoxes::kBlocks) band = SlabSections::ThinBand{};
        std::uint64_t marked = band.first <= band.last ? MarkBand<W>(test, corners, band, uCells, vCells, reach) : 0;
        for (std::int32_t k = slabs[0], kLast = 0; k <= slabs[1]; k = kLast + 1) {
            kLast = slabs[1] - k < group ? slabs[1] : k + group - 1;
            if (k >= band.first && k <= band.last) {
                kLast = band.last;  // a band has one slab a span
                continue;
            }
            double uLow, uHigh, vLow, vHigh;
            if (!sections.InteriorSpan(k - reach, kLast + reach, uLow, uHigh, vLow, vHigh) &&
                !sections.Span(k - reach, kLast + reach, uLow, uHigh, vLow, vHigh))
                continue;
            std::int32_t vFirst = 0, vLast = -1;
            CellsNear(vLow, vHigh, reach, vCells, vFirst, vLast);
            if (vLast - vFirst >= kRowsWithoutClipping) {
                marked += MarkClipped<W>(test, corners, k, kLast, reach, uCells, vCells);
                continue;
            }
            std::int32_t uFirst = 0, uLast = -1;
            CellsNear(uLow, uHigh, reach, uCells, uFirst, uLast);
            const MarkedBox box{build_, k, kLast, vFirst, vLast, uFirst, uLast};
            MarkedBox& recent = recentlyMarked[W][static_cast<std::uint32_t>(k) % kRecentBoxes];
            if (recent.Holds(box)) continue;
            bool allMarked = true;
            for (std::int32_t slab = k; slab <= kLast; ++slab)
                for (std::int32_t row = vFirst; row <= vLast; ++row)
                    marked += TestRun<W>(test, slab, row, uFirst, uLast, &allMarked);
            if (allMarked) recent = box;
        }
        return marked;
    }

    // The slabs k..kLast whose section spans many rows: each row's piece
    // is clipped out and only the cells near it are tested.
    template <int W>
    std::uint64_t MarkClipped(const LazyCubeTest& test, const Vec3d (&corners)[3], std::int32_t k, std::int32_t kLast,
                              double reach, const AxisCells& uCells, const AxisCells& vCells) const {
        constexpr int U = W == 0 ? 1 : 0, V = W == 2 ? 1 : 2;
        Piece triangleAsPiece;
        std::copy(corners, corners + 3, triangleAsPiece.points);
        triangleAsPiece.count = 3;
        std::uint64_t marked = 0;
        for (std::int32_t slab = k; slab <= kLast; ++slab) {
            const Piece layer = ClipToSlab(triangleAsPiece, W, slab - reach, slab + reach);
            if (layer.count == 0) continue;
            std::int32_t rowFirst = 0, rowLast = -1;
            CellsNear(layer, V, reach, vCells, rowFirst, rowLast);
            for (std::int32_t row = rowFirst; row <= rowLast; ++row) {
                const Piece piece = ClipToSlab(layer, V, row - reach, row + reach);
                if (piece.count == 0) continue;
                std::int32_t pieceFirst = 0, pieceLast = -1;
                CellsNear(piece, U, reach, uCells, pieceFirst, pieceLast);
                marked += TestRun<W>(test, slab, row, pieceFirst, pieceLast);
            }
        }
        return marked;
    }

    // A sliver's band slabs, four at a time: the four slabs' cell boxes are
    // worked out together, and the slabs whose box lies within the last box
    // found all marked there are passed over together. On a cone or a
    // fanned cap of tens of thousands of slivers nearly every slab is, and
    // the box and its comparison were the whole cost of each.
    template <int W>
    std::uint64_t MarkBand(const LazyCubeTest& test, const Vec3d (&corners)[3], const SlabSections::ThinBand& band,
                           const AxisCells& uCells, const AxisCells& vCells, double reach) const {
        BandBoxes& boxes = bandBoxes[W];
        const BandFrame frame(band, uCells, vCells);
        std::uint64_t marked = 0;
        for (std::int32_t block = band.first / 4; block <= band.last / 4; ++block) {
            const std::int32_t base = 4 * block;
            int todo = (0xF << std::max(0, band.first - base)) & (0xF >> std::max(0, base + 3 - band.last)) & 0xF;
            alignas(16) std::int32_t uFirst[4], uLast[4], vFirst[4], vLast[4];
            const int held = frame.Boxes(base, boxes, block, build_, uFirst, uLast, vFirst, vLast);
            todo &= ~held;
            for (int lane = 0; todo != 0; ++lane, todo >>= 1) {
                if ((todo & 1) == 0) continue;
                const std::int32_t k = base + lane;
                if (vLast[lane] - vFirst[lane] >= kRowsWithoutClipping) {
                    marked += MarkClipped<W>(test, corners, k, k, reach, uCells, vCells);
                    continue;
                }
                bool allMarked = true;
                for (std::int32_t row = vFirst[lane]; row <= vLast[lane]; ++row)
                    marked += TestRun<W>(test, k, row, uFirst[lane], uLast[lane], &allMarked);
                if (allMarked) boxes.Keep(block, lane, build_, uFirst[lane], uLast[lane], vFirst[lane], vLast[lane]);
            }
        }
        return marked;
    }

    // Tests the cells first..last along U of slab k along W and row `row`
    // along V; a cell already marked costs one load. Clears *allMarked when
    // a cell is left unmarked. Inlined, with the grid's pointers held in
    // locals (the atomic loads would have them read again for every cell):
    // a sliver runs this for one or two cells at a time, millions of times.
    template <int W>
    [[gnu::always_inline]] std::uint64_t TestRun(const LazyCubeTest& test, std::int32_t k, std::int32_t row,
                                                 std::int32_t first, std::int32_t last,
                                                 bool* allMarked = nullptr) const {
        constexpr int U = W == 0 ? 1 : 0, V = W == 2 ? 1 : 2;
        if (first > last) return 0;
        const float size = grid_.cellSize;
        const float originU = grid_.origin[U];
        Vec3f centre;
        centre[W] = grid_.origin[W] + (static_cast<float>(k) + 0.5f) * size;
        centre[V] = grid_.origin[V] + (static_cast<float>(row) + 0.5f) * size;
        std::uint8_t* const cells = grid_.cells.data();
        std::uint32_t* const rooms = grid_.brickRooms.data();
        const std::size_t across = grid_.Along(W, k) + grid_.Along(V, row);
        std::uint64_t marked = 0;
        for (std::int32_t i = first; i <= last; ++i) {
            const std::size_t at = across + grid_.Along(U, i);
            const std::uint32_t room =
                std::atomic_ref<std::uint32_t>(rooms[at >> kPageShift]).load(std::memory_order_relaxed);
            if (room != 0 && room != kClaimed &&
                std::atomic_ref<std::uint8_t>(cells[OccupancyGrid::InRoom(room, at)]).load(std::memory_order_relaxed) !=
                    0)
                continue;
            centre[U] = originU + (static_cast<float>(i) + 0.5f) * size;
            if (test.Overlaps(centre)) {
                marked += Set(at);
            } else if (allMarked != nullptr) {
                *allMarked = false;
            }
        }
        return marked;
    }

    // 1 when the cell at `place` was not marked before: each cell turns from
    // 0 to 1 in one exchange, so the counts of all threads add up to the
    // marked cells.
    std::uint64_t Set(std::size_t place) const {
        std::atomic_ref<std::uint8_t> marked(grid_.cells[OccupancyGrid::InRoom(RoomOf(place >> kPageShift), place)]);
        if (marked.load(std::memory_order_relaxed) != 0) return 0;
        return marked.exchange(1, std::memory_order_relaxed) == 0 ? 1 : 0;
    }

    // The brick's room, the next free one if it has none yet. One thread
    // claims the brick and takes the room; another that comes meanwhile
    // waits the few instructions that takes, so that no room is taken twice
    // and the rooms never run past the bricks.
    std::uint32_t RoomOf(std::size_t brick) const {
        std::atomic_ref<std::uint32_t> room(grid_.brickRooms[brick]);
        std::uint32_t seen = room.load(std::memory_order_acquire);
        while (seen == 0 || seen == kClaimed) {
            if (seen == 0 && room.compare_exchange_weak(seen, kClaimed, std::memory_order_acquire)) {
                seen = roomsTaken_.fetch_add(1, std::memory_order_relaxed) + 1;
                room.store(seen, std::memory_order_release);
                break;
            }
            if (seen == kClaimed) {
                std::this_thread::yield();  // the claiming thread may have been put aside
                seen = room.load(std::memory_order_acquire);
            }
        }
        return seen;
    }

    // A brick being given its room.
    static constexpr std::uint32_t kClaimed = std::numeric_limits<std::uint32_t>::max();

    OccupancyGrid& grid_;
    const TriangleMesh& mesh_;
    static constexpr int kPageShift = OccupancyGrid::kPageShift;
    float half_ = 0.0f;
    double largest_ = 0.0;
    std::uint64_t build_ = 0;
    mutable std::atomic<std::uint32_t> roomsTaken_{0};
};

// The triangles to mark, each list of three corner indices once: a copy
// marks the very cells its original marked, and a pile of copies of one
// large triangle would otherwise cost as many times its cells.
std::vector<std::uint32_t> TrianglesOnceEach(const TriangleMesh& mesh) {
    std::vector<std::uint32_t> order(mesh.TriangleCount());
    std::iota(order.begin(), order.end(), 0u);
    const auto corners = [&](std::uint32_t t) {
        const std::uint32_t* i = &mesh.indices[3 * std::size_t{t}];
        return std::make_tuple(i[0], i[1], i[2]);
    };
    std::sort(std::execution::par, order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return corners(a) < corners(b); });
    order.erase(std::unique(order.begin(), order.end(),
                            [&](std::uint32_t a, std::uint32_t b) { return corners(a) == corners(b); }),
                order.end());
    return order;
}

// Triangles or pieces of them per chunk of the marking: small enough that
// a stop is seen soon on a part of few long triangles.
constexpr std::uint64_t kMarkChunk = 64;
// Slabs per piece of a triangle, on a part of fewer triangles than
// kFewTriangles; on a larger part each triangle is marked whole.
constexpr std::int32_t kPieceSlabs = 32;
constexpr std::size_t kFewTriangles = 2048;

// A stretch of at most kPieceSlabs of one triangle's slabs.
struct MarkPiece {
    std::uint32_t triangle;
    std::int32_t first, last;
};

// The pieces of marking work. A part of few triangles has its triangles'
// slabs cut into pieces, ordered by the stretch of slabs they lie in and,
// within one, as the triangles come: the threads each take a run of the
// list, so there are enough runs to share out evenly and they mark
// stretches apart, while side by side a run's pieces reuse each other's
// marked boxes. The 512 sides of a rod of 256 segments lying across the
// axes carry nearly all its cost and all run its whole length: marked a
// triangle at a time they made 8 chunks, one thread could take two, and the
// threads wrote into the same few cache lines of each row in step. On a
// larger part the chunks are many, and a piece's setup would cost more than
// the cutting saves (a cone of 50,000 slivers, whose cells its neighbours
// mark before it comes).
std::vector<MarkPiece> MarkingPieces(const SurfaceMarker& marker, const std::vector<std::uint32_t>& triangles,
                                     std::int32_t longestSide) {
    std::vector<MarkPiece> pieces;
    if (triangles.size() >= kFewTriangles) return pieces;
    for (const std::uint32_t t : triangles) {
        std::int32_t from[3], to[3];
        int w = 0;
        if (!marker.SlabsOf(t, from, to, w)) continue;
        for (std::int32_t first = from[w]; first <= to[w]; first += kPieceSlabs)
            pieces.push_back({t, first, first + kPieceSlabs - 1});
    }
    const std::size_t stretches = static_cast<std::size_t>(longestSide / kPieceSlabs) + 1;
    std::vector<MarkPiece> ordered(pieces.size());
    StableBucketPlace(
        pieces.size(), stretches,
        [&](std::size_t i) { return static_cast<std::size_t>(pieces[i].first / kPieceSlabs); },
        [&](std::size_t i, std::uint64_t at) { ordered[at] = pieces[i]; });
    return ordered;
}

}  // namespace

bool TriangleOverlapsCube(const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& centre, float halfEdge) {
    return TriangleCubeTest(a, b, c, halfEdge).Overlaps(centre);
}

bool OccupancyGrid::Build(const TriangleMesh& mesh, std::int32_t requestedCells, const ProgressCallback& progress) {
    *this = OccupancyGrid{};
    const auto start = std::chrono::steady_clock::now();
    if (!IsValidMesh(mesh) || mesh.vertices.empty()) return true;

    Vec3f lo = mesh.boundsMin;
    Vec3f hi = mesh.boundsMax;
    if (!mesh.boundsValid) {
        lo = hi = mesh.vertices.front().position;
        for (const Vertex& v : mesh.vertices) {
            if (!IsFinite(v.position)) return true;
            lo = Min(lo, v.position);
            hi = Max(hi, v.position);
        }
    }
    // A coordinate that is not finite would give a cell count that cannot
    // be held; such a part is treated like a broken one.
    if (!IsFinite(lo) || !IsFinite(hi)) return true;
    resolution = std::clamp(requestedCells, kMinimumResolution, kMaximumResolution);
    // Stale cached bounds may even be turned over; the grid then only covers less.
    const Vec3f extent = Max(hi - lo, Vec3f{});
    cellSize = std::max({extent.x, extent.y, extent.z, 0.001f}) / static_cast<float>(resolution);
    for (int axis = 0; axis < 3; ++axis) {
        dimensions[axis] = static_cast<std::int32_t>(std::ceil(extent[axis] / cellSize)) + 5;
        origin[axis] = lo[axis] - 2.0f * cellSize;
    }
    std::size_t places = std::size_t{1} << (3 * kBrickShift);
    for (int axis = 0; axis < 3; ++axis) {
        brickStride[axis] = places;
        places *= (static_cast<std::size_t>(dimensions[axis]) + kBrickMask) >> kBrickShift;
    }
    // Sized from empty, so the cells are the zero pages the system hands
    // out, and only the rooms the bricks take are written.
    cells.resize(places);
    brickRooms.assign(places >> kPageShift, 0);

    const SurfaceMarker marker(*this, mesh);
    const std::vector<std::uint32_t> triangles = TrianglesOnceEach(mesh);
    const std::vector<MarkPiece> pieces =
        MarkingPieces(marker, triangles, std::max({dimensions[0], dimensions[1], dimensions[2]}));
    const std::size_t work = pieces.empty() ? triangles.size() : pieces.size();
    // Counted as they are marked: counting afterwards would read the whole
    // box, most of which no triangle comes near.
    std::atomic<std::uint64_t> marked{0};
    const auto markChunk = [&](std::uint64_t begin, std::uint64_t end) {
        constexpr std::int32_t kEvery[2] = {std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max()};
        std::uint64_t chunkMarked = 0;
        for (std::uint64_t i = begin; i < end; ++i) {
            chunkMarked += pieces.empty() ? marker.Mark(triangles[i], kEvery[0], kEvery[1])
                                          : marker.Mark(pieces[i].triangle, pieces[i].first, pieces[i].last);
        }
        marked.fetch_add(chunkMarked, std::memory_order_relaxed);
    };
    if (!progress) {
        ForEachChunk(work, kMarkChunk, markChunk);
    } else {
        CancelContext context;
        context.callback = &progress;
        context.stageName = kOccupancyStage;
        const ScopedCancelContext published(context);
        try {
            ParallelForChunks<kMarkChunk>(
                work, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) { markChunk(begin, end); });
        } catch (const Stopped&) {
            *this = OccupancyGrid{};
            return false;
        }
    }
    cellsX = dimensions[0];
    cellsY = dimensions[1];
    cellsZ = dimensions[2];
    cellSizeMillimetres = cellSize;
    surfaceCells = marked.load();
    bricksMarked = marker.RoomsTaken();
    buildMilliseconds =
        static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count()) /
        1e6;
    return true;
}

bool OccupancyGrid::RayLeaves(const Vec3f& point, const Vec3f& direction) const {
    if (IsEmpty()) return true;
    const Vec3f d = Normalize(direction);
    if (d == Vec3f{} || !IsFinite(d) || !IsFinite(point)) return true;
    double s[3];
    std::int64_t cell[3], step[3];
    double tDelta[3], tMax[3];
    for (int axis = 0; axis < 3; ++axis) {
        s[axis] = (static_cast<double>(point[axis]) - origin[axis]) / cellSize + d[axis];
        // Far outside the grid: also keeps the cell number within 64 bits.
        if (!(std::fabs(s[axis]) < 1e15)) return true;
        cell[axis] = static_cast<std::int64_t>(std::floor(s[axis]));
        step[axis] = d[axis] > 0.0f ? 1 : (d[axis] < 0.0f ? -1 : 0);
        if (step[axis] == 0) {
            tDelta[axis] = 1e30;
            tMax[axis] = 1e30;
        } else {
            tDelta[axis] = std::fabs(1.0 / d[axis]);
            const double boundary = static_cast<double>(step[axis] > 0 ? cell[axis] + 1 : cell[axis]);
            tMax[axis] = std::fabs(boundary - s[axis]) * tDelta[axis];
        }
    }
    const std::int64_t maximumSteps = std::int64_t{cellsX} + cellsY + cellsZ + 4;
    for (int axis = 0; axis < 3; ++axis) {
        if (cell[axis] < 0 || cell[axis] >= dimensions[axis]) return true;
    }
    // The axis is picked without a branch and the cell held in scalars: a
    // ray across the box of a part lying along the diagonal turns a
    // different way nearly every step, and a mispredicted turn cost more
    // than the step. Adding zero to the other two leaves them exactly as
    // they were. The index is worked out again from the cell at each step,
    // a few shifts, rather than followed across the bricks' edges.
    double tx = tMax[0], ty = tMax[1], tz = tMax[2];
    std::int64_t cx = cell[0], cy = cell[1], cz = cell[2];
    const auto nx = static_cast<std::uint64_t>(dimensions[0]), ny = static_cast<std::uint64_t>(dimensions[1]),
               nz = static_cast<std::uint64_t>(dimensions[2]);
    bool leftStart = false;
    int shellCells = 0;
    for (std::int64_t i = 0; i < maximumSteps; ++i) {
        if (Cell(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy), static_cast<std::int32_t>(cz)) == 0) {
            leftStart = true;
        } else if (leftStart || ++shellCells > kOwnShellCells) {
            return false;
        }
        const bool alongX = tx < ty && tx < tz;
        const bool alongY = !alongX && ty < tz;
        const bool alongZ = !alongX && !alongY;
        tx += alongX ? tDelta[0] : 0.0;
        ty += alongY ? tDelta[1] : 0.0;
        tz += alongZ ? tDelta[2] : 0.0;
        cx += alongX ? step[0] : 0;
        cy += alongY ? step[1] : 0;
        cz += alongZ ? step[2] : 0;
        // A cell below 0 wraps to far above the count.
        if ((static_cast<std::uint64_t>(cx) >= nx) | (static_cast<std::uint64_t>(cy) >= ny) |
            (static_cast<std::uint64_t>(cz) >= nz))
            return true;
    }
    return true;
}

std::string FormatOccupancyGridReport(const OccupancyGrid& grid) {
    std::ostringstream out;
    out << "Occupancy grid: " << grid.cellsX << " x " << grid.cellsY << " x " << grid.cellsZ << " cells of "
        << grid.cellSizeMillimetres << " mm, " << grid.surfaceCells << " on the surface, built in "
        << grid.buildMilliseconds << " ms";
    return out.str();
}

}  // namespace ridgeforge::mesh
