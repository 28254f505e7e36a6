// The check commands: Validate (the shown result when it is current,
// otherwise the part) and Check Printability of the shown mesh. Neither
// changes the part.
#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "relief/validation/ValidateMesh.h"

namespace ridgeforge {

namespace {

mesh::ValidationOptions CheckValidation(bool displacedResult) {
    return mesh::ValidationOptions{0.001f, true, displacedResult, 40'000'000};
}

}  // namespace

void CRidgeforgeDoc::Validate() {
    if (!HasPart()) {
        partValidation = mesh::ValidationReport{};
        return;
    }
    document_internal::WaitCursor wait(Host());
    ProcessNow();
    if (!placementToolActive && !printCheckShown && IsResultCurrent()) {
        resultValidation = mesh::ValidateMesh(ShownMesh(), CheckValidation(true));
        resultValidationMesh = &ShownMesh();
        resultValidationSerial = resultSerial;
    } else {
        partValidation = mesh::ValidateMesh(ShownMesh(), CheckValidation(false));
    }
    UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
}

void CRidgeforgeDoc::OnValidate() {
    GuardMemory(L"validate the part", L"Nothing was changed.", [this] {
        ValidateCommand();
        return true;
    });
}

void CRidgeforgeDoc::ValidateCommand() {
    if (Host() != nullptr) Host()->ClearLog();
    Validate();
    if (!HasPart()) return;
    // The same verdict as the Information pane's: with the relief's warnings
    // about the result shown.
    mesh::ValidationReport shown = ShownValidationReport();
    AddReliefCautions(shown);
    LogText(mesh::FormatValidationReport(shown));
    if (Host() != nullptr) Host()->ShowOutputPane();
}

void CRidgeforgeDoc::OnCheckPrintability() {
    GuardMemory(L"check how the part prints", L"Nothing was changed.", [this] {
        CheckPrintabilityCommand();
        return true;
    });
}

void CRidgeforgeDoc::CheckPrintabilityCommand() {
    if (!HasPart()) return;
    document_internal::WaitCursor wait(Host());
    // The check's own starting values, with the part's build axis.
    mesh::PrintabilitySettings settings;
    settings.buildAxis = displacementSettings.base.axis;
    printability = mesh::CheckPrintability(ShownMesh(), settings);
    LogText(mesh::FormatPrintabilityReport(printability));
    UpdateAllViews(nullptr, ViewUpdateHint::PrintCheckFinished);
    if (Host() != nullptr) Host()->ShowOutputPane();

    const mesh::PrintabilityReport& r = printability;
    // A part the check refused has no findings, which must not read as a clean verdict.
    if (!r.checked) {
        ShowInformation(L"Printability " + Utf8ToCString(mesh::PrintabilitySummary(r)) + L".", InfoKind::Problem);
        return;
    }
    CString text = Utf8ToCString(mesh::PrintabilitySummary(r)) + L".";
    if (!r.featuresInAir.empty()) text += L"\nRed: where the support goes - a layer with nothing beneath it.";
    const bool clear = r.featuresInAir.empty() && r.farReaches.empty() && r.laidInAir.empty();
    if (clear) {
        text += L" Every layer has something beneath it and nothing reaches far past the layer below.";
    } else {
        if (!r.farReaches.empty()) {
            text += L"\nOrange: reaching more than 6 mm past the layer below; support recommended.";
        }
        text += L"\nEnable support in the slicer, or move the texture or displace less.";
    }
    ShowInformation(text, clear ? InfoKind::Good : InfoKind::Caution);
}

}  // namespace ridgeforge
