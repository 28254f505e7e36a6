// The single document: the part (as loaded and as worked on), the texture,
// the placement (projection, mask volumes, orientation), every processing
// setting, the reports of the last import, validation, print check and run,
// the placement history and the pipeline that processes the part.
//
// Everything runs on the user-interface thread; the only members another
// thread reaches are inside the pipeline. The document talks to the windows
// only through its DocumentHost (log, Information pane, pickers, dialogs).
// Every change from the windows goes through Edit: the change writes the
// fields, then the settings-changed tail (OnSettingsChanged) runs once,
// records one placement-history step and tells the views once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/CommandState.h"
#include "document/DocumentBase.h"
#include "document/DocumentEdit.h"
#include "document/FlowStep.h"
#include "document/PlacementSnapshot.h"
#include "mesh/SegmentSurfaces.h"
#include "mesh/StlImport.h"
#include "mesh/TextureCoverage.h"
#include "mesh/Transform.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/MaskVolume.h"
#include "relief/mapping/OccupancyGrid.h"
#include "relief/mapping/OutwardFaces.h"
#include "relief/mapping/Projection.h"
#include "relief/displacement/DisplacementSettings.h"
#include "mesh/remesh/RemeshSettings.h"
#include "relief/repair/ExportCleanup.h"
#include "relief/repair/ExportFixes.h"
#include "mesh/simplify/SimplifySettings.h"
#include "relief/validation/Printability.h"
#include "relief/validation/ValidationReport.h"
#include "document/pipeline/AsyncPipeline.h"
#include "document/pipeline/PipelineRunState.h"
#include "document/pipeline/PipelineSettings.h"
#include "textures/HeightMap.h"
#include "textures/LibraryItems.h"
#include "textures/TextureSettings.h"

namespace ridgeforge::mesh::procedural {
class ProceduralTexture;
}

namespace ridgeforge {

// The outward-face flags of the working part (1 outside, 0 inside, 2 no
// area, one per triangle), with the counts made beside them, for the
// occupancy resolution they were made for.
struct PrintCheckCache {
    std::vector<std::uint8_t> outwardFlags;
    mesh::OutwardFaceCounts counts;
    bool valid = false;
    std::int32_t occupancyCells = 0;
};

// Figures of the shown mesh for Mesh Information, keyed by the mesh object,
// its index count, the part serial and the applied-result serial they were
// taken at (a new result or a repaired part may reuse the object and keep
// its index count).
struct MeshInfoCache {
    const mesh::TriangleMesh* mesh = nullptr;
    std::size_t indexCount = 0;
    std::uint32_t meshSerial = 0;
    std::uint32_t resultSerial = 0;
    bool valid = false;
    mesh::EdgeCounts edges;
    double absoluteVolume = 0.0;
    double surfaceArea = 0.0;
    std::uint64_t bodies = 0;
};

// The coverage shown on a mesh, keyed by the mesh object, its triangle count
// and the part serial it was computed at.
struct ShownCoverageCache {
    mesh::TextureCoverage coverage;
    const mesh::TriangleMesh* mesh = nullptr;
    std::size_t triangleCount = 0;
    std::uint32_t meshSerial = 0;
    bool valid = false;
};

class CRidgeforgeDoc : public DocumentBase {
public:
    // The mesh to write and how the export check left it.
    struct ExportPlan {
        mesh::TriangleMesh mesh;
        mesh::ExportCleanupOptions cleanup;
        bool checksPassed = false;
    };

    explicit CRidgeforgeDoc(DocumentHost* host = nullptr);
    ~CRidgeforgeDoc() override;

    // ---- Lifecycle and the framework's virtuals
    void DeleteContents() override;
    bool OnNewDocument() override;
    // A project file opens as a project, anything else is imported as a part.
    bool OnOpenDocument(const CString& path) override;
    bool OnSaveDocument(const CString& path) override;
    bool SaveModified() override;
    void ResetToDefaults();

    // ---- Log and Information pane
    // One line; unless the detailed log is on, its timings are taken out and
    // a line that was only a timing is dropped. Nothing without a host.
    void Log(const CString& text, LogKind kind = LogKind::Auto);
    // Each "\n"-separated line with kind Auto.
    void LogText(const std::string& utf8);
    // What an Information pane message came from: a message belongs to the
    // state that produced it and goes when that state goes.
    enum class InformationSource { None, Other, Image, Refusal, Result, Open };
    void ShowInformation(const CString& text, InfoKind kind, InformationSource source = InformationSource::Other);
    void ClearInformationPane();
    // Clears the message when the document showed it for `source`.
    void ClearInformationFrom(InformationSource source);
    // The message of the applied run's warnings. It speaks of that result,
    // so it stands only while the view shows it: a change that brings the
    // preview back, or a placement tool, takes it away, and it comes back
    // when the result is shown again (an Undo of that change).
    void ShowResultMessage(const CString& text, InfoKind kind);
    void SettleResultMessage();
    // An open that failed and left the document as it was: its message
    // stands beside the part it kept until the document changes.
    void ShowOpenFailure(const CString& text);
    // After a change: the messages that spoke of the state before it go.
    void SettleMessages();
    // The view shows the result of the last complete run.
    bool ShowsResult() const;
    bool DetailedLog() const;

