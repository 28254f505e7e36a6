// The Texture section in a window: library images, procedural presets and
// the user's own images, clicked for real; the frames and texts a person
// sees; the pickers' clicks and scrolling.
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcmemory.h>

#include "document/RidgeforgeDoc.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/support/TestImages.h"
#include "tests/ui/workflow/SectionBodyFixture.h"
#include "textures/Presets.h"
#include "ui/workflow/TextureBody.h"

namespace ridgeforge::testing {
namespace {

const wxColour kAccent(58, 123, 213);

void WriteGreyPng(const std::filesystem::path& path, int width, int height) {
    std::filesystem::create_directories(path.parent_path());
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>((i * 7) % 256);
    ASSERT_TRUE(test::WritePng(path, width, height, 1, 8, samples));
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The centre of a grid cell, in the grid's client coordinates.
wxPoint CellCentre(CThumbnailGrid& grid, int index) {
    const wxRect cell = grid.Geometry().Cell(index, grid.ScrollOffset());
    return {cell.x + cell.width / 2, cell.y + cell.height / 3};
}

class TextureSectionTest : public SectionTest {};

TEST_F(TextureSectionTest, LibraryImageClickLoadsItAndFramesItsThumbnail) {
    WriteGreyPng(UserRoot() / "textures" / "Stone" / "a.png", 40, 30);
    WriteGreyPng(UserRoot() / "textures" / "Wood" / "b.png", 30, 30);
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    body->SetTab(kTexturesTab);
    PumpEvents(50);
    EXPECT_EQ(body->Categories()->Names(), (std::vector<wxString>{"Stone", "Wood"}));
    ASSERT_EQ(body->Grid()->Items().size(), 1u);

    ClickAt(*body->Grid(), CellCentre(*body->Grid(), 0));
    ASSERT_EQ(document.imagePath, (UserRoot() / "textures" / "Stone" / "a.png").wstring());
    EXPECT_EQ(body->Subtitle(), "Textures > Stone");
    EXPECT_EQ(body->Title(), "a.png");
    EXPECT_EQ(body->CurrentTab(), kTexturesTab);
    EXPECT_EQ(body->Categories()->Selection(), 0);
    EXPECT_EQ(body->Grid()->SelectedKey(), body->Grid()->Items()[0].key);

    // On screen: the cell's outer 2 px in the accent colour, and the badge.
    PumpEvents(80);
    const wxImage shot = GrabWindow(*body->Grid());
    const wxRect cell = body->Grid()->Geometry().Cell(0, 0);
    EXPECT_EQ(PixelAt(shot, cell.x, cell.y + cell.height / 2), kAccent);
    EXPECT_EQ(PixelAt(shot, cell.x + 1, cell.y + cell.height / 2), kAccent);
    EXPECT_NE(PixelAt(shot, cell.x + 2, cell.y + cell.height / 2), kAccent);
    EXPECT_EQ(PixelAt(shot, cell.GetRight() - 3, cell.y + 4), kAccent);  // badge, off the tick
    EXPECT_EQ(ClosestColourDistance(shot, wxRect(cell.GetRight() - 15, cell.y + 2, 14, 14), wxColour(255, 255, 255)),
              0);

    // The other category shows its image, not framed.
    ClickAt(*body->Categories(), {20, 1 + 18 + 9});
    EXPECT_EQ(body->Categories()->Selection(), 1);
    ASSERT_EQ(body->Grid()->Items().size(), 1u);
    EXPECT_NE(body->Grid()->Items()[0].key, body->Grid()->SelectedKey());
}

TEST_F(TextureSectionTest, WithoutCategoryFoldersTheListIsEmptyAndSaysSo) {
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    body->SetTab(kTexturesTab);
    PumpEvents(50);
    EXPECT_TRUE(body->Categories()->Names().empty());
    EXPECT_TRUE(body->Grid()->Items().empty());
    EXPECT_EQ(body->Grid()->EmptyText(),
              "No texture library yet. Images go in folders under textures/ beside the program or in "
              "Documents/Ruvolta.");
    // The text is drawn in the secondary grey.
    const wxImage shot = GrabWindow(*body->Grid());
    EXPECT_EQ(ClosestColourDistance(shot, wxRect(shot.GetSize()), wxColour(122, 128, 138)), 0);
}

TEST_F(TextureSectionTest, ProceduralNamesPresetsAndEditedSettings) {
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    EXPECT_EQ(body->CurrentTab(), kProceduralTab);
    const std::vector<wxString>& names = body->Categories()->Names();
    ASSERT_EQ(names.size(), 25u);
    for (std::size_t i = 1; i < names.size(); ++i)
        EXPECT_LE(CompareIgnoreCase(names[i - 1].ToStdString(), names[i].ToStdString()), 0) << i;

    // A preset of the first texture in the user's library.
    const std::string texture = names[0].ToStdString();
    auto made = mesh::procedural::CreateTexture(texture);
    ASSERT_TRUE(made);
    ASSERT_TRUE(SavePreset(LibraryRoots(), *made, "Fine"));
    body->SetTextureLibrary(LibraryRoots());
    PumpEvents(50);
    ASSERT_EQ(body->Grid()->Items().size(), 1u);
    EXPECT_EQ(body->Grid()->Items()[0].side, 120);

    ClickAt(*body->Grid(), CellCentre(*body->Grid(), 0));
    ASSERT_TRUE(document.procedural);
    EXPECT_EQ(document.presetName, L"Fine");
    EXPECT_EQ(body->Subtitle(), "Procedural preset: Fine");
    EXPECT_EQ(body->Grid()->SelectedKey(), body->Grid()->Items()[0].key);
    EXPECT_TRUE(body->EditButton()->IsEnabled());
    EXPECT_EQ(body->Preview().width, 240);  // 120 x 120 render, tiled

    // "Edit..." asks the main window for the procedural dialog; the
    // document then has edited settings.
    document.presetName.clear();
    ++document.revision;
    body->OnEdit();
    EXPECT_EQ(frame->commands, (std::vector<CommandId>{32881}));
    EXPECT_EQ(body->Subtitle(), "Procedural, edited settings");
    EXPECT_NE(body->Grid()->SelectedKey(), body->Grid()->Items()[0].key);
}

// The factory library as it ships beside the program, and a fresh user folder.
std::vector<LibraryRoot> ShippedLibrary(const std::filesystem::path& userRoot) {
    return {{RIDGEFORGE_LIBRARY_DIR, false}, {userRoot, true}};
}

// Clicks a row of the list as a person does, scrolled into view first.
void ClickRow(CNameList& list, int row) {
    list.SetSelection(row);
    ClickAt(list, {20, 1 + 18 * row - list.ScrollOffset() + 9});
}

// Clicks a thumbnail, scrolled into view first.
void ClickCell(CThumbnailGrid& grid, int index) {
    grid.ScrollTo(grid.Geometry().Cell(index, 0).y - 6);
    PumpEvents(10);
    ClickAt(grid, CellCentre(grid, index));
}

TEST_F(TextureSectionTest, EveryPatternOffersFactoryPresetsAndAClickLoadsOne) {
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    body->SetTextureLibrary(ShippedLibrary(UserRoot()));
    PumpEvents(50);
    const std::vector<wxString> names = body->Categories()->Names();
    ASSERT_EQ(names.size(), 25u);
    for (int row = 0; row < static_cast<int>(names.size()); ++row) {
        const std::string pattern = names[static_cast<std::size_t>(row)].ToStdString();
        ClickRow(*body->Categories(), row);
        const std::vector<ThumbnailItem> items = body->Grid()->Items();
        ASSERT_GE(items.size(), 3u) << pattern;
        for (const ThumbnailItem& item : items) {
            EXPECT_EQ(item.side, 120) << pattern << " / " << item.caption;
            EXPECT_EQ(item.pixels.size(), 120u * 120u) << pattern << " / " << item.caption;
            EXPECT_FALSE(item.user);
        }
        // A different preset of each pattern, so that every place in the grid is clicked.
        const int index = row % static_cast<int>(items.size());
        const wxString caption = items[static_cast<std::size_t>(index)].caption;
        ClickCell(*body->Grid(), index);
        ASSERT_TRUE(document.procedural) << pattern;
        EXPECT_EQ(document.procedural->Name(), pattern);
        EXPECT_EQ(document.presetName, caption.ToStdWstring());
        EXPECT_EQ(body->Subtitle(), "Procedural preset: " + caption);
        EXPECT_EQ(body->Grid()->SelectedKey(), items[static_cast<std::size_t>(index)].key);
        // The document's texture holds the preset file's values.
        auto expected = mesh::procedural::CreateTexture(pattern);
        ASSERT_TRUE(LoadPreset(std::filesystem::path(RIDGEFORGE_LIBRARY_DIR) / "procedural" / pattern /
                                   (caption.ToStdString() + ".rgpreset"),
                               *expected));
        EXPECT_EQ(document.procedural->values, expected->values) << pattern << " / " << caption;
    }
}

TEST_F(TextureSectionTest, TheShippedLibraryHasSixCategoriesAndAClickLoadsAnImage) {
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    body->SetTextureLibrary(ShippedLibrary(UserRoot()));
    body->SetTab(kTexturesTab);
    PumpEvents(50);
    const std::vector<wxString> categories = body->Categories()->Names();
    ASSERT_GE(categories.size(), 6u);
    for (int row = 0; row < static_cast<int>(categories.size()); ++row) {
        const wxString category = categories[static_cast<std::size_t>(row)];
        ClickRow(*body->Categories(), row);
        const std::vector<ThumbnailItem> items = body->Grid()->Items();
        ASSERT_GE(items.size(), 4u) << category;
        for (const ThumbnailItem& item : items) EXPECT_EQ(item.pixels.size(), 120u * 120u) << item.caption;
        const int index = row % static_cast<int>(items.size());
        const wxString caption = items[static_cast<std::size_t>(index)].caption;
        ClickCell(*body->Grid(), index);
        EXPECT_EQ(std::filesystem::path(document.imagePath),
                  std::filesystem::path(RIDGEFORGE_LIBRARY_DIR) / "textures" / category.ToStdString() /
                      (caption.ToStdString() + ".png"));
        EXPECT_EQ(body->Subtitle(), "Textures > " + category);
        EXPECT_EQ(body->CurrentTab(), kTexturesTab);
    }
    // The thumbnails were made once and kept in the user's cache.
    EXPECT_GE(std::distance(std::filesystem::directory_iterator(UserRoot() / "thumbnails"),
                            std::filesystem::directory_iterator()),
              24);
}

TEST_F(TextureSectionTest, PresetThumbnailsSquareFromTheFileElseRendered) {
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    const wxString name = body->Categories()->Names()[0];
    auto made = mesh::procedural::CreateTexture(name.ToStdString());
    ASSERT_TRUE(made);
    const std::vector<LibraryRoot> roots = LibraryRoots();
    std::filesystem::path square, wide;
    ASSERT_TRUE(SavePreset(roots, *made, "Square", &square));
    ASSERT_TRUE(SavePreset(roots, *made, "wide", &wide));
    // Replace both thumbnails: a 64 x 64 one is taken, a 60 x 30 one is not.
    ASSERT_TRUE(test::WriteBmp24(std::filesystem::path(square).replace_extension(".bmp"), 64, 64,
                                 std::vector<std::uint8_t>(64 * 64 * 3, 200)));
    ASSERT_TRUE(test::WriteBmp24(std::filesystem::path(wide).replace_extension(".bmp"), 60, 30,
                                 std::vector<std::uint8_t>(60 * 30 * 3, 200)));
    body->SetTextureLibrary(roots);
    const std::vector<ThumbnailItem>& items = body->Grid()->Items();
    ASSERT_EQ(items.size(), 2u);
    // Sorted ignoring case: "Square" before "wide".
    EXPECT_EQ(items[0].caption, "Square");
    EXPECT_EQ(items[0].side, 64);
    EXPECT_EQ(items[0].pixels[0], 0xFFC8C8C8u);
    EXPECT_EQ(items[1].side, 120);
    EXPECT_EQ(items[1].pixels.size(), 120u * 120u);
    EXPECT_EQ(items[1].key, name + "|wide");
}

TEST_F(TextureSectionTest, CustomImagesRemovedByRightClickOnlyThere) {
    const std::filesystem::path first = Home() / "pics" / "first.png";
    const std::filesystem::path second = Home() / "pics" / "second.png";
    WriteGreyPng(first, 20, 20);
    WriteGreyPng(second, 20, 20);
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    body->LoadChosenImage(first.string());
    body->LoadChosenImage(second.string());
    EXPECT_EQ(body->Subtitle(), "Your image: " + wxString((Home() / "pics").string()));
    EXPECT_EQ(body->CurrentTab(), kCustomTab);
    // The newest first.
    ASSERT_EQ(body->Grid()->Items().size(), 2u);
    EXPECT_EQ(body->Grid()->Items()[0].caption, "second");
    EXPECT_TRUE(body->LoadButton()->IsShown());

    // A right click elsewhere does nothing.
    body->SetTab(kTexturesTab);
    const std::filesystem::path list = UserRoot() / "custom" / "images.json";
    const std::string before = ReadText(list);
    body->OnGridClick(0, true);
    EXPECT_EQ(ReadText(list), before);

    body->SetTab(kCustomTab);
    PumpEvents(50);
    wxUIActionSimulator simulator;
    simulator.MouseMove(body->Grid()->ClientToScreen(CellCentre(*body->Grid(), 1)));
    PumpEvents(30);
    simulator.MouseClick(wxMOUSE_BTN_RIGHT);
    PumpEvents(60);
    const std::string after = ReadText(list);
    EXPECT_EQ(after.find("first.png"), std::string::npos);
    EXPECT_NE(after.find("second.png"), std::string::npos);
    ASSERT_EQ(body->Grid()->Items().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(first));
}

TEST_F(TextureSectionTest, AListOfYourImagesThatCannotBeSavedIsSaidInTheLog) {
    const std::filesystem::path first = Home() / "pics" / "first.png";
    const std::filesystem::path second = Home() / "pics" / "second.png";
    WriteGreyPng(first, 20, 20);
    WriteGreyPng(second, 20, 20);
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    body->LoadChosenImage(first.string());
    EXPECT_TRUE(document.log.empty());
    const std::filesystem::path list = UserRoot() / "custom" / "images.json";
    const std::string saved = ReadText(list);

    // The image is used all the same; the list on disk stays as it was.
    const CString expected = L"The list of your own images could not be saved: " +
                             wxString::FromUTF8(platform::SystemErrorText(EIO)).ToStdWstring();
    platform::FailSafeWriteRenames(EIO);
    body->LoadChosenImage(second.string());
    platform::ClearSafeWriteHooks();
    EXPECT_EQ(document.imagePath, second.wstring());
    ASSERT_EQ(document.log.size(), 1u);
    EXPECT_EQ(document.log.back().first, expected);
    EXPECT_EQ(document.log.back().second, LogKind::Error);
    EXPECT_EQ(ReadText(list), saved);

    // So is a removal that cannot be saved.
    body->SetTab(kCustomTab);
    ASSERT_EQ(body->Grid()->Items().size(), 1u);
    platform::FailSafeWriteRenames(EIO);
    body->OnGridClick(0, true);
    platform::ClearSafeWriteHooks();
    ASSERT_EQ(document.log.size(), 2u);
    EXPECT_EQ(document.log.back().first, expected);
    EXPECT_EQ(ReadText(list), saved);
}

TEST_F(TextureSectionTest, ListReadFromDiskWithNamesEqualIgnoringCaseShowsTheFirstOnly) {
    const std::filesystem::path upper = Home() / "pics" / "Rock.png";
    const std::filesystem::path lower = Home() / "pics" / "rock.png";
    WriteGreyPng(upper, 20, 20);
    WriteGreyPng(lower, 24, 24);
    std::vector<LibraryRoot> roots = LibraryRoots();
    ASSERT_TRUE(SaveCustomImages(roots, {upper.string(), lower.string()}));
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    body->SetTab(kCustomTab);
    ASSERT_EQ(body->Grid()->Items().size(), 1u);
    body->OnGridClick(0, false);
    EXPECT_EQ(document.imagePath, upper.wstring());
}

TEST_F(TextureSectionTest, PickersSendOnlyWhatTheyShould) {
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    int tabChanges = 0, nameClicks = 0;
    CSegmented& tabs = *body->Tabs();
    tabs.SetChangeCallback([&](int) { ++tabChanges; });
    const wxSize strip = tabs.GetClientSize();
    ClickAt(tabs, {strip.x / 2, strip.y / 2});  // Procedural, already pressed
    EXPECT_EQ(tabChanges, 0);
    ClickAt(tabs, {strip.x / 6, strip.y / 2});
    EXPECT_EQ(tabChanges, 1);
    tabs.Disable();
    tabs.Press({strip.x * 5 / 6, strip.y / 2});
    EXPECT_EQ(tabChanges, 1);

    CNameList& list = *body->Categories();
    list.SetClickCallback([&](int) { ++nameClicks; });
    list.SetNames({"One", "Two"});
    ClickAt(list, {20, 1 + 18 + 9});
    ClickAt(list, {20, 1 + 18 + 9});
    EXPECT_EQ(nameClicks, 2);
    EXPECT_EQ(list.Selection(), 1);
    ClickAt(list, {20, 1 + 2 * 18 + 9});  // below the last name
    EXPECT_EQ(nameClicks, 2);
}

TEST_F(TextureSectionTest, GridKeepsItsScrollForTheSameKeysAndPaintsEmptyThumbnailsGrey) {
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    CThumbnailGrid& grid = *body->Grid();
    const auto items = [](const wxString& prefix) {
        std::vector<ThumbnailItem> list;
        for (int i = 0; i < 20; ++i) list.push_back({prefix + wxString::Format("%d", i), "x", {}, 0, false});
        return list;
    };
    grid.SetItems(items("a"));
    grid.ScrollTo(100);
    ASSERT_EQ(grid.ScrollOffset(), 100);
    grid.SetItems(items("a"));
    EXPECT_EQ(grid.ScrollOffset(), 100);
    grid.SetItems(items("b"));
    EXPECT_EQ(grid.ScrollOffset(), 0);

    PumpEvents(80);
    const wxImage shot = GrabWindow(grid);
    const wxRect cell = grid.Geometry().Cell(0, 0);
    EXPECT_EQ(PixelAt(shot, cell.x + cell.width / 2, cell.y + 5), wxColour(230, 234, 240));
}

TEST_F(TextureSectionTest, SeamMethodOnlyForATiledImageAndOnlyWhenItChanges) {
    const std::filesystem::path file = Home() / "pics" / "wide.png";
    WriteGreyPng(file, 40, 10);
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    EXPECT_FALSE(body->SeamMethod()->IsEnabled());
    body->LoadImageIntoDocument(file.string());
    EXPECT_EQ(body->Subtitle(), "Image from disk");
    EXPECT_EQ(body->CurrentTab(), kProceduralTab);
    EXPECT_TRUE(body->SeamMethod()->IsEnabled());
    EXPECT_TRUE(body->SeamSettingsButton()->IsEnabled());
    EXPECT_FALSE(body->EditButton()->IsEnabled());
    ASSERT_EQ(body->Preview().width, 80);
    ASSERT_EQ(body->Preview().height, 20);

    document.texture.settings.seamlessParameters = "width=3";
    body->SeamMethod()->SetSelection(0);  // "Unchanged", already in force
    body->OnSeamMethodChanged();
    EXPECT_EQ(document.settingsApplied, 0);
    body->SeamMethod()->SetSelection(1);
    body->OnSeamMethodChanged();
    EXPECT_EQ(document.settingsApplied, 1);
    EXPECT_EQ(document.texture.settings.seamlessMethod, "Mirror");
    EXPECT_TRUE(document.texture.settings.seamlessParameters.empty());
    // The preview's right half now runs backwards: column 79 shows column 0.
    const PreviewImage& preview = body->Preview();
    EXPECT_EQ(preview.pixels[79], preview.pixels[0]);
    EXPECT_EQ(preview.pixels[40], preview.pixels[39]);

    mesh::TextureSettings once = document.texture.settings;
    once.tiles = false;
    document.ApplyTextureSettings(once);
    body->UpdateFromDocument(&document);
    EXPECT_FALSE(body->SeamMethod()->IsEnabled());
    EXPECT_FALSE(body->SeamSettingsButton()->IsEnabled());
    EXPECT_EQ(body->Preview().width, 40);

    body->OnSeamlessSettings();
    EXPECT_EQ(frame->commands, (std::vector<CommandId>{32882}));
}

// The preview goes through the levels: a change of the levels alone, from
// the real document, must show, and so must its Undo.
TEST_F(TextureSectionTest, TheDocumentsLevelsChangeAndItsUndoReachThePreview) {
    const std::filesystem::path file = Home() / "pics" / "ramp.png";
    WriteGreyPng(file, 40, 10);
    CRidgeforgeDoc real;
    real.OnTestCube();
    RidgeforgeFlowDocument flow(real);
    SetFlowDocumentSource([&flow]() -> FlowDocument* { return &flow; });
    auto* body = MakeBody<CTextureBody>(FlowStep::Texture, {340, 424});
    ASSERT_TRUE(real.LoadHeightMap(file.wstring()));
    body->UpdateFromDocument(&flow);
    ASSERT_FALSE(body->Preview().Empty());
    const std::vector<std::uint32_t> plain = body->Preview().pixels;
    // Pixel 1 of the ramp is 7 of 255; inverted, 248.
    ASSERT_EQ(plain[1], GreyPixel(7));

    mesh::TextureSettings inverted = real.texture.settings;
    inverted.invert = true;
    real.ApplyTextureSettings(inverted);
    body->UpdateFromDocument(&flow);
    ASSERT_EQ(body->Preview().pixels.size(), plain.size());
    EXPECT_EQ(body->Preview().pixels[1], GreyPixel(248));

    real.OnEditUndo();
    ASSERT_FALSE(real.texture.settings.invert);
    body->UpdateFromDocument(&flow);
    EXPECT_EQ(body->Preview().pixels, plain);
    SetFlowDocumentSource({});
}

}  // namespace
}  // namespace ridgeforge::testing
