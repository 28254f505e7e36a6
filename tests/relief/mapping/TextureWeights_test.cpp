#include "relief/mapping/TextureWeights.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/relief/displacement/ReliefTestSupport.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

Projection PlaneProjection() {
    Projection p;
    p.type = ProjectionType::Plane;
    p.cage.size = {100, 100, 100};
    return p;
}

TEST(TextureWeights, MaskVolumesFeatherTheWeight) {
    const TriangleMesh plate = test::MakeGridPlate(4.0f, 8);  // vertices every 0.5 mm
    MaskVolume box;
    box.size = {2, 2, 10};  // covers |x| <= 1, |y| <= 1
    box.featherMillimetres = 1.0f;
    MaskVolume off = box;
    off.enabled = false;
    off.center = {3, 3, 0};
    const std::vector<MaskVolume> masks = {off, box};
    const TextureCoverage c =
        ComputeTextureWeights(plate, PlaneProjection(), nullptr, DisplacementSettings{}, TileFrame{}, &masks);
    ASSERT_TRUE(c.MatchesMesh(plate));
    auto weightAt = [&](Vec3f p) { return c.vertexWeights[VertexAt(plate, p)]; };
    EXPECT_EQ(weightAt({0.5f, 0.5f, 0}), 0.0f);
    EXPECT_EQ(weightAt({1.0f, 0.0f, 0}), 0.0f);        // on the surface: inside
    EXPECT_FLOAT_EQ(weightAt({1.5f, 0.0f, 0}), 0.5f);  // 1 - (3 - 1) x 0.25
    EXPECT_FLOAT_EQ(weightAt({2.0f, 0.0f, 0}), 1.0f);
    EXPECT_FLOAT_EQ(weightAt({3.0f, 3.0f, 0}), 1.0f);  // the disabled volume
    // Every corner of one vertex carries the same weight here.
    for (std::size_t i = 0; i < plate.indices.size(); ++i) {
        EXPECT_EQ(c.cornerWeights[i], c.vertexWeights[plate.indices[i]]);
    }

    // Across the feather the weight follows the smoothstep 3t^2 - 2t^3, not
    // a straight line: a quarter of the way 0.156, three quarters 0.844.
    const TriangleMesh fine = test::MakeGridPlate(4.0f, 16);  // vertices every 0.25 mm
    const TextureCoverage f =
        ComputeTextureWeights(fine, PlaneProjection(), nullptr, DisplacementSettings{}, TileFrame{}, &masks);
    EXPECT_NEAR(f.vertexWeights[VertexAt(fine, {1.25f, 0.0f, 0})], 0.15625f, 1e-5f);
    EXPECT_NEAR(f.vertexWeights[VertexAt(fine, {1.75f, 0.0f, 0})], 0.84375f, 1e-5f);

    // Without a feather the weight drops to 0 inside and stays outside.
    std::vector<MaskVolume> hard = {box};
    hard[0].featherMillimetres = 0.0f;
    const TextureCoverage h =
        ComputeTextureWeights(plate, PlaneProjection(), nullptr, DisplacementSettings{}, TileFrame{}, &hard);
    EXPECT_EQ(h.vertexWeights[VertexAt(plate, {1.0f, 1.0f, 0})], 0.0f);
    EXPECT_EQ(h.vertexWeights[VertexAt(plate, {1.5f, 0.0f, 0})], 1.0f);
}

TEST(TextureWeights, OutsideRuleDecidesASharedVertex) {
    // Two triangles of equal area, (a, b, c) and (a, c, d); the first marked
    // outward, the second inward, and side +z textures only outward faces.
    const TriangleMesh plate = test::MakeGridPlate(1.0f, 1);
    Projection p = BoxProjection();
    p.box.sideSurface[4] = SurfaceSelection::Outside;
    const std::vector<std::uint8_t> mask = {255, 0};
    const std::uint32_t a = plate.indices[0], b = plate.indices[1], d = plate.indices[5];
    DisplacementSettings s;
    const float expected[3][3] = {{1.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.5f, 1.0f, 0.0f}};
    const OutsideRule rules[3] = {OutsideRule::Any, OutsideRule::All, OutsideRule::Average};
    for (int r = 0; r < 3; ++r) {
        s.outsideRule = rules[r];
        const TextureCoverage c = ComputeTextureWeights(plate, p, &mask, s, TileFrame{});
        EXPECT_FLOAT_EQ(c.vertexWeights[a], expected[r][0]) << "rule " << r;
        EXPECT_FLOAT_EQ(c.vertexWeights[b], expected[r][1]) << "rule " << r;
        EXPECT_FLOAT_EQ(c.vertexWeights[d], expected[r][2]) << "rule " << r;
        EXPECT_EQ(c.texturedFaces, (std::vector<std::uint8_t>{1, 0}));
        EXPECT_EQ(c.faceMask, mask);
    }
    s.outsideRule = static_cast<OutsideRule>(9);
    for (float w : ComputeTextureWeights(plate, p, &mask, s, TileFrame{}).vertexWeights) EXPECT_EQ(w, 0.0f);
}

