// The mesh relief leaves no crossing triangles and no overlapping folds where
// the tilt test alone let them through: a concave valley whose flanks move
// into each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/remesh/Remesh.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/displacement/MeshDisplacementStages.h"
#include "relief/mapping/TextureWeights.h"
#include "relief/repair/FixBuildingBlocks.h"
#include "testing/StressParts.h"
#include "tests/relief/displacement/ReliefTestSupport.h"
#include "tests/support/SelfIntersections.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge::mesh {
namespace {

using ridgeforge::test::CountSelfIntersections;
using ridgeforge::test::SelfIntersectionCount;

// An open trough 12 mm wide along y whose floor is rounded to a 0.4 mm
// radius: z = sqrt(x^2 + 0.16) - 0.4, on a grid of 0.1 mm steps across.
TriangleMesh MakeRoundedValley() {
    TriangleMesh m;
    const int across = 120, along = 20;
    for (int j = 0; j <= along; ++j) {
        for (int i = 0; i <= across; ++i) {
            const float x = -6.0f + 0.1f * static_cast<float>(i);
            m.vertices.push_back({{x, 0.25f * static_cast<float>(j), std::sqrt(x * x + 0.16f) - 0.4f}, {}});
        }
    }
    for (int j = 0; j < along; ++j) {
        for (int i = 0; i < across; ++i) {
            const auto a = static_cast<std::uint32_t>(j * (across + 1) + i);
            const std::uint32_t b = a + 1, c = a + across + 2, d = a + across + 1;
            m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
        }
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

TEST(MeshDisplacementCrossings, ValleyFlanksMovingIntoEachOtherAreEasedApart) {
    const TriangleMesh before = MakeRoundedValley();
    ASSERT_EQ(CountSelfIntersections(before).intersectingPairs, 0u);
    TriangleMesh m = before;
    DisplacementSettings s;
    s.method = DisplacementMethod::Mesh;
    s.strengthMillimetres = 1.5f;
    s.midLevel = 0.0f;
    // Every move is 1.5 mm up the normal: past the floor's 0.4 mm radius the
    // two flanks pass through each other; the floor is one smooth region, so
    // the clearance sees no opposite wall.
    const std::vector<float> weights(m.vertices.size(), 1.0f);
    const DisplacementReport r =
        ApplyDisplacement(m, BoxProjection(), UniformMap(1.0f), weights, s, nullptr, TileFrame{});
    const SelfIntersectionCount after = CountSelfIntersections(m);
    EXPECT_EQ(after.intersectingPairs, 0u);
    EXPECT_EQ(after.foldedEdges, 0u);
    EXPECT_GT(r.foldVertices, 0u);
    EXPECT_EQ(r.foldFurtherThanBefore, 0u);
    // Far from the floor the relief is whole: 1.5 mm along the normal.
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
        if (std::fabs(before.vertices[v].position.x) < 3.0f) continue;
        EXPECT_NEAR(Length(m.vertices[v].position - before.vertices[v].position), 1.5f, 1e-3f) << v;
    }
}

// The faces that face away from the summed normals around their corners by
// more than about 107 degrees: what the save check counts as folded over.
std::uint64_t FacesFoldedOver(const TriangleMesh& m) {
    const VertexAdjacency adjacency = BuildVertexAdjacency(m);
    std::uint64_t folded = 0;
    for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) folded += IsFoldedTriangle(m, adjacency, t) ? 1 : 0;
    return folded;
}

// A washer 24 mm across and 4 mm tall with a 2 mm bore and an annular groove
// 0.05 mm wide and 3 mm deep at a radius of 3 mm, remeshed as Process does,
// under the Noise texture at 1.5 mm with every other setting at its default:
// the groove's walls are pushed into each other, and giving back the moves
// of the triangles that cross makes the neighbours that keep theirs cross.
TEST(MeshDisplacementCrossings, AWasherWithANarrowGrooveIsLeftUncrossedAndUnfolded) {
    TriangleMesh part = test::stress::Revolve({{1.0f, 0.0f},
                                               {12.0f, 0.0f},
                                               {12.0f, 4.0f},
                                               {3.05f, 4.0f},
                                               {3.05f, 1.0f},
                                               {3.0f, 1.0f},
                                               {3.0f, 4.0f},
                                               {1.0f, 4.0f}},
                                              96);
    Remesh(part, RemeshSettings{}, {});
    const SelfIntersectionCount before = CountSelfIntersections(part);
    ASSERT_EQ(before.intersectingPairs, 0u);
    ASSERT_EQ(before.foldedEdges, 0u);
    ASSERT_EQ(FacesFoldedOver(part), 0u);
    Projection projection;
    projection.cage.center = (part.boundsMin + part.boundsMax) * 0.5f;
    projection.cage.size = part.boundsMax - part.boundsMin;
    HeightMap map;
    map.SetImage(256, 256, procedural::CreateTexture("Noise")->RenderHeightMap(256, 256));
    TextureSettings texture = map.settings;
    texture.widthMillimetres = 8.0f;
    map.SetSettings(texture);
    DisplacementSettings s;
    s.method = DisplacementMethod::Mesh;
    s.strengthMillimetres = 1.5f;
    const TextureCoverage coverage = ComputeTextureWeights(part, projection, nullptr, s, TileFrame{});
    TriangleMesh m = part;
    const DisplacementReport r =
        ApplyDisplacement(m, projection, map, coverage.vertexWeights, s, &coverage.faceMask, TileFrame{});
    ASSERT_GT(r.displacedVertices, m.vertices.size() / 2);
    const SelfIntersectionCount after = CountSelfIntersections(m);
    EXPECT_EQ(after.intersectingPairs, 0u);
    EXPECT_EQ(after.foldedEdges, 0u);
    EXPECT_EQ(FacesFoldedOver(m), 0u);
    EXPECT_EQ(r.foldFurtherThanBefore, 0u);
}

}  // namespace
}  // namespace ridgeforge::mesh

