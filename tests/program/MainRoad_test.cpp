// The main road through the desktop program, walked as a person walks it:
// the program starts with a part named on the command line, a procedural
// pattern is chosen in the Texture section, Process is pressed in the
// footer, the result is saved through the check, and the written file is
// read back. Only the keyboard, the mouse and the screen are
// used; a screenshot of every step is kept beside the test's output, and
// with RIDGEFORGE_MANUAL_IMAGES set, the windows of the steps the user
// manual shows are written there as well.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <wx/colour.h>
#include <wx/image.h>

#include "testing/Shapes.h"
#include "tests/program/Desktop.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/support/ui/WxTest.h"

namespace {

using namespace ridgeforge::test::desktop;
namespace fs = std::filesystem;

constexpr float kCubeSide = 20.0f;

// Colours the program draws in: a good line of the Output log, and the
// summary of an export check that found nothing to mend.
const wxColour kLogGood(115, 201, 145);
const wxColour kCheckGood(0, 122, 61);

fs::path ShotsFolder() {
    const char* base = std::getenv("RIDGEFORGE_TEST_TMP");
    return (base != nullptr ? fs::path(base) : fs::temp_directory_path() / "ridgeforge-tests") / "main-road";
}

// Keeps a picture of the whole screen per step, and of one window for the
// manual when asked to.
class StepShots {
public:
    StepShots() : folder_(ShotsFolder()) {
        std::error_code error;
        fs::remove_all(folder_, error);
        fs::create_directories(folder_);
        if (const char* manual = std::getenv("RIDGEFORGE_MANUAL_IMAGES")) {
            manual_ = manual;
            fs::create_directories(manual_);
        }
    }

    const fs::path& Folder() const { return folder_; }

    void Take(const std::string& step, const std::string& window = "", const std::string& manualName = "") {
        Take(step, window.empty() ? wxRect() : Geometry(window), manualName);
    }

    // The manual's picture is `part` of the screen only.
    void Take(const std::string& step, const wxRect& part, const std::string& manualName) {
        const wxRect screen(0, 0, 1280, 800);
        ridgeforge::testing::GrabScreen(screen).SaveFile((folder_ / (step + ".png")).string(), wxBITMAP_TYPE_PNG);
        if (manual_.empty() || part.IsEmpty() || manualName.empty()) return;
        ridgeforge::testing::GrabScreen(wxRect(part).Intersect(screen))
            .SaveFile((manual_ / manualName).string(), wxBITMAP_TYPE_PNG);
    }

private:
    fs::path folder_;
    fs::path manual_;
};

bool Near(const wxImage& image, int x, int y, const wxColour& colour, int tolerance) {
    return std::abs(image.GetRed(x, y) - colour.Red()) <= tolerance &&
           std::abs(image.GetGreen(x, y) - colour.Green()) <= tolerance &&
           std::abs(image.GetBlue(x, y) - colour.Blue()) <= tolerance;
}

// Waits until at least `pixels` pixels of the colour show inside the screen
// rectangle, as an eye waits for a green line.
bool WaitForColour(const wxRect& rect, const wxColour& colour, int pixels, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const wxImage image = ridgeforge::testing::GrabScreen(rect);
        int found = 0;
        for (int y = 0; y < image.GetHeight(); ++y)
            for (int x = 0; x < image.GetWidth(); ++x) found += Near(image, x, y, colour, 4) ? 1 : 0;
        if (found >= pixels) return true;
        Pause(250);
    }
    return false;
}

// Where things are in the main window at 96 DPI: the workflow column is
// the left 340 pixels under the menu bar, its footer the lowest 64 above
// the status bar; the Output pane's text rows run right of the column.
constexpr int kColumnWidth = 340;
constexpr int kMenuBarHeight = 25;
constexpr int kStatusBarHeight = 22;
constexpr int kFooterHeight = 64;

