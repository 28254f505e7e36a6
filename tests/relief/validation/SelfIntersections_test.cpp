#include "relief/validation/SelfIntersections.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <tuple>
#include <utility>

#include "mesh/TestShapes.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"
#include "tests/support/SelfIntersections.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;
using ridgeforge::test::MakeBox;
using ridgeforge::test::MakeTorus;

namespace {

using PairSet = std::set<std::pair<std::uint32_t, std::uint32_t>>;

using ridgeforge::test::AddLooseTriangle;
using ridgeforge::test::AppendMesh;

// Two tori at right angles whose tubes pass through each other, and one large triangle cutting through
// both, so that the pairs span several grid levels.
TriangleMesh LinkedTori() {
    TriangleMesh m = MakeTorus(10.0f, 3.0f, 32, 12);
    TriangleMesh second = MakeTorus(10.0f, 3.0f, 32, 12);
    for (Vertex& v : second.vertices) {
        const Vec3f p = v.position;
        v.position = {p.x + 5.0f, p.z, -p.y};  // a quarter turn about x, then along x
    }
    AppendMesh(m, second);
    AddLooseTriangle(m, {-30, -30, 0.5f}, {40, -25, 0.75f}, {5, 30, 0.25f});
    return m;
}

// Every crossing pair by testing all pairs that share no corner.
PairSet AllCrossingPairs(const TriangleMesh& m) {
    PairSet pairs;
    const auto record = [&](std::size_t t) {
        return MakeTriangleRecord(m.vertices[m.indices[3 * t]].position, m.vertices[m.indices[3 * t + 1]].position,
                                  m.vertices[m.indices[3 * t + 2]].position);
    };
    for (std::uint32_t a = 0; a < m.TriangleCount(); ++a) {
        for (std::uint32_t b = a + 1; b < m.TriangleCount(); ++b) {
            bool shared = false;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) shared = shared || m.indices[3 * a + i] == m.indices[3 * b + j];
            if (!shared && TrianglesIntersect(record(a), record(b))) pairs.insert({a, b});
        }
    }
    return pairs;
}

// The hits as pairs, failing on a pair found twice.
PairSet AsPairs(const std::vector<std::uint32_t>& hits) {
    EXPECT_EQ(hits.size() % 2, 0u);
    PairSet pairs;
    for (std::size_t i = 0; i + 1 < hits.size(); i += 2) {
        const auto pair = std::minmax(hits[i], hits[i + 1]);
        EXPECT_TRUE(pairs.insert(pair).second) << "pair found twice: " << pair.first << ", " << pair.second;
    }
    return pairs;
}

// Two rods along one space diagonal, 6 mm apart and 2 mm along it (so that
// no ends lie in one plane), their walls through each other along their
// whole length, and small triangles through one wall: the search takes the
// boxes along the rods, where a box that left out any of a triangle would
// lose crossings.
TriangleMesh DiagonalRodsThroughEachOther() {
    using ridgeforge::test::MakeFanCappedRod;
    TriangleMesh m = MakeFanCappedRod(5.0f, 100.0f, 300, {1, 1, 1});
    TriangleMesh other = MakeFanCappedRod(5.0f, 100.0f, 300, {1, 1, 1});
    for (Vertex& v : other.vertices) v.position += Vec3f{5.3973412f, -3.0879402f, 1.1547005f};
    AppendMesh(m, other);
    for (int i = 0; i < 20; ++i) {
        const float t = 3.0f + 2.5f * static_cast<float>(i);
        const Vec3f wall = Vec3f{t, t, t} + Vec3f{-2.0412415f, -2.0412415f, 4.0824829f};
        AddLooseTriangle(m, wall - Vec3f{0.2f, 0.1f, 0.3f}, wall + Vec3f{0.3f, -0.1f, 0.4f},
                         wall + Vec3f{-0.1f, 0.35f, 0.2f});
    }
    m.RecomputeBounds();
    return m;
}

