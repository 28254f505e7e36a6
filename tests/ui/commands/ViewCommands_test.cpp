// The view's commands and what their menu items show, against a recording
// renderer and shell and a real document: the truth table of enabled,
// ticked and radio states, and the effects that need no window.
#include <gtest/gtest.h>

#include "ui/commands/CommandIds.h"
#include "tests/document/FakeHost.h"
#include "tests/ui/view/FakeViewSinks.h"
#include "ui/view/RidgeforgeView.h"
#include "ui/commands/ViewCommands.h"

namespace ridgeforge {
namespace {

using testing::FakeRenderSink;
using testing::FakeShell;

struct ViewCommandsTest : ::testing::Test, testing::AttachedView {

    CommandState State(CommandId id) const {
        CommandState state;
        EXPECT_TRUE(view.Commands().Update(id, state)) << id;
        return state;
    }
    bool Enabled(CommandId id) const { return State(id).enabled; }
    bool Checked(CommandId id) const { return State(id).checked; }
    void Run(CommandId id) { ASSERT_TRUE(view.Commands().Execute(id)) << id; }
    void GiveTexture() {
        doc.texture.SetImage(2, 1, {0.25f, 0.75f});
    }
};

TEST_F(ViewCommandsTest, WithoutAPartThePartCommandsAreDisabledAndDoNothing) {
    for (CommandId id :
         {ID_MAPPING_BOX,      ID_MAPPING_FIT,       ID_SIDES_ALL,       ID_MAPPING_SIDE_FIRST,  ID_AXIS_Z,
          ID_SURFACES_ALL,     ID_EDIT_PER_SIDE,     ID_RESET_PLACEMENT, ID_TOOL_NONE,           ID_TOOL_MOVE_TEXTURE,
          ID_MASK_ADD_BOX,     ID_MASK_EDIT,         ID_SHOW_COMPONENTS, ID_SHOW_CLIPPING_PLANE, ID_MESH_INFORMATION,
          ID_DISPLAY_SLICED,   ID_STOP_PROCESSING,   ID_TEXTURE_INVERT,  ID_TEXTURE_TILES,       ID_TEXTURE_AUTO_LEVELS,
          ID_SHOW_PRINT_CHECK, ID_SURFACE_HEIGHT_MAP})
        EXPECT_FALSE(Enabled(id)) << id;
    // Camera presets and the relief dialogs have no update handler: always enabled.
    CommandState camera;
    EXPECT_TRUE(view.Commands().Update(ID_VIEW_TOP, camera));
    EXPECT_TRUE(camera.enabled);
    EXPECT_TRUE(Enabled(ID_SURFACE_PLAIN));

    Run(ID_MASK_ADD_BOX);
    Run(ID_MAPPING_PLANE);
    EXPECT_TRUE(doc.maskVolumes.empty());
    EXPECT_EQ(doc.projection.type, mesh::ProjectionType::Box);
    // Without a run Stop stays disabled and does nothing.
    Run(ID_STOP_PROCESSING);
    EXPECT_FALSE(doc.pipeline.IsRunning());
}

TEST_F(ViewCommandsTest, ShadingStartsFlatAndTheSlicedDisplayTogglesBackAndTurnsPrintCheckOff) {
    doc.OnTestCube();
    CommandState flat = State(ID_SHADING_FLAT);
    EXPECT_TRUE(flat.radio && flat.checked && flat.enabled);
    EXPECT_FALSE(Checked(ID_SHADING_SMOOTH));
    Run(ID_SHADING_WIREFRAME);
    EXPECT_EQ(sink.shading, gl::ShadingMode::Wireframe);
    EXPECT_TRUE(Checked(ID_SHADING_WIREFRAME));
    EXPECT_FALSE(Checked(ID_SHADING_FLAT));

    doc.printability.checked = true;
    Run(ID_SHOW_PRINT_CHECK);
    EXPECT_TRUE(Checked(ID_SHOW_PRINT_CHECK));
    Run(ID_DISPLAY_SLICED);
    EXPECT_EQ(view.displayMode, DisplayMode::Sliced);
    EXPECT_TRUE(State(ID_DISPLAY_SLICED).radio && Checked(ID_DISPLAY_SLICED));
    // Sliced shows smooth shading and locks the shading group.
    EXPECT_EQ(sink.shading, gl::ShadingMode::Smooth);
    EXPECT_FALSE(Enabled(ID_SHADING_WIREFRAME));
    EXPECT_TRUE(Checked(ID_SHOW_PRINT_CHECK));

    Run(ID_DISPLAY_SLICED);
    EXPECT_EQ(view.displayMode, DisplayMode::Normal);
    EXPECT_EQ(sink.shading, gl::ShadingMode::Wireframe);
    EXPECT_FALSE(view.showPrintCheck);
    EXPECT_FALSE(Checked(ID_SHOW_PRINT_CHECK));
    EXPECT_FALSE(Checked(ID_DISPLAY_SLICED));
}

TEST_F(ViewCommandsTest, SideTogglesFollowTheMappingTypeAndAxesAreForRoundMappingsOnly) {
    doc.OnTestCube();
    ASSERT_EQ(doc.projection.type, mesh::ProjectionType::Box);
    EXPECT_TRUE(Checked(ID_MAPPING_BOX));
    EXPECT_TRUE(Enabled(ID_MAPPING_SIDE_FIRST + 2));
    EXPECT_FALSE(Enabled(ID_AXIS_X));
    EXPECT_FALSE(Checked(ID_AXIS_Z));
    Run(ID_AXIS_X);
    EXPECT_EQ(doc.projection.cylinder.axis, mesh::Axis::Z);
    EXPECT_EQ(doc.projection.sphere.axis, mesh::Axis::Z);

    doc.projection.box.sideEnabled = {true, true, true, true, true, false};
    Run(ID_MAPPING_SIDE_FIRST + 2);
    EXPECT_EQ(doc.projection.box.sideEnabled, (std::array<bool, 6>{true, true, false, true, true, false}));
    EXPECT_FALSE(Checked(ID_MAPPING_SIDE_FIRST + 2));
    EXPECT_TRUE(Checked(ID_MAPPING_SIDE_FIRST + 3));
    Run(ID_SIDES_INVERT);
    EXPECT_EQ(doc.projection.box.sideEnabled, (std::array<bool, 6>{false, false, true, false, false, true}));
    Run(ID_SIDES_NONE);
    EXPECT_EQ(doc.projection.box.sideEnabled, (std::array<bool, 6>{}));
    Run(ID_SIDES_ALL);
    EXPECT_EQ(doc.projection.box.sideEnabled, (std::array<bool, 6>{true, true, true, true, true, true}));

    for (CommandId type : {ID_MAPPING_PLANE, ID_MAPPING_CYLINDER}) {
        Run(type);
        EXPECT_TRUE(Checked(type));
        EXPECT_FALSE(Checked(ID_MAPPING_BOX));
        for (CommandId side = ID_MAPPING_SIDE_FIRST; side <= ID_MAPPING_SIDE_LAST; ++side)
            EXPECT_FALSE(Enabled(side)) << side;
        for (CommandId id : {ID_SIDES_ALL, ID_SIDES_NONE, ID_SIDES_INVERT, ID_AXIS_X, ID_AXIS_Y})
            EXPECT_TRUE(Enabled(id)) << id;
    }
    Run(ID_AXIS_Y);
    EXPECT_EQ(doc.projection.cylinder.axis, mesh::Axis::Y);
    EXPECT_TRUE(Checked(ID_AXIS_Y));
    EXPECT_FALSE(Checked(ID_AXIS_Z));

    Run(ID_MAPPING_SPHERE);
    EXPECT_EQ(doc.projection.type, mesh::ProjectionType::Sphere);
    EXPECT_TRUE(Checked(ID_MAPPING_SPHERE));
    EXPECT_TRUE(Enabled(ID_MAPPING_SIDE_LAST));
    // The sphere keeps its own axis.
    EXPECT_TRUE(Checked(ID_AXIS_Z));
}

TEST_F(ViewCommandsTest, ASurfaceCommandRepeatingSideZerosSelectionDoesNothing) {
    doc.OnTestCube();
    doc.projection.box.sideSurface[0] = mesh::SurfaceSelection::Both;
    doc.projection.box.sideSurface[4] = mesh::SurfaceSelection::Inside;
    doc.projection.cylinder.surface = mesh::SurfaceSelection::Outside;
    EXPECT_TRUE(Checked(ID_SURFACES_ALL));
    const int repaints = sink.repaints;
    Run(ID_SURFACES_ALL);
    EXPECT_EQ(doc.projection.box.sideSurface[4], mesh::SurfaceSelection::Inside);
    EXPECT_EQ(doc.projection.cylinder.surface, mesh::SurfaceSelection::Outside);
    EXPECT_EQ(sink.repaints, repaints);

    Run(ID_SURFACES_INNER);
    for (mesh::SurfaceSelection s : doc.projection.box.sideSurface) EXPECT_EQ(s, mesh::SurfaceSelection::Inside);
    EXPECT_EQ(doc.projection.cylinder.surface, mesh::SurfaceSelection::Inside);
    EXPECT_TRUE(Checked(ID_SURFACES_INNER));
    EXPECT_FALSE(Checked(ID_SURFACES_ALL));
}

TEST_F(ViewCommandsTest, ToolsNeedMaskVolumesForMaskToolsAndTheLastDeletionEndsAtNoHandles) {
    doc.OnTestCube();
    EXPECT_TRUE(Checked(ID_TOOL_NONE));
    Run(ID_TOOL_MOVE_TEXTURE);
    EXPECT_EQ(view.tool, ViewTool::MoveTexture);
    EXPECT_EQ(shell.toolText, L"Tool: Move Texture");
    EXPECT_TRUE(doc.placementToolActive);
    EXPECT_TRUE(Checked(ID_TOOL_MOVE_TEXTURE));
    EXPECT_FALSE(Checked(ID_TOOL_NONE));

    // No mask volume: the mask tool is disabled and does nothing.
    EXPECT_FALSE(Enabled(ID_TOOL_ROTATE_MASK));
    EXPECT_FALSE(Enabled(ID_MASK_EDIT));
    EXPECT_FALSE(Enabled(ID_MASK_DELETE));
    Run(ID_TOOL_ROTATE_MASK);
    EXPECT_EQ(view.tool, ViewTool::MoveTexture);

    // Adding a box switches a non-mask tool to Move Mask.
    Run(ID_MASK_ADD_BOX);
    ASSERT_EQ(doc.maskVolumes.size(), 1u);
    EXPECT_EQ(view.tool, ViewTool::MoveMask);
    EXPECT_EQ(shell.toolText, L"Tool: Move Mask");
    EXPECT_TRUE(Checked(ID_MASK_EDIT));
    EXPECT_TRUE(Enabled(ID_TOOL_SCALE_MASK));
    // A second volume while a mask tool is active keeps that tool.
    Run(ID_TOOL_SCALE_MASK);
    Run(ID_MASK_DUPLICATE);
    EXPECT_EQ(doc.maskVolumes.size(), 2u);
    EXPECT_EQ(view.tool, ViewTool::ScaleMask);

    Run(ID_MASK_DELETE);
    ASSERT_EQ(doc.maskVolumes.size(), 1u);
    EXPECT_EQ(view.tool, ViewTool::ScaleMask);
    if (doc.activeMask < 0) doc.activeMask = 0;
    Run(ID_MASK_DELETE);
    EXPECT_TRUE(doc.maskVolumes.empty());
    EXPECT_EQ(view.tool, ViewTool::None);
    EXPECT_EQ(shell.toolText, L"Tool: none (orbit)");
    EXPECT_FALSE(doc.placementToolActive);
    EXPECT_TRUE(Checked(ID_TOOL_NONE));
}

TEST_F(ViewCommandsTest, PlacementResetAndPerSideEditingClearTheActiveLayer) {
    doc.OnTestCube();
    doc.projection.layer[1].originMillimetres[0] = 3.0f;
    doc.projection.layer[4].rotationDegrees = 30.0f;
    doc.projection.layer[5].zoom = 2.5f;
    doc.projection.layer[5].image = 7;
    doc.projection.activeLayer = 4;
    EXPECT_FALSE(Checked(ID_PLACE_ALL_SIDES));
    Run(ID_RESET_PLACEMENT);
    EXPECT_EQ(doc.projection.layer[1].originMillimetres[0], 0.0f);
    EXPECT_EQ(doc.projection.layer[4].rotationDegrees, 0.0f);
    EXPECT_EQ(doc.projection.layer[5].zoom, 1.0f);
    EXPECT_EQ(doc.projection.layer[5].image, 7);  // not a placement value
    EXPECT_EQ(doc.projection.activeLayer, -1);
    EXPECT_TRUE(Checked(ID_PLACE_ALL_SIDES));

    Run(ID_EDIT_PER_SIDE);
    EXPECT_TRUE(Checked(ID_EDIT_PER_SIDE));
    doc.projection.activeLayer = 2;
    Run(ID_EDIT_PER_SIDE);
    EXPECT_FALSE(Checked(ID_EDIT_PER_SIDE));
    EXPECT_EQ(doc.projection.activeLayer, -1);
    doc.projection.activeLayer = 3;
    Run(ID_PLACE_ALL_SIDES);
    EXPECT_EQ(doc.projection.activeLayer, -1);
}

TEST_F(ViewCommandsTest, TextureTogglesNeedAnImageAndFlipOneFieldEach) {
    doc.OnTestCube();
    EXPECT_FALSE(Enabled(ID_TEXTURE_INVERT));
    GiveTexture();
    const mesh::TextureSettings before = doc.texture.settings;
    for (CommandId id : {ID_TEXTURE_INVERT, ID_TEXTURE_TILES, ID_TEXTURE_AUTO_LEVELS}) EXPECT_TRUE(Enabled(id));
    EXPECT_EQ(Checked(ID_TEXTURE_TILES), before.tiles);
    Run(ID_TEXTURE_TILES);
    EXPECT_EQ(doc.texture.settings.tiles, !before.tiles);
    EXPECT_EQ(doc.texture.settings.invert, before.invert);
    EXPECT_EQ(doc.texture.settings.autoLevels, before.autoLevels);
    Run(ID_TEXTURE_AUTO_LEVELS);
    EXPECT_EQ(doc.texture.settings.autoLevels, !before.autoLevels);
    EXPECT_EQ(Checked(ID_TEXTURE_AUTO_LEVELS), !before.autoLevels);
    Run(ID_TEXTURE_INVERT);
    EXPECT_EQ(doc.texture.settings.invert, !before.invert);
    EXPECT_EQ(Checked(ID_TEXTURE_INVERT), !before.invert);
    EXPECT_TRUE(Enabled(ID_SURFACE_HEIGHT_MAP));
}

TEST_F(ViewCommandsTest, SurfaceChoicesAreRememberedAndOuterInnerShowsTheWorkingPart) {
    doc.OnTestCube();
    Run(ID_SURFACE_PROJECTOR);
    EXPECT_EQ(sink.surface, gl::SurfaceMode::ProjectorColours);
    EXPECT_TRUE(Checked(ID_SURFACE_PROJECTOR));
    EXPECT_FALSE(Checked(ID_SURFACE_CHECKERBOARD));
    EXPECT_TRUE(view.inputSurfaceChoice.set);
    EXPECT_EQ(view.inputSurfaceChoice.mode, gl::SurfaceMode::ProjectorColours);
    Run(ID_SURFACE_OUTER_INNER);
    EXPECT_TRUE(Checked(ID_SURFACE_OUTER_INNER));
    EXPECT_TRUE(doc.printCheckShown);
    Run(ID_SURFACE_PLAIN);
    EXPECT_FALSE(doc.printCheckShown);
    EXPECT_TRUE(Checked(ID_SURFACE_PLAIN));
    // Without a ready renderer the group is disabled.
    sink.ready = false;
    EXPECT_FALSE(Enabled(ID_SURFACE_PLAIN));
    EXPECT_FALSE(Enabled(ID_SHADING_FLAT));
}

}  // namespace
}  // namespace ridgeforge
