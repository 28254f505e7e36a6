#include "relief/displacement/DisplacementSampling.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/relief/displacement/ReliefTestSupport.h"
#include "testing/Shapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

ProjectionSamples Samples(std::initializer_list<ProjectionSample> list, float coverage) {
    ProjectionSamples s;
    for (const ProjectionSample& sample : list) s.samples[s.count++] = sample;
    s.coverage = coverage;
    s.dominantSide = s.samples[0].side;
    return s;
}

TEST(DisplacementSampling, MidLevelByModeAndDirection) {
    DisplacementSettings s;
    s.midLevel = 0.3f;
    // 100 pixels: two black, two white, the rest grey.
    std::vector<float> pixels(100, 0.4f);
    pixels[3] = pixels[57] = 0.0f;
    pixels[10] = pixels[90] = 1.0f;
    HeightMap map = MakeMap(10, 10, pixels);
    EXPECT_FLOAT_EQ(ResolveMidLevel(map, s), 0.3f);
    s.midLevelMode = MidLevelMode::Automatic;
    EXPECT_FLOAT_EQ(ResolveMidLevel(HeightMap{}, s), 0.3f);
    s.direction = DisplacementDirection::Outward;
    EXPECT_FLOAT_EQ(ResolveMidLevel(map, s), 0.0f);
    s.direction = DisplacementDirection::Inward;
    EXPECT_FLOAT_EQ(ResolveMidLevel(map, s), 1.0f);
    s.direction = DisplacementDirection::Centred;
    EXPECT_FLOAT_EQ(ResolveMidLevel(map, s), 0.5f);
    map.neutralHeight = 0.2f;
    map.settings.invert = true;  // the neutral height passes the levels too
    EXPECT_FLOAT_EQ(ResolveMidLevel(map, s), 0.8f);
}

TEST(DisplacementSampling, OffsetNegatesBeforeTheDirectionClamp) {
    DisplacementSettings s;
    s.strengthMillimetres = 2.0f;
    EXPECT_FLOAT_EQ(HeightOffset(0.8f, 0.5f, s), 0.6f);
    EXPECT_FLOAT_EQ(HeightOffset(0.2f, 0.5f, s), -0.6f);
    s.direction = DisplacementDirection::Inward;
    EXPECT_FLOAT_EQ(HeightOffset(0.8f, 0.5f, s), 0.0f);
    s.invert = true;
    EXPECT_FLOAT_EQ(HeightOffset(0.8f, 0.5f, s), -0.6f);
    EXPECT_FLOAT_EQ(HeightOffset(0.2f, 0.5f, s), 0.0f);
    s.direction = DisplacementDirection::Outward;
    EXPECT_FLOAT_EQ(HeightOffset(0.8f, 0.5f, s), 0.0f);
    EXPECT_FLOAT_EQ(HeightOffset(0.2f, 0.5f, s), 0.6f);
}

TEST(DisplacementSampling, ClipKeepsSamplesOnTheTileAndRenormalises) {
    TileFrame frame;
    frame.widthMillimetres = 10.0f;
    frame.heightMillimetres = 10.0f;
    const ProjectionSamples original =
        Samples({{5.0f, 5.0f, 0.5f, 0}, {15.0f, 5.0f, 0.3f, 2}, {10.0f, 0.0f, 0.2f, 4}}, 0.8f);
    ProjectionSamples s = original;
    ClipSamplesToMap(frame, s);  // clip off: untouched
    EXPECT_EQ(s.count, 3);
    EXPECT_FLOAT_EQ(s.coverage, 0.8f);

    frame.clip = true;
    ClipSamplesToMap(frame, s);
    ASSERT_EQ(s.count, 2);
    EXPECT_EQ(s.samples[0].side, 0);
    EXPECT_EQ(s.samples[1].side, 4);  // (10, 0) lies on the tile's edge: kept
    EXPECT_FLOAT_EQ(s.samples[0].weight, 0.5f / 0.7f);
    EXPECT_FLOAT_EQ(s.samples[1].weight, 0.2f / 0.7f);
    EXPECT_FLOAT_EQ(s.coverage, 0.8f * 0.7f);
    EXPECT_EQ(s.samples[2].side, -1);
    EXPECT_EQ(s.dominantSide, 0);

    ProjectionSamples outside = Samples({{-1.0f, 5.0f, 1.0f, 3}}, 1.0f);
    ClipSamplesToMap(frame, outside);
    EXPECT_EQ(outside.count, 0);
    EXPECT_EQ(outside.coverage, 0.0f);
    EXPECT_EQ(outside.dominantSide, -1);
}

TEST(DisplacementSampling, WeightedHeightAndTheFallbackToTheLargestSample) {
    // Pixel centres of a 2 x 2 map on a 30 mm tile lie at 7.5 and 22.5 mm.
    const HeightMap map = MakeMap(2, 2, {0.2f, 0.8f, 0.2f, 0.8f}, WrapMode::Clamp);
    const ProjectionSamples s = Samples({{7.5f, 7.5f, 0.25f, 0}, {22.5f, 7.5f, 0.75f, 2}}, 1.0f);
    EXPECT_NEAR(WeightedSampleHeight(map, s), 0.25f * 0.2f + 0.75f * 0.8f, 1e-6f);
    const ProjectionSamples unweighted = Samples({{7.5f, 7.5f, 0.0f, 0}, {22.5f, 7.5f, 0.0f, 2}}, 1.0f);
    EXPECT_NEAR(WeightedSampleHeight(map, unweighted), 0.2f, 1e-6f);
    EXPECT_NEAR(WeightedSampleHeight(map, ProjectionSamples{}), 0.2f, 1e-6f);  // (0, 0) clamps to pixel 0
    EXPECT_EQ(WeightedSampleHeight(HeightMap{}, s), 0.0f);
}

