// The document's lifecycle (construction, New, the emptying before every new
// part, the reset to defaults) and its two log entry points.
#include "document/RidgeforgeDoc.h"

#include <new>
#include <utility>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace ridgeforge {

CRidgeforgeDoc::CRidgeforgeDoc(DocumentHost* host) : DocumentBase(host) {
    occupancyGrid.resolution = 0;
}

CRidgeforgeDoc::~CRidgeforgeDoc() {
    // The worker may read nothing of ours, but stop it before the members
    // it was handed copies of go.
    pipeline.Reset();
}

bool CRidgeforgeDoc::BaseOnNewDocument() { return DocumentBase::OnNewDocument(); }

bool CRidgeforgeDoc::OnNewDocument() {
    if (!BaseOnNewDocument()) return false;
    ResetToDefaults();
    return true;
}

void CRidgeforgeDoc::ResetToDefaults() {
    remeshSettings = DocumentRemeshDefaults();
    simplifySettings = mesh::SimplifySettings{};
    displacementSettings = mesh::DisplacementSettings{};
    remeshEnabled = displacementEnabled = simplifyEnabled = true;
    texture.width = texture.height = texture.sourceWidth = texture.sourceHeight = 0;
    texture.sourcePixels.clear();
    texture.seamlessPixels.clear();
    texture.pixels.clear();
    texture.neutralHeight.reset();
    texture.SetSettings(mesh::TextureSettings{});
    ++textureRevision;
    ++shownTextureRevision;
    proceduralTexture.reset();
    proceduralPresetName.clear();
    textureImagePath.clear();
    StartPlacementHistory();
}

void CRidgeforgeDoc::DeleteContents() {
    // What the pane said was about the part and the state that go now.
    if (HasPart() || informationSource != InformationSource::None) ClearInformationPane();
    partChanged = false;
    pipeline.Reset();
    partAsLoaded = mesh::TriangleMesh{};
    workingPart = mesh::TriangleMesh{};
    orientation = mesh::Transform::Identity();
    importReport = mesh::StlImportReport{};
    partValidation = mesh::ValidationReport{};
    resultValidation = mesh::ValidationReport{};
    resultValidationMesh = nullptr;
    printability = mesh::PrintabilityReport{};
    const mesh::BoxMapping keptBox = projection.box;
    projection = mesh::Projection{};
    projection.box.blended = keptBox.blended;
    projection.box.blendSharpness = keptBox.blendSharpness;
    maskVolumes.clear();
    activeMask = -1;
    components.clear();
    placementToolActive = processRequested = printCheckShown = false;
    lastShownMesh = nullptr;
    runState = mesh::PipelineRunState{};
    reliefCautions.clear();
    resultMessage.clear();
    resultMessageHidden = false;
    partName.clear();
    testShape.clear();
    projectPath.clear();
    // The grid and the caches described the old part.
    occupancyGrid = mesh::OccupancyGrid{};
    printCheckCache = PrintCheckCache{};
    shownCoverage = ShownCoverageCache{};
    meshInfoCache = MeshInfoCache{};
    StartPlacementHistory();
    DocumentBase::DeleteContents();
}

bool CRidgeforgeDoc::GuardMemory(const CString& step, const CString& outcome, const std::function<bool()>& command) {
    try {
        return command();
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(step, outcome);
        return false;
    }
}

void CRidgeforgeDoc::ReportOutOfMemory(const CString& step, const CString& outcome) {
    const CString text = L"There was not enough memory to " + step + L". " + outcome;
    Log(text, LogKind::Error);
    ShowInformation(text, InfoKind::Problem);
}

bool CRidgeforgeDoc::OnOpenDocument(const CString& path) {
    if (IsProjectFileName(PathFromWide(path))) {
        // The part and the image guard themselves; this catches the rest.
        return GuardMemory(L"open this project", L"Part of it may be missing.", [&] { return OpenProject(path); });
    }
    return ImportPart(path);
}

bool CRidgeforgeDoc::DetailedLog() const { return Host() != nullptr && Host()->DetailedLog(); }

void CRidgeforgeDoc::Log(const CString& text, LogKind kind) {
    DocumentHost* host = Host();
    if (host == nullptr) return;
    if (host->DetailedLog()) {
        host->AddLogLine(text, kind);
        return;
    }
    const CString shortened = RemoveTimingText(text);
    if (shortened.empty() && !text.empty()) return;
    host->AddLogLine(shortened, kind);
}

void CRidgeforgeDoc::LogText(const std::string& utf8) {
    const CString text = Utf8ToCString(utf8);
    if (text.empty()) return;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L'\n', start);
        if (end == CString::npos) {
            Log(text.substr(start), LogKind::Auto);
            break;
        }
        Log(text.substr(start, end - start), LogKind::Auto);
        start = end + 1;
    }
}

void CRidgeforgeDoc::ShowInformation(const CString& text, InfoKind kind, InformationSource source) {
    // A run's words put aside for another message come back with the result.
    if (informationSource == InformationSource::Result && source != InformationSource::Result && !text.empty())
        resultMessageHidden = true;
    informationSource = text.empty() ? InformationSource::None : source;
    if (Host() != nullptr) Host()->ShowInformation(text, kind);
}

void CRidgeforgeDoc::ClearInformationPane() { ShowInformation(CString(), InfoKind::Good); }

void CRidgeforgeDoc::ClearInformationFrom(InformationSource source) {
    if (informationSource == source) ClearInformationPane();
}

void CRidgeforgeDoc::ShowResultMessage(const CString& text, InfoKind kind) {
    resultMessage = text;
    resultMessageKind = kind;
    resultMessageHidden = false;
    ShowInformation(text, kind, InformationSource::Result);
}

void CRidgeforgeDoc::ShowOpenFailure(const CString& text) {
    CaptureSnapshot(openFailureSnapshot);
    ShowInformation(text, InfoKind::Problem, InformationSource::Open);
}

void CRidgeforgeDoc::SettleMessages() {
    if (informationSource == InformationSource::Open) {
        PlacementSnapshot now;
        CaptureSnapshot(now);
        if (!SnapshotUnchanged(openFailureSnapshot, now)) ClearInformationPane();
    }
    SettleResultMessage();
}

bool CRidgeforgeDoc::ShowsResult() const { return IsResultCurrent() && !placementToolActive && !printCheckShown; }

void CRidgeforgeDoc::SettleResultMessage() {
    if (resultMessage.empty()) return;
    const bool shown = ShowsResult();
    if (!shown && informationSource == InformationSource::Result) {
        ClearInformationPane();
        resultMessageHidden = true;
    } else if (shown && resultMessageHidden && informationSource == InformationSource::None) {
        // Only into an empty pane: a message given since speaks of something newer.
        ShowInformation(resultMessage, resultMessageKind, InformationSource::Result);
        resultMessageHidden = false;
    }
}

void CRidgeforgeDoc::SetUserDataRoots(std::vector<LibraryRoot> roots) {
    userDataRoots_ = std::move(roots);
    userDataRootsSet_ = true;
}

const std::vector<LibraryRoot>& CRidgeforgeDoc::UserDataRoots() const {
    return userDataRootsSet_ ? userDataRoots_ : GetUserDataFolder();
}

void CRidgeforgeDoc::OnUpdateNeedsMesh(CommandState& state) const { state.enabled = HasPart(); }

}  // namespace ridgeforge