TEST(TextureWeights, FaceMaskLengthSideRulesClipAndUnusedVertices) {
    TriangleMesh box = test::MakeGridBox({-5, -5, -5}, {5, 5, 5}, 2);
    box.vertices.push_back({{50, 50, 50}, {0, 0, 1}});  // used by no triangle
    Projection inside = BoxProjection();
    inside.box.sideSurface.fill(SurfaceSelection::Inside);
    const std::vector<std::uint8_t> wrongLength(box.TriangleCount() + 1, 0);
    // A mask of the wrong length is ignored: every face counts as outward,
    // so sides limited to inner faces texture nothing.
    const TextureCoverage c = ComputeTextureWeights(box, inside, &wrongLength, DisplacementSettings{}, TileFrame{});
    ASSERT_TRUE(c.MatchesMesh(box));
    EXPECT_EQ(c.faceMask, std::vector<std::uint8_t>(box.TriangleCount(), 255));
    for (float w : c.cornerWeights) EXPECT_EQ(w, 0.0f);
    for (std::uint8_t f : c.texturedFaces) EXPECT_EQ(f, 0);
    const TextureCoverage noMask = ComputeTextureWeights(box, inside, nullptr, DisplacementSettings{}, TileFrame{});
    EXPECT_EQ(noMask.faceMask, c.faceMask);
    for (float w : noMask.vertexWeights) EXPECT_EQ(w, 0.0f);

    const TextureCoverage all =
        ComputeTextureWeights(box, BoxProjection(), nullptr, DisplacementSettings{}, TileFrame{});
    EXPECT_EQ(all.vertexWeights.back(), 0.0f);
    EXPECT_FLOAT_EQ(all.vertexWeights[VertexAt(box, {5, 0, 0})], 1.0f);

    // With the clip, a 2 mm tile from the layer origin (the cage centre)
    // reaches only the middle of each face.
    TileFrame frame;
    frame.clip = true;
    frame.widthMillimetres = 2.0f;
    frame.heightMillimetres = 2.0f;
    const TextureCoverage clipped = ComputeTextureWeights(box, BoxProjection(), nullptr, DisplacementSettings{}, frame);
    EXPECT_EQ(clipped.vertexWeights[VertexAt(box, {5, 5, 5})], 0.0f);
    EXPECT_EQ(clipped.vertexWeights[VertexAt(box, {5, 5, 0})], 0.0f);
    EXPECT_FLOAT_EQ(clipped.vertexWeights[VertexAt(box, {5, 0, 0})], 1.0f);

    TriangleMesh broken = box;
    broken.indices.pop_back();
    const TextureCoverage none =
        ComputeTextureWeights(broken, BoxProjection(), nullptr, DisplacementSettings{}, TileFrame{});
    EXPECT_TRUE(none.cornerWeights.empty() && none.vertexWeights.empty() && none.texturedFaces.empty() &&
                none.faceMask.empty());
    EXPECT_FALSE(none.MatchesMesh(box));
}

TEST(TextureWeights, FlagsToMaskCountsFacesWithoutAreaAsOutward) {
    EXPECT_EQ(FlagsToMask({1, 0, 2}), (std::vector<std::uint8_t>{255, 0, 255}));
    EXPECT_TRUE(FlagsToMask({}).empty());
}

