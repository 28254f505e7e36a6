// The view's work during a placement drag (the projection-only refresh:
// per-corner texture coordinates of the whole part, in parallel) at 100,000
// and 1,000,000 triangles, and the part pick under the cursor on 4,000,000
// (after the first pick has built its tree).
// The renderer is a sink that takes the data and draws nothing, so the
// figures are the view's own.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>

#include "document/RidgeforgeDoc.h"
#include "testing/Shapes.h"
#include "ui/view/RidgeforgeView.h"

namespace {

using namespace ridgeforge;

class NullSink : public IViewRenderSink {
public:
    bool Ready() const override { return true; }
    std::string LastError() const override { return {}; }
    bool UploadMesh(const mesh::TriangleMesh& m, const gl::ProjectedCoordinates&, bool) override {
        corners = m.indices.size();
        return true;
    }
    bool UpdateVertexProjection(const mesh::TriangleMesh& m, const gl::ProjectedCoordinates& c) override {
        benchmark::DoNotOptimize(c.cornerUv.data());
        return m.indices.size() == corners;
    }
    void ClearMesh() override { corners = 0; }
    bool HasUploadedMesh() const override { return corners > 0; }
    void SetEdgeOverlays(const gl::EdgeOverlay&) override {}
    void SetPrintCheckOverlay(const gl::PrintCheckOverlay&) override {}
    bool UploadHeightMap(const mesh::HeightMap&) override { return true; }
    void DeleteHeightMap() override {}
    void SetCageOverlay(const gl::CageOverlay&) override {}
    void ClearCageOverlay() override {}
    void SetGizmoOverlay(const gl::ColouredGeometry&) override {}
    void SetMaskOverlay(const gl::ColouredGeometry&) override {}
    void SetMasks(const std::vector<mesh::MaskVolume>&) override {}
    void SetRestingFaceHighlight(const std::vector<mesh::Vec3f>&, const std::vector<mesh::Vec3f>&) override {}
    void SetHoverFace(std::int32_t) override {}
    void SetMappingState(const gl::MappingState&) override {}
    gl::SurfaceMode SurfaceMode() const override { return gl::SurfaceMode::Checkerboard; }
    void SetSurfaceMode(gl::SurfaceMode) override {}
    gl::ShadingMode ShadingMode() const override { return gl::ShadingMode::Flat; }
    void SetShadingMode(gl::ShadingMode) override {}
    void SetShowPrintCheck(bool) override {}
    mesh::Vec3f EyePosition() const override { return {300.0f, 0.0f, 100.0f}; }
    float PixelsToWorldAt(const mesh::Vec3f&, float pixels) const override { return pixels; }
    float GizmoWorldSize() const override { return 1.0f; }
    float PickWorldRadius() const override { return 1.0f; }
    void Repaint() override {}

    std::size_t corners = 0;
};

struct Scene {
    CRidgeforgeDoc doc;
    NullSink sink;
    CRidgeforgeView view;

    explicit Scene(std::int64_t triangles) {
        const auto around = static_cast<std::uint32_t>(std::sqrt(static_cast<double>(triangles)));
        const auto across = static_cast<std::uint32_t>(triangles / 2 / around);
        doc.LoadTestShape(test::MakeTorus(60.0f, 20.0f, around, across), L"torus", L"Torus", L"");
        doc.displayTriangles = 0;
        view.SetDocument(&doc);
        view.AttachSinks(&sink, nullptr);
        view.RefreshAll();
    }
};

Scene& SceneOf(std::int64_t triangles) {
    static std::map<std::int64_t, std::unique_ptr<Scene>> scenes;
    auto& scene = scenes[triangles];
    if (!scene) scene = std::make_unique<Scene>(triangles);
    return *scene;
}

void BM_RefreshProjectionOnly(benchmark::State& state) {
    Scene& scene = SceneOf(state.range(0));
    scene.doc.projection.box.blended = state.range(1) != 0;
    for (auto _ : state) {
        scene.doc.projection.layer[0].originMillimetres[0] += 0.1f;
        scene.view.RefreshProjectionOnly();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RefreshProjectionOnly)
    ->Args({100'000, 0})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_PickPart(benchmark::State& state) {
    Scene& scene = SceneOf(state.range(0));
    const mesh::Ray ray{{0.0f, -300.0f, 5.0f}, {0.0f, 1.0f, 0.0f}};
    mesh::Vec3f point;
    scene.view.PickPart(ray, point);  // the first pick builds the tree
    for (auto _ : state) benchmark::DoNotOptimize(scene.view.PickPart(ray, point));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PickPart)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
