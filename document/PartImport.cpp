// Bringing a part into the document: an STL file or a built-in test shape,
// adopted as the working part with its reports, and the projection's cage
// fitted around it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "mesh/TestShapes.h"
#include "relief/validation/ValidateMesh.h"

namespace ridgeforge {

namespace {

mesh::ValidationOptions PartValidationOptions() { return mesh::ValidationOptions{0.001f, true, false, 40'000'000}; }

const wchar_t* const kNoMemoryBeforeClearing =
    L"There was not enough memory to open and check this part. Nothing was changed.";
const wchar_t* const kNoMemoryAfterClearing = L"There was not enough memory to open this part. The document is empty.";

}  // namespace

bool CRidgeforgeDoc::ImportPart(const CString& path) {
    bool committed = false;
    try {
        return ReadAndAdoptPart(path, committed);
    } catch (const std::bad_alloc&) {
        // Past the commit the old part is gone and the new one half taken
        // over: an empty document is the one whole state left.
        if (committed) DeleteContents();
        const CString error = committed ? kNoMemoryAfterClearing : kNoMemoryBeforeClearing;
        Log(L"Import failed: " + error, LogKind::Error);
        ShowInformation(L"This file could not be opened.\n" + error, InfoKind::Problem);
        if (committed) UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
        return false;
    }
}

bool CRidgeforgeDoc::ReadAndAdoptPart(const CString& path, bool& committed) {
    document_internal::WaitCursor wait(Host());
    Log(L"Opening " + path, LogKind::Auto);
    const auto start = std::chrono::steady_clock::now();
    mesh::StlImportOptions options;
    options.weld = true;
    options.weldTolerance = -1.0f;
    options.removeDegenerate = true;
    options.removeZeroArea = true;
    options.removeDuplicates = false;
    options.recomputeNormals = true;
    mesh::StlImportResult result = mesh::LoadStlFile(PathFromWide(path), options);
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!result.ok) {
        const CString error = Utf8ToCString(result.error);
        Log(L"Import failed: " + error, LogKind::Error);
        ShowOpenFailure(L"This file could not be opened.\n" + error);
        return false;
    }
    // The check is the costliest step of taking a part over: made before
    // the old part goes, a lack of memory for it leaves the document as it
    // was. (Right after an import the shown mesh is the part as read.)
    mesh::ValidationReport validation = mesh::ValidateMesh(result.mesh, PartValidationOptions());
    committed = true;
    DeleteContents();
    partAsLoaded = std::move(result.mesh);
    orientation = mesh::Transform::Identity();
    importReport = std::move(result.report);
    partName = path;
    LogText(mesh::FormatImportReport(importReport));
    if (DetailedLog()) Log(FormatText("Imported in %.0f ms.", milliseconds), LogKind::Auto);
    AdoptImportedMesh(std::move(validation));
    return true;
}

void CRidgeforgeDoc::AdoptImportedMesh() {
    workingPart = partAsLoaded;
    mesh::ApplyTransform(workingPart, orientation);
    AdoptImportedMesh(mesh::ValidateMesh(workingPart, PartValidationOptions()));
}

void CRidgeforgeDoc::AdoptImportedMesh(mesh::ValidationReport validation) {
    workingPart = partAsLoaded;
    mesh::ApplyTransform(workingPart, orientation);
    pipeline.SetSourceMesh(workingPart);
    printability = mesh::PrintabilityReport{};
    lastShownMesh = nullptr;
    ClearInformationPane();
    RecomputePrintCheck();
    partValidation = std::move(validation);
    LogText(mesh::FormatValidationReport(partValidation));
    FitPlacementToPart();
    // The face on the bed receives no texture.
    projection.box.sideEnabled[5] = false;
    if (HasPart()) document_internal::ProtectBaseAt(displacementSettings.base, workingPart.boundsMin.z);
    OnSettingsChanged();
    ++meshSerial;
    SetModifiedFlag(false);
    StartPlacementHistory();
    UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
}

