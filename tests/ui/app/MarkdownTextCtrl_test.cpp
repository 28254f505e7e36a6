// The help viewer on screen: what it draws, how it scrolls, what a selection
// looks like and what reaches the clipboard. Mouse, wheel and keys arrive as
// the window system's events would.
#include "ui/app/MarkdownTextCtrl.h"

#include <gtest/gtest.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/frame.h>
#include <wx/uiaction.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>

#include "tests/support/ui/WxTest.h"

namespace ridgeforge {
namespace {

using ridgeforge::testing::GrabWindow;
using ridgeforge::testing::PumpEvents;
using ridgeforge::testing::PumpUntil;

const wxColour kWhite(255, 255, 255);
const wxColour kInk(28, 32, 38);

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = new wxFrame(nullptr, wxID_ANY, "viewer", wxPoint(40, 30), wxSize(420, 300));
        viewer_ = new CMarkdownTextCtrl(frame_, wxID_ANY, wxPoint(0, 0), frame_->GetClientSize());
        viewer_->SetBackgroundColor(kWhite);
        viewer_->SetTextColor(kInk);
        frame_->Show();
        PumpEvents(200);
    }
    void TearDown() override {
        frame_->Destroy();
        PumpEvents(50);
    }

    void Show(const std::wstring& page) {
        viewer_->SetMarkdown(page);
        viewer_->Refresh();
        ASSERT_TRUE(PumpUntil([&] { return !viewer_->IsLayoutOutOfDate(); }));
        PumpEvents(150);
    }

    void Send(wxEvent& event) {
        event.SetEventObject(viewer_);
        viewer_->GetEventHandler()->ProcessEvent(event);
    }
    void Wheel(int rotation) {
        wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
        wheel.m_wheelRotation = rotation;
        wheel.m_wheelDelta = 120;
        wheel.m_wheelAxis = wxMOUSE_WHEEL_VERTICAL;
        Send(wheel);
    }
    void Key(int code, bool control = false) {
        wxKeyEvent key(wxEVT_KEY_DOWN);
        key.m_keyCode = code;
        key.m_controlDown = control;
        Send(key);
    }
    void Mouse(wxEventType type, wxPoint point, bool leftDown) {
        wxMouseEvent mouse(type);
        mouse.m_x = point.x;
        mouse.m_y = point.y;
        mouse.m_leftDown = leftDown;
        Send(mouse);
    }

    // The client point of a character on a line, a third of the way into it.
    wxPoint PointOf(int line, int character) {
        const auto& layout = viewer_->GetLayout();
        const int y = ui::ScaleDip(10, static_cast<unsigned>(viewer_->GetDpi())) - viewer_->GetScrollPosition() +
                      layout.lineTops[line] + layout.lines[line].height / 2;
        for (int x = 0; x < viewer_->GetClientSize().x; ++x)
            if (viewer_->HitTestPosition(wxPoint(x, y)).character > character) return wxPoint(x - 3, y);
        return wxPoint(0, y);
    }

    int CountPixels(const wxImage& image, const std::function<bool(int, int, int)>& match, wxRect area) {
        int count = 0;
        area.Intersect(wxRect(0, 0, image.GetWidth(), image.GetHeight()));
        for (int y = area.GetTop(); y <= area.GetBottom(); ++y)
            for (int x = area.GetLeft(); x <= area.GetRight(); ++x)
                if (match(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y))) ++count;
        return count;
    }

    // The rows of a line on screen, across the whole width.
    wxRect LineArea(int line) {
        const auto& layout = viewer_->GetLayout();
        const int top = ui::ScaleDip(10, static_cast<unsigned>(viewer_->GetDpi())) - viewer_->GetScrollPosition() +
                        layout.lineTops[line];
        return wxRect(0, top, viewer_->GetClientSize().x, layout.lines[line].height);
    }

    static std::wstring ClipboardText() {
        wxTextDataObject data;
        if (!wxTheClipboard->Open()) return L"<no clipboard>";
        const bool got = wxTheClipboard->GetData(data);
        wxTheClipboard->Close();
        return got ? data.GetText().ToStdWstring() : L"<empty>";
    }

    std::wstring LongPage() {
        std::wstring page;
        for (int i = 1; i <= 60; ++i) page += L"Line " + std::to_wstring(i) + L"\n\n";
        return page;
    }

    wxFrame* frame_ = nullptr;
    CMarkdownTextCtrl* viewer_ = nullptr;
};