TEST(TextureWeights, RemapFollowsTheMapsAndRefusesOnesThatDoNotFit) {
    // Old: two triangles (0, 1, 2) and (0, 2, 3). New: one triangle (0, 1, 2)
    // made of old vertices 0, 2, 3, from old triangle 1 but with its corners
    // turned, so only the first corner matches the old corner.
    const TriangleMesh oldMesh = test::MakeGridPlate(1.0f, 1);
    TextureCoverage c;
    c.cornerWeights = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    c.vertexWeights = {1.0f, 2.0f, 3.0f, 4.0f};
    c.texturedFaces = {1, 0};
    c.faceMask = {255, 0};
    ASSERT_TRUE(c.MatchesMesh(oldMesh));
    const std::vector<std::uint32_t> vertexMap = {oldMesh.indices[0], oldMesh.indices[2], oldMesh.indices[5]};
    TriangleMesh newMesh;
    for (std::uint32_t old : vertexMap) newMesh.vertices.push_back(oldMesh.vertices[old]);
    newMesh.indices = {0, 2, 1};
    const TextureCoverage r = RemapTextureCoverage(c, oldMesh, newMesh, vertexMap, {1});
    ASSERT_TRUE(r.MatchesMesh(newMesh));
    EXPECT_EQ(r.texturedFaces, (std::vector<std::uint8_t>{0}));
    EXPECT_EQ(r.faceMask, (std::vector<std::uint8_t>{0}));
    EXPECT_FLOAT_EQ(r.vertexWeights[1], c.vertexWeights[oldMesh.indices[2]]);
    EXPECT_FLOAT_EQ(r.cornerWeights[0], 0.4f);  // same vertex as old corner 3
    EXPECT_FLOAT_EQ(r.cornerWeights[1], c.vertexWeights[oldMesh.indices[5]]);
    EXPECT_FLOAT_EQ(r.cornerWeights[2], c.vertexWeights[oldMesh.indices[2]]);

    const std::vector<std::uint32_t> shortMap = {vertexMap[0], vertexMap[1]};
    EXPECT_TRUE(RemapTextureCoverage(c, oldMesh, newMesh, shortMap, {1}).vertexWeights.empty());
    EXPECT_TRUE(RemapTextureCoverage(c, oldMesh, newMesh, vertexMap, {}).vertexWeights.empty());
    EXPECT_TRUE(RemapTextureCoverage(c, oldMesh, newMesh, {vertexMap[0], vertexMap[1], 4}, {1}).vertexWeights.empty());
    EXPECT_TRUE(RemapTextureCoverage(c, oldMesh, newMesh, vertexMap, {2}).cornerWeights.empty());
    TextureCoverage stale = c;
    stale.faceMask.pop_back();
    EXPECT_TRUE(RemapTextureCoverage(stale, oldMesh, newMesh, vertexMap, {1}).faceMask.empty());
}

TEST(TextureWeights, AContextIsAskedAndItsStopEndsTheWeights) {
    // 10,800 triangles: a few chunks, each of which looks at the clock.
    const TriangleMesh box = test::MakeGridBox({-5, -4, -3}, {6, 5, 4}, 30);
    const Projection projection = BoxProjection();
    DisplacementSettings settings;
    settings.outsideRule = OutsideRule::Average;
    const TextureCoverage plain = ComputeTextureWeights(box, projection, nullptr, settings, TileFrame{});
    ASSERT_TRUE(plain.MatchesMesh(box));

    int asks = 0;
    const ProgressCallback goOn = [&](const std::string& stage, float) {
        EXPECT_EQ(stage, "weights");
        ++asks;
        return true;
    };
    CancelContext going;
    going.callback = &goOn;
    going.stageName = "weights";
    const TextureCoverage asked = ComputeTextureWeights(box, projection, nullptr, settings, TileFrame{}, nullptr, &going);
    EXPECT_GE(asks, 1);
    EXPECT_EQ(asked.cornerWeights, plain.cornerWeights);
    EXPECT_EQ(asked.vertexWeights, plain.vertexWeights);
    EXPECT_EQ(asked.texturedFaces, plain.texturedFaces);

    const ProgressCallback stop = [](const std::string&, float) { return false; };
    CancelContext stopping;
    stopping.callback = &stop;
    EXPECT_THROW(ComputeTextureWeights(box, projection, nullptr, settings, TileFrame{}, nullptr, &stopping), Stopped);
}

TEST(TextureWeights, ReportAndStatistics) {
    TextureCoverage c;
    c.texturedFaces = {1, 0, 1};
    c.vertexWeights = {0.0f, 1.0f, 0.5f, 0.5f};
    EXPECT_EQ(FormatCoverageReport(c), "2 of 3 faces receive texture, 3 of 4 vertices will move, mean weight 0.67");
    c.vertexWeights = {0.0f, 0.0f};
    EXPECT_EQ(FormatCoverageReport(c), "2 of 3 faces receive texture, 0 of 2 vertices will move");

    const TriangleMesh plate = test::MakeGridPlate(2.0f, 1);  // two triangles of 2 mm² each
    const FaceMaskStatistics s = CoverageStatistics(plate, {0, 7, 9});
    EXPECT_EQ(s.faces, 3u);
    EXPECT_EQ(s.maskedFaces, 1u);
    EXPECT_DOUBLE_EQ(s.totalArea, 4.0);
    EXPECT_DOUBLE_EQ(s.maskedArea, 2.0);
    TriangleMesh broken = plate;
    broken.indices[0] = 99;
    const FaceMaskStatistics b = CoverageStatistics(broken, {1, 1});
    EXPECT_EQ(b.faces, 2u);
    EXPECT_EQ(b.maskedFaces, 0u);
}

}  // namespace
}  // namespace ridgeforge::mesh
