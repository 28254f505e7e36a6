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

// Remesh, a Dots relief of 0.6 mm and Simplify as asked, on the part loaded.
void SetUpReliefSettings(Row& r, bool simplify) {
    r.doc.remeshEnabled = true;
    r.doc.remeshSettings.targetEdgeMillimetres = 1.0f;
    r.doc.displacementEnabled = true;
    r.doc.displacementSettings.strengthMillimetres = 0.6f;
    r.doc.simplifyEnabled = simplify;
    r.Texture("Dots");
    r.doc.OnSettingsChanged();
}

void SetUpRelief(Row& r, bool simplify) {
    r.LoadBox({0, 0, 0}, {20, 16, 12});
    SetUpReliefSettings(r, simplify);
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
    EXPECT_EQ(r.host.log.back().text,
              L"Stopped: the texture changed during the run. The part is as it was; Process "
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

namespace ridgeforge {
namespace {

// ---- Sequences: after every step the verdict, the Topology lines, the
// footer, the step dots and the log's last state line speak of the mesh shown.

using mesh::TriangleMesh;

// A box with a loose sliver that pierces its top by a tenth of a millimetre
// near one edge: open (the sliver's three edges) and crossing itself as
// loaded; the remesh makes one closed surface of it.
TriangleMesh OpenCrossedBox() {
    TriangleMesh part = test::MakeBox({0, 0, 0}, {20, 16, 12});
    test::AddLooseTriangle(part, {0.5f, 1, 6}, {2, 1, 6}, {1.2f, 1.2f, 12.1f});
    part.RecomputeBounds();
    part.RecomputeNormals();
    return part;
}

struct EdgeUse {
    std::size_t open = 0;
    std::size_t nonManifold = 0;
};

// Edges by the corner numbers they join, as the Topology lines count them.
EdgeUse CountEdgeUse(const TriangleMesh& m) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> uses;
    for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = m.indices[t + k], b = m.indices[t + (k + 1) % 3];
            ++uses[{std::min(a, b), std::max(a, b)}];
        }
    }
    EdgeUse use;
    for (const auto& [edge, count] : uses) {
        use.open += count == 1 ? 1 : 0;
        use.nonManifold += count > 2 ? 1 : 0;
    }
    return use;
}

// The text of the Information report's section that starts with `heading`.
CString Section(const CString& report, const CString& heading) {
    const std::size_t at = report.find(heading + L"\r\n");
    if (at == CString::npos) return CString();
    const std::size_t end = report.find(L"\r\n\r\n", at);
    return report.substr(at, end == CString::npos ? CString::npos : end - at);
}

// The verdict and the Topology lines describe `shown`.
void HoldVerdictOn(CRidgeforgeDoc& doc, const TriangleMesh& shown) {
    const EdgeUse use = CountEdgeUse(shown);
    const CString report = doc.MeshInformationReport();
    const CString verdict = Section(report, L"Verdict");
    const CString topology = Section(report, L"Topology");
    EXPECT_EQ(CountAfter(topology, L"Open boundary edges: "), static_cast<long long>(use.open));
    EXPECT_EQ(CountAfter(topology, L"Non-manifold edges: "), static_cast<long long>(use.nonManifold));
    EXPECT_EQ(topology.find(L"The mesh is closed.") != CString::npos, use.open == 0 && use.nonManifold == 0);
    if (use.open > 0) {
        EXPECT_NE(verdict.find(FormatWithThousands(use.open) + L" edges are open"), CString::npos)
            << "the verdict misses the shown mesh's open edges:\n"
            << CStringToUtf8(verdict);
    } else {
        EXPECT_EQ(verdict.find(L"edges are open"), CString::npos) << "open edges in the verdict of a closed mesh:\n"
                                                                  << CStringToUtf8(verdict) << "\n"
                                                                  << CStringToUtf8(topology);
    }
    EXPECT_EQ(verdict.find(L"shared by more than two") != CString::npos, use.nonManifold > 0) << CStringToUtf8(verdict);
}

bool StartsWith(const CString& text, const wchar_t* start) { return text.rfind(start, 0) == 0; }

// The last log line that says where the result stands.
const test::LogLine* LastStateLine(const Row& r) {
    const test::LogLine* found = nullptr;
    for (const test::LogLine& line : r.host.log) {
        if (StartsWith(line.text, L"Processed: ") || StartsWith(line.text, L"Stopped") ||
            StartsWith(line.text, L"Refused: ") || StartsWith(line.text, L"The result is out of date") ||
            StartsWith(line.text, L"The result is up to date"))
            found = &line;
    }
    return found;
}

// After a step with no run going: what every part of the window says.
void HoldShownClaims(Row& r, const std::string& step) {
    SCOPED_TRACE(step);
    CRidgeforgeDoc& doc = r.doc;
    ASSERT_FALSE(doc.pipeline.IsRunning());
    doc.LogResultOutOfDate();  // the workflow pane's timer
    const TriangleMesh& shown = doc.ShownMesh();
    HoldVerdictOn(doc, shown);

    const CString footer = doc.ProcessStatusText();
    const bool mapping = doc.IsStepOutOfDate(FlowStep::Mapping);
    const bool texture = doc.IsStepOutOfDate(FlowStep::Texture);
    const bool relief = doc.IsStepOutOfDate(FlowStep::Relief);
    const bool simplify = doc.IsStepOutOfDate(FlowStep::Simplify);
    const std::string dots = std::string("dots: mapping ") + (mapping ? "amber" : "green") + ", texture " +
                             (texture ? "amber" : "green") + ", relief " + (relief ? "amber" : "green") +
                             ", simplify " + (simplify ? "amber" : "green") + "; footer " + CStringToUtf8(footer);
    if (footer == L"Up to date") {
        EXPECT_TRUE(SameMesh(shown, doc.pipeline.PublishedMesh())) << "up to date, yet another mesh is shown";
        EXPECT_FALSE(mapping || texture || relief || simplify) << dots;
    }
    if (StartsWith(footer, L"Needs: ")) {
        EXPECT_EQ(footer.find(L"relief") != CString::npos, relief) << dots;
        EXPECT_EQ(footer.find(L"simplify") != CString::npos, simplify) << dots;
        // The texture and the mapping reach the part through the relief.
        if (doc.displacementEnabled && (mapping || texture)) {
            EXPECT_TRUE(relief) << dots;
        }
    }
    if (const test::LogLine* line = LastStateLine(r)) {
        const bool saysCurrent =
            StartsWith(line->text, L"Processed: ") || StartsWith(line->text, L"The result is up to date");
        EXPECT_EQ(saysCurrent, footer == L"Up to date") << "the log's last word is \"" << CStringToUtf8(line->text)
                                                        << "\" beside the footer's \"" << CStringToUtf8(footer) << "\"";
    }
    HoldClaims(r, step);
}

// While a run goes on: the mesh shown before it stays, and the verdict and
// the Topology lines are still that mesh's.
void HoldRunningClaims(Row& r, const TriangleMesh& shownBefore, const std::string& step) {
    SCOPED_TRACE(step);
    ASSERT_TRUE(r.doc.pipeline.IsRunning());
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Processing");
    const TriangleMesh& shown = r.doc.ShownMesh();
    EXPECT_TRUE(SameMesh(shown, shownBefore)) << "the view switched meshes during the run";
    HoldVerdictOn(r.doc, shown);
}

void SetUpCrossedPart(Row& r, bool simplify) {
    r.lo = {0, 0, 0};
    r.hi = {20, 16, 12};
    r.doc.LoadTestShape(OpenCrossedBox(), L"Crossed", L"Crossed", L"Crossed");
    r.host.defaultAnswer = QuestionAnswer::Yes;
    SetUpReliefSettings(r, simplify);
}

// Starts Process and holds the run at `step`; the hold must be let go.
bool StartHeld(Row& r, test::RunHold& hold, const std::string& step) {
    hold.Install(r.doc.pipeline, step);
    r.Process();
    return r.doc.processDecision == L"started: Process" && hold.WaitReached();
}

bool FinishHeld(Row& r, test::RunHold& hold) {
    hold.Release();
    const bool applied = test::PollUntilApplied(r.doc);
    r.doc.pipeline.SetProgressWatcher({});
    return applied;
}

void SetSide(Row& r, int side, bool on) {
    r.doc.Edit(
        [side, on](DocumentEdit& edit) { edit.projection.box.sideEnabled[static_cast<std::size_t>(side)] = on; });
}

// A user's sequence on a part that is open and crossed as loaded: Left
// (-X) off, Process; Back (+Y) off during the run and on again, once after
// the run ended and once while it still goes.
TEST(ClaimsSequence, AMappingChangeDuringARunAndBack) {
    constexpr int kLeft = 1, kBack = 2;
    for (const bool backBeforeTheEnd : {false, true}) {
        const std::string way = backBeforeTheEnd ? "back during the run: " : "back after the run: ";
        Row r;
        SetUpCrossedPart(r, false);
        ASSERT_GT(CountEdgeUse(r.doc.ShownMesh()).open, 0u);
        HoldShownClaims(r, way + "loaded");
        ASSERT_TRUE(r.ProcessToEnd());
        ASSERT_EQ(CountEdgeUse(r.doc.ShownMesh()).open, 0u) << "the result should be closed";
        HoldShownClaims(r, way + "first result");
        SetSide(r, kLeft, false);
        HoldShownClaims(r, way + "Left off");

        const TriangleMesh before = r.doc.ShownMesh();
        test::RunHold hold;
        ASSERT_TRUE(StartHeld(r, hold, "Displacing"));
        HoldRunningClaims(r, before, way + "run started");
        SetSide(r, kBack, false);
        HoldRunningClaims(r, before, way + "Back off during the run");
        if (backBeforeTheEnd) {
            SetSide(r, kBack, true);
            HoldRunningClaims(r, before, way + "Back on during the run");
        }
        ASSERT_TRUE(FinishHeld(r, hold));
        HoldShownClaims(r, way + "the run ended");
        if (!backBeforeTheEnd) {
            EXPECT_TRUE(StartsWith(r.doc.ProcessStatusText(), L"Needs: ")) << CStringToUtf8(r.doc.ProcessStatusText());
            SetSide(r, kBack, true);
        }
        EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
        HoldShownClaims(r, way + "Back on again");
        r.doc.OnValidate();
        HoldShownClaims(r, way + "validated");
    }
}

// The texture moved during a run and back; then its size changed during a
// run (which drops the run) and back.
TEST(ClaimsSequence, ATextureChangeDuringARunAndBack) {
    Row r;
    SetUpCrossedPart(r, false);
    ASSERT_TRUE(r.ProcessToEnd());
    HoldShownClaims(r, "first result");
    const auto moveTexture = [&r](float by) {
        r.doc.Edit([by](DocumentEdit& edit) {
            for (mesh::ProjectionLayer& layer : edit.projection.layer) layer.originMillimetres[0] += by;
        });
    };
    moveTexture(3.0f);
    HoldShownClaims(r, "texture moved");
    const TriangleMesh before = r.doc.ShownMesh();
    {
        test::RunHold hold;
        ASSERT_TRUE(StartHeld(r, hold, "Displacing"));
        moveTexture(2.0f);
        HoldRunningClaims(r, before, "moved again during the run");
        ASSERT_TRUE(FinishHeld(r, hold));
    }
    HoldShownClaims(r, "the run ended");
    moveTexture(-2.0f);
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
    HoldShownClaims(r, "moved back");

    moveTexture(1.0f);
    r.Process();
    ASSERT_EQ(r.doc.processDecision, L"started: Process");
    mesh::TextureSettings settings = r.doc.texture.settings;
    const float width = settings.widthMillimetres;
    settings.widthMillimetres = width / 2.0f;
    r.doc.ApplyTextureSettings(settings);
    ASSERT_FALSE(r.doc.pipeline.IsRunning());
    HoldShownClaims(r, "size changed during the run");
    settings.widthMillimetres = width;
    r.doc.ApplyTextureSettings(settings);
    HoldShownClaims(r, "size back");
    ASSERT_TRUE(r.ProcessToEnd());
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
    HoldShownClaims(r, "processed after the size came back");
}

// The Validate command's log gives the verdict the Information pane gives.
void HoldValidateClaims(Row& r, const std::string& step) {
    SCOPED_TRACE(step);
    r.doc.OnValidate();
    const CString pane = Section(r.doc.MeshInformationReport(), L"Verdict");
    CString logged;
    for (const test::LogLine& line : r.host.log)
        if (StartsWith(line.text, L"Verdict: ")) logged = line.text.substr(9);
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(pane.find(L"  " + logged + L"\r\n"), CString::npos)
        << "log: " << CStringToUtf8(logged) << "\npane: " << CStringToUtf8(pane);
    HoldShownClaims(r, step);
}

// A run the relief warns about (the part is small for its relief), a second
// run, then Undo and Redo around it, with Validate on the way.
TEST(ClaimsSequence, UndoAndRedoAroundAWarnedRun) {
    Row r;
    SetUpCrossedPart(r, false);
    ASSERT_TRUE(r.ProcessToEnd());
    ASSERT_FALSE(r.doc.reliefCautions.empty()) << Transcript(r);
    HoldShownClaims(r, "warned result");
    HoldValidateClaims(r, "warned result validated");
    r.doc.Edit([](DocumentEdit& edit) { edit.displacementSettings.strengthMillimetres = 0.9f; });
    HoldShownClaims(r, "stronger");
    ASSERT_TRUE(r.ProcessToEnd());
    HoldShownClaims(r, "stronger result");
    r.doc.OnEditUndo();
    HoldShownClaims(r, "undo");
    r.doc.OnEditRedo();
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
    HoldShownClaims(r, "redo");
    // Validate empties the log; the state lines that follow start afresh.
    r.doc.OnEditUndo();
    HoldValidateClaims(r, "undo validated");
    r.doc.OnEditRedo();
    HoldShownClaims(r, "redo after Validate");
    HoldValidateClaims(r, "redo validated");
    r.doc.OnEditUndo();
    HoldShownClaims(r, "undo after Validate");
}

// A new texture, Process, Stop while Simplify works: the relief is made with
// the new texture, Simplify is due, and the part is shown as it was.
TEST(ClaimsSequence, AStopDuringSimplify) {
    Row r;
    SetUpCrossedPart(r, true);
    ASSERT_TRUE(r.ProcessToEnd());
    HoldShownClaims(r, "first result");
    r.Texture("Bricks");
    HoldShownClaims(r, "another texture");
    ASSERT_TRUE(r.ProcessAndStopAt("Simplifying flat areas"));
    ASSERT_TRUE(r.SaidStarting(L"Stopped"));
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Needs: simplify");
    HoldShownClaims(r, "stopped in Simplify");
    ASSERT_TRUE(r.ProcessToEnd());
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date");
    HoldShownClaims(r, "processed after the stop");

    // Stopped again, then Validate, which runs the rest first: the run it
    // finished is reported as processed, and its warnings are the ones given.
    r.Texture("Dots");
    ASSERT_TRUE(r.ProcessAndStopAt("Simplifying flat areas"));
    HoldShownClaims(r, "stopped in Simplify again");
    const std::uint32_t results = r.doc.resultSerial;
    r.doc.OnValidate();  // empties the log first
    EXPECT_NE(r.Processed(), nullptr) << Transcript(r);
    EXPECT_EQ(r.doc.resultSerial, results + 1);
    EXPECT_TRUE(SameMesh(r.doc.ShownMesh(), r.doc.pipeline.PublishedMesh()));
    HoldShownClaims(r, "validated after the stop");
}

}  // namespace
}  // namespace ridgeforge