TEST(SelfIntersections, CleanClosedSurfacesHaveNone) {
    for (const TriangleMesh& m :
         {MakeTestCube(2.0f), MakeTestSphere(5.0f), MakeTestCylinder(1.0f, 30.0f), MakeTorus(10.0f, 1.0f, 200, 24),
          ridgeforge::test::MakeGridBox({0, 0, 0}, {1, 2, 3}, 9)}) {
        std::vector<std::uint32_t> hits{7, 7};
        bool stopped = true;
        FindSelfIntersections(m, nullptr, 40000000, hits, stopped);
        EXPECT_TRUE(hits.empty());
        EXPECT_FALSE(stopped);
    }
}

TEST(SelfIntersections, InterpenetratingBodiesMatchTestingEveryPair) {
    const TriangleMesh boxes = [] {
        TriangleMesh m = MakeBox({0, 0, 0}, {2, 2, 2});
        AppendMesh(m, MakeBox({1, 1.25f, 0.5f}, {3, 3, 3}));
        return m;
    }();
    const TriangleMesh tori = LinkedTori();
    for (const TriangleMesh* m : {&boxes, &tori}) {
        const PairSet expected = AllCrossingPairs(*m);
        ASSERT_FALSE(expected.empty());
        bool stopped = true;
        const std::vector<std::uint32_t> hits = SelfIntersectingTriangles(*m, nullptr, &stopped);
        EXPECT_FALSE(stopped);
        EXPECT_EQ(AsPairs(hits), expected);
    }
    // Both boxes are convex, so every crossing pair has one triangle of each.
    for (const auto& [a, b] : AllCrossingPairs(boxes)) EXPECT_TRUE(a < 12 && b >= 12);
    // The large triangle, alone at a coarse level, crosses both tori.
    const auto big = static_cast<std::uint32_t>(tori.TriangleCount() - 1);
    const std::vector<std::uint32_t> hits = SelfIntersectingTriangles(tori, nullptr);
    EXPECT_GE(std::count(hits.begin(), hits.end(), big), 8);
}

TEST(SelfIntersections, TouchingAndCoplanarTriangles) {
    const auto count = [](const TriangleMesh& m) { return SelfIntersectingTriangles(m, nullptr).size() / 2; };
    TriangleMesh coplanar;
    AddLooseTriangle(coplanar, {0, 0, 0}, {4, 0, 0}, {0, 4, 0});
    AddLooseTriangle(coplanar, {1, 1, 0}, {5, 1, 0}, {1, 5, 0});
    EXPECT_EQ(count(coplanar), 0u);

    // An edge of a vertical triangle meets the other's edge at one point.
    TriangleMesh edge;
    AddLooseTriangle(edge, {0, 0, 0}, {4, 0, 0}, {0, 4, 0});
    AddLooseTriangle(edge, {2, -1, -1}, {2, 1, 1}, {2, -3, 3});
    EXPECT_EQ(count(edge), 1u);

    // ... meets the other's corner at the origin; then misses it, or meets
    // the triangle just inside that corner, by a hair. The edge of the
    // vertical triangle meets z = 0 at (x, y).
    const auto corner = [&](float x, float y) {
        TriangleMesh m;
        AddLooseTriangle(m, {0, 0, 0}, {4, 1, 0}, {1, 4, 0});
        AddLooseTriangle(m, {x, y - 1, -1}, {x, y + 1, 1}, {x, y - 3, 3});
        return m;
    };
    const float hair = 0x1p-20f;
    EXPECT_EQ(count(corner(0, 0)), 1u);
    EXPECT_EQ(count(corner(-hair, 0)), 0u);
    EXPECT_EQ(count(corner(hair, 0)), 0u);  // (hair, 0) lies below the edge y = x / 4
    EXPECT_EQ(count(corner(hair, hair)), 1u);

    // Triangles that share a corner index and cross elsewhere cross; lifted
    // clear of the plane, they meet at the corner only.
    TriangleMesh shared;
    shared.vertices = {{{0, 0, 0}, {}}, {{4, 0, 0}, {}}, {{0, 4, 0}, {}}, {{1, 1, -1}, {}}, {{1, 1, 1}, {}}};
    shared.indices = {0, 1, 2, 0, 3, 4};
    EXPECT_EQ(count(shared), 1u);
    shared.vertices[3].position.z = 0.5f;
    EXPECT_EQ(count(shared), 0u);
    // Laid flat on the plane, one inside the other's angle, or beside it.
    shared.vertices[3].position = {1, 1, 0};
    shared.vertices[4].position = {2, 1, 0};
    EXPECT_EQ(count(shared), 1u);
    shared.vertices[3].position = {-1, 1, 0};
    shared.vertices[4].position = {-2, -1, 0};
    EXPECT_EQ(count(shared), 0u);
    // Along the other's edge 0-2 from the shared corner: they share a piece of it.
    shared.vertices[3].position = {0, 2, -1};
    shared.vertices[4].position = {0, 2, 1};
    EXPECT_EQ(count(shared), 1u);

    // Triangles on one edge cross only when folded flat onto each other.
    TriangleMesh fold;
    fold.vertices = {{{0, 0, 0}, {}}, {{4, 0, 0}, {}}, {{1, 3, 0}, {}}, {{2, 1, 0}, {}}};
    fold.indices = {0, 1, 2, 1, 0, 3};
    EXPECT_EQ(count(fold), 1u);
    fold.vertices[3].position.z = 0x1p-20f;
    EXPECT_EQ(count(fold), 0u);
    fold.vertices[3].position = {2, -1, 0};
    EXPECT_EQ(count(fold), 0u);
}

