// Stand-ins for what the viewport talks to: a host view that records every
// call and answers from plain fields, a resting-face host, and a window port
// with a capture flag and a timer flag. The clock is a number the test sets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/view/ViewportHosts.h"
#include "ui/view/ViewportInteraction.h"

namespace ridgeforge::testing {

class FakeCageHost : public ICageHost {
public:
    bool HasPart() const override { return hasPart; }
    const mesh::Projection& Projection() const override { return projection; }
    ViewTool ActiveTool() const override { return tool; }
    void SetHover(std::int32_t side, gl::HandleKind handle) override { hovers.push_back({side, handle}); }
    void ClickSide(std::int32_t side, bool ctrl) override { clicks.push_back({side, ctrl}); }
    void SelectSide(std::int32_t side) override { selected.push_back(side); }
    void SetHandlePlacement(const gl::Placement& p) override {
        placements.push_back(p);
        placement = p;
    }
    const gl::Placement* HandlePlacement() const override { return havePlacement ? &placement : nullptr; }
    bool SelectedMaskIsCylinder() const override { return cylinder; }
    gl::TextureHandleFrame TextureHandleFrame() const override { return frame; }
    void BeginTextureDrag() override { calls.push_back("BeginTextureDrag"); }
    void DragTextureLayer(std::int32_t side, const mesh::ProjectionLayer& layer) override {
        layers.push_back({side, layer});
    }
    void RefreshHandles() override { ++refreshes; }
    bool PickPart(const mesh::Ray&, mesh::Vec3f& point) override {
        if (!partPoint) return false;
        point = *partPoint;
        return true;
    }
    void BeginHandleDrag() override { calls.push_back("BeginHandleDrag"); }
    void EndHandleDrag() override { calls.push_back("EndHandleDrag"); }

    bool hasPart = true;
    mesh::Projection projection;
    ViewTool tool = ViewTool::None;
    bool havePlacement = false;
    gl::Placement placement;
    bool cylinder = false;
    gl::TextureHandleFrame frame;
    std::optional<mesh::Vec3f> partPoint;

    std::vector<std::pair<std::int32_t, gl::HandleKind>> hovers;
    std::vector<std::pair<std::int32_t, bool>> clicks;
    std::vector<std::int32_t> selected;
    std::vector<gl::Placement> placements;
    std::vector<std::pair<std::int32_t, mesh::ProjectionLayer>> layers;
    std::vector<std::string> calls;
    int refreshes = 0;
};

class FakeRestingFaceHost : public IRestingFaceHost {
public:
    bool IsActive() const override { return active; }
    std::int32_t PickFace(const mesh::Ray&) override { return face; }
    void SetHoverFace(std::int32_t f) override { hovered.push_back(f); }
    void ApplyFace(std::int32_t f) override { applied.push_back(f); }

    bool active = true;
    std::int32_t face = -1;
    std::vector<std::int32_t> hovered;
    std::vector<std::int32_t> applied;
};

class FakePort : public ViewportPort {
public:
    void TakeFocusAndCapture() override { capture = true; }
    bool HasCapture() const override { return capture; }
    void ReleaseCapture() override { capture = false; }
    void Invalidate() override { ++invalidations; }
    void StartAnimationTimer() override { timer = true; }
    void StopAnimationTimer() override { timer = false; }
    unsigned Dpi() const override { return dpi; }
    bool RequestLeaveNotification() override { return true; }

    bool capture = false;
    bool timer = false;
    unsigned dpi = 96;
    int invalidations = 0;
};

}  // namespace ridgeforge::testing
