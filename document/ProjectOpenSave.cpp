// Projects: saving the document (and, when the part was changed after it
// was opened, the part beside the project), opening one back, the project
// commands, and the question before a modified document is closed.
//
// A save never overwrites or deletes a file it did not write in the same
// save: the part goes to the first of " part.stl", " part 2.stl",
// " part 3.stl", ... beside the project where no file exists, and the part of
// an earlier save is kept. Another project may name it (a Save As without a
// change does), and so may the user's own files; a stale part costs disk
// space, a deleted one costs work. Leftovers of saves that were killed are
// passed over like any other file, so they never block a save.
#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/ProjectRanges.h"
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "mesh/StlExport.h"
#include "platform/Files.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge {

namespace fs = std::filesystem;

namespace {

const wchar_t* const kProjectFilter = L"Ruvolta projects (*.rgproj)|*.rgproj|All files (*.*)|*.*||";
const wchar_t* const kStlFilter = L"STL files (*.stl)|*.stl|All files (*.*)|*.*||";

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// The binary STL header of a part written beside a project. A Save STL
// writes the file's own name instead.
constexpr char kBesideProjectHeader[] = "Ruvolta";

// Tried names beyond this many mean a folder no save should go on filling.
constexpr int kMostPartNames = 9999;

fs::path PartCandidate(const fs::path& project, int number) {
    // Here and in ClaimPartFile's message the text is built in a string of
    // its own by appending: GCC 12 at -O3 takes a literal written into a
    // string it cannot see whole for an overlapping copy (-Wrestrict).
    std::string name = project.stem().string();
    name.append(" part");
    if (number != 1) name.append(" ").append(std::to_string(number));
    name.append(".stl");
    return project.parent_path() / name;
}

// The first of "P part.stl", "P part 2.stl", ... that no file (nor link)
// holds, claimed by creating it empty, so that a save of another instance
// running at the same time takes the next one. Empty, with the reason, when
// no name can be claimed.
fs::path ClaimPartFile(const fs::path& project, std::string& reason) {
    for (int number = 1; number <= kMostPartNames; ++number) {
        const fs::path candidate = PartCandidate(project, number);
        if (Exists(candidate)) continue;
        std::string error;
        if (platform::OutputFile::CreateExclusive(candidate, &error).IsOpen()) return candidate;
        if (!Exists(candidate)) {
            reason = error;
            return {};
        }
    }
    std::string taken = "\"";
    taken.append(PartCandidate(project, 1).filename().string())
        .append("\" to \"")
        .append(PartCandidate(project, kMostPartNames).filename().string())
        .append("\" are all taken by other files");
    reason = std::move(taken);
    return {};
}

// What the program itself writes: a rotation (unit rows at right angles) and
// a shift of at most a kilometre. Anything else would scale or tear the part
// instead of turning it, or push it out of reach of float arithmetic.
bool IsPlacement(const mesh::Transform& t) {
    const mesh::Vec3f rows[3] = {t.rowX, t.rowY, t.rowZ};
    const auto dot = [](const mesh::Vec3f& a, const mesh::Vec3f& b) {
        return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z;
    };
    for (int i = 0; i < 3; ++i) {
        for (int j = i; j < 3; ++j) {
            const double expected = i == j ? 1.0 : 0.0;
            if (!(std::fabs(dot(rows[i], rows[j]) - expected) < 1e-3)) return false;
        }
    }
    constexpr float kFarthest = 1.0e6f;
    for (float v : {t.translation.x, t.translation.y, t.translation.z}) {
        if (!(std::fabs(v) <= kFarthest)) return false;
    }
    return true;
}

// The print-check resolutions the program offers.
bool IsOfferedOccupancy(std::int32_t cells) { return cells == 128 || cells == 256 || cells == 512; }

}  // namespace

bool CRidgeforgeDoc::SaveProject(const CString& path) {
    return GuardMemory(L"save the project", L"The project was not saved.", [&] { return SaveProjectFiles(path); });
}

