#include "relief/repair/FixBuildingBlocks.h"

#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

#include "testing/Shapes.h"

using namespace ridgeforge::mesh;
using namespace ridgeforge::mesh::fixes;
using ridgeforge::test::MakeGridPlate;

namespace {

TriangleMesh FromPoints(std::initializer_list<Vec3f> points, std::initializer_list<std::uint32_t> indices) {
    TriangleMesh m;
    for (const Vec3f& p : points) m.vertices.push_back({p, {}});
    m.indices = indices;
    return m;
}

// A tilted triangle at the origin whose normal makes `degrees` with +z, and a
// huge flat triangle facing +z that shares its first corner: the sum of
// normals around the small one points along +z to within a hair.
TriangleMesh TiltedAgainstFlat(double degrees) {
    const double r = degrees * 3.14159265358979323846 / 180.0;
    return FromPoints({{0, 0, 0},
                       {1, 0, 0},
                       {0, static_cast<float>(std::cos(r)), static_cast<float>(std::sin(r))},
                       {-1000, -1000, 0},
                       {1000, -1000, 0}},
                      {0, 1, 2, 0, 3, 4});
}

// Triangle 0 lies in z = 0 facing +z; triangle 1 shares its edge 0-1, wound
// the other way, with its far corner at (0.5, 0.5, h).
TriangleMesh FoldedPair(float h) {
    return FromPoints({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, h}}, {0, 1, 2, 1, 0, 3});
}

// Needle (0, 2, 1) on y = 0 between its neighbours above (apex 3) and, when
// `closedBelow`, the triangle below (apex 4), all facing +z.
TriangleMesh NeedleStrip(bool closedBelow) {
    TriangleMesh m = FromPoints({{0, 0, 0}, {2, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, -1, 0}}, {0, 1, 2, 2, 1, 3, 0, 2, 3});
    if (closedBelow) m.indices.insert(m.indices.end(), {1, 0, 4});
    return m;
}

bool HasFlatZeroArea(const TriangleMesh& m) { return CountZeroAreaTriangles(m) > 0; }

}  // namespace

TEST(FixBuildingBlocks, RelaxationNeverMovesAVertexFurtherThanTheMaximum) {
    TriangleMesh plate = MakeGridPlate(10.0f, 10);
    // Pushing an inner vertex across two of its neighbours folds triangles over.
    const std::uint32_t pushed = 5 * 11 + 5;
    plate.vertices[pushed].position.x += 2.5f;
    const VertexAdjacency adjacency = BuildVertexAdjacency(plate);
    std::uint64_t folded = 0;
    for (std::uint32_t t = 0; t < plate.TriangleCount(); ++t) folded += IsFoldedTriangle(plate, adjacency, t);
    EXPECT_GT(folded, 0u);

    const std::vector<Vec3f> before = SnapshotPositions(plate);
    std::vector<Vec3f> start(plate.vertices.size());
    std::vector<std::uint8_t> moved(plate.vertices.size(), 0);
    std::vector<std::uint8_t> pinned(plate.vertices.size(), 0);
    pinned[0] = 1;
    std::vector<std::uint32_t> all(plate.vertices.size());
    for (std::uint32_t v = 0; v < all.size(); ++v) all[v] = v;
    for (int step = 0; step < 60; ++step) RelaxVertices(plate, adjacency, all, start, moved, pinned, 1.0f);
    double furthest = 0.0;
    for (std::size_t v = 0; v < all.size(); ++v) {
        const double d = Length(ToDouble(plate.vertices[v].position) - ToDouble(before[v]));
        EXPECT_LE(d, 1.0) << v;
        furthest = std::max(furthest, d);
    }
    EXPECT_GT(furthest, 0.9);  // the pushed vertex wanted to go back 2.5 mm
    EXPECT_EQ(plate.vertices[0].position, before[0]);
    EXPECT_EQ(moved[0], 0);
    EXPECT_EQ(moved[pushed], 1);
    EXPECT_EQ(start[pushed], before[pushed]);

    // A maximum of 0 keeps everything where it is, yet records the starts.
    TriangleMesh still = MakeGridPlate(10.0f, 4);
    still.vertices[12].position.z = 3.0f;
    const std::vector<Vec3f> stillBefore = SnapshotPositions(still);
    const VertexAdjacency stillAdjacency = BuildVertexAdjacency(still);
    std::vector<Vec3f> stillStart(still.vertices.size());
    std::vector<std::uint8_t> stillMoved(still.vertices.size(), 0);
    const std::vector<std::uint8_t> none(still.vertices.size(), 0);
    RelaxVertices(still, stillAdjacency, {12, 7}, stillStart, stillMoved, none, 0.0f);
    EXPECT_EQ(SnapshotPositions(still), stillBefore);
    EXPECT_EQ(stillMoved[12] + stillMoved[7], 2);
}