// Triangles that straddle each other's planes side by side, which the float
// filter lets go of: the vertical edge of the second passes (x, y) in the
// first's plane, next to the first's long edge x + y = 4.
TEST(SelfIntersections, SideBySideTrianglesAcrossEachOthersPlanes) {
    const TriangleRecord flat = MakeTriangleRecord({0, 0, 0}, {4, 0, 0}, {0, 4, 0});
    const auto upright = [](float x, float y) {
        return MakeTriangleRecord({x, y, -1}, {x, y, 1}, {x + 1, y + 1, 0});
    };
    const float hair = 0x1p-20f;
    EXPECT_TRUE(TrianglesIntersect(flat, upright(2, 2)));          // on the edge
    EXPECT_TRUE(TrianglesIntersect(upright(2, 2), flat));
    EXPECT_TRUE(TrianglesIntersect(flat, upright(2 - hair, 2)));   // just inside
    EXPECT_FALSE(TrianglesIntersect(flat, upright(2 + hair, 2)));  // just outside
    EXPECT_FALSE(TrianglesIntersect(upright(2, 2 + hair), flat));
    EXPECT_FALSE(TrianglesIntersect(flat, upright(2.5f, 2.5f)));
}

// Random neighbours, sharing a corner or an edge, with corners on a small
// grid so that they often lie in one plane or touch: the search agrees with
// the test support's exact count, itself checked against every pair
// worked out the slow way.
TEST(SelfIntersections, NeighboursAgreeWithTheExactCount) {
    std::mt19937 random(5102);
    int crossing[2] = {0, 0}, apart[2] = {0, 0};
    for (int round = 0; round < 4000; ++round) {
        TriangleMesh m;
        const auto coordinate = [&] { return static_cast<float>(static_cast<int>(random() % 5) - 2); };
        for (int v = 0; v < 5; ++v) m.vertices.push_back({{coordinate(), coordinate(), coordinate()}, {}});
        const bool edge = round % 2 == 1;
        m.indices = edge ? std::vector<std::uint32_t>{0, 1, 2, 1, 0, 3} : std::vector<std::uint32_t>{0, 1, 2, 0, 3, 4};
        if (random() % 2 == 0) std::swap(m.indices[4], m.indices[5]);
        bool flat = false;
        for (int t = 0; t < 2; ++t) {
            const Vec3f a = m.vertices[m.indices[3 * t]].position, b = m.vertices[m.indices[3 * t + 1]].position,
                        c = m.vertices[m.indices[3 * t + 2]].position;
            flat = flat || Length(Cross(b - a, c - a)) == 0.0f;
        }
        std::set<std::tuple<float, float, float>> distinct;
        for (const Vertex& v : m.vertices) distinct.insert({v.position.x, v.position.y, v.position.z});
        if (flat || distinct.size() != 5) continue;
        m.RecomputeBounds();
        const std::uint64_t expected = ridgeforge::test::CountSelfIntersections(m).intersectingPairs;
        ASSERT_EQ(SelfIntersectingTriangles(m, nullptr).size() / 2, expected) << "round " << round;
        (expected != 0 ? crossing : apart)[edge ? 1 : 0] += 1;
    }
    for (int kind = 0; kind < 2; ++kind) {
        EXPECT_GT(crossing[kind], 20) << kind;
        EXPECT_GT(apart[kind], 20) << kind;
    }
}

