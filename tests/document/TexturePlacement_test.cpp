#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "testing/Shapes.h"
#include "textures/SeamSettings.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "tests/document/FakeHost.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

using test::HostedDocument;

void SetAllZooms(CRidgeforgeDoc& doc, float zoom) {
    for (mesh::ProjectionLayer& layer : doc.projection.layer) layer.zoom = zoom;
}

TEST(TextureControl, RenderSizeFollowsTheTileSizeAndZoomWithinLimits) {
    HostedDocument d;
    d.doc.OnTestCube();
    using Size = std::pair<std::int32_t, std::int32_t>;
    EXPECT_EQ(d.doc.ProceduralRenderSize(), Size(960, 960));
    d.doc.texture.settings.widthMillimetres = 5.0f;
    d.doc.texture.settings.heightMillimetres = 200.0f;
    EXPECT_EQ(d.doc.ProceduralRenderSize(), Size(256, 4096));
    d.doc.texture.settings.widthMillimetres = 30.0f;
    d.doc.texture.settings.heightMillimetres = 10.0f;
    SetAllZooms(d.doc, 0.0f);
    EXPECT_EQ(d.doc.ProceduralRenderSize(), Size(960, 320));
    SetAllZooms(d.doc, 2.0f);
    EXPECT_EQ(d.doc.ProceduralRenderSize(), Size(1920, 640));
    d.doc.texture.settings.widthMillimetres = -4.0f;
    EXPECT_EQ(d.doc.ProceduralRenderSize().first, 256);
}

TEST(TextureControl, AProceduralRenderIsKeptUntilTheWantedSizeIsHalfAsLargeAgain) {
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Stripes"), L"");
    ASSERT_EQ(d.doc.texture.width, 960);
    EXPECT_EQ(d.doc.texture.name, "Stripes (procedural)");
    ASSERT_TRUE(d.doc.texture.neutralHeight.has_value());
    EXPECT_TRUE(d.host.Logged(L"  rendered at 960 x 960 pixels for 30.0 x 30.0 mm at zoom 1.00 (32 pixels per mm)"));
    const std::uint32_t handOvers = d.doc.textureHandOvers;
    d.doc.texture.settings.widthMillimetres = 1400.0f / 32.0f;
    d.doc.UpdateProceduralTexture(false);
    EXPECT_EQ(d.doc.texture.width, 960);
    EXPECT_EQ(d.doc.textureHandOvers, handOvers);
    d.doc.texture.settings.widthMillimetres = 1440.0f / 32.0f;
    d.doc.UpdateProceduralTexture(false);
    EXPECT_EQ(d.doc.texture.width, 1440);
    EXPECT_EQ(d.doc.texture.height, 960);
    EXPECT_EQ(d.doc.textureHandOvers, handOvers + 1);
}

TEST(TextureControl, APatternThatDoesNotRepeatIsLaidAsOneTileOverThePart) {
    HostedDocument d;
    d.doc.LoadTestShape(test::MakeBox({0, 0, 0}, {10, 40, 20}), L"Box", L"Box", L"Box");
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Penrose"), L"");
    EXPECT_FALSE(d.doc.texture.settings.tiles);
    EXPECT_EQ(d.doc.texture.settings.wrap, mesh::WrapMode::Clamp);
    // The largest side of the cage is 40.8 mm; a 30 mm tile zooms to cover it.
    const float span = 40.8f;
    for (const mesh::ProjectionLayer& layer : d.doc.projection.layer) {
        EXPECT_NEAR(layer.zoom, span / 30.0f, 1e-3f);
        EXPECT_NEAR(layer.originMillimetres[0], -span / 2.0f, 1e-3f);
    }
    EXPECT_TRUE(d.host.Logged(L"this pattern does not repeat"));
    EXPECT_TRUE(d.doc.BuildPipelineSettings().tileFrame.clip);
}