TEST_F(ViewerTest, DrawsThePageWithoutABarWhenItFits) {
    Show(L"# Title\n\nplain words\n\n> quoted\n\n```\ncode here\n```\n");
    const auto& lines = viewer_->GetLayout().lines;
    ASSERT_EQ(lines.size(), 7u);  // title, blank, words, blank, quote, blank, code
    EXPECT_FALSE(viewer_->GetScrollBar()->IsShown());
    EXPECT_GT(viewer_->GetBodyLineHeight(), 10);
    EXPECT_GT(lines[0].height, lines[2].height);  // the heading font is larger

    const wxImage shot = GrabWindow(*viewer_);
    ASSERT_TRUE(shot.IsOk());
    const auto ink = [](int r, int g, int b) { return r < 90 && g < 90 && b < 90; };
    const auto white = [](int r, int g, int b) { return r == 255 && g == 255 && b == 255; };
    EXPECT_GT(CountPixels(shot, ink, LineArea(0)), 40);  // the heading's letters
    EXPECT_GT(CountPixels(shot, ink, LineArea(2)), 20);
    EXPECT_EQ(CountPixels(shot, ink, LineArea(1)), 0);  // the blank line
    // Nothing drawn left of the left margin (14), and the page's foot is background.
    EXPECT_EQ(CountPixels(shot, ink, wxRect(0, 0, 13, shot.GetHeight())), 0);
    const wxRect foot(0, shot.GetHeight() - 20, shot.GetWidth(), 20);
    EXPECT_EQ(CountPixels(shot, white, foot), foot.width * foot.height);
    // The quote's bar, 3 pixels wide at 16..18, in its own blue.
    const auto bar = [](int r, int g, int b) { return r == 99 && g == 138 && b == 196; };
    const wxRect quote = LineArea(4);
    EXPECT_EQ(CountPixels(shot, bar, wxRect(16, quote.y + 1, 3, quote.height - 2)), 3 * (quote.height - 2));
    EXPECT_EQ(CountPixels(shot, bar, wxRect(0, 0, 16, shot.GetHeight())), 0);
    // Code is drawn in light blue, not in the ink colour.
    const auto blue = [](int r, int g, int b) { return b > 200 && g > r + 20 && r < 200; };
    EXPECT_GT(CountPixels(shot, blue, LineArea(6)), 10);
    EXPECT_EQ(CountPixels(shot, ink, LineArea(6)), 0);

    // Content that fits does not scroll by wheel or keys.
    Wheel(-360);
    Key(WXK_END);
    Key(WXK_PAGEDOWN);
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);
}

TEST_F(ViewerTest, ScrollsByWheelNotchesKeysAndBar) {
    Show(LongPage());
    ASSERT_TRUE(viewer_->GetScrollBar()->IsShown());
    const int line = viewer_->GetBodyLineHeight();
    const int client = viewer_->GetClientSize().y;
    const int most = viewer_->GetTotalHeight() - client;
    ASSERT_GT(most, 12 * line);
    const wxImage top = GrabWindow(*viewer_);

    Wheel(-360);  // three notches down
    EXPECT_EQ(viewer_->GetScrollPosition(), 9 * line);
    PumpEvents(150);
    const wxImage scrolled = GrabWindow(*viewer_);
    EXPECT_NE(std::memcmp(top.GetData(), scrolled.GetData(), 3 * top.GetWidth() * top.GetHeight()), 0);
    EXPECT_EQ(viewer_->GetScrollBar()->GetThumbPosition(), 9 * line);
    Wheel(240);
    EXPECT_EQ(viewer_->GetScrollPosition(), 3 * line);

    viewer_->ScrollTo(0);
    Wheel(-60);
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);
    Wheel(-60);  // two halves in the same direction make a notch
    EXPECT_EQ(viewer_->GetScrollPosition(), 3 * line);
    viewer_->ScrollTo(0);
    Wheel(-60);
    Wheel(60);  // a half each way cancels
    Wheel(-60);
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);
    Wheel(120);  // never above the top
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);

    Key(WXK_END);
    EXPECT_EQ(viewer_->GetScrollPosition(), most);
    Key(WXK_DOWN);  // never past the end
    EXPECT_EQ(viewer_->GetScrollPosition(), most);
    Key(WXK_HOME);
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);
    Key(WXK_DOWN);
    EXPECT_EQ(viewer_->GetScrollPosition(), line);
    Key(WXK_PAGEDOWN);
    EXPECT_EQ(viewer_->GetScrollPosition(), line + std::max(line, client - line));
    Key(WXK_PAGEUP);
    Key(WXK_UP);
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);

    wxScrollBar* bar = viewer_->GetScrollBar();
    const auto scroll = [&](wxEventType type, int position) {
        wxScrollEvent event(type, CMarkdownTextCtrl::kScrollBarId, position, wxVERTICAL);
        event.SetEventObject(bar);
        bar->GetEventHandler()->ProcessEvent(event);
    };
    scroll(wxEVT_SCROLL_THUMBTRACK, 100);
    EXPECT_EQ(viewer_->GetScrollPosition(), 100);
    scroll(wxEVT_SCROLL_LINEDOWN, 0);
    EXPECT_EQ(viewer_->GetScrollPosition(), 100 + line);
    scroll(wxEVT_SCROLL_PAGEUP, 0);
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);
    scroll(wxEVT_SCROLL_BOTTOM, 0);
    EXPECT_EQ(viewer_->GetScrollPosition(), most);

    // A new page starts at the top; a page that fits hides the bar again.
    Show(L"short");
    EXPECT_EQ(viewer_->GetScrollPosition(), 0);
    EXPECT_FALSE(viewer_->GetScrollBar()->IsShown());
}

