// Processing control: the document's settings as one run's settings, whether
// Process may run and what each workflow step shows, starting runs, taking a
// finished result in with its log lines and warnings, and the mesh and
// coverage the view shows meanwhile.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "relief/mapping/TextureWeights.h"
#include "relief/displacement/WallThinning.h"
#include "document/pipeline/PipelineRunState.h"

namespace ridgeforge {

namespace {

mesh::PrintabilitySettings RunPrintabilitySettings(std::int32_t buildAxis) {
    mesh::PrintabilitySettings settings;
    settings.buildAxis = buildAxis;
    settings.collectHighlights = false;
    return settings;
}

// Only the mapping counts: the texture layers and the edited side are set aside.
mesh::Projection MappingOnly(mesh::Projection projection) {
    projection.layer.fill(mesh::ProjectionLayer{});
    projection.activeLayer = -1;
    return projection;
}

bool SameSides(const mesh::BoxMapping& a, const mesh::BoxMapping& b) {
    return a.sideEnabled == b.sideEnabled && a.sideSurface == b.sideSurface && a.blended == b.blended &&
           a.blendSharpness == b.blendSharpness;
}

bool SameMappingSettings(const mesh::Projection& a, const mesh::Projection& b) {
    const mesh::CylinderMapping& ca = a.cylinder;
    const mesh::CylinderMapping& cb = b.cylinder;
    return a.plane.twoSided == b.plane.twoSided && a.plane.axis == b.plane.axis && ca.axis == cb.axis &&
           ca.surface == cb.surface && ca.seamDegrees == cb.seamDegrees && ca.sideEnabled == cb.sideEnabled &&
           ca.topCapEnabled == cb.topCapEnabled && ca.bottomCapEnabled == cb.bottomCapEnabled &&
           ca.wholeTiles == cb.wholeTiles && a.sphere.axis == b.sphere.axis &&
           a.sphere.wholeTiles == b.sphere.wholeTiles;
}

float Distance(const mesh::Vec3f& a, const mesh::Vec3f& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The ", "-separated names of the settings that differ between s and a.
CString SettingsDifferences(const mesh::PipelineSettings& s, const mesh::PipelineSettings& a);

void AddReason(CString& list, const CString& reason) {
    if (!list.empty()) list += L", ";
    list += reason;
}

}  // namespace

bool CRidgeforgeDoc::HasTexture() const { return texture.width >= 1 && texture.height >= 1 && !texture.pixels.empty(); }

mesh::TileFrame CRidgeforgeDoc::BuildTileFrame() const {
    mesh::TileFrame frame;
    if (HasTexture() && !texture.settings.tiles) {
        const mesh::TextureSettings& t = texture.settings;
        frame.clip = true;
        frame.offsetMillimetres[0] = t.offsetMillimetres[0];
        frame.offsetMillimetres[1] = t.offsetMillimetres[1];
        frame.rotationDegrees = t.rotationDegrees;
        frame.widthMillimetres = t.widthMillimetres;
        frame.heightMillimetres = t.heightMillimetres;
    }
    return frame;
}

mesh::PipelineSettings CRidgeforgeDoc::BuildPipelineSettings() const {
    mesh::PipelineSettings s;
    s.projection = projection;
    s.faceMaskMode = 0;
    s.occupancyCells = occupancyCells;
    s.tileFrame = BuildTileFrame();
    s.masks = maskVolumes;
    s.remesh = remeshSettings;
    s.displacement = displacementSettings;
    s.simplify = simplifySettings;
    s.printability = RunPrintabilitySettings(displacementSettings.base.axis);
    s.wallLineWidthMillimetres = s.printability.lineWidthMillimetres;
    s.remeshEnabled = remeshEnabled;
    s.displacementEnabled = displacementEnabled;
    s.simplifyEnabled = simplifyEnabled;
    s.maximumTriangles = maximumTriangles;
    s.cleanup.weldCollapsedTriangles = false;
    s.cleanup.fillHoles = false;
    s.simplify.protectTexturedFaces = HasTexture() && !displacementEnabled;
    return s;
}

mesh::PipelinePlan CRidgeforgeDoc::CurrentPlan() const {
    // The cache belongs to the worker while a run goes on.
    if (pipeline.IsRunning()) return startedPlan;
    return pipeline.Cache().FirstStageToRun(BuildPipelineSettings());
}

const mesh::TriangleMesh& CRidgeforgeDoc::ShownMesh() const {
    if (!HasPart() || placementToolActive || printCheckShown) return workingPart;
    // A run starts only when the part is what is shown, and it stays shown
    // until the run's result is taken in: the last published result was made
    // with other settings, and its verdict and coverage are not the preview's.
    if (pipeline.IsRunning()) return workingPart;
    const mesh::PipelineSettings settings = BuildPipelineSettings();
    if (pipeline.Cache().FirstStageToRun(settings).any) return workingPart;
    return pipeline.Cache().LatestValidMesh(settings);
}

bool CRidgeforgeDoc::IsResultCurrent() const { return HasPart() && !pipeline.IsRunning() && !CurrentPlan().any; }

bool CRidgeforgeDoc::NeedsProcessing() const { return HasPart() && !pipeline.IsRunning() && CurrentPlan().any; }

bool CRidgeforgeDoc::CanProcess() const {
    return HasPart() && !pipeline.IsRunning() && (!displacementEnabled || HasTexture()) && CurrentPlan().any;
}

bool CRidgeforgeDoc::IsStepOutOfDate(FlowStep step) const {
    if (!HasPart()) return false;
    if (!pipeline.HasResult()) return true;
    switch (step) {
        // The mapping and the texture count as out of date only while the
        // stage that takes them in is still due: once a stopped run carried
        // them into the relief, or the cache holds a result made with them,
        // the footer names no step of theirs.
        case FlowStep::Mapping: {
            const mesh::PipelinePlan plan = CurrentPlan();
            return plan.any && plan.stage <= static_cast<std::int32_t>(mesh::PipelineStage::Mask) &&
                   !(MappingOnly(projection) == MappingOnly(appliedSettings.projection));
        }
        case FlowStep::Texture: {
            const mesh::PipelinePlan plan = CurrentPlan();
            return plan.any && plan.stage <= static_cast<std::int32_t>(mesh::PipelineStage::Displacement) &&
                   (textureHandOvers != handOversAtResult ||
                    !mesh::LayersEqual(projection, appliedSettings.projection));
        }
        case FlowStep::Relief: {
            if (!displacementEnabled) return false;
            const mesh::PipelinePlan plan = CurrentPlan();
            return plan.any && plan.stage <= 2;
        }
        case FlowStep::Simplify: {
            if (!simplifyEnabled) return false;
            const mesh::PipelinePlan plan = CurrentPlan();
            return plan.any && plan.stage <= 3;
        }
    }
    return false;
}

bool CRidgeforgeDoc::IsStepRunning(FlowStep step) const {
    const mesh::PipelineStatus status = pipeline.GetStatus();
    if (!status.running) return false;
    const std::string& text = status.progressText;
    const auto has = [&text](const char* part) { return text.find(part) != std::string::npos; };
    switch (step) {
        case FlowStep::Mapping:
            return has("faces receive");
        case FlowStep::Relief:
            return has("emesh") || has("isplac");
        case FlowStep::Simplify:
            return has("implif");
        case FlowStep::Texture:
            return false;
    }
    return false;
}

CString CRidgeforgeDoc::ProcessStatusText() const {
    if (!HasPart()) return L"No part loaded";
    if (pipeline.IsRunning()) return L"Processing";
    if (displacementEnabled && !HasTexture()) return L"Needs a texture";
    const mesh::PipelinePlan plan = CurrentPlan();
    if (!plan.any) return L"Up to date";
    if (!pipeline.HasResult()) return L"Not processed yet";
    CString list;
    if (plan.stage < 3 && displacementEnabled) {
        AddReason(list, L"relief");
    } else if (plan.stage == 0 && remeshEnabled) {
        AddReason(list, L"remesh");
    }
    if (plan.stage < 4 && simplifyEnabled) AddReason(list, L"simplify");
    if (list.empty()) list = L"mapping";
    return L"Needs: " + list;
}

mesh::TextureCoverage CRidgeforgeDoc::ComputeTextureCoverage(const mesh::TriangleMesh& mesh) {
    const mesh::TileFrame frame = BuildTileFrame();
    if (&mesh != &workingPart) {
        if (pipeline.PublishedCoverage().MatchesMesh(mesh)) return pipeline.PublishedCoverage();
        return mesh::ComputeTextureWeights(mesh, projection, nullptr, displacementSettings, frame, nullptr);
    }
    if (!occupancyGrid.IsEmpty() && occupancyGrid.surfaceCells > 0) {
        const std::vector<std::uint8_t> mask = mesh::FlagsToMask(OutwardFaceFlags());
        return mesh::ComputeTextureWeights(mesh, projection, &mask, displacementSettings, frame, nullptr);
    }
    return mesh::ComputeTextureWeights(mesh, projection, nullptr, displacementSettings, frame, nullptr);
}

const mesh::TextureCoverage& CRidgeforgeDoc::ShownTextureCoverage() {
    static const mesh::TextureCoverage kNone;
    if (!HasPart()) return kNone;
    const mesh::TriangleMesh& shown = ShownMesh();
    ShownCoverageCache& cache = shownCoverage;
    if (cache.valid && cache.mesh == &shown && cache.triangleCount == shown.TriangleCount() &&
        cache.meshSerial == meshSerial) {
        return cache.coverage;
    }
    cache.coverage = ComputeTextureCoverage(shown);
    cache.mesh = &shown;
    cache.triangleCount = shown.TriangleCount();
    cache.meshSerial = meshSerial;
    cache.valid = true;
    return cache.coverage;
}

void CRidgeforgeDoc::SettingsChangedTail() {
    UpdateProceduralTexture(false);
    if (!HasPart()) return;
    // A refusal speaks of the settings it refused; once they differ, Process
    // decides anew.
    if (informationSource == InformationSource::Refusal &&
        !SettingsDifferences(BuildPipelineSettings(), refusedSettings).empty())
        ClearInformationPane();
    SettleMessages();
    const mesh::TriangleMesh& shown = ShownMesh();
    shownCoverage.valid = false;
    ShownTextureCoverage();
    PushUndoSnapshot();
    UpdateAllViews(nullptr, &shown == lastShownMesh ? ViewUpdateHint::PlacementChanged : ViewUpdateHint::FullRefresh);
    lastShownMesh = &shown;
}

void CRidgeforgeDoc::Process() {
    if (!HasPart()) {
        processDecision = L"declined: no mesh";
        return;
    }
    if (pipeline.IsRunning()) {
        processDecision = L"declined: already running";
        return;
    }
    if (displacementEnabled && !HasTexture()) {
        processDecision = L"declined: no texture";
        Log(L"Displacement needs a texture: load one, or turn Displacement off.", LogKind::Warning);
        return;
    }
    if (placementToolActive || printCheckShown) UpdateAllViews(nullptr, ViewUpdateHint::ProcessingStarted);
    const mesh::PipelineSettings settings = BuildPipelineSettings();
    const mesh::PipelinePlan plan = pipeline.Cache().FirstStageToRun(settings);
    if (!plan.any) {
        processDecision = L"declined: up to date";
        return;
    }
    processDecision = L"started: Process";
    startedPlan = plan;
    handOversAtRequest = textureHandOvers;
    lastRunSettings = settings;
    processRequested = true;
    if (Host() != nullptr) Host()->ClearLog();
    Log(L"Processing...", LogKind::Auto);
    pipeline.Request(settings);
}

void CRidgeforgeDoc::ReportDroppedRun(const CString& line) {
    processRequested = false;
    Log(line, LogKind::Warning);
    SayResultCurrent(false);
}

void CRidgeforgeDoc::SayResultCurrent(bool current) {
    currentSaid = current;
    outOfDateLogged = !current;
}

void CRidgeforgeDoc::OnProcess() {
    GuardMemory(L"start Process", L"Nothing was changed.", [this] {
        Process();
        return true;
    });
}

void CRidgeforgeDoc::OnUpdateProcess(CommandState& state) const { state.enabled = CanProcess(); }

bool CRidgeforgeDoc::PollPipeline() {
    // Runs on idle passes, outside any command: it guards itself.
    bool applied = false;
    GuardMemory(L"show the result of Process", L"Some of its reports may be missing.", [&] {
        if (!pipeline.PollFinished()) return false;
        applied = true;
        ApplyPipelineResult();
        return true;
    });
    return applied;
}

void CRidgeforgeDoc::ProcessNow() {
    if (!HasPart()) return;
    document_internal::WaitCursor wait(Host());
    if (pipeline.WaitAndRestart() && !processRequested) {
        // The stopped Process is run to its end: its result is taken in as
        // that Process's, with its report, so that what is shown next has
        // its own run state, verdict and warnings.
        processRequested = true;
        lastRunSettings = pipeline.LastRequested();
        handOversAtRequest = textureHandOvers;
    }
    // Takes the due flag, so the next idle poll does not apply it twice. With
    // nothing published there is nothing to apply: the status still holds the
    // last run's outcome, and applying it would report an old refusal again
    // as if it had just happened.
    if (pipeline.PollFinished()) ApplyPipelineResult();
}

void CRidgeforgeDoc::ProcessPendingWork() {
    ProcessNow();
    if (!CanProcess()) return;
    Process();
    if (!pipeline.IsRunning()) {
        PollPipeline();
        return;
    }
    // The run has its own worker; this job only waits for it. The pipeline
    // is touched on this thread alone: the tick passes a stop on.
    std::string shownProgress;
    RunWithProgress(
        [this](const std::atomic<bool>&) {
            while (!pipeline.WorkerFinished()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        },
        [this, &shownProgress](const std::atomic<bool>& stop) {
            if (stop.load()) pipeline.RequestStop();
            const std::string progress = pipeline.GetStatus().progressText;
            if (progress == shownProgress) return;
            shownProgress = progress;
            ShowInformation(L"Processing before saving: " + Utf8ToCString(progress) +
                                L"\nEscape stops it; the part as shown is then saved.",
                            InfoKind::Good);
        });
    // The progress line goes with the run; a refusal shows its own words.
    ClearInformationPane();
    PollPipeline();
}

void CRidgeforgeDoc::ApplyPipelineResult() {
    const mesh::PipelineStatus status = pipeline.GetStatus();
    const bool started = processRequested;
    processRequested = false;
    if (status.failed) {
        Log(L"Refused: " + Utf8ToCString(status.message), LogKind::Error);
        SayResultCurrent(false);
        refusedSettings = pipeline.LastRequested();
        ShowInformation(Utf8ToCString(status.message), InfoKind::Problem, InformationSource::Refusal);
    } else if (status.stopped) {
        if (started) {
            Log(L"Stopped. The part is as it was; Process runs the rest when asked.", LogKind::Warning);
            SayResultCurrent(false);
        }
    } else if (started) {
        runState = pipeline.PublishedRunState();
        if (DetailedLog()) {
            LogText(mesh::FormatPipelineReport(runState));
            SayResultCurrent(true);
        } else {
            CString line = L"Processed: " + FormatWithThousands(runState.resultTriangles) + L" triangles";
            if (const std::optional<float> relief = mesh::ReliefMillimetres(runState)) {
                line += FormatText(", relief %.2f mm", static_cast<double>(*relief));
            }
            Log(line + L".", LogKind::Good);
            SayResultCurrent(true);
            if (runState.walls.measured) LogText(mesh::FormatWallReport(runState.walls));
            if (runState.printability.checked) {
                LogText(mesh::FormatPrintabilityReport(runState.printability));
                if (runState.beforeChecked) {
                    LogText(mesh::FormatBeforeDisplacementLine(runState.printabilityBefore));
                }
            }
        }
        ++resultSerial;
        const bool showsResult = !placementToolActive && !printCheckShown && IsResultCurrent();
        // The validation belongs to the result, which stays in the cache's
        // final mesh whether or not the settings still match it: a change
        // during the run and back shows this result again, and then its own
        // verdict, not the part's.
        const mesh::TriangleMesh* result = &pipeline.Cache().finalMesh;
        if (runState.validated) {
            resultValidation = runState.validation;
            resultValidationMesh = result;
            resultValidationSerial = resultSerial;
        } else if (resultValidationMesh != nullptr) {
            resultValidationMesh = result;
            resultValidationSerial = resultSerial;
        }
        if (runState.unchangedPart) resultValidationMesh = nullptr;
        appliedSettings = lastRunSettings;
        handOversAtResult = handOversAtRequest;
        ClearInformationPane();
        resultMessage.clear();
        reliefCautions.clear();
        if (lastRunSettings.displacementEnabled) ReliefWarningsText(runState);
        shownCoverage.coverage = pipeline.PublishedCoverage();
        shownCoverage.mesh = showsResult ? &ShownMesh() : nullptr;
        shownCoverage.triangleCount = showsResult ? ShownMesh().TriangleCount() : 0;
        shownCoverage.meshSerial = meshSerial;
        shownCoverage.valid = showsResult;
        printability = mesh::PrintabilityReport{};
        if (runState.validated) SetModifiedFlag(true);
    }
    // A result taken in while the view shows something else keeps its words for then.
    SettleResultMessage();
    lastShownMesh = &ShownMesh();
    UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
}

CString CRidgeforgeDoc::OutOfDateReasons() const {
    CString list = SettingsDifferences(BuildPipelineSettings(), appliedSettings);
    if (textureHandOvers != handOversAtResult) {
        AddReason(list, FormatText("texture (handed to the pipeline %u time(s) since)",
                                   static_cast<unsigned>(textureHandOvers - handOversAtResult)));
    }
    return list;
}

namespace {

CString SettingsDifferences(const mesh::PipelineSettings& s, const mesh::PipelineSettings& a) {
    CString list;
    if (s.remeshEnabled != a.remeshEnabled || !(s.remesh == a.remesh)) AddReason(list, L"remesh");
    if (s.maximumTriangles != a.maximumTriangles) AddReason(list, L"triangle limit");
    if (s.projection.type != a.projection.type) AddReason(list, L"mapping type");
    if (!(s.projection.cage == a.projection.cage)) {
        AddReason(list, FormatText("cage (centre moved %.4f mm)",
                                   static_cast<double>(Distance(s.projection.cage.center, a.projection.cage.center))));
    }
    if (!SameSides(s.projection.box, a.projection.box)) AddReason(list, L"sides or blend");
    if (!SameMappingSettings(s.projection, a.projection)) AddReason(list, L"mapping settings");
    if (!mesh::LayersEqual(s.projection, a.projection)) AddReason(list, L"texture placement");
    if (!(s.tileFrame == a.tileFrame)) AddReason(list, L"one-tile frame");
    if (!(s.masks == a.masks)) AddReason(list, L"mask volumes");
    if (s.faceMaskMode != a.faceMaskMode || s.occupancyCells != a.occupancyCells) AddReason(list, L"surface test");
    if (s.displacementEnabled != a.displacementEnabled || !(s.displacement == a.displacement)) {
        AddReason(list, L"displacement");
    }
    if (s.simplifyEnabled != a.simplifyEnabled || !(s.simplify == a.simplify)) AddReason(list, L"simplify");
    return list;
}

}  // namespace

void CRidgeforgeDoc::LogResultOutOfDate() {
    if (!HasPart() || !pipeline.HasResult()) {
        currentSaid = outOfDateLogged = false;
        return;
    }
    // A run's end says where its result stands.
    if (pipeline.IsRunning() || processRequested) return;
    const bool current = IsResultCurrent();
    if (!currentSaid && !outOfDateLogged) {
        // Nothing was said of this result yet: from here on, each change is.
        SayResultCurrent(current);
        return;
    }
    if (current == currentSaid) return;
    // The log's last word on the result follows it both ways, so that an
    // Undo, a Redo or a result taken from the cache never leaves "out of
    // date" beside a footer that says "Up to date".
    if (current) {
        Log(L"The result is up to date again: the settings are those it was made with.", LogKind::Auto);
    } else {
        const CString reasons = OutOfDateReasons();
        Log(L"The result is out of date: " +
                (reasons.empty() ? CString(L"no setting differs from the run's") : reasons) + L".",
            LogKind::Auto);
    }
    SayResultCurrent(current);
}

bool CRidgeforgeDoc::ShowsReliefResult() const {
    return HasPart() && &ShownMesh() != &workingPart && appliedSettings.displacementEnabled;
}

void CRidgeforgeDoc::AddReliefCautions(mesh::ValidationReport& verdict) const {
    if (reliefCautions.empty() || !ShowsReliefResult()) return;
    // The report text pairs each problem with the advice at its place; the
    // relief's warnings carry theirs in the Information pane's message.
    verdict.advice.resize(std::min(verdict.advice.size(), verdict.problems.size()));
    for (const std::string& caution : reliefCautions) {
        if (verdict.verdict != mesh::ValidationVerdict::Unsuitable) {
            verdict.verdict = mesh::ValidationVerdict::UsableWithCare;
        }
        verdict.problems.push_back(caution);
    }
}

void CRidgeforgeDoc::ReliefWarningsText(const mesh::PipelineRunState& state) {
    // Each warning shown also names itself to the verdict, so that the verdict
    // never says "no problems" beside it.
    reliefCautions.clear();
    CString warnings;
    if (state.coverageTaken && state.texturedVertices == 0) {
        warnings =
            L"The texture reaches no surface of this part: the sides chosen in Mapping and the mask volumes keep "
            L"it off every face, so the result carries no relief.";
        Log(warnings, LogKind::Warning);
        reliefCautions.push_back("The texture reaches no surface.");
    }
    if (state.walls.measured && state.walls.placesThinned > 0) {
        const std::string summary = "The relief thinned a wall: " + mesh::FormatWallSummary(state.walls) + ".";
        if (!warnings.empty()) warnings += L"\n";
        warnings += Utf8ToCString(summary) +
                    L" The slicer lays no wall thinner than a line; less depth, or the texture moved off it, keeps "
                    L"the wall.";
        reliefCautions.push_back(summary);
    }
    if (!state.solidRan) {
        if (state.hasDisplacementReport && state.displacementReport.notMovedInward > 0) {
            const std::string held = CStringToUtf8(
                FormatText("%s vertices were not displaced inward, to keep the wall under them above %.2f mm.",
                           CStringToUtf8(FormatWithThousands(state.displacementReport.notMovedInward)).c_str(),
                           static_cast<double>(displacementSettings.wallThresholdMillimetres)));
            if (!warnings.empty()) warnings += L"\n";
            warnings += Utf8ToCString(held);
            reliefCautions.push_back(held);
        }
    } else {
        const mesh::SolidDisplacementReport& solid = state.solidReport;
        if (solid.heightsHeld > 0) {
            Log(L"The relief was held back at " + FormatWithThousands(solid.heightsHeld) +
                    L" points to keep slots and walls open.",
                LogKind::Auto);
        }
        if (solid.bodiesRemoved > 0) {
            const bool one = solid.bodiesRemoved == 1;
            Log(FormatText("Removed %s small piece%s the relief made that %s too small or too thin to print (under "
                           "one %.2f mm line).",
                           CStringToUtf8(FormatWithThousands(solid.bodiesRemoved)).c_str(), one ? "" : "s",
                           one ? "is" : "are", static_cast<double>(solid.lineWidth)),
                LogKind::Auto);
        }
    }
    if (workingPart.boundsValid) {
        float extents[3] = {workingPart.boundsMax.x - workingPart.boundsMin.x,
                            workingPart.boundsMax.y - workingPart.boundsMin.y,
                            workingPart.boundsMax.z - workingPart.boundsMin.z};
        std::sort(extents, extents + 3);
        const float across = extents[1];
        const float relief = mesh::ReliefMillimetres(state).value_or(0.0f);
        if (across > 0.0f && relief > 0.0f && (across < 20.0f || relief / across > 0.083333336f)) {
            const CString text = FormatText(
                "This part is small for a relief: %.1f mm across, with %.2f mm of relief (%.0f%% of its size) and "
                "room for about %.0f printed lines across it. The pattern is likely to print as a rough blob rather "
                "than a texture. A shallower relief, a larger tile, or the part printed larger reads better.",
                static_cast<double>(across), static_cast<double>(relief), static_cast<double>(relief / across * 100.0f),
                static_cast<double>(across / 0.42f));
            Log(text, LogKind::Warning);
            warnings = text + (warnings.empty() ? CString() : L"\n\n" + warnings);
            reliefCautions.insert(reliefCautions.begin(), "This part is small for a relief.");
        }
    }
    const mesh::PrintabilityReport& result = state.printability;
    const std::size_t airBefore = state.beforeChecked ? state.printabilityBefore.featuresInAir.size() : 0;
    const std::size_t farBefore = state.beforeChecked ? state.printabilityBefore.farReaches.size() : 0;
    const std::size_t air = result.featuresInAir.size();
    const std::size_t far = result.farReaches.size();
    if (result.checked && mesh::HasPrintFindings(result) && (air > airBefore || far > farBefore)) {
        CString text = L"The relief needs support.";
        if (air > airBefore) {
            text += L"\n" + FormatWithThousands(air - airBefore) + L" feature(s) have nothing beneath them.";
        }
        if (far > farBefore) {
            text +=
                L"\n" + FormatWithThousands(far - farBefore) + L" layer(s) reach more than 6 mm past the layer below.";
        }
        text +=
            L"\nEnable support in the slicer, or Reset and displace with the texture moved or with less depth. "
            L"Mesh > Check Printability shows where.";
        if (!warnings.empty()) text += L"\n\n" + warnings;
        reliefCautions.insert(reliefCautions.begin(), "The relief needs support.");
        ShowResultMessage(text, InfoKind::Caution);
        return;
    }
    if (!warnings.empty()) ShowResultMessage(warnings, InfoKind::Caution);
}

}  // namespace ridgeforge
