#include <gtest/gtest.h>

#include <fstream>

#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "tests/document/FakeHost.h"
#include "tests/document/ToolHost.h"
#include "tests/support/StlFiles.h"
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

TEST(ProcessingControl, SmallPartWarningByAbsoluteSizeOrByRatio) {
    const SmallPartCase cases[] = {
        {15.0f, 0.5f, true}, {30.0f, 3.0f, true}, {30.0f, 2.0f, false}, {19.9f, 0.1f, true}, {20.0f, 0.1f, false}};
    for (const SmallPartCase& c : cases) {
        HostedDocument d;
        // The middle extent counts: 8 is the smallest, 50 the largest.
        d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {c.across, 50.0f, 8.0f}), L"Box", L"Box", L"Box");
        mesh::PipelineRunState state;
        state.displacementReport.relief = c.relief;
        d.host.info.clear();
        d.doc.ReliefWarningsText(state);
        EXPECT_EQ(d.host.Logged(L"This part is small for a relief"), c.warns) << c.across << " " << c.relief;
        EXPECT_EQ(d.host.info.size(), c.warns ? 1u : 0u);
    }
    HostedDocument d;
    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {15.0f, 50.0f, 8.0f}), L"Box", L"Box", L"Box");
    mesh::PipelineRunState state;
    state.displacementReport.relief = 0.5f;
    d.doc.ReliefWarningsText(state);
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

    d.doc.maximumTriangles = 18'000'000;
    d.doc.remeshSettings.targetEdgeMillimetres = 2.0f;
    d.doc.OnSettingsChanged();
    d.doc.OnValidate();
    EXPECT_TRUE(d.host.Logged(L"Verdict: "));
    EXPECT_FALSE(d.host.Logged(L"Refused: "));
    // Finishing what runs brings the old refusal back nowhere.
    d.doc.ProcessNow();
    EXPECT_EQ(d.host.CountLogged(L"Refused: "), 0);
    EXPECT_EQ(d.host.info.size(), 1u);
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

}  // namespace
}  // namespace ridgeforge
