// The texture: an image loaded from disk or a procedural pattern rendered at
// the size the part needs, its settings, one tile laid over a part when the
// texture does not repeat, and handing an immutable copy to the pipeline.
#include <algorithm>
#include <cmath>

#include "document/DocumentText.h"
#include "document/ProjectFile.h"
#include "document/RidgeforgeDoc.h"
#include "document/internal/DocumentInternals.h"
#include "relief/mapping/SideExtent.h"
#include "relief/mapping/WholeTiles.h"
#include "textures/procedural/ProceduralTexture.h"
#include "textures/procedural/TextureRegistry.h"
#include "textures/HeightMapImage.h"
#include "textures/NormalMap.h"
#include "textures/SeamSettings.h"

namespace ridgeforge {

namespace {

constexpr float kPixelsPerMillimetre = 32.0f;

void ResetLevels(mesh::TextureSettings& settings) {
    settings.blackLevel = 0.0f;
    settings.whiteLevel = 1.0f;
    settings.gamma = 1.0f;
    settings.outputBlackLevel = 0.0f;
    settings.outputWhiteLevel = 1.0f;
}

mesh::WrapMode WrapFor(const mesh::TextureSettings& settings) {
    if (!settings.tiles) return mesh::WrapMode::Clamp;
    return settings.seamlessMethod == "Mirror" ? mesh::WrapMode::Mirror : mesh::WrapMode::Repeat;
}

std::int32_t RenderSide(float millimetres, float zoom) {
    const double wanted = std::max(0.0, static_cast<double>(millimetres)) * zoom * kPixelsPerMillimetre;
    // A size that is not a number renders at the floor.
    if (!(wanted >= 256.0)) return 256;
    if (wanted > 4096.0) return 4096;
    return static_cast<std::int32_t>(std::lround(wanted));
}

const wchar_t* const kImageFilter =
    L"Images (*.png;*.tif;*.tiff;*.bmp;*.jpg;*.jpeg)|*.png;*.tif;*.tiff;*.bmp;*.jpg;*.jpeg|PNG (*.png)|*.png|TIFF "
    L"(*.tif;*.tiff)|*.tif;*.tiff|BMP (*.bmp)|*.bmp|JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|All Files (*.*)|*.*||";

const wchar_t* const kNormalMapQuestion =
    L"This image looks like a normal map: mostly blue, with red and green centred. A normal map stores the "
    L"surface's slope, not its height, but the height can be integrated from it.\n\nYes:  convert it, green pointing "
    L"up the image (OpenGL style, the common one)\nNo:   convert it, green pointing down the image (DirectX "
    L"style)\nCancel:  use the image as it is";

}  // namespace

std::vector<int> document_internal::LayersInUse(const mesh::Projection& projection) {
    std::vector<int> layers;
    switch (projection.type) {
        case mesh::ProjectionType::Box:
        case mesh::ProjectionType::Sphere:
            for (int side = 0; side < mesh::kSideCount; ++side) {
                if (projection.box.sideEnabled[static_cast<std::size_t>(side)]) layers.push_back(side);
            }
            break;
        case mesh::ProjectionType::Plane:
            layers.push_back(4);
            break;
        case mesh::ProjectionType::Cylinder:
            if (projection.cylinder.sideEnabled) layers.push_back(0);
            if (projection.cylinder.topCapEnabled) layers.push_back(4);
            if (projection.cylinder.bottomCapEnabled) layers.push_back(5);
            break;
    }
    return layers;
}

bool CRidgeforgeDoc::LoadHeightMap(const CString& path) {
    // Everything that grows with the image (decoding, the seamless method,
    // the blur) is made before the document changes; the document then
    // takes the made map over, its pixels shared and not copied.
    return GuardMemory(L"load this image", L"The texture is as it was.", [&] { return LoadHeightMapFile(path); });
}

bool CRidgeforgeDoc::LoadHeightMapFile(const CString& path) {
    document_internal::WaitCursor wait(Host());
    Log(L"Loading height map " + path, LogKind::Auto);
    mesh::HeightMapImage image = mesh::LoadHeightMapImage(PathFromWide(path), mesh::SrgbDecoding::Never);
    LogText(mesh::DescribeHeightMapImage(image));
    if (!image.ok) {
        ShowInformation(L"This image could not be loaded.\n" + Utf8ToCString(image.error), InfoKind::Problem,
                        InformationSource::Image);
        return false;
    }
    ClearInformationFrom(InformationSource::Image);
    std::int32_t width = image.width;
    std::int32_t height = image.height;
    std::vector<float> pixels = std::move(image.heights);
    if (image.normalMap && Host() != nullptr) {
        const QuestionAnswer answer =
            Host()->AskQuestion(kNormalMapQuestion, QuestionButtons::YesNoCancel, QuestionIcon::Question);
        if (answer != QuestionAnswer::Cancel) {
            mesh::NormalMapHeights heights =
                mesh::IntegrateNormalMap(image.rgb, image.width, image.height, answer == QuestionAnswer::Yes);
            if (heights.ok) {
                width = heights.width;
                height = heights.height;
                pixels = std::move(heights.heights);
                Log(L"Normal map: " + Utf8ToCString(heights.message) + L".", LogKind::Auto);
            } else {
                Log(L"Normal map: not converted - " + Utf8ToCString(heights.message) + L".", LogKind::Auto);
            }
        }
    }
    image = mesh::HeightMapImage{};
    const bool tiledBefore = texture.settings.tiles;
    mesh::TextureSettings settings = texture.settings;
    ResetLevels(settings);
    const SeamSettings seams = GetSeamSettingsFor(UserDataRoots(), CStringToUtf8(path));
    settings.seamlessMethod = seams.method;
    settings.seamlessParameters = seams.parameters;
    if (proceduralTexture != nullptr && !proceduralTexture->tileable) settings.tiles = true;
    settings.wrap = WrapFor(settings);
    mesh::HeightMap next;
    next.settings = settings;
    next.SetImage(width, height, std::move(pixels));
    next.name = Utf8FromPath(PathFromWide(path).filename());

    proceduralTexture.reset();
    proceduralPresetName.clear();
    texture = std::move(next);
    ++textureRevision;
    ++shownTextureRevision;
    textureImagePath = path;
    if (seams.method != "Unchanged") {
        Log(L"Seams: " + Utf8ToCString(seams.method) + L", as chosen for this image before.", LogKind::Auto);
    }
    FitOneTileToPart();
    if (texture.settings.autoLevels) {
        Log(FormatText("Auto levels: black %.3f, white %.3f (the image's 1st and 99th percentiles).",
                       static_cast<double>(texture.settings.blackLevel),
                       static_cast<double>(texture.settings.whiteLevel)),
            LogKind::Auto);
    }
    SyncTextureToPipeline();
    if (tiledBefore && texture.settings.tiles) {
        UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    } else {
        OnSettingsChanged();
    }
    return true;
}

void CRidgeforgeDoc::ApplyTextureSettings(const mesh::TextureSettings& wanted) {
    const mesh::TextureSettings old = texture.settings;
    mesh::TextureSettings settings = wanted;
    // Switching automatic levels off keeps the picture unless the user also
    // moved the levels it had worked out.
    if (old.autoLevels && !settings.autoLevels && settings.blackLevel == old.blackLevel &&
        settings.whiteLevel == old.whiteLevel) {
        settings.blackLevel = 0.0f;
        settings.whiteLevel = 1.0f;
    }
    if (proceduralTexture != nullptr) {
        settings.seamlessMethod = "Unchanged";
        settings.seamlessParameters.clear();
    }
    settings.wrap = WrapFor(settings);
    texture.SetSettings(settings);
    if (old.tiles && !settings.tiles) FitOneTileToPart();
    UpdateProceduralTexture(false);
    const bool seamsChanged =
        settings.seamlessMethod != old.seamlessMethod || settings.seamlessParameters != old.seamlessParameters;
    if (HasTexture() && seamsChanged) {
        Log(Utf8ToCString(mesh::seamless::DescribeReport(texture.seamlessReport)), LogKind::Auto);
        if (proceduralTexture == nullptr && !textureImagePath.empty()) {
            // Kept on disk only: unsaved, the choice is gone when the image is opened again.
            std::string reason;
            if (!StoreSeamSettings(UserDataRoots(), CStringToUtf8(textureImagePath),
                                   SeamSettings{settings.seamlessMethod, settings.seamlessParameters}, &reason)) {
                Log(L"The image's seamless setting could not be saved for next time: " + Utf8ToCString(reason),
                    LogKind::Error);
            }
        }
    }
    SyncTextureToPipeline();
    if (old.tiles && texture.settings.tiles) {
        UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
    } else {
        OnSettingsChanged();
    }
}

void CRidgeforgeDoc::SyncTextureToPipeline() {
    if (pipelineTextureRevision == static_cast<std::int64_t>(shownTextureRevision) &&
        pipelineTextureSettings == texture.settings) {
        return;
    }
    pipelineTextureRevision = static_cast<std::int32_t>(shownTextureRevision);
    pipelineTextureSettings = texture.settings;
    const bool dropsRun = processRequested && pipeline.IsRunning();
    pipeline.SetTexture(texture);
    if (dropsRun)
        ReportDroppedRun(
            L"Stopped: the texture changed during the run. The part is as it was; Process runs it again when asked.");
    ++textureHandOvers;
    PushUndoSnapshot();
    if (HasPart()) {
        const mesh::TriangleMesh* shown = &ShownMesh();
        if (shown != lastShownMesh) {
            lastShownMesh = shown;
            UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
        }
    }
}

std::pair<std::int32_t, std::int32_t> CRidgeforgeDoc::ProceduralRenderSize() const {
    float zoom = mesh::LargestLayerZoom(projection);
    if (!(zoom > 0.0f)) zoom = 1.0f;
    return {RenderSide(texture.settings.widthMillimetres, zoom), RenderSide(texture.settings.heightMillimetres, zoom)};
}

void CRidgeforgeDoc::ApplyProceduralTexture(std::unique_ptr<mesh::procedural::ProceduralTexture> pattern,
                                            const std::wstring& presetName) {
    if (pattern == nullptr) return;
    ClearInformationFrom(InformationSource::Image);
    document_internal::WaitCursor wait(Host());
    const bool tiledBefore = texture.settings.tiles;
    proceduralTexture = std::move(pattern);
    proceduralPresetName = presetName;
    textureImagePath.clear();
    mesh::TextureSettings settings = texture.settings;
    settings.seamlessMethod = "Unchanged";
    settings.seamlessParameters.clear();
    ResetLevels(settings);
    settings.tiles = proceduralTexture->tileable;
    settings.wrap = settings.tiles ? mesh::WrapMode::Repeat : mesh::WrapMode::Clamp;
    texture.SetSettings(settings);
    FitOneTileToPart();
    UpdateProceduralTexture(true);
    if (!(tiledBefore && settings.tiles)) OnSettingsChanged();
    if (proceduralTexture == nullptr) return;
    const float zoom = mesh::LargestLayerZoom(projection);
    Log(L"Procedural texture: " + Utf8ToCString(proceduralTexture->Describe()), LogKind::Auto);
    if (!proceduralTexture->tileable) {
        Log(FormatText("  this pattern does not repeat, so one tile is laid over the whole model: %.1f mm at zoom %.2f",
                       static_cast<double>(texture.settings.widthMillimetres), static_cast<double>(zoom)),
            LogKind::Auto);
    }
    Log(FormatText("  rendered at %d x %d pixels for %.1f x %.1f mm at zoom %.2f (%.0f pixels per mm)", texture.width,
                   texture.height, static_cast<double>(texture.settings.widthMillimetres),
                   static_cast<double>(texture.settings.heightMillimetres), static_cast<double>(zoom),
                   static_cast<double>(kPixelsPerMillimetre)),
        LogKind::Auto);
}

void CRidgeforgeDoc::FitOneTileToPart() {
    // A procedural pattern that does not repeat is laid the same way as an
    // image, also before its first render.
    if (!HasPart() || texture.settings.tiles) return;
    float span = 0.0f;
    for (int side : document_internal::LayersInUse(projection)) {
        const mesh::SideExtentResult extent = mesh::SideExtent(projection, side, false);
        if (extent.valid) span = std::max(span, 2.0f * std::max(extent.halfWidth, extent.halfHeight));
    }
    const float width = texture.settings.widthMillimetres;
    if (!(span > 0.0f) || !(width > 0.0f) || !std::isfinite(span)) return;
    for (mesh::ProjectionLayer& layer : projection.layer) {
        layer.zoom = span / width;
        layer.originMillimetres[0] = -span / 2.0f;
        layer.originMillimetres[1] = -span / 2.0f;
        layer.rotationDegrees = 0.0f;
    }
}

void CRidgeforgeDoc::UpdateProceduralTexture(bool force) {
    if (proceduralTexture == nullptr) return;
    const auto [width, height] = ProceduralRenderSize();
    if (!force && HasTexture()) {
        const double rx = static_cast<double>(width) / texture.width;
        const double ry = static_cast<double>(height) / texture.height;
        const auto near = [](double ratio) { return ratio > 1.0 / 1.5 && ratio < 1.5; };
        if (near(rx) && near(ry)) return;
    }
    mesh::TextureSettings settings = texture.settings;
    settings.seamlessMethod = "Unchanged";
    settings.seamlessParameters.clear();
    std::vector<float> pixels = proceduralTexture->RenderHeightMap(width, height);
    if (pixels.empty()) {
        Log(L"The procedural texture was not rendered: " +
                Utf8ToCString(mesh::procedural::RenderSizeProblem(width, height)) + L". The texture stays as it was.",
            LogKind::Warning);
        return;
    }
    texture.SetImage(width, height, std::move(pixels));
    ++textureRevision;
    ++shownTextureRevision;
    texture.neutralHeight = proceduralTexture->EffectiveNeutralHeight();
    texture.name = std::string(proceduralTexture->Name()) + " (procedural)";
    texture.SetSettings(settings);
    SyncTextureToPipeline();
    UpdateAllViews(nullptr, ViewUpdateHint::FullRefresh);
}

void CRidgeforgeDoc::OnLoadTextureFromDisk() {
    if (Host() == nullptr) return;
    FileDialogRequest request;
    request.title = L"Load Texture From Disk";
    request.fileMustExist = true;
    request.hideReadOnly = true;
    request.filter = kImageFilter;
    if (const std::optional<CString> path = Host()->ChooseFileToOpen(request)) LoadHeightMap(*path);
}

void CRidgeforgeDoc::OnProceduralPattern(std::size_t index) {
    if (Host() == nullptr) return;
    const std::vector<std::string> names = mesh::procedural::TextureNames();
    if (index >= names.size()) return;
    std::unique_ptr<mesh::procedural::ProceduralTexture> pattern = mesh::procedural::CreateTexture(names[index]);
    if (pattern == nullptr) return;
    const bool inUse = proceduralTexture != nullptr && names[index] == proceduralTexture->Name();
    if (inUse) pattern->ParseValues(proceduralTexture->FormatValues());
    if (!Host()->RunProceduralTextureDialog(*pattern)) return;
    if (inUse && pattern->FormatValues() == proceduralTexture->FormatValues()) return;
    ApplyProceduralTexture(std::move(pattern), std::wstring());
}

void CRidgeforgeDoc::OnProceduralSettings() {
    if (proceduralTexture == nullptr || Host() == nullptr) return;
    std::unique_ptr<mesh::procedural::ProceduralTexture> pattern =
        mesh::procedural::CreateTexture(proceduralTexture->Name());
    if (pattern == nullptr) return;
    pattern->ParseValues(proceduralTexture->FormatValues());
    if (!Host()->RunProceduralTextureDialog(*pattern)) return;
    if (pattern->FormatValues() == proceduralTexture->FormatValues()) return;
    ApplyProceduralTexture(std::move(pattern), std::wstring());
}

void CRidgeforgeDoc::OnUpdateProceduralSettings(CommandState& state) const {
    state.enabled = proceduralTexture != nullptr;
}

}  // namespace ridgeforge
