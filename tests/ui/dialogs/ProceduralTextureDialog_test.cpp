// The procedural texture dialog on screen: rows made for each kind of
// parameter, the tile choice and preview, the help table, and presets
// loaded, saved and deleted in a temporary library.
#include "ui/dialogs/ProceduralTextureDialog.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/odcombo.h>
#include <wx/settings.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include <memory>

#include "ui/app/MarkdownTextCtrl.h"
#include "ui/dialogs/PresetNameDialog.h"
#include "ui/dialogs/PreviewPicture.h"
#include "textures/procedural/TextureRegistry.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"
#include "textures/Presets.h"

namespace ridgeforge {
namespace {

using mesh::procedural::ParameterDefinition;
using testing::PumpEvents;
using D = CProceduralTextureDialog;

// Every kind of row, an empty range and more parameters than rows.
class KindsTexture final : public mesh::procedural::ProceduralTexture {
public:
    const char* Name() const override { return "Kinds"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override {
        static const std::vector<ParameterDefinition> table = [] {
            std::vector<ParameterDefinition> t = {
                mesh::procedural::IntegerParameter("count", "Count", 0, 20, 7, "How many"),
                mesh::procedural::FloatParameter("depth", "Depth", 0.0f, 2.0f, 0.5f, "How deep", 0.01f),
                mesh::procedural::ChoiceParameter("shape", "Shape", {"Round", "Square", "Star"}, 1, "Which"),
                mesh::procedural::IntegerParameter("fixed", "Fixed", 4, 4, 4, "Cannot change"),
            };
            for (int i = 0; i < 9; ++i)
                t.push_back(mesh::procedural::FloatParameter("extra" + std::to_string(i), "Extra", 0.0f, 1.0f, 0.25f,
                                                             "More", 0.01f));
            return t;
        }();
        return table;
    }
    float Sample(float u, float v) const override { return 0.5f * (u + v) * GetValue("depth"); }
};

class ProceduralDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), wxSize(1200, 780));
        owner_->Show();
    }
    void TearDown() override {
        owner_->Destroy();
        PumpEvents(20);
    }

    template <class T>
    static T* Control(const wxWindow& dialog, int id) {
        return static_cast<T*>(dialog.FindWindow(id));
    }

    wxFrame* owner_ = nullptr;
    test::TempDir dir_{"procedural"};
    std::vector<LibraryRoot> roots_ = {{dir_ / "program", false}, {dir_ / "user", true}};
};

TEST_F(ProceduralDialogTest, PatternThatDoesNotRepeatShowsOneTile) {
    auto penrose = mesh::procedural::CreateTexture("Penrose");
    ASSERT_FALSE(penrose->tileable);
    D dialog(owner_, *penrose, 2, roots_);
    dialog.Open();
    EXPECT_EQ(dialog.GetTitle(), "Penrose - Procedural Texture");
    EXPECT_EQ(Control<wxWindow>(dialog, D::kTitleLine)->GetLabel(), "Penrose");
    auto* tiles = Control<wxChoice>(dialog, D::kTileChoice);
    EXPECT_EQ(tiles->GetSelection(), 0);
    EXPECT_EQ(tiles->GetStringSelection(), "One tile");
    EXPECT_FALSE(tiles->IsEnabled());
    EXPECT_EQ(dialog.TileCount(), 1);
    EXPECT_EQ(dialog.Preview().Side(), 512);
    EXPECT_EQ(dialog.Note(), "This pattern does not repeat: one tile is laid over the whole model.");

    auto bricks = mesh::procedural::CreateTexture("Bricks");
    D tiled(owner_, *bricks, 3, roots_);
    tiled.Open();
    EXPECT_TRUE(Control<wxChoice>(tiled, D::kTileChoice)->IsEnabled());
    EXPECT_EQ(Control<wxChoice>(tiled, D::kTileChoice)->GetStringSelection(), "3 x 3 tiles");
    EXPECT_EQ(tiled.Preview().Side(), 510);
    EXPECT_EQ(tiled.Note(), "This texture is tileable.");
    Control<wxChoice>(tiled, D::kTileChoice)->SetSelection(1);
    tiled.OnTileChoice();
    EXPECT_EQ(tiled.Preview().Side(), 512);
    EXPECT_EQ(tiled.TileCount(), 2);
}