TEST_F(ViewerTest, DoubleClickSelectsAWordAndShowsIt) {
    Show(L"alpha beta gamma\n\n| h1 | h2 |\n|---|---|\n| a | b |\n");
    const auto selection = [&] { return viewer_->GetSelectedText(); };
    const auto selected = [](int r, int g, int b) { return r == 204 && g == 228 && b == 247; };
    EXPECT_EQ(CountPixels(GrabWindow(*viewer_), selected, LineArea(0)), 0);

    // Two presses close in time and place are a double click.
    const wxPoint beta = PointOf(0, 7);
    Mouse(wxEVT_LEFT_DOWN, beta, true);
    Mouse(wxEVT_LEFT_UP, beta, false);
    EXPECT_EQ(selection(), L"");
    Mouse(wxEVT_LEFT_DOWN, beta, true);
    Mouse(wxEVT_LEFT_UP, beta, false);
    EXPECT_EQ(selection(), L"beta");
    PumpEvents(150);
    const wxImage shot = GrabWindow(*viewer_);
    EXPECT_GT(CountPixels(shot, selected, LineArea(0)), 100);
    EXPECT_EQ(CountPixels(shot, selected, LineArea(2)), 0);

    // The window system's own double-click event does the same; on a table row it takes the row.
    viewer_->ClearSelection();
    Mouse(wxEVT_LEFT_DCLICK, PointOf(3, 0), true);
    EXPECT_EQ(selection(), L"a\tb");
    Mouse(wxEVT_LEFT_DCLICK, PointOf(0, 5), true);  // the space between words
    EXPECT_EQ(selection(), L"");                    // a lone space is trimmed from what is copied
    EXPECT_EQ(viewer_->GetSelection().Ordered().first.character, 5);
    EXPECT_EQ(viewer_->GetSelection().Ordered().second.character, 6);
}

TEST_F(ViewerTest, DragSelectsAndCopyReachesTheClipboard) {
    Show(L"alpha beta gamma\n\nsecond paragraph\n\n| h1 | h2 |\n|---|---|\n| a | b |\n\n```\nend   \n```\n");
    EXPECT_FALSE(viewer_->BuildContextMenu()->IsEnabled(CMarkdownTextCtrl::kMenuCopy));
    Key('C', true);  // nothing selected: nothing copied
    EXPECT_FALSE(viewer_->CopySelection());

    // Press in "beta", drag into "second", let go.
    Mouse(wxEVT_LEFT_DOWN, PointOf(0, 6), true);
    Mouse(wxEVT_MOTION, PointOf(2, 2), true);
    Mouse(wxEVT_LEFT_UP, PointOf(2, 2), false);
    EXPECT_EQ(viewer_->GetSelectedText(), L"beta gamma\r\n\r\nse");
    EXPECT_TRUE(viewer_->BuildContextMenu()->IsEnabled(CMarkdownTextCtrl::kMenuCopy));
    Key('C', true);
    EXPECT_EQ(ClipboardText(), L"beta gamma\n\nse");

    // A move after the button went up ends the drag without changing the selection.
    Mouse(wxEVT_MOTION, PointOf(4, 0), false);
    EXPECT_EQ(viewer_->GetSelectedText(), L"beta gamma\r\n\r\nse");

    Key('A', true);
    Key(WXK_INSERT, true);
    EXPECT_EQ(ClipboardText(), L"alpha beta gamma\n\nsecond paragraph\n\nh1\th2\na\tb\n\nend");

    // A plain click clears the selection; a resize does too.
    Mouse(wxEVT_LEFT_DOWN, PointOf(0, 1), true);
    Mouse(wxEVT_LEFT_UP, PointOf(0, 1), false);
    EXPECT_FALSE(viewer_->GetSelection().Exists());
    viewer_->SelectAll();
    frame_->SetSize(wxSize(400, 300));
    PumpEvents(100);
    EXPECT_FALSE(viewer_->GetSelection().Exists());
}

