// The "Information" pane's content: the part's information text in a
// monospaced, read-only box, and below it the outcome of the last command in
// green, amber or red. The message box sizes itself to its wrapped text but
// never takes more than half the pane; an empty message hides it. The main
// frame writes to it as its IInformationPane.
//
// Text and message given before the window exists are kept and shown when it
// is created.
#pragma once

#include "ui/app/OutputSinks.h"
#include "document/DocumentHost.h"

#include <wx/font.h>
#include <wx/panel.h>

#include <string>
#include <string_view>

class wxTextCtrl;

namespace ridgeforge {

class CRightPaneDialog : public wxPanel, public IInformationPane {
public:
    static constexpr int kInformationBoxId = 1000;
    static constexpr int kMessageBoxId = 1058;

    // Two-step: the window comes with Create.
    CRightPaneDialog();
    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

    // `kind` values other than Good and Caution show as a problem.
    void ShowMessage(const CString& text, InfoKind kind) override;
    CString Message() const override { return message_; }
    InfoKind MessageKind() const override { return kind_; }
    void SetInformationText(const CString& text) override;
    CString InformationText() const override { return information_; }
    // Fonts for the DPI, and the layout again.
    void SetDpi(unsigned dpi) override;

    wxTextCtrl* InformationControl() const { return informationBox_; }
    wxTextCtrl* MessageControl() const { return messageBox_; }

    void LayOut();

private:
    void ApplyFonts(unsigned dpi);

    wxTextCtrl* informationBox_ = nullptr;
    wxTextCtrl* messageBox_ = nullptr;
    std::wstring information_;
    std::wstring message_;
    InfoKind kind_ = InfoKind::Caution;
    wxColour background_;
    wxColour foreground_;
};

}  // namespace ridgeforge
