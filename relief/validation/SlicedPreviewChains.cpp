// Chains of a sliced layer and the drawable geometry built from them.
#include <algorithm>
#include <cmath>
#include <utility>

#include "relief/validation/SlicedPreview.h"

namespace ridgeforge::mesh {

namespace {

std::uint64_t PointKey(Point2 p) {
    const auto u = static_cast<std::uint64_t>(std::llround(static_cast<double>(p.u) * 10000.0));
    const auto v = static_cast<std::uint64_t>(std::llround(static_cast<double>(p.v) * 10000.0));
    return (u << 32) | (v & 0xFFFFFFFFull);
}

Point2 operator-(Point2 a, Point2 b) { return {a.u - b.u, a.v - b.v}; }
float Dot2(Point2 a, Point2 b) { return a.u * b.u + a.v * b.v; }

std::uint32_t AddVertex(TriangleMesh& mesh, const Vec3f& position, const Vec3f& normal) {
    mesh.vertices.push_back({position, normal});
    return static_cast<std::uint32_t>(mesh.vertices.size() - 1);
}

}  // namespace

void ChainSegments(const std::vector<Segment2>& segments, std::vector<Chain>& chains) {
    // (start key, segment) sorted stably: segments that start at one point keep their order.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> starts(segments.size());
    for (std::size_t i = 0; i < segments.size(); ++i)
        starts[i] = {PointKey(segments[i].start), static_cast<std::uint32_t>(i)};
    std::stable_sort(starts.begin(), starts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::uint8_t> taken(segments.size(), 0);
    for (std::size_t s = 0; s < segments.size(); ++s) {
        if (taken[s]) continue;
        taken[s] = 1;
        Chain chain;
        chain.points = {segments[s].start, segments[s].end};
        for (;;) {
            const std::uint64_t key = PointKey(chain.points.back());
            auto it = std::lower_bound(starts.begin(), starts.end(), std::pair{key, std::uint32_t{0}},
                                       [](const auto& a, const auto& b) { return a.first < b.first; });
            bool followed = false, backAtStart = false;
            for (; it != starts.end() && it->first == key; ++it) {
                if (it->second == s) {
                    backAtStart = true;
                    continue;
                }
                if (taken[it->second]) continue;
                taken[it->second] = 1;
                chain.points.push_back(segments[it->second].end);
                followed = true;
                break;
            }
            if (followed) continue;
            if (backAtStart) {
                chain.points.pop_back();
                chain.closed = true;
            }
            break;
        }
        if (chain.points.size() >= 2) chains.push_back(std::move(chain));
    }
}

float PointSegmentDistance(Point2 p, Point2 start, Point2 end) {
    const Point2 d = end - start;
    const float length2 = Dot2(d, d);
    if (length2 == 0.0f) return std::hypot(p.u - start.u, p.v - start.v);
    const float t = std::clamp(Dot2(p - start, d) / length2, 0.0f, 1.0f);
    return std::hypot(p.u - (start.u + t * d.u), p.v - (start.v + t * d.v));
}

Point2 SegmentNormal2D(Point2 start, Point2 end) {
    const Point2 d = end - start;
    const float length = std::hypot(d.u, d.v);
    if (length == 0.0f) return {0.0f, 0.0f};
    return {d.v / length, -d.u / length};
}

void SimplifyChain(Chain& chain, float tolerance) {
    if (!(tolerance > 0.0f) || chain.points.size() < 3) return;
    std::vector<Point2> p = chain.points;
    if (chain.closed) p.push_back(p.front());
    std::vector<std::uint8_t> keep(p.size(), 0);
    keep.front() = keep.back() = 1;
    std::vector<std::pair<std::size_t, std::size_t>> ranges{{0, p.size() - 1}};
    while (!ranges.empty()) {
        const auto [i, j] = ranges.back();
        ranges.pop_back();
        if (j <= i + 1) continue;
        std::size_t farthest = i + 1;
        float largest = -1.0f;
        for (std::size_t k = i + 1; k < j; ++k) {
            const float d = PointSegmentDistance(p[k], p[i], p[j]);
            if (d > largest) largest = d, farthest = k;
        }
        if (largest > tolerance) {
            keep[farthest] = 1;
            ranges.emplace_back(i, farthest);
            ranges.emplace_back(farthest, j);
        }
    }
    const std::size_t count = chain.closed ? p.size() - 1 : p.size();
    std::vector<Point2> kept;
    for (std::size_t k = 0; k < count; ++k) {
        if (keep[k]) kept.push_back(p[k]);
    }
    if (chain.closed && kept.size() >= 4 && PointSegmentDistance(kept.front(), kept.back(), kept[1]) <= tolerance) {
        kept.erase(kept.begin());
    }
    chain.points = std::move(kept);
}

void AddBeadWall(const Chain& chain, float middleHeight, float halfSlabHeight, float halfBeadWidth,
                 const LayerAxes& axes, TriangleMesh& mesh, std::uint64_t& beadSegments) {
    const std::vector<Point2>& p = chain.points;
    const std::size_t n = p.size();
    if (n < 2) return;
    const std::size_t segments = chain.closed ? n : n - 1;
    const Vec3f up = ModelPoint(axes, 0.0f, 0.0f, 1.0f), down = ModelPoint(axes, 0.0f, 0.0f, -1.0f);
    const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
    for (std::size_t i = 0; i < n; ++i) {
        const bool hasArriving = chain.closed || i > 0, hasLeaving = chain.closed || i + 1 < n;
        const Point2 arriving = hasArriving ? SegmentNormal2D(p[(i + n - 1) % n], p[i]) : Point2{};
        const Point2 leaving = hasLeaving ? SegmentNormal2D(p[i], p[(i + 1) % n]) : Point2{};
        Point2 m = hasArriving ? arriving : leaving;
        float factor = 1.0f;
        if (hasArriving && hasLeaving) {
            const Point2 sum{arriving.u + leaving.u, arriving.v + leaving.v};
            const float length = std::hypot(sum.u, sum.v);
            if (length > 1e-6f) {
                m = {sum.u / length, sum.v / length};
                factor = std::min(2.0f, 1.0f / std::max(0.5f, Dot2(m, arriving)));
            }
        }
        const float inset = halfBeadWidth * factor;
        const Point2 inner{p[i].u - m.u * inset, p[i].v - m.v * inset};
        AddVertex(mesh, ModelPoint(axes, p[i].u, p[i].v, middleHeight), ModelPoint(axes, m.u, m.v, 0.0f));
        AddVertex(mesh, ModelPoint(axes, inner.u, inner.v, middleHeight + halfSlabHeight), up);
        AddVertex(mesh, ModelPoint(axes, inner.u, inner.v, middleHeight - halfSlabHeight), down);
    }
    for (std::size_t s = 0; s < segments; ++s) {
        const std::uint32_t i = base + static_cast<std::uint32_t>(3 * s);
        const std::uint32_t j = base + static_cast<std::uint32_t>(3 * ((s + 1) % n));
        // Per point: outer, upper inner, lower inner.
        mesh.indices.insert(mesh.indices.end(), {i, j, j + 1, i, j + 1, i + 1, i, j + 2, j, i, i + 2, j + 2});
    }
    beadSegments += segments;
}

void AddSkinRun(const LayerGrid& grid, const LayerAxes& axes, std::int32_t firstColumn, std::int32_t lastColumn,
                std::int32_t row, float h, bool facingUp, TriangleMesh& mesh) {
    const float u0 = grid.originU + static_cast<float>(firstColumn) * grid.cell;
    const float u1 = grid.originU + static_cast<float>(lastColumn + 1) * grid.cell;
    const float v0 = grid.originV + static_cast<float>(row) * grid.cell;
    const float v1 = v0 + grid.cell;
    const Vec3f normal = ModelPoint(axes, 0.0f, 0.0f, facingUp ? 1.0f : -1.0f);
    const std::uint32_t a = AddVertex(mesh, ModelPoint(axes, u0, v0, h), normal);
    const std::uint32_t b = AddVertex(mesh, ModelPoint(axes, u1, v0, h), normal);
    const std::uint32_t c = AddVertex(mesh, ModelPoint(axes, u1, v1, h), normal);
    const std::uint32_t d = AddVertex(mesh, ModelPoint(axes, u0, v1, h), normal);
    // u x v points up the build axis, so counter-clockwise in (u, v) faces up.
    if (facingUp) {
        mesh.indices.insert(mesh.indices.end(), {a, b, c, a, c, d});
    } else {
        mesh.indices.insert(mesh.indices.end(), {a, c, b, a, d, c});
    }
}

}  // namespace ridgeforge::mesh
