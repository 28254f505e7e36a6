// Filling one hole by ear clipping (Meisters, "Polygons Have Ears", 1975) in
// the plane of the loop's Newell vector.
//
// Every clip takes the first ear in the list's order, or, when there is
// none, the corner that turns most. A plain scan that tests each corner
// against every other one costs the square of the loop's length even when
// the first corner is an ear: a hole of tens of thousands of corners (the
// open end of a finely divided tube) took seconds. The same clips are found
// here with less work:
// - the list is linked, so a clip costs no shifting;
// - each corner's turn is kept, and only the two neighbours of a clipped
//   corner get a new one;
// - the test for a corner inside an ear looks only at the corners in the
//   cells of a grid that the ear meets: a corner farther from the ear than
//   a millionth of the loop's size and place fails one of the three sides
//   by far more than their rounding;
// - a convex corner found blocked remembers the corner that blocks it; while
//   that one stays and its own neighbours do not change, it stays blocked,
//   as the same test on the same points says so again.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "relief/repair/ExportCleanup.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
// A loop is a curve, so most cells of its box stay empty; cells of a few
// points each keep the rows that a long ear crosses few.
constexpr std::size_t kPointsPerCell = 8;

double Turn(const Vec3d& a, const Vec3d& b, const Vec3d& q) {
    return (b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x);
}

bool IsFinite2(const Vec3d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The loop's points bucketed into square cells, a few a cell; points that
// are not finite go to a list every search reads. A clipped point leaves its
// cell.
class PointCells {
public:
    explicit PointCells(const std::vector<Vec3d>& q) {
        bool any = false;
        for (const Vec3d& p : q) {
            if (!IsFinite2(p)) continue;
            low_ = any ? Vec3d{std::min(low_.x, p.x), std::min(low_.y, p.y), 0.0} : p;
            high_ = any ? Vec3d{std::max(high_.x, p.x), std::max(high_.y, p.y), 0.0} : p;
            any = true;
        }
        const double width = high_.x - low_.x, height = high_.y - low_.y;
        const double count = static_cast<double>(std::max<std::size_t>(q.size() / kPointsPerCell, 1));
        size_ = std::max(std::sqrt(width * height / count), std::max(width, height) / count);
        if (!(size_ > 0.0) || !std::isfinite(size_)) size_ = 1.0;
        columns_ = Cells(width);
        rows_ = Cells(height);
        // Past a millionth of the loop's size and place, no rounding of the
        // side tests can reach.
        pad_ = 1e-6 * (std::max(width, height) +
                       std::max({std::fabs(low_.x), std::fabs(low_.y), std::fabs(high_.x), std::fabs(high_.y)}));
        if (!std::isfinite(pad_)) pad_ = 0.0;
        start_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_) + 1, 0);
        for (const Vec3d& p : q) {
            if (IsFinite2(p)) ++start_[Cell(p) + 1];
        }
        for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        points_.resize(start_.back());
        end_.assign(start_.begin(), start_.end() - 1);
        where_.assign(q.size(), kNone);
        cellOf_.assign(q.size(), 0);
        for (std::uint32_t i = 0; i < q.size(); ++i) {
            if (IsFinite2(q[i])) {
                cellOf_[i] = Cell(q[i]);
                where_[i] = end_[cellOf_[i]]++;
                points_[where_[i]] = i;
            } else {
                everywhere_.push_back(i);
            }
        }
    }

    // Takes a clipped point out of its cell, so that no later search reads it.
    void Remove(std::uint32_t i) {
        if (where_[i] == kNone) return;
        const std::uint32_t last = --end_[cellOf_[i]];
        const std::uint32_t moved = points_[last];
        points_[where_[i]] = moved;
        where_[moved] = where_[i];
        points_[last] = i;
        where_[i] = kNone;
    }

    // Calls test(i) for every point that may lie in the box of a, b and c,
    // until it returns true; returns whether one did.
    template <typename Test>
    bool AnyNear(const Vec3d& a, const Vec3d& b, const Vec3d& c, const Test& test) const {
        for (const std::uint32_t i : everywhere_) {
            if (test(i)) return true;
        }
        if (!IsFinite2(a) || !IsFinite2(b) || !IsFinite2(c)) {
            for (std::size_t cell = 0; cell < end_.size(); ++cell) {
                for (std::uint32_t k = start_[cell]; k < end_[cell]; ++k) {
                    if (test(points_[k])) return true;
                }
            }
            return false;
        }
        const std::int64_t y0 = Index(std::min({a.y, b.y, c.y}) - pad_, low_.y, rows_);
        const std::int64_t y1 = Index(std::max({a.y, b.y, c.y}) + pad_, low_.y, rows_);
        // Each edge as a start, a run along x and y, and the inverse of its run along y.
        struct Edge {
            double x, y, dx, dy, inverse;
        };
        Edge edges[3];
        const Vec3d* const corners[3] = {&a, &b, &c};
        for (int e = 0; e < 3; ++e) {
            const Vec3d& from = *corners[e];
            const Vec3d& to = *corners[(e + 1) % 3];
            edges[e] = {from.x, from.y, to.x - from.x, to.y - from.y, 0.0};
            if (edges[e].dy != 0.0) edges[e].inverse = 1.0 / edges[e].dy;
        }
        for (std::int64_t y = y0; y <= y1; ++y) {
            // The triangle's reach along x within the row's band: a long
            // thin ear across the loop meets few of the cells of its box.
            const double bandLow = low_.y + static_cast<double>(y) * size_ - pad_;
            const double bandHigh = low_.y + static_cast<double>(y + 1) * size_ + pad_;
            double xLow = std::numeric_limits<double>::infinity(), xHigh = -xLow;
            for (const Edge& edge : edges) {
                double t0 = 0.0, t1 = 1.0;
                if (edge.dy != 0.0) {
                    t0 = std::clamp((bandLow - edge.y) * edge.inverse, 0.0, 1.0);
                    t1 = std::clamp((bandHigh - edge.y) * edge.inverse, 0.0, 1.0);
                }
                const double yA = edge.y + t0 * edge.dy, yB = edge.y + t1 * edge.dy;
                if (std::max(yA, yB) < bandLow || std::min(yA, yB) > bandHigh) continue;
                const double xA = edge.x + t0 * edge.dx, xB = edge.x + t1 * edge.dx;
                xLow = std::min({xLow, xA, xB});
                xHigh = std::max({xHigh, xA, xB});
            }
            if (!(xLow <= xHigh)) continue;
            const std::int64_t x0 = Index(xLow - pad_, low_.x, columns_);
            const std::int64_t x1 = Index(xHigh + pad_, low_.x, columns_);
            const auto row = static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_);
            for (std::size_t cell = row + static_cast<std::size_t>(x0); cell <= row + static_cast<std::size_t>(x1);
                 ++cell) {
                for (std::uint32_t k = start_[cell]; k < end_[cell]; ++k) {
                    if (test(points_[k])) return true;
                }
            }
        }
        return false;
    }

