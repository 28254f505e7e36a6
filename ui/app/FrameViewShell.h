// What the main frame offers the 3D view: the Information pane, the log,
// the status-bar texts, the wait cursor, the detailed-log switch and the
// profile. The frame hands one to its view before the view makes its
// window, so the view never looks for the application.
#pragma once

#include "ui/view/ViewSinks.h"

namespace ridgeforge {

class CMainFrame;
class CRidgeforgeApp;

class FrameViewShell final : public IViewShell {
public:
    FrameViewShell(CMainFrame& frame, CRidgeforgeApp& app) : frame_(frame), app_(app) {}

    void SetInformationText(const CString& text) override;
    void ShowMessage(const CString& text, InfoKind kind) override;
    CString Message() const override;
    void Log(const CString& text, LogKind kind) override;
    bool DetailedLog() const override;
    void SetToolText(const CString& text) override;
    void SetFrameText(const CString& text) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void ShowInformationPane() override;
    ui::Profile* Profile() const override;

private:
    CMainFrame& frame_;
    CRidgeforgeApp& app_;
};

}  // namespace ridgeforge
