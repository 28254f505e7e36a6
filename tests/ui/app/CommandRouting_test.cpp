#include <gtest/gtest.h>
#include <wx/textctrl.h>

#include <cstdlib>
#include <string>

#include "ui/commands/CommandIds.h"
#include "tests/ui/app/StandInView.h"
#include "ui/framework/Commands.h"
#include "tests/ui/app/ShellFixture.h"

namespace ridgeforge::testing {
namespace {

// A view whose table handles the camera reset and Stop, and claims About
// and Undo (also the application's and the document's) to show who comes
// first.
class CountingView : public CViewArea {
public:
    CountingView() {
        commands_.Add(ID_VIEW_RESET, [this](CommandId) { ++resets; });
        commands_.Add(ID_STOP_PROCESSING, [this](CommandId) { ++stops; });
        commands_.Add(ID_APP_ABOUT, [this](CommandId) { ++abouts; });
        commands_.Add(
            ID_EDIT_UNDO, [this](CommandId) { ++undos; },
            [](CommandId, CommandState& state) {
                state.enabled = false;
                state.checked = true;
            });
    }
    int resets = 0;
    int stops = 0;
    int abouts = 0;
    int undos = 0;
};

class CommandRoutingTest : public ShellTest {
protected:
    CommandRoutingTest() {
        makeView_ = [this] {
            auto view = std::make_unique<CountingView>();
            view_ = view.get();
            return view;
        };
    }
    CountingView* view_ = nullptr;
};

// View first, then document, frame, application; an update comes from the
// same table as the command; a command no table knows is disabled.
TEST_F(CommandRoutingTest, ViewDocumentFrameApplicationInOrder) {
    ASSERT_TRUE(Start());
    int documentNew = 0;
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_APP_ABOUT));  // the view's, so no modal box
    EXPECT_EQ(view_->abouts, 1);
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_EDIT_UNDO));
    EXPECT_EQ(view_->undos, 1);
    const CommandState undo = ui::QueryCommand(Frame(), ID_EDIT_UNDO);
    EXPECT_FALSE(undo.enabled);
    EXPECT_TRUE(undo.checked);

    // The application's New reaches the document.
    documentNew = Document().newDocuments;
    EXPECT_TRUE(ui::SendCommand(&Frame(), ID_FILE_NEW));
    EXPECT_EQ(Document().newDocuments, documentNew + 1);
    EXPECT_TRUE(ui::QueryCommand(Frame(), ID_FILE_NEW).enabled);

    // Nobody's: disabled, and sending it does nothing.
    EXPECT_FALSE(ui::QueryCommand(Frame(), ID_VIEW_ISOMETRIC).enabled);
    EXPECT_FALSE(ui::SendCommand(&Frame(), ID_VIEW_ISOMETRIC));
    EXPECT_TRUE(ui::QueryCommand(Frame(), ID_APP_EXIT).enabled);

    // A posted command runs after the current event.
    ui::PostCommand(&Frame(), ID_VIEW_RESET);
    EXPECT_EQ(view_->resets, 0);
    PumpEvents(50);
    EXPECT_EQ(view_->resets, 1);
}

void Key(const char* keys) {
    const std::string command = std::string("xdotool key --delay 30 ") + keys;
    ASSERT_EQ(std::system(command.c_str()), 0);
    PumpEvents(250);
}

// Home, F and Escape belong to a text field that has the focus; elsewhere
// Home and F reset the camera and Escape stops processing. Keys come from
// the X server as a person's would.
TEST_F(CommandRoutingTest, PlainKeysIgnoredWhileATextFieldHasFocus) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
    ASSERT_TRUE(Start());
    auto* field = new wxTextCtrl(Frame().LeftPane().Content(), wxID_ANY, "", wxPoint(10, 10), wxSize(200, -1));
    Frame().Raise();
    PumpEvents(200);
    const wxPoint centre = field->ClientToScreen(wxPoint(20, 10));
    ASSERT_EQ(
        std::system(
            ("xdotool mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y) + " click 1").c_str()),
        0);
    PumpEvents(200);
    field->SetFocus();
    PumpEvents(100);
    ASSERT_TRUE(ui::TextFieldHasFocus());
    Key("f Home Escape");
    EXPECT_EQ(field->GetValue(), "f");
    EXPECT_EQ(view_->resets, 0);
    EXPECT_EQ(view_->stops, 0);

    Frame().ViewArea().SetFocus();
    PumpEvents(100);
    ASSERT_FALSE(ui::TextFieldHasFocus());
    Key("f");
    EXPECT_EQ(view_->resets, 1);
    Key("Home");
    EXPECT_EQ(view_->resets, 2);
    Key("Escape");
    EXPECT_EQ(view_->stops, 1);
    Key("shift+f");  // F only without modifiers
    EXPECT_EQ(view_->resets, 2);
}

}  // namespace
}  // namespace ridgeforge::testing