TEST(TextureControl, AnImageFromDiskReplacesTheTextureAndABadOneChangesNothing) {
    test::TempDir dir("texture");
    HostedDocument d;
    d.doc.SetUserDataRoots({LibraryRoot{dir.Path() / "user", true}});
    d.doc.OnTestCube();
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Dots"), L"Preset");
    std::vector<std::uint16_t> samples(6 * 4);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>(i * 2000);
    ASSERT_TRUE(test::WritePng(dir / "grey.png", 6, 4, 1, 16, samples));
    const std::uint32_t revision = d.doc.textureRevision;
    const CString path = WideFromPath(dir / "grey.png");
    ASSERT_TRUE(d.doc.LoadHeightMap(path));
    EXPECT_EQ(d.doc.texture.width, 6);
    EXPECT_EQ(d.doc.texture.height, 4);
    EXPECT_EQ(d.doc.texture.name, "grey.png");
    EXPECT_EQ(d.doc.textureImagePath, path);
    EXPECT_EQ(d.doc.proceduralTexture, nullptr);
    EXPECT_TRUE(d.doc.proceduralPresetName.empty());
    EXPECT_FALSE(d.doc.texture.neutralHeight.has_value());
    EXPECT_EQ(d.doc.textureRevision, revision + 1);
    EXPECT_EQ(d.doc.pipelineTextureRevision, static_cast<std::int32_t>(d.doc.shownTextureRevision));

    test::WriteTextFile(dir / "broken.png", "not an image");
    const std::size_t infos = d.host.info.size();
    EXPECT_FALSE(d.doc.LoadHeightMap(WideFromPath(dir / "broken.png")));
    ASSERT_EQ(d.host.info.size(), infos + 1);
    EXPECT_EQ(d.host.info.back().text.rfind(L"This image could not be loaded.\n", 0), 0u);
    EXPECT_EQ(d.doc.textureImagePath, path);
    EXPECT_EQ(d.doc.textureRevision, revision + 1);

    // A seamless method chosen for the image is remembered for it.
    mesh::TextureSettings settings = d.doc.texture.settings;
    settings.seamlessMethod = "Mirror";
    d.doc.ApplyTextureSettings(settings);
    EXPECT_EQ(d.doc.texture.settings.wrap, mesh::WrapMode::Mirror);
    EXPECT_EQ(GetSeamSettingsFor(d.doc.UserDataRoots(), CStringToUtf8(path)).method, "Mirror");
    ASSERT_TRUE(d.doc.LoadHeightMap(path));
    EXPECT_TRUE(d.host.Logged(L"Seams: Mirror, as chosen for this image before."));

    // A choice that cannot be saved is used all the same, and the log says
    // it will be gone next time, and why; the one saved before stays.
    settings = d.doc.texture.settings;
    settings.seamlessMethod = "Cross-fade";
    platform::FailSafeWriteRenames(EIO);
    d.doc.ApplyTextureSettings(settings);
    platform::ClearSafeWriteHooks();
    EXPECT_EQ(d.doc.texture.settings.seamlessMethod, "Cross-fade");
    EXPECT_EQ(d.host.log.back().text, L"The image's seamless setting could not be saved for next time: " +
                                          Utf8ToCString(platform::SystemErrorText(EIO)));
    EXPECT_EQ(d.host.log.back().kind, LogKind::Error);
    EXPECT_EQ(GetSeamSettingsFor(d.doc.UserDataRoots(), CStringToUtf8(path)).method, "Mirror");
}

// An image over the pixel budget is refused with the budget's words and the
// document keeps its texture; a texture that loads is shared, not copied, by
// the undo step that records it and by what the pipeline was handed.
TEST(TextureControl, AnImageBombIsRefusedAndTheTextureIsSharedNotCopied) {
    test::TempDir dir("bomb");
    HostedDocument d;
    d.doc.SetUserDataRoots({LibraryRoot{dir.Path() / "user", true}});
    d.doc.OnTestCube();
    std::vector<std::uint16_t> samples(5 * 3);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>(i * 17);
    ASSERT_TRUE(test::WritePng(dir / "small.png", 5, 3, 1, 8, samples));
    ASSERT_TRUE(d.doc.LoadHeightMap(WideFromPath(dir / "small.png")));
    ASSERT_NE(d.doc.currentSnapshot.texture, nullptr);
    EXPECT_TRUE(d.doc.currentSnapshot.texture->pixels.SharesWith(d.doc.texture.pixels));
    EXPECT_TRUE(d.doc.currentSnapshot.texture->sourcePixels.SharesWith(d.doc.texture.sourcePixels));

    ASSERT_TRUE(test::WriteUniformGreyPng(dir / "bomb.png", 16384, 16384, 200));
    const std::uint32_t revision = d.doc.textureRevision;
    const std::size_t undoDepth = d.doc.undoStack.size();
    EXPECT_FALSE(d.doc.LoadHeightMap(WideFromPath(dir / "bomb.png")));
    ASSERT_NE(d.host.LastInfo(), nullptr);
    EXPECT_EQ(d.host.LastInfo()->text,
              L"This image could not be loaded.\nThe image has 16384 x 16384 pixels. A texture can use at most 8192 x "
              L"8192 = 67108864 pixels: even the finest relief cannot carry more. Scale the image down.");
    EXPECT_EQ(d.doc.texture.width, 5);
    EXPECT_EQ(d.doc.texture.height, 3);
    EXPECT_EQ(d.doc.texture.name, "small.png");
    EXPECT_EQ(d.doc.textureRevision, revision);
    EXPECT_EQ(d.doc.undoStack.size(), undoDepth);
}

