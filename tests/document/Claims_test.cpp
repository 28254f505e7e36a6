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

// ---- Facts, measured without the program's own measures

double EnclosedVolume(const TriangleMesh& m) {
    double six = 0.0;
    for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        const auto& a = m.vertices[m.indices[t]];
        const auto& b = m.vertices[m.indices[t + 1]];
        const auto& c = m.vertices[m.indices[t + 2]];
        const double ax = a.position.x, ay = a.position.y, az = a.position.z;
        const double bx = b.position.x, by = b.position.y, bz = b.position.z;
        const double cx = c.position.x, cy = c.position.y, cz = c.position.z;
        six += ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx);
    }
    return six / 6.0;
}

// Pieces joined by corners at the same place (the index lists may repeat a
// position under two numbers).
std::size_t BodyCount(const TriangleMesh& m) {
    std::map<std::tuple<float, float, float>, std::size_t> place;
    std::vector<std::size_t> root;
    std::vector<std::size_t> of(m.vertices.size());
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
        const mesh::Vec3f& p = m.vertices[v].position;
        const auto key = std::make_tuple(p.x, p.y, p.z);
        const auto [at, added] = place.emplace(key, root.size());
        if (added) root.push_back(root.size());
        of[v] = at->second;
    }
    const auto find = [&root](std::size_t x) {
        while (root[x] != x) x = root[x] = root[root[x]];
        return x;
    };
    std::vector<bool> used(root.size(), false);
    for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) {
        const std::size_t a = find(of[m.indices[t]]);
        for (int k = 0; k < 3; ++k) used[of[m.indices[t + k]]] = true;
        for (int k = 1; k < 3; ++k) root[find(of[m.indices[t + k]])] = a;
    }
    std::size_t bodies = 0;
    for (std::size_t x = 0; x < root.size(); ++x) bodies += used[x] && find(x) == x ? 1 : 0;
    return bodies;
}

// How far the surface stands off the faces of a box part at most, outward or
// inward, read where a face is flat: a remeshed box rounds its edges and
// corners, which is no relief.
double OffsetFromBox(const TriangleMesh& m, const mesh::Vec3f& lo, const mesh::Vec3f& hi) {
    constexpr double kEdgeMargin = 2.5;
    double most = 0.0;
    for (const auto& v : m.vertices) {
        const double p[3] = {v.position.x, v.position.y, v.position.z};
        const double a[3] = {lo.x, lo.y, lo.z};
        const double b[3] = {hi.x, hi.y, hi.z};
        int face = 0;
        double nearest = 1e30;
        for (int k = 0; k < 3; ++k) {
            const double d = std::min(std::fabs(p[k] - a[k]), std::fabs(p[k] - b[k]));
            if (d < nearest) {
                nearest = d;
                face = k;
            }
        }
        bool inFace = true;
        for (int k = 0; k < 3; ++k) {
            if (k != face && (p[k] < a[k] + kEdgeMargin || p[k] > b[k] - kEdgeMargin)) inFace = false;
        }
        if (inFace) most = std::max(most, nearest);
    }
    return most;
}

bool SameMesh(const TriangleMesh& a, const TriangleMesh& b) {
    if (a.indices != b.indices || a.vertices.size() != b.vertices.size()) return false;
    for (std::size_t v = 0; v < a.vertices.size(); ++v) {
        const mesh::Vec3f& p = a.vertices[v].position;
        const mesh::Vec3f& q = b.vertices[v].position;
        if (p.x != q.x || p.y != q.y || p.z != q.z) return false;
    }
    return true;
}

// ---- The document with its scripted shell, and the claims held after each step

struct Row : test::ToolDocument {
    // The box the part was made as; its faces are where a relief stands off.
    mesh::Vec3f lo{0, 0, 0}, hi{0, 0, 0};
    std::size_t logMark = 0;
    std::size_t infoMark = 0;

    void LoadBox(const mesh::Vec3f& min, const mesh::Vec3f& max) {
        lo = min;
        hi = max;
        doc.LoadTestShape(test::MakeBox(min, max), L"Box", L"Box", L"Box");
        host.answers.clear();
        host.defaultAnswer = QuestionAnswer::Yes;
    }
    void Texture(const char* name) { doc.ApplyProceduralTexture(mesh::procedural::CreateTexture(name), L""); }
    void Mark() {
        logMark = host.log.size();
        infoMark = host.info.size();
    }
    // Lines logged since the mark (Process empties the log: then all of it).
    std::vector<test::LogLine> Said() const {
        const std::size_t from = std::min(logMark, host.log.size());
        return {host.log.begin() + static_cast<std::ptrdiff_t>(from), host.log.end()};
    }
    bool SaidStarting(const CString& start) const {
        for (const test::LogLine& line : Said())
            if (line.text.rfind(start, 0) == 0) return true;
        return false;
    }
    const test::LogLine* Processed() const {
        const test::LogLine* found = nullptr;
        for (const test::LogLine& line : host.log)
            if (line.text.rfind(L"Processed: ", 0) == 0) found = &line;
        return found;
    }
    // The Information pane's message as it stands now.
    const test::InfoMessage* Shown() const {
        return host.info.empty() || host.info.back().text.empty() ? nullptr : &host.info.back();
    }
    bool CautionSince() const {
        for (std::size_t i = std::min(infoMark, host.info.size()); i < host.info.size(); ++i) {
            if (!host.info[i].text.empty() && host.info[i].kind != InfoKind::Good) return true;
        }
        for (const test::LogLine& line : Said())
            if (line.kind == LogKind::Warning || line.kind == LogKind::Error) return true;
        return false;
    }