namespace ridgeforge::mesh::relief_detail {
namespace {

// Loose triangles: a marked one at (10, 10, 10), one 0.3 mm above it, one
// 5 mm off, a sliver 20 mm long passing 0.2 mm over the marked one, three
// far out at 1000 mm along each axis, so that a grid of the marked
// triangle's size over the whole part would hold billions of cells, and
// 60,000 more far off, as many as a part whose later rounds look only near
// the marked triangles has.
TriangleMesh MakeScatteredTriangles() {
    TriangleMesh m;
    auto add = [&](Vec3f a, Vec3f b, Vec3f c) {
        for (const Vec3f& p : {a, b, c}) {
            m.indices.push_back(static_cast<std::uint32_t>(m.vertices.size()));
            m.vertices.push_back({p, {}});
        }
    };
    add({10, 10, 10}, {10.2f, 10, 10}, {10, 10.2f, 10});               // 0: marked
    add({10, 10, 10.3f}, {10.2f, 10, 10.3f}, {10, 10.2f, 10.3f});      // 1: above it
    add({15, 15, 15}, {15.2f, 15, 15}, {15, 15.2f, 15});               // 2: 5 mm off
    add({0, 10.05f, 10.2f}, {20, 10.05f, 10.2f}, {0, 10.15f, 10.2f});  // 3: sliver
    add({1000, 0, 0}, {1000.2f, 0, 0}, {1000, 0.2f, 0});               // 4..6: far out
    add({0, 1000, 0}, {0.2f, 1000, 0}, {0, 1000.2f, 0});
    add({0, 0, 1000}, {0.2f, 0, 1000}, {0, 0.2f, 1000});
    for (int i = 0; i < 60000; ++i) {
        const Vec3f at = {500.0f + 0.5f * static_cast<float>(i % 300), 500.0f + 0.5f * static_cast<float>(i / 300),
                          500};
        add(at, at + Vec3f{0.2f, 0, 0}, at + Vec3f{0, 0.2f, 0});
    }
    m.RecomputeBounds();
    return m;
}

TEST(MeshDisplacementCrossings, NearbyTrianglesOfAPartLargeAlongEveryAxisAreFoundAlone) {
    TriangleMesh m = MakeScatteredTriangles();
    const VertexFaceAdjacency faces(m);
    std::vector<std::uint8_t> mask(m.TriangleCount(), 0);
    mask[0] = 1;
    const std::vector<std::uint32_t> marked = {0};
    NearSearch search;
    search.faces = &faces;
    search.everyVertexUsed = true;
    // Within half a millimetre: the one above and the sliver over it; not
    // the one 5 mm off nor those far out.
    EXPECT_EQ(TrianglesNear(m, mask, marked, 0.5f, search), (std::vector<std::uint32_t>{0, 1, 3}));
    EXPECT_GE(search.longestSide, 20.0f);
    // A later call, after only the marked triangle moved: lifted 0.2 mm, it
    // still has the sliver, whose corners lie 10 mm away, and the one above.
    for (std::size_t k = 0; k < 3; ++k) m.vertices[k].position.z += 0.2f;
    EXPECT_EQ(TrianglesNear(m, mask, marked, 0.05f, search), (std::vector<std::uint32_t>{0, 1, 3}));
    // Moved to the one 5 mm off, it has that one alone.
    for (std::size_t k = 0; k < 3; ++k) m.vertices[k].position += Vec3f{5.0f, 5.0f, 4.8f};
    EXPECT_EQ(TrianglesNear(m, mask, marked, 0.05f, search), (std::vector<std::uint32_t>{0, 2}));
}

// A flat fan of eight triangles about the origin whose rim points, at
// radii 1 to 1.7 mm, move from every 45 degrees to every 90: it closes
// around the centre twice, every face still facing up, so that each face
// lies on the one a turn before it.
TEST(MeshDisplacementCrossings, AFanThatClosesTwiceAroundItsCentreIsEasedBack) {
    TriangleMesh m;
    std::vector<Vec3f> saved = {{0, 0, 0}};
    m.vertices.push_back({{0, 0, 0}, {}});
    for (int k = 0; k < 8; ++k) {
        const float r = 1.0f + 0.1f * static_cast<float>(k), a = 0.785398163f * static_cast<float>(k);
        saved.push_back({r * std::cos(a), r * std::sin(a), 0});
        m.vertices.push_back({{r * std::cos(2 * a), r * std::sin(2 * a), 0}, {}});
        m.indices.insert(m.indices.end(),
                         {0, static_cast<std::uint32_t>(k + 1), static_cast<std::uint32_t>((k + 1) % 8 + 1)});
    }
    m.RecomputeBounds();
    TriangleMesh before = m;
    for (std::size_t v = 0; v < saved.size(); ++v) before.vertices[v].position = saved[v];
    ASSERT_EQ(ridgeforge::test::CountSelfIntersections(before).intersectingPairs, 0u);
    ASSERT_GT(ridgeforge::test::CountSelfIntersections(m).intersectingPairs, 0u);
    DisplacementWork work;
    work.mesh = &m;
    work.vertexFaces = VertexFaceAdjacency(m);
    std::vector<std::uint8_t> eased(m.vertices.size(), 0);
    DisplacementReport report;
    EaseCrossings(m, work, saved, eased, report);
    EXPECT_EQ(ridgeforge::test::CountSelfIntersections(m).intersectingPairs, 0u);
    EXPECT_EQ(report.trianglesLeftTurned, 0u);
    // The rim gave its moves back; the centre and the rim point at 0 degrees
    // never moved.
    EXPECT_EQ(eased[0], 0);
    EXPECT_EQ(eased[1], 0);
    for (std::size_t v = 2; v < m.vertices.size(); ++v) EXPECT_EQ(eased[v], 1) << v;
}

// A sheet 6 mm square on 0.1 mm cells at z = 0 whose middle, 3 mm square,
// was pushed 0.3 mm up through a second sheet lying 0.1 mm above it. Only the
// triangles at the rim of the pushed part cross; once they give back their
// moves, the ring inside them crosses, and so on for fifteen rings inward.
TEST(MeshDisplacementCrossings, APlateauPushedThroughASheetIsGivenBackUntilNothingCrosses) {
    TriangleMesh m;
    std::vector<Vec3f> saved;
    std::vector<std::uint8_t> eased;
    const int cells = 60;
    auto at = [&](int i, int j) { return static_cast<std::uint32_t>(j * (cells + 1) + i); };
    for (int j = 0; j <= cells; ++j) {
        for (int i = 0; i <= cells; ++i) {
            const float x = -3.0f + 0.1f * static_cast<float>(i), y = -3.0f + 0.1f * static_cast<float>(j);
            const bool pushed = std::abs(i - cells / 2) <= 15 && std::abs(j - cells / 2) <= 15;
            saved.push_back({x, y, 0});
            m.vertices.push_back({{x, y, pushed ? 0.3f : 0.0f}, {}});
            // The tilt test eased the rim of the pushed part.
            eased.push_back(pushed && (std::abs(i - cells / 2) == 15 || std::abs(j - cells / 2) == 15) ? 1 : 0);
        }
    }
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            m.indices.insert(m.indices.end(),
                             {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    const auto sheet = static_cast<std::uint32_t>(m.vertices.size());
    for (const Vec3f p :
         {Vec3f{-2.5f, -2.5f, 0.1f}, Vec3f{2.5f, -2.5f, 0.1f}, Vec3f{2.5f, 2.5f, 0.1f}, Vec3f{-2.5f, 2.5f, 0.1f}}) {
        saved.push_back(p);
        m.vertices.push_back({p, {}});
        eased.push_back(0);
    }
    m.indices.insert(m.indices.end(), {sheet, sheet + 1, sheet + 2, sheet, sheet + 2, sheet + 3});
    m.RecomputeBounds();
    TriangleMesh before = m;
    for (std::size_t v = 0; v < saved.size(); ++v) before.vertices[v].position = saved[v];
    ASSERT_EQ(CountSelfIntersections(before).intersectingPairs, 0u);
    ASSERT_GT(CountSelfIntersections(m).intersectingPairs, 0u);
    DisplacementWork work;
    work.mesh = &m;
    work.vertexFaces = VertexFaceAdjacency(m);
    DisplacementReport report;
    EaseCrossings(m, work, saved, eased, report);
    const SelfIntersectionCount after = CountSelfIntersections(m);
    EXPECT_EQ(after.intersectingPairs, 0u);
    EXPECT_EQ(after.foldedEdges, 0u);
    EXPECT_EQ(report.trianglesLeftTurned, 0u);
    // Every pushed vertex went back under the upper sheet, each ring once the
    // ring outside it was back, straight down; the upper sheet never moved.
    for (std::size_t v = 0; v < sheet; ++v) {
        const Vec3f& p = m.vertices[v].position;
        EXPECT_TRUE(p.x == saved[v].x && p.y == saved[v].y && p.z >= 0.0f && p.z < 0.1f) << v;
    }
    for (std::size_t v = sheet; v < m.vertices.size(); ++v) EXPECT_EQ(m.vertices[v].position, saved[v]) << v;
}

// Two sheets of 0.2 mm squares, 20 mm across at z = 0 and z = 10, and one
// loose marked triangle 0.1 mm over the top sheet's far corner square: its
// neighbours sit in the last cell column, row and layer of the search's grid
// (the part's +x, +y and +z sides), where a grid or a reach one cell short
// would lose them. Looked for twice: the first call scans every triangle,
// the later one only the faces of the vertices around the touched cells.
TEST(MeshDisplacementCrossings, NearbyTrianglesInTheLastCellsOfTheGridAreFoundInALaterRound) {
    constexpr std::uint32_t kSquares = 100;
    TriangleMesh m;
    const auto sheet = [&](float z) {
        const auto base = static_cast<std::uint32_t>(m.vertices.size());
        for (std::uint32_t j = 0; j <= kSquares; ++j)
            for (std::uint32_t i = 0; i <= kSquares; ++i)
                m.vertices.push_back({{0.2f * static_cast<float>(i), 0.2f * static_cast<float>(j), z}, {}});
        for (std::uint32_t j = 0; j < kSquares; ++j) {
            for (std::uint32_t i = 0; i < kSquares; ++i) {
                const std::uint32_t a = base + j * (kSquares + 1) + i, b = a + 1, c = a + kSquares + 2,
                                    d = a + kSquares + 1;
                m.indices.insert(m.indices.end(), {a, b, c, a, c, d});
            }
        }
    };
    sheet(0.0f);
    sheet(10.0f);
    const auto loose = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.push_back({{19.82f, 19.82f, 10.1f}, {}});
    m.vertices.push_back({{19.98f, 19.82f, 10.1f}, {}});
    m.vertices.push_back({{19.98f, 19.98f, 10.1f}, {}});
    // A small triangle past the sheet's corner, 0.2 mm over the marked one,
    // whose corners all lie in the grid's last column, row and layer.
    m.vertices.push_back({{20.0f, 20.0f, 10.3f}, {}});
    m.vertices.push_back({{20.1f, 20.0f, 10.3f}, {}});
    m.vertices.push_back({{20.1f, 20.1f, 10.3f}, {}});
    m.indices.insert(m.indices.end(), {loose, loose + 1, loose + 2, loose + 3, loose + 4, loose + 5});
    m.RecomputeBounds();
    const auto markedTriangle = static_cast<std::uint32_t>(m.TriangleCount() - 2);
    const auto pastTheCorner = static_cast<std::uint32_t>(m.TriangleCount() - 1);
    // The top sheet's far corner square: its two triangles are the last two
    // of that sheet.
    const std::uint32_t perSheet = 2 * kSquares * kSquares;
    const std::uint32_t cornerA = 2 * perSheet - 2, cornerB = 2 * perSheet - 1;

    const VertexFaceAdjacency faces(m);
    std::vector<std::uint8_t> mask(m.TriangleCount(), 0);
    mask[markedTriangle] = 1;
    NearSearch search;
    search.faces = &faces;
    search.everyVertexUsed = true;
    const auto check = [&](const std::vector<std::uint32_t>& near, const char* round) {
        const auto has = [&](std::uint32_t t) { return std::binary_search(near.begin(), near.end(), t); };
        EXPECT_TRUE(has(markedTriangle)) << round;
        EXPECT_TRUE(has(cornerA) && has(cornerB)) << round;
        EXPECT_TRUE(has(pastTheCorner)) << round;
        for (const std::uint32_t t : near) {
            // Nothing of the bottom sheet, 10 mm down; nothing of the top
            // sheet more than a few squares from the corner.
            EXPECT_GE(t, perSheet) << round;
            if (t == markedTriangle || t == pastTheCorner) continue;
            const Vec3f& corner = m.vertices[m.indices[3 * t]].position;
            EXPECT_GE(corner.x, 17.0f) << round << " " << t;
            EXPECT_GE(corner.y, 17.0f) << round << " " << t;
        }
    };
    check(TrianglesNear(m, mask, {markedTriangle}, 0.25f, search), "first");
    // Only the marked triangle moves, a little higher: still over the corner.
    for (std::uint32_t k = 0; k < 3; ++k) m.vertices[loose + k].position.z += 0.05f;
    check(TrianglesNear(m, mask, {markedTriangle}, 0.25f, search), "later");
}

}  // namespace
}  // namespace ridgeforge::mesh::relief_detail