TEST_F(ProceduralDialogTest, EachRowShowsTheControlItsKindNeeds) {
    KindsTexture texture;
    D dialog(owner_, texture, 2, roots_);
    dialog.Open();
    dialog.Show();
    PumpEvents(50);

    // Row 0, Integer 0..20: a field and a slider of 20 steps, a page of 2.
    auto* count = Control<wxSlider>(dialog, D::kFirstSlider);
    EXPECT_TRUE(count->IsShown());
    EXPECT_TRUE(dialog.FindWindow(D::kFirstField)->IsShown());
    EXPECT_FALSE(dialog.FindWindow(D::kFirstCombo)->IsShown());
    EXPECT_FALSE(dialog.FindWindow(D::kFirstCheck)->IsShown());
    EXPECT_EQ(count->GetMax(), 20);
    EXPECT_EQ(count->GetPageSize(), 2);
    EXPECT_EQ(count->GetValue(), 7);
    EXPECT_EQ(Control<wxTextCtrl>(dialog, D::kFirstField)->GetValue(), "7");
    // Row 1, Float: 1000 steps, a page of 100.
    auto* depth = Control<wxSlider>(dialog, D::kFirstSlider + 1);
    EXPECT_EQ(depth->GetMax(), 1000);
    EXPECT_EQ(depth->GetPageSize(), 100);
    EXPECT_EQ(depth->GetValue(), 250);
    // Row 2, Choice: the list with its labels, no field.
    auto* shape = Control<wxChoice>(dialog, D::kFirstCombo + 2);
    EXPECT_TRUE(shape->IsShown());
    EXPECT_FALSE(dialog.FindWindow(D::kFirstField + 2)->IsShown());
    EXPECT_EQ(shape->GetCount(), 3u);
    EXPECT_EQ(shape->GetStringSelection(), "Square");
    // Row 3, an empty range: the slider stays at 0.
    EXPECT_EQ(Control<wxSlider>(dialog, D::kFirstSlider + 3)->GetValue(), 0);
    // Twelve rows only; the thirteenth parameter has none.
    EXPECT_TRUE(dialog.FindWindow(D::kFirstLabel + 11)->IsShown());
    EXPECT_EQ(dialog.FindWindow(D::kFirstLabel + 11)->GetLabel(), "Extra");
    EXPECT_EQ(dialog.FindWindow(D::kFirstSlider + 12), nullptr);

    // The slider writes the value into the field and the preview; the field,
    // typed and read, moves the slider and is shown clamped.
    const std::vector<std::uint32_t> before = dialog.Preview().Pixels();
    depth->SetValue(1000);
    dialog.OnSliderMoved(1);
    EXPECT_EQ(Control<wxTextCtrl>(dialog, D::kFirstField + 1)->GetValue(), "2");
    EXPECT_FLOAT_EQ(texture.GetValue("depth"), 2.0f);
    EXPECT_NE(dialog.Preview().Pixels(), before);
    Control<wxTextCtrl>(dialog, D::kFirstField)->SetValue("55");
    Control<wxTextCtrl>(dialog, D::kFirstField + 1)->SetValue("oops");
    shape->SetSelection(2);
    dialog.ReadControls();
    EXPECT_FLOAT_EQ(texture.GetValue("count"), 20.0f);
    EXPECT_EQ(Control<wxTextCtrl>(dialog, D::kFirstField)->GetValue(), "20");
    EXPECT_EQ(count->GetValue(), 20);
    EXPECT_FLOAT_EQ(texture.GetValue("depth"), 2.0f);
    EXPECT_FLOAT_EQ(texture.GetValue("shape"), 2.0f);
    EXPECT_FLOAT_EQ(texture.GetValue("extra8"), 0.25f);  // no row: kept

    // The last parameter of every texture, "invert", is a toggle: the check
    // box carries the label. (Kinds has 14, so it has no row here; Bricks shows it.)
    auto bricks = mesh::procedural::CreateTexture("Bricks");
    D toggles(owner_, *bricks, 2, roots_);
    toggles.Open();
    const int invertRow = static_cast<int>(bricks->Parameters().size()) - 1;
    ASSERT_LT(invertRow, D::kRows);
    auto* invert = Control<wxCheckBox>(toggles, D::kFirstCheck + invertRow);
    EXPECT_TRUE(invert->IsShown());
    EXPECT_FALSE(toggles.FindWindow(D::kFirstLabel + invertRow)->IsShown());
    EXPECT_EQ(invert->GetLabel(), "Invert");
    EXPECT_FALSE(invert->GetValue());
    invert->SetValue(true);
    toggles.ReadControls();
    EXPECT_FLOAT_EQ(bricks->GetValue("invert"), 1.0f);

    // The help column ends with the parameter table.
    ASSERT_NE(dialog.HelpPane(), nullptr);
    const std::wstring help = dialog.HelpPane()->GetMarkdown();
    EXPECT_NE(help.find(L"\n\n### Kinds\n\n| Setting | Meaning |\n|:--|:--|\n| Count | How many |\n"),
              std::wstring::npos);
}