    // ---- Processing control
    mesh::PipelineSettings BuildPipelineSettings() const;
    const mesh::TriangleMesh& ShownMesh() const;
    bool IsResultCurrent() const;
    bool IsStepOutOfDate(FlowStep step) const;
    bool IsStepRunning(FlowStep step) const;
    bool NeedsProcessing() const;
    bool CanProcess() const;
    CString ProcessStatusText() const;
    mesh::TextureCoverage ComputeTextureCoverage(const mesh::TriangleMesh& mesh);
    const mesh::TextureCoverage& ShownTextureCoverage();
    // The settings-changed tail on its own: an edit whose fields were
    // written already. Inside an Edit it waits for the edit's end.
    void OnSettingsChanged();
    // The one way the windows change the document: `change` writes the
    // fields it means to change (and may call the document's texture, mask
    // and occupancy operations); then the settings-changed tail runs once,
    // so that whatever the change did is one undo step, the views are
    // refreshed once and the pipeline's settings are derived afresh. Edits
    // nest: an inner one joins the outer one.
    void Edit(const std::function<void(DocumentEdit&)>& change);
    // Whether an Edit is running.
    bool InEdit() const { return editDepth_ > 0; }
    // Choices that are not settings and make no undo step: the layer the
    // texture handles move (-1 every layer in use), the mask the tools
    // work on (-1 none). Each tells the views when it changed.
    void SelectLayer(std::int32_t layer);
    void SelectMask(std::int32_t index);
    // A texture drag begins: the layers as they are now become the drag's
    // start, and the placement history opens the drag's step.
    void BeginLayerDrag();
    // Asks a running pipeline to stop.
    void StopProcessing();
    void Process();
    void OnProcess();
    void OnUpdateProcess(CommandState& state) const;
    // The idle poll; true when a result was applied.
    bool PollPipeline();
    // Finishes what the pipeline has to do now and applies a result that
    // came of it; nothing is applied when no run ended.
    void ProcessNow();
    // Before an export: finishes a run as ProcessNow does, then runs the work
    // the current settings still need, showing its progress while the windows
    // keep painting; Escape stops it, and then the part as shown stays.
    void ProcessPendingWork();
    void ApplyPipelineResult();
    CString OutOfDateReasons() const;
    void LogResultOutOfDate();
    void ReliefWarningsText(const mesh::PipelineRunState& state);
    // The mesh shown is the applied run's result with the relief on: the
    // relief's warnings speak of it.
    bool ShowsReliefResult() const;
    // Adds those warnings to a verdict of the mesh shown, so that no verdict
    // says "no problems" beside them.
    void AddReliefCautions(mesh::ValidationReport& verdict) const;
    // Whether the texture can be used: at least 1 x 1 pixels with pixels.
    bool HasTexture() const;
    bool HasPart() const { return mesh::HoldsTriangles(workingPart); }

    // ---- Parts, test shapes and projects
    bool ImportPart(const CString& path);
    void AdoptImportedMesh();
    // As AdoptImportedMesh, with the validation of the working part already
    // made (before the document let go of its old part).
    void AdoptImportedMesh(mesh::ValidationReport validation);
    void OnTestCube();
    void OnTestCylinder();
    void OnTestSphere();
    void LoadTestShape(mesh::TriangleMesh mesh, const CString& reportName, const CString& title,
                       const CString& logLine);
    void FitPlacementToPart();
    bool SaveProject(const CString& path);
    bool OpenProject(const CString& path);
    void OnFileOpenProject();
    void OnFileSaveProject();
    void OnFileSaveProjectAs();

    // ---- Texture
    bool LoadHeightMap(const CString& path);
    void ApplyTextureSettings(const mesh::TextureSettings& settings);
    void SyncTextureToPipeline();
    std::pair<std::int32_t, std::int32_t> ProceduralRenderSize() const;
    // Takes the texture over; nothing for null.
    void ApplyProceduralTexture(std::unique_ptr<mesh::procedural::ProceduralTexture> texture,
                                const std::wstring& presetName);
    void FitOneTileToPart();
    void UpdateProceduralTexture(bool force);
    void OnLoadTextureFromDisk();
    // index: the pattern's place in the registry's menu order.
    void OnProceduralPattern(std::size_t index);
    void OnProceduralSettings();
    void OnUpdateProceduralSettings(CommandState& state) const;

