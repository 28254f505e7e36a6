// The desktop program: the window library's application running the
// Ruvolta application object.
#include <wx/app.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/SafeWrite.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/framework/App.h"

namespace {

class RidgeforgeProgram : public ridgeforge::ui::AppHost {
public:
    RidgeforgeProgram()
        : ridgeforge::ui::AppHost([this] {
              ridgeforge::CRidgeforgeApp::Options options;
              options.makeDocument = &ridgeforge::MakeRidgeforgeDocument;
              for (int index = 0; index < argc; ++index) options.arguments.push_back(argv[index].ToStdWstring());
              return std::make_unique<ridgeforge::CRidgeforgeApp>(std::move(options));
          }) {
        // Under a file size limit (ulimit -f) a save then fails with "File
        // too large" and says so, instead of the program being killed.
        ridgeforge::platform::IgnoreFileSizeSignal();
    }
};

}  // namespace

wxIMPLEMENT_APP(RidgeforgeProgram);
