#include <gtest/gtest.h>

#include <fstream>

#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "mesh/TestShapes.h"
#include "textures/procedural/TextureRegistry.h"
#include "document/pipeline/PipelineStages.h"
#include "text/Utf8.h"
#include "tests/document/FakeHost.h"
#include "tests/document/ToolHost.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "document/DocumentText.h"
#include "mesh/remesh/RemeshSettings.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestImages.h"
#include "text/Format.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

using test::HostedDocument;

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(ProcessingControl, TestCubeIsLoggedAndGetsACageTwoPercentLarger) {
    HostedDocument d;
    d.doc.OnTestCube();
    EXPECT_TRUE(d.host.Logged(L"Test cube: 20 mm, 12 triangles."));
    EXPECT_EQ(d.doc.testShape, "cube");
    EXPECT_EQ(d.doc.partName, L"Test Cube");
    EXPECT_EQ(d.doc.GetTitle(), L"Test Cube");
    EXPECT_EQ(d.doc.importReport.file, "Test cube");
    EXPECT_EQ(d.doc.importReport.trianglesKept, 12u);
    const mesh::ProjectionCage& cage = d.doc.projection.cage;
    EXPECT_NEAR(cage.size.x, 20.4f, 1e-4f);
    EXPECT_NEAR(cage.size.y, 20.4f, 1e-4f);
    EXPECT_NEAR(cage.size.z, 20.4f, 1e-4f);
    EXPECT_NEAR(cage.center.z, 0.0f, 1e-6f);
    // The bed face gets no texture and the base plane sits on the lowest z.
    EXPECT_FALSE(d.doc.projection.box.sideEnabled[5]);
    EXPECT_TRUE(d.doc.projection.box.sideEnabled[4]);
    EXPECT_TRUE(d.doc.displacementSettings.base.enabled);
    EXPECT_FLOAT_EQ(d.doc.displacementSettings.base.planeMillimetres, -10.0f);
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_TRUE(d.doc.undoStack.empty());
}

TEST(ProcessingControl, ProcessRefusesWithoutPartOrTexture) {
    HostedDocument d;
    d.doc.Process();
    EXPECT_EQ(d.doc.processDecision, L"declined: no mesh");
    EXPECT_EQ(d.doc.ProcessStatusText(), L"No part loaded");

    d.doc.OnTestCube();
    ASSERT_TRUE(d.doc.displacementEnabled);
    d.doc.Process();
    EXPECT_EQ(d.doc.processDecision, L"declined: no texture");
    ASSERT_FALSE(d.host.log.empty());
    EXPECT_EQ(d.host.log.back().text, L"Displacement needs a texture: load one, or turn Displacement off.");
    EXPECT_EQ(d.host.log.back().kind, LogKind::Warning);
    EXPECT_EQ(d.doc.ProcessStatusText(), L"Needs a texture");
    EXPECT_FALSE(d.doc.CanProcess());
    EXPECT_FALSE(d.doc.pipeline.IsRunning());
    CommandState state;
    d.doc.OnUpdateProcess(state);
    EXPECT_FALSE(state.enabled);
}

class ProcessedCube : public ::testing::Test {
protected:
    void SetUp() override {
        d.doc.OnTestCube();
        d.doc.remeshEnabled = false;
        d.doc.displacementEnabled = false;
        d.doc.simplifyEnabled = false;
        d.doc.OnSettingsChanged();
    }
    void ProcessAndWait() {
        d.doc.Process();
        ASSERT_EQ(d.doc.processDecision, L"started: Process");
        ASSERT_TRUE(test::PollUntilApplied(d.doc));
    }
    HostedDocument d;
};