wxRect OutputPane(const wxRect& main) {
    return {main.x + kColumnWidth + 5, main.y + main.height - 125, main.width - kColumnWidth - 10, 100};
}

wxRect WorkflowColumn(const wxRect& main) {
    return {main.x, main.y + kMenuBarHeight, kColumnWidth, main.height - kMenuBarHeight - kStatusBarHeight};
}

wxRect Footer(const wxRect& main) {
    return {main.x, main.y + main.height - kStatusBarHeight - kFooterHeight, kColumnWidth, kFooterHeight};
}

// The centre of the pixels of one colour inside a screen rectangle, in
// screen coordinates; (-1, -1) when there are fewer than `pixels` of them.
wxPoint FindColour(const wxRect& rect, const wxColour& colour, int pixels) {
    const wxImage image = ridgeforge::testing::GrabScreen(rect);
    wxRect found;
    int count = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (Near(image, x, y, colour, 0)) {
                found = count++ == 0 ? wxRect(x, y, 1, 1) : found.Union(wxRect(x, y, 1, 1));
            }
    if (count < pixels) return {-1, -1};
    return {rect.x + found.x + found.width / 2, rect.y + found.y + found.height / 2};
}

// The blue of the footer's Process button while it can be pressed.
const wxColour kProcessReady(58, 123, 213);

// Waits until the footer's Process button can be pressed; its centre in
// screen coordinates, or (-1, -1).
wxPoint WaitForProcessButton(const std::string& main, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const wxPoint button = FindColour(Footer(Geometry(main)), kProcessReady, 500);
        if (button.x >= 0) return button;
        Pause(200);
    }
    return {-1, -1};
}

// Empties the Output log from its context menu, so that the next green
// line can only be the next outcome.
void ClearLog(const std::string& main) {
    const wxRect pane = OutputPane(Geometry(main));
    const wxRect at = Geometry(main);
    Click(main, pane.x - at.x + pane.width / 2, pane.y - at.y + pane.height / 2, 3);
    Keys("Up Return");
}

// Menus are reached by the keyboard after a click on the Information
// pane's caption, where a click changes nothing.
void MenuKeys(const std::string& main, const std::string& keys) {
    const wxRect at = Geometry(main);
    Click(main, at.width - 120, kMenuBarHeight + 10);
    Keys(keys);
}

// The procedural texture dialog is looked at once (the third of the
// Texture menu's patterns is Bricks) and left with Cancel. Then the pattern
// is chosen as the manual tells it: Bricks heads the Texture section's list
// of patterns, and a click on one of the presets that come with the program
// (Rustic bricks, the second thumbnail) puts the texture on the part.
std::string ChooseBricksInTheTextureSection(const std::string& main, StepShots& shots) {
    MenuKeys(main, "alt+t p Down Down Return");
    const std::string dialog = WaitForWindow("^Bricks - Procedural Texture$", 30);
    if (dialog.empty()) return "the procedural texture dialog did not open";
    Pause(500);
    shots.Take("02-procedural-texture", dialog, "procedural-texture.png");
    const wxRect box = Geometry(dialog);
    Click(dialog, box.width - 67, box.height - 33);  // Cancel
    if (!WaitUntilGone("^Bricks - Procedural Texture$", 30))
        return "Cancel did not close the procedural texture dialog";
    if (WaitForProcessButton(main, 1).x >= 0) return "Cancel put the texture on the part";

    // Below the 42-pixel toolbar: "Bricks" in the list of patterns, then
    // its second preset.
    Click(main, 40, 632);
    Click(main, 262, 662);
    if (WaitForProcessButton(main, 20).x < 0) return "the preset did not make the part ready to process";
    Pause(500);
    shots.Take("03-texture-chosen", WorkflowColumn(Geometry(main)), "texture-section.png");
    return "";
}

