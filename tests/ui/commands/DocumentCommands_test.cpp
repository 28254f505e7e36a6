// The document's commands as the menus send them: each id reaches the
// operation it names, the id ranges give the operation its pattern or cell
// count, and the update handlers follow the part, the history and the grid.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/document/ToolHost.h"
#include "tests/support/TestSupport.h"
#include "ui/commands/CommandIds.h"
#include "ui/commands/DocumentCommands.h"

namespace ridgeforge {
namespace {

namespace fs = std::filesystem;
using test::HostedDocument;
using test::ToolDocument;

// A test document with the command rows the program binds to it.
template <class Document>
struct WithCommands : Document {
    CommandTable commands;
    WithCommands() { AddDocumentCommands(commands, this->doc); }
};

CString W(const fs::path& path) { return WideFromPath(path); }

bool SameBytes(const mesh::TriangleMesh& a, const mesh::TriangleMesh& b) {
    return a.vertices.size() == b.vertices.size() && a.indices == b.indices &&
           std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(mesh::Vertex)) == 0;
}

TEST(Commands, PatternIdsOpenTheRegistryInMenuOrderAndSettingsHasItsOwnId) {
    WithCommands<HostedDocument> d;
    d.doc.OnTestCube();
    std::vector<std::string> seen;
    d.host.proceduralDialog = [&seen](mesh::procedural::ProceduralTexture& texture) {
        seen.push_back(texture.Name());
        return false;
    };
    for (CommandId id = ID_PROCEDURAL_PATTERN_FIRST; id <= ID_PROCEDURAL_PATTERN_LAST; ++id) {
        EXPECT_TRUE(d.commands.Execute(id)) << id;
    }
    EXPECT_EQ(seen, mesh::procedural::TextureNames());
    ASSERT_EQ(seen.size(), 25u);
    EXPECT_EQ(seen.back(), "Leather");
    // The old range is not the patterns'.
    EXPECT_EQ(d.commands.Find(32857), nullptr);
    EXPECT_EQ(d.commands.Find(32955), nullptr);

    // 32881 is the settings of the texture in use, enabled only with one.
    CommandState state;
    ASSERT_TRUE(d.commands.Update(ID_PROCEDURAL_SETTINGS, state));
    EXPECT_FALSE(state.enabled);
    d.host.proceduralDialog = [](mesh::procedural::ProceduralTexture&) { return true; };
    d.commands.Execute(ID_PROCEDURAL_PATTERN_FIRST + 3);
    ASSERT_NE(d.doc.proceduralTexture, nullptr);
    const std::string chosen = d.doc.proceduralTexture->Name();
    EXPECT_EQ(chosen, mesh::procedural::TextureNames()[3]);
    ASSERT_TRUE(d.commands.Update(ID_PROCEDURAL_SETTINGS, state));
    EXPECT_TRUE(state.enabled);
    std::string edited;
    d.host.proceduralDialog = [&edited](mesh::procedural::ProceduralTexture& texture) {
        edited = texture.Name();
        return false;
    };
    EXPECT_TRUE(d.commands.Execute(ID_PROCEDURAL_SETTINGS));
    EXPECT_EQ(edited, chosen);
}

TEST(Commands, UpdateHandlersFollowThePartTheHistoryAndTheGrid) {
    WithCommands<HostedDocument> d;
    const CommandTable* tables[] = {nullptr, &d.commands};
    CommandState state;
    for (CommandId id : {ID_FILE_SAVE_PROJECT, ID_FILE_SAVE_PROJECT_AS, ID_PROCESS, ID_EDIT_UNDO, ID_OCCUPANCY_256}) {
        ASSERT_TRUE(RouteCommandUpdate(tables, id, state)) << id;
        EXPECT_FALSE(state.enabled) << id;
    }
    EXPECT_FALSE(RouteCommand(tables, 1));
    EXPECT_TRUE(RouteCommand(tables, ID_TEST_CUBE));
    EXPECT_EQ(d.doc.testShape, "cube");
    ASSERT_TRUE(RouteCommandUpdate(tables, ID_FILE_SAVE_PROJECT, state));
    EXPECT_TRUE(state.enabled);
    ASSERT_TRUE(RouteCommandUpdate(tables, ID_OCCUPANCY_256, state));
    EXPECT_TRUE(state.enabled && state.checked && state.radio);
    ASSERT_TRUE(RouteCommandUpdate(tables, ID_OCCUPANCY_512, state));
    EXPECT_FALSE(state.checked);
    // Test shapes need no part; the cylinder replaces the cube.
    EXPECT_TRUE(RouteCommand(tables, ID_TEST_CYLINDER));
    EXPECT_EQ(d.doc.testShape, "cylinder");
    EXPECT_TRUE(d.host.Logged(L"Test cylinder: 20 mm across, 20 mm tall, 256 triangles."));

    // Occupancy: a new value rebuilds the grid, the same value changes nothing.
    EXPECT_TRUE(RouteCommand(tables, ID_OCCUPANCY_128));
    EXPECT_EQ(d.doc.occupancyCells, 128);
    EXPECT_EQ(d.doc.occupancyGrid.resolution, 128);
    EXPECT_FALSE(d.doc.OutwardFaceFlags().empty());
    EXPECT_TRUE(d.doc.printCheckCache.valid);
    EXPECT_TRUE(RouteCommand(tables, ID_OCCUPANCY_128));
    EXPECT_TRUE(d.doc.printCheckCache.valid);
    EXPECT_TRUE(RouteCommand(tables, ID_OCCUPANCY_512));
    EXPECT_EQ(d.doc.printCheckCache.occupancyCells, 512);
    EXPECT_EQ(d.doc.occupancyGrid.resolution, 512);

    // Without a part the value is only stored.
    HostedDocument empty;
    empty.doc.SetOccupancyCells(512);
    EXPECT_EQ(empty.doc.occupancyCells, 512);
    EXPECT_TRUE(empty.doc.occupancyGrid.IsEmpty());
}

TEST(ProjectSave, TestShapesAskBeforeReplacingAModifiedDocument) {
    test::TempDir dir("shape-ask");
    WithCommands<HostedDocument> d;
    ASSERT_TRUE(d.commands.Execute(ID_TEST_CUBE));  // nothing loaded: no question
    EXPECT_TRUE(d.host.questions.empty());
    EXPECT_EQ(d.doc.testShape, "cube");
    d.doc.displacementSettings.strengthMillimetres += 0.25f;
    d.doc.SetModifiedFlag(true);
    const float amplitude = d.doc.displacementSettings.strengthMillimetres;

    d.host.answers = {QuestionAnswer::Cancel};
    d.commands.Execute(ID_TEST_SPHERE);
    ASSERT_EQ(d.host.questions.size(), 1u);
    EXPECT_EQ(d.host.questions[0],
              L"Save the project before going on?\n\nIt keeps the part, the texture, its placement, the masks and "
              L"every setting.");
    EXPECT_EQ(d.doc.testShape, "cube");
    EXPECT_TRUE(d.doc.IsModified());
    EXPECT_EQ(d.doc.displacementSettings.strengthMillimetres, amplitude);

    // Yes saves first, then the shape comes in.
    d.host.answers = {QuestionAnswer::Yes};
    d.host.saveChoices = {W(dir / "kept.rgproj")};
    d.commands.Execute(ID_TEST_CYLINDER);
    EXPECT_EQ(d.host.questions.size(), 2u);
    EXPECT_TRUE(fs::exists(dir / "kept.rgproj"));
    EXPECT_EQ(d.doc.testShape, "cylinder");

    // No goes on without saving.
    d.doc.SetModifiedFlag(true);
    d.host.answers = {QuestionAnswer::No};
    d.commands.Execute(ID_TEST_SPHERE);
    EXPECT_EQ(d.host.questions.size(), 3u);
    EXPECT_EQ(d.doc.testShape, "sphere");
    EXPECT_FALSE(d.doc.IsModified());
    // Unmodified: no question.
    d.commands.Execute(ID_TEST_CUBE);
    EXPECT_EQ(d.host.questions.size(), 3u);
    EXPECT_EQ(d.doc.testShape, "cube");
}

TEST(InputMeshTools, CommandsNeedAPartAndRepairWithWindowsStaysOff) {
    WithCommands<ToolDocument> d;
    const CommandId needsMesh[] = {
        ID_FILE_SAVE_STL,           ID_FILE_SAVE_AS, ID_FILE_SAVE_ASCII_STL, ID_MESH_VALIDATE,
        ID_MESH_CHECK_PRINTABILITY, ID_MESH_REPAIR,  ID_MESH_SIMPLIFY_INPUT, ID_MESH_REMESH_INPUT};
    for (const CommandId id : needsMesh) {
        CommandState state;
        ASSERT_TRUE(d.commands.Update(id, state)) << id;
        EXPECT_FALSE(state.enabled) << id;
    }
    d.doc.OnTestCube();
    for (const CommandId id : needsMesh) {
        CommandState state;
        d.commands.Update(id, state);
        EXPECT_TRUE(state.enabled) << id;
    }
    CommandState windows;
    ASSERT_TRUE(d.commands.Update(ID_MESH_REPAIR_WINDOWS, windows));
    EXPECT_FALSE(windows.enabled);

    // Reached anyway: the question first, then the sentence, and nothing changes.
    const mesh::TriangleMesh before = d.doc.partAsLoaded;
    d.host.answers.push_back(QuestionAnswer::Yes);
    EXPECT_TRUE(d.commands.Execute(ID_MESH_REPAIR_WINDOWS));
    ASSERT_EQ(d.host.questions.size(), 1u);
    EXPECT_EQ(d.host.questions[0].rfind(L"Fix the mesh with the Windows repair service?", 0), 0u);
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text, L"This Windows does not offer the 3D printing repair service.");
    EXPECT_EQ(d.host.LastInfo()->kind, InfoKind::Problem);
    EXPECT_TRUE(SameBytes(d.doc.partAsLoaded, before));
    EXPECT_FALSE(d.doc.IsModified());
    EXPECT_FALSE(d.doc.partChanged);
    EXPECT_EQ(d.host.outputPaneShows, 0);
}

}  // namespace
}  // namespace ridgeforge