TEST_F(ProcessedCube, ProcessLogsTheResultAndThenIsUpToDate) {
    EXPECT_EQ(d.doc.ProcessStatusText(), L"Not processed yet");
    EXPECT_TRUE(d.doc.CanProcess());
    EXPECT_TRUE(d.doc.IsStepOutOfDate(FlowStep::Mapping));
    const int clearsBefore = d.host.logClears;
    d.doc.Process();
    EXPECT_EQ(d.doc.processDecision, L"started: Process");
    EXPECT_EQ(d.host.logClears, clearsBefore + 1);
    EXPECT_TRUE(d.host.Logged(L"Processing..."));
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    EXPECT_TRUE(d.host.Logged(L"Processed: 12 triangles."));
    EXPECT_EQ(d.doc.ProcessStatusText(), L"Up to date");
    EXPECT_TRUE(d.doc.IsResultCurrent());
    EXPECT_FALSE(d.doc.NeedsProcessing());
    for (FlowStep step : {FlowStep::Mapping, FlowStep::Texture, FlowStep::Relief, FlowStep::Simplify}) {
        EXPECT_FALSE(d.doc.IsStepOutOfDate(step));
    }
    EXPECT_EQ(d.doc.resultSerial, 1u);
    EXPECT_FALSE(d.doc.processRequested);
    d.doc.Process();
    EXPECT_EQ(d.doc.processDecision, L"declined: up to date");
    // Nothing more is due.
    EXPECT_FALSE(d.doc.PollPipeline());
}

TEST_F(ProcessedCube, MovingTheTextureLayersMakesOnlyTheTextureStaleAndIsLoggedOnce) {
    ProcessAndWait();
    d.doc.LogResultOutOfDate();  // current: nothing logged
    EXPECT_EQ(d.host.CountLogged(L"The result is out of date"), 0);
    d.doc.projection.layer[2].originMillimetres[0] += 3.0f;
    d.doc.OnSettingsChanged();
    EXPECT_TRUE(d.doc.IsStepOutOfDate(FlowStep::Texture));
    EXPECT_FALSE(d.doc.IsStepOutOfDate(FlowStep::Mapping));
    EXPECT_EQ(d.doc.OutOfDateReasons(), L"texture placement");
    d.doc.LogResultOutOfDate();
    d.doc.LogResultOutOfDate();
    EXPECT_EQ(d.host.CountLogged(L"The result is out of date: texture placement."), 1);
    EXPECT_EQ(d.doc.ProcessStatusText(), L"Needs: mapping");

    // Moving the cage is a mapping change, with the distance it moved.
    d.doc.projection.layer[2].originMillimetres[0] -= 3.0f;
    d.doc.projection.cage.center.x += 3.0f;
    d.doc.projection.cage.center.y += 4.0f;
    d.doc.OnSettingsChanged();
    EXPECT_TRUE(d.doc.IsStepOutOfDate(FlowStep::Mapping));
    EXPECT_FALSE(d.doc.IsStepOutOfDate(FlowStep::Texture));
    EXPECT_EQ(d.doc.OutOfDateReasons(), L"cage (centre moved 5.0000 mm)");
}

// Once an Undo makes the result current again, the next change is logged
// as out of date again; a second change while still stale is not.
TEST_F(ProcessedCube, AfterAnUndoBackToTheResultTheNextChangeIsLoggedAgain) {
    ProcessAndWait();
    d.doc.LogResultOutOfDate();
    const auto move = [&](float by) {
        d.doc.Edit([by](DocumentEdit& edit) { edit.projection.layer[2].originMillimetres[0] += by; });
        d.doc.LogResultOutOfDate();
    };
    const CString line = L"The result is out of date: texture placement.";
    move(3.0f);
    move(1.0f);
    EXPECT_EQ(d.host.CountLogged(line), 1);
    d.doc.OnEditUndo();
    d.doc.OnEditUndo();
    ASSERT_TRUE(d.doc.IsResultCurrent());
    d.doc.LogResultOutOfDate();
    EXPECT_EQ(d.host.CountLogged(line), 1);
    move(2.0f);
    EXPECT_EQ(d.host.CountLogged(line), 2);
    // Redo of the first move, then Undo to the result, then Redo again.
    d.doc.OnEditUndo();
    d.doc.LogResultOutOfDate();
    d.doc.OnEditRedo();
    d.doc.LogResultOutOfDate();
    EXPECT_EQ(d.host.CountLogged(line), 3);
}

