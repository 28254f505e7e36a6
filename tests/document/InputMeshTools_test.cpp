#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "document/RidgeforgeDoc.h"
#include "tests/document/ToolHost.h"
#include "testing/Shapes.h"

namespace ridgeforge {
namespace {

using test::AdoptPart;
using test::SameBytes;
using test::ToolDocument;

// The 20 mm cube with one triangle given corners of its own, so that its
// three edges and those of its neighbours are open: 6 open edges, 2 bodies.
mesh::TriangleMesh CubeWithOneLooseTriangle() {
    mesh::TriangleMesh m = test::MakeBox({-10, -10, -10}, {10, 10, 10});
    const std::size_t last = m.indices.size() - 3;
    for (std::size_t c = 0; c < 3; ++c) {
        m.vertices.push_back(m.vertices[m.indices[last + c]]);
        m.indices[last + c] = static_cast<std::uint32_t>(m.vertices.size() - 1);
    }
    m.RecomputeBounds();
    m.RecomputeNormals();
    return m;
}

TEST(RunWithProgress, EscapeStopsTheJobOnlyWhileTheMainWindowIsInFront) {
    ToolDocument d;
    d.host.escapeDown = true;
    d.host.mainFrameInFront = false;
    bool sawStop = false;
    d.doc.RunWithProgress([&sawStop](const std::atomic<bool>& stop) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (std::chrono::steady_clock::now() < until) {
            if (stop) sawStop = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_FALSE(sawStop);
    EXPECT_GT(d.host.paintPumps.load(), 0);
    EXPECT_EQ(d.host.inputDiscards, 1);
    EXPECT_EQ(d.host.waitDepth, 0);

    d.host.mainFrameInFront = true;
    d.doc.RunWithProgress([&sawStop](const std::atomic<bool>& stop) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!stop && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawStop = stop;
    });
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(d.host.inputDiscards, 2);
}

TEST(RunWithProgress, AJobThatThrowsIsJoinedAndItsErrorRaisedOnTheCallersThread) {
    ToolDocument d;
    EXPECT_THROW(d.doc.RunWithProgress([](const std::atomic<bool>&) { throw std::runtime_error("job broke"); }),
                 std::runtime_error);
    EXPECT_EQ(d.host.waitDepth, 0);
    EXPECT_EQ(d.host.inputDiscards, 1);
}

TEST(InputMeshTools, SimplifyWithNothingToMergeLeavesTheModifiedFlagAsItWas) {
    for (const bool modified : {false, true}) {
        ToolDocument d;
        d.doc.OnTestCube();
        d.doc.SetModifiedFlag(modified);
        d.host.answers.push_back(QuestionAnswer::Yes);
        d.doc.OnSimplifyInputMesh();
        ASSERT_EQ(d.host.questions.size(), 1u);
        EXPECT_NE(d.host.questions[0].find(L"It has 12 triangles. Its whole surface is simplified at detail level "
                                           L"High (0.01), the level set in Simplify Settings"),
                  CString::npos)
            << d.host.questions[0];
        EXPECT_TRUE(d.host.Logged(L"Simplify Input Mesh: 12 triangles at detail level 0.01. Esc stops it."));
        ASSERT_NE(d.host.LastInfo(), nullptr);
        EXPECT_EQ(d.host.LastInfo()->text, L"Nothing to simplify at this detail level: no merge was cheap enough.");
        EXPECT_EQ(d.doc.IsModified(), modified);
        EXPECT_FALSE(d.doc.partChanged);
        EXPECT_EQ(d.doc.partAsLoaded.TriangleCount(), 12u);
        EXPECT_EQ(d.host.outputPaneShows, 0);
    }
    // A level without a name is shown as its number.
    ToolDocument d;
    d.doc.OnTestCube();
    d.doc.simplifySettings.meshDetailError = 0.02f;
    d.doc.OnSimplifyInputMesh();
    ASSERT_EQ(d.host.questions.size(), 1u);
    EXPECT_NE(d.host.questions[0].find(L"at detail level 0.02, the level"), CString::npos);
    EXPECT_FALSE(d.host.Logged(L"Simplify Input Mesh:"));
}

TEST(InputMeshTools, AStopDuringSimplifyLeavesThePartByteForByte) {
    ToolDocument d;
    AdoptPart(d.doc, test::MakeGridBox({0, 0, 0}, {40, 40, 40}, 120), L"/parts/grid.stl");
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    d.host.escapeDown = true;
    EXPECT_FALSE(d.doc.SimplifyInputMesh());
    ASSERT_FALSE(d.host.log.empty());
    EXPECT_EQ(d.host.log.back().text, L"Simplify Input Mesh: stopped. The part is as it was.");
    EXPECT_EQ(d.host.log.back().kind, LogKind::Warning);
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_FALSE(d.doc.partChanged);
    // The pane said what ran, then was cleared.
    ASSERT_GE(d.host.info.size(), 2u);
    EXPECT_EQ(d.host.info[d.host.info.size() - 2].text, L"Simplifying the loaded part. Esc stops it.");
    EXPECT_TRUE(d.host.LastInfo()->text.empty());

    // The same key held while another window is in front stops nothing.
    d.host.mainFrameInFront = false;
    EXPECT_TRUE(d.doc.SimplifyInputMesh());
    EXPECT_LT(d.doc.partAsLoaded.TriangleCount(), before.TriangleCount());
    EXPECT_TRUE(d.doc.partChanged);
}

TEST(InputMeshTools, ARotatedPartIsSimplifiedAsItStandsAndStoredBackAsLoaded) {
    // A 40 x 10 x 10 bar lying along x, stood up on its +x end: turned 90
    // degrees about y, x goes to z and z to -x.
    ToolDocument d;
    AdoptPart(d.doc, test::MakeGridBox({0, 0, 0}, {40, 10, 10}, 8), L"/parts/bar.stl");
    const mesh::Transform standing{{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 0}};
    d.doc.RotateToFace(standing);
    d.doc.SetModifiedFlag(false);
    const std::uint64_t trianglesBefore = d.doc.partAsLoaded.TriangleCount();
    ASSERT_TRUE(d.doc.SimplifyInputMesh());
    const mesh::TriangleMesh& loaded = d.doc.partAsLoaded;
    EXPECT_LT(loaded.TriangleCount(), trianglesBefore);
    // Stored back lying along x, as it was loaded.
    EXPECT_NEAR(loaded.boundsMin.x, 0.0f, 1e-4f);
    EXPECT_NEAR(loaded.boundsMax.x, 40.0f, 1e-4f);
    EXPECT_NEAR(loaded.boundsMax.z, 10.0f, 1e-4f);
    // Standing: the bed face is the old x = 40 end, and its 9 x 9 grid points
    // were held on the bed; simplified lying down that end would have merged.
    const mesh::TriangleMesh& working = d.doc.workingPart;
    EXPECT_NEAR(working.boundsMin.z, -40.0f, 1e-4f);
    std::size_t onBed = 0;
    for (const mesh::Vertex& v : working.vertices) onBed += std::fabs(v.position.z - working.boundsMin.z) < 1e-4f;
    EXPECT_EQ(onBed, 81u);
    EXPECT_TRUE(d.doc.IsModified());
    EXPECT_TRUE(d.doc.partChanged);
    EXPECT_TRUE(d.host.Logged(L"Simplify Input Mesh: Mesh simplify (High): 768 to "));
}

TEST(InputMeshTools, RepairDecidesFromThePartNotFromTheShownResult) {
    ToolDocument d;
    d.doc.OnTestCube();
    d.doc.remeshEnabled = d.doc.displacementEnabled = d.doc.simplifyEnabled = false;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    // The result's report lists a problem and is the one shown.
    d.doc.resultValidation.AddProblem("The relief folded.", "Lower the strength.");
    d.doc.resultValidationMesh = &d.doc.ShownMesh();
    d.doc.resultValidationSerial = d.doc.resultSerial;
    ASSERT_FALSE(d.doc.ShownValidationReport().problems.empty());

    d.host.defaultAnswer = QuestionAnswer::Yes;
    d.doc.OnRepair();
    EXPECT_TRUE(d.host.questions.empty());
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text, L"Validation found nothing to repair.");
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Good);
    EXPECT_FALSE(d.doc.partChanged);
}

TEST(InputMeshTools, RepairAsksThenWeldsAndTheNewTopologyIsShown) {
    ToolDocument d;
    AdoptPart(d.doc, CubeWithOneLooseTriangle(), L"/parts/loose.stl");
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    ASSERT_NE(d.doc.MeshInformationReport().find(L"  Open boundary edges: 6\r\n"), CString::npos);

    d.host.answers.push_back(QuestionAnswer::No);
    d.doc.OnRepair();
    ASSERT_EQ(d.host.questions.size(), 1u);
    EXPECT_EQ(d.host.questions[0].rfind(L"Repair the part as loaded?\n\nRepair welds corners", 0), 0u);
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));

    d.host.answers.push_back(QuestionAnswer::Yes);
    d.doc.OnRepair();
    ASSERT_EQ(d.host.questions.size(), 2u);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text, L"Repaired: open edges 6 to 0, non-manifold edges 0 to 0, bodies 2 to 1.");
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Good);
    EXPECT_TRUE(d.doc.partChanged);
    EXPECT_TRUE(d.doc.IsModified());
    EXPECT_EQ(d.host.outputPaneShows, 1);
    EXPECT_TRUE(d.host.Logged(L"Repair:"));
    EXPECT_TRUE(d.doc.partValidation.closed);
    // Same object, same index count: the figures must still be taken again.
    EXPECT_EQ(d.doc.workingPart.indices.size(), before.indices.size());
    const CString info = d.doc.MeshInformationReport();
    EXPECT_NE(info.find(L"  Open boundary edges: 0\r\n"), CString::npos) << info;
    EXPECT_NE(info.find(L"  The mesh is closed.\r\n"), CString::npos);

    // Now clean and single-bodied: no question.
    d.doc.OnRepair();
    EXPECT_EQ(d.host.questions.size(), 2u);
    EXPECT_EQ(d.host.LastInfo()->text, L"Validation found nothing to repair.");
}

