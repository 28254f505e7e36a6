// The procedural texture dialog's rules without its window: the tiled
// preview, the help table, the order of the presets and what saving and
// deleting them ask and do in a library of two roots.
#include "ui/dialogs/ProceduralDialogRules.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/support/TestSupport.h"
#include "textures/Presets.h"

namespace ridgeforge {
namespace {

using mesh::procedural::ParameterDefinition;

// Height u across the tile, with a label and help that would break a table.
class RampTexture final : public mesh::procedural::ProceduralTexture {
public:
    const char* Name() const override { return "Ramp"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override {
        static const std::vector<ParameterDefinition> table = {
            mesh::procedural::FloatParameter("a", "Width | depth", 0.0f, 1.0f, 0.5f, "first line\nsecond | third",
                                             0.01f),
            mesh::procedural::IntegerParameter("b", "Count", 0, 20, 3, "Windows\r\nline"),
        };
        return table;
    }
    float Sample(float u, float) const override { return u; }
};

TEST(ProceduralPreview, TilesOfAtMost512AreRepeated) {
    EXPECT_EQ(TilingFor(1).tile, 512);
    EXPECT_EQ(TilingFor(1).size, 512);
    EXPECT_EQ(TilingFor(2).tile, 256);
    EXPECT_EQ(TilingFor(2).size, 512);
    EXPECT_EQ(TilingFor(3).tile, 170);
    EXPECT_EQ(TilingFor(3).size, 510);
    EXPECT_EQ(TilingFor(0).tiles, 1);
    EXPECT_EQ(TilingFor(9).tiles, 3);

    RampTexture ramp;
    int size = 0;
    const std::vector<std::uint32_t> pixels = RenderProceduralPreview(ramp, 3, size);
    ASSERT_EQ(size, 510);
    ASSERT_EQ(pixels.size(), 510u * 510u);
    const auto grey = [&](int x, int y) {
        return static_cast<int>(pixels[static_cast<std::size_t>(y * 510 + x)] & 0xFF);
    };
    // Pixel centres of a 170 px tile: u = (x + 0.5) / 170.
    EXPECT_EQ(grey(0, 0), 1);      // 0.5 / 170 x 255 = 0.75
    EXPECT_EQ(grey(169, 0), 254);  // 169.5 / 170 x 255 = 254.25
    EXPECT_EQ(grey(170, 300), 1);  // the next tile starts over
    EXPECT_EQ(grey(509, 509), 254);
    EXPECT_EQ(grey(85, 0), 128);  // 85.5 / 170 x 255 = 128.25
    EXPECT_EQ(pixels[0] >> 24, 0xFFu);
}

TEST(ProceduralHelp, EveryParameterIsOneWellFormedRow) {
    RampTexture ramp;
    EXPECT_EQ(ParameterHelpTable(ramp),
              "\n\n### Ramp\n\n| Setting | Meaning |\n|:--|:--|\n"
              "| Width / depth | first line second / third |\n"
              "| Count | Windows line |\n"
              "| Invert | " +
                  mesh::procedural::InvertParameter().help + " |\n");
    EXPECT_EQ(TileableNote(true), "This texture is tileable.");
    EXPECT_EQ(TileableNote(false), "This pattern does not repeat: one tile is laid over the whole model.");
}

TEST(PresetOrder, FactoryPresetsFirstThenTheUsersOwnEachByName) {
    const auto item = [](const char* name, ItemOrigin origin) {
        PresetItem preset;
        preset.name = name;
        preset.origin = origin;
        return preset;
    };
    std::vector<PresetItem> items = {item("alpha", ItemOrigin::User), item("Zeta", ItemOrigin::Factory),
                                     item("beta", ItemOrigin::Both), item("Alp", ItemOrigin::User),
                                     item("apple", ItemOrigin::Factory)};
    SortPresetItems(items);
    std::vector<std::string> names;
    for (const PresetItem& preset : items) names.push_back(preset.name);
    EXPECT_EQ(names, (std::vector<std::string>{"apple", "beta", "Zeta", "Alp", "alpha"}));
    EXPECT_EQ(FirstUserOnlyIndex(items), 3u);

    std::vector<PresetItem> mine = {item("b", ItemOrigin::User), item("a", ItemOrigin::User)};
    SortPresetItems(mine);
    EXPECT_EQ(mine[0].name, "a");
    EXPECT_EQ(FirstUserOnlyIndex(mine), 0u);
    std::vector<PresetItem> factory = {item("b", ItemOrigin::Factory)};
    EXPECT_EQ(FirstUserOnlyIndex(factory), 1u);  // none: past the end
}

class PresetLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        // Factory presets are written by saving with the program's folder as
        // the only (writable) root.
        const std::vector<LibraryRoot> factoryOnly = {{dir_ / "program", true}};
        auto bricks = mesh::procedural::CreateTexture("Bricks");
        bricks->SetValue("rows", 3.0f);
        ASSERT_TRUE(SavePreset(factoryOnly, *bricks, "Classic"));
        bricks->SetValue("rows", 5.0f);
        ASSERT_TRUE(SavePreset(factoryOnly, *bricks, "Shared"));
        bricks->SetValue("rows", 7.0f);
        ASSERT_TRUE(SavePreset(roots_, *bricks, "Shared"));
        bricks->SetValue("rows", 9.0f);
        ASSERT_TRUE(SavePreset(roots_, *bricks, "Mine"));
        texture_ = mesh::procedural::CreateTexture("Bricks");
    }