TEST_F(ProcessedCube, OutOfDateReasonsListEveryChangedInputInOrder) {
    ProcessAndWait();
    d.doc.simplifyEnabled = true;
    d.doc.maximumTriangles = 5;
    d.doc.maskVolumes.push_back(mesh::MaskVolume{});
    d.doc.remeshSettings.rounds = 2;
    EXPECT_EQ(d.doc.OutOfDateReasons(), L"remesh, triangle limit, mask volumes, simplify");
    d.doc.SyncTextureToPipeline();  // the empty texture goes once
    EXPECT_NE(d.doc.OutOfDateReasons().find(L"texture (handed to the pipeline 1 time(s) since)"), CString::npos);
}

struct SmallPartCase {
    float across;
    float relief;
    bool warns;
};

// The run state a mesh-method run leaves with `relief` mm of relief.
mesh::PipelineRunState MeshMethodRun(float relief) {
    mesh::PipelineRunState state;
    state.hasDisplacementReport = true;
    state.displacementReport.displacedVertices = 100;
    state.displacementReport.relief = relief;
    return state;
}

TEST(ProcessingControl, SmallPartWarningByAbsoluteSizeOrByRatio) {
    const SmallPartCase cases[] = {
        {15.0f, 0.5f, true}, {30.0f, 3.0f, true}, {30.0f, 2.0f, false}, {19.9f, 0.1f, true}, {20.0f, 0.1f, false}};
    for (const SmallPartCase& c : cases) {
        HostedDocument d;
        // The middle extent counts: 8 is the smallest, 50 the largest.
        d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {c.across, 50.0f, 8.0f}), L"Box", L"Box", L"Box");
        d.host.info.clear();
        d.doc.ReliefWarningsText(MeshMethodRun(c.relief));
        EXPECT_EQ(d.host.Logged(L"This part is small for a relief"), c.warns) << c.across << " " << c.relief;
        EXPECT_EQ(d.host.info.size(), c.warns ? 1u : 0u);
    }
    HostedDocument d;
    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {15.0f, 50.0f, 8.0f}), L"Box", L"Box", L"Box");
    d.doc.ReliefWarningsText(MeshMethodRun(0.5f));
    EXPECT_TRUE(d.host.Logged(
        L"This part is small for a relief: 15.0 mm across, with 0.50 mm of relief (3% of its size) and room for "
        L"about 36 printed lines across it."));
    EXPECT_EQ(d.host.log.back().kind, LogKind::Warning);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Caution);
}

TEST(ProcessingControl, SupportWarningComparesTheFindingListsWithTheRunBefore) {
    HostedDocument d;
    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {40.0f, 40.0f, 40.0f}), L"Box", L"Box", L"Box");
    mesh::PipelineRunState state;
    state.printability.checked = true;
    state.beforeChecked = true;
    state.printabilityBefore.featuresInAir.resize(1);
    // A finding in a list, with no highlight geometry (the run collects none).
    state.printability.featuresInAir.resize(3);
    d.doc.ReliefWarningsText(state);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text.rfind(L"The relief needs support.\n2 feature(s) have nothing beneath them.\n", 0),
              0u);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Caution);

    // As many findings as before: no support warning.
    d.host.info.clear();
    state.printability.featuresInAir.resize(1);
    d.doc.ReliefWarningsText(state);
    EXPECT_TRUE(d.host.info.empty());
}

void ProcessAndWait(HostedDocument& d) {
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_EQ(d.doc.processDecision, L"started: Process");
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
}

CString VerdictOf(HostedDocument& d) {
    const CString text = d.doc.MeshInformationReport();
    return text.substr(0, text.find(L"\r\n\r\n"));
}

