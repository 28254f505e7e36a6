// The "Information" pane: the part's information text in a monospaced,
// read-only box, and below it the outcome of the last command in green, amber
// or red. The message box sizes itself to its wrapped text but never takes
// more than half the pane; an empty message hides it.
//
// Text and message given before the pane's window exists are kept and shown
// when it is created.
#pragma once

#include "document/DocumentHost.h"

#include <wx/font.h>
#include <wx/panel.h>

#include <string>
#include <string_view>

class wxTextCtrl;

namespace ridgeforge {

class CRightPaneDialog : public wxPanel {
public:
    static constexpr int kInformationBoxId = 1000;
    static constexpr int kMessageBoxId = 1058;

    // Two-step: the window comes with Create.
    CRightPaneDialog();
    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

    // `kind` values other than Good and Caution show as a problem.
    void ShowMessage(std::wstring_view text, InfoKind kind);
    void SetInformationText(std::wstring_view text);

    const std::wstring& InformationText() const { return information_; }
    const std::wstring& MessageText() const { return message_; }
    wxTextCtrl* InformationControl() const { return informationBox_; }
    wxTextCtrl* MessageControl() const { return messageBox_; }

    void LayOut();

private:
    wxTextCtrl* informationBox_ = nullptr;
    wxTextCtrl* messageBox_ = nullptr;
    wxFont monospace_;
    std::wstring information_;
    std::wstring message_;
    InfoKind kind_ = InfoKind::Caution;
    wxColour background_;
    wxColour foreground_;
};

class CRightPane : public wxPanel {
public:
    explicit CRightPane(wxWindow* parent, wxWindowID id = 150);
    CRightPaneDialog& Dialog() { return *dialog_; }

private:
    CRightPaneDialog* dialog_ = nullptr;
};

}  // namespace ridgeforge
