// The desktop program: the window library's application running the
// Ruvolta application object.
#include <wx/app.h>
#include <wx/strconv.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Memory.h"
#include "platform/SafeWrite.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/framework/App.h"

namespace {

// The command line's bytes as the process got them: the library's own copy
// has lost a name that is not UTF-8, and letters outside ASCII under the C
// locale.
std::vector<std::string>& RawArguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

class RidgeforgeProgram : public ridgeforge::ui::AppHost {
public:
    RidgeforgeProgram()
        : ridgeforge::ui::AppHost([this] {
              ridgeforge::CRidgeforgeApp::Options options;
              options.makeDocument = &ridgeforge::MakeRidgeforgeDocument;
              std::vector<wxString> kept;
              for (int index = 0; index < argc; ++index) kept.push_back(argv[index]);
              options.arguments = ridgeforge::ui::ProgramArguments(RawArguments(), kept);
              return std::make_unique<ridgeforge::CRidgeforgeApp>(std::move(options));
          }) {
        // Under a file size limit (ulimit -f) a save then fails with "File
        // too large" and says so, instead of the program being killed.
        ridgeforge::platform::IgnoreFileSizeSignal();
    }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(RidgeforgeProgram);

int main(int argc, char** argv) {
    // Before anything else: a restart keeps the process, its arguments and
    // its environment, and adds only the request for huge pages.
    ridgeforge::platform::RestartAskingForHugePages(argv);
    // As the library's own main does: a release build shows no assertion
    // dialogs, which would stop the window until someone answers them.
    wxDISABLE_DEBUG_SUPPORT();
    RawArguments().assign(argv, argv + argc);
    // The library would drop a name its locale conversion refuses with a
    // warning that it is ignored; it is not (ProgramArguments takes it from
    // the bytes), so the library does not see it at all.
    std::vector<char*> forLibrary;
    for (int index = 0; index < argc; ++index)
        if (index == 0 || wxConvLocal.cMB2WC(argv[index]).data() != nullptr) forLibrary.push_back(argv[index]);
    int count = static_cast<int>(forLibrary.size());
    forLibrary.push_back(nullptr);
    return wxEntry(count, forLibrary.data());
}
