// What the document needs of the program around it: the log and the
// Information pane, the wait cursor, question boxes, the file pickers, the
// three modal dialogs it opens and reads back, the detailed-log flag, opening
// a file as the document, and waiting for a job while the windows paint.
//
// The desktop shell implements this over its windows; the tests implement it
// with a script. The document holds a pointer to one and treats a null
// pointer as a program without a main window: nothing is logged or shown,
// every question is answered Cancel and every dialog is cancelled. All calls
// come from the user-interface thread, except the export dialog's check
// function, which the dialog runs on its own worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "mesh/TriangleMesh.h"
#include "mesh/remesh/RemeshSettings.h"
#include "relief/repair/ExportCleanup.h"
#include "relief/repair/ExportFixes.h"

namespace ridgeforge::mesh::procedural {
class ProceduralTexture;
}

namespace ridgeforge {

// The document's text type: wide, as the windows show it.
using CString = std::wstring;

// How a log line is coloured. Auto lets the log work it out from the wording.
enum class LogKind : std::int32_t { Auto = 0, Plain = 1, Good = 2, Warning = 3, Error = 4 };

// The colour of an Information pane message: green, amber, red.
enum class InfoKind : std::int32_t { Good = 0, Caution = 1, Problem = 2 };

enum class QuestionButtons : std::int32_t { YesNo = 0, YesNoCancel = 1 };
enum class QuestionIcon : std::int32_t { Question = 0, Warning = 1, Information = 2 };
enum class QuestionAnswer : std::int32_t { Yes = 0, No = 1, Cancel = 2 };

// An Open or Save picker. The filter is written as pairs of description and
// patterns separated by '|' and ended by "||", e.g.
// "STL files (*.stl)|*.stl|All files (*.*)|*.*||".
struct FileDialogRequest {
    // Empty: the picker's own title.
    CString title;
    // Without the dot; appended when the chosen name has no extension.
    CString defaultExtension;
    // The proposed file name (no folder).
    CString fileName;
    // Empty: wherever the picker starts by itself.
    CString initialFolder;
    CString filter;
    bool fileMustExist = false;
    bool pathMustExist = false;
    bool overwritePrompt = false;
    bool hideReadOnly = true;
};

// What the export check dialog is given before it opens.
struct ExportDialogRequest {
    const mesh::TriangleMesh* mesh = nullptr;
    float weldTolerance = 0.0f;
    mesh::ExportCleanupOptions cleanup;
    mesh::ExportFixOptions fixes{true, true, true, true, 40, 1.0f};
    std::uint64_t bodyCount = 0;
    // Shown above the report; empty for none.
    CString warning;
    // Runs on the dialog's worker over its final mesh; appends its lines to
    // the text and returns whether every check passed.
    std::function<bool(const mesh::TriangleMesh&, CString&)> check;
};

// What the export check dialog leaves behind when it ends with OK.
struct ExportDialogResult {
    mesh::TriangleMesh mesh;
    mesh::ExportCleanupOptions cleanup;
    mesh::ExportFixOptions fixes{true, true, true, true, 40, 1.0f};
    CString report;
    bool checksPassed = false;
};

class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // The log (Output pane). The kind Auto is worked out by the log from the
    // wording; the line arrives with its timings already handled.
    virtual void AddLogLine(const CString& text, LogKind kind) = 0;
    // Empties the Output pane's list.
    virtual void ClearLog() = 0;
    // Shows the Output pane, activates it and gives it the focus.
    virtual void ShowOutputPane() = 0;
    // The Information pane; "\n" is the line break, an empty text hides the
    // pane's text.
    virtual void ShowInformation(const CString& text, InfoKind kind) = 0;

    // Nested: each Begin is matched by one End.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    virtual QuestionAnswer AskQuestion(const CString& text, QuestionButtons buttons, QuestionIcon icon) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<CString> ChooseFileToOpen(const FileDialogRequest& request) = 0;
    virtual std::optional<CString> ChooseFileToSave(const FileDialogRequest& request) = 0;

    // The export check dialog, modal; true when it ended with OK, and then
    // the result is filled.
    virtual bool RunExportDialog(const ExportDialogRequest& request, ExportDialogResult& result) = 0;
    // The "Remesh Input Mesh" dialog, modal, opened with the document's
    // settings, the part as loaded and the triangle limit (0: none); true on
    // OK with the chosen settings.
    virtual bool RunRemeshInputDialog(const mesh::RemeshSettings& start, const mesh::TriangleMesh& part,
                                      std::uint64_t triangleLimit, mesh::RemeshSettings& chosen) = 0;
    // The "Procedural Texture" dialog, modal, editing the texture in place;
    // true when the user accepted.
    virtual bool RunProceduralTextureDialog(mesh::procedural::ProceduralTexture& texture) = 0;

    // The application's "Detailed Log" switch.
    virtual bool DetailedLog() const = 0;
    // Opens a file as the document the way the application does: it asks the
    // document's SaveModified first, then calls its OnOpenDocument and, when
    // that succeeds, its SetPathName with the path.
    virtual bool OpenDocumentFile(const CString& path) = 0;
    // Lists the file first among the recent files.
    virtual void AddToRecentFiles(const CString& path) = 0;

    // While a job runs on a worker thread: returns once `finished` answers
    // true. Meanwhile the windows keep painting but handle no input, `tick`
    // (when given) runs every few milliseconds, and `stop` is set when the
    // user asks the job to stop (Escape while the main window is in front).
    // The input queued meanwhile is dropped before it returns.
    virtual void WaitForJob(const std::function<bool()>& finished, const std::function<void()>& tick,
                            std::atomic<bool>& stop) = 0;
};

}  // namespace ridgeforge