TEST_F(ProceduralDialogTest, PresetsLoadSaveAndDelete) {
    const std::vector<LibraryRoot> factoryOnly = {{dir_ / "program", true}};
    auto source = mesh::procedural::CreateTexture("Bricks");
    source->SetValue("rows", 3.0f);
    ASSERT_TRUE(SavePreset(factoryOnly, *source, "Classic"));
    source->SetValue("rows", 5.0f);
    ASSERT_TRUE(SavePreset(factoryOnly, *source, "Shared"));
    source->SetValue("rows", 7.0f);
    ASSERT_TRUE(SavePreset(roots_, *source, "Shared"));
    source->SetValue("rows", 9.0f);
    ASSERT_TRUE(SavePreset(roots_, *source, "Mine"));

    auto texture = mesh::procedural::CreateTexture("Bricks");
    D dialog(owner_, *texture, 2, roots_);
    std::vector<wxString> asked;
    bool answer = true;
    dialog.askYesNo = [&](const wxString& title, const wxString& text) {
        asked.push_back(title + ": " + text);
        return answer;
    };
    wxString nameToGive;
    dialog.askPresetName = [&](const wxString&) -> std::optional<wxString> { return nameToGive; };
    dialog.Open();
    auto* list = Control<wxOwnerDrawnComboBox>(dialog, D::kPresetList);
    ASSERT_EQ(list->GetCount(), 4u);
    EXPECT_EQ(list->GetString(0), "Select Preset");
    EXPECT_EQ(list->GetString(1), "Classic");
    EXPECT_EQ(list->GetString(3), "Mine");
    EXPECT_EQ(list->GetSelection(), 0);
    EXPECT_FALSE(dialog.FindWindow(D::kDeletePreset)->IsEnabled());

    // Loading: the values and the note.
    list->SetSelection(3);
    dialog.OnPresetChosen();
    EXPECT_FLOAT_EQ(texture->GetValue("rows"), 9.0f);
    EXPECT_EQ(Control<wxTextCtrl>(dialog, D::kFirstField)->GetValue(), "9");
    EXPECT_EQ(dialog.Note(), "Loaded \"Mine\".");
    EXPECT_TRUE(dialog.FindWindow(D::kDeletePreset)->IsEnabled());

    // Saving under a factory-only name asks the factory question; No saves nothing.
    nameToGive = "Classic";
    answer = false;
    dialog.OnSavePreset();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Save Preset: A factory preset called \"Classic\" already exists.\n\nSave yours under the same name? "
              "Yours will be used instead, and deleting yours brings the factory one back.");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "user/procedural/Bricks/Classic.rgpreset"));
    // A user's name asks to replace it; a new name asks nothing.
    nameToGive = "Mine";
    dialog.OnSavePreset();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], "Save Preset: A preset called \"Mine\" already exists.\n\nReplace it?");
    nameToGive = "Fresh";
    answer = true;
    texture->SetValue("rows", 11.0f);
    dialog.OnSavePreset();
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(dialog.Note(), "Saved \"Fresh\".");
    ASSERT_NE(dialog.SelectedPreset(), nullptr);
    EXPECT_EQ(dialog.SelectedPreset()->name, "Fresh");
    EXPECT_EQ(list->GetCount(), 5u);
    EXPECT_EQ(list->GetString(3), "Fresh");  // the user's own, by name

    // Deleting your copy of one that has both: the factory's comes back, selected.
    list->SetSelection(2);
    dialog.OnPresetChosen();
    ASSERT_EQ(dialog.SelectedPreset()->name, "Shared");
    dialog.OnDeletePreset();
    EXPECT_EQ(asked.back(), "Delete Preset: Delete your version of \"Shared\"?\n\nThe factory preset comes back.");
    EXPECT_EQ(dialog.Note(), "Deleted yours; the factory preset is back.");
    ASSERT_NE(dialog.SelectedPreset(), nullptr);
    EXPECT_EQ(dialog.SelectedPreset()->name, "Shared");
    EXPECT_EQ(dialog.SelectedPreset()->origin, ItemOrigin::Factory);
    EXPECT_FALSE(dialog.FindWindow(D::kDeletePreset)->IsEnabled());

    // Deleting a user-only preset: gone, and "Select Preset" is selected.
    list->SetSelection(4);
    dialog.OnPresetChosen();
    ASSERT_EQ(dialog.SelectedPreset()->name, "Mine");
    dialog.OnDeletePreset();
    EXPECT_EQ(asked.back(), "Delete Preset: Delete the preset \"Mine\"?");
    EXPECT_EQ(dialog.Note(), "Deleted.");
    EXPECT_EQ(list->GetSelection(), 0);
    EXPECT_EQ(dialog.SelectedPreset(), nullptr);
    EXPECT_EQ(list->GetCount(), 4u);

    // A preset that cannot be read says so and changes nothing.
    test::WriteTextFile(dir_ / "user/procedural/Bricks/Zz broken.rgpreset", "{\"format\": \"something else\"}");
    dialog.FillPresetList("zz BROKEN");
    ASSERT_NE(dialog.SelectedPreset(), nullptr);
    const float rows = texture->GetValue("rows");
    dialog.OnPresetChosen();
    EXPECT_EQ(dialog.Note(), "Could not load that preset: not a Ruvolta preset.");
    EXPECT_FLOAT_EQ(texture->GetValue("rows"), rows);
}

