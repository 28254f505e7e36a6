// One hover of the viewport with the cage shown and a tool active: the ray
// through the cursor, the tool's handle hit tests and, when no handle is
// under the cursor, the pick of the projector's side (box, and a cylinder of
// 48 segments). The renderer is used for its camera only, without a context.
#include <benchmark/benchmark.h>

#include "ui/view/ViewportInteraction.h"

namespace {

using namespace ridgeforge;

class Host : public ICageHost {
public:
    bool HasPart() const override { return true; }
    const mesh::Projection& Projection() const override { return projection; }
    ViewTool ActiveTool() const override { return tool; }
    void SetHover(std::int32_t, gl::HandleKind) override {}
    void ClickSide(std::int32_t, bool) override {}
    void SelectSide(std::int32_t) override {}
    void SetHandlePlacement(const gl::Placement&) override {}
    const gl::Placement* HandlePlacement() const override { return &projection.cage; }
    bool SelectedMaskIsCylinder() const override { return false; }
    gl::TextureHandleFrame TextureHandleFrame() const override { return {}; }
    void BeginTextureDrag() override {}
    void DragTextureLayer(std::int32_t, const mesh::ProjectionLayer&) override {}
    void RefreshHandles() override {}
    bool PickPart(const mesh::Ray&, mesh::Vec3f&) override { return false; }
    void BeginHandleDrag() override {}
    void EndHandleDrag() override {}

    mesh::Projection projection;
    ViewTool tool = ViewTool::RotateCage;
};

class Port : public ViewportPort {
public:
    void TakeFocusAndCapture() override {}
    bool HasCapture() const override { return false; }
    void ReleaseCapture() override {}
    void Invalidate() override {}
    void StartAnimationTimer() override {}
    void StopAnimationTimer() override {}
    unsigned Dpi() const override { return 96; }
    bool RequestLeaveNotification() override { return true; }
};

void BM_HoverWithCageAndTool(benchmark::State& state) {
    gl::Renderer renderer;
    renderer.ready = true;
    renderer.showCage = true;
    Port port;
    ViewportInteraction interaction(renderer, port);
    interaction.Resize(1280, 800);
    Host host;
    host.projection.cage.size = {2.0f, 2.0f, 2.0f};
    host.projection.type = state.range(0) == 0 ? mesh::ProjectionType::Box : mesh::ProjectionType::Cylinder;
    interaction.SetHosts(&host, nullptr);
    int x = 640;
    for (auto _ : state) {
        // Over the cage, away from the rings, alternating so the hover changes.
        x = x == 640 ? 641 : 640;
        interaction.Move({x, 400, false, false});
    }
    renderer.ready = false;
    state.SetLabel(state.range(0) == 0 ? "box" : "cylinder");
}
BENCHMARK(BM_HoverWithCageAndTool)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