TEST(Placement, NewBoxesAreNumberedPastTheHighestOfTheirShape) {
    HostedDocument d;
    EXPECT_EQ(d.doc.AddMaskVolume(0), -1);  // no part
    d.doc.OnTestCube();
    EXPECT_EQ(d.doc.AddMaskVolume(0), 0);
    EXPECT_EQ(d.doc.maskVolumes[0].name, "Box 1");
    mesh::MaskVolume renamed = d.doc.maskVolumes[0];
    renamed.name = "Box 7";
    d.doc.UpdateMaskVolume(0, renamed);
    d.doc.AddMaskVolume(1);  // another shape does not count
    d.doc.AddMaskVolume(0);
    EXPECT_EQ(d.doc.maskVolumes[2].name, "Box 8");
    EXPECT_EQ(d.doc.activeMask, 2);
    EXPECT_EQ(d.doc.maskVolumes[1].name, "Cylinder 1");

    HostedDocument e;
    e.doc.OnTestCube();
    e.doc.AddMaskVolume(0);
    e.doc.AddMaskVolume(0);
    mesh::MaskVolume v = e.doc.maskVolumes[0];
    v.name = "Box";
    e.doc.UpdateMaskVolume(0, v);
    v = e.doc.maskVolumes[1];
    v.name = "Box seven";
    e.doc.UpdateMaskVolume(1, v);
    e.doc.AddMaskVolume(0);
    EXPECT_EQ(e.doc.maskVolumes[2].name, "Box 1");
    v.name = "Box 99999999999999999999";
    e.doc.UpdateMaskVolume(1, v);
    e.doc.AddMaskVolume(0);
    EXPECT_EQ(e.doc.maskVolumes[3].name, "Box 2147483648");
}

TEST(Placement, DuplicateAndDeleteMaskVolumes) {
    HostedDocument d;
    d.doc.OnTestCube();
    d.doc.AddMaskVolume(2);
    mesh::MaskVolume v = d.doc.maskVolumes[0];
    v.center = {1.0f, 2.0f, 3.0f};
    v.size = {10.0f, 4.0f, 6.0f};
    d.doc.UpdateMaskVolume(0, v);
    EXPECT_EQ(d.doc.DuplicateMaskVolume(0), 1);
    EXPECT_FLOAT_EQ(d.doc.maskVolumes[1].center.x, 12.0f);
    EXPECT_FLOAT_EQ(d.doc.maskVolumes[1].center.y, 2.0f);
    EXPECT_EQ(d.doc.maskVolumes[1].name, "Sphere 1 copy");
    EXPECT_EQ(d.doc.DuplicateMaskVolume(2), -1);
    EXPECT_EQ(d.doc.DuplicateMaskVolume(-1), -1);
    d.doc.DeleteMaskVolume(5);
    EXPECT_EQ(d.doc.maskVolumes.size(), 2u);
    d.doc.DeleteMaskVolume(0);
    EXPECT_EQ(d.doc.activeMask, 0);
    d.doc.DeleteMaskVolume(0);
    EXPECT_EQ(d.doc.activeMask, -1);
    EXPECT_TRUE(d.doc.maskVolumes.empty());
}

class DraggedCube : public ::testing::Test {
protected:
    void SetUp() override {
        d.doc.OnTestCube();
        d.doc.dragStartLayers = d.doc.projection.layer;
    }
    HostedDocument d;
};

