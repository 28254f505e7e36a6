// The view's refresh rules against a recording renderer and shell and a real
// document: which path a change takes, what is uploaded and in which
// colours, the reduced copy and its notices, the hosts' answers.
#include "ui/view/RidgeforgeView.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "ui/commands/CommandIds.h"
#include "document/DocumentText.h"
#include "mesh/TestShapes.h"
#include "relief/mapping/CageFrame.h"
#include "tests/document/FakeHost.h"
#include "tests/ui/view/FakeViewSinks.h"
#include "testing/Shapes.h"
#include "text/Format.h"
#include "ui/view/RidgeforgeViewWindow.h"
#include "ui/view/ViewComputations.h"

namespace ridgeforge {
namespace {

using testing::FakeRenderSink;
using testing::FakeShell;

// A square plate cut to exactly `triangles` triangles.
mesh::TriangleMesh Plate(std::uint32_t triangles) {
    mesh::TriangleMesh m = test::MakeGridPlate(40.0f, 8);
    m.indices.resize(3 * static_cast<std::size_t>(triangles));
    return m;
}

// A flat strip of exactly `triangles` triangles, 1 mm wide.
mesh::TriangleMesh Strip(std::uint32_t triangles) {
    mesh::TriangleMesh m;
    const std::uint32_t cells = triangles / 2 + 1;
    for (std::uint32_t k = 0; k <= cells; ++k) {
        m.vertices.push_back({{static_cast<float>(k), 0.0f, 0.0f}, {0, 0, 1}});
        m.vertices.push_back({{static_cast<float>(k), 1.0f, 0.0f}, {0, 0, 1}});
    }
    for (std::uint32_t k = 0; k < cells; ++k) {
        const std::uint32_t p = 2 * k, q = 2 * k + 1, p1 = 2 * k + 2, q1 = 2 * k + 3;
        m.indices.insert(m.indices.end(), {p, p1, q, p1, q1, q});
    }
    m.indices.resize(3 * static_cast<std::size_t>(triangles));
    return m;
}

struct ViewFixture : ::testing::Test, testing::AttachedView {

