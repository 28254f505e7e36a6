// What the 3D viewport asks of the view that owns it: about the part, the
// projection, the active tool and the handles (ICageHost), and about the
// Lay on Face tool (IRestingFaceHost). The viewport knows nothing of the
// document; everything goes through these.
#pragma once

#include <cstdint>

#include "gl/Handles.h"
#include "mesh/RayTests.h"
#include "mesh/Vec3.h"
#include "relief/mapping/Projection.h"

namespace ridgeforge {

class ICageHost {
public:
    virtual ~ICageHost() = default;
    // True only while a part with vertices and triangles is loaded.
    virtual bool HasPart() const = 0;
    // Never dangling: a default projection when there is no document.
    virtual const mesh::Projection& Projection() const = 0;
    virtual ViewTool ActiveTool() const = 0;
    // Called only when either value changed.
    virtual void SetHover(std::int32_t side, gl::HandleKind handle) = 0;
    // A click on a cage side while no texture tool is active.
    virtual void ClickSide(std::int32_t side, bool ctrl) = 0;
    // A click on a cage side while a texture tool is active.
    virtual void SelectSide(std::int32_t side) = 0;
    virtual void SetHandlePlacement(const gl::Placement& placement) = 0;
    // What the placement handles edit; null when there is none.
    virtual const gl::Placement* HandlePlacement() const = 0;
    virtual bool SelectedMaskIsCylinder() const = 0;
    virtual gl::TextureHandleFrame TextureHandleFrame() const = 0;
    // Once per texture drag, after BeginHandleDrag.
    virtual void BeginTextureDrag() = 0;
    virtual void DragTextureLayer(std::int32_t side, const mesh::ProjectionLayer& layer) = 0;
    // After every camera change and resize, so handles keep their size on screen.
    virtual void RefreshHandles() = 0;
    // The nearest hit of the ray on the part.
    virtual bool PickPart(const mesh::Ray& ray, mesh::Vec3f& point) = 0;
    // Once when any handle drag starts.
    virtual void BeginHandleDrag() = 0;
    virtual void EndHandleDrag() = 0;
};

class IRestingFaceHost {
public:
    virtual ~IRestingFaceHost() = default;
    // While Lay on Face is on the cursor picks faces and nothing else hovers.
    virtual bool IsActive() const = 0;
    // The candidate face hit nearest, -1 when none.
    virtual std::int32_t PickFace(const mesh::Ray& ray) = 0;
    virtual void SetHoverFace(std::int32_t face) = 0;
    virtual void ApplyFace(std::int32_t face) = 0;
};

}  // namespace ridgeforge