TEST(FixBuildingBlocks, FoldTestThreshold) {
    // One triangle of a flat plate wound the other way faces exactly against the sum.
    TriangleMesh plate = MakeGridPlate(4.0f, 4);
    std::swap(plate.indices[3 * 10 + 1], plate.indices[3 * 10 + 2]);
    const VertexAdjacency adjacency = BuildVertexAdjacency(plate);
    for (std::uint32_t t = 0; t < plate.TriangleCount(); ++t)
        EXPECT_EQ(IsFoldedTriangle(plate, adjacency, t), t == 10) << t;

    // 107 degrees is the line: 100 stays, 110 is folded.
    for (const auto& [degrees, folded] : {std::pair{100.0, false}, std::pair{110.0, true}, std::pair{60.0, false}}) {
        const TriangleMesh m = TiltedAgainstFlat(degrees);
        EXPECT_EQ(IsFoldedTriangle(m, BuildVertexAdjacency(m), 0), folded) << degrees;
    }
    // A triangle without area is never folded.
    const TriangleMesh flat = FromPoints({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}}, {0, 1, 2, 0, 3, 1});
    EXPECT_FALSE(IsFoldedTriangle(flat, BuildVertexAdjacency(flat), 0));
}

// A disk fanned about its centre from 2,000 rim points in the plane z = 0,
// with one fan triangle wound the other way and one rim point lifted 100 mm,
// which tips the two triangles at it up steeply: only the turned one faces
// against the sum at its corners, where the hub's 2,000 triangles weigh
// most. Both ways of summing agree on every triangle.
TEST(FixBuildingBlocks, FoldsAtTheHubOfALargeFan) {
    TriangleMesh fan;
    const std::uint32_t rim = 2000;
    fan.vertices.push_back({{0, 0, 0}, {}});
    for (std::uint32_t i = 0; i < rim; ++i) {
        const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(rim);
        fan.vertices.push_back({{10.0f * std::cos(a), 10.0f * std::sin(a), 0.0f}, {}});
    }
    for (std::uint32_t i = 0; i < rim; ++i) fan.indices.insert(fan.indices.end(), {0, 1 + i, 1 + (i + 1) % rim});
    std::swap(fan.indices[3 * 700 + 1], fan.indices[3 * 700 + 2]);
    fan.vertices[1 + 1501].position.z = 100.0f;
    const VertexAdjacency adjacency = BuildVertexAdjacency(fan);
    const std::vector<Vec3d> sums = CornerNormalSums(fan, adjacency);
    ASSERT_EQ(sums.size(), fan.vertices.size());
    for (std::uint32_t t = 0; t < fan.TriangleCount(); ++t) {
        EXPECT_EQ(IsFoldedTriangle(fan, sums, t), t == 700) << t;
        EXPECT_EQ(IsFoldedTriangle(fan, adjacency, t), t == 700) << t;
    }
    // Along z the hub's sum is that of 2,000 triangles of one size, lifting
    // a corner changes none of them, and the turned one counts against:
    // 1,999 less 1.
    const double each = Length(Cross(ToDouble(fan.vertices[2].position) - ToDouble(fan.vertices[0].position),
                                     ToDouble(fan.vertices[3].position) - ToDouble(fan.vertices[0].position)));
    EXPECT_NEAR(sums[0].z, 1998.0 * each, 1e-4 * 1998.0 * each);
}

// A judge that is asked again after corners moved judges the mesh as it is
// then. The small triangle tilted 110 degrees from the huge flat one is
// folded; once the huge one is turned over, the sum at the small one's
// corners points down, 70 degrees from it, and nothing is folded. And on a
// plate with its middle vertex dragged past its neighbours, the judge finds
// what each triangle tested on its own gives, in the order asked.
TEST(FixBuildingBlocks, AFoldJudgeSeesTheMeshAsItIsNow) {
    TriangleMesh tilted = TiltedAgainstFlat(110.0);
    const VertexAdjacency tiltedAdjacency = BuildVertexAdjacency(tilted);
    FoldJudge judge(tilted.vertices.size());
    EXPECT_EQ(judge.Folded(tilted, tiltedAdjacency, {0, 1}), (std::vector<std::uint32_t>{0}));
    std::swap(tilted.vertices[3].position, tilted.vertices[4].position);
    EXPECT_TRUE(judge.Folded(tilted, tiltedAdjacency, {0, 1}).empty());

    TriangleMesh plate = MakeGridPlate(4.0f, 4);
    const VertexAdjacency adjacency = BuildVertexAdjacency(plate);
    plate.vertices[12].position.x += 2.5f;
    std::vector<std::uint32_t> backwards, folded;
    for (std::uint32_t t = plate.TriangleCount(); t-- > 0;) {
        backwards.push_back(t);
        if (IsFoldedTriangle(plate, adjacency, t)) folded.push_back(t);
    }
    EXPECT_FALSE(folded.empty());
    FoldJudge plateJudge(plate.vertices.size());
    EXPECT_EQ(plateJudge.Folded(plate, adjacency, backwards), folded);
}

