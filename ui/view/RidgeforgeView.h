// The single view of the document: it owns the OpenGL viewport window and
// the empty-state hint, turns each document update into the cheapest refresh
// that is right (a full upload, or only the texture coordinates and mask
// weights during placement drags), keeps parts over the display limit on
// screen as a tinted reduced copy, and answers the viewport's handle and
// Lay on Face questions (ICageHost, IRestingFaceHost).
//
// The refresh rules talk to the renderer and the main window only through
// IViewRenderSink and IViewShell: CreateViewWindow makes the real ones, and
// tests attach recorders instead. User-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/RidgeforgeDoc.h"
#include "mesh/AabbTree.h"
#include "ui/framework/DocView.h"
#include "ui/view/ViewSinks.h"
#include "ui/view/ViewportHosts.h"

class wxWindow;

namespace ridgeforge {

class COpenGLViewport;
class ViewCommands;
class ViewWindowParts;

enum class DisplayMode : std::int32_t { Normal = 0, Sliced = 4 };

struct SurfaceChoice {
    gl::SurfaceMode mode = gl::SurfaceMode::Plain;
    bool set = false;
};

class CRidgeforgeView : public ui::View, public ICageHost, public IRestingFaceHost {
public:
    static constexpr int kHintId = 1002;
    static constexpr const wchar_t* kHintText = L"Open an STL to begin: File > Open STL (Ctrl+O), or drop a file here.";
    static constexpr const wchar_t* kNoMeshText = L"No mesh loaded.\r\n\r\nUse File > Open STL to load one.";

    CRidgeforgeView();
    ~CRidgeforgeView() override;

    // ui::View.
    void OnInitialUpdate() override;
    void OnUpdate(DocumentView* sender, ViewUpdateHint hint) override;
    void CreateViewWindow(wxWindow* parent) override;
    // The main frame's services for the window made next (not owned; it
    // outlives the view's window). Null: the view stands on its own.
    void SetShell(IViewShell* shell) { frameShell_ = shell; }
    wxWindow* Window() const override;

    // Stands in for the viewport and the main window (tests); the view does
    // not own them.
    void AttachSinks(IViewRenderSink* renderer, IViewShell* shell);
    CRidgeforgeDoc* Document() const;

    // Refreshes.
    void RefreshAll();
    void RefreshProjectionOnly();
    void UploadMesh(bool newPart);
    void BuildRenderSettings();
    void SyncMaskList();
    void ChooseSurfaceMode();
    void UpdateOverlays();
    void UpdateGizmos();
    void UpdateMaskOverlay();
    void UpdatePrintCheckOverlay(bool wanted);
    void UpdateRestingFaceHighlight();
    void ToolStatusText();
    void LayoutChildren();
    // Frame statistics from the renderer, at `nowMilliseconds`.
    void OnFrameStatistics(const gl::FrameStatistics& statistics, std::uint64_t nowMilliseconds);
    // The Lay on Face command's effect.
    void ToggleLayOnFace();
    // The No Handles command's effect.
    void SelectNoTool();

    // ICageHost.
    bool HasPart() const override;
    const mesh::Projection& Projection() const override;
    ViewTool ActiveTool() const override { return tool; }
    void SetHover(std::int32_t side, gl::HandleKind handle) override;
    void ClickSide(std::int32_t side, bool ctrl) override;
    void SelectSide(std::int32_t side) override;
    void SetHandlePlacement(const gl::Placement& placement) override;
    const gl::Placement* HandlePlacement() const override;
    bool SelectedMaskIsCylinder() const override;
    gl::TextureHandleFrame TextureHandleFrame() const override;
    void BeginTextureDrag() override;
    void DragTextureLayer(std::int32_t side, const mesh::ProjectionLayer& layer) override;
    void RefreshHandles() override;
    bool PickPart(const mesh::Ray& ray, mesh::Vec3f& point) override;
    void BeginHandleDrag() override;
    void EndHandleDrag() override {}

    // IRestingFaceHost.
    bool IsActive() const override { return layOnFaceActive; }
    std::int32_t PickFace(const mesh::Ray& ray) override;
    void SetHoverFace(std::int32_t face) override;
    void ApplyFace(std::int32_t face) override;

    // State (read by the commands and the tests).
    bool layOnFaceActive = false;
    std::int32_t hoverRestingFace = -1;
    std::vector<std::array<float, 2>> cornerTextureCoordinates;
    std::uint64_t reducedSourceTriangles = 0;
    std::uint64_t reducedTriangles = 0;
    CString lastDisplayNotice;
    bool inToolFallback = false;
    ViewTool tool = ViewTool::None;
    gl::HandleKind hoverHandle = gl::HandleKind::None;
    std::int32_t hoverCageSide = -1;
    std::uint32_t shownPartRevision = 0;
    bool colourByComponent = false;
    DisplayMode displayMode = DisplayMode::Normal;
    SurfaceChoice appliedSurface;
    SurfaceChoice resultSurfaceChoice;
    SurfaceChoice inputSurfaceChoice;
    const mesh::TriangleMesh* resultChoiceMesh = nullptr;
    gl::ShadingMode shading = gl::ShadingMode::Flat;
    std::string slicedPreviewReport;
    bool slicedPreviewRefused = false;  // the part was too large to preview
    std::vector<std::uint32_t> sliceLayerOfTriangle;
    std::uint64_t layersPerPreviewLayer = 1;
    bool clippingPlane = false;
    // The cage shown for per-side editing (Edit per Side).
    bool editPerSide = false;
    bool showPrintCheck = false;
    std::uint64_t lastFrameStatusTick = 0;
    bool frameStatusShown = false;
    // Whether the empty-state hint is up (the window's, or the tests' record).
    bool hintVisible = false;

    gl::ShadingMode EffectiveShading() const {
        return displayMode == DisplayMode::Sliced ? gl::ShadingMode::Smooth : shading;
    }

    // The command rows (menus, keys, toolbar, sections, mask panel).
    ViewCommands& CommandHandlers() { return *commands; }

private:
    friend class ViewCommands;
    bool PartLoaded() const;
    bool ShowReducedCopy(const mesh::TriangleMesh& mesh, const gl::ProjectedCoordinates& record, std::uint64_t budget,
                         bool newPart);
    void ShowNotice(const CString& notice);
    void SetInformationText(const CString& text);
    void ApplyShading();
    mesh::Projection WholeTileProjection() const;

    IViewRenderSink* renderer_ = nullptr;
    IViewShell* shell_ = nullptr;
    IViewShell* frameShell_ = nullptr;
    std::unique_ptr<ViewWindowParts> window_;
    mutable gl::Placement handlePlacement_;
    bool startingRun_ = false;
    // Which shown mesh the pick tree was built for.
    struct PickTreeKey {
        const mesh::TriangleMesh* mesh = nullptr;
        std::size_t triangles = 0;
        std::uint32_t meshSerial = 0;
        std::uint32_t resultSerial = 0;
        mesh::Vec3f boundsMin;
        mesh::Vec3f boundsMax;
        bool operator==(const PickTreeKey&) const = default;
    };
    std::shared_ptr<mesh::AabbTree> pickTree_;
    PickTreeKey pickTreeKey_;
    mesh::Projection defaultProjection_;
    std::unique_ptr<ViewCommands> commands;
};

// "Tool: none (orbit)", "Tool: Move Texture", ...
CString ToolStatus(ViewTool tool);

}  // namespace ridgeforge
