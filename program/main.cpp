// The desktop program: the window library's application running the
// Ruvolta application object.
#include <wx/app.h>

#include <memory>
#include <string>
#include <vector>

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
          }) {}
};

}  // namespace

wxIMPLEMENT_APP(RidgeforgeProgram);
