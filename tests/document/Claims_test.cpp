// What the program says against what the test measures itself. Each row
// drives the document through Process, Stop, Repair, Undo and Save STL, and
// after every step holds the claims (the log's outcome lines, the footer
// text, the verdict, the Information pane's counts, the export summary)
// against facts measured here without the program's own measures: enclosed
// volume, body count, how far the shown surface stands off the part, and
// whether the mesh shown is the one the finishing run checked.
//
// A stop is placed exactly: the run is held at a named step, the Stop command
// is given while it waits, and only then is it let go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "testing/Shapes.h"
#include "tests/document/ClaimsRow.h"
#include "tests/document/RunHold.h"
#include "tests/document/ToolHost.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"
#include "text/Utf8.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge {
namespace {

using mesh::TriangleMesh;
using test::BodyCount;
using test::CountAfter;
using test::EnclosedVolume;
using test::HoldClaims;
using test::OffsetFromBox;
using test::Row;
using test::SameMesh;
using test::Transcript;

// The export check's summary against the mesh it checked.
void HoldSaveClaims(Row& r, const std::string& row) {
    SCOPED_TRACE(row);
    ASSERT_FALSE(r.host.exportChecks.empty());
    const ExportCheckResult& check = r.host.exportChecks.back();
    const bool problemLine = check.report.find(L"  PROBLEM ") != std::wstring::npos;
    const bool ready = check.checksPassed && !problemLine;
    const double volume = std::fabs(EnclosedVolume(check.mesh));
    if (check.mesh.TriangleCount() == 0 || volume < 1e-6) {
        EXPECT_FALSE(ready) << "no problems found on a mesh that encloses " << volume << " mm3 ("
                            << check.mesh.TriangleCount() << " triangles)";
    }
    // What the dialog is given without a warning was checked by a complete run.
    const ExportDialogRequest& request = r.host.exportRequests.back();
    if (request.warning.empty() && request.mesh != nullptr && r.doc.pipeline.HasResult()) {
        EXPECT_TRUE(SameMesh(*request.mesh, r.doc.pipeline.PublishedMesh()));
    }
}

void SetUpRelief(Row& r, bool simplify) {
    r.LoadBox({0, 0, 0}, {20, 16, 12});
    r.doc.remeshEnabled = true;
    r.doc.remeshSettings.targetEdgeMillimetres = 1.0f;
    r.doc.displacementEnabled = true;
    r.doc.displacementSettings.strengthMillimetres = 0.6f;
    r.doc.simplifyEnabled = simplify;
    r.Texture("Dots");
    r.doc.OnSettingsChanged();
}

// Stop given while the run is held at a step of its finishing run, with the
// Simplify stage off (the user's case) and on: the stop is said, and the
// unchecked relief is neither shown nor called up to date. Process then runs
// to its end and is not reported stopped.
TEST(Claims, AStopDuringTheChecksLeavesThePartAsItWasAndProcessRunsTheRest) {
    const char* steps[] = {"Checking the mesh", "Checking that it prints"};
    for (const bool simplify : {false, true}) {
        for (const char* step : steps) {
            const std::string row = std::string(step) + (simplify ? ", simplify on" : ", simplify off");
            Row r;
            SetUpRelief(r, simplify);
            ASSERT_TRUE(r.ProcessToEnd());
            HoldClaims(r, row + ": first run");
            // Another strength, as a click on another Strength button gives.
            r.doc.displacementSettings.strengthMillimetres = 0.9f;
            r.doc.OnSettingsChanged();
            ASSERT_TRUE(r.ProcessAndStopAt(step)) << row;
            EXPECT_TRUE(r.SaidStarting(L"Stopped")) << row;
            EXPECT_NE(r.doc.ProcessStatusText(), L"Up to date") << row;
            HoldClaims(r, row + ": stopped");

            ASSERT_TRUE(r.ProcessToEnd()) << row << ": " << CStringToUtf8(r.doc.processDecision);
            EXPECT_FALSE(r.SaidStarting(L"Stopped")) << row;
            EXPECT_TRUE(r.SaidStarting(L"Processed: ")) << row;
            EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date") << row;
            HoldClaims(r, row + ": run again");
            // The stronger relief stands off further than the first.
            EXPECT_GT(OffsetFromBox(r.doc.ShownMesh(), r.lo, r.hi), 0.05) << row;
        }
    }
}

// Save STL after a stop in the checks: the save runs what the stop left
// undone before it checks, so the mesh it is given unwarned is a checked one.
TEST(Claims, SaveAfterAStopSavesACheckedResult) {
    Row r;
    SetUpRelief(r, false);
    ASSERT_TRUE(r.ProcessAndStopAt("Checking that it prints"));
    HoldClaims(r, "stopped before the save");
    r.Mark();
    r.doc.OnFileSaveStl();
    ASSERT_EQ(r.host.exportRequests.size(), 1u);
    EXPECT_TRUE(r.host.exportRequests[0].warning.empty()) << CStringToUtf8(r.host.exportRequests[0].warning);
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
    HoldSaveClaims(r, "save after the stop");
    HoldClaims(r, "after the save");
}

// Stop given after the worker ended but before the idle pass took its
// result: the run had finished, so it is reported as processed, checked,
// with no word of a stop.
TEST(Claims, AStopAfterTheRunEndedReportsTheFinishedRun) {
    Row r;
    SetUpRelief(r, false);
    r.Process();
    ASSERT_EQ(r.doc.processDecision, L"started: Process");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!r.doc.pipeline.WorkerFinished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(r.doc.pipeline.WorkerFinished());
    r.doc.StopProcessing();
    ASSERT_TRUE(test::PollUntilApplied(r.doc));
    EXPECT_FALSE(r.SaidStarting(L"Stopped"));
    EXPECT_TRUE(r.SaidStarting(L"Processed: "));
    EXPECT_TRUE(r.doc.runState.validated);
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
    HoldClaims(r, "stop after the end");
}

// A stop anywhere, with every stage but the mapping switched off, also
// leaves nothing unchecked called up to date.
TEST(Claims, AStopInARunWithTheStagesOffIsNoResult) {
    for (const char* step : {"Working out which faces receive texture", "Displacing", "Checking the mesh"}) {
        Row r;
        r.LoadBox({0, 0, 0}, {20, 16, 12});
        r.doc.remeshEnabled = true;
        r.doc.remeshSettings.targetEdgeMillimetres = 2.0f;
        r.doc.displacementEnabled = false;
        r.doc.simplifyEnabled = false;
        r.doc.OnSettingsChanged();
        ASSERT_TRUE(r.ProcessAndStopAt(step)) << step;
        EXPECT_TRUE(r.SaidStarting(L"Stopped")) << step;
        EXPECT_EQ(r.doc.ProcessStatusText(), L"Not processed yet") << step;
        EXPECT_TRUE(r.doc.CanProcess()) << step;
        HoldClaims(r, std::string("stages off, stopped at ") + step);
        ASSERT_TRUE(r.ProcessToEnd()) << step;
        EXPECT_TRUE(r.SaidStarting(L"Processed: ")) << step;
        EXPECT_TRUE(r.doc.runState.validated) << step;
        HoldClaims(r, std::string("stages off, run again after ") + step);
    }
}

// The texture's size changed while a run goes on: the run is dropped, and
// the log says so in place of a result. The next Process runs to its end.
TEST(Claims, ATextureChangeDuringARunIsSaidAndTheNextRunEnds) {
    Row r;
    SetUpRelief(r, false);
    r.Process();
    ASSERT_TRUE(r.doc.pipeline.IsRunning());
    mesh::TextureSettings settings = r.doc.texture.settings;
    settings.widthMillimetres = settings.widthMillimetres / 2.0f;
    r.doc.ApplyTextureSettings(settings);
    EXPECT_FALSE(r.doc.pipeline.IsRunning());
    EXPECT_FALSE(r.doc.processRequested);
    ASSERT_FALSE(r.host.log.empty());
    EXPECT_EQ(r.host.log.back().text, L"Stopped: the texture changed during the run. The part is as it was; Process "
                                      L"runs it again when asked.");
    EXPECT_EQ(r.host.log.back().kind, LogKind::Warning);
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Not processed yet");
    EXPECT_FALSE(r.doc.PollPipeline());
    HoldClaims(r, "texture changed during the run");

    ASSERT_TRUE(r.ProcessToEnd());
    EXPECT_FALSE(r.SaidStarting(L"Stopped"));
    EXPECT_TRUE(r.SaidStarting(L"Processed: "));
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
    HoldClaims(r, "run after the texture change");
    // A texture change with no run going on says nothing of a stop.
    r.Mark();
    settings.widthMillimetres = 12.0f;
    r.doc.ApplyTextureSettings(settings);
    EXPECT_FALSE(r.SaidStarting(L"Stopped"));
}

// Texture A, Process, texture B, Undo: the pipeline holds A again, and what
// is shown and said matches it. B is another pattern, another image, or A at
// another size.
TEST(Claims, UndoOfATextureGivesThePipelineTheTextureBackAndProcessFollowsIt) {
    test::TempDir dir("claims-undo");
    ASSERT_TRUE(test::WritePng(dir / "a.png", 8, 8, 1, 8, std::vector<std::uint16_t>(64, 40)));
    std::vector<std::uint16_t> checker(64);
    for (std::size_t i = 0; i < checker.size(); ++i) checker[i] = ((i % 8) + (i / 8)) % 2 == 0 ? 250 : 10;
    ASSERT_TRUE(test::WritePng(dir / "b.png", 8, 8, 1, 8, checker));
    for (const int way : {0, 1, 2}) {
        const std::string row = way == 0 ? "patterns" : way == 1 ? "images" : "texture size";
        Row r;
        SetUpRelief(r, false);
        if (way == 1) {
            ASSERT_TRUE(r.doc.LoadHeightMap(WideFromPath(dir / "a.png")));
        }
        ASSERT_TRUE(r.ProcessToEnd()) << row;
        const std::vector<float> pixelsOfA = r.doc.texture.pixels;
        const float widthOfA = r.doc.texture.settings.widthMillimetres;
        const TriangleMesh resultOfA = r.doc.ShownMesh();
        if (way == 0) r.Texture("Bricks");
        if (way == 1) {
            ASSERT_TRUE(r.doc.LoadHeightMap(WideFromPath(dir / "b.png")));
        }
        if (way == 2) {
            mesh::TextureSettings settings = r.doc.texture.settings;
            settings.widthMillimetres = widthOfA / 2.0f;
            r.doc.ApplyTextureSettings(settings);
        }
        HoldClaims(r, row + ": texture B");
        EXPECT_NE(r.doc.ProcessStatusText(), L"Up to date") << row;
        r.doc.OnEditUndo();
        EXPECT_EQ(r.doc.texture.pixels, pixelsOfA) << row;
        EXPECT_EQ(r.doc.pipeline.Cache().texture.pixels, pixelsOfA) << row << ": the pipeline kept texture B";
        EXPECT_EQ(r.doc.pipeline.Cache().texture.settings.widthMillimetres, widthOfA) << row;
        HoldClaims(r, row + ": undo to texture A");
        if (r.doc.ProcessStatusText() == L"Up to date") {
            EXPECT_TRUE(SameMesh(r.doc.ShownMesh(), resultOfA)) << row;
        } else {
            ASSERT_TRUE(r.ProcessToEnd()) << row << ": " << CStringToUtf8(r.doc.processDecision);
            EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date") << row;
            HoldClaims(r, row + ": processed after undo");
        }
    }
}

// Undo back to no texture: the Information pane describes none.
TEST(Claims, UndoBackToNoTextureLeavesNoTextureDetail) {
    Row r;
    r.LoadBox({0, 0, 0}, {20, 16, 12});
    r.doc.remeshSettings.targetEdgeMillimetres = 1.0f;
    r.doc.simplifyEnabled = false;
    r.doc.OnSettingsChanged();
    r.Texture("Dots");
    ASSERT_TRUE(r.ProcessToEnd());
    ASSERT_NE(r.doc.MeshInformationReport().find(L"Texture detail"), CString::npos);
    while (r.doc.HasTexture() && !r.doc.undoStack.empty()) r.doc.OnEditUndo();
    ASSERT_FALSE(r.doc.HasTexture());
    HoldClaims(r, "undo to no texture");
}

// A texture that reaches no surface: a box mask over the whole part, or no
// side of the box mapping switched on.
TEST(Claims, ATextureThatReachesNoSurfaceIsNoPlainSuccess) {
    for (const int way : {0, 1}) {
        Row r;
        SetUpRelief(r, false);
        if (way == 0) {
            const std::int32_t index = r.doc.AddMaskVolume(0);
            ASSERT_GE(index, 0);
            mesh::MaskVolume cover = r.doc.maskVolumes[static_cast<std::size_t>(index)];
            cover.center = {10, 8, 6};
            cover.size = {40, 40, 40};
            r.doc.UpdateMaskVolume(index, cover);
        } else {
            r.doc.projection.box.sideEnabled.fill(false);
            r.doc.OnSettingsChanged();
        }
        if (!r.ProcessToEnd()) continue;  // declining to run is no false claim
        EXPECT_LT(OffsetFromBox(r.doc.ShownMesh(), r.lo, r.hi), 0.005) << way;
        HoldClaims(r, way == 0 ? "mask over the whole part" : "no side on");
    }
}

// Save STL on meshes that enclose nothing: one triangle, and an open square
// whose edge the hole filling may close (hole limit 20 mm).
TEST(Claims, ASaveCheckOnAMeshThatEnclosesNothingFindsAProblem) {
    for (const int shape : {0, 1}) {
        Row r;
        TriangleMesh part;
        const auto add = [&part](float x, float y, float z) {
            part.vertices.push_back(mesh::Vertex{{x, y, z}, {0.0f, 0.0f, 1.0f}});
        };
        add(0, 0, 0);
        add(10, 0, 0);
        add(10, 10, 0);
        part.indices = {0, 1, 2};
        if (shape == 1) {
            add(0, 10, 0);
            part.indices.insert(part.indices.end(), {0, 2, 3});
        }
        part.RecomputeBounds();
        r.lo = part.boundsMin;
        r.hi = part.boundsMax;
        r.doc.LoadTestShape(part, L"Flat", L"Flat", L"Flat");
        r.doc.remeshEnabled = r.doc.displacementEnabled = r.doc.simplifyEnabled = false;
        r.doc.exportCleanup.fillHoles = true;
        r.doc.exportCleanup.maximumHoleMillimetres = 20.0f;
        r.doc.OnSettingsChanged();
        r.Mark();
        r.doc.OnFileSaveStl();
        if (r.host.exportChecks.empty()) continue;  // refused before the check: nothing claimed
        HoldSaveClaims(r, shape == 0 ? "one triangle" : "open square");
    }
}

// Repair: the counts follow the part shown, and a repair that would leave
// nothing is refused with the part kept.
// The pieces of `parts` as one mesh.
TriangleMesh Joined(const std::vector<TriangleMesh>& parts) {
    TriangleMesh joined;
    for (const TriangleMesh& piece : parts) {
        const auto base = static_cast<std::uint32_t>(joined.vertices.size());
        joined.vertices.insert(joined.vertices.end(), piece.vertices.begin(), piece.vertices.end());
        for (std::uint32_t index : piece.indices) joined.indices.push_back(base + index);
    }
    joined.RecomputeBounds();
    return joined;
}

TEST(Claims, RepairCountsFollowThePartShown) {
    {
        // Two boxes a hair apart, read from a file (which joins only equal
        // corners): the repair's welding joins them, and the counts shown
        // after it are the part's as it is then.
        test::TempDir dir("claims-repair");
        const TriangleMesh part =
            Joined({test::MakeBox({0, 0, 0}, {10, 10, 10}), test::MakeBox({10.00005f, 0, 0}, {20, 10, 10})});
        const std::vector<std::uint8_t> bytes = test::BinaryStl(test::FacetsOf(part));
        std::ofstream(dir / "two.stl", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        Row r;
        ASSERT_TRUE(r.doc.ImportPart(WideFromPath(dir / "two.stl")));
        r.lo = {0, 0, 0};
        r.hi = {20, 10, 10};
        HoldClaims(r, "two boxes as read");
        r.host.defaultAnswer = QuestionAnswer::Yes;
        r.Mark();
        r.doc.OnRepair();
        HoldClaims(r, "two boxes repaired");
    }
    {
        // Crumbs only: specks far below a printed line.
        Row r;
        std::vector<TriangleMesh> specks;
        for (int i = 0; i < 3; ++i) {
            const float x = 5.0f * static_cast<float>(i);
            specks.push_back(test::MakeBox({x, 0, 0}, {x + 0.02f, 0.02f, 0.02f}));
        }
        const TriangleMesh part = Joined(specks);
        r.doc.LoadTestShape(part, L"Specks", L"Specks", L"Specks");
        r.host.defaultAnswer = QuestionAnswer::Yes;
        r.doc.OnRepair();
        ASSERT_TRUE(r.doc.HasPart()) << "the repair left nothing";
        EXPECT_EQ(r.doc.workingPart.TriangleCount(), part.TriangleCount());
    }
}

}  // namespace
}  // namespace ridgeforge
