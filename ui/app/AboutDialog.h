// The About box: the application's icon, the version line and OK.
#pragma once

#include <wx/dialog.h>

namespace ridgeforge {

class CAboutDlg : public wxDialog {
public:
    // The version line's control id.
    static constexpr int kVersionLineId = 1248;
    explicit CAboutDlg(wxWindow* parent);
};

}  // namespace ridgeforge