    // ---- Placement and masks
    void DragTextureLayers(std::uint32_t layer, const std::array<float, 4>& values);
    std::int32_t AddMaskVolume(std::uint32_t shape);
    void UpdateMaskVolume(std::int32_t index, const mesh::MaskVolume& volume);
    void DeleteMaskVolume(std::int32_t index);
    std::int32_t DuplicateMaskVolume(std::int32_t index);
    void SetSurfaceForAllSides(std::uint32_t surface);

    // ---- Placement history
    void CaptureSnapshot(PlacementSnapshot& out) const;
    void RestoreSnapshot(const PlacementSnapshot& snapshot);
    void PushUndoSnapshot();
    void BeginPlacementEdit();
    void DropUnchangedSnapshot();
    void StartPlacementHistory();
    void OnEditUndo();
    void OnEditRedo();
    void OnUpdateEditUndo(CommandState& state) const;
    void OnUpdateEditRedo(CommandState& state) const;
    const mesh::ValidationReport& ShownValidationReport() const;

    // ---- Print-check grid, components, the working part
    void OnUpdateNeedsMesh(CommandState& state) const;
    void RecomputePrintCheck();
    const std::vector<std::uint8_t>& OutwardFaceFlags();
    void SetOccupancyCells(std::int32_t cells);
    // cells: 128, 256 or 512, as the menu offers them.
    void OnOccupancyCells(std::int32_t cells);
    void OnUpdateOccupancyCells(std::int32_t cells, CommandState& state) const;
    void BuildComponents();
    void ReplaceInputMesh();

    // ---- Export and reports
    bool PrepareExport(ExportPlan& plan);
    bool ExportStl(const CString& path, bool ascii, const ExportPlan& plan);
    bool OnFileSaveStl();
    void OnFileSaveAsciiStl();
    bool LayOnFace(std::int32_t componentIndex);
    void RotateToFace(const mesh::Transform& newOrientation);
    CString MeshInformationReport();

    // ---- Input-mesh tools and checks
    // Runs the job on a thread of its own while the windows keep painting;
    // Escape sets the stop flag both are given. `onTick`, when given, runs on
    // this thread between paints (to show progress, or pass the stop on).
    // Returns whether the stop flag was set.
    bool RunWithProgress(const std::function<void(const std::atomic<bool>&)>& job,
                         const std::function<void(const std::atomic<bool>&)>& onTick = {});
    void Validate();
    bool RepairMeshInPlace();
    bool FixMeshWithWindows();
    bool SimplifyInputMesh();
    bool RemeshInputMesh(const mesh::RemeshSettings& settings);
    void OnValidate();
    void OnCheckPrintability();
    void OnRepair();
    void OnRepairWithWindows();
    void OnUpdateRepairWithWindows(CommandState& state) const;
    void OnSimplifyInputMesh();
    void OnRemeshInputMesh();

    // The user's data folders for remembered seam settings; the default is
    // GetUserDataFolder(). Tests point it elsewhere.
    void SetUserDataRoots(std::vector<LibraryRoot> roots);
    const std::vector<LibraryRoot>& UserDataRoots() const;