TEST_F(DraggedCube, ADragThatEndsWhereItBeganLeavesNoEntry) {
    d.doc.AddMaskVolume(0);
    const std::size_t depth = d.doc.undoStack.size();
    d.doc.dragStartLayers = d.doc.projection.layer;
    d.doc.BeginPlacementEdit();
    d.doc.DragTextureLayers(0, {5.0f, 0.0f, 0.0f, 1.0f});
    d.doc.DragTextureLayers(0, {0.0f, 0.0f, 0.0f, 1.0f});
    d.doc.DropUnchangedSnapshot();
    EXPECT_EQ(d.doc.undoStack.size(), depth);

    d.doc.BeginPlacementEdit();
    d.doc.DragTextureLayers(0, {5.0f, -2.0f, 10.0f, 1.0f});
    d.doc.DragTextureLayers(0, {6.0f, -2.0f, 10.0f, 1.0f});
    d.doc.DropUnchangedSnapshot();
    EXPECT_EQ(d.doc.undoStack.size(), depth + 1);
    // Every layer in use moved; the bed side is off and kept still.
    EXPECT_FLOAT_EQ(d.doc.projection.layer[3].originMillimetres[0], 6.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[3].rotationDegrees, 10.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[5].originMillimetres[0], 0.0f);
    d.doc.OnEditUndo();
    EXPECT_FLOAT_EQ(d.doc.projection.layer[3].originMillimetres[0], 0.0f);
    EXPECT_EQ(d.doc.maskVolumes.size(), 1u);
}

TEST_F(DraggedCube, ZoomStopsAtItsLimitsAndAnActiveLayerMovesAlone) {
    d.doc.DragTextureLayers(1, {0.0f, 0.0f, 0.0f, 100.0f});
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].zoom, 20.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[4].zoom, 20.0f);
    d.doc.DragTextureLayers(1, {0.0f, 0.0f, 0.0f, 0.001f});
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].zoom, 0.05f);
    d.doc.projection.activeLayer = 2;
    d.doc.dragStartLayers = d.doc.projection.layer;
    d.doc.DragTextureLayers(2, {1.0f, 1.0f, 0.0f, 0.1f});
    EXPECT_FLOAT_EQ(d.doc.projection.layer[2].zoom, 0.1f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].zoom, 0.05f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].originMillimetres[0], 0.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[2].originMillimetres[0], 1.0f);
    d.doc.DragTextureLayers(6, {9.0f, 9.0f, 9.0f, 9.0f});  // no such layer
    EXPECT_FLOAT_EQ(d.doc.projection.layer[2].originMillimetres[0], 1.0f);
}

TEST_F(DraggedCube, UndoThenANewEditEmptiesRedo) {
    d.doc.DragTextureLayers(0, {3.0f, 0.0f, 0.0f, 1.0f});
    d.doc.DragTextureLayers(0, {4.0f, 0.0f, 0.0f, 1.0f});
    ASSERT_EQ(d.doc.undoStack.size(), 2u);
    d.doc.OnEditUndo();
    EXPECT_EQ(d.doc.redoStack.size(), 1u);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].originMillimetres[0], 3.0f);
    CommandState state;
    d.doc.OnUpdateEditRedo(state);
    EXPECT_TRUE(state.enabled);
    d.doc.SetSurfaceForAllSides(static_cast<std::uint32_t>(mesh::SurfaceSelection::Outside));
    EXPECT_TRUE(d.doc.redoStack.empty());
    EXPECT_EQ(d.doc.undoStack.size(), 2u);
    d.doc.OnUpdateEditRedo(state);
    EXPECT_FALSE(state.enabled);
    // The same surface again is no edit.
    d.doc.SetSurfaceForAllSides(static_cast<std::uint32_t>(mesh::SurfaceSelection::Outside));
    EXPECT_EQ(d.doc.undoStack.size(), 2u);
}