TEST(ProcessingControl, ATextureThatReachesNoSurfaceIsACautionNotASuccess) {
    const CString noSurface =
        L"The texture reaches no surface of this part: the sides chosen in Mapping and the mask "
        L"volumes keep it off every face, so the result carries no relief.";
    // A mask box larger than the part.
    HostedDocument masked;
    test::TextureTheTestCube(masked.doc);
    const std::int32_t box = masked.doc.AddMaskVolume(0);
    ASSERT_GE(box, 0);
    mesh::MaskVolume cover = masked.doc.maskVolumes[static_cast<std::size_t>(box)];
    cover.center = {0, 0, 0};
    cover.size = {100, 100, 100};
    masked.doc.UpdateMaskVolume(box, cover);
    ProcessAndWait(masked);
    EXPECT_TRUE(masked.host.Logged(noSurface));
    EXPECT_EQ(masked.host.log.back().kind, LogKind::Warning);
    ASSERT_NE(masked.host.LastInfo(), nullptr);
    EXPECT_EQ(masked.host.LastInfo()->text, noSurface);
    EXPECT_EQ(masked.host.LastInfo()->kind, InfoKind::Caution);
    EXPECT_EQ(VerdictOf(masked),
              L"Verdict\r\n  Usable with care: 1 problem found.\r\n  - The texture reaches no surface.");

    // No side of the box mapping on.
    HostedDocument sideless;
    test::TextureTheTestCube(sideless.doc);
    sideless.doc.projection.box.sideEnabled.fill(false);
    ProcessAndWait(sideless);
    EXPECT_TRUE(sideless.host.Logged(noSurface));

    // A mask that leaves one face open lets the texture reach it: no caution.
    HostedDocument open;
    test::TextureTheTestCube(open.doc);
    const std::int32_t part = open.doc.AddMaskVolume(0);
    mesh::MaskVolume most = open.doc.maskVolumes[static_cast<std::size_t>(part)];
    most.center = {0, 0, -5};
    most.size = {100, 100, 28};  // up to z = 9, a millimetre short of the top
    open.doc.UpdateMaskVolume(part, most);
    ProcessAndWait(open);
    EXPECT_GT(open.doc.runState.texturedVertices, 0u);
    EXPECT_FALSE(open.host.Logged(L"The texture reaches no surface"));
    EXPECT_EQ(VerdictOf(open).find(L"The texture reaches no surface"), CString::npos);
}

TEST(ProcessingControl, TheVerdictCountsTheReliefsWarningsAboutTheResultShown) {
    HostedDocument d;
    test::TextureTheTestCube(d.doc);
    ProcessAndWait(d);
    ASSERT_EQ(VerdictOf(d).rfind(L"Verdict\r\n  Good: no problems found.", 0), 0u) << VerdictOf(d);

    // The warnings of a run as the relief raised them: the verdict lists them
    // and no longer reads "no problems found".
    d.doc.reliefCautions = {"The relief thinned a wall: 52 places.", "The relief needs support."};
    EXPECT_EQ(VerdictOf(d),
              L"Verdict\r\n  Usable with care: 2 problems found.\r\n  - The relief thinned a wall: "
              L"52 places.\r\n  - The relief needs support.");

    // They describe the result, not the part: with the part shown they go.
    d.doc.displacementSettings.strengthMillimetres = 0.7f;
    d.doc.OnSettingsChanged();
    ASSERT_EQ(&d.doc.ShownMesh(), &d.doc.workingPart);
    EXPECT_EQ(VerdictOf(d).rfind(L"Verdict\r\n  Good: no problems found.", 0), 0u) << VerdictOf(d);
}

