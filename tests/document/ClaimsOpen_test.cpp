// What the program says after opens, Undo and Repair, against what the test
// measures itself: the log line of a project's pattern against the values
// the project file holds, the Information pane's messages against the mesh
// shown, the settings a damaged project leaves against the ranges the
// settings controls allow, and a refused repair against the part kept.
//
// After every step the claims of HoldClaims hold, and so do the messages: a
// message about a run's result stands only while that result is shown, and a
// failed open's message goes once the document it kept has changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "relief/repair/Repair.h"
#include "testing/Shapes.h"
#include "tests/document/ClaimsRow.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"
#include "text/Utf8.h"
#include "textures/Presets.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge {
namespace {

using mesh::TriangleMesh;
using test::HoldClaims;
using test::OffsetFromBox;
using test::Row;
using test::SameMesh;

// The Information pane's words about a run's result, each of which speaks
// of the mesh the run made.
bool SpeaksOfAResult(const CString& message) {
    for (const wchar_t* words :
         {L"The relief needs support.", L"The relief thinned a wall", L"This part is small for a relief",
          L"The texture reaches no surface", L"were not displaced inward"}) {
        if (message.find(words) != CString::npos) return true;
    }
    return false;
}

// The message shown now against the mesh shown now.
void HoldMessageClaims(Row& r, const std::string& row) {
    SCOPED_TRACE(row);
    HoldClaims(r, row);
    const test::InfoMessage* shown = r.Shown();
    if (shown == nullptr || !SpeaksOfAResult(shown->text)) return;
    EXPECT_EQ(r.doc.ProcessStatusText(), L"Up to date") << "a result's message beside: " << CStringToUtf8(shown->text);
    EXPECT_TRUE(r.doc.pipeline.HasResult() && SameMesh(r.doc.ShownMesh(), r.doc.pipeline.PublishedMesh()))
        << "a result's message over a mesh that is not that result";
}

// The box with dots, 1 mm triangles, the given strength, simplify off.
void SetUpDots(Row& r, const mesh::Vec3f& hi, float strength) {
    r.LoadBox({0, 0, 0}, hi);
    r.doc.remeshSettings.targetEdgeMillimetres = 1.0f;
    r.doc.displacementSettings.strengthMillimetres = strength;
    r.doc.simplifyEnabled = false;
    r.Texture("Dots");
    r.doc.OnSettingsChanged();
}

void SetStrength(Row& r, float strength) {
    r.doc.Edit([strength](DocumentEdit& edit) { edit.displacementSettings.strengthMillimetres = strength; });
}

// A good part processed, then an open that fails: the STL itself, and a
// project whose part is that STL. The part shown is kept and the failure is
// said; once the kept part is changed, the failure's red words are gone.
TEST(ClaimsOpen, AFailedOpenAfterAGoodPartGoesOnceThePartShownChanges) {
    test::TempDir dir("claims-open-fail");
    test::WriteTextFile(dir / "broken.stl", "solid broken\n  facet normal 0 0 1\n    outer loop\n");
    ProjectFileData project;
    project.partPath = WideFromPath(dir / "broken.stl");
    std::string error;
    ASSERT_TRUE(WriteProjectJson(dir / "broken.rgproj", project, error)) << error;

    for (const char* file : {"broken.stl", "broken.rgproj"}) {
        const std::string row = file;
        Row r;
        SetUpDots(r, {20, 16, 12}, 0.6f);
        ASSERT_TRUE(r.ProcessToEnd()) << row;
        HoldMessageClaims(r, row + ": processed");
        const TriangleMesh shownBefore = r.doc.ShownMesh();
        // 16 mm across is small for a relief: the run's words are shown.
        ASSERT_NE(r.Shown(), nullptr) << row;
        const CString runWords = r.Shown()->text;
        ASSERT_TRUE(SpeaksOfAResult(runWords)) << CStringToUtf8(runWords);

        r.host.defaultAnswer = QuestionAnswer::No;  // keep the work unsaved
        r.Mark();
        EXPECT_FALSE(r.host.OpenDocumentFile(WideFromPath(dir / file))) << row;
        ASSERT_TRUE(r.doc.HasPart()) << row;
        EXPECT_TRUE(SameMesh(r.doc.ShownMesh(), shownBefore)) << row << ": the failed open changed the part shown";
        ASSERT_NE(r.Shown(), nullptr) << row << ": a failed open said nothing";
        EXPECT_EQ(r.Shown()->kind, InfoKind::Problem) << row;
        EXPECT_EQ(r.Shown()->text.rfind(L"This file could not be opened.\n", 0), 0u) << row;
        HoldMessageClaims(r, row + ": open failed");

        // Nothing changed yet: an edit that changes nothing keeps the words.
        r.doc.OnSettingsChanged();
        EXPECT_NE(r.Shown(), nullptr) << row << ": the failure went with nothing changed";

        SetStrength(r, 0.9f);
        EXPECT_EQ(r.Shown(), nullptr) << row << ": the failed open is still said over the changed part\n"
                                      << test::Transcript(r);
        HoldMessageClaims(r, row + ": strength changed");
        // Undo shows the run's result again, and with it the run's words.
        r.doc.OnEditUndo();
        HoldMessageClaims(r, row + ": undo");
        if (r.doc.ProcessStatusText() == L"Up to date") {
            ASSERT_NE(r.Shown(), nullptr) << row << ": the result is shown again without its words";
            EXPECT_EQ(r.Shown()->text, runWords) << row;
        }
        r.doc.OnEditRedo();
        ASSERT_TRUE(r.ProcessToEnd()) << row;
        HoldMessageClaims(r, row + ": processed again");
    }
}

// A project saved with the Rustic bricks preset: the log line of the opened
// pattern names the preset's values, which are the values in use.
TEST(ClaimsOpen, AProjectWithPatternValuesSaysAndUsesThem) {
    test::TempDir dir("claims-open-pattern");
    const std::filesystem::path preset =
        std::filesystem::path(RIDGEFORGE_LIBRARY_DIR) / "procedural" / "Bricks" / "Rustic bricks.rgpreset";
    {
        Row saved;
        saved.doc.OnTestCube();
        std::unique_ptr<mesh::procedural::ProceduralTexture> bricks = mesh::procedural::CreateTexture("Bricks");
        std::string error;
        ASSERT_TRUE(LoadPreset(preset, *bricks, &error)) << error;
        saved.doc.ApplyProceduralTexture(std::move(bricks), L"Rustic bricks");
        saved.doc.remeshSettings.targetEdgeMillimetres = 1.0f;
        saved.doc.simplifyEnabled = false;
        saved.doc.OnSettingsChanged();
        ASSERT_TRUE(saved.doc.SaveProject(WideFromPath(dir / "rustic.rgproj")));
    }
    // The project file holds the preset's values: variation=0.6, roughness=0.5, seed=7.
    const std::string file = test::ReadTextFile(dir / "rustic.rgproj");
    ASSERT_NE(file.find("variation=0.6"), std::string::npos) << file;
    ASSERT_NE(file.find("seed=7"), std::string::npos) << file;

    Row r;
    r.lo = {-10, -10, -10};
    r.hi = {10, 10, 10};
    r.Mark();
    ASSERT_TRUE(r.host.OpenDocumentFile(WideFromPath(dir / "rustic.rgproj")));
    int lines = 0;
    for (const test::LogLine& line : r.Said()) {
        if (line.text.rfind(L"Procedural texture: ", 0) != 0) continue;
        ++lines;
        EXPECT_NE(line.text.find(L"Height variation 0.60"), CString::npos) << CStringToUtf8(line.text);
        EXPECT_NE(line.text.find(L"Face roughness 0.50"), CString::npos) << CStringToUtf8(line.text);
        EXPECT_NE(line.text.find(L"Seed 7"), CString::npos) << CStringToUtf8(line.text);
    }
    EXPECT_EQ(lines, 1);
    // The texture in use and the Information pane hold the same values.
    ASSERT_NE(r.doc.proceduralTexture, nullptr);
    EXPECT_EQ(r.doc.proceduralTexture->GetValue("variation"), 0.6f);
    EXPECT_EQ(r.doc.proceduralTexture->GetValue("roughness"), 0.5f);
    EXPECT_EQ(r.doc.proceduralTexture->GetValue("seed"), 7.0f);
    const CString report = r.doc.MeshInformationReport();
    EXPECT_NE(report.find(L"Height variation 0.60, Face roughness 0.50, Seed 7"), CString::npos);
    // What Process is given is that pattern rendered at the size in use.
    std::unique_ptr<mesh::procedural::ProceduralTexture> expected = mesh::procedural::CreateTexture("Bricks");
    expected->SetValue("variation", 0.6f);
    expected->SetValue("roughness", 0.5f);
    expected->SetValue("seed", 7.0f);
    EXPECT_EQ(r.doc.pipeline.Cache().texture.pixels,
              expected->RenderHeightMap(r.doc.texture.width, r.doc.texture.height));
    ASSERT_TRUE(r.ProcessToEnd());
    HoldMessageClaims(r, "rustic bricks processed");
}

// The log lines of values a project held to a range.
std::vector<CString> HeldLines(const Row& r) {
    std::vector<CString> held;
    for (const test::LogLine& line : r.Said()) {
        if (line.text.rfind(L"The project's ", 0) == 0 && line.text.find(L" is used.") != CString::npos) {
            EXPECT_EQ(line.kind, LogKind::Warning) << CStringToUtf8(line.text);
            held.push_back(line.text);
        }
    }
    return held;
}

bool Names(const std::vector<CString>& lines, const CString& start) {
    for (const CString& line : lines)
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

// A project with a midlevel of 1e30 is processed as with a midlevel of 1:
// the relief stays within its strength, and the log says what was changed.
TEST(ClaimsOpen, AProjectMidlevelFarOutOfRangeMakesNoBlob) {
    test::TempDir dir("claims-open-midlevel");
    ProjectFileData project;
    project.testShape = "cube";
    project.proceduralPattern = "Dots";
    project.remesh.targetEdgeMillimetres = 1.0f;
    project.simplifyOn = false;
    project.displacement.strengthMillimetres = 0.6f;
    project.displacement.midLevel = 1e30f;
    // The face on the bed untextured, as a part opened from a file has it.
    project.projection.box.sideEnabled[5] = false;
    std::string error;
    ASSERT_TRUE(WriteProjectJson(dir / "far.rgproj", project, error)) << error;

    Row r;
    r.lo = {-10, -10, -10};
    r.hi = {10, 10, 10};
    r.Mark();
    ASSERT_TRUE(r.host.OpenDocumentFile(WideFromPath(dir / "far.rgproj")));
    EXPECT_EQ(r.doc.displacementSettings.midLevel, 1.0f);
    const std::vector<CString> held = HeldLines(r);
    ASSERT_EQ(held.size(), 1u) << test::Transcript(r);
    EXPECT_EQ(held[0], L"The project's midlevel 1e+30 is outside what the program allows (0 to 1), so 1 is used.");
    ASSERT_TRUE(r.ProcessToEnd());
    // A midlevel of 1 moves the surface inward by at most the strength.
    EXPECT_LE(OffsetFromBox(r.doc.ShownMesh(), r.lo, r.hi), 0.6 + 0.05);
    EXPECT_GT(OffsetFromBox(r.doc.ShownMesh(), r.lo, r.hi), 0.05);
    HoldMessageClaims(r, "midlevel 1e30 processed");
}

// Every ranged value of a project past its range is held to it, each named
// once; values at the very ends of their ranges are taken as they stand.
TEST(ClaimsOpen, AProjectsValuesAreHeldToTheRangesTheSettingsAllow) {
    test::TempDir dir("claims-open-ranges");
    ProjectFileData p;
    p.testShape = "cube";
    p.proceduralPattern = "Bricks";
    p.proceduralParameters = "rows=100\nseed=5000\nvariation=0.6\nmortar=0.45\n";
    p.remesh.targetEdgeMillimetres = 0.001f;
    p.displacement.strengthMillimetres = 1e6f;
    p.displacement.midLevel = 0.0f;  // the lower end: kept
    p.maximumTriangles = 5;
    p.displayTriangles = 1'000'000'000'000ull;
    p.simplify.planarToleranceMillimetres = 5.0f;
    p.simplify.meshDetailError = 0.0f;
    p.projection.box.blendSharpness = 0.0f;
    p.projection.layer[0].zoom = 1000.0f;
    p.projection.layer[1].zoom = 0.05f;  // the lower end: kept
    p.projection.layer[2].zoom = -3.0f;
    p.occupancyCells = 300;
    p.textureSettings.lockAspect = false;
    p.textureSettings.widthMillimetres = -5.0f;
    p.textureSettings.heightMillimetres = 12.0f;
    p.textureSettings.blurMillimetres = -1.0f;
    p.textureSettings.blackLevel = 0.8f;
    p.textureSettings.whiteLevel = 0.5f;
    p.textureSettings.gamma = 0.0f;
    p.textureSettings.outputWhiteLevel = 2.0f;
    mesh::MaskVolume mask;
    mask.name = "Box 1";
    mask.size = {0.1f, 3.0f, 0.5f};
    mask.featherMillimetres = -2.0f;
    p.masks.push_back(mask);
    p.exportCleanup.maximumHoleMillimetres = -1.0f;
    std::string error;
    ASSERT_TRUE(WriteProjectJson(dir / "ranges.rgproj", p, error)) << error;

    Row r;
    r.Mark();
    ASSERT_TRUE(r.host.OpenDocumentFile(WideFromPath(dir / "ranges.rgproj")));
    const CRidgeforgeDoc& d = r.doc;
    EXPECT_EQ(d.remeshSettings.targetEdgeMillimetres, 0.01f);
    EXPECT_EQ(d.displacementSettings.strengthMillimetres, 100000.0f);
    EXPECT_EQ(d.displacementSettings.midLevel, 0.0f);
    EXPECT_EQ(d.maximumTriangles, 100'000u);
    EXPECT_EQ(d.displayTriangles, 200'000'000u);
    EXPECT_EQ(d.simplifySettings.planarToleranceMillimetres, 1.0f);
    EXPECT_EQ(d.simplifySettings.meshDetailError, 1e-5f);
    EXPECT_EQ(d.projection.box.blendSharpness, 1.0f);
    EXPECT_EQ(d.projection.layer[0].zoom, 20.0f);
    EXPECT_EQ(d.projection.layer[1].zoom, 0.05f);
    EXPECT_EQ(d.projection.layer[2].zoom, 1.0f);
    EXPECT_EQ(d.occupancyCells, 256);
    EXPECT_EQ(d.texture.settings.widthMillimetres, 30.0f);
    EXPECT_EQ(d.texture.settings.heightMillimetres, 12.0f);
    EXPECT_EQ(d.texture.settings.blurMillimetres, 0.0f);
    EXPECT_EQ(d.texture.settings.blackLevel, 0.8f);
    EXPECT_EQ(d.texture.settings.whiteLevel, 0.8f + 1.0f / 255.0f);
    EXPECT_EQ(d.texture.settings.gamma, 1.0f);
    EXPECT_EQ(d.texture.settings.outputWhiteLevel, 1.0f);
    ASSERT_EQ(d.maskVolumes.size(), 1u);
    EXPECT_EQ(d.maskVolumes[0].size.x, 0.5f);
    EXPECT_EQ(d.maskVolumes[0].size.y, 3.0f);
    EXPECT_EQ(d.maskVolumes[0].size.z, 0.5f);
    EXPECT_EQ(d.maskVolumes[0].featherMillimetres, 0.0f);
    EXPECT_EQ(d.exportCleanup.maximumHoleMillimetres, 0.0f);
    ASSERT_NE(d.proceduralTexture, nullptr);
    EXPECT_EQ(d.proceduralTexture->GetValue("rows"), 32.0f);
    EXPECT_EQ(d.proceduralTexture->GetValue("seed"), 999.0f);
    EXPECT_EQ(d.proceduralTexture->GetValue("variation"), 0.6f);
    EXPECT_EQ(d.proceduralTexture->GetValue("mortar"), 0.45f);

    const std::vector<CString> held = HeldLines(r);
    for (const wchar_t* name : {L"The project's triangle size (mm) 0.001 ",
                                L"The project's strength (mm) 1000000 ",
                                L"The project's triangle limit 5 ",
                                L"The project's display limit 1,000,000,000,000 ",
                                L"The project's planar tolerance (mm) 5 ",
                                L"The project's detail level 0 ",
                                L"The project's blend sharpness 0 ",
                                L"The project's texture zoom on the +X side 1000 ",
                                L"The project's texture zoom on the +Y side -3 ",
                                L"The project's test grid (cells across) 300 ",
                                L"The project's texture width (mm) -5 ",
                                L"The project's blur (mm) -1 ",
                                L"The project's input white level 0.5 ",
                                L"The project's gamma 0 ",
                                L"The project's output white level 2 ",
                                L"The project's size X (mm) of mask \"Box 1\" 0.1 ",
                                L"The project's feather (mm) of mask \"Box 1\" -2 ",
                                L"The project's largest hole to fill (mm) -1 ",
                                L"The project's Rows per tile of Bricks 100 ",
                                L"The project's Seed of Bricks 5000 "}) {
        EXPECT_TRUE(Names(held, name)) << CStringToUtf8(name) << "\n" << test::Transcript(r);
    }
    EXPECT_EQ(held.size(), 20u) << test::Transcript(r);
}

// Undo and Redo around a run that warned: its amber words stand while its
// result is shown and go while a preview or another state is shown, also
// after a second run.
TEST(ClaimsOpen, UndoAroundAWarnedRunKeepsItsWordsWithItsResult) {
    Row r;
    // 10 mm across is small for a relief: the run warns.
    SetUpDots(r, {14, 10, 8}, 0.6f);
    ASSERT_TRUE(r.ProcessToEnd());
    ASSERT_NE(r.Shown(), nullptr) << test::Transcript(r);
    ASSERT_TRUE(SpeaksOfAResult(r.Shown()->text)) << CStringToUtf8(r.Shown()->text);
    const CString firstWords = r.Shown()->text;
    HoldMessageClaims(r, "warned run");

    SetStrength(r, 0.9f);
    EXPECT_EQ(r.Shown(), nullptr) << "the run's words stand over the preview";
    HoldMessageClaims(r, "strength changed");

    r.doc.OnEditUndo();
    HoldMessageClaims(r, "undo to the warned run's settings");
    if (r.doc.ProcessStatusText() == L"Up to date") {
        ASSERT_NE(r.Shown(), nullptr) << "the result is shown again without its words";
        EXPECT_EQ(r.Shown()->text, firstWords);
    }
    r.doc.OnEditRedo();
    EXPECT_EQ(r.Shown(), nullptr);
    HoldMessageClaims(r, "redo");

    ASSERT_TRUE(r.ProcessToEnd());
    ASSERT_NE(r.Shown(), nullptr);
    HoldMessageClaims(r, "second warned run");
    r.doc.OnEditUndo();
    HoldMessageClaims(r, "undo after the second run");
    if (r.doc.ProcessStatusText() != L"Up to date") {
        EXPECT_EQ(r.Shown(), nullptr) << "the second run's words stand after Undo";
    }
    r.doc.OnEditRedo();
    HoldMessageClaims(r, "redo after the second run");
}

// A repair whose result would keep no triangle is refused and the part
// kept, with corners left over or without. A stray point far away makes the
// repair's weld coarse enough to join every corner of a small part into one.
TEST(ClaimsOpen, ARepairThatWouldLeaveNoTriangleIsRefused) {
    for (const bool strayUsed : {false, true}) {
        const std::string row = strayUsed ? "far triangle" : "far point";
        TriangleMesh part = test::MakeBox({0, 0, 0}, {5, 5, 5});
        const auto far = static_cast<std::uint32_t>(part.vertices.size());
        part.vertices.push_back(mesh::Vertex{{1e7f, 0, 0}, {0, 0, 1}});
        if (strayUsed) {
            // A sliver out there that the weld closes up as well.
            part.vertices.push_back(mesh::Vertex{{1e7f + 1.0f, 0, 0}, {0, 0, 1}});
            part.vertices.push_back(mesh::Vertex{{1e7f, 1.0f, 0}, {0, 0, 1}});
            part.indices.insert(part.indices.end(), {far, far + 1, far + 2});
        }
        part.RecomputeBounds();
        {
            // The case is the one meant: the repair's first pass keeps no triangle.
            TriangleMesh copy = part;
            mesh::RepairBasics(copy, mesh::RepairBasicsOptions{});
            ASSERT_EQ(copy.TriangleCount(), 0u) << row;
        }
        Row r;
        test::AdoptPart(r.doc, part, L"/parts/stray.stl");
        const TriangleMesh before = r.doc.partAsLoaded;
        r.host.defaultAnswer = QuestionAnswer::Yes;
        r.Mark();
        r.doc.OnRepair();
        ASSERT_TRUE(r.doc.HasPart()) << row << ": the repair left no triangle";
        EXPECT_TRUE(SameMesh(r.doc.partAsLoaded, before)) << row << ": the refused repair changed the part";
        EXPECT_FALSE(r.doc.partChanged) << row;
        EXPECT_FALSE(r.doc.IsModified()) << row;
        ASSERT_NE(r.Shown(), nullptr) << row;
        EXPECT_EQ(r.Shown()->kind, InfoKind::Problem) << row;
        EXPECT_TRUE(r.SaidStarting(L"Repair: refused;")) << row << "\n" << test::Transcript(r);
        HoldMessageClaims(r, row + ": repair refused");
    }
}

}  // namespace
}  // namespace ridgeforge