TEST_F(DraggedCube, AMaskEditSurvivesUndoThenRedo) {
    d.doc.AddMaskVolume(0);
    mesh::MaskVolume edited = d.doc.maskVolumes[0];
    edited.featherMillimetres = 2.5f;
    edited.center.y = -4.0f;
    d.doc.UpdateMaskVolume(0, edited);
    ASSERT_EQ(d.doc.undoStack.size(), 2u);
    d.doc.OnEditUndo();
    ASSERT_EQ(d.doc.maskVolumes.size(), 1u);
    EXPECT_FLOAT_EQ(d.doc.maskVolumes[0].featherMillimetres, 0.0f);
    d.doc.OnEditRedo();
    ASSERT_EQ(d.doc.maskVolumes.size(), 1u);
    EXPECT_FLOAT_EQ(d.doc.maskVolumes[0].featherMillimetres, 2.5f);
    EXPECT_FLOAT_EQ(d.doc.maskVolumes[0].center.y, -4.0f);
    d.doc.OnEditUndo();
    d.doc.OnEditUndo();
    EXPECT_TRUE(d.doc.maskVolumes.empty());
    EXPECT_EQ(d.doc.activeMask, -1);
}

TEST_F(DraggedCube, UndoBringsTheTextureAndItsSettingsBackButNeverCrossesAPart) {
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Weave"), L"");
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Knurl"), L"");
    ASSERT_EQ(std::string(d.doc.proceduralTexture->Name()), "Knurl");
    d.doc.OnEditUndo();
    ASSERT_NE(d.doc.proceduralTexture, nullptr);
    EXPECT_EQ(std::string(d.doc.proceduralTexture->Name()), "Weave");
    EXPECT_EQ(d.doc.texture.name, "Weave (procedural)");
    EXPECT_TRUE(d.doc.IsModified());
    d.doc.OnTestSphere();
    CommandState state;
    d.doc.OnUpdateEditUndo(state);
    EXPECT_FALSE(state.enabled);
    EXPECT_EQ(std::string(d.doc.proceduralTexture->Name()), "Weave");
}

// The views upload the texture only on a full refresh, so an Undo or Redo
// that brings another texture back must send one; a placement step alone
// must not make the views rebuild everything.
TEST_F(DraggedCube, UndoAndRedoOfATextureRefreshTheViewsFully) {
    struct LastHint : DocumentView {
        std::vector<ViewUpdateHint> hints;
        void OnUpdate(DocumentView*, ViewUpdateHint hint) override { hints.push_back(hint); }
        bool SawFullRefresh() const {
            return std::find(hints.begin(), hints.end(), ViewUpdateHint::FullRefresh) != hints.end();
        }
    } view;
    d.doc.AddView(&view);
    d.doc.ApplyProceduralTexture(mesh::procedural::CreateTexture("Cells"), L"");
    const std::size_t textureEntries = d.doc.undoStack.size();
    ASSERT_GE(textureEntries, 1u);
    d.doc.projection.type = mesh::ProjectionType::Cylinder;
    d.doc.OnSettingsChanged();
    ASSERT_EQ(d.doc.undoStack.size(), textureEntries + 1);

    view.hints.clear();
    d.doc.OnEditUndo();  // the mapping only
    EXPECT_TRUE(d.doc.HasTexture());
    EXPECT_FALSE(view.SawFullRefresh());
    view.hints.clear();
    while (!d.doc.undoStack.empty()) d.doc.OnEditUndo();  // the texture goes
    EXPECT_FALSE(d.doc.HasTexture());
    EXPECT_TRUE(view.SawFullRefresh());
    view.hints.clear();
    while (!d.doc.HasTexture() && !d.doc.redoStack.empty()) d.doc.OnEditRedo();  // and comes back
    EXPECT_TRUE(d.doc.HasTexture());
    EXPECT_TRUE(view.SawFullRefresh());
    d.doc.RemoveView(&view);
}

}  // namespace
}  // namespace ridgeforge