    test::TempDir dir_{"presets"};
    std::vector<LibraryRoot> roots_ = {{dir_ / "program", false}, {dir_ / "user", true}};
    std::unique_ptr<mesh::procedural::ProceduralTexture> texture_;
};

TEST_F(PresetLibrary, ListsWithThumbnailsReadOrRendered) {
    // One thumbnail gone: it is rendered from the preset instead.
    std::filesystem::remove(dir_ / "user/procedural/Bricks/Mine.bmp");
    // A preset that cannot be read and has no thumbnail is listed without one.
    test::WriteTextFile(dir_ / "user/procedural/Bricks/Broken.rgpreset", "not a preset");
    const std::vector<PresetItem> items = LoadPresetItems(roots_, *texture_);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].name, "Classic");
    EXPECT_EQ(items[0].origin, ItemOrigin::Factory);
    EXPECT_EQ(items[1].name, "Shared");
    EXPECT_EQ(items[1].origin, ItemOrigin::Both);
    EXPECT_TRUE(items[1].userCopy);
    EXPECT_EQ(items[2].name, "Broken");
    EXPECT_EQ(items[3].name, "Mine");
    EXPECT_EQ(FirstUserOnlyIndex(items), 2u);
    EXPECT_EQ(items[0].thumbnailSide, 120);
    EXPECT_EQ(items[0].thumbnail.size(), 120u * 120u);
    EXPECT_EQ(items[2].thumbnailSide, 0);
    EXPECT_EQ(items[3].thumbnailSide, 120);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "user/procedural/Bricks/Mine.bmp"));  // rendered, not saved
    // The rendered thumbnail is the preset's, not the default texture's.
    auto nine = mesh::procedural::CreateTexture("Bricks");
    nine->SetValue("rows", 9.0f);
    const std::vector<std::uint8_t> expected = RenderThumbnail(*nine);
    EXPECT_EQ(items[3].thumbnail[500] & 0xFF, expected[500]);
    EXPECT_EQ(items[3].thumbnail[7000] & 0xFF, expected[7000]);
}

TEST_F(PresetLibrary, SavingUnderAnExistingNameAsksTheRightQuestion) {
    const std::vector<PresetItem> items = LoadPresetItems(roots_, *texture_);
    EXPECT_EQ(SavePresetQuestion(roots_, *texture_, items, "classic"),
              "A factory preset called \"classic\" already exists.\n\nSave yours under the same name? Yours will be "
              "used instead, and deleting yours brings the factory one back.");
    EXPECT_EQ(SavePresetQuestion(roots_, *texture_, items, "Mine"),
              "A preset called \"Mine\" already exists.\n\nReplace it?");
    EXPECT_EQ(SavePresetQuestion(roots_, *texture_, items, "Shared.rgpreset"),
              "A preset called \"Shared.rgpreset\" already exists.\n\nReplace it?");
    EXPECT_FALSE(SavePresetQuestion(roots_, *texture_, items, "Brand new").has_value());
}

TEST_F(PresetLibrary, DeletingTheUsersCopyBringsTheFactoryOneBack) {
    std::vector<PresetItem> items = LoadPresetItems(roots_, *texture_);
    ASSERT_EQ(items[1].name, "Shared");
    EXPECT_EQ(DeletePresetQuestion(items[1]), "Delete your version of \"Shared\"?\n\nThe factory preset comes back.");
    EXPECT_EQ(DeletePresetQuestion(items[2]), "Delete the preset \"Mine\"?");
    ASSERT_TRUE(DeletePresetFiles(roots_, *texture_, items[1]));
    ASSERT_TRUE(DeletePresetFiles(roots_, *texture_, items[2]));
    EXPECT_FALSE(DeletePresetFiles(roots_, *texture_, items[0]));  // nothing of the user's

    items = LoadPresetItems(roots_, *texture_);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].name, "Shared");
    EXPECT_EQ(items[1].origin, ItemOrigin::Factory);
    ASSERT_TRUE(LoadPreset(items[1].presetPath, *texture_));
    EXPECT_FLOAT_EQ(texture_->GetValue("rows"), 5.0f);  // the factory's values
    EXPECT_FALSE(std::filesystem::exists(dir_ / "user/procedural/Bricks/Mine.rgpreset"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "user/procedural/Bricks/Mine.bmp"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "program/procedural/Bricks/Classic.rgpreset"));
}

TEST_F(PresetLibrary, ADeleteThatCannotChangeTheListOfDeletedItemsSaysWhyAndKeepsThePreset) {
    // The factory thumbnail of "Shared" is hidden, beside another item.
    test::WriteTextFile(dir_ / "user/procedural/Bricks/_deleted.index", "shared.bmp\r\nother.bmp\r\n");
    const std::vector<PresetItem> items = LoadPresetItems(roots_, *texture_);
    ASSERT_EQ(items[1].name, "Shared");
    ASSERT_EQ(items[1].origin, ItemOrigin::Both);
    std::string reason;
    platform::FailSafeWriteRenames(EIO);
    const bool deleted = DeletePresetFiles(roots_, *texture_, items[1], &reason);
    platform::ClearSafeWriteHooks();
    EXPECT_FALSE(deleted);
    EXPECT_EQ(reason, platform::SystemErrorText(EIO));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "user/procedural/Bricks/Shared.rgpreset"));
    EXPECT_EQ(test::ReadTextFile(dir_ / "user/procedural/Bricks/_deleted.index"), "shared.bmp\r\nother.bmp\r\n");

    ASSERT_TRUE(DeletePresetFiles(roots_, *texture_, items[1], &reason));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "user/procedural/Bricks/Shared.rgpreset"));
    EXPECT_EQ(test::ReadTextFile(dir_ / "user/procedural/Bricks/_deleted.index"), "other.bmp\r\n");
}

}  // namespace
}  // namespace ridgeforge