TEST(ProcessingControl, EachReliefWarningNamesItselfToTheVerdict) {
    HostedDocument d;
    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {15.0f, 50.0f, 8.0f}), L"Box", L"Box", L"Box");
    mesh::PipelineRunState state = MeshMethodRun(0.5f);
    state.displacementReport.notMovedInward = 1234;
    state.walls.measured = true;
    state.walls.placesThinned = 52;
    state.printability.checked = true;
    state.printability.featuresInAir.resize(2);
    state.coverageTaken = true;
    state.texturedVertices = 10;
    d.doc.displacementSettings.wallThresholdMillimetres = 0.8f;
    d.doc.ReliefWarningsText(state);
    ASSERT_EQ(d.doc.reliefCautions.size(), 4u);
    EXPECT_EQ(d.doc.reliefCautions[0], "The relief needs support.");
    EXPECT_EQ(d.doc.reliefCautions[1], "This part is small for a relief.");
    EXPECT_EQ(d.doc.reliefCautions[2].rfind("The relief thinned a wall: ", 0), 0u);
    EXPECT_EQ(d.doc.reliefCautions[3],
              "1,234 vertices were not displaced inward, to keep the wall under them above 0.80 mm.");

    // A run that warns of nothing leaves no caution behind from the one before.
    d.doc.ReliefWarningsText(mesh::PipelineRunState{});
    EXPECT_TRUE(d.doc.reliefCautions.empty());
}

TEST(ProcessingControl, AFailedImportSaysWhyAndChangesNothing) {
    test::TempDir dir("import");
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.AddMaskVolume(0);
    const std::size_t undoDepth = d.doc.undoStack.size();
    test::WriteTextFile(dir / "bad.stl", "not an stl at all");
    EXPECT_FALSE(d.doc.ImportPart(WideFromPath(dir / "bad.stl")));
    ASSERT_FALSE(d.host.log.empty());
    EXPECT_EQ(d.host.log.back().text.rfind(L"Import failed: ", 0), 0u);
    EXPECT_GT(d.host.log.back().text.size(), std::wstring(L"Import failed: ").size());
    EXPECT_EQ(d.host.log.back().kind, LogKind::Error);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text.rfind(L"This file could not be opened.\n", 0), 0u);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    EXPECT_EQ(d.doc.testShape, "cube");
    EXPECT_EQ(d.doc.partName, L"Test Cube");
    EXPECT_EQ(d.doc.workingPart.TriangleCount(), 12u);
    EXPECT_EQ(d.doc.maskVolumes.size(), 1u);
    EXPECT_EQ(d.doc.undoStack.size(), undoDepth);

    // A good file replaces the test shape.
    WriteBytes(dir / "box.stl", test::BinaryStl(test::FacetsOf(test::MakeBox({0, 0, 5}, {10, 20, 30}))));
    const CString path = WideFromPath(dir / "box.stl");
    EXPECT_TRUE(d.doc.ImportPart(path));
    EXPECT_EQ(d.doc.partName, path);
    EXPECT_TRUE(d.doc.testShape.empty());
    EXPECT_TRUE(d.doc.maskVolumes.empty());
    EXPECT_FLOAT_EQ(d.doc.displacementSettings.base.planeMillimetres, 5.0f);
    EXPECT_NEAR(d.doc.projection.cage.size.y, 20.4f, 1e-4f);
}

}  // namespace
}  // namespace ridgeforge