    void Process() {
        Mark();
        const int clears = host.logClears;
        doc.Process();
        if (host.logClears != clears) logMark = 0;  // the run's lines start the log
    }
    // Process, held at `step` where the Stop command is given; true once the
    // stopped run was taken in.
    bool ProcessAndStopAt(const std::string& step) {
        test::RunHold hold;
        hold.Install(doc.pipeline, step);
        Process();
        bool taken = false;
        if (doc.processDecision == L"started: Process") {
            const bool reached = hold.WaitReached();
            if (reached) doc.StopProcessing();
            hold.Release();
            taken = test::PollUntilApplied(doc) && reached;
        }
        doc.pipeline.SetProgressWatcher({});
        return taken;
    }
    bool ProcessToEnd() {
        Process();
        if (doc.processDecision != L"started: Process") return false;
        return test::PollUntilApplied(doc);
    }
};

// The log and the Information pane as they stand, for a failure's message.
std::string Transcript(const Row& r) {
    std::string text = "log:\n";
    for (const test::LogLine& line : r.host.log) text += "  " + CStringToUtf8(line.text) + "\n";
    if (const test::InfoMessage* message = r.Shown()) text += "information: " + CStringToUtf8(message->text) + "\n";
    return text;
}

// The number after `label` on the line of the Information report that has it.
long long CountAfter(const CString& report, const CString& label) {
    const std::size_t at = report.find(label);
    if (at == CString::npos) return -1;
    std::string digits;
    for (std::size_t i = at + label.size(); i < report.size() && (std::iswdigit(report[i]) || report[i] == L','); ++i)
        if (report[i] != L',') digits += static_cast<char>(report[i]);
    return digits.empty() ? -1 : std::stoll(digits);
}

// Every claim the program makes now, against the facts.
void HoldClaims(Row& r, const std::string& row) {
    SCOPED_TRACE(row);
    CRidgeforgeDoc& doc = r.doc;
    if (!doc.HasPart() || doc.pipeline.IsRunning()) return;
    const TriangleMesh& shown = doc.ShownMesh();
    const CString footer = doc.ProcessStatusText();
    const bool stopped = r.SaidStarting(L"Stopped");

    // "Up to date" stands only for a mesh the finishing run checked: the one
    // the last complete run published.
    if (footer == L"Up to date") {
        EXPECT_TRUE(doc.pipeline.HasResult());
        EXPECT_TRUE(SameMesh(shown, doc.pipeline.PublishedMesh())) << "shown mesh is not the checked one";
        EXPECT_FALSE(stopped) << "a stop was said, yet the result is up to date";
        EXPECT_FALSE(doc.CanProcess());
    }
    // A stop leaves the part as it was, out of date and ready to run again.
    if (stopped) {
        EXPECT_NE(footer, L"Up to date");
        EXPECT_TRUE(SameMesh(shown, doc.workingPart)) << "a stop said the part is as it was";
        EXPECT_FALSE(r.SaidStarting(L"Processed: ")) << "a run said both stopped and processed";
        if (!doc.displacementEnabled || doc.HasTexture()) {
            EXPECT_TRUE(doc.CanProcess());
        }
    }
    // The success line counts the shown result, and its relief is there.
    if (const test::LogLine* line = r.Processed(); line != nullptr && footer == L"Up to date") {
        const CString count = FormatWithThousands(shown.TriangleCount());
        EXPECT_EQ(line->text.rfind(L"Processed: " + count + L" triangles", 0), 0u) << CStringToUtf8(line->text);
        const double offset = OffsetFromBox(shown, r.lo, r.hi);
        const std::size_t at = line->text.find(L", relief ");
        if (at != CString::npos) {
            const double relief = std::stod(CStringToUtf8(line->text.substr(at + 9)));
            EXPECT_LE(offset, relief + 0.05) << "the surface stands off further than the relief said";
        }
        // A relief asked for that reached no surface is no plain success.
        if (doc.lastRunSettings.displacementEnabled && doc.HasTexture() && offset < 0.005) {
            EXPECT_TRUE(r.CautionSince()) << "a texture that reached no surface was reported as a plain success\n"
                                          << Transcript(r);
        }
    }
    // Validation's verdict beside a warning about the same result.
    const CString report = doc.MeshInformationReport();
    if (report.find(L"Good: no problems found.") != CString::npos && footer == L"Up to date") {
        if (const test::InfoMessage* message = r.Shown()) {
            EXPECT_EQ(message->text.find(L"The relief thinned a wall"), CString::npos)
                << "verdict Good beside: " << CStringToUtf8(message->text);
            EXPECT_EQ(message->text.find(L"The relief needs support."), CString::npos)
                << "verdict Good beside: " << CStringToUtf8(message->text);
        }
    }
    // The Information pane's counts are the shown mesh's.
    EXPECT_EQ(CountAfter(report, L"Bodies: "), static_cast<long long>(BodyCount(shown))) << "Bodies:";
    EXPECT_NE(report.find(L"  " + FormatWithThousands(shown.TriangleCount()) + L" triangles\r\n"), CString::npos);
    // Without a texture there is no texture to describe.
    if (!doc.HasTexture()) {
        EXPECT_EQ(report.find(L"Texture detail"), CString::npos) << "texture detail without a texture";
        EXPECT_EQ(report.find(L"Procedural texture"), CString::npos) << "a procedural texture without a texture";
    }
}

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
    r.doc.remeshEnabled = true;
    r.doc.remeshSettings.targetEdgeMillimetres = 1.0f;
    r.doc.displacementEnabled = true;
    r.doc.displacementSettings.strengthMillimetres = 0.6f;
    r.doc.simplifyEnabled = simplify;
    r.Texture("Dots");
    r.doc.OnSettingsChanged();
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
