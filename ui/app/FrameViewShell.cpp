// Each call goes straight to the frame's pane or status bar; the frame and
// the application outlive the view's window, which is the frame's child.
#include "ui/app/FrameViewShell.h"

#include <wx/textctrl.h>
#include <wx/utils.h>

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/app/RightPane.h"
#include "text/PathText.h"

namespace ridgeforge {

// A file name's byte that is not UTF-8 shows as U+FFFD, not as an escape.
void FrameViewShell::SetInformationText(const CString& text) {
    frame_.Information().SetInformationText(ShownName(text));
}

void FrameViewShell::ShowMessage(const CString& text, InfoKind kind) {
    frame_.Information().ShowMessage(ShownName(text), kind);
}

CString FrameViewShell::Message() const { return frame_.Information().Message(); }

void FrameViewShell::Log(const CString& text, LogKind kind) { frame_.Log(ShownName(text), kind); }

bool FrameViewShell::DetailedLog() const { return app_.DetailedLog(); }

void FrameViewShell::SetToolText(const CString& text) { frame_.SetToolText(wxString(text.c_str())); }

void FrameViewShell::SetFrameText(const CString& text) { frame_.SetFrameText(wxString(text.c_str())); }

void FrameViewShell::BeginWaitCursor() { wxBeginBusyCursor(); }

void FrameViewShell::EndWaitCursor() { wxEndBusyCursor(); }

void FrameViewShell::ShowInformationPane() {
    if (!frame_.RightPane().IsShown()) {
        frame_.RightPane().Show();
        frame_.Layout();
    }
    if (auto* pane = dynamic_cast<CRightPaneDialog*>(&frame_.Information()))
        if (pane->InformationControl() != nullptr) pane->InformationControl()->SetFocus();
}

ui::Profile* FrameViewShell::Profile() const { return &app_.Profile(); }

}  // namespace ridgeforge
