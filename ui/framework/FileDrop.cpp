#include "ui/framework/FileDrop.h"

#include <wx/dnd.h>
#include <wx/window.h>

#include "text/PathText.h"

namespace ridgeforge::ui {
namespace {

class FileDropTarget : public wxFileDropTarget {
public:
    explicit FileDropTarget(FileDropHandler handler) : handler_(std::move(handler)) {}

    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
        std::vector<std::filesystem::path> paths;
        paths.reserve(names.size());
        for (const wxString& name : names) paths.push_back(PathFromWide(name.ToStdWstring()));
        if (handler_) handler_(paths);
        return true;
    }

private:
    FileDropHandler handler_;
};

void Attach(wxWindow& window, const FileDropHandler& handler) {
    window.SetDropTarget(new FileDropTarget(handler));
    for (wxWindow* child : window.GetChildren())
        if (child != nullptr && !child->IsTopLevel()) Attach(*child, handler);
}

}  // namespace

void AcceptFileDrops(wxWindow& root, const FileDropHandler& handler) { Attach(root, handler); }

bool SimulateFileDrop(wxWindow& window, const std::vector<std::filesystem::path>& paths) {
    auto* target = dynamic_cast<wxFileDropTarget*>(window.GetDropTarget());
    if (target == nullptr) return false;
    wxArrayString names;
    for (const auto& path : paths) names.Add(wxString(WideFromPath(path)));
    return target->OnDropFiles(0, 0, names);
}

}  // namespace ridgeforge::ui
