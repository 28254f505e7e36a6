// Orientation filter and its exact fallback. The filter's bound, 2^-50 times
// the permanent, is above Shewchuk's first-stage bound (7 + 56u)u with
// u = 2^-53, so a sign it returns is the exact sign. The fallback forms every
// difference and product without rounding and sums them in one expansion.
#include "relief/validation/ExactPredicates.h"

#include <atomic>
#include <cmath>
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

}  // namespace

void GrowExpansion(std::vector<double>& expansion, double value) {
    double carry = value;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < expansion.size(); ++i) {
        const TwoTerm s = TwoSum(carry, expansion[i]);
        carry = s.hi;
        if (s.lo != 0.0) expansion[kept++] = s.lo;
    }
    expansion.resize(kept);
    if (carry != 0.0) expansion.push_back(carry);
}

int Orient3dExact(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Vec3d& d) {
    Bump(LocalCounts().exactTests);
    // Rows of the determinant, each component an exact two-term difference.
    TwoTerm rows[3][3];
    const Vec3d* points[3] = {&b, &c, &d};
    for (int r = 0; r < 3; ++r) {
        for (int axis = 0; axis < 3; ++axis) rows[r][axis] = TwoDiff((*points[r])[axis], a[axis]);
    }
    // Leibniz: sign and the axes that b, c and d contribute.
    static constexpr int kPermutations[6][4] = {{+1, 0, 1, 2}, {+1, 1, 2, 0}, {+1, 2, 0, 1},
                                                {-1, 0, 2, 1}, {-1, 1, 0, 2}, {-1, 2, 1, 0}};
    std::vector<double> sum;
    sum.reserve(64);
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
            GrowExpansion(sum, sign * high.lo);
            GrowExpansion(sum, sign * low.lo);
            GrowExpansion(sum, sign * low.hi);
            GrowExpansion(sum, sign * high.hi);
        }
    }
    return sum.empty() ? 0 : Sign(sum.back());
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