void CRidgeforgeDoc::LoadTestShape(mesh::TriangleMesh shape, const CString& reportName, const CString& title,
                                   const CString& logLine) {
    DeleteContents();
    partAsLoaded = std::move(shape);
    partAsLoaded.RecomputeBounds();
    partAsLoaded.RecomputeNormals();
    orientation = mesh::Transform::Identity();
    workingPart = partAsLoaded;
    importReport = mesh::StlImportReport{};
    importReport.file = CStringToUtf8(reportName);
    importReport.trianglesRead = importReport.trianglesKept = workingPart.TriangleCount();
    importReport.verticesBeforeWelding = importReport.verticesAfterWelding = workingPart.vertices.size();
    if (workingPart.boundsValid) {
        importReport.dimensions = {workingPart.boundsMax.x - workingPart.boundsMin.x,
                                   workingPart.boundsMax.y - workingPart.boundsMin.y,
                                   workingPart.boundsMax.z - workingPart.boundsMin.z};
    }
    importReport.components = 1;
    partName = title;
    SetTitle(title);
    Log(logLine, LogKind::Auto);
    AdoptImportedMesh();
}

void CRidgeforgeDoc::OnTestCube() {
    LoadTestShape(mesh::MakeTestCube(20.0f), L"Test cube", L"Test Cube", L"Test cube: 20 mm, 12 triangles.");
    testShape = "cube";
}

void CRidgeforgeDoc::OnTestCylinder() {
    mesh::TriangleMesh shape = mesh::MakeTestCylinder(10.0f, 20.0f);
    const CString line = FormatText("Test cylinder: 20 mm across, 20 mm tall, %zu triangles.", shape.TriangleCount());
    LoadTestShape(std::move(shape), L"Test cylinder", L"Test Cylinder", line);
    testShape = "cylinder";
}

void CRidgeforgeDoc::OnTestSphere() {
    mesh::TriangleMesh shape = mesh::MakeTestSphere(10.0f);
    // Resting on the bed rather than centred on it.
    for (mesh::Vertex& vertex : shape.vertices) vertex.position.z += 10.0f;
    const CString line = FormatText("Test sphere: 20 mm across, %zu triangles.", shape.TriangleCount());
    LoadTestShape(std::move(shape), L"Test sphere", L"Test Sphere", line);
    testShape = "sphere";
}

void CRidgeforgeDoc::FitPlacementToPart() {
    if (!HasPart()) return;
    DropUnchangedSnapshot();
    mesh::Vec3f extent{0.0f, 0.0f, 0.0f};
    mesh::Vec3f centre{0.0f, 0.0f, 0.0f};
    if (workingPart.boundsValid) {
        const mesh::Vec3f& lo = workingPart.boundsMin;
        const mesh::Vec3f& hi = workingPart.boundsMax;
        extent = {hi.x - lo.x, hi.y - lo.y, hi.z - lo.z};
        centre = {(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    }
    const float floor = 0.01f * std::max({extent.x, extent.y, extent.z, 1.0f});
    mesh::Vec3f size{std::max(floor, 1.02f * extent.x), std::max(floor, 1.02f * extent.y),
                     std::max(floor, 1.02f * extent.z)};
    mesh::ProjectionCage& cage = projection.cage;
    cage.center = centre;
    cage.rotationDegrees = {0.0f, 0.0f, 0.0f};
    if (projection.type == mesh::ProjectionType::Cylinder) {
        size.x = size.y = std::max(size.x, size.y);
    } else if (projection.type == mesh::ProjectionType::Sphere) {
        size.x = size.y = size.z = std::max({size.x, size.y, size.z});
    } else if (projection.type == mesh::ProjectionType::Plane) {
        switch (projection.plane.axis) {
            case mesh::Axis::X:
                cage.rotationDegrees = {0.0f, 90.0f, 0.0f};
                size = {size.z, size.y, size.x};
                break;
            case mesh::Axis::Y:
                cage.rotationDegrees = {-90.0f, 0.0f, 0.0f};
                size = {size.x, size.z, size.y};
                break;
            case mesh::Axis::Z:
                break;
        }
    }
    cage.size = size;
    FitOneTileToPart();
}

}  // namespace ridgeforge