// A fan of `count` triangles about a centre at the origin, on rim points of
// their own (no two triangles share an edge), each at the angle, radius and
// height the generator gives.
TriangleMesh Fan(std::uint32_t count, const std::function<Vec3f(std::uint32_t)>& rim) {
    TriangleMesh m;
    m.vertices.push_back({{0, 0, 0}, {}});
    for (std::uint32_t i = 0; i < count; ++i) {
        m.vertices.push_back({rim(2 * i), {}});
        m.vertices.push_back({rim(2 * i + 1), {}});
        m.indices.insert(m.indices.end(), {0, 2 * i + 1, 2 * i + 2});
    }
    m.RecomputeBounds();
    return m;
}

Vec3f Polar(float angle, float radius, float z) { return {radius * std::cos(angle), radius * std::sin(angle), z}; }

// Crowds of triangles about one corner, as many in one grid cell as the
// search gets: the pairs found, with and without a budget, are those of the
// exact count, however the triangles about the corner lie (side by side,
// overlapping in their plane, crossing in two planes, at random, copied).
TEST(SelfIntersections, CrowdsAboutOneCornerAgreeWithTheExactCount) {
    using namespace ridgeforge::test;
    std::mt19937 random(5858);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    constexpr float kTurn = 6.2831853f;
    std::vector<std::pair<std::string, TriangleMesh>> parts = {
        {"upright rod", MakeFanCappedRod(5.0f, 100.0f, 300, {0, 0, 1})},
        {"diagonal rod", MakeFanCappedRod(5.0f, 100.0f, 300, {1, 1, 1})},
        // Rods along two space diagonals crossing at their middles: cells
        // crowded with the long sides of both, where only the cells at the
        // sides' box minima test their pairs.
        {"crossing diagonal rods", [] {
             TriangleMesh m = MakeFanCappedRod(5.0f, 100.0f, 300, {1, 1, 1});
             TriangleMesh other = MakeFanCappedRod(5.0f, 100.0f, 300, {1, 1, -1});
             for (Vertex& v : other.vertices) v.position.z += 57.735027f;
             AppendMesh(m, other);
             m.RecomputeBounds();
             return m;
         }()},
        {"diagonal rods through each other", DiagonalRodsThroughEachOther()},
        // The same about the origin and scaled by 8e36: near the float
        // range's end, where the far corners' boxes along the rods would be
        // beyond it.
        {"diagonal rods near the float range's end", [] {
             TriangleMesh m = DiagonalRodsThroughEachOther();
             for (Vertex& v : m.vertices) v.position = (v.position - Vec3f{30, 30, 30}) * 8e36f;
             m.RecomputeBounds();
             return m;
         }()},
        {"fanned cone", MakeCone(10.0f, 24.0f, 300, 1)},
        {"sphere", MakeRingSphere(10.0f, 40)},
        // Wedges of one plane going twice round: each overlaps one of the other lap.
        {"double lap", Fan(200, [](std::uint32_t k) {
             return Polar(kTurn * static_cast<float>((k + 1) / 2) / 100.0f, k % 4 < 2 ? 10.0f : 7.0f, 0.0f);
         })},
        // Two fans about one centre in planes at right angles: wedges cross along the planes' line.
        {"crossed fans", [&] {
             TriangleMesh m = Fan(120, [](std::uint32_t k) {
                 return Polar(kTurn * static_cast<float>((k + 1) / 2) / 120.0f, 10.0f, 0.0f);
             });
             const TriangleMesh upright = Fan(120, [](std::uint32_t k) {
                 const Vec3f p = Polar(kTurn * static_cast<float>((k + 1) / 2) / 120.0f + 0.01f, 9.0f, 0.0f);
                 return Vec3f{p.x, 0.0f, p.y};
             });
             const auto offset = static_cast<std::uint32_t>(m.vertices.size() - 1);
             for (std::size_t v = 1; v < upright.vertices.size(); ++v) m.vertices.push_back(upright.vertices[v]);
             for (std::uint32_t i : upright.indices) m.indices.push_back(i == 0 ? 0 : i + offset);
             m.RecomputeBounds();
             return m;
         }()},
        // Two fanned disks about different centres, cutting through each
        // other, and small triangles through both.
        {"crossing disks", [&] {
             TriangleMesh m = Fan(200, [](std::uint32_t k) {
                 return Polar(kTurn * static_cast<float>((k + 1) / 2) / 200.0f, 10.0f, 0.0f);
             });
             const TriangleMesh tilted = Fan(150, [](std::uint32_t k) {
                 const Vec3f p = Polar(kTurn * static_cast<float>((k + 1) / 2) / 150.0f + 0.02f, 8.0f, 0.0f);
                 return Vec3f{3.0f + p.x, 1.0f + 0.6f * p.y, 0.5f + 0.8f * p.y};
             });
             AppendMesh(m, tilted);
             for (int i = 0; i < 30; ++i) {
                 const float x = -6.0f + 0.4f * static_cast<float>(i), y = 0.3f * static_cast<float>(i % 7) - 1.0f;
                 AddLooseTriangle(m, {x, y, -1.0f}, {x + 0.3f, y, 1.5f}, {x, y + 0.3f, 1.5f});
             }
             m.RecomputeBounds();
             return m;
         }()},
        // A small fanned disk cut by a fine one of many more triangles
        // about another centre: the small one meets the fine one's
        // triangles in several parallel runs.
        {"fine disk through a coarse one", [&] {
             TriangleMesh m = Fan(100, [](std::uint32_t k) {
                 return Polar(kTurn * static_cast<float>((k + 1) / 2) / 100.0f, 10.0f, 0.0f);
             });
             const TriangleMesh fine = Fan(3000, [](std::uint32_t k) {
                 const Vec3f p = Polar(kTurn * static_cast<float>((k + 1) / 2) / 3000.0f + 0.001f, 8.0f, 0.0f);
                 return Vec3f{2.0f + p.x, -1.0f + 0.5f * p.y, 0.3f + 0.85f * p.y};
             });
             AppendMesh(m, fine);
             m.RecomputeBounds();
             return m;
         }()},
        {"random fan", Fan(250, [&](std::uint32_t) {
             return Polar(kTurn * unit(random), 4.0f + 6.0f * unit(random), 6.0f * unit(random) - 3.0f);
         })},
    };
    // Copies of one triangle, some turned over, and a triangle through all of them.
    TriangleMesh copies = MakeCopiedTriangle(150, 20.0f);
    for (std::size_t t = 0; t < copies.indices.size(); t += 6) std::swap(copies.indices[t + 1], copies.indices[t + 2]);
    AddLooseTriangle(copies, {6, 3, -5}, {8, 9, 20}, {12, 1, 20});
    parts.push_back({"pierced copies", copies});
    for (const auto& [name, m] : parts) {
        const std::uint64_t expected = CountSelfIntersections(m).intersectingPairs;
        bool stopped = true;
        const std::vector<std::uint32_t> hits = SelfIntersectingTriangles(m, nullptr, &stopped);
        EXPECT_FALSE(stopped) << name;
        EXPECT_EQ(AsPairs(hits).size(), expected) << name;
        std::vector<std::uint32_t> budgeted;
        FindSelfIntersections(m, nullptr, 40'000'000, budgeted, stopped);
        EXPECT_FALSE(stopped) << name;
        EXPECT_EQ(AsPairs(budgeted).size(), expected) << name;
        if (name == "double lap" || name == "crossed fans" || name == "random fan" || name == "crossing disks" ||
            name == "fine disk through a coarse one" || name == "crossing diagonal rods" ||
            name == "diagonal rods through each other" || name == "diagonal rods near the float range's end") {
            EXPECT_GT(expected, 50u) << name;
        }
        if (name == "pierced copies") {
            EXPECT_EQ(expected, 150u);
        }
    }
}