TEST(DisplacementSampling, EmptyMapGivesZeroOffsets) {
    const TriangleMesh box = test::MakeGridBox({-5, -5, -5}, {5, 5, 5}, 2);
    const std::vector<float> offsets =
        SampleDisplacementHeights(box, BoxProjection(), HeightMap{}, DisplacementSettings{}, nullptr, TileFrame{});
    ASSERT_EQ(offsets.size(), box.vertices.size());
    for (float o : offsets) EXPECT_EQ(o, 0.0f);
}

TEST(DisplacementSampling, PerVertexUnlessFaceBytesMatter) {
    // A 20 x 20 mm plate at z = 0 under a plane mapping: u = x, v = y.
    const TriangleMesh plate = test::MakeGridPlate(20.0f, 2);
    Projection plane;
    plane.type = ProjectionType::Plane;
    plane.cage.size = {100, 100, 100};
    const HeightMap map = UniformMap(1.0f);
    DisplacementSettings s;
    const std::vector<std::uint8_t> inward(plate.TriangleCount(), 0);
    // The plane has no side rules: face bytes change nothing without the clip.
    plane.box.sideSurface[4] = SurfaceSelection::Inside;
    const std::vector<float> perVertex = SampleDisplacementHeights(plate, plane, map, s, nullptr, TileFrame{});
    const std::vector<float> withFlags = SampleDisplacementHeights(plate, plane, map, s, &inward, TileFrame{});
    EXPECT_EQ(perVertex, withFlags);
    for (float o : perVertex) EXPECT_FLOAT_EQ(o, 0.5f);

    // With the clip on, only vertices on the 10 mm tile receive anything.
    TileFrame frame;
    frame.clip = true;
    frame.widthMillimetres = 10.0f;
    frame.heightMillimetres = 10.0f;
    const std::vector<std::uint8_t> outward(plate.TriangleCount(), 255);
    const std::vector<float> clipped = SampleDisplacementHeights(plate, plane, map, s, &outward, frame);
    for (std::size_t v = 0; v < plate.vertices.size(); ++v) {
        const Vec3f p = plate.vertices[v].position;
        EXPECT_FLOAT_EQ(clipped[v], p.x <= 10.0f && p.y <= 10.0f ? 0.5f : 0.0f) << p.x << ", " << p.y;
    }
    // A list of the wrong length falls back to per vertex, which does not clip.
    const std::vector<std::uint8_t> shortList(plate.TriangleCount() - 1, 255);
    for (float o : SampleDisplacementHeights(plate, plane, map, s, &shortList, frame)) EXPECT_FLOAT_EQ(o, 0.5f);
}

TEST(DisplacementSampling, PerCornerFollowsTheSideRuleOfEachFace) {
    // A box whose +x side textures only inner faces. The centre vertex of the
    // +x face takes its texture from side +x, the centre of the +y face from
    // side +y, which textures both kinds.
    const TriangleMesh box = test::MakeGridBox({-5, -5, -5}, {5, 5, 5}, 2);
    Projection p = BoxProjection();
    p.box.sideSurface[0] = SurfaceSelection::Inside;
    const HeightMap map = UniformMap(0.9f);
    const std::size_t px = VertexAt(box, {5, 0, 0});
    const std::size_t py = VertexAt(box, {0, 5, 0});
    const std::vector<std::uint8_t> outward(box.TriangleCount(), 255);
    const std::vector<std::uint8_t> inward(box.TriangleCount(), 0);
    const std::vector<float> onOuter =
        SampleDisplacementHeights(box, p, map, DisplacementSettings{}, &outward, TileFrame{});
    const std::vector<float> onInner =
        SampleDisplacementHeights(box, p, map, DisplacementSettings{}, &inward, TileFrame{});
    EXPECT_EQ(onOuter[px], 0.0f);
    EXPECT_NEAR(onOuter[py], 0.4f, 1e-5f);
    EXPECT_NEAR(onInner[px], 0.4f, 1e-5f);
    EXPECT_NEAR(onInner[py], 0.4f, 1e-5f);
    // Mixed bytes around the +x centre: the inner faces' corners alone decide.
    std::vector<std::uint8_t> mixed = outward;
    for (std::size_t t = 0; t < box.TriangleCount(); ++t) {
        for (int k = 0; k < 3; ++k) {
            if (box.indices[3 * t + k] == px && (t % 2) == 0) mixed[t] = 0;
        }
    }
    const std::vector<float> onMixed =
        SampleDisplacementHeights(box, p, map, DisplacementSettings{}, &mixed, TileFrame{});
    EXPECT_NEAR(onMixed[px], 0.4f, 1e-5f);
}

}  // namespace
}  // namespace ridgeforge::mesh