private:
    std::int64_t Cells(double extent) const {
        return std::max<std::int64_t>(static_cast<std::int64_t>(extent / size_) + 1, 1);
    }

    std::int64_t Index(double coordinate, double low, std::int64_t count) const {
        const double cell = std::floor((coordinate - low) / size_);
        return static_cast<std::int64_t>(std::clamp(cell, 0.0, static_cast<double>(count - 1)));
    }

    std::size_t Cell(const Vec3d& p) const {
        return static_cast<std::size_t>(Index(p.y, low_.y, rows_)) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(Index(p.x, low_.x, columns_));
    }

    Vec3d low_, high_;
    double size_ = 1.0, pad_ = 0.0;
    std::int64_t columns_ = 1, rows_ = 1;
    // Per cell, its points from start_ to end_ in points_; a point's place
    // there and its cell.
    std::vector<std::uint32_t> start_, end_, points_, where_, everywhere_;
    std::vector<std::size_t> cellOf_;
};

// The list of loop positions being clipped, in the order of the positions.
class EarClipping {
public:
    explicit EarClipping(const std::vector<Vec3d>& q)
        : q_(q),
          cells_(q),
          next_(q.size()),
          previous_(q.size()),
          turn_(q.size()),
          blocker_(q.size(), kNone),
          listed_(q.size(), 1),
          convex_((q.size() + 63) / 64, 0) {
        const auto n = static_cast<std::uint32_t>(q.size());
        for (std::uint32_t i = 0; i < n; ++i) {
            next_[i] = (i + 1) % n;
            previous_[i] = (i + n - 1) % n;
        }
        for (std::uint32_t i = 0; i < n; ++i) Measure(i);
    }

    // The position to clip: the first ear, else the first of the largest turn.
    std::uint32_t Choose() {
        // No position before the first listed one is listed, nor convex.
        for (std::size_t w = first_ / 64; w < convex_.size(); ++w) {
            for (std::uint64_t bits = convex_[w]; bits != 0; bits &= bits - 1) {
                const auto i = static_cast<std::uint32_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
                if (blocker_[i] != kNone && listed_[blocker_[i]] != 0) continue;
                blocker_[i] = FindBlocker(i);
                if (blocker_[i] == kNone) return i;
            }
        }
        std::uint32_t best = first_;
        double bestTurn = -std::numeric_limits<double>::infinity();
        std::uint32_t i = first_;
        do {
            if (turn_[i] > bestTurn) bestTurn = turn_[i], best = i;
            i = next_[i];
        } while (i != first_);
        return best;
    }

