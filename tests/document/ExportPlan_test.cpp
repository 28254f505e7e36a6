#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"
#include "mesh/StlImport.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/document/ToolHost.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

using test::ToolDocument;
using namespace std::string_literals;

std::string ReadBytes(const std::filesystem::path& path, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

void WriteStl(const std::filesystem::path& path, const mesh::TriangleMesh& mesh) {
    const std::vector<std::uint8_t> bytes = test::BinaryStl(test::FacetsOf(mesh), "part");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A document with the cube loaded and nothing to process.
void LoadPlainCube(CRidgeforgeDoc& doc) {
    doc.OnTestCube();
    doc.remeshEnabled = doc.displacementEnabled = doc.simplifyEnabled = false;
    doc.OnSettingsChanged();
}

// The cube with the first procedural pattern, relief at 1 mm triangles and no simplify.
void LoadTexturedCube(CRidgeforgeDoc& doc) {
    doc.OnTestCube();
    doc.remeshSettings.targetEdgeMillimetres = 1.0f;
    doc.simplifyEnabled = false;
    doc.ApplyProceduralTexture(mesh::procedural::CreateTexture(mesh::procedural::TextureNames().front()), L"");
    doc.OnSettingsChanged();
}

TEST(ExportPlan, WithoutAPartNothingIsAskedOrWritten) {
    ToolDocument d;
    test::TempDir dir("export-none");
    EXPECT_FALSE(d.doc.OnFileSaveStl());
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text, L"There is no mesh to save.");
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Good);
    d.doc.OnFileSaveAsciiStl();
    EXPECT_FALSE(d.doc.OnSaveDocument((dir / "out.stl").wstring()));
    EXPECT_TRUE(d.host.exportRequests.empty());
    EXPECT_TRUE(d.host.saveRequests.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_EQ(d.host.CountLogged(L"Before saving:"), 0);
}

TEST(ExportPlan, ACancelledDialogWritesNothingAndKeepsTheOptions) {
    ToolDocument d;
    test::TempDir dir("export-cancel");
    LoadPlainCube(d.doc);
    d.host.exportAnswer = false;
    d.host.adjustOptions = [](mesh::ExportCleanupOptions& cleanup, mesh::ExportFixOptions&) {
        cleanup.fillHoles = false;
    };
    EXPECT_FALSE(d.doc.OnFileSaveStl());
    ASSERT_EQ(d.host.exportRequests.size(), 1u);
    EXPECT_TRUE(d.host.saveRequests.empty());
    EXPECT_TRUE(d.doc.exportCleanup.fillHoles);
    EXPECT_FALSE(d.doc.OnSaveDocument((dir / "out.stl").wstring()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_FALSE(d.host.Logged(L"Before saving:"));

    // The check accepted, the file dialog cancelled: still nothing.
    d.host.exportAnswer = true;
    EXPECT_FALSE(d.doc.OnFileSaveStl());
    ASSERT_EQ(d.host.saveRequests.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    // The options the user left in the dialog are kept for next time.
    EXPECT_FALSE(d.doc.exportCleanup.fillHoles);
}

TEST(ExportPlan, TheDialogGetsTheShownMeshItsWeldToleranceBodiesAndOptions) {
    ToolDocument d;
    test::TempDir dir("export-inputs");
    mesh::TriangleMesh two = test::MakeBox({100, 0, 0}, {110, 10, 10});
    test::AppendMesh(two, test::MakeBox({120, 0, 0}, {130, 10, 10}));
    WriteStl(dir / "two.stl", two);
    ASSERT_TRUE(d.doc.ImportPart((dir / "two.stl").wstring()));
    d.doc.exportFixes.maximumRounds = 7;
    d.host.exportAnswer = false;
    CRidgeforgeDoc::ExportPlan plan;
    EXPECT_FALSE(d.doc.PrepareExport(plan));
    ASSERT_EQ(d.host.exportRequests.size(), 1u);
    const ExportDialogRequest& request = d.host.exportRequests[0];
    EXPECT_EQ(request.mesh, &d.doc.ShownMesh());
    // A millionth of the largest reach, 130 mm.
    EXPECT_FLOAT_EQ(request.weldTolerance, 1.3e-4f);
    EXPECT_EQ(request.bodyCount, 2u);
    EXPECT_EQ(request.fixes.maximumRounds, 7);
    EXPECT_TRUE(request.cleanup.weldCollapsedTriangles);
    // Displacement is on without a texture: the part cannot be processed.
    EXPECT_EQ(request.warning.rfind(L"The part has not been processed with the current settings (", 0), 0u)
        << request.warning;
    EXPECT_NE(request.warning.find(L"). The part as shown is what will be saved."), CString::npos);
    EXPECT_TRUE(plan.mesh.vertices.empty());
    EXPECT_FALSE(plan.checksPassed);
}

TEST(ExportPlan, BasePlaneChecksFollowTheBaseSettingsOfThePart) {
    ToolDocument d;
    LoadPlainCube(d.doc);
    ASSERT_TRUE(d.doc.displacementSettings.base.enabled);

    // Protection off: no base check, no verdict from it.
    d.doc.displacementSettings.base.enabled = false;
    CRidgeforgeDoc::ExportPlan off;
    ASSERT_TRUE(d.doc.PrepareExport(off));
    EXPECT_TRUE(d.host.Logged(L"  -       base protection is off; nothing checked below the part"));
    EXPECT_FALSE(d.host.Logged(L"below the base plane"));
    EXPECT_TRUE(off.checksPassed);

    // The cube's bottom is 0.00009 mm past a plane at -9.99991: allowed.
    d.host.log.clear();
    d.doc.displacementSettings.base.enabled = true;
    d.doc.displacementSettings.base.planeMillimetres = -9.99991f;
    CRidgeforgeDoc::ExportPlan within;
    ASSERT_TRUE(d.doc.PrepareExport(within));
    EXPECT_TRUE(d.host.Logged(L"  ok      nothing below the base plane"));
    EXPECT_TRUE(within.checksPassed);

    // 0.01 mm past a plane at -9.99: four corners, and the save is not clean.
    d.host.log.clear();
    d.doc.displacementSettings.base.planeMillimetres = -9.99f;
    CRidgeforgeDoc::ExportPlan below;
    ASSERT_TRUE(d.doc.PrepareExport(below));
    EXPECT_TRUE(d.host.Logged(L"  PROBLEM 4 vertices below the base plane, the deepest by 0.0100 mm"));
    EXPECT_FALSE(below.checksPassed);
    EXPECT_EQ(below.mesh.TriangleCount(), 12u);
}

TEST(ExportPlan, NotesAloneStillPass) {
    ToolDocument d;
    test::TempDir dir("export-notes");
    // A block floating 10 mm over another needs support: a note, no problem.
    mesh::TriangleMesh two = test::MakeBox({0, 0, 0}, {10, 10, 10});
    test::AppendMesh(two, test::MakeBox({0, 0, 20}, {10, 10, 30}));
    WriteStl(dir / "floating.stl", two);
    ASSERT_TRUE(d.doc.ImportPart((dir / "floating.stl").wstring()));
    d.doc.remeshEnabled = d.doc.displacementEnabled = d.doc.simplifyEnabled = false;
    d.doc.OnSettingsChanged();
    CRidgeforgeDoc::ExportPlan plan;
    ASSERT_TRUE(d.doc.PrepareExport(plan));
    EXPECT_TRUE(d.host.Logged(L"  note    1 feature(s) need support: nothing beneath them"));
    EXPECT_FALSE(d.host.Logged(L"  PROBLEM "));
    EXPECT_TRUE(plan.checksPassed);
    // Every report line reaches the log without its carriage return.
    for (const test::LogLine& line : d.host.log) EXPECT_EQ(line.text.find(L'\r'), CString::npos) << line.text;
}

TEST(ExportPlan, TheFilesOwnNameIsTheBinaryHeaderAndTheAsciiSolidName) {
    ToolDocument d;
    test::TempDir dir("export-names");
    LoadPlainCube(d.doc);
    d.host.saveChoices.push_back((dir / "Bracket one.stl").wstring());
    ASSERT_TRUE(d.doc.OnFileSaveStl());
    ASSERT_EQ(d.host.saveRequests.size(), 1u);
    const FileDialogRequest& binary = d.host.saveRequests[0];
    EXPECT_EQ(binary.title, L"Save STL As");
    EXPECT_EQ(binary.filter, L"STL Files (*.stl)|*.stl|All Files (*.*)|*.*||");
    EXPECT_EQ(binary.defaultExtension, L"stl");
    EXPECT_EQ(binary.fileName, L"Test Cube");
    // A test shape has no folder of its own to suggest.
    EXPECT_TRUE(binary.initialFolder.empty());
    EXPECT_TRUE(binary.overwritePrompt);
    EXPECT_EQ(ReadBytes(dir / "Bracket one.stl", 16), "Bracket one.stl\0"s.substr(0, 16));
    EXPECT_EQ(std::filesystem::file_size(dir / "Bracket one.stl"), 84u + 12u * 50u);

    d.host.saveChoices.push_back((dir / "plain.stl").wstring());
    d.doc.OnFileSaveAsciiStl();
    ASSERT_EQ(d.host.saveRequests.size(), 2u);
    EXPECT_EQ(d.host.saveRequests[1].title, L"Save ASCII STL As");
    EXPECT_EQ(d.host.saveRequests[1].filter, L"ASCII STL Files (*.stl)|*.stl|All Files (*.*)|*.*||");
    EXPECT_EQ(ReadBytes(dir / "plain.stl", 16), "solid plain.stl\n");
    const mesh::StlImportResult back = mesh::LoadStlFile(dir / "plain.stl", {});
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.report.format, mesh::StlFileFormat::Ascii);
    EXPECT_EQ(back.report.trianglesKept, 12u);
    EXPECT_TRUE(d.host.Logged(L"Before saving:"));
}

TEST(ExportPlan, SavingOverThePartsOwnFileAsksForANameAndAProjectNameWritesAProject) {
    ToolDocument d;
    test::TempDir dir("export-own");
    WriteStl(dir / "block.stl", test::MakeBox({0, 0, 0}, {10, 10, 10}));
    const std::string original = ReadBytes(dir / "block.stl", 1000);
    ASSERT_TRUE(d.doc.ImportPart((dir / "block.stl").wstring()));
    d.doc.remeshEnabled = d.doc.displacementEnabled = d.doc.simplifyEnabled = false;
    d.doc.OnSettingsChanged();

    // The same file in other letters: the Save STL dialog comes first.
    d.host.saveChoices.push_back((dir / "copy.stl").wstring());
    const CString sameFile = (dir.Path() / "BLOCK.STL").wstring();
    EXPECT_TRUE(d.doc.OnSaveDocument(sameFile));
    ASSERT_EQ(d.host.saveRequests.size(), 1u);
    EXPECT_EQ(d.host.saveRequests[0].fileName, L"block.stl");
    EXPECT_EQ(d.host.saveRequests[0].initialFolder, dir.Path().wstring());
    EXPECT_EQ(ReadBytes(dir / "block.stl", 1000), original);
    EXPECT_TRUE(std::filesystem::exists(dir / "copy.stl"));
    EXPECT_EQ(ReadBytes(dir / "copy.stl", 9), "copy.stl"s + '\0');

    // Another STL name is written at once, without a file dialog.
    EXPECT_TRUE(d.doc.OnSaveDocument((dir / "direct.stl").wstring()));
    EXPECT_EQ(d.host.saveRequests.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(dir / "direct.stl"), 84u + 12u * 50u);

    // A project name writes a project; no export check runs.
    const std::size_t checks = d.host.exportRequests.size();
    EXPECT_TRUE(d.doc.OnSaveDocument((dir / "job.rgproj").wstring()));
    EXPECT_EQ(d.host.exportRequests.size(), checks);
    const std::string project = ReadBytes(dir / "job.rgproj", 4096);
    EXPECT_NE(project.find("Ridgeforge project"), std::string::npos);
}

TEST(ExportPlan, SaveStlSuggestsThePartsNameInThePartsOwnFolder) {
    ToolDocument d;
    test::TempDir dir("export-folder");
    std::filesystem::create_directories(dir / "parts" / "left");
    WriteStl(dir / "parts" / "left" / "Hinge.STL", test::MakeBox({0, 0, 0}, {10, 10, 10}));
    ASSERT_TRUE(d.doc.ImportPart((dir / "parts" / "left" / "Hinge.STL").wstring()));
    d.doc.remeshEnabled = d.doc.displacementEnabled = d.doc.simplifyEnabled = false;
    d.doc.OnSettingsChanged();
    d.doc.OnFileSaveStl();
    d.doc.OnFileSaveAsciiStl();
    ASSERT_EQ(d.host.saveRequests.size(), 2u);
    for (const FileDialogRequest& request : d.host.saveRequests) {
        EXPECT_EQ(request.fileName, L"Hinge.STL");
        EXPECT_EQ(request.initialFolder, (dir.Path() / "parts" / "left").wstring());
    }

    // A part named by a relative path lies under the working folder.
    d.doc.partName = L"shelf/Clip.stl";
    d.doc.OnFileSaveStl();
    ASSERT_EQ(d.host.saveRequests.size(), 3u);
    EXPECT_EQ(d.host.saveRequests[2].fileName, L"Clip.stl");
    EXPECT_EQ(d.host.saveRequests[2].initialFolder, (std::filesystem::current_path() / "shelf").wstring());

    // Without a part name the picker gets the plain default and no folder.
    d.doc.partName.clear();
    d.doc.OnFileSaveStl();
    ASSERT_EQ(d.host.saveRequests.size(), 4u);
    EXPECT_EQ(d.host.saveRequests[3].fileName, L"model.stl");
    EXPECT_TRUE(d.host.saveRequests[3].initialFolder.empty());
}

TEST(ExportPlan, AWriteThatFailsSaysWhyAndChangesNothing) {
    ToolDocument d;
    test::TempDir dir("export-fail");
    LoadPlainCube(d.doc);
    d.doc.SetModifiedFlag(false);
    d.host.saveChoices.push_back((dir / "missing folder" / "out.stl").wstring());
    EXPECT_FALSE(d.doc.OnFileSaveStl());
    bool loggedError = false;
    for (const test::LogLine& line : d.host.log) {
        if (line.text.rfind(L"Export failed: ", 0) == 0) loggedError = line.kind == LogKind::Error;
    }
    EXPECT_TRUE(loggedError);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text.rfind(L"This file could not be saved.\n", 0), 0u);
    EXPECT_GT(d.host.LastInfo()->text.size(), std::wstring(L"This file could not be saved.\n").size());
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing folder"));
}

TEST(ExportPlan, ATexturedCubeIsProcessedCheckedAndSavedWatertight) {
    ToolDocument d;
    test::TempDir dir("export-end-to-end");
    LoadTexturedCube(d.doc);
    ASSERT_TRUE(d.doc.HasTexture());
    d.doc.Process();
    ASSERT_EQ(d.doc.processDecision, L"started: Process");

    // Save STL finishes the running Process first, then checks, then asks for a name.
    d.host.saveChoices.push_back((dir / "textured.stl").wstring());
    d.doc.OnFileSaveStl();
    ASSERT_EQ(d.host.exportRequests.size(), 1u);
    EXPECT_TRUE(d.host.exportRequests[0].warning.empty()) << d.host.exportRequests[0].warning;
    EXPECT_GT(d.host.exportRequests[0].mesh->TriangleCount(), 1000u);
    ASSERT_EQ(d.host.exportChecks.size(), 1u);
    EXPECT_FALSE(d.host.exportStages.empty());

    const mesh::StlImportResult back = mesh::LoadStlFile(dir / "textured.stl", {});
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.report.format, mesh::StlFileFormat::Binary);
    const mesh::EdgeCounts edges = mesh::EdgeStatistics(back.mesh);
    EXPECT_EQ(edges.openBoundaryEdges, 0u);
    EXPECT_EQ(edges.nonManifoldEdges, 0u);
    EXPECT_GT(back.mesh.TriangleCount(), 1000u);
    EXPECT_TRUE(d.host.Logged(L"Before saving:"));
    EXPECT_TRUE(d.host.Logged(L"  ok      0 open edges (watertight when zero)"));
    EXPECT_TRUE(d.host.Logged(L"  ok      0 non-manifold edges"));
}

TEST(ExportPlan, ASettingChangedAfterARunIsProcessedBeforeTheCheckUnlessStopped) {
    ToolDocument d;
    test::TempDir dir("export-pending");
    LoadTexturedCube(d.doc);
    d.doc.Process();
    d.doc.ProcessNow();
    ASSERT_TRUE(d.doc.IsResultCurrent());

    // The strength changes after the run: the export waits for the new relief.
    d.doc.displacementSettings.strengthMillimetres = 0.6f;
    d.doc.OnSettingsChanged();
    ASSERT_TRUE(d.doc.NeedsProcessing());
    d.host.saveChoices.push_back((dir / "current.stl").wstring());
    ASSERT_TRUE(d.doc.OnFileSaveStl());
    ASSERT_EQ(d.host.exportRequests.size(), 1u);
    EXPECT_TRUE(d.host.exportRequests[0].warning.empty()) << d.host.exportRequests[0].warning;
    EXPECT_GT(d.host.exportRequests[0].mesh->TriangleCount(), 1000u);
    EXPECT_TRUE(d.doc.IsResultCurrent());
    EXPECT_EQ(d.doc.appliedSettings.displacement.strengthMillimetres, 0.6f);
    EXPECT_GT(d.host.paintPumps.load(), 0);
    EXPECT_TRUE(d.host.Logged(L"Processed: "));

    // Stopped with Escape: the warning and the part as shown stand.
    d.doc.displacementSettings.strengthMillimetres = 0.3f;
    d.doc.remeshSettings.targetEdgeMillimetres = 0.5f;
    d.doc.OnSettingsChanged();
    d.host.escapeDown = true;
    d.host.exportAnswer = false;
    EXPECT_FALSE(d.doc.OnFileSaveStl());
    ASSERT_EQ(d.host.exportRequests.size(), 2u);
    EXPECT_EQ(d.host.exportRequests[1].warning.rfind(L"The part has not been processed with the current settings (", 0),
              0u)
        << d.host.exportRequests[1].warning;
    EXPECT_EQ(d.host.exportRequests[1].mesh, &d.doc.ShownMesh());
    EXPECT_TRUE(d.host.Logged(L"Stopped. The part is as it was; Process runs the rest when asked."));
    EXPECT_TRUE(d.doc.NeedsProcessing());
}

TEST(LayOnFace, TheCubeStandsOnAnotherFaceAndItsMasksTurnWithIt) {
    ToolDocument d;
    d.doc.OnTestCube();
    // As the view does before it offers the faces.
    d.doc.BuildComponents();
    ASSERT_EQ(d.doc.components.size(), 6u);
    const std::int32_t mask = d.doc.AddMaskVolume(2);
    mesh::MaskVolume volume = d.doc.maskVolumes[static_cast<std::size_t>(mask)];
    volume.center = {5.0f, 0.0f, 3.0f};
    d.doc.UpdateMaskVolume(mask, volume);
    d.doc.printability.checked = true;
    d.doc.SetModifiedFlag(false);

    // The +x face: it turns down about y by 90 degrees, so (x, y, z) goes to (z, y, -x).
    std::int32_t plusX = -1;
    for (std::size_t i = 0; i < d.doc.components.size(); ++i) {
        if (d.doc.components[i].normal.x > 0.99f) plusX = static_cast<std::int32_t>(i);
    }
    ASSERT_GE(plusX, 0);
    ASSERT_TRUE(d.doc.LayOnFace(plusX));
    EXPECT_TRUE(d.host.Logged(L"Laid on a face of 400.0 mm²; the part now stands on it."));
    EXPECT_FALSE(d.doc.printability.checked);
    EXPECT_TRUE(d.doc.IsModified());
    const mesh::Vec3f moved = d.doc.maskVolumes[static_cast<std::size_t>(mask)].center;
    EXPECT_NEAR(moved.x, 3.0f, 1e-4f);
    EXPECT_NEAR(moved.y, 0.0f, 1e-4f);
    EXPECT_NEAR(moved.z, -5.0f, 1e-4f);
    EXPECT_NEAR(d.doc.orientation.rowZ.x, -1.0f, 1e-6f);
    // The part as loaded is untouched; the working part stands where it stood.
    EXPECT_FLOAT_EQ(d.doc.partAsLoaded.boundsMin.z, -10.0f);
    EXPECT_NEAR(d.doc.workingPart.boundsMin.z, -10.0f, 1e-4f);
    const mesh::DisplacementBase& base = d.doc.displacementSettings.base;
    EXPECT_TRUE(base.enabled);
    EXPECT_TRUE(base.protectBelow);
    EXPECT_EQ(base.axis, 2);
    EXPECT_FLOAT_EQ(base.planeMillimetres, d.doc.workingPart.boundsMin.z);
    EXPECT_EQ(d.doc.components.size(), 6u);
}

TEST(LayOnFace, ATallBlockLaidOnItsSideGetsItsBaseAtTheNewLowestHeight) {
    ToolDocument d;
    test::TempDir dir("lay-block");
    WriteStl(dir / "tall.stl", test::MakeBox({0, 0, 5}, {10, 10, 45}));
    ASSERT_TRUE(d.doc.ImportPart((dir / "tall.stl").wstring()));
    d.doc.BuildComponents();
    d.doc.displacementSettings.base.enabled = false;
    std::int32_t side = -1;
    for (std::size_t i = 0; i < d.doc.components.size(); ++i) {
        if (d.doc.components[i].normal.y < -0.99f) side = static_cast<std::int32_t>(i);
    }
    ASSERT_GE(side, 0);
    ASSERT_TRUE(d.doc.LayOnFace(side));
    EXPECT_TRUE(d.host.Logged(L"Laid on a face of 400.0 mm²; the part now stands on it."));
    // Turned about the box centre (5, 5, 25), then dropped so its lowest point stays at 5.
    const mesh::TriangleMesh& w = d.doc.workingPart;
    EXPECT_NEAR(w.boundsMax.z - w.boundsMin.z, 10.0f, 1e-4f);
    EXPECT_NEAR(w.boundsMax.y - w.boundsMin.y, 40.0f, 1e-4f);
    EXPECT_NEAR(w.boundsMin.z, 5.0f, 1e-4f);
    EXPECT_TRUE(d.doc.displacementSettings.base.enabled);
    EXPECT_FLOAT_EQ(d.doc.displacementSettings.base.planeMillimetres, w.boundsMin.z);
}

TEST(LayOnFace, AnIndexOutOfRangeOrNoPartOnlyForgetsThePrintCheck) {
    ToolDocument d;
    d.doc.printability.checked = true;
    EXPECT_FALSE(d.doc.LayOnFace(0));
    EXPECT_FALSE(d.doc.printability.checked);

    d.doc.OnTestCube();
    d.doc.SetModifiedFlag(false);
    const mesh::Transform before = d.doc.orientation;
    for (const std::int32_t index : {-1, 6}) {
        d.doc.printability.checked = true;
        EXPECT_FALSE(d.doc.LayOnFace(index)) << index;
        EXPECT_FALSE(d.doc.printability.checked);
    }
    EXPECT_TRUE(d.doc.orientation == before);
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_FALSE(d.host.Logged(L"Laid on a face"));
}

TEST(OccupancyCommands, TheValueAlreadyChosenChangesNothing) {
    ToolDocument d;
    // Without a part a change only stores the value.
    d.doc.OnOccupancyCells(128);
    EXPECT_EQ(d.doc.occupancyCells, 128);
    EXPECT_TRUE(d.doc.occupancyGrid.IsEmpty());

    d.doc.OnOccupancyCells(256);
    d.doc.OnTestCube();
    ASSERT_FALSE(d.doc.OutwardFaceFlags().empty());
    ASSERT_TRUE(d.doc.printCheckCache.valid);
    const int waits = d.host.waitDepth;
    const std::size_t undo = d.doc.undoStack.size();
    d.doc.OnOccupancyCells(256);
    EXPECT_TRUE(d.doc.printCheckCache.valid);
    EXPECT_EQ(d.doc.occupancyGrid.resolution, 256);
    EXPECT_EQ(d.doc.undoStack.size(), undo);
    EXPECT_EQ(d.host.waitDepth, waits);

    d.doc.OnOccupancyCells(512);
    EXPECT_EQ(d.doc.occupancyCells, 512);
    EXPECT_EQ(d.doc.occupancyGrid.resolution, 512);
    EXPECT_NE(d.doc.printCheckCache.occupancyCells, 256);
    CommandState state;
    d.doc.OnUpdateOccupancyCells(512, state);
    EXPECT_TRUE(state.checked);
    d.doc.OnUpdateOccupancyCells(256, state);
    EXPECT_FALSE(state.checked);
}

}  // namespace
}  // namespace ridgeforge