namespace ridgeforge {
namespace {

TEST(ProcessingControl, ARefusedRunIsLoggedAsAnErrorAndLeavesTheAppliedStateAlone) {
    test::HostedDocument d;
    d.doc.OnTestCube();
    d.doc.displacementEnabled = false;
    d.doc.simplifyEnabled = false;
    d.doc.remeshEnabled = true;
    d.doc.maximumTriangles = 1000;  // far below what 0.2 mm triangles on a 20 mm cube need
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_EQ(d.doc.processDecision, L"started: Process");
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_FALSE(d.host.log.empty());
    EXPECT_EQ(d.host.log.back().text.rfind(L"Refused: ", 0), 0u);
    EXPECT_EQ(d.host.log.back().kind, LogKind::Error);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    EXPECT_EQ(d.doc.resultSerial, 0u);
    EXPECT_FALSE(d.doc.processRequested);
    EXPECT_FALSE(d.host.Logged(L"Processed: "));
}

// After a refused run the user mends the settings. Validate and Save STL run
// no new Process, so they must not report the old refusal again; the next
// Process that succeeds clears the Information pane.
TEST(ProcessingControl, ARefusalIsReportedOnceAndASuccessfulRunClearsIt) {
    test::ToolDocument d;
    d.doc.OnTestCube();
    d.doc.displacementEnabled = false;
    d.doc.simplifyEnabled = false;
    d.doc.remeshEnabled = true;
    d.doc.maximumTriangles = 1000;
    d.doc.OnSettingsChanged();
    d.host.info.clear();
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_EQ(d.host.CountLogged(L"Refused: "), 1);
    ASSERT_EQ(d.host.info.size(), 1u);
    const CString refusal = d.host.info.back().text;
    ASSERT_EQ(refusal.rfind(L"About ", 0), 0u);

    // A settings edit that changes nothing leaves the refusal; mending the
    // settings takes it away (it spoke of settings no longer in force).
    d.doc.OnSettingsChanged();
    EXPECT_EQ(d.host.info.size(), 1u);
    d.doc.maximumTriangles = 18'000'000;
    d.doc.remeshSettings.targetEdgeMillimetres = 2.0f;
    d.doc.OnSettingsChanged();
    ASSERT_EQ(d.host.info.size(), 2u);
    EXPECT_TRUE(d.host.info.back().text.empty());
    d.doc.OnValidate();
    EXPECT_TRUE(d.host.Logged(L"Verdict: "));
    EXPECT_FALSE(d.host.Logged(L"Refused: "));
    // Finishing what runs brings the old refusal back nowhere.
    d.doc.ProcessNow();
    EXPECT_EQ(d.host.CountLogged(L"Refused: "), 0);
    EXPECT_EQ(d.host.info.size(), 2u);
    EXPECT_FALSE(d.doc.PollPipeline());

    // Save STL runs the work the new settings need before its check (the
    // file picker is then cancelled): the run succeeds and clears the refusal.
    d.doc.OnFileSaveStl();
    ASSERT_EQ(d.host.exportRequests.size(), 1u);
    EXPECT_TRUE(d.host.exportRequests[0].warning.empty()) << d.host.exportRequests[0].warning;
    EXPECT_TRUE(d.host.Logged(L"Processed: "));
    EXPECT_EQ(d.host.CountLogged(L"Refused: "), 0);
    ASSERT_GE(d.host.info.size(), 2u);
    EXPECT_TRUE(d.host.info.back().text.empty());
    EXPECT_EQ(d.host.info.back().kind, InfoKind::Good);
    EXPECT_EQ(d.doc.ProcessStatusText(), L"Up to date");
    EXPECT_FALSE(d.doc.PollPipeline());
    d.doc.Process();
    EXPECT_EQ(d.doc.processDecision, L"declined: up to date");

    // Save STL now brings nothing new: the applied result stays as it is.
    const std::uint32_t serial = d.doc.resultSerial;
    const std::size_t shown = d.host.info.size();
    d.doc.OnFileSaveStl();
    EXPECT_EQ(d.doc.resultSerial, serial);
    EXPECT_EQ(d.host.info.size(), shown);
}

// The refusal names the count the relief settings show for the same size,
// written the same way: 0.01 mm on the 20 mm cube.
TEST(ProcessingControl, TheRefusalNamesTheCountTheReliefSettingsShow) {
    test::HostedDocument d;
    d.doc.OnTestCube();
    d.doc.displacementEnabled = false;
    d.doc.simplifyEnabled = false;
    d.doc.remeshEnabled = true;
    d.doc.remeshSettings.targetEdgeMillimetres = 0.01f;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_NE(d.host.LastInfo(), nullptr);
    const CString text = d.host.LastInfo()->text;
    ASSERT_EQ(text.rfind(L"About ", 0), 0u) << CStringToUtf8(text);
    const CString count = text.substr(6, text.find(L' ', 6) - 6);
    EXPECT_NE(count.find(L','), CString::npos) << CStringToUtf8(text);
    mesh::RemeshSettings contour = d.doc.remeshSettings;
    contour.method = mesh::kRemeshContour;
    const std::uint64_t expected = mesh::EstimateRemesh(d.doc.workingPart, contour).expectedTotal;
    // The dialog's figure: a twelfth more than the remesh's, grouped by three.
    EXPECT_EQ(CStringToUtf8(count), FormatCount(expected + expected / 12));
}

// A red message belongs to the state that produced it.
TEST(ProcessingControl, AMessageGoesWithTheStateThatProducedIt) {
    test::HostedDocument d;
    test::TempDir dir("stale-messages");
    d.doc.OnTestCube();
    // A bad image, then a good one: the failure goes.
    std::ofstream(dir.Path() / "broken.png") << "not an image";
    EXPECT_FALSE(d.doc.LoadHeightMap((dir.Path() / "broken.png").wstring()));
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text.rfind(L"This image could not be loaded.", 0), 0u);
    ASSERT_TRUE(test::WritePng(dir.Path() / "grey.png", 4, 4, 1, 8, std::vector<std::uint16_t>(16, 128)));
    ASSERT_TRUE(d.doc.LoadHeightMap((dir.Path() / "grey.png").wstring()));
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_TRUE(d.host.LastInfo()->text.empty());
    // A procedural texture after a bad image does the same.
    EXPECT_FALSE(d.doc.LoadHeightMap((dir.Path() / "broken.png").wstring()));
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Dots"), L"");
    EXPECT_TRUE(d.host.LastInfo()->text.empty());