    // Takes the position out; its neighbours get a new turn.
    void Clip(std::uint32_t i) {
        const std::uint32_t p = previous_[i], n = next_[i];
        next_[p] = n;
        previous_[n] = p;
        listed_[i] = 0;
        cells_.Remove(i);
        SetConvex(i, false);
        if (first_ == i) first_ = n;
        Measure(p);
        Measure(n);
    }

    std::uint32_t First() const { return first_; }
    std::uint32_t Next(std::uint32_t i) const { return next_[i]; }
    std::uint32_t Previous(std::uint32_t i) const { return previous_[i]; }

private:
    void Measure(std::uint32_t i) {
        turn_[i] = Turn(q_[previous_[i]], q_[i], q_[next_[i]]);
        blocker_[i] = kNone;
        SetConvex(i, turn_[i] > 0.0);
    }

    void SetConvex(std::uint32_t i, bool convex) {
        const std::uint64_t bit = std::uint64_t{1} << (i % 64);
        convex_[i / 64] = convex ? (convex_[i / 64] | bit) : (convex_[i / 64] & ~bit);
    }

    // A listed position other than the ear's three inside or on the ear at i.
    std::uint32_t FindBlocker(std::uint32_t i) const {
        const std::uint32_t p = previous_[i], n = next_[i];
        const Vec3d &a = q_[p], &b = q_[i], &c = q_[n];
        std::uint32_t found = kNone;
        cells_.AnyNear(a, b, c, [&](std::uint32_t o) {
            if (listed_[o] == 0 || o == p || o == i || o == n) return false;
            if (!(Turn(a, b, q_[o]) >= 0.0 && Turn(b, c, q_[o]) >= 0.0 && Turn(c, a, q_[o]) >= 0.0)) return false;
            found = o;
            return true;
        });
        return found;
    }

    const std::vector<Vec3d>& q_;
    PointCells cells_;
    std::vector<std::uint32_t> next_, previous_;
    std::vector<double> turn_;
    std::vector<std::uint32_t> blocker_;
    std::vector<std::uint8_t> listed_;
    std::vector<std::uint64_t> convex_;
    std::uint32_t first_ = 0;
};

}  // namespace

LoopInPlane ProjectLoop(const TriangleMesh& mesh, const BoundaryLoop& loop) {
    LoopInPlane out;
    out.ring.assign(loop.vertices.rbegin(), loop.vertices.rend());
    const std::size_t n = out.ring.size();
    std::vector<Vec3d> p;
    for (std::uint32_t v : out.ring) p.push_back(ToDouble(mesh.vertices[v].position));
    Vec3d normal = NewellVector(p);
    if (Length(normal) <= 1e-12) {
        normal = ToDouble(mesh.FaceNormal(loop.triangle));
        if (!(Length(normal) > 0.0)) normal = {0.0, 0.0, 1.0};
    }
    normal = Length(normal) > 1e-12 ? normal / Length(normal) : Vec3d{};
    const Vec3d aside = std::abs(normal.x) < 0.9 ? Vec3d{1, 0, 0} : Vec3d{0, 1, 0};
    Vec3d u = Cross(aside, normal);
    u = Length(u) > 1e-12 ? u / Length(u) : Vec3d{};
    const Vec3d v = Cross(normal, u);
    std::vector<Vec3d>& q = out.points;
    q.resize(n);
    double shoelace = 0.0;
    for (std::size_t i = 0; i < n; ++i) q[i] = {Dot(p[i], u), Dot(p[i], v), 0.0};
    for (std::size_t i = 0; i < n; ++i) shoelace += q[i].x * q[(i + 1) % n].y - q[i].y * q[(i + 1) % n].x;
    if (shoelace < 0.0) {
        for (Vec3d& point : q) point.x = -point.x;
    }
    return out;
}

std::uint64_t FillHole(TriangleMesh& mesh, const BoundaryLoop& loop) {
    const std::size_t n = loop.vertices.size();
    if (n < 3) return 0;
    const LoopInPlane plane = ProjectLoop(mesh, loop);
    const std::vector<std::uint32_t>& ring = plane.ring;

    std::uint64_t added = 0;
    const auto emit = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        mesh.indices.insert(mesh.indices.end(), {ring[a], ring[b], ring[c]});
        ++added;
    };
    EarClipping clipping(plane.points);
    for (std::size_t left = n; left > 3; --left) {
        const std::uint32_t at = clipping.Choose();
        emit(clipping.Previous(at), at, clipping.Next(at));
        clipping.Clip(at);
    }
    const std::uint32_t first = clipping.First();
    emit(first, clipping.Next(first), clipping.Next(clipping.Next(first)));
    return added;
}

}  // namespace ridgeforge::mesh