// The Relief section lies below the Texture section: the column is
// scrolled down to it for a look at its settings, and back.
void LookAtTheReliefSection(const std::string& main, StepShots& shots) {
    Wheel(main, kColumnWidth / 2, 300, 12);
    Pause(500);
    shots.Take("04-relief-section", WorkflowColumn(Geometry(main)), "relief-section.png");
    Wheel(main, kColumnWidth / 2, 300, -12);
}

void PressProcess(const std::string& main) {
    const wxPoint button = WaitForProcessButton(main, 5);
    const wxRect at = Geometry(main);
    Click(main, button.x - at.x, button.y - at.y);
}

// A shown window other than the main one, such as a message box.
std::string WaitForOtherWindow(const std::string& main, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        std::istringstream windows(Shell("xdotool search --onlyvisible --name '.' 2>/dev/null"));
        for (std::string window; std::getline(windows, window);)
            if (window != main) return window;
        Pause(100);
    }
    return "";
}

// Save STL from the File menu's shortcut; the check's green summary, then
// "Save..." at the dialog's lower right, then the file's name typed into
// the file chooser (its Name field has the focus and a suggested name).
std::string SaveThroughTheCheck(const std::string& main, const fs::path& target, StepShots& shots) {
    MenuKeys(main, "ctrl+s");
    const std::string dialog = WaitForWindow("^Save STL$", 30);
    if (dialog.empty()) return "Save STL did not open its dialog";
    if (!WaitForColour(Geometry(dialog), kCheckGood, 20, 180)) {
        shots.Take("07-save-stl-check");
        return "the check did not end in its green summary";
    }
    Pause(300);
    shots.Take("07-save-stl-check", dialog, "save-stl.png");
    const wxRect box = Geometry(dialog);
    Click(dialog, box.width - 138, box.height - 20);
    const std::string chooser = WaitForWindow("^Save STL As$", 30);
    if (chooser.empty()) return "Save... did not ask for the file's name";
    Focus(chooser);
    Keys("ctrl+a");
    Type(target.string());
    shots.Take("08-file-name");
    Keys("Return");
    if (!WaitUntilGone("^Save STL", 60)) return "the save dialogs did not close";
    return "";
}

struct Facets {
    std::vector<std::array<std::array<float, 3>, 3>> corners;
    std::string problem;
};

// A binary STL read by hand: 80 header bytes, the count, 50 bytes a facet.
Facets ReadBinaryStl(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Facets facets;
    if (bytes.size() < 84) {
        facets.problem = "the file is shorter than a binary STL header";
        return facets;
    }
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 80, 4);
    if (bytes.size() != 84 + 50 * static_cast<std::size_t>(count)) {
        facets.problem = "the file's size does not match its facet count";
        return facets;
    }
    facets.corners.resize(count);
    for (std::uint32_t facet = 0; facet < count; ++facet)
        for (int corner = 0; corner < 3; ++corner)
            std::memcpy(facets.corners[facet][static_cast<std::size_t>(corner)].data(),
                        bytes.data() + 84 + 50 * static_cast<std::size_t>(facet) + 12 + 12 * corner, 12);
    return facets;
}

using Point = std::array<float, 3>;

// Closed and manifold, as a slicer needs: every edge, keyed by its two end
// points exactly as written, is used once in each direction.
std::size_t EdgesNotPairedOnce(const Facets& facets) {
    std::map<std::pair<Point, Point>, int> directed;
    for (const auto& facet : facets.corners)
        for (std::size_t corner = 0; corner < 3; ++corner) ++directed[{facet[corner], facet[(corner + 1) % 3]}];
    std::size_t bad = 0;
    for (const auto& [edge, uses] : directed) {
        const auto back = directed.find({edge.second, edge.first});
        if (uses != 1 || back == directed.end() || back->second != 1) ++bad;
    }
    return bad;
}

// How far a point lies from the surface of the cube [0, side]^3.
float DistanceFromCube(const Point& p) {
    bool inside = true;
    for (float c : p) inside = inside && c >= 0.0f && c <= kCubeSide;
    if (inside) {
        float nearest = kCubeSide;
        for (float c : p) nearest = std::min({nearest, c, kCubeSide - c});
        return nearest;
    }
    float squared = 0.0f;
    for (float c : p) {
        const float out = std::max({0.0f, -c, c - kCubeSide});
        squared += out * out;
    }
    return std::sqrt(squared);
}

