// Orientation filter and its exact fallback. The filter's bound, 2^-50 times
// the permanent, is above Shewchuk's first-stage bound (7 + 56u)u with
// u = 2^-53, so a sign it returns is the exact sign. The fallback first tries
// 128-bit integers on each axis's finest binary step, which float coordinates
// of one part fit; otherwise it forms every difference and product without
// rounding and sums them in one expansion.
#include "relief/validation/ExactPredicates.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <mutex>

namespace ridgeforge::mesh {
namespace {

// Counters owned by one thread each, so that counting costs no shared cache
// line; they are summed only when asked for. They are never freed, so a sum
// stays right after a thread has ended.
struct ThreadCounts {
    std::atomic<std::uint64_t> tests{0};
    std::atomic<std::uint64_t> exactTests{0};
};

std::mutex& RegistryGuard() {
    static std::mutex guard;
    return guard;
}

std::vector<ThreadCounts*>& Registry() {
    static auto* registry = new std::vector<ThreadCounts*>();
    return *registry;
}

ThreadCounts& LocalCounts() {
    thread_local ThreadCounts* mine = nullptr;
    if (mine == nullptr) {
        auto* counts = new ThreadCounts();
        const std::lock_guard<std::mutex> lock(RegistryGuard());
        Registry().push_back(counts);
        mine = counts;
    }
    return *mine;
}

void Bump(std::atomic<std::uint64_t>& counter) {
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

// A value as the exact sum hi + lo.
struct TwoTerm {
    double hi;
    double lo;
};

// Knuth's Two-Sum: a + b = sum + error exactly, in any magnitude order.
TwoTerm TwoSum(double a, double b) {
    const double sum = a + b;
    const double bVirtual = sum - a;
    const double aVirtual = sum - bVirtual;
    return {sum, (a - aVirtual) + (b - bVirtual)};
}

TwoTerm TwoDiff(double a, double b) { return TwoSum(a, -b); }

TwoTerm TwoProduct(double a, double b) {
    const double product = a * b;
    return {product, std::fma(a, b, -product)};
}

int Sign(double v) { return (v > 0.0) - (v < 0.0); }

// Grows the n terms at `terms` by value in place, zeros dropped; returns the
// new count, at most n + 1, for which the array must have room.
std::size_t Grow(double* terms, std::size_t n, double value) {
    double carry = value;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const TwoTerm s = TwoSum(carry, terms[i]);
        carry = s.hi;
        if (s.lo != 0.0) terms[kept++] = s.lo;
    }
    if (carry != 0.0) terms[kept++] = carry;
    return kept;
}

// A double as sign x odd x 2^low; odd is 0 for a zero, and the value is not
// finite when finite is false.
struct OddPart {
    std::uint64_t odd = 0;
    int low = 0;
    bool negative = false;
    bool finite = true;
};

OddPart Decompose(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    OddPart p;
    p.negative = (bits >> 63) != 0;
    if (biased == 0x7FF) {
        p.finite = false;
        return p;
    }
    if (biased != 0) mantissa |= std::uint64_t{1} << 52;
    if (mantissa == 0) return p;
    const int zeros = std::countr_zero(mantissa);
    p.odd = mantissa >> zeros;
    p.low = (biased == 0 ? -1074 : biased - 1075) + zeros;
    return p;
}

// Coordinates on one axis as integers on the finest binary step any of them
// uses; false when one is not finite or not below 2^40 on that step.
bool AxisOnGrid(const double (&values)[4], std::int64_t (&out)[4]) {
    OddPart parts[4];
    int step = std::numeric_limits<int>::max();
    for (int k = 0; k < 4; ++k) {
        parts[k] = Decompose(values[k]);
        if (!parts[k].finite) return false;
        if (parts[k].odd != 0) step = std::min(step, parts[k].low);
    }
    for (int k = 0; k < 4; ++k) {
        const OddPart& p = parts[k];
        if (p.odd == 0) {
            out[k] = 0;
            continue;
        }
        const int shift = p.low - step;
        if (shift >= 40 || std::bit_width(p.odd) + shift > 40) return false;
        const auto n = static_cast<std::int64_t>(p.odd << shift);
        out[k] = p.negative ? -n : n;
    }
    return true;
}

// The sign in 128-bit integers when every axis fits its grid (float
// coordinates of one part nearly always do): differences stay below 2^41,
// each term of the determinant below 2^124 and their sum below 2^126, so
// nothing overflows and the sign is exact; scaling an axis by a power of two
// does not change it. 2 when the coordinates do not fit.
int Orient3dOnGrid(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    __int128 row[3][3];
    for (int axis = 0; axis < 3; ++axis) {
        const double values[4] = {a[axis], b[axis], c[axis], d[axis]};
        std::int64_t n[4];
        if (!AxisOnGrid(values, n)) return 2;
        for (int r = 0; r < 3; ++r) row[r][axis] = static_cast<__int128>(n[r + 1] - n[0]);
    }
    const auto& [bx, by, bz] = row[0];
    const auto& [cx, cy, cz] = row[1];
    const auto& [dx, dy, dz] = row[2];
    const __int128 det = bx * (cy * dz - cz * dy) - by * (cx * dz - cz * dx) + bz * (cx * dy - cy * dx);
    return (det > 0) - (det < 0);
}

// Two coordinates in common: the three points lie on a line along the third axis.
bool OnAxisLine(const Vec3d& p, const Vec3d& q, const Vec3d& r) {
    int common = 0;
    for (int axis = 0; axis < 3; ++axis) common += (p[axis] == q[axis] && p[axis] == r[axis]) ? 1 : 0;
    return common >= 2;
}

}  // namespace

void GrowExpansion(std::vector<double>& expansion, double value) {
    const std::size_t n = expansion.size();
    expansion.push_back(0.0);
    expansion.resize(Grow(expansion.data(), n, value));
}

int Orient3dExact(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    Bump(LocalCounts().exactTests);
    // Four points with one coordinate in common lie in a plane across that
    // axis: a column of the determinant is zero, and so is the determinant.
    // Flat faces along the axes, common on real parts, put most of the
    // neighbours the filter cannot decide there.
    for (int axis = 0; axis < 3; ++axis) {
        if (a[axis] == b[axis] && a[axis] == c[axis] && a[axis] == d[axis]) return 0;
    }
    // Three of them on one line along an axis make two rows of the
    // determinant parallel. Neighbours in a flat grid seen along the axis
    // across it (the in-plane tests) meet this way along every grid line.
    if (OnAxisLine(a, b, c) || OnAxisLine(a, b, d) || OnAxisLine(a, c, d) || OnAxisLine(b, c, d)) return 0;
    const int onGrid = Orient3dOnGrid(a, b, c, d);
    return onGrid != 2 ? onGrid : Orient3dByExpansion(a, b, c, d);
}

int Orient3dByExpansion(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    // Rows of the determinant, each component an exact two-term difference.
    TwoTerm rows[3][3];
    const Vec3d* points[3] = {&b, &c, &d};
    for (int r = 0; r < 3; ++r) {
        for (int axis = 0; axis < 3; ++axis) rows[r][axis] = TwoDiff((*points[r])[axis], a[axis]);
    }
    // Leibniz: sign and the axes that b, c and d contribute.
    static constexpr int kPermutations[6][4] = {{+1, 0, 1, 2}, {+1, 1, 2, 0}, {+1, 2, 0, 1},
                                                {-1, 0, 2, 1}, {-1, 1, 0, 2}, {-1, 2, 1, 0}};
    // Each product adds at most four terms: the sum lives on the stack.
    double sum[6 * 8 * 4];
    std::size_t terms = 0;
    for (const auto& p : kPermutations) {
        const TwoTerm& x = rows[0][p[1]];
        const TwoTerm& y = rows[1][p[2]];
        const TwoTerm& z = rows[2][p[3]];
        for (int k = 0; k < 8; ++k) {
            const double xv = (k & 1) ? x.lo : x.hi;
            const double yv = (k & 2) ? y.lo : y.hi;
            const double zv = (k & 4) ? z.lo : z.hi;
            if (xv == 0.0 || yv == 0.0 || zv == 0.0) continue;
            const TwoTerm xy = TwoProduct(xv, yv);
            const TwoTerm high = TwoProduct(xy.hi, zv);
            const TwoTerm low = TwoProduct(xy.lo, zv);
            const double sign = p[0];
            terms = Grow(sum, terms, sign * high.lo);
            terms = Grow(sum, terms, sign * low.lo);
            terms = Grow(sum, terms, sign * low.hi);
            terms = Grow(sum, terms, sign * high.hi);
        }
    }
    return terms == 0 ? 0 : Sign(sum[terms - 1]);
}

int Orient3d(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    Bump(LocalCounts().tests);
    const double bx = b.x - a.x, by = b.y - a.y, bz = b.z - a.z;
    const double cx = c.x - a.x, cy = c.y - a.y, cz = c.z - a.z;
    const double dx = d.x - a.x, dy = d.y - a.y, dz = d.z - a.z;
    const double det = (dz * cy - dy * cz) * bx - (dz * cx - dx * cz) * by + (dy * cx - dx * cy) * bz;
    const double permanent = (std::abs(dz * cy) + std::abs(dy * cz)) * std::abs(bx) +
                             (std::abs(dz * cx) + std::abs(dx * cz)) * std::abs(by) +
                             (std::abs(dy * cx) + std::abs(dx * cy)) * std::abs(bz);
    if (std::abs(det) > permanent * 8.881784197001252e-16) return Sign(det);
    return Orient3dExact(a, b, c, d);
}

OrientationCounts OrientationTestCounts() {
    OrientationCounts total;
    const std::lock_guard<std::mutex> lock(RegistryGuard());
    for (const ThreadCounts* counts : Registry()) {
        total.tests += counts->tests.load(std::memory_order_relaxed);
        total.exactTests += counts->exactTests.load(std::memory_order_relaxed);
    }
    return total;
}

}  // namespace ridgeforge::mesh