// Three pairs of open boxes, each pair meeting at one corner that both boxes
// have a vertex of their own for (an 8 mm box without its top, a 12 x 6 x 4
// mm box without its bottom on it), and two closed boxes: 8 bodies, which the
// weld makes 5, with 24 open edges round 3 pinched holes.
mesh::TriangleMesh PinchedPairsAndBoxes() {
    mesh::TriangleMesh part;
    for (const float x : {0.0f, 40.0f, 80.0f}) {
        mesh::TriangleMesh lower = test::MakeBox({x, 0, 0}, {x + 8, 8, 8});
        lower.indices.erase(lower.indices.begin() + 6, lower.indices.begin() + 12);
        test::AppendMesh(part, lower);
        mesh::TriangleMesh upper = test::MakeBox({x + 8, 8, 8}, {x + 20, 14, 12});
        upper.indices.erase(upper.indices.begin(), upper.indices.begin() + 6);
        test::AppendMesh(part, upper);
    }
    test::AppendMesh(part, test::MakeBox({120, 0, 0}, {130, 10, 10}));
    test::AppendMesh(part, test::MakeBox({140, 0, 0}, {145, 10, 10}));
    return part;
}

TEST(InputMeshTools, RepairCountsFollowThePartAndAHoleLeftOpenHasItsSize) {
    ToolDocument d;
    AdoptPart(d.doc, PinchedPairsAndBoxes(), L"/parts/pairs.stl");
    ASSERT_NE(d.doc.MeshInformationReport().find(L"  Bodies: 8\r\n"), CString::npos);
    d.host.defaultAnswer = QuestionAnswer::Yes;
    d.doc.OnRepair();
    ASSERT_NE(d.host.LastInfo(), nullptr);
    // Each hole's box runs 20 x 14 mm over the rims: 24.4 mm across.
    EXPECT_EQ(d.host.LastInfo()->text,
              L"Repaired: open edges 24 to 24, non-manifold edges 0 to 0, bodies 8 to 5.\n24 open edges are left: 3 "
              L"hole(s) up to 24.4 mm across, too large to close by guessing.");
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Caution);
    const CString info = d.doc.MeshInformationReport();
    EXPECT_NE(info.find(L"  Bodies: 5\r\n"), CString::npos) << info;
}