TEST(MainRoad, APartTexturedProcessedAndSavedThroughTheCheckReadsBackClosedAndRaised) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool is not installed";
    ridgeforge::test::TempDir scratch("main-road");
    const fs::path part = scratch / "cube.stl";
    const auto bytes = ridgeforge::test::BinaryStl(
        ridgeforge::test::FacetsOf(ridgeforge::test::MakeBox({0, 0, 0}, {kCubeSide, kCubeSide, kCubeSide})));
    std::ofstream(part, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const fs::path target = scratch / "cube-bricks.stl";
    StepShots shots;
    std::cout << "Screenshots of the steps: " << shots.Folder().string() << std::endl;
    ::testing::Test::RecordProperty("screenshots", shots.Folder().string());

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file chooser opens in the working folder: the scratch folder
        // shows only the part.
        if (chdir(scratch.Path().c_str()) != 0) _exit(126);
        setenv("XDG_CONFIG_HOME", (scratch.Path() / "config").c_str(), 1);
        setenv("HOME", scratch.Path().c_str(), 1);
        execl(RIDGEFORGE_PROGRAM, RIDGEFORGE_PROGRAM, part.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    EndWhenLeaving ender{child};

    const std::string main = WaitForWindow("^cube.stl - Ruvolta$", 60);
    ASSERT_FALSE(main.empty()) << "no window titled for the part";
    Pause(1500);
    shots.Take("01-part-opened", main, "main-window.png");

    const std::string textureProblem = ChooseBricksInTheTextureSection(main, shots);
    ASSERT_EQ(textureProblem, "");
    LookAtTheReliefSection(main, shots);

    ClearLog(main);
    PressProcess(main);
    Pause(300);
    shots.Take("05-processing");
    const bool processed = WaitForColour(OutputPane(Geometry(main)), kLogGood, 20, 300);
    Pause(800);
    shots.Take("06-processed", main, "processed.png");
    ASSERT_TRUE(processed) << "no good outcome in the Output log after Process";

    const std::string saveProblem = SaveThroughTheCheck(main, target, shots);
    ASSERT_EQ(saveProblem, "");
    Pause(800);
    shots.Take("09-saved", main);

    ASSERT_TRUE(fs::exists(target)) << target;
    const Facets facets = ReadBinaryStl(target);
    ASSERT_EQ(facets.problem, "");
    // A cube has 12 triangles; a relief needs many more.
    EXPECT_GT(facets.corners.size(), 1000u);
    EXPECT_EQ(EdgesNotPairedOnce(facets), 0u);
    std::set<Point> points;
    for (const auto& facet : facets.corners) points.insert(facet.begin(), facet.end());
    std::size_t moved = 0;
    float furthest = 0.0f;
    for (const Point& p : points) {
        const float distance = DistanceFromCube(p);
        moved += distance > 0.05f ? 1 : 0;
        furthest = std::max(furthest, distance);
    }
    // Bricks stand out of their mortar all over the faces: most points are
    // off the cube's faces, and by a printable height.
    EXPECT_GT(moved, points.size() / 2) << moved << " of " << points.size() << " points moved";
    EXPECT_GT(furthest, 0.2f);

    MenuKeys(main, "alt+f x");
    // The texture and the result are not kept in a project: the program
    // asks, and a person who only wanted the STL answers No.
    const std::string question = WaitForOtherWindow(main, 30);
    ASSERT_FALSE(question.empty()) << "Exit did not ask whether to save the project";
    shots.Take("10-save-project-question");
    Focus(question);
    Keys("alt+n");
    EXPECT_EQ(WaitForExit(child, 30), 0);
    ender.child = 0;
}

}  // namespace