namespace ridgeforge {
namespace {

TEST(TextureControl, SwitchingAutoLevelsOffDropsOnlyTheLevelsItWorkedOut) {
    test::TempDir dir("levels");
    test::HostedDocument d;
    d.doc.SetUserDataRoots({LibraryRoot{dir.Path() / "user", true}});
    d.doc.OnTestCube();
    std::vector<std::uint16_t> samples(10 * 10);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>(20000 + i * 200);
    ASSERT_TRUE(test::WritePng(dir / "narrow.png", 10, 10, 1, 16, samples));
    mesh::TextureSettings automatic = d.doc.texture.settings;
    automatic.autoLevels = true;
    d.doc.ApplyTextureSettings(automatic);
    ASSERT_TRUE(d.doc.LoadHeightMap(WideFromPath(dir / "narrow.png")));
    const float black = d.doc.texture.settings.blackLevel;
    const float white = d.doc.texture.settings.whiteLevel;
    ASSERT_GT(black, 0.25f);
    ASSERT_LT(white, 0.65f);
    EXPECT_TRUE(d.host.Logged(L"Auto levels: black "));

    mesh::TextureSettings off = d.doc.texture.settings;
    off.autoLevels = false;
    d.doc.ApplyTextureSettings(off);
    EXPECT_FLOAT_EQ(d.doc.texture.settings.blackLevel, 0.0f);
    EXPECT_FLOAT_EQ(d.doc.texture.settings.whiteLevel, 1.0f);

    d.doc.ApplyTextureSettings(automatic);
    mesh::TextureSettings moved = d.doc.texture.settings;
    moved.autoLevels = false;
    moved.blackLevel = 0.3f;
    d.doc.ApplyTextureSettings(moved);
    EXPECT_FLOAT_EQ(d.doc.texture.settings.blackLevel, 0.3f);
    EXPECT_FLOAT_EQ(d.doc.texture.settings.whiteLevel, moved.whiteLevel);
}

}  // namespace
}  // namespace ridgeforge

namespace ridgeforge {
namespace {

class UndoneCube : public ::testing::Test {
protected:
    void SetUp() override { d.doc.OnTestCube(); }
    bool RedoOffered() const {
        CommandState state;
        d.doc.OnUpdateEditRedo(state);
        return state.enabled;
    }
    HostedDocument d;
};

TEST_F(UndoneCube, ADragAfterAnUndoTakesRedoAway) {
    d.doc.Edit([](DocumentEdit& edit) { edit.projection.layer[0].zoom = 2.0f; });
    d.doc.Edit([](DocumentEdit& edit) { edit.projection.layer[0].rotationDegrees = 30.0f; });
    d.doc.OnEditUndo();
    ASSERT_TRUE(RedoOffered());
    ASSERT_FLOAT_EQ(d.doc.projection.layer[0].rotationDegrees, 0.0f);

    // The drag moves every layer in use 4 mm along x.
    d.doc.BeginLayerDrag();
    d.doc.DragTextureLayers(0, {2.0f, 0.0f, 0.0f, 2.0f});
    d.doc.DragTextureLayers(0, {4.0f, 0.0f, 0.0f, 2.0f});
    d.doc.DropUnchangedSnapshot();
    EXPECT_FALSE(RedoOffered());
    EXPECT_TRUE(d.doc.redoStack.empty());
    d.doc.OnEditRedo();  // nothing to bring back
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].rotationDegrees, 0.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].originMillimetres[0], 4.0f);

    // Undo takes the drag back to the zoom alone, then to the start.
    d.doc.OnEditUndo();
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].originMillimetres[0], 0.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].zoom, 2.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].rotationDegrees, 0.0f);
    EXPECT_TRUE(RedoOffered());
    d.doc.OnEditUndo();
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].zoom, 1.0f);

    // A drag that ends where it began is no edit: Redo stays.
    d.doc.OnEditRedo();
    ASSERT_TRUE(RedoOffered());
    d.doc.BeginLayerDrag();
    d.doc.DragTextureLayers(0, {3.0f, 0.0f, 0.0f, 2.0f});
    d.doc.DragTextureLayers(0, {0.0f, 0.0f, 0.0f, 2.0f});
    d.doc.DropUnchangedSnapshot();
    EXPECT_FLOAT_EQ(d.doc.projection.layer[0].originMillimetres[0], 0.0f);
}

TEST_F(UndoneCube, AfterAnUndoNoLayerIsChosenAndADragMovesEveryLayerInUse) {
    d.doc.SelectLayer(3);
    d.doc.Edit([](DocumentEdit& edit) { edit.projection.layer[3].zoom = 2.0f; });
    d.doc.OnEditUndo();
    EXPECT_EQ(d.doc.projection.activeLayer, -1);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[3].zoom, 1.0f);
    d.doc.BeginLayerDrag();
    d.doc.DragTextureLayers(3, {5.0f, 0.0f, 0.0f, 1.0f});
    d.doc.DropUnchangedSnapshot();
    // Sides 0 to 4 are in use; the bed side 5 is off and stays.
    for (int side = 0; side < 5; ++side) EXPECT_FLOAT_EQ(d.doc.projection.layer[side].originMillimetres[0], 5.0f);
    EXPECT_FLOAT_EQ(d.doc.projection.layer[5].originMillimetres[0], 0.0f);
}