    // Another message is not the image's: a good image leaves it.
    d.doc.OnRepair();
    ASSERT_EQ(d.host.LastInfo()->text, L"Validation found nothing to repair.");
    const std::size_t shown = d.host.info.size();
    ASSERT_TRUE(d.doc.LoadHeightMap((dir.Path() / "grey.png").wstring()));
    EXPECT_EQ(d.host.info.size(), shown);
    // New takes the part and what was said about it.
    ASSERT_TRUE(d.doc.OnNewDocument());
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_TRUE(d.host.LastInfo()->text.empty());
    // An empty document has nothing to take back.
    const std::size_t empty = d.host.info.size();
    ASSERT_TRUE(d.doc.OnNewDocument());
    EXPECT_EQ(d.host.info.size(), empty);
}

// The solid method (the default) reports its relief like the mesh method:
// in the "Processed:" line and in the small-part warning.
TEST(ProcessingControl, TheSolidMethodsReliefIsReported) {
    HostedDocument d;
    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {15.0f, 50.0f, 8.0f}), L"Box", L"Box", L"Box");
    mesh::PipelineRunState state;
    state.solidRan = true;
    state.nonZeroHeights = 40;
    state.heightRange = 0.5f;
    d.doc.ReliefWarningsText(state);
    EXPECT_TRUE(d.host.Logged(L"This part is small for a relief: 15.0 mm across, with 0.50 mm of relief (3% of its "
                              L"size)"));
    // A refused solid relief made none.
    d.host.log.clear();
    state.solidRefused = true;
    d.doc.ReliefWarningsText(state);
    EXPECT_FALSE(d.host.Logged(L"This part is small for a relief"));

    HostedDocument run;
    run.doc.OnTestCube();
    ASSERT_EQ(run.doc.displacementSettings.method, mesh::DisplacementMethod::Solid);
    run.doc.displacementEnabled = true;
    run.doc.remeshEnabled = true;
    run.doc.simplifyEnabled = false;
    run.doc.remeshSettings.targetEdgeMillimetres = 1.0f;
    run.doc.displacementSettings.strengthMillimetres = 0.6f;
    run.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Dots"), L"");
    run.doc.OnSettingsChanged();
    run.doc.Process();
    ASSERT_EQ(run.doc.processDecision, L"started: Process");
    ASSERT_TRUE(test::PollUntilApplied(run.doc));
    const test::LogLine* processed = nullptr;
    for (const test::LogLine& line : run.host.log)
        if (line.text.rfind(L"Processed: ", 0) == 0) processed = &line;
    ASSERT_NE(processed, nullptr);
    const std::size_t at = processed->text.find(L", relief ");
    ASSERT_NE(at, CString::npos) << CStringToUtf8(processed->text);
    const double relief = std::stod(CStringToUtf8(processed->text.substr(at + 9)));
    EXPECT_GT(relief, 0.0);
    EXPECT_LE(relief, 0.6 + 1e-6);
    // The cube is 20 mm across and the relief at most 0.6 mm: not small.
    EXPECT_FALSE(run.host.Logged(L"This part is small for a relief"));
}

}  // namespace
}  // namespace ridgeforge