// A part large enough that the grid's entries are sorted by both counting
// passes and split into levels in many chunks: a bumpy torus whose tube
// passes through itself in places, with large triangles on coarser levels.
TEST(SelfIntersections, LargeBumpyPartAgreesWithTheExactCount) {
    TriangleMesh m = MakeTorus(20.0f, 6.0f, 240, 160);
    std::mt19937 random(4411);
    std::uniform_real_distribution<float> bump(-0.12f, 0.12f);
    for (Vertex& v : m.vertices) v.position += Vec3f{bump(random), bump(random), bump(random)};
    AddLooseTriangle(m, {-30, -30, 0.5f}, {40, -25, 0.75f}, {5, 30, 0.25f});
    AddLooseTriangle(m, {-2, -40, -9}, {3, 41, 2}, {1, 0, 9});
    m.RecomputeBounds();
    const std::uint64_t expected = ridgeforge::test::CountSelfIntersections(m).intersectingPairs;
    EXPECT_GT(expected, 1000u);
    EXPECT_EQ(AsPairs(SelfIntersectingTriangles(m, nullptr)).size(), expected);
}

TEST(SelfIntersections, PairTestBudget) {
    TriangleMesh m = MakeBox({0, 0, 0}, {2, 2, 2});
    AppendMesh(m, MakeBox({1, 1.25f, 0.5f}, {3, 3, 3}));
    std::vector<std::uint32_t> hits;
    bool stopped = false;
    FindSelfIntersections(m, nullptr, 0, hits, stopped);
    EXPECT_TRUE(hits.empty());
    EXPECT_TRUE(stopped);
    FindSelfIntersections(m, nullptr, 1, hits, stopped);
    EXPECT_TRUE(stopped);
    EXPECT_LE(hits.size(), 2u);
    FindSelfIntersections(m, nullptr, 1000, hits, stopped);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(AsPairs(hits), AllCrossingPairs(m));
}