TEST(InputMeshTools, ARepairThatWouldLeaveNoTriangleIsRefusedAndThePartKept) {
    ToolDocument d;
    // One corner of the loose triangle thrown 1e20 mm away: every corner of
    // the part lies within a weld tolerance taken from that size.
    mesh::TriangleMesh stray = CubeWithOneLooseTriangle();
    stray.vertices.back().position = {1e20f, 0.0f, 0.0f};
    AdoptPart(d.doc, stray, L"/parts/stray.stl");
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    d.host.defaultAnswer = QuestionAnswer::Yes;
    d.doc.OnRepair();
    ASSERT_EQ(d.host.questions.size(), 1u);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text,
              L"Repair would have removed every triangle of this part, so nothing was changed.");
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    EXPECT_TRUE(d.host.Logged(L"Repair: refused; it would have removed all 12 triangles, so the part is as it was."));
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
    EXPECT_FALSE(d.doc.partChanged);
    EXPECT_EQ(d.doc.workingPart.TriangleCount(), 12u);
}

TEST(InputMeshTools, RemeshThatFailsChangesNothingAndOneThatWorksReplacesThePart) {
    ToolDocument d;
    // A flat sheet encloses nothing, so contouring finds no surface.
    AdoptPart(d.doc, test::MakeGridPlate(20.0f, 4), L"/parts/sheet.stl");
    d.doc.remeshSettings.method = mesh::kRemeshIsotropic;
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    const std::uint32_t meshSerial = d.doc.meshSerial;

    mesh::RemeshSettings contour = d.doc.remeshSettings;
    contour.method = mesh::kRemeshContour;
    contour.targetEdgeMillimetres = 1.0f;
    d.host.remeshChoice = contour;
    d.doc.OnRemeshInputMesh();
    ASSERT_EQ(d.host.remeshStarts.size(), 1u);
    EXPECT_EQ(d.host.remeshStarts[0].method, mesh::kRemeshIsotropic);
    EXPECT_TRUE(d.host.Logged(L"Remesh Input Mesh: 32 triangles at 1 mm. Esc stops it."));
    bool failedAsError = false;
    for (const test::LogLine& line : d.host.log) {
        if (line.text.rfind(L"Remesh failed: ", 0) == 0) failedAsError = line.kind == LogKind::Error;
    }
    EXPECT_TRUE(failedAsError);
    EXPECT_FALSE(d.host.Logged(L"Remesh Input Mesh: Remesh"));
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
    EXPECT_FALSE(d.doc.partChanged);
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_EQ(d.doc.meshSerial, meshSerial);
    EXPECT_EQ(d.host.outputPaneShows, 0);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    // Only the method is kept for next time.
    EXPECT_EQ(d.doc.remeshSettings.method, mesh::kRemeshContour);
    EXPECT_NE(d.doc.remeshSettings.targetEdgeMillimetres, 1.0f);

    // The closed cube remeshes isotropically and replaces the part.
    d.doc.OnTestCube();
    mesh::RemeshSettings isotropic = d.doc.remeshSettings;
    isotropic.method = mesh::kRemeshIsotropic;
    isotropic.targetEdgeMillimetres = 5.0f;
    d.host.remeshChoice = isotropic;
    d.doc.OnRemeshInputMesh();
    EXPECT_TRUE(d.host.Logged(L"Remesh Input Mesh: Remesh: 12 -> "));
    EXPECT_GT(d.doc.partAsLoaded.TriangleCount(), 12u);
    EXPECT_TRUE(d.doc.partChanged);
    EXPECT_TRUE(d.doc.IsModified());
    EXPECT_EQ(d.host.outputPaneShows, 1);
}

