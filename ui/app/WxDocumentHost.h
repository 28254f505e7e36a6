// The document's host in the desktop program: its log lines and messages go
// to the main window's panes, its questions and file pickers are the window
// library's, and the application answers for the detailed log, the recent
// files and opening a file. The export check is the Save STL dialog; the
// remesh input and procedural texture dialogs are the real ones.
#pragma once

#include <wx/string.h>

#include "document/DocumentHost.h"

class wxWindow;

namespace ridgeforge {

class CRidgeforgeApp;

class WxDocumentHost : public DocumentHost {
public:
    explicit WxDocumentHost(CRidgeforgeApp& app) : app_(app) {}

    void AddLogLine(const CString& text, LogKind kind) override;
    void ClearLog() override;
    void ShowOutputPane() override;
    void ShowInformation(const CString& text, InfoKind kind) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    QuestionAnswer AskQuestion(const CString& text, QuestionButtons buttons, QuestionIcon icon) override;
    std::optional<CString> ChooseFileToOpen(const FileDialogRequest& request) override;
    std::optional<CString> ChooseFileToSave(const FileDialogRequest& request) override;
    bool RunExportDialog(const ExportDialogRequest& request, ExportDialogResult& result) override;
    bool RunRemeshInputDialog(const mesh::RemeshSettings& start, const mesh::TriangleMesh& part,
                              std::uint64_t triangleLimit, mesh::RemeshSettings& chosen) override;
    bool RunProceduralTextureDialog(mesh::procedural::ProceduralTexture& texture) override;
    bool DetailedLog() const override;
    bool OpenDocumentFile(const CString& path) override;
    void AddToRecentFiles(const CString& path) override;
    void WaitForJob(const std::function<bool()>& finished, const std::function<void()>& tick,
                    std::atomic<bool>& stop) override;

private:
    wxWindow* Parent() const;

    CRidgeforgeApp& app_;
};

// The picker's wildcard for a filter of "description|patterns|...||" pairs
// (the closing "||" dropped).
wxString FileDialogWildcard(const CString& filter);
// The chosen name with ".<extension>" appended when it has no extension.
CString WithDefaultExtension(const CString& path, const CString& extension);

}  // namespace ridgeforge