// How an item of the preset list looks: a line above the first of the
// user's own presets when factory ones come before it, cream behind a
// factory-only one, and the thumbnail at the left.
TEST_F(ProceduralDialogTest, PresetItemsAreDrawnWithSeparatorAndThumbnail) {
    const std::vector<LibraryRoot> factoryOnly = {{dir_ / "program", true}};
    auto source = mesh::procedural::CreateTexture("Bricks");
    ASSERT_TRUE(SavePreset(factoryOnly, *source, "Classic"));
    ASSERT_TRUE(SavePreset(roots_, *source, "Mine"));
    ASSERT_TRUE(SavePreset(roots_, *source, "Other"));
    auto texture = mesh::procedural::CreateTexture("Bricks");
    D dialog(owner_, *texture, 2, roots_);
    dialog.Open();
    ASSERT_EQ(dialog.FirstUserOnly(), 1u);

    const wxColour shadow = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
    const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const auto draw = [&](int item, int flags) {
        wxBitmap bitmap(200, 44, 24);
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxRED_BRUSH);
        dc.Clear();
        dialog.DrawPresetItem(dc, wxRect(0, 0, 200, 44), item, flags);
        dc.SelectObject(wxNullBitmap);
        return bitmap.ConvertToImage();
    };
    const auto colourAt = [](const wxImage& image, int x, int y) {
        return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
    };
    const wxImage factory = draw(1, 0);
    EXPECT_EQ(colourAt(factory, 150, 1), D::kFactoryPresetColour);
    EXPECT_EQ(colourAt(factory, 150, 0), D::kFactoryPresetColour);  // no line
    const wxImage firstMine = draw(2, 0);
    EXPECT_EQ(colourAt(firstMine, 150, 0), shadow);
    EXPECT_EQ(colourAt(firstMine, 150, 1), window);
    EXPECT_EQ(colourAt(draw(3, 0), 150, 0), window);                        // only above the first
    EXPECT_EQ(colourAt(draw(2, wxODCB_PAINTING_CONTROL), 150, 0), window);  // not in the field
    // The thumbnail's frame: 40 px at 2 px from the left, centred (2 down).
    EXPECT_EQ(colourAt(firstMine, 2, 20), shadow);
    EXPECT_EQ(colourAt(firstMine, 41, 20), shadow);

    // Without factory presets there is no line.
    std::filesystem::remove(dir_ / "program/procedural/Bricks/Classic.rgpreset");
    dialog.FillPresetList(std::string());
    ASSERT_EQ(dialog.FirstUserOnly(), 0u);
    EXPECT_EQ(colourAt(draw(1, 0), 150, 0), window);
}

// The name dialog opens with the name selected; OK with nothing but blanks
// keeps it open with the focus in the field, and a name is kept trimmed.
TEST_F(ProceduralDialogTest, PresetNameIsAskedAndTrimmed) {
    CPresetNameDialog dialog(owner_);
    dialog.name = "Mine";
    auto* field = Control<wxTextCtrl>(dialog, CPresetNameDialog::kNameField);
    wxString shown;
    long from = -1;
    long to = -1;
    bool stayedOpen = false;
    dialog.CallAfter([&] {
        shown = field->GetValue();
        field->GetSelection(&from, &to);
        field->SetValue("   ");
        wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
        click.SetEventObject(dialog.FindWindow(wxID_OK));
        dialog.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(click);
        stayedOpen = dialog.IsModal();
        field->SetValue("  Fine grain  ");
        dialog.FindWindow(wxID_OK)->GetEventHandler()->ProcessEvent(click);
    });
    ASSERT_EQ(dialog.ShowModal(), wxID_OK);
    EXPECT_EQ(dialog.GetTitle(), "Save Preset");
    EXPECT_EQ(shown, "Mine");
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 4);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialog.name, "Fine grain");
}

}  // namespace
}  // namespace ridgeforge