// Escape pressed while the tool ran, but after its last look at the stop
// flag: the work is done, yet the person asked for the part as it was.
TEST(InputMeshTools, EscapeTheToolDidNotSeeStillLeavesThePartAsItWas) {
    ToolDocument d;
    AdoptPart(d.doc, test::MakeGridBox({0, 0, 0}, {30, 20, 10}, 24), L"/parts/grid.stl");
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    const std::uint32_t meshSerial = d.doc.meshSerial;
    d.host.escapeAfterLastLook = true;

    mesh::RemeshSettings isotropic = d.doc.remeshSettings;
    isotropic.method = mesh::kRemeshIsotropic;
    isotropic.targetEdgeMillimetres = 2.0f;
    EXPECT_FALSE(d.doc.RemeshInputMesh(isotropic));
    ASSERT_FALSE(d.host.log.empty());
    EXPECT_EQ(d.host.log.back().text, L"Remesh Input Mesh: stopped. The part is as it was.");
    EXPECT_EQ(d.host.log.back().kind, LogKind::Warning);

    d.doc.simplifySettings.meshDetailError = 0.05f;
    EXPECT_FALSE(d.doc.SimplifyInputMesh());
    EXPECT_EQ(d.host.log.back().text, L"Simplify Input Mesh: stopped. The part is as it was.");

    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
    EXPECT_FALSE(d.doc.partChanged);
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_EQ(d.doc.meshSerial, meshSerial);

    // Without the key both tools change the part, so the above was the stop.
    d.host.escapeAfterLastLook = false;
    EXPECT_TRUE(d.doc.RemeshInputMesh(isotropic));
    EXPECT_FALSE(SameBytes(d.doc.partAsLoaded, before));
}