bool SameCoverage(const mesh::TextureCoverage& a, const mesh::TextureCoverage& b) {
    return a.cornerWeights == b.cornerWeights && a.vertexWeights == b.vertexWeights &&
           a.texturedFaces == b.texturedFaces && a.faceMask == b.faceMask;
}

TEST_F(UndoneCube, SwitchingABoxSideOffShowsTheCoverageWithThatSideAtWeightZero) {
    const mesh::TextureCoverage allSides = d.doc.ShownTextureCoverage();
    ASSERT_TRUE(allSides.MatchesMesh(d.doc.workingPart));
    ASSERT_TRUE(SameCoverage(allSides, d.doc.ComputeTextureCoverage(d.doc.workingPart)));

    d.doc.Edit([](DocumentEdit& edit) { edit.projection.box.sideEnabled[0] = false; });
    const mesh::TextureCoverage pxOff = d.doc.ShownTextureCoverage();
    // Computed afresh, without the cache: the corners side +x reached lose
    // their weight, and no corner gains any.
    EXPECT_TRUE(SameCoverage(pxOff, d.doc.ComputeTextureCoverage(d.doc.workingPart)));
    ASSERT_EQ(pxOff.cornerWeights.size(), allSides.cornerWeights.size());
    std::size_t lost = 0;
    for (std::size_t c = 0; c < pxOff.cornerWeights.size(); ++c) {
        EXPECT_LE(pxOff.cornerWeights[c], allSides.cornerWeights[c]);
        lost += pxOff.cornerWeights[c] == 0.0f && allSides.cornerWeights[c] > 0.0f;
    }
    EXPECT_GT(lost, 0u);

    // Undo brings the side back, and Redo takes it away again.
    d.doc.OnEditUndo();
    ASSERT_TRUE(d.doc.projection.box.sideEnabled[0]);
    EXPECT_TRUE(SameCoverage(d.doc.ShownTextureCoverage(), allSides));
    d.doc.OnEditRedo();
    ASSERT_FALSE(d.doc.projection.box.sideEnabled[0]);
    EXPECT_TRUE(SameCoverage(d.doc.ShownTextureCoverage(), pxOff));
}

}  // namespace
}  // namespace ridgeforge

namespace ridgeforge {
namespace {

TEST_F(UndoneCube, AfterAResultTheShownCoverageFollowsASideSwitchedOffAndItsUndo) {
    d.doc.remeshEnabled = true;
    d.doc.remeshSettings.targetEdgeMillimetres = 4.0f;
    d.doc.displacementEnabled = false;
    d.doc.simplifyEnabled = false;
    d.doc.OnSettingsChanged();
    d.doc.Process();
    ASSERT_EQ(d.doc.processDecision, L"started: Process");
    ASSERT_TRUE(test::PollUntilApplied(d.doc));
    const mesh::TriangleMesh* result = &d.doc.ShownMesh();
    ASSERT_NE(result, &d.doc.workingPart);
    const mesh::TextureCoverage before = d.doc.ShownTextureCoverage();
    ASSERT_TRUE(before.MatchesMesh(*result));

    d.doc.Edit([](DocumentEdit& edit) { edit.projection.box.sideEnabled[0] = false; });
    const mesh::TriangleMesh& shown = d.doc.ShownMesh();
    const mesh::TextureCoverage pxOff = d.doc.ShownTextureCoverage();
    ASSERT_TRUE(pxOff.MatchesMesh(shown));
    // The result is out of date: the part is shown with the coverage the
    // side switched off gives.
    EXPECT_EQ(&shown, &d.doc.workingPart);
    EXPECT_TRUE(SameCoverage(pxOff, d.doc.ComputeTextureCoverage(shown)));

    // Undo makes the result current again, with its own coverage.
    d.doc.OnEditUndo();
    ASSERT_TRUE(d.doc.projection.box.sideEnabled[0]);
    EXPECT_EQ(&d.doc.ShownMesh(), result);
    EXPECT_TRUE(SameCoverage(d.doc.ShownTextureCoverage(), before));
}

}  // namespace
}  // namespace ridgeforge