namespace ridgeforge {
namespace {

// Only a relief setting changed after a result: the Relief step is what is
// out of date, not the mapping or the texture.
TEST(ProcessingControl, ChangingOnlyAReliefSettingMakesTheReliefStale) {
    test::HostedDocument d;
    d.host.proceduralDialog = [](mesh::procedural::ProceduralTexture&) { return true; };
    d.doc.OnTestCube();
    d.doc.OnProceduralPattern(0);
    d.doc.remeshSettings.targetEdgeMillimetres = 2.0f;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_EQ(d.doc.processDecision, L"started: Process");
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    ASSERT_TRUE(d.host.Logged(L"Processed: "));
    for (FlowStep step : {FlowStep::Mapping, FlowStep::Texture, FlowStep::Relief, FlowStep::Simplify}) {
        EXPECT_FALSE(d.doc.IsStepOutOfDate(step));
    }
    for (const int change : {0, 1}) {
        if (change == 0) d.doc.displacementSettings.strengthMillimetres = 1.5f;
        if (change == 1) d.doc.displacementSettings.direction = mesh::DisplacementDirection::Outward;
        d.doc.OnSettingsChanged();
        EXPECT_TRUE(d.doc.IsStepOutOfDate(FlowStep::Relief)) << change;
        EXPECT_FALSE(d.doc.IsStepOutOfDate(FlowStep::Mapping)) << change;
        EXPECT_FALSE(d.doc.IsStepOutOfDate(FlowStep::Texture)) << change;
        EXPECT_EQ(d.doc.OutOfDateReasons(), L"displacement") << change;
        EXPECT_EQ(d.doc.ProcessStatusText(), L"Needs: relief, simplify") << change;
    }
}

// An open part 0.16 mm across: the solid relief removes all it makes of it
// as too small to print. The run is refused with a text that says so,
// nothing is logged as processed and the part stays shown as it was.
TEST(ProcessingControl, ASolidReliefThatLeavesNothingIsRefused) {
    test::HostedDocument d;
    d.host.proceduralDialog = [](mesh::procedural::ProceduralTexture&) { return true; };
    mesh::TriangleMesh part = mesh::MakeTestSphere(0.08f);
    part.indices.resize(part.indices.size() - 3 * 40);
    d.doc.LoadTestShape(part, L"Tiny", L"Tiny", L"Tiny");
    const std::vector<std::string> names = mesh::procedural::TextureNames();
    const auto bricks = std::find(names.begin(), names.end(), "Bricks");
    ASSERT_NE(bricks, names.end());
    d.doc.OnProceduralPattern(static_cast<std::size_t>(bricks - names.begin()));
    ASSERT_TRUE(d.doc.HasTexture());
    ASSERT_EQ(d.doc.displacementSettings.method, mesh::DisplacementMethod::Solid);
    d.doc.Process();
    ASSERT_EQ(d.doc.processDecision, L"started: Process");
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    EXPECT_FALSE(d.host.Logged(L"Processed: "));
    ASSERT_FALSE(d.host.log.empty());
    EXPECT_EQ(d.host.log.back().text, L"Refused: " + WideFromUtf8(mesh::kReliefLeftNothingMessage));
    EXPECT_EQ(d.host.log.back().kind, LogKind::Error);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    EXPECT_EQ(d.doc.resultSerial, 0u);
    EXPECT_EQ(d.doc.ShownMesh().TriangleCount(), part.TriangleCount());
}

}  // namespace
}  // namespace ridgeforge
