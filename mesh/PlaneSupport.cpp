#include "mesh/PlaneSupport.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <limits>
#include <numeric>

namespace ridgeforge::mesh {
namespace {

constexpr std::uint32_t kLeafSize = 32;
constexpr std::uint32_t kGroupSize = 32;

// Spreads the low 10 bits of v so that two zero bits follow each one.
std::uint32_t SpreadBits(std::uint32_t v) {
    v &= 0x3FF;
    v = (v | (v << 16)) & 0x030000FF;
    v = (v | (v << 8)) & 0x0300F00F;
    v = (v | (v << 4)) & 0x030C30C3;
    v = (v | (v << 2)) & 0x09249249;
    return v;
}

void Enclose(const Vec3f* begin, const Vec3f* end, Vec3f& lo, Vec3f& hi) {
    lo = Vec3f{1, 1, 1} * std::numeric_limits<float>::max();
    hi = -lo;
    for (const Vec3f* p = begin; p != end; ++p) {
        lo = Min(lo, *p);
        hi = Max(hi, *p);
    }
}

}  // namespace

PlaneSupport::PlaneSupport(const std::vector<Vec3f>& points) {
    points_.reserve(points.size());
    for (const Vec3f& p : points) (IsFinite(p) ? points_ : oddPoints_).push_back(p);
    if (points_.empty()) return;

    // Morton order keeps each block of points small in space.
    Vec3f lo, hi;
    Enclose(points_.data(), points_.data() + points_.size(), lo, hi);
    const Vec3d extent = ToDouble(hi) - ToDouble(lo);
    std::vector<std::uint64_t> order(points_.size());
    std::vector<std::uint32_t> codes(points_.size());
    std::transform(std::execution::par_unseq, points_.begin(), points_.end(), codes.begin(), [&](const Vec3f& p) {
        std::uint32_t code = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const double t = extent[axis] > 0 ? (double(p[axis]) - lo[axis]) / extent[axis] : 0.0;
            code |= SpreadBits(static_cast<std::uint32_t>(std::clamp(t, 0.0, 1.0) * 1023.0)) << axis;
        }
        return code;
    });
    std::iota(order.begin(), order.end(), std::uint64_t{0});
    std::transform(order.begin(), order.end(), order.begin(),
                   [&](std::uint64_t i) { return (std::uint64_t{codes[i]} << 32) | i; });
    std::sort(std::execution::par_unseq, order.begin(), order.end());
    std::vector<Vec3f> sorted(points_.size());
    for (std::size_t i = 0; i < order.size(); ++i) sorted[i] = points_[order[i] & 0xFFFFFFFFu];
    points_ = std::move(sorted);

    const auto count = static_cast<std::uint32_t>(points_.size());
    for (std::uint32_t begin = 0; begin < count; begin += kLeafSize) {
        Box box;
        box.begin = begin;
        box.end = std::min(count, begin + kLeafSize);
        Enclose(points_.data() + box.begin, points_.data() + box.end, box.lo, box.hi);
        leaves_.push_back(box);
    }
    const auto leafCount = static_cast<std::uint32_t>(leaves_.size());
    for (std::uint32_t begin = 0; begin < leafCount; begin += kGroupSize) {
        Box group;
        group.begin = begin;
        group.end = std::min(leafCount, begin + kGroupSize);
        group.lo = leaves_[begin].lo;
        group.hi = leaves_[begin].hi;
        for (std::uint32_t i = begin; i < group.end; ++i) {
            group.lo = Min(group.lo, leaves_[i].lo);
            group.hi = Max(group.hi, leaves_[i].hi);
        }
        groups_.push_back(group);
    }
}

bool PlaneSupport::BoxBehind(const Box& box, const Vec3f& n, float offset, float limit) const {
    // The largest exact n . p over the box, plus a bound on the rounding of the
    // float expression (a few units in the last place of its magnitudes).
    double bound = 0.0, magnitude = std::fabs(double(offset));
    for (int axis = 0; axis < 3; ++axis) {
        const double a = double(n[axis]) * box.lo[axis];
        const double b = double(n[axis]) * box.hi[axis];
        bound += std::max(a, b);
        magnitude += std::max(std::fabs(a), std::fabs(b));
    }
    // Near the float range the float sum may overflow where this one does not.
    if (!(magnitude < 1e37)) return false;
    const double rounding = magnitude * 1e-6 + 1e-37;
    return bound - double(offset) + rounding <= double(limit);
}

bool PlaneSupport::AllBehind(const Vec3f& normal, float offset, float limit) const {
    const auto behind = [&](const Vec3f& p) { return Dot(normal, p) - offset <= limit; };
    for (const Vec3f& p : oddPoints_) {
        if (!behind(p)) return false;
    }
    for (const Box& group : groups_) {
        if (BoxBehind(group, normal, offset, limit)) continue;
        for (std::uint32_t l = group.begin; l < group.end; ++l) {
            const Box& leaf = leaves_[l];
            if (BoxBehind(leaf, normal, offset, limit)) continue;
            for (std::uint32_t i = leaf.begin; i < leaf.end; ++i) {
                if (!behind(points_[i])) return false;
            }
        }
    }
    return true;
}

}  // namespace ridgeforge::mesh
