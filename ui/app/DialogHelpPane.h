// The help column on the left of a dialog: a Markdown page from the "help"
// folder of the library (the user's copy first, then the one beside the
// program) shown in a read-only viewer. A dialog calls LoadHelpPage with its
// page name and then AddDialogHelpPane once its controls exist.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/app/MarkdownTextCtrl.h"
#include "textures/LibraryItems.h"

class wxDialog;

namespace ridgeforge {

inline constexpr int kHelpPaneId = 32528;

// The page "<name>.md" as text, or a short page saying it was not found
// (missing, hidden by the user, unreadable or empty). A name starting with
// "/" is a file path used as it stands. The file is read afresh every time.
std::wstring LoadHelpPage(std::wstring_view pageName);
std::wstring LoadHelpPage(std::wstring_view pageName, const std::vector<LibraryRoot>& roots);

// Widens the dialog by the column (190 dialog units) and a margin (8 dialog
// units), moves its controls right by as much, centres it on its parent and
// puts the viewer in the column. The dialog owns the viewer as its child;
// null when it could not be made (the dialog still works, without help).
CMarkdownTextCtrl* AddDialogHelpPane(wxDialog& dialog, const std::wstring& markdown);

}  // namespace ridgeforge
