#include "ui/app/WxDocumentHost.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <filesystem>

#include "ui/app/MainFrame.h"
#include "ui/app/RidgeforgeApp.h"
#include "ui/dialogs/ExportDialog.h"
#include "ui/dialogs/ProceduralTextureDialog.h"
#include "ui/dialogs/RemeshInputDialog.h"
#include "ui/framework/Profile.h"
#include "ui/framework/WaitLoop.h"
#include "text/PathText.h"

namespace ridgeforge {
namespace {

wxString ToWx(const CString& text) { return wxString(text.c_str()); }

long DialogStyle(const FileDialogRequest& request, bool save) {
    long style = save ? wxFD_SAVE : wxFD_OPEN;
    if (!save && request.fileMustExist) style |= wxFD_FILE_MUST_EXIST;
    if (save && request.overwritePrompt) style |= wxFD_OVERWRITE_PROMPT;
    return style;
}

std::optional<CString> RunFileDialog(wxWindow* parent, const FileDialogRequest& request, bool save) {
    // The folder goes to the toolkit as its bytes; the proposed name is text
    // the person edits, which the toolkit refuses when it is not UTF-8.
    wxFileDialog dialog(parent, request.title.empty() ? wxString(save ? "Save As" : "Open") : ToWx(request.title),
                        ToWx(request.initialFolder), ToWx(ShownName(request.fileName)),
                        FileDialogWildcard(request.filter), DialogStyle(request, save));
    if (dialog.ShowModal() != wxID_OK) return std::nullopt;
    CString path = dialog.GetPath().ToStdWstring();
    if (!request.defaultExtension.empty()) path = WithDefaultExtension(path, request.defaultExtension);
    return path;
}

}  // namespace

wxString FileDialogWildcard(const CString& filter) {
    CString text = filter;
    while (!text.empty() && text.back() == L'|') text.pop_back();
    return ToWx(text);
}

CString WithDefaultExtension(const CString& path, const CString& extension) {
    if (path.empty() || PathFromWide(path).has_extension()) return path;
    return path + L"." + extension;
}

wxWindow* WxDocumentHost::Parent() const { return app_.Frame(); }

// A file name's byte that is not UTF-8 shows as U+FFFD, not as an escape.
void WxDocumentHost::AddLogLine(const CString& text, LogKind kind) {
    if (CMainFrame* frame = app_.Frame()) frame->Log(ShownName(text), kind);
}

void WxDocumentHost::ClearLog() {
    if (CMainFrame* frame = app_.Frame()) frame->OutputLog().Clear();
}

void WxDocumentHost::ShowOutputPane() {
    if (CMainFrame* frame = app_.Frame()) {
        CStaticPane& pane = frame->OutputPane();
        if (!pane.IsShown()) {
            pane.Show();
            frame->Layout();
        }
        // The log list takes the focus, not the pane's caption strip.
        wxWindow* content = pane.Content();
        (content != nullptr ? content : static_cast<wxWindow*>(&pane))->SetFocus();
    }
}

void WxDocumentHost::ShowInformation(const CString& text, InfoKind kind) {
    if (CMainFrame* frame = app_.Frame()) frame->Information().ShowMessage(ShownName(text), kind);
}

void WxDocumentHost::BeginWaitCursor() { wxBeginBusyCursor(); }

void WxDocumentHost::EndWaitCursor() {
    if (wxIsBusy()) wxEndBusyCursor();
}

QuestionAnswer WxDocumentHost::AskQuestion(const CString& text, QuestionButtons buttons, QuestionIcon icon) {
    long style = buttons == QuestionButtons::YesNoCancel ? (wxYES_NO | wxCANCEL) : wxYES_NO;
    style |= icon == QuestionIcon::Warning       ? wxICON_WARNING
             : icon == QuestionIcon::Information ? wxICON_INFORMATION
                                                 : wxICON_QUESTION;
    wxMessageDialog dialog(Parent(), ToWx(text), wxString(CRidgeforgeApp::kAppName), style);
    switch (dialog.ShowModal()) {
        case wxID_YES:
            return QuestionAnswer::Yes;
        case wxID_NO:
            return QuestionAnswer::No;
        default:
            return QuestionAnswer::Cancel;
    }
}

std::optional<CString> WxDocumentHost::ChooseFileToOpen(const FileDialogRequest& request) {
    return RunFileDialog(Parent(), request, false);
}

std::optional<CString> WxDocumentHost::ChooseFileToSave(const FileDialogRequest& request) {
    return RunFileDialog(Parent(), request, true);
}

bool WxDocumentHost::RunExportDialog(const ExportDialogRequest& request, ExportDialogResult& result) {
    return ShowExportDialog(Parent(), request, result, DetailedLog());
}

bool WxDocumentHost::RunRemeshInputDialog(const mesh::RemeshSettings& start, const mesh::TriangleMesh& part,
                                          std::uint64_t triangleLimit, mesh::RemeshSettings& chosen) {
    CRemeshInputDialog dialog(Parent());
    dialog.settings = start;
    dialog.part = &part;
    dialog.triangleLimit = triangleLimit;
    if (dialog.ShowModal() != wxID_OK) return false;
    chosen = dialog.settings;
    return true;
}

bool WxDocumentHost::RunProceduralTextureDialog(mesh::procedural::ProceduralTexture& texture) {
    // The preview opens on two tiles across, as the pattern is usually seen.
    CProceduralTextureDialog dialog(Parent(), texture, 2, GetUserDataFolder());
    return dialog.ShowModal() == wxID_OK;
}

bool WxDocumentHost::DetailedLog() const { return app_.DetailedLog(); }

bool WxDocumentHost::OpenDocumentFile(const CString& path) { return app_.OpenDocumentFile(path); }

void WxDocumentHost::AddToRecentFiles(const CString& path) { app_.Profile().AddRecentFile(PathFromWide(path)); }

void WxDocumentHost::WaitForJob(const std::function<bool()>& finished, const std::function<void()>& tick,
                                std::atomic<bool>& stop) {
    ui::WaitPaintingOnly(finished, stop, app_.Frame(), tick);
    ui::DiscardQueuedInput();
}

}  // namespace ridgeforge
