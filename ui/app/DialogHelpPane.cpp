#include "ui/app/DialogHelpPane.h"

#include <wx/dialog.h>
#include <wx/sizer.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/Files.h"
#include "text/Utf8.h"

namespace ridgeforge {
namespace {

std::wstring MissingPage(const std::string& fileName) {
    return L"# No help yet\n\nThe page `help/" + WideFromUtf8(fileName) + L"` was not found beside the program.";
}

std::filesystem::path FindPage(const std::string& fileName, const std::vector<LibraryRoot>& roots) {
    if (!fileName.empty() && fileName.front() == '/') return std::filesystem::path(fileName);
    return ResolveLibraryItem(roots, "help", fileName);
}

}  // namespace

std::wstring LoadHelpPage(std::wstring_view pageName) { return LoadHelpPage(pageName, LibraryRoots()); }

std::wstring LoadHelpPage(std::wstring_view pageName, const std::vector<LibraryRoot>& roots) {
    const std::string fileName = Utf8FromWide(pageName) + ".md";
    const std::filesystem::path path = FindPage(fileName, roots);
    std::vector<std::uint8_t> bytes;
    if (path.empty() || !platform::ReadWholeFile(path, bytes, platform::kSmallFileBytes) || bytes.empty()) {
        return MissingPage(fileName);
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    text = text.substr(0, text.find('\0'));
    return WideFromUtf8(text);
}

namespace {

// A dialog laid out by a sizer would put its controls back on the next
// layout: its sizer goes to the right of the column instead, which moves
// them by the same amount.
void PlaceBesideSizer(wxDialog& dialog, wxSizer& old, CMarkdownTextCtrl& viewer, int width, int margin) {
    dialog.SetSizer(nullptr, false);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    viewer.SetMinSize(wxSize(width, -1));
    row->Add(&viewer, 0, wxEXPAND | wxLEFT | wxTOP | wxBOTTOM, margin);
    row->Add(&old, 1, wxEXPAND);
    dialog.SetSizer(row, false);
    dialog.Layout();
}

}  // namespace

CMarkdownTextCtrl* AddDialogHelpPane(wxDialog& dialog, const std::wstring& markdown) {
    const wxSize units = dialog.ConvertDialogToPixels(wxSize(190, 8));
    const int width = units.x;
    const int margin = units.y;
    wxSizer* sizer = dialog.GetSizer();
    if (sizer == nullptr) {
        for (wxWindow* child : dialog.GetChildren()) {
            if (child->IsTopLevel()) continue;
            child->Move(child->GetPosition() + wxPoint(width + margin, 0));
        }
    }
    dialog.SetSize(dialog.GetSize() + wxSize(width + margin, 0));
    dialog.CentreOnParent();

    const wxSize client = dialog.GetClientSize();
    auto* viewer = new CMarkdownTextCtrl();
    if (!viewer->Create(&dialog, kHelpPaneId, wxPoint(margin, margin),
                        wxSize(width, std::max(1, client.y - 2 * margin)))) {
        delete viewer;
        return nullptr;
    }
    if (sizer != nullptr) PlaceBesideSizer(dialog, *sizer, *viewer, width, margin);
    viewer->SetBackgroundColor(wxColour(255, 255, 255));
    viewer->SetTextColor(wxColour(28, 32, 38));
    viewer->SetMargins(10, 8, 10, 8);
    viewer->SetMarkdown(markdown);
    viewer->RecalcLayout();
    viewer->Refresh();
    viewer->Update();
    viewer->Raise();
    return viewer;
}

}  // namespace ridgeforge
