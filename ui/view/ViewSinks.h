// What the 3D view drives besides the document: the renderer behind the
// viewport window (IViewRenderSink) and the main window's status bar, log,
// Information pane and command posting (IViewShell). The window program
// implements both over the viewport and the main frame; the tests implement
// them with recorders, so the view's refresh rules run without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/DocumentHost.h"
#include "gl/RendererTypes.h"
#include "mesh/TriangleMesh.h"
#include "relief/mapping/MaskOverlay.h"
#include "relief/mapping/MaskVolume.h"
#include "textures/HeightMap.h"

namespace ridgeforge {

namespace ui {
class Profile;
}

class IViewRenderSink {
public:
    virtual ~IViewRenderSink() = default;
    // The viewport window exists and its renderer is initialised.
    virtual bool Ready() const = 0;
    virtual std::string LastError() const = 0;
    virtual bool UploadMesh(const mesh::TriangleMesh& mesh, const gl::ProjectedCoordinates& coordinates,
                            bool reframe) = 0;
    // False when the uploaded mesh has another corner count.
    virtual bool UpdateVertexProjection(const mesh::TriangleMesh& mesh,
                                        const gl::ProjectedCoordinates& coordinates) = 0;
    virtual void ClearMesh() = 0;
    virtual bool HasUploadedMesh() const = 0;
    virtual void SetEdgeOverlays(const gl::EdgeOverlay& overlay) = 0;
    // Empty lists delete the overlay.
    virtual void SetPrintCheckOverlay(const gl::PrintCheckOverlay& overlay) = 0;
    virtual bool UploadHeightMap(const mesh::HeightMap& map) = 0;
    virtual void DeleteHeightMap() = 0;
    virtual void SetCageOverlay(const gl::CageOverlay& overlay) = 0;
    virtual void ClearCageOverlay() = 0;
    // Empty geometry deletes the overlay.
    virtual void SetGizmoOverlay(const gl::ColouredGeometry& geometry) = 0;
    virtual void SetMaskOverlay(const gl::ColouredGeometry& geometry) = 0;
    virtual void SetMasks(const std::vector<mesh::MaskVolume>& masks) = 0;
    virtual void SetRestingFaceHighlight(const std::vector<mesh::Vec3f>& points,
                                         const std::vector<mesh::Vec3f>& colours) = 0;
    // The face the viewport shows as hovered; -1 for none.
    virtual void SetHoverFace(std::int32_t face) = 0;
    // Repaints only when the state differs from the renderer's.
    virtual void SetMappingState(const gl::MappingState& state) = 0;
    virtual gl::SurfaceMode SurfaceMode() const = 0;
    virtual void SetSurfaceMode(gl::SurfaceMode mode) = 0;
    virtual gl::ShadingMode ShadingMode() const = 0;
    virtual void SetShadingMode(gl::ShadingMode mode) = 0;
    virtual void SetShowPrintCheck(bool show) = 0;
    virtual mesh::Vec3f EyePosition() const = 0;
    virtual float PixelsToWorldAt(const mesh::Vec3f& point, float pixels) const = 0;
    virtual float GizmoWorldSize() const = 0;
    virtual float PickWorldRadius() const = 0;
    virtual void Repaint() = 0;
};

class IViewShell {
public:
    virtual ~IViewShell() = default;
    virtual void SetInformationText(const CString& text) = 0;
    // The Information pane's message line.
    virtual void ShowMessage(const CString& text, InfoKind kind) = 0;
    virtual CString Message() const = 0;
    virtual void Log(const CString& text, LogKind kind) = 0;
    virtual bool DetailedLog() const = 0;
    // Status-bar panes 2 and 3; the shell sets them only when they change.
    virtual void SetToolText(const CString& text) = 0;
    virtual void SetFrameText(const CString& text) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // Shows the Information pane and gives its text the keyboard focus.
    virtual void ShowInformationPane() {}
    // Where the view's floating panels keep their place; null for none.
    virtual ui::Profile* Profile() const { return nullptr; }
};

}  // namespace ridgeforge