TEST(SelfIntersections, TriangleMask) {
    const TriangleMesh m = LinkedTori();
    const PairSet all = AllCrossingPairs(m);
    const std::size_t n = m.TriangleCount();
    std::vector<std::uint32_t> hits;
    bool stopped = false;

    // A mask of another length is ignored.
    std::vector<std::uint8_t> wrong(n + 1, 0);
    FindSelfIntersections(m, &wrong, 40000000, hits, stopped);
    EXPECT_EQ(AsPairs(hits), all);

    std::vector<std::uint8_t> none(n, 0);
    FindSelfIntersections(m, &none, 40000000, hits, stopped);
    EXPECT_TRUE(hits.empty());

    // Marked: a few triangles of the first torus, and the large triangle.
    std::vector<std::uint8_t> mask(n, 0);
    for (const auto& [a, b] : all) {
        if (a % 5 == 0) mask[a] = 1;
    }
    mask[n - 1] = 1;
    PairSet expected;
    for (const auto& pair : all) {
        if (mask[pair.first] || mask[pair.second]) expected.insert(pair);
    }
    ASSERT_LT(expected.size(), all.size());
    FindSelfIntersections(m, &mask, 40000000, hits, stopped);
    EXPECT_EQ(AsPairs(hits), expected);
}

// A marked triangle far larger than the rest covers too many coarse cells to
// list them one by one; the small unmarked triangles it cuts must still be met,
// on both sides of that size limit.
TEST(SelfIntersections, LargeMarkedTriangleMeetsSmallUnmarkedOnes) {
    for (const float reach : {40.0f, 4000.0f}) {
        // 20 x 20 mm of 1 mm squares and far-off dust of 1 mm triangles keep
        // the mean triangle about 5 mm across even with the large one, so a
        // coarse cell is some 40 mm: the large triangle spans a handful of
        // cells at the first reach and about 200 x 100 at the second.
        TriangleMesh m = ridgeforge::test::MakeGridPlate(20.0f, 20);
        for (int i = 0; i < 1200; ++i) {
            const float x = 100.0f + static_cast<float>(i % 40), y = 100.0f + static_cast<float>(i / 40);
            AddLooseTriangle(m, {x, y, 5}, {x + 1, y, 5}, {x, y + 1, 5});
        }
        // Stands across the plate along x = 10.5, from below it to far above.
        AddLooseTriangle(m, {10.5f, -reach, -1}, {10.5f, reach, -1}, {10.5f, 0.5f, reach});
        const auto big = static_cast<std::uint32_t>(m.TriangleCount() - 1);
        std::vector<std::uint8_t> mask(m.TriangleCount(), 0);
        mask[big] = 1;
        // The plane x = 10.5 runs through the middle of the eleventh column of
        // squares: both triangles of each of its 20 squares.
        PairSet expected;
        for (std::uint32_t row = 0; row < 20; ++row) {
            expected.insert({2 * (20 * row + 10), big});
            expected.insert({2 * (20 * row + 10) + 1, big});
        }
        std::vector<std::uint32_t> hits;
        bool stopped = true;
        FindSelfIntersections(m, &mask, 40000000, hits, stopped);
        EXPECT_FALSE(stopped);
        EXPECT_EQ(AsPairs(hits), expected) << "reach " << reach;
        EXPECT_EQ(AsPairs(SelfIntersectingTriangles(m, nullptr)), expected) << "reach " << reach;
    }
}

