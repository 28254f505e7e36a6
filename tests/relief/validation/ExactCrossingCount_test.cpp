// The exact crossing count of the test support, against a count made the
// slow way: every pair of triangles, their common part worked out as a point
// set in rational arithmetic, and the pair counted when that set reaches
// beyond the corners and edge the two share. Coordinates are small integers,
// so that touching, shared lines and shared planes happen often and every
// figure is exact.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "tests/support/SelfIntersections.h"

namespace ridgeforge::test {
namespace {

// An exact fraction; the numbers stay small for coordinates of a few units.
struct Q {
    __int128 n = 0, d = 1;
};

__int128 Gcd(__int128 a, __int128 b) {
    if (a < 0) a = -a;
    if (b < 0) b = -b;
    while (b != 0) {
        const __int128 r = a % b;
        a = b;
        b = r;
    }
    return a == 0 ? 1 : a;
}

Q Make(__int128 n, __int128 d) {
    if (d < 0) {
        n = -n;
        d = -d;
    }
    const __int128 g = Gcd(n, d);
    return {n / g, d / g};
}
Q operator+(Q a, Q b) { return Make(a.n * b.d + b.n * a.d, a.d * b.d); }
Q operator-(Q a, Q b) { return Make(a.n * b.d - b.n * a.d, a.d * b.d); }
Q operator*(Q a, Q b) { return Make(a.n * b.n, a.d * b.d); }
Q operator/(Q a, Q b) { return Make(a.n * b.d, a.d * b.n); }
int Sign(Q a) { return a.n > 0 ? 1 : (a.n < 0 ? -1 : 0); }
bool operator==(Q a, Q b) { return a.n == b.n && a.d == b.d; }

using P = std::array<Q, 3>;
P Sub(const P& a, const P& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
P Add(const P& a, const P& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
P Scale(const P& a, Q s) { return {a[0] * s, a[1] * s, a[2] * s}; }
Q Dot(const P& a, const P& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
P Cross(const P& a, const P& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
bool Same(const P& a, const P& b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

// The part of the convex polygon `poly` where n . (x - o) >= 0 (Sutherland-Hodgman).
std::vector<P> Clip(const std::vector<P>& poly, const P& n, const P& o) {
    std::vector<P> out;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const P& a = poly[i];
        const P& b = poly[(i + 1) % poly.size()];
        const Q da = Dot(n, Sub(a, o)), db = Dot(n, Sub(b, o));
        if (Sign(da) >= 0) out.push_back(a);
        if (Sign(da) * Sign(db) < 0) out.push_back(Add(a, Scale(Sub(b, a), da / (da - db))));
    }
    return out;
}

// The common part of triangles a and b, as the corners of a convex set.
std::vector<P> Common(const std::array<P, 3>& a, const std::array<P, 3>& b) {
    const P nb = Cross(Sub(b[1], b[0]), Sub(b[2], b[0]));
    // The points of a on b's plane: all of a when it lies in it, else a
    // segment, a point or nothing.
    std::vector<P> onPlane;
    Q dist[3];
    for (int k = 0; k < 3; ++k) dist[k] = Dot(nb, Sub(a[static_cast<std::size_t>(k)], b[0]));
    if (Sign(dist[0]) == 0 && Sign(dist[1]) == 0 && Sign(dist[2]) == 0) {
        onPlane.assign(a.begin(), a.end());
    } else {
        for (int k = 0; k < 3; ++k) {
            const P& p = a[static_cast<std::size_t>(k)];
            const P& q = a[static_cast<std::size_t>((k + 1) % 3)];
            const Q dp = dist[k], dq = dist[(k + 1) % 3];
            if (Sign(dp) == 0) onPlane.push_back(p);
            if (Sign(dp) * Sign(dq) < 0) onPlane.push_back(Add(p, Scale(Sub(q, p), dp / (dp - dq))));
        }
    }
    // Within b: inside each of its edges' half-planes in its plane.
    for (int k = 0; k < 3 && !onPlane.empty(); ++k) {
        const P& p = b[static_cast<std::size_t>(k)];
        const P& q = b[static_cast<std::size_t>((k + 1) % 3)];
        onPlane = Clip(onPlane, Cross(nb, Sub(q, p)), p);
    }
    return onPlane;
}

// x lies in the convex hull of the shared corners (none, one, or an edge).
bool InShared(const P& x, const std::vector<P>& shared) {
    if (shared.size() == 1) return Same(x, shared[0]);
    if (shared.size() == 2) {
        const P e = Sub(shared[1], shared[0]), f = Sub(x, shared[0]);
        const P c = Cross(e, f);
        if (Sign(c[0]) != 0 || Sign(c[1]) != 0 || Sign(c[2]) != 0) return false;
        const Q t = Dot(e, f);
        return Sign(t) >= 0 && Sign(Dot(e, e) - t) >= 0;
    }
    return shared.size() == 3;
}

// tally[shared corners][crosses]: how many pairs of each kind were seen.
using Tally = std::array<std::array<std::uint64_t, 2>, 4>;

std::uint64_t BruteForceCount(const mesh::TriangleMesh& m, Tally* tally = nullptr) {
    const auto point = [&](std::uint32_t v) {
        const mesh::Vec3f p = m.vertices[v].position;
        return P{Make(static_cast<__int128>(p.x), 1), Make(static_cast<__int128>(p.y), 1),
                 Make(static_cast<__int128>(p.z), 1)};
    };
    std::uint64_t pairs = 0;
    const std::size_t count = m.TriangleCount();
    for (std::size_t s = 0; s < count; ++s) {
        for (std::size_t t = s + 1; t < count; ++t) {
            std::array<P, 3> a, b;
            std::vector<P> shared;
            for (int k = 0; k < 3; ++k) {
                a[static_cast<std::size_t>(k)] = point(m.indices[3 * s + static_cast<std::size_t>(k)]);
                b[static_cast<std::size_t>(k)] = point(m.indices[3 * t + static_cast<std::size_t>(k)]);
                for (int j = 0; j < 3; ++j) {
                    if (m.indices[3 * s + static_cast<std::size_t>(k)] ==
                        m.indices[3 * t + static_cast<std::size_t>(j)])
                        shared.push_back(a[static_cast<std::size_t>(k)]);
                }
            }
            const std::vector<P> common = Common(a, b);
            bool beyond = false;
            for (const P& x : common) beyond = beyond || !InShared(x, shared);
            pairs += beyond ? 1 : 0;
            if (tally != nullptr) ++(*tally)[shared.size()][beyond ? 1 : 0];
        }
    }
    return pairs;
}

mesh::TriangleMesh MeshOf(const std::vector<mesh::Vec3f>& points, const std::vector<std::uint32_t>& indices) {
    mesh::TriangleMesh m;
    for (const mesh::Vec3f& p : points) m.vertices.push_back({p, {}});
    m.indices = indices;
    m.RecomputeBounds();
    return m;
}

std::uint64_t Pairs(const mesh::TriangleMesh& m) { return CountSelfIntersections(m).intersectingPairs; }

TEST(ExactCrossingCount, SharedCornersAndEdgesCountOnlyWhereTheTrianglesMeetBeyondThem) {
    // Corner 0 shared; the second triangle's far edge passes through the first.
    const std::vector<mesh::Vec3f> corner = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {2, 1, -1}, {1, 2, 1}};
    const mesh::TriangleMesh crossing = MeshOf(corner, {0, 1, 2, 0, 3, 4});
    EXPECT_EQ(Pairs(crossing), 1u);
    EXPECT_EQ(BruteForceCount(crossing), 1u);
    // The same far edge lifted just clear of the plane: they meet at the corner only.
    const mesh::TriangleMesh clear =
        MeshOf({{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {2, 1, 1}, {1, 2, 1}}, {0, 1, 2, 0, 3, 4});
    EXPECT_EQ(Pairs(clear), 0u);
    EXPECT_EQ(BruteForceCount(clear), 0u);
    // Touching: the far corner rests on the first triangle (counts); the far
    // edge pierces the plane on the first triangle's edge 0-2, so that the
    // two share a piece of that edge (counts), or just beside it (does not).
    const mesh::TriangleMesh resting =
        MeshOf({{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {1, 1, 0}, {1, 2, 2}}, {0, 1, 2, 0, 3, 4});
    EXPECT_EQ(Pairs(resting), 1u);
    EXPECT_EQ(BruteForceCount(resting), 1u);
    const mesh::TriangleMesh alongEdge =
        MeshOf({{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {1, 3, -1}, {-1, 1, 1}}, {0, 1, 2, 0, 3, 4});
    EXPECT_EQ(Pairs(alongEdge), 1u);
    EXPECT_EQ(BruteForceCount(alongEdge), 1u);
    const mesh::TriangleMesh beside =
        MeshOf({{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 3, -1}, {-2, 1, 1}}, {0, 1, 2, 0, 3, 4});
    EXPECT_EQ(Pairs(beside), 0u);
    EXPECT_EQ(BruteForceCount(beside), 0u);

    // Edge 0-1 shared: folded flat onto the first triangle overlaps it; on
    // the other side, or lifted off the plane, it does not.
    const std::vector<mesh::Vec3f> edge = {{0, 0, 0}, {4, 0, 0}, {1, 3, 0}, {2, 1, 0}};
    const mesh::TriangleMesh folded = MeshOf(edge, {0, 1, 2, 1, 0, 3});
    EXPECT_EQ(Pairs(folded), 1u);
    EXPECT_EQ(BruteForceCount(folded), 1u);
    EXPECT_EQ(CountSelfIntersections(folded).foldedEdges, 1u);
    const mesh::TriangleMesh flat = MeshOf({{0, 0, 0}, {4, 0, 0}, {1, 3, 0}, {2, -1, 0}}, {0, 1, 2, 1, 0, 3});
    EXPECT_EQ(Pairs(flat), 0u);
    const mesh::TriangleMesh lifted = MeshOf({{0, 0, 0}, {4, 0, 0}, {1, 3, 0}, {2, 1, 1}}, {0, 1, 2, 1, 0, 3});
    EXPECT_EQ(Pairs(lifted), 0u);
    EXPECT_EQ(BruteForceCount(lifted), 0u);
}

// Random triangles among a few points of a 5 x 5 x 3 grid: many share
// corners and edges, lie in one plane or touch.
TEST(ExactCrossingCount, AgreesWithEveryPairTestedTheSlowWay) {
    std::mt19937 random(41);
    Tally tally{};
    for (int round = 0; round < 400; ++round) {
        std::vector<mesh::Vec3f> points;
        std::set<std::array<int, 3>> used;
        while (points.size() < 10) {
            const std::array<int, 3> p = {static_cast<int>(random() % 5), static_cast<int>(random() % 5),
                                          static_cast<int>(random() % 3)};
            if (used.insert(p).second)
                points.push_back({static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])});
        }
        std::vector<std::uint32_t> indices;
        while (indices.size() < 3 * 6) {
            const std::uint32_t a = random() % 10, b = random() % 10, c = random() % 10;
            if (a == b || b == c || a == c) continue;
            const mesh::Vec3f n =
                mesh::Cross(points[b] - points[a], points[c] - points[a]);  // exact for these small integers
            if (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f) continue;
            indices.insert(indices.end(), {a, b, c});
        }
        const mesh::TriangleMesh m = MeshOf(points, indices);
        ASSERT_EQ(Pairs(m), BruteForceCount(m, &tally)) << "round " << round;
    }
    // Pairs sharing nothing, a corner or an edge were each seen both
    // crossing and apart, many times.
    for (std::size_t shared = 0; shared < 3; ++shared) {
        EXPECT_GT(tally[shared][0], 20u) << shared;
        EXPECT_GT(tally[shared][1], 20u) << shared;
    }
}

}  // namespace
}  // namespace ridgeforge::test