bool CRidgeforgeDoc::SaveProjectFiles(const CString& path) {
    if (!HasPart()) return false;
    const fs::path projectFile = PathFromWide(path);
    ProjectFileData record;
    if (testShape.empty()) record.partPath = partName;
    record.testShape = testShape;

    fs::path written;
    if (partChanged) {
        std::string reason;
        const fs::path chosen = ClaimPartFile(projectFile, reason);
        if (!chosen.empty()) {
            mesh::StlExportOptions options;
            options.format = mesh::StlEncoding::Binary;
            options.header = kBesideProjectHeader;
            const mesh::StlExportResult result = mesh::ExportStl(chosen, partAsLoaded, options);
            if (result.ok) {
                written = chosen;
            } else {
                reason = result.error;
                platform::RemoveFile(chosen);  // the empty file that claimed the name
            }
        }
        if (written.empty()) {
            const CString why = Utf8ToCString(reason);
            Log(L"Project not saved: the changed part could not be written beside it: " + why, LogKind::Error);
            ShowInformation(L"The project could not be saved: the changed part could not be written beside it.\n" + why,
                            InfoKind::Problem);
            return false;
        }
        record.partPath = WideFromPath(written);
        record.testShape.clear();
    }

    PlacementSnapshot snapshot;
    CaptureSnapshot(snapshot);
    record.orientation = snapshot.orientation;
    record.projection = snapshot.projection;
    record.masks = snapshot.maskVolumes;
    record.remesh = snapshot.remesh;
    record.displacement = snapshot.displacement;
    record.simplify = snapshot.simplify;
    record.remeshOn = snapshot.remeshEnabled;
    record.displacementOn = snapshot.displacementEnabled;
    record.simplifyOn = snapshot.simplifyEnabled;
    record.occupancyCells = occupancyCells;
    record.maximumTriangles = snapshot.maximumTriangles;
    record.displayTriangles = snapshot.displayTriangles;
    record.exportCleanup = exportCleanup;
    record.exportFixes = exportFixes;
    record.textureSettings = snapshot.textureSettings;
    if (snapshot.proceduralName.empty()) {
        record.textureImagePath = snapshot.textureImagePath;
    } else {
        record.proceduralPattern = snapshot.proceduralName;
        record.proceduralParameters = snapshot.proceduralParameters;
        record.proceduralPreset = CStringToUtf8(snapshot.proceduralPresetName);
    }

    std::string error;
    if (!WriteProjectJson(projectFile, record, error)) {
        if (!written.empty()) platform::RemoveFile(written);
        const CString why = Utf8ToCString(error);
        Log(L"Project not saved: " + why, LogKind::Error);
        ShowInformation(L"The project could not be saved.\n" + why, InfoKind::Problem);
        return false;
    }

    if (!written.empty()) {
        partName = WideFromPath(written);
        testShape.clear();
        partChanged = false;
        Log(L"The part was changed after it was opened, so it is saved beside the project: " + partName,
            LogKind::Plain);
    }
    projectPath = path;
    SetPathName(path, true);
    SetModifiedFlag(false);
    Log(L"Project saved: " + path, LogKind::Good);
    return true;
}

bool CRidgeforgeDoc::OpenProject(const CString& path) {
    document_internal::WaitCursor wait(Host());
    ProjectFileData record;
    std::string error;
    if (!ReadProjectJson(PathFromWide(path), record, error)) {
        const CString why = Utf8ToCString(error);
        Log(L"Project not opened: " + why, LogKind::Error);
        ShowOpenFailure(L"This project could not be opened.\n" + why);
        return false;
    }
    Log(L"Opening project " + path, LogKind::Auto);
    std::vector<HeldValue> held = HoldProjectToRanges(record);

    if (record.testShape == "cube") {
        OnTestCube();
    } else if (record.testShape == "cylinder") {
        OnTestCylinder();
    } else if (record.testShape == "sphere") {
        OnTestSphere();
    } else if (record.partPath.empty()) {
        const CString why =
            L"the project names a test shape this program does not have: \"" + Utf8ToCString(record.testShape) + L"\"";
        Log(L"Project not opened: " + why, LogKind::Error);
        ShowOpenFailure(L"This project could not be opened.\n" + why);
        return false;
    } else {
        CString partPath = record.partPath;
        if (!Exists(PathFromWide(partPath))) {
            Log(L"The project's part is not at " + partPath, LogKind::Warning);
            const QuestionAnswer answer =
                Host() == nullptr
                    ? QuestionAnswer::No
                    : Host()->AskQuestion(L"The project's part was not found:\n" + partPath + L"\n\nFind it?",
                                          QuestionButtons::YesNo, QuestionIcon::Question);
            if (answer != QuestionAnswer::Yes) {
                ShowOpenFailure(L"The project's part was not found:\n" + partPath);
                return false;
            }
            FileDialogRequest request;
            request.defaultExtension = L"stl";
            request.filter = kStlFilter;
            request.fileName = WideFromPath(PathFromWide(partPath).filename());
            request.fileMustExist = true;
            request.hideReadOnly = true;
            const std::optional<CString> chosen = Host()->ChooseFileToOpen(request);
            if (!chosen) return false;
            partPath = *chosen;
        }
        if (!ImportPart(partPath)) return false;
    }

    bool textureMissing = false;
    std::unique_ptr<mesh::procedural::ProceduralTexture> pattern;
    if (!record.proceduralPattern.empty()) pattern = mesh::procedural::CreateTexture(record.proceduralPattern);
    if (pattern != nullptr) {
        // Rendered and described with the project's values from the start.
        const std::vector<HeldValue> parameters = HeldParameterValues(*pattern, record.proceduralParameters);
        held.insert(held.end(), parameters.begin(), parameters.end());
        pattern->ParseValues(record.proceduralParameters);
        ApplyProceduralTexture(std::move(pattern), Utf8ToCString(record.proceduralPreset));
    } else if (!record.proceduralPattern.empty()) {
        Log(L"The project's procedural texture \"" + Utf8ToCString(record.proceduralPattern) +
                L"\" is not one this program makes; the texture in use is kept.",
            LogKind::Warning);
    } else if (!record.textureImagePath.empty()) {
        if (Exists(PathFromWide(record.textureImagePath))) {
            LoadHeightMap(record.textureImagePath);
        } else {
            textureMissing = true;
        }
    }

    PlacementSnapshot snapshot;
    CaptureSnapshot(snapshot);
    snapshot.orientation = record.orientation;
    if (!IsPlacement(record.orientation)) {
        snapshot.orientation = mesh::Transform::Identity();
        Log(L"The project's orientation is not a plain turn of the part, so the part is placed as it was loaded.",
            LogKind::Warning);
    }
    snapshot.projection = record.projection;
    snapshot.projection.activeLayer = -1;
    snapshot.maskVolumes = record.masks;
    snapshot.remesh = record.remesh;
    snapshot.displacement = record.displacement;
    snapshot.simplify = record.simplify;
    snapshot.maximumTriangles = record.maximumTriangles;
    snapshot.displayTriangles = record.displayTriangles;
    snapshot.textureSettings = record.textureSettings;
    // The relief is made at the remeshed triangle size.
    snapshot.remeshEnabled = record.remeshOn || record.displacementOn;
    snapshot.displacementEnabled = record.displacementOn;
    snapshot.simplifyEnabled = record.simplifyOn;
    if (!record.proceduralPattern.empty() && proceduralTexture != nullptr) {
        snapshot.proceduralParameters = record.proceduralParameters;
    }
    RestoreSnapshot(snapshot);
    UpdateProceduralTexture(true);

    exportCleanup = record.exportCleanup;
    exportFixes = record.exportFixes;
    SetOccupancyCells(IsOfferedOccupancy(record.occupancyCells) ? record.occupancyCells
                                                                : ProjectFileData{}.occupancyCells);
    StartPlacementHistory();
    projectPath = path;
    SetModifiedFlag(false);
    UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);

    if (textureMissing) {
        Log(L"The project's texture is not at " + record.textureImagePath + L"; its settings are kept",
            LogKind::Warning);
        ShowInformation(L"The project's texture was not found:\n" + record.textureImagePath +
                            L"\nLoad it again; its size and placement are kept.",
                        InfoKind::Caution);
    }
    for (const HeldValue& value : held) Log(Utf8ToCString(DescribeHeldValue(value)), LogKind::Warning);
    if (record.subdivideOn) {
        Log(L"The project had Subdivide switched on. Subdivide is no longer a step: the relief is made at the "
            L"triangle size, so a smaller triangle size is what gives finer relief now.",
            LogKind::Warning);
    }
    Log(L"Project opened: " + path, LogKind::Good);
    return true;
}