    void Load(mesh::TriangleMesh m, std::uint64_t displayLimit = 4'000'000) {
        doc.LoadTestShape(std::move(m), L"strip", L"Strip", L"Strip loaded.");
        doc.displayTriangles = displayLimit;
        doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    }
    int LogCount(const CString& prefix) const {
        int n = 0;
        for (const auto& [text, kind] : shell.log) n += text.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
};

TEST_F(ViewFixture, EmptyStateThenAPartReplacesTheHintWithTheMeshInformation) {
    view.OnInitialUpdate();
    EXPECT_TRUE(view.hintVisible);
    EXPECT_EQ(shell.information, L"No mesh loaded.\r\n\r\nUse File > Open STL to load one.");
    EXPECT_GE(sink.clears, 1);
    EXPECT_EQ(shell.toolText, L"Tool: none (orbit)");

    doc.OnTestCube();
    EXPECT_FALSE(view.hintVisible);
    EXPECT_EQ(shell.information, doc.MeshInformationReport());
    EXPECT_EQ(sink.uploaded.TriangleCount(), 12u);
    // A new part frames the camera; a second refresh of the same part does not.
    EXPECT_TRUE(sink.lastReframe);
    view.RefreshAll();
    EXPECT_FALSE(sink.lastReframe);
    // Without a texture the input part shows the checkerboard.
    EXPECT_EQ(sink.surface, gl::SurfaceMode::Checkerboard);
}

TEST_F(ViewFixture, DisplayLimitShowsATintedReducedCopyWithItsNoticeLoggedOnce) {
    Load(Plate(100), 100);
    ASSERT_EQ(sink.uploaded.TriangleCount(), 100u);
    EXPECT_EQ(view.reducedTriangles, 0u);
    EXPECT_TRUE(sink.uploadedRecord.triangleColours.empty());

    Load(Plate(101), 100);
    ASSERT_EQ(view.reducedSourceTriangles, 101u);
    const std::uint64_t copy = sink.uploaded.TriangleCount();
    EXPECT_EQ(view.reducedTriangles, copy);
    EXPECT_LE(copy, 100u);
    ASSERT_EQ(sink.uploadedRecord.triangleColours.size(), copy);
    for (const mesh::Vec3f& c : sink.uploadedRecord.triangleColours) {
        EXPECT_EQ(c, (mesh::Vec3f{0.52f, 0.66f, 0.9f}));
    }
    const CString expected = L"101 triangles is over the display limit, so a reduced copy of " +
                             Utf8ToCString(FormatCount(copy)) +
                             L" is shown, tinted blue. The part itself is whole: it is processed and saved in full. "
                             L"The limit is in the Remesh settings.";
    EXPECT_EQ(shell.message, expected);
    shell.messages.clear();
    view.RefreshAll();
    view.RefreshAll();
    EXPECT_EQ(shell.message, expected);
    int shown = 0;
    for (const CString& m : shell.messages) shown += m == expected ? 1 : 0;
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(LogCount(L"101 triangles is over"), 1);

    // A limit of 0 is no limit: the whole part again, and the notice goes.
    doc.displayTriangles = 0;
    view.RefreshAll();
    EXPECT_EQ(sink.uploaded.TriangleCount(), 101u);
    EXPECT_EQ(shell.message, L"");
}

TEST_F(ViewFixture, AFailedUploadOfASmallPartShowsNothingAfterTheErrorLine) {
    Load(Strip(1000), 0);
    sink.refuseUploads = true;
    sink.attemptedTriangles.clear();
    view.RefreshAll();
    EXPECT_EQ(LogCount(L"The mesh could not be uploaded: out of memory"), 1);
    EXPECT_EQ(sink.attemptedTriangles.size(), 1u);  // half of 1000 is below 100000: no copy tried
    EXPECT_TRUE(shell.messages.empty());
    // Large enough for copies: budgets 150000, then 75000 is too small.
    Load(Strip(300000), 0);
    sink.refuseUploads = true;
    sink.attemptedTriangles.clear();
    view.RefreshAll();
    EXPECT_EQ(sink.attemptedTriangles.size(), 2u);
    EXPECT_LE(sink.attemptedTriangles.back(), 150000u);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(ViewFixture, PlacementDragsReplaceOnlyTheProjectionUnlessTheDisplayNeedsAFullUpload) {
    Load(mesh::MakeTestCube(20.0f));
    const int uploads = sink.uploads;
    view.BeginHandleDrag();
    view.BeginTextureDrag();
    mesh::ProjectionLayer layer = doc.projection.layer[4];
    layer.originMillimetres[0] += 3.0f;
    view.DragTextureLayer(4, layer);
    EXPECT_EQ(sink.uploads, uploads);
    EXPECT_EQ(sink.projectionUpdates, 1);
    EXPECT_EQ(sink.projectedRecord.cornerUv.size(), doc.workingPart.indices.size());

    const auto drag = [&] {
        layer.originMillimetres[0] += 1.0f;
        view.DragTextureLayer(4, layer);
    };
    view.clippingPlane = true;
    drag();
    EXPECT_EQ(sink.uploads, uploads + 1);
    view.clippingPlane = false;
    for (const gl::SurfaceMode mode : {gl::SurfaceMode::ProjectorColours, gl::SurfaceMode::OuterInner}) {
        sink.surface = mode;
        const int before = sink.uploads;
        drag();
        EXPECT_GT(sink.uploads, before);
        sink.surface = gl::SurfaceMode::Checkerboard;
    }
    view.displayMode = DisplayMode::Sliced;
    int before = sink.uploads;
    drag();
    EXPECT_GT(sink.uploads, before);
    view.displayMode = DisplayMode::Normal;
    view.reducedTriangles = 5;
    before = sink.uploads;
    drag();
    EXPECT_GT(sink.uploads, before);
    // And back on the cheap path.
    before = sink.uploads;
    const int updates = sink.projectionUpdates;
    drag();
    EXPECT_EQ(sink.uploads, before);
    EXPECT_EQ(sink.projectionUpdates, updates + 1);
}

TEST_F(ViewFixture, ProcessingStartedLeavesOuterInnerForPlain) {
    Load(mesh::MakeTestCube(20.0f));
    view.inputSurfaceChoice = {gl::SurfaceMode::OuterInner, true};
    view.ChooseSurfaceMode();
    ASSERT_EQ(sink.surface, gl::SurfaceMode::OuterInner);
    ASSERT_TRUE(doc.printCheckShown);
    view.tool = ViewTool::MoveCage;
    doc.displacementEnabled = false;
    doc.Process();  // the document sends ProcessingStarted with its run going
    ASSERT_TRUE(doc.pipeline.IsRunning());
    EXPECT_EQ(sink.surface, gl::SurfaceMode::Plain);
    EXPECT_FALSE(doc.printCheckShown);
    EXPECT_FALSE(view.inputSurfaceChoice.set);
    EXPECT_EQ(view.tool, ViewTool::None);
    EXPECT_EQ(shell.toolText, L"Tool: none (orbit)");
    EXPECT_TRUE(test::PollUntilApplied(doc));
}

TEST_F(ViewFixture, ClippingSlicingAndTheMaskToolFallback) {
    Load(mesh::MakeTestCube(20.0f));
    // The plane through the cage centre keeps +x: about half the cube's area.
    view.clippingPlane = true;
    view.RefreshAll();
    EXPECT_GT(sink.uploaded.TriangleCount(), 0u);
    EXPECT_GE(sink.uploaded.boundsMin.x, doc.projection.cage.center.x - 1e-4f);
    // Nothing on the +x side: the mesh is cleared.
    const int clears = sink.clears;
    doc.projection.cage.center.x = doc.workingPart.boundsMax.x + 5.0f;
    view.RefreshAll();
    EXPECT_EQ(sink.clears, clears + 1);
    EXPECT_TRUE(sink.uploaded.indices.empty());
    view.clippingPlane = false;

    // A finished print check switches to the sliced preview, smooth shaded.
    view.OnUpdate(nullptr, ViewUpdateHint::PrintCheckFinished);
    EXPECT_EQ(view.displayMode, DisplayMode::Sliced);
    EXPECT_EQ(sink.shading, gl::ShadingMode::Smooth);
    view.RefreshAll();
    EXPECT_NE(sink.uploaded.TriangleCount(), 12u);
    EXPECT_EQ(view.sliceLayerOfTriangle.size(), sink.uploaded.TriangleCount());
    EXPECT_EQ(view.slicedPreviewReport.rfind("Sliced preview: ", 0), 0u);

    // A mask tool with no mask volume falls back to no tool.
    view.tool = ViewTool::ScaleMask;
    doc.placementToolActive = true;
    doc.UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    EXPECT_EQ(view.tool, ViewTool::None);
    EXPECT_FALSE(doc.placementToolActive);
    EXPECT_FALSE(view.inToolFallback);
}

TEST(ViewComputations, BlendedCageAxesAreTheTurnedAxes) {
    mesh::Projection p;
    p.box.blended = true;
    p.cage.rotationDegrees = {0.0f, 0.0f, 90.0f};
    p.layer[2].rotationDegrees = 90.0f;
    const gl::MappingState s = BuildMappingState(p);
    ASSERT_TRUE(s.blend);
    // A quarter turn about z takes x to y and y to -x.
    EXPECT_NEAR(s.cageAxisX.x, 0.0f, 1e-6f);
    EXPECT_NEAR(s.cageAxisX.y, 1.0f, 1e-6f);
    EXPECT_NEAR(s.cageAxisY.x, -1.0f, 1e-6f);
    EXPECT_NEAR(s.cageAxisY.y, 0.0f, 1e-6f);
    const mesh::Vec3f viaCage = mesh::RotateByCage(p.cage, {1.0f, 0.0f, 0.0f});
    EXPECT_NEAR(s.cageAxisX.y, viaCage.y, 1e-6f);
    EXPECT_NEAR(s.layerTurn[2], 3.1415927f / 2.0f, 1e-6f);
    // Without blending the cage fields stay at their defaults.
    p.box.blended = false;
    EXPECT_EQ(BuildMappingState(p).cageAxisX, (mesh::Vec3f{1.0f, 0.0f, 0.0f}));
    // A plane never blends.
    p.box.blended = true;
    p.type = mesh::ProjectionType::Plane;
    EXPECT_FALSE(BuildMappingState(p).blend);
}

TEST(ViewComputations, MappingStatesCompareOnlyWhileBlending) {
    gl::MappingState a, b;
    b.layerZoom[3] = 2.0f;
    EXPECT_TRUE(MappingStatesEqual(a, b));  // neither blends: the rest does not matter
    a.blend = b.blend = true;
    EXPECT_FALSE(MappingStatesEqual(a, b));
    b.layerZoom[3] = 1.0f;
    EXPECT_TRUE(MappingStatesEqual(a, b));
    a.cageCenter.x = b.cageCenter.x = std::nanf("");
    EXPECT_FALSE(MappingStatesEqual(a, b));
}

TEST(ViewComputations, CylinderTrianglesGetCoordinatesInOneTurn) {
    mesh::Projection p;
    p.type = mesh::ProjectionType::Cylinder;
    p.cage.size = {20.0f, 20.0f, 20.0f};
    // Congruent wall triangles all the way round: their spans in u must
    // agree, the one across the seam included.
    mesh::TriangleMesh ring;
    constexpr int kSteps = 36;
    for (int k = 0; k < kSteps; ++k) {
        // Half a step off, so that triangles straddle 0 and 180 degrees.
        const float a0 = 2.0f * 3.1415927f * (static_cast<float>(k) + 0.5f) / kSteps;
        const float a1 = 2.0f * 3.1415927f * (static_cast<float>(k) + 1.5f) / kSteps;
        const auto base = static_cast<std::uint32_t>(ring.vertices.size());
        ring.vertices.push_back({{10 * std::cos(a0), 10 * std::sin(a0), -2}, {}});
        ring.vertices.push_back({{10 * std::cos(a1), 10 * std::sin(a1), -2}, {}});
        ring.vertices.push_back({{10 * std::cos(a1), 10 * std::sin(a1), 2}, {}});
        ring.indices.insert(ring.indices.end(), {base, base + 1, base + 2});
    }
    const auto uv = ComputeTextureCoordinates(ring, p);
    ASSERT_EQ(uv.size(), ring.indices.size());
    const float arc = 2.0f * 3.1415927f * 10.0f / kSteps;
    for (int t = 0; t < kSteps; ++t) {
        const float du = std::abs(uv[3 * t + 1][0] - uv[3 * t][0]);
        EXPECT_NEAR(du, arc, 0.05f * arc) << t;
        EXPECT_NEAR(std::abs(uv[3 * t + 2][1] - uv[3 * t + 1][1]), 4.0f, 0.01f) << t;
    }
}

TEST(ViewComputations, ColourRulesAndNotices) {
    // Bodies modulo 8.
    const auto bodies = BodyColours({0, 9}, 2);
    EXPECT_EQ(bodies[1], (mesh::Vec3f{0.42f, 0.72f, 0.85f}));
    // Print check: red wins over orange over yellow; out-of-range indices skipped.
    mesh::PrintabilityReport report;
    EXPECT_TRUE(PrintCheckColours(report, 4).empty());
    report.checked = true;
    report.bridgingTriangles = {0, 1, 9};
    report.reachingFarTriangles = {1, 2};
    report.needsSupportTriangles = {2};
    const auto verdicts = PrintCheckColours(report, 4);
    EXPECT_EQ(verdicts[0], (mesh::Vec3f{0.96f, 0.84f, 0.18f}));
    EXPECT_EQ(verdicts[1], (mesh::Vec3f{0.98f, 0.58f, 0.12f}));
    EXPECT_EQ(verdicts[2], (mesh::Vec3f{0.95f, 0.2f, 0.16f}));
    EXPECT_EQ(verdicts[3], (mesh::Vec3f{0.78f, 0.8f, 0.82f}));
    // Outer and inner faces.
    const auto outer = OuterInnerColours({1, 0, 2}, 4);
    EXPECT_EQ(outer[0], (mesh::Vec3f{0.86f, 0.88f, 0.84f}));
    EXPECT_EQ(outer[1], (mesh::Vec3f{0.93f, 0.45f, 0.18f}));
    EXPECT_EQ(outer[2], (mesh::Vec3f{0.55f, 0.55f, 0.58f}));
    EXPECT_EQ(outer[3], (mesh::Vec3f{0.55f, 0.55f, 0.58f}));
    // Projector colours: a cube's top faces project from +Z (blue).
    const mesh::TriangleMesh cube = mesh::MakeTestCube(10.0f);
    mesh::Projection box;
    box.cage.size = {10.0f, 10.0f, 10.0f};
    const auto sides = ProjectorColours(cube, box, {});
    for (std::size_t t = 0; t < cube.TriangleCount(); ++t) {
        const mesh::Vec3f n = cube.FaceNormal(t);
        if (n.z > 0.9f) {
            EXPECT_EQ(sides[t], (mesh::Vec3f{0.3f, 0.52f, 0.92f}));
        }
        if (std::abs(n.x) > 0.9f) {
            EXPECT_EQ(sides[t], (mesh::Vec3f{0.88f, 0.28f, 0.25f}));
        }
    }
    // Mask weights of a copy: the mean of the source triangle's corners.
    mesh::ReducedMesh copy;
    copy.mesh.indices = {0, 1, 2};
    copy.sourceTriangles = {1};
    const std::vector<float> carried = CarryCornerMask(copy, {0, 0, 0, 0.3f, 0.6f, 0.9f}, 6);
    ASSERT_EQ(carried.size(), 3u);
    for (float w : carried) EXPECT_NEAR(w, 0.6f, 1e-6f);
    EXPECT_TRUE(CarryCornerMask(copy, {0, 0, 0}, 6).empty());
    EXPECT_EQ(ReducedCopyNotice(1234567, 999, true),
              L"The graphics card could not hold all 1,234,567 triangles, so a reduced copy of 999 is shown, tinted "
              L"blue. The part itself is whole: it is processed and saved in full.");
}

TEST_F(ViewFixture, LayOnFaceHighlightsPicksTheEarlierFaceAndStandsThePartOnIt) {
    CommandState state;
    ASSERT_TRUE(view.Commands().Update(ID_LAY_ON_FACE, state));
    EXPECT_FALSE(state.enabled);  // nothing to lay down yet
    Load(mesh::MakeTestCube(20.0f));
    ASSERT_TRUE(view.Commands().Execute(ID_LAY_ON_FACE));
    ASSERT_TRUE(view.IsActive());
    view.Commands().Update(ID_LAY_ON_FACE, state);
    EXPECT_TRUE(state.enabled && state.checked);
    ASSERT_EQ(doc.components.size(), 6u);
    EXPECT_EQ(sink.highlightPoints.size(), 36u);
    for (const mesh::Vec3f& c : sink.highlightColours) EXPECT_EQ(c, (mesh::Vec3f{0.3f, 0.65f, 0.95f}));
    // Lifted along the face's normal by 0.2 % of the largest extent (20 mm).
    const mesh::Surface& first = doc.components[0];
    const mesh::Vec3f corner = doc.workingPart.vertices[doc.workingPart.indices[3 * first.triangles[0]]].position;
    const mesh::Vec3f lifted = sink.highlightPoints[0];
    EXPECT_NEAR(Dot(lifted - corner, first.normal), 0.04f, 1e-4f);

    view.SetHoverFace(1);
    int hovered = 0;
    for (const mesh::Vec3f& c : sink.highlightColours) hovered += c == mesh::Vec3f{0.98f, 0.62f, 0.2f} ? 1 : 0;
    EXPECT_EQ(hovered, static_cast<int>(3 * doc.components[1].triangles.size()));

    // A ray straight down onto the top face picks it.
    const mesh::Vec3f centre = (doc.workingPart.boundsMin + doc.workingPart.boundsMax) * 0.5f;
    const mesh::Ray down{{centre.x + 1.0f, centre.y + 2.0f, 100.0f}, {0.0f, 0.0f, -1.0f}};
    const std::int32_t top = view.PickFace(down);
    ASSERT_GE(top, 0);
    EXPECT_GT(doc.components[static_cast<std::size_t>(top)].normal.z, 0.9f);
    // Two candidates holding the same triangle: the earlier one wins.
    std::vector<mesh::Surface> saved = doc.components;
    doc.components = {saved[static_cast<std::size_t>(top)], saved[static_cast<std::size_t>(top)]};
    EXPECT_EQ(view.PickFace(down), 0);
    EXPECT_EQ(view.PickFace({{500.0f, 500.0f, 100.0f}, {0.0f, 0.0f, -1.0f}}), -1);
    doc.components = saved;

    // Standing it on a side face logs and leaves the tool on.
    std::size_t side = 0;
    while (std::abs(doc.components[side].normal.x) < 0.9f) ++side;
    view.ApplyFace(static_cast<std::int32_t>(side));
    bool logged = false;
    for (const auto& line : hosted.host.log) logged = logged || line.text.rfind(L"Laid on a face of ", 0) == 0;
    EXPECT_TRUE(logged);
    EXPECT_TRUE(view.IsActive());
    EXPECT_EQ(view.hoverRestingFace, -1);

    view.ToggleLayOnFace();
    EXPECT_FALSE(view.IsActive());
    EXPECT_TRUE(sink.highlightPoints.empty());
    EXPECT_EQ(sink.hoverFace, -1);
}

TEST_F(ViewFixture, SideClicksSoloRestoreAndToggleAndSelectionNeedsEditPerSide) {
    Load(mesh::MakeTestCube(20.0f));
    auto& on = doc.projection.box.sideEnabled;
    view.ClickSide(2, false);
    EXPECT_EQ(on, (std::array<bool, 6>{false, false, true, false, false, false}));
    view.ClickSide(2, false);  // the lone enabled side: all six again
    EXPECT_EQ(on, (std::array<bool, 6>{true, true, true, true, true, true}));
    view.ClickSide(5, false);
    view.ClickSide(1, false);  // another side solos
    EXPECT_EQ(on, (std::array<bool, 6>{false, true, false, false, false, false}));
    view.ClickSide(3, true);  // Ctrl toggles
    EXPECT_EQ(on, (std::array<bool, 6>{false, true, false, true, false, false}));
    view.ClickSide(6, false);
    EXPECT_EQ(on, (std::array<bool, 6>{false, true, false, true, false, false}));
    doc.projection.type = mesh::ProjectionType::Plane;
    view.ClickSide(0, false);
    EXPECT_EQ(on, (std::array<bool, 6>{false, true, false, true, false, false}));

    view.SelectSide(2);
    EXPECT_EQ(doc.projection.activeLayer, -1);
    view.editPerSide = true;
    view.SelectSide(2);
    EXPECT_EQ(doc.projection.activeLayer, 2);
    view.SelectSide(2);
    EXPECT_EQ(doc.projection.activeLayer, -1);

    // No side enabled in a box and no active layer: no texture handle frame.
    doc.projection.type = mesh::ProjectionType::Box;
    on.fill(false);
    EXPECT_FALSE(view.TextureHandleFrame().valid);
    // The side facing the eye (+X here) otherwise.
    on.fill(true);
    const gl::TextureHandleFrame frame = view.TextureHandleFrame();
    EXPECT_TRUE(frame.valid);
    EXPECT_EQ(frame.side, 0);

    // A mask tool without a selected volume edits nothing.
    view.tool = ViewTool::MoveMask;
    EXPECT_EQ(view.HandlePlacement(), nullptr);
    view.tool = ViewTool::MoveCage;
    ASSERT_NE(view.HandlePlacement(), nullptr);
    gl::Placement moved = *view.HandlePlacement();
    moved.center.x += 4.0f;
    view.SetHandlePlacement(moved);
    EXPECT_EQ(doc.projection.cage.center.x, moved.center.x);
}

TEST_F(ViewFixture, PickPartFindsTheNearestPointOfTheShownMesh) {
    Load(test::MakeTorus(30.0f, 10.0f, 40, 20));
    mesh::Vec3f point;
    // Along +y through the ring's near side: the first wall at y = -40.
    ASSERT_TRUE(view.PickPart({{0.0f, -100.0f, 0.0f}, {0.0f, 1.0f, 0.0f}}, point));
    EXPECT_NEAR(point.y, -40.0f, 0.2f);
    // Through the hole: nothing.
    EXPECT_FALSE(view.PickPart({{0.0f, 0.0f, -100.0f}, {0.0f, 0.0f, 1.0f}}, point));
    // A new part is picked, not the old one's tree.
    Load(mesh::MakeTestCube(20.0f));
    ASSERT_TRUE(view.PickPart({{0.0f, 0.0f, -100.0f}, {0.0f, 0.0f, 1.0f}}, point));
    EXPECT_NEAR(point.z, doc.workingPart.boundsMin.z, 1e-4f);
}

TEST_F(ViewFixture, StatusPanesShowTheToolAndFrameTimesAtMostEveryQuarterSecond) {
    Load(mesh::MakeTestCube(20.0f));
    gl::FrameStatistics s;
    s.gpuValid = true;
    s.gpuMilliseconds = 1.26;
    s.framesPerSecond = 59.6;
    view.OnFrameStatistics(s, 1000);
    EXPECT_EQ(shell.frameText, L"GPU 1.3 ms  |  60 fps");
    s.gpuValid = false;
    s.frameMilliseconds = 12.34;
    view.OnFrameStatistics(s, 1249);
    EXPECT_EQ(shell.frameText, L"GPU 1.3 ms  |  60 fps");
    view.OnFrameStatistics(s, 1250);
    EXPECT_EQ(shell.frameText, L"12.3 ms  |  60 fps");
    EXPECT_THAT(CStringToUtf8(shell.frameText), ::testing::MatchesRegex("(GPU )?[0-9]+[.][0-9] ms  [|]  [0-9]+ fps"));
    for (int t = 0; t <= 8; ++t) {
        EXPECT_EQ(ToolStatus(static_cast<ViewTool>(t)).rfind(L"Tool: ", 0), 0u);
    }
    EXPECT_EQ(ToolStatus(ViewTool::ScaleMask), L"Tool: Scale Mask");
}

}  // namespace
}  // namespace ridgeforge