TEST(InputMeshTools, ValidateTakesTheCurrentResultOrElseThePart) {
    ToolDocument d;
    d.doc.OnTestCube();
    d.doc.remeshEnabled = d.doc.displacementEnabled = d.doc.simplifyEnabled = false;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_TRUE(d.doc.IsResultCurrent());
    d.doc.partValidation = mesh::ValidationReport{};
    d.doc.resultValidationMesh = nullptr;
    d.host.log.push_back({L"old line", LogKind::Plain});
    const int clears = d.host.logClears;
    d.doc.OnValidate();
    EXPECT_EQ(d.host.logClears, clears + 1);
    EXPECT_FALSE(d.host.Logged(L"old line"));
    EXPECT_EQ(d.doc.resultValidationMesh, &d.doc.ShownMesh());
    EXPECT_EQ(d.doc.resultValidation.triangleCount, 12u);
    EXPECT_TRUE(d.doc.resultValidation.selfIntersectionsSearched);
    EXPECT_EQ(d.doc.partValidation.triangleCount, 0u);
    EXPECT_EQ(d.host.outputPaneShows, 1);
    EXPECT_FALSE(d.host.log.empty());

    // With a placement tool in use the part is what is shown and validated.
    d.doc.placementToolActive = true;
    d.doc.Validate();
    EXPECT_EQ(d.doc.partValidation.triangleCount, 12u);
    EXPECT_TRUE(d.doc.partValidation.selfIntersectionsSearched);
}

TEST(InputMeshTools, CheckPrintabilityNamesWhatNeedsSupport) {
    ToolDocument d;
    d.doc.OnTestCube();
    d.doc.OnCheckPrintability();
    ASSERT_TRUE(d.doc.printability.checked);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    const CString clear = d.host.LastInfo()->text;
    EXPECT_NE(clear.find(L". Every layer has something beneath it and nothing reaches far past the layer below."),
              CString::npos)
        << clear;
    EXPECT_EQ(clear.find(L"\n"), CString::npos);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Good);

    // A second block hanging 10 mm above the first starts in the air.
    mesh::TriangleMesh two = test::MakeBox({0, 0, 0}, {10, 10, 10});
    test::AppendMesh(two, test::MakeBox({0, 0, 20}, {10, 10, 30}));
    AdoptPart(d.doc, two, L"/parts/two.stl");
    d.doc.OnCheckPrintability();
    const CString text = d.host.LastInfo()->text;
    EXPECT_NE(text.find(L".\nRed: where the support goes - a layer with nothing beneath it."), CString::npos) << text;
    EXPECT_NE(text.find(L"\nEnable support in the slicer, or move the texture or displace less."), CString::npos);
    EXPECT_EQ(text.find(L"Every layer"), CString::npos);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Caution);
}

}  // namespace
}  // namespace ridgeforge