TEST_F(ViewerTest, DraggingBelowTheEdgeKeepsScrolling) {
    Show(LongPage());
    const int line = viewer_->GetBodyLineHeight();
    const int client = viewer_->GetClientSize().y;
    Mouse(wxEVT_LEFT_DOWN, PointOf(0, 1), true);
    const auto start = std::chrono::steady_clock::now();
    Mouse(wxEVT_MOTION, wxPoint(40, client + 200), true);  // far below: the fastest step
    ASSERT_TRUE(PumpUntil([&] { return viewer_->GetScrollPosition() >= 6 * line; }, 3000));
    const auto ticks =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() /
        CMarkdownTextCtrl::kAutoScrollMilliseconds;
    EXPECT_LE(viewer_->GetScrollPosition(), (ticks + 1) * 3 * line);
    const TextPosition caret = viewer_->GetSelection().caret;
    EXPECT_GT(caret.line, 0);

    Mouse(wxEVT_LEFT_UP, wxPoint(40, client + 200), false);
    const int stopped = viewer_->GetScrollPosition();
    PumpEvents(200);
    EXPECT_EQ(viewer_->GetScrollPosition(), stopped);
    EXPECT_TRUE(viewer_->GetSelection().Exists());
}

// Real input through the X server: the pointer double-clicks a word, drags
// across a line, and Ctrl+A, Ctrl+C go to the window under the pointer.
TEST_F(ViewerTest, PointerAndKeyboardFromTheWindowSystem) {
    Show(L"alpha beta gamma\n\nsecond line here   \n");
    frame_->Raise();
    PumpEvents(100);
    wxUIActionSimulator input;
    const auto moveTo = [&](wxPoint client) {
        input.MouseMove(viewer_->ClientToScreen(client));
        PumpEvents(60);
    };
    moveTo(PointOf(0, 7));
    input.MouseDblClick();
    ASSERT_TRUE(PumpUntil([&] { return viewer_->GetSelectedText() == L"beta"; }, 2000))
        << "selected: " << wxString(viewer_->GetSelectedText());

    moveTo(PointOf(2, 0));
    PumpEvents(600);  // no double click with the next press
    input.MouseDown();
    PumpEvents(60);
    moveTo(PointOf(2, 5));
    input.MouseUp();
    ASSERT_TRUE(PumpUntil([&] { return viewer_->GetSelectedText() == L"secon"; }, 2000))
        << "selected: " << wxString(viewer_->GetSelectedText());

    input.Char('a', wxMOD_CONTROL);
    input.Char('c', wxMOD_CONTROL);
    ASSERT_TRUE(PumpUntil([&] { return ClipboardText() == L"alpha beta gamma\n\nsecond line here"; }, 2000))
        << "clipboard: " << wxString(ClipboardText());
}

TEST_F(ViewerTest, ADpiChangeLaysOutAgainAndDropsTheSelection) {
    Show(L"some words here");
    viewer_->SelectAll();
    ASSERT_TRUE(viewer_->GetSelection().Exists());
    wxDPIChangedEvent dpi(wxSize(96, 96), wxSize(96, 96));
    Send(dpi);
    EXPECT_FALSE(viewer_->GetSelection().Exists());
    EXPECT_TRUE(viewer_->IsLayoutOutOfDate());
    ASSERT_TRUE(PumpUntil([&] { return !viewer_->IsLayoutOutOfDate(); }));
    ASSERT_EQ(viewer_->GetLayout().lines.size(), 1u);
    EXPECT_EQ(viewer_->GetLayout().lines[0].plainText, L"some words here");
}

}  // namespace
}  // namespace ridgeforge
