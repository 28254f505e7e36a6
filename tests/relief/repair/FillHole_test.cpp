#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "relief/repair/ExportCleanup.h"

using namespace ridgeforge::mesh;

namespace {

double Turn(const Vec3d& a, const Vec3d& b, const Vec3d& q) {
    return (b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x);
}

// The ear clipping as first written, on the same points in the plane: every
// pass scans the list from its start, testing each convex corner against
// every other listed one.
std::vector<std::uint32_t> ClipTestingEveryCorner(const TriangleMesh& mesh, const BoundaryLoop& loop) {
    std::vector<std::uint32_t> out;
    const std::size_t n = loop.vertices.size();
    if (n < 3) return out;
    const LoopInPlane plane = ProjectLoop(mesh, loop);
    const std::vector<std::uint32_t>& ring = plane.ring;
    const std::vector<Vec3d>& q = plane.points;
    std::vector<std::size_t> list(n);
    for (std::size_t i = 0; i < n; ++i) list[i] = i;
    const auto emit = [&](std::size_t a, std::size_t b, std::size_t c) {
        out.insert(out.end(), {ring[a], ring[b], ring[c]});
    };
    while (list.size() > 3) {
        const std::size_t m = list.size();
        std::size_t best = 0, ear = m;
        double bestTurn = -std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < m && ear == m; ++i) {
            const std::size_t prev = list[(i + m - 1) % m], cur = list[i], next = list[(i + 1) % m];
            const double turn = Turn(q[prev], q[cur], q[next]);
            if (turn > bestTurn) bestTurn = turn, best = i;
            if (!(turn > 0.0)) continue;
            bool blocked = false;
            for (std::size_t other : list) {
                if (other == prev || other == cur || other == next) continue;
                if (Turn(q[prev], q[cur], q[other]) >= 0.0 && Turn(q[cur], q[next], q[other]) >= 0.0 &&
                    Turn(q[next], q[prev], q[other]) >= 0.0) {
                    blocked = true;
                    break;
                }
            }
            if (!blocked) ear = i;
        }
        const std::size_t at = ear < m ? ear : best;
        emit(list[(at + m - 1) % m], list[at], list[(at + 1) % m]);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
    }
    emit(list[0], list[1], list[2]);
    return out;
}

// A mesh of the loop's points and one triangle to take a normal from; the
// loop runs through them in the order given.
struct Hole {
    TriangleMesh mesh;
    BoundaryLoop loop;
};

Hole MakeHole(const std::vector<Vec3f>& points) {
    Hole hole;
    for (const Vec3f& p : points) hole.mesh.vertices.push_back({p, {}});
    hole.mesh.indices = {0, 1, 2};
    for (std::uint32_t i = 0; i < points.size(); ++i) hole.loop.vertices.push_back(i);
    return hole;
}

// The appended triangles, and the number FillHole said it appended.
void ExpectSameFill(const std::vector<Vec3f>& points, const std::string& what) {
    Hole hole = MakeHole(points);
    const std::vector<std::uint32_t> expected = ClipTestingEveryCorner(hole.mesh, hole.loop);
    const std::uint64_t added = FillHole(hole.mesh, hole.loop);
    const std::vector<std::uint32_t> got(hole.mesh.indices.begin() + 3, hole.mesh.indices.end());
    EXPECT_EQ(got, expected) << what << ", " << points.size() << " corners";
    EXPECT_EQ(added, points.size() < 3 ? 0u : points.size() - 2) << what;
}

std::vector<Vec3f> Circle(std::size_t n, float radius) {
    std::vector<Vec3f> points;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = 6.283185307179586 * static_cast<double>(i) / static_cast<double>(n);
        points.push_back({radius * static_cast<float>(std::cos(a)), radius * static_cast<float>(std::sin(a)), 0.0f});
    }
    return points;
}

}  // namespace