TEST(FixBuildingBlocks, FoldLyingOnItsNeighbour) {
    for (const auto& [h, lies] :
         {std::pair{0.01f, true}, std::pair{0.0f, true}, std::pair{-0.00005f, true}, std::pair{-0.01f, false}}) {
        const TriangleMesh m = FoldedPair(h);
        EXPECT_EQ(FoldLiesOnNeighbour(m, BuildVertexAdjacency(m), 0), lies) << h;
    }
    // A neighbour that is not folded flat onto the triangle does not count.
    const TriangleMesh open = FromPoints({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5f, -0.5f, 0.1f}}, {0, 1, 2, 1, 0, 3});
    EXPECT_FALSE(FoldLiesOnNeighbour(open, BuildVertexAdjacency(open), 0));
    // Two triangles across the edge: no single neighbour.
    TriangleMesh two = FoldedPair(0.01f);
    two.vertices.push_back({{0.5f, 0.4f, 0.02f}, {}});
    two.indices.insert(two.indices.end(), {1, 0, 4});
    EXPECT_FALSE(FoldLiesOnNeighbour(two, BuildVertexAdjacency(two), 0));
}

TEST(FixBuildingBlocks, RegionsGrowInRingsInTheOrderFirstMet) {
    const TriangleMesh plate = MakeGridPlate(3.0f, 3);  // 4 x 4 vertices
    const VertexAdjacency adjacency = BuildVertexAdjacency(plate);
    // Triangle 8 is (5, 6, 10), triangle 9 (5, 10, 9).
    EXPECT_EQ(CollectVerticesAround(plate, adjacency, {8, 9}, 0), (std::vector<std::uint32_t>{5, 6, 10, 9}));
    EXPECT_EQ(CollectVerticesAround(plate, adjacency, {8, 9}, -3), (std::vector<std::uint32_t>{5, 6, 10, 9}));
    const std::vector<std::uint32_t> ring = CollectVerticesAround(plate, adjacency, {8}, 1);
    EXPECT_EQ(std::vector<std::uint32_t>(ring.begin(), ring.begin() + 3), (std::vector<std::uint32_t>{5, 6, 10}));
    // 5's neighbours first (0, 1, 4, 9), then 6's new ones (2, 7, 11), then 10's (14, 15).
    EXPECT_EQ(ring, (std::vector<std::uint32_t>{5, 6, 10, 0, 1, 4, 9, 2, 7, 11, 14, 15}));
    // Corner 12 touches only 8 and 13, neither listed when the second ring began.
    EXPECT_EQ(CollectVerticesAround(plate, adjacency, {8}, 2).size(), 15u);
}

TEST(FixBuildingBlocks, MedianLongestEdgeAndLongEdgePins) {
    EXPECT_EQ(MedianLongestEdge(TriangleMesh{}), 0.0f);
    // Longest edges 1, 3, 2 (sorted 1, 2, 3): position 1 holds 2.
    TriangleMesh m = FromPoints({{0, 0, 0},
                                 {1, 0, 0},
                                 {0.5f, 0.1f, 0},
                                 {10, 0, 0},
                                 {13, 0, 0},
                                 {11.5f, 0.1f, 0},
                                 {20, 0, 0},
                                 {22, 0, 0},
                                 {21, 0.1f, 0}},
                                {0, 1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_FLOAT_EQ(MedianLongestEdge(m), 2.0f);
    // A fourth with a 13 mm edge: sorted 1, 2, 3, 13, position 2 holds 3.
    // Only that edge is longer than 4 x 3; its 6.5 mm sides are not.
    m.vertices.push_back({{30, 0, 0}, {}});
    m.vertices.push_back({{43, 0, 0}, {}});
    m.vertices.push_back({{36.5f, 0.1f, 0}, {}});
    m.indices.insert(m.indices.end(), {9, 10, 11});
    EXPECT_FLOAT_EQ(MedianLongestEdge(m), 3.0f);
    const std::vector<std::uint8_t> pinned = LongEdgeVertices(m);
    EXPECT_EQ(pinned, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0}));
}

