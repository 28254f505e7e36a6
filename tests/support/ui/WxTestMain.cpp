// The main of every window test: one wxWidgets application for the whole
// program, as the desktop program has, then the tests.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// A display that is busy for a moment (many test programs starting at once)
// can refuse a connection now and then: wait for it a little rather than fail.
bool WaitForDisplay() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (Display* display = XOpenDisplay(nullptr)) {
            XCloseDisplay(display);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

}  // namespace

// The toolkit's start-up can also fail now and then while other programs
// start on the same display; a second try a moment later succeeds.
static bool StartApplication(int& argc, char** argv) {
    // Errors of a failed try go to stderr: the default target would show them
    // in a modal box at the next try, which no test answers.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    for (int attempt = 0; attempt < 10; ++attempt) {
        wxApp::SetInstance(new wxApp);
        if (wxEntryStart(argc, argv)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!WaitForDisplay() || !StartApplication(argc, argv)) {
        std::fprintf(stderr, "window tests need a display (DISPLAY is not usable)\n");
        return 1;
    }
    wxTheApp->CallOnInit();
    wxInitAllImageHandlers();
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