// By hand: the loop is taken backwards, 3 2 1 0, and its first corner,
// vertex 3, is an ear between 0 and 2: the triangle 0 3 2, then 2 1 0.
TEST(FillHole, AFewCornersAreCutAsWorkedOut) {
    Hole square = MakeHole({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    EXPECT_EQ(FillHole(square.mesh, square.loop), 2u);
    const std::vector<std::uint32_t> squareFill(square.mesh.indices.begin() + 3, square.mesh.indices.end());
    EXPECT_EQ(squareFill, (std::vector<std::uint32_t>{0, 3, 2, 2, 1, 0}));
    // Fewer than three corners add nothing.
    Hole line = MakeHole({{0, 0, 0}, {1, 0, 0}});
    line.mesh.indices = {0, 1, 1};
    EXPECT_EQ(FillHole(line.mesh, line.loop), 0u);
    EXPECT_EQ(line.mesh.indices.size(), 3u);
}

// Against the first scan: convex loops, loops whose corners turn both ways,
// corners on a line or on one another, loops that cross themselves, loops
// out of one plane, and corners far away or not finite. The same
// triangles, in the same order.
TEST(FillHole, TheSameTrianglesAsTestingEveryCorner) {
    for (std::size_t n : {3u, 4u, 5u, 17u, 64u, 65u, 300u}) ExpectSameFill(Circle(n, 1.5f), "circle");

    std::mt19937 random(58);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int trial = 0; trial < 60; ++trial) {
        const std::size_t n = 4 + random() % 200;
        // A star: corners at random radii turn both ways.
        std::vector<Vec3f> star = Circle(n, 1.0f);
        for (Vec3f& p : star) p = p * (0.2f + unit(random));
        ExpectSameFill(star, "star");
        // A walk: the loop crosses itself.
        std::vector<Vec3f> walk;
        for (std::size_t i = 0; i < n; ++i) walk.push_back({unit(random), unit(random), 0.1f * unit(random)});
        ExpectSameFill(walk, "walk");
        // A saddle: out of one plane, so the projection overlaps itself.
        std::vector<Vec3f> saddle = Circle(n, 2.0f);
        for (std::size_t i = 0; i < n; ++i) saddle[i].z = 3.0f * std::sin(4.0f * 6.2831853f * float(i) / float(n));
        ExpectSameFill(saddle, "saddle");
        // Corners on a grid: many on a line and some on one another.
        std::vector<Vec3f> grid;
        for (std::size_t i = 0; i < n; ++i)
            grid.push_back({static_cast<float>(random() % 5), static_cast<float>(random() % 5), 0.0f});
        ExpectSameFill(grid, "grid");
    }
    // A rectangle whose long sides are divided: corners in line with the ears.
    std::vector<Vec3f> slit;
    for (int i = 0; i <= 200; ++i) slit.push_back({0.01f * static_cast<float>(i), 0.0f, 0.0f});
    for (int i = 200; i >= 0; --i) slit.push_back({0.01f * static_cast<float>(i), 0.001f, 0.0f});
    ExpectSameFill(slit, "slit");
    // A comb: teeth whose tips block each other's ears.
    std::vector<Vec3f> comb = {{0, 0, 0}, {40, 0, 0}};
    for (int t = 19; t >= 0; --t) {
        comb.push_back({2.0f * static_cast<float>(t) + 1.5f, 10.0f, 0.0f});
        comb.push_back({2.0f * static_cast<float>(t) + 1.0f, 1.0f, 0.0f});
        comb.push_back({2.0f * static_cast<float>(t) + 0.5f, 10.0f, 0.0f});
    }
    ExpectSameFill(comb, "comb");
    // Far away from the origin, and with corners that are not finite.
    std::vector<Vec3f> far = Circle(50, 1.0f);
    for (Vec3f& p : far) p = p + Vec3f{1e6f, -3e6f, 2e5f};
    ExpectSameFill(far, "far");
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<Vec3f> broken = Circle(40, 1.0f);
    broken[7] = {inf, 0.0f, 0.0f};
    broken[20] = {std::nanf(""), 1.0f, 0.0f};
    ExpectSameFill(broken, "not finite");
    std::vector<Vec3f> oneInfinite = Circle(40, 1.0f);
    oneInfinite[11] = {0.5f, -inf, 0.0f};
    ExpectSameFill(oneInfinite, "one infinite");
}
