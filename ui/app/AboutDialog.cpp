#include "ui/app/AboutDialog.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "ui/app/RidgeforgeApp.h"
#include "ui/framework/Dpi.h"
#include "ui/framework/Paint.h"

namespace ridgeforge {

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Ruvolta") {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    const int iconSize = ui::ScaleDip(32, this);
    if (const wxImage* icon = ui::LoadIconImage("app")) {
        row->Add(new wxStaticBitmap(this, wxID_ANY, wxBitmap(icon->Scale(iconSize, iconSize, wxIMAGE_QUALITY_BICUBIC))),
                 0, wxALL, ui::ScaleDip(10, this));
    }
    row->Add(new wxStaticText(this, kVersionLineId, wxString(CRidgeforgeApp::VersionLine().c_str())), 1,
             wxALIGN_CENTER_VERTICAL | wxALL, ui::ScaleDip(10, this));
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(row, 1, wxEXPAND);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    ok->SetDefault();
    column->Add(ok, 0, wxALIGN_RIGHT | wxALL, ui::ScaleDip(10, this));
    SetSizerAndFit(column);
    CentreOnParent();
}

}  // namespace ridgeforge
