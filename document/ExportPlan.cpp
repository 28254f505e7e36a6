// Saving STL: every way of saving goes through one plan. The result is
// brought up to date, the export check dialog cleans, fixes and checks a copy
// of the shown mesh on its own worker, and only the mesh the dialog hands
// back is written. The file dialog comes after the check, so a check the user
// does not like costs no file name.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "mesh/StlExport.h"
#include "text/TextCase.h"

namespace ridgeforge {

namespace {

constexpr wchar_t kStlFilter[] = L"STL Files (*.stl)|*.stl|All Files (*.*)|*.*||";
constexpr wchar_t kAsciiStlFilter[] = L"ASCII STL Files (*.stl)|*.stl|All Files (*.*)|*.*||";

// The cleanup welds within a millionth of the part's reach from the origin,
// so that a part far from the origin still welds what float rounding split.
float ExportWeldTolerance(const mesh::TriangleMesh& mesh) {
    if (!mesh.boundsValid) return 0.0f;
    const float corners[6] = {mesh.boundsMin.x, mesh.boundsMin.y, mesh.boundsMin.z,
                              mesh.boundsMax.x, mesh.boundsMax.y, mesh.boundsMax.z};
    float largest = 0.0f;
    for (const float c : corners) largest = std::max(largest, std::fabs(c));
    return std::max(1e-6f, 1e-6f * largest);
}

// The dialog's report ends its lines in "\r\n"; the log splits on "\n" only.
std::string LogTextOf(const CString& report) {
    std::string utf8 = CStringToUtf8(report);
    std::erase(utf8, '\r');
    return utf8;
}

CString FileNameOf(const CString& path) { return WideFromPath(PathFromWide(path).filename()); }

}  // namespace

bool CRidgeforgeDoc::PrepareExport(ExportPlan& plan) {
    if (!HasPart()) {
        ShowInformation(L"There is no mesh to save.", InfoKind::Good);
        return false;
    }
    ProcessPendingWork();

    ExportDialogRequest request;
    request.mesh = &ShownMesh();
    request.weldTolerance = ExportWeldTolerance(*request.mesh);
    request.cleanup = exportCleanup;
    request.fixes = exportFixes;
    request.bodyCount = mesh::CountBodies(workingPart);
    if (NeedsProcessing()) {
        request.warning = L"The part has not been processed with the current settings (" + ProcessStatusText() +
                          L"). The part as shown is what will be saved.";
    }
    // The check runs on the dialog's worker: it holds a copy of the base
    // settings, never the document.
    request.check = [base = displacementSettings.base](const mesh::TriangleMesh& mesh, CString& text) {
        return ExportCheckReport(mesh, base, text);
    };

    if (Host() == nullptr) return false;
    ExportDialogResult result;
    if (!Host()->RunExportDialog(request, result)) return false;

    exportCleanup = result.cleanup;
    exportFixes = result.fixes;
    LogText(LogTextOf(result.report));
    plan.cleanup = result.cleanup;
    plan.checksPassed = result.checksPassed;
    plan.mesh = std::move(result.mesh);
    return true;
}

bool CRidgeforgeDoc::ExportStl(const CString& path, bool ascii, const ExportPlan& plan) {
    document_internal::WaitCursor wait(Host());
    mesh::StlExportOptions options;
    options.format = ascii ? mesh::StlEncoding::Ascii : mesh::StlEncoding::Binary;
    options.header = CStringToUtf8(FileNameOf(path));
    const mesh::StlExportResult written = mesh::ExportStl(PathFromWide(path), plan.mesh, options);
    if (written.ok) {
        LogText(mesh::FormatExportReport(written.report));
        return true;
    }
    const CString error = Utf8ToCString(written.error);
    Log(L"Export failed: " + error, LogKind::Error);
    ShowInformation(L"This file could not be saved.\n" + error, InfoKind::Problem);
    return false;
}

bool CRidgeforgeDoc::OnSaveDocument(const CString& path) {
    return GuardMemory(L"save", L"Nothing was saved.", [&] { return SaveDocumentTo(path); });
}

bool CRidgeforgeDoc::SaveDocumentTo(const CString& path) {
    if (IsProjectFileName(PathFromWide(path))) return SaveProject(path);
    // Writing over the part's own file must be a choice the user sees.
    if (!partName.empty() && EqualsIgnoringCase(CStringToUtf8(partName), CStringToUtf8(path))) {
        return OnFileSaveStl();
    }
    ExportPlan plan;
    if (!PrepareExport(plan)) return false;
    return ExportStl(path, false, plan);
}

namespace {

// The textured copy is suggested beside the part it came from. A test shape
// has no file, so the picker starts where it starts by itself.
CString PartFolderOf(const CString& partName, const std::string& testShape) {
    if (partName.empty() || !testShape.empty()) return {};
    std::error_code error;
    const std::filesystem::path part = std::filesystem::absolute(PathFromWide(partName), error);
    return error ? CString() : WideFromPath(part.parent_path());
}

FileDialogRequest SaveStlRequest(const CString& partName, const std::string& testShape, bool ascii) {
    FileDialogRequest request;
    request.title = ascii ? L"Save ASCII STL As" : L"Save STL As";
    request.defaultExtension = L"stl";
    request.fileName = partName.empty() ? CString(L"model.stl") : FileNameOf(partName);
    request.initialFolder = PartFolderOf(partName, testShape);
    request.filter = ascii ? kAsciiStlFilter : kStlFilter;
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    return request;
}

}  // namespace

bool CRidgeforgeDoc::OnFileSaveStl() {
    return GuardMemory(L"save", L"Nothing was saved.", [this] { return SaveStlCommand(false); });
}

void CRidgeforgeDoc::OnFileSaveAsciiStl() {
    GuardMemory(L"save", L"Nothing was saved.", [this] { return SaveStlCommand(true); });
}

bool CRidgeforgeDoc::SaveStlCommand(bool ascii) {
    ExportPlan plan;
    if (!PrepareExport(plan) || Host() == nullptr) return false;
    const std::optional<CString> path = Host()->ChooseFileToSave(SaveStlRequest(partName, testShape, ascii));
    return path.has_value() && ExportStl(*path, ascii, plan);
}

}  // namespace ridgeforge