void CRidgeforgeDoc::OnFileOpenProject() {
    if (Host() == nullptr) return;
    FileDialogRequest request;
    request.defaultExtension = L"rgproj";
    request.filter = kProjectFilter;
    request.fileMustExist = true;
    request.hideReadOnly = true;
    if (const std::optional<CString> path = Host()->ChooseFileToOpen(request)) Host()->OpenDocumentFile(*path);
}

void CRidgeforgeDoc::OnFileSaveProject() {
    if (!projectPath.empty()) {
        SaveProject(projectPath);
    } else {
        OnFileSaveProjectAs();
    }
}

void CRidgeforgeDoc::OnFileSaveProjectAs() {
    if (!HasPart() || Host() == nullptr) return;
    CString name = L"Project";
    CString folder;
    if (!projectPath.empty()) {
        const fs::path project = PathFromWide(projectPath);
        name = WideFromPath(project.stem());
        folder = WideFromPath(project.parent_path());
    } else if (testShape.empty() && !partName.empty()) {
        const fs::path part = PathFromWide(partName);
        name = WideFromPath(part.stem());
        folder = WideFromPath(part.parent_path());
    }
    FileDialogRequest request;
    request.defaultExtension = L"rgproj";
    request.fileName = name + L".rgproj";
    request.filter = kProjectFilter;
    request.overwritePrompt = true;
    request.pathMustExist = true;
    request.hideReadOnly = true;
    request.initialFolder = folder;
    if (const std::optional<CString> path = Host()->ChooseFileToSave(request)) SaveProject(*path);
}

bool CRidgeforgeDoc::SaveModified() {
    if (!IsModified() || !HasPart()) return true;
    if (Host() == nullptr) return false;
    const CString question =
        projectPath.empty()
            ? CString(
                  L"Save the project before going on?\n\nIt keeps the part, the texture, its placement, the masks "
                  L"and every setting.")
            : L"Save the changes to " + WideFromPath(PathFromWide(projectPath).filename()) + L"?";
    switch (Host()->AskQuestion(question, QuestionButtons::YesNoCancel, QuestionIcon::Question)) {
        case QuestionAnswer::Yes:
            if (projectPath.empty()) {
                OnFileSaveProjectAs();
            } else {
                SaveProject(projectPath);
            }
            return !IsModified();
        case QuestionAnswer::No:
            return true;
        case QuestionAnswer::Cancel:
            return false;
    }
    return false;
}

}  // namespace ridgeforge