TEST(SelfIntersections, TooSmallOrBrokenMeshes) {
    TriangleMesh one;
    AddLooseTriangle(one, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    std::vector<std::uint32_t> hits{1, 2};
    bool stopped = true;
    FindSelfIntersections(one, nullptr, 0, hits, stopped);
    EXPECT_TRUE(hits.empty());
    EXPECT_FALSE(stopped);

    TriangleMesh broken = MakeBox({0, 0, 0}, {2, 2, 2});
    AppendMesh(broken, MakeBox({1, 1, 1}, {3, 3, 3}));
    broken.indices.push_back(99);
    broken.indices.push_back(0);
    broken.indices.push_back(1);
    EXPECT_TRUE(SelfIntersectingTriangles(broken, nullptr).empty());
}

TEST(SelfIntersections, CellRange) {
    const TriangleRecord r = MakeTriangleRecord({-0.5f, 0.0f, 2.0f}, {1.5f, 0.25f, 2.0f}, {0.0f, 0.99f, 2.5f});
    CellRange range;
    EXPECT_EQ(TriangleCellRange(r, 1.0, range), 3u * 1u * 1u);
    EXPECT_EQ(range.xLo, -1);
    EXPECT_EQ(range.xHi, 1);
    EXPECT_EQ(range.yLo, 0);
    EXPECT_EQ(range.yHi, 0);
    EXPECT_EQ(range.zLo, 2);
    EXPECT_EQ(range.zHi, 2);
    EXPECT_EQ(TriangleCellRange(r, 0.5, range), 5u * 2u * 2u);
}

}  // namespace