    // ---- Members (read by the view, the panes and the dialogs)
    std::string testShape;
    CString projectPath;
    mesh::AsyncPipeline pipeline;
    mesh::StlImportReport importReport;
    mesh::ValidationReport partValidation;
    mesh::ValidationReport resultValidation;
    const mesh::TriangleMesh* resultValidationMesh = nullptr;
    std::uint32_t resultSerial = 0;
    std::uint32_t resultValidationSerial = 0;
    mesh::PrintabilityReport printability;
    std::unique_ptr<mesh::procedural::ProceduralTexture> proceduralTexture;
    std::wstring proceduralPresetName;
    std::wstring textureImagePath;
    mesh::ExportCleanupOptions exportCleanup;
    mesh::ExportFixOptions exportFixes{true, true, true, true, 40, 1.0f};
    mesh::OccupancyGrid occupancyGrid;
    std::int32_t occupancyCells = 256;
    bool printCheckShown = false;
    PrintCheckCache printCheckCache;
    std::array<mesh::ProjectionLayer, mesh::kSideCount> dragStartLayers{};
    std::vector<mesh::MaskVolume> maskVolumes;
    std::int32_t activeMask = -1;
    std::uint32_t meshSerial = 0;
    ShownCoverageCache shownCoverage;
    MeshInfoCache meshInfoCache;
    const mesh::TriangleMesh* lastShownMesh = nullptr;
    std::vector<mesh::Surface> components;
    mesh::Projection projection;
    mesh::HeightMap texture;
    mesh::RemeshSettings remeshSettings = DocumentRemeshDefaults();
    std::uint64_t maximumTriangles = 18'000'000;
    std::uint64_t displayTriangles = 4'000'000;
    mesh::DisplacementSettings displacementSettings;
    mesh::SimplifySettings simplifySettings;
    bool remeshEnabled = true;
    bool displacementEnabled = true;
    bool simplifyEnabled = true;
    mesh::TriangleMesh partAsLoaded;
    mesh::TriangleMesh workingPart;
    mesh::Transform orientation = mesh::Transform::Identity();
    bool placementToolActive = false;
    bool processRequested = false;
    bool partChanged = false;
    mesh::PipelineSettings lastRunSettings;
    mesh::PipelineSettings appliedSettings;
    // The plan taken when the last run was started.
    mesh::PipelinePlan startedPlan;
    std::uint32_t textureHandOvers = 0;
    std::uint32_t handOversAtRequest = 0;
    std::uint32_t handOversAtResult = 0;
    mesh::PipelineRunState runState;
    // One sentence per warning the last run's relief raised, for the verdict.
    std::vector<std::string> reliefCautions;
    CString processDecision;
    CString partName;
    std::vector<PlacementSnapshot> undoStack;
    std::vector<PlacementSnapshot> redoStack;
    PlacementSnapshot currentSnapshot;
    bool snapshotPending = false;
    bool restoring = false;
    std::uint32_t textureRevision = 0;
    std::uint32_t shownTextureRevision = 0;
    std::int32_t pipelineTextureRevision = -1;
    mesh::TextureSettings pipelineTextureSettings;
    // The log's last word on the result: that it went out of date, or that
    // it is current (a run's end, or the line that it is up to date again).
    bool outOfDateLogged = false;
    bool currentSaid = false;
    InformationSource informationSource = InformationSource::None;
    // The applied run's warnings as last shown, and whether they were taken
    // away (the view left that result, or another message took their place)
    // to come back when the result is shown again.
    CString resultMessage;
    InfoKind resultMessageKind = InfoKind::Caution;
    bool resultMessageHidden = false;
    // The document as it stood when an open failed.
    PlacementSnapshot openFailureSnapshot;
    // The settings of the run whose refusal the Information pane shows.
    mesh::PipelineSettings refusedSettings;

protected:
    // The base class's part of New; a test makes it fail.
    virtual bool BaseOnNewDocument();

private:
    // Runs one command. Running out of memory anywhere in it ends the
    // command, not the program: the log and the Information pane say
    // "There was not enough memory to " + step + ". " + outcome, and false is
    // returned. Each command sees to it that what it leaves then is whole.
    bool GuardMemory(const CString& step, const CString& outcome, const std::function<bool()>& command);
    void ReportOutOfMemory(const CString& step, const CString& outcome);
    // ImportPart without its guard.
    bool ReadAndAdoptPart(const CString& path, bool& committed);
    // LoadHeightMap without its guard.
    bool LoadHeightMapFile(const CString& path);
    // The input-mesh and check commands without their guards.
    void RepairCommand();
    void RepairWithWindowsCommand();
    void SimplifyInputMeshCommand();
    void RemeshInputMeshCommand();
    void ValidateCommand();
    void CheckPrintabilityCommand();
    // The saves without their guards.
    bool SaveDocumentTo(const CString& path);
    bool SaveStlCommand(bool ascii);
    bool SaveProjectFiles(const CString& path);
    // A tool's changed copy becomes the part as loaded; the shared tail of
    // every input-mesh tool that changed the part.
    void AdoptChangedPart(mesh::TriangleMesh changed);
    // RunWithProgress; a job that failed with an exception is logged as the
    // tool's failure, and false is returned. `stopAsked`, when given, tells
    // whether Escape was pressed: a job past its last look at the flag
    // finishes anyway, and its result must not replace the part.
    bool RunToolJob(const CString& name, const std::function<void(const std::atomic<bool>&)>& job,
                    bool* stopAsked = nullptr);
    mesh::PipelinePlan CurrentPlan() const;
    // A started run that an input change stopped on its way: no result comes
    // of it, so the log says so in its place.
    void ReportDroppedRun(const CString& line);
    // Records what the log just said of the result.
    void SayResultCurrent(bool current);
    mesh::TileFrame BuildTileFrame() const;

    // What OnSettingsChanged does; runs at the end of the outermost Edit.
    void SettingsChangedTail();

    std::vector<LibraryRoot> userDataRoots_;
    bool userDataRootsSet_ = false;
    int editDepth_ = 0;
};

// The "Before saving:" check of a mesh with the base settings copied when
// the export was planned; true when no line failed.
bool ExportCheckReport(const mesh::TriangleMesh& mesh, const mesh::DisplacementBase& base, CString& text);
void ExportCheckLine(CString& text, bool& allPassed, bool ok, const CString& line);

}  // namespace ridgeforge