// Counted and listed in chunks of triangles: the list stays in triangle order.
TEST(FixBuildingBlocks, ZeroAreaTrianglesListedInOrderAcrossChunks) {
    TriangleMesh plate = MakeGridPlate(10.0f, 100);  // 20,000 triangles
    for (const std::size_t t : {17000, 3, 16384}) plate.indices[3 * t] = plate.indices[3 * t + 1];
    EXPECT_EQ(CountZeroAreaTriangles(plate), 3u);
    EXPECT_EQ(ListZeroAreaTriangles(plate), (std::vector<std::uint32_t>{3, 16384, 17000}));
}

TEST(FixBuildingBlocks, NeedlesTurnAwayOnlyWhereTheTurnIsSound) {
    TriangleMesh strip = NeedleStrip(true);
    EXPECT_TRUE(IsNeedleTriangle(strip, 0));
    EXPECT_FALSE(IsNeedleTriangle(strip, 1));
    EXPECT_EQ(CountZeroAreaTriangles(strip), 1u);
    EXPECT_EQ(ListZeroAreaTriangles(strip), (std::vector<std::uint32_t>{0}));
    const float area = strip.SurfaceArea();
    EXPECT_EQ(RemoveZeroAreaTriangles(strip), 1u);
    EXPECT_FALSE(HasFlatZeroArea(strip));
    EXPECT_FLOAT_EQ(strip.SurfaceArea(), area);
    // The needle became (a, o, c), the neighbour (o, b, c), both facing +z.
    EXPECT_EQ(std::vector<std::uint32_t>(strip.indices.begin(), strip.indices.begin() + 3),
              (std::vector<std::uint32_t>{0, 4, 2}));
    EXPECT_EQ(std::vector<std::uint32_t>(strip.indices.begin() + 9, strip.indices.end()),
              (std::vector<std::uint32_t>{4, 1, 2}));
    for (std::uint32_t t = 0; t < strip.TriangleCount(); ++t) EXPECT_GT(strip.FaceNormal(t).z, 0.0f) << t;

    // On an open edge there is nobody to turn with.
    TriangleMesh border = NeedleStrip(false);
    const std::vector<std::uint32_t> before = border.indices;
    EXPECT_EQ(RemoveZeroAreaTriangles(border), 0u);
    EXPECT_EQ(border.indices, before);

    // A neighbour wound the same way as the needle is no partner either.
    TriangleMesh sameWay = NeedleStrip(true);
    sameWay.indices[9] = 0, sameWay.indices[10] = 1;
    const std::vector<std::uint32_t> sameBefore = sameWay.indices;
    EXPECT_EQ(RemoveZeroAreaTriangles(sameWay), 0u);
    EXPECT_EQ(sameWay.indices, sameBefore);

    // A triangle with two corners at one place has no area but is no needle.
    const TriangleMesh pinched = FromPoints({{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}, {0, 1, 2});
    EXPECT_FALSE(IsNeedleTriangle(pinched, 0));
    EXPECT_EQ(CountZeroAreaTriangles(pinched), 1u);
}

TEST(FixBuildingBlocks, NeedlesSharingAVertexTurnInSuccessivePasses) {
    // Needles (0, 2, 1) and (2, 4, 3) on y = 0 share vertex 2.
    TriangleMesh m = FromPoints(
        {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {1, 1, 0}, {3, 1, 0}, {1, -1, 0}, {3, -1, 0}},
        {0, 2, 1, 2, 4, 3, 1, 2, 5, 0, 1, 5, 3, 4, 6, 2, 3, 6, 2, 0, 7, 4, 2, 8});
    EXPECT_EQ(ListZeroAreaTriangles(m), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(RemoveZeroAreaTriangles(m), 2u);
    EXPECT_EQ(CountZeroAreaTriangles(m), 0u);
    for (std::uint32_t t = 0; t < m.TriangleCount(); ++t) EXPECT_GT(m.FaceNormal(t).z, 0.0f) << t;
}

TEST(FixBuildingBlocks, CollapseTargetsNeverReachZeroOrWrap) {
    EXPECT_EQ(CollapseTarget(100, 30), 70u);
    EXPECT_EQ(CollapseTarget(100, 99), 1u);
    EXPECT_EQ(CollapseTarget(100, 100), 1u);
    EXPECT_EQ(CollapseTarget(10, 12), 1u);  // more than half the triangles to go twice over
    EXPECT_EQ(CollapseTarget(0, 2), 1u);
    EXPECT_EQ(CollapseTarget(5000000000ull, 2), 4999999998ull);
}
