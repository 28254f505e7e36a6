// The renderer on Mesa's software driver, with parts of 250,000 and
// 1,000,000 triangles (and none, for a frame's fixed cost): the whole upload (corner expansion and the buffers),
// replacing only the projection stream, and one 1280 x 800 frame drawn to
// completion. Needs a display (the test script's Xvfb).
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "gl/Renderer.h"
#include "ui/framework/GlWindow.h"
#include "testing/Shapes.h"

namespace {

using namespace ridgeforge;

// One application, one shown window and one renderer for the whole program.
struct Scene {
    Scene() {
        int argc = 1;
        static char name[] = "bench_Renderer";
        char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp);
        if (!wxEntryStart(argc, argv)) return;
        wxTheApp->CallOnInit();
        auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxDefaultSize, wxBORDER_NONE);
        frame->SetClientSize(1280, 800);
        window = new ui::GlWindow(frame, wxID_ANY, wxPoint(0, 0), wxSize(1280, 800));
        frame->Show();
        for (int i = 0; i < 200 && !window->IsShownOnScreen(); ++i) {
            wxTheApp->Yield(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ok = renderer.Initialize(window);
        if (!ok) std::fprintf(stderr, "%s\n", renderer.lastError.c_str());
        renderer.viewportWidth = 1280;
        renderer.viewportHeight = 800;
    }
    gl::Renderer renderer;
    ui::GlWindow* window = nullptr;
    bool ok = false;
};

Scene& Shared() {
    static Scene scene;
    return scene;
}

// A torus of 2 x around x across triangles.
mesh::TriangleMesh Part(std::int64_t triangles) {
    const auto across = static_cast<std::uint32_t>(triangles == 1'000'000 ? 500 : 250);
    const auto around = static_cast<std::uint32_t>(triangles / (2 * across));
    return test::MakeTorus(30.0f, 10.0f, around, across);
}

gl::ProjectedCoordinates Coordinates(const mesh::TriangleMesh& part, float shift) {
    gl::ProjectedCoordinates c;
    c.vertexUv.reserve(part.vertices.size());
    for (const mesh::Vertex& v : part.vertices) c.vertexUv.push_back({v.position.x + shift, v.position.y});
    c.vertexMask.assign(part.vertices.size(), 1.0f);
    return c;
}

void BM_UploadMesh(benchmark::State& state) {
    Scene& scene = Shared();
    if (!scene.ok) return state.SkipWithError("no OpenGL 3.3 context");
    const mesh::TriangleMesh part = Part(state.range(0));
    const gl::ProjectedCoordinates coordinates = Coordinates(part, 0.0f);
    for (auto _ : state) {
        if (!scene.renderer.UploadMesh(part, &coordinates, true)) return state.SkipWithError("upload refused");
        glFinish();
    }
    state.counters["triangles"] = static_cast<double>(part.TriangleCount());
}
BENCHMARK(BM_UploadMesh)->Arg(250'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UpdateVertexProjection(benchmark::State& state) {
    Scene& scene = Shared();
    if (!scene.ok) return state.SkipWithError("no OpenGL 3.3 context");
    const mesh::TriangleMesh part = Part(state.range(0));
    if (!scene.renderer.UploadMesh(part, nullptr, true)) return state.SkipWithError("upload refused");
    const gl::ProjectedCoordinates a = Coordinates(part, 0.0f);
    const gl::ProjectedCoordinates b = Coordinates(part, 1.0f);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        if (!scene.renderer.UpdateVertexProjection(part, flip ? a : b)) return state.SkipWithError("refused");
        glFinish();
    }
}
BENCHMARK(BM_UpdateVertexProjection)->Arg(250'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderFrame(benchmark::State& state) {
    Scene& scene = Shared();
    if (!scene.ok) return state.SkipWithError("no OpenGL 3.3 context");
    if (state.range(0) == 0) {
        // The fixed cost: clear, guides and the swap of a 1280 x 800 frame.
        scene.renderer.ClearMesh();
    } else {
        const mesh::TriangleMesh part = Part(state.range(0));
        const gl::ProjectedCoordinates coordinates = Coordinates(part, 0.0f);
        if (!scene.renderer.UploadMesh(part, &coordinates, true)) return state.SkipWithError("upload refused");
    }
    scene.renderer.surfaceMode = state.range(1) == 0 ? gl::SurfaceMode::Plain : gl::SurfaceMode::Checkerboard;
    for (auto _ : state) {
        scene.renderer.Render();
        glFinish();
    }
    state.counters["frame_ms"] = scene.renderer.statistics.frameMilliseconds;
}
BENCHMARK(BM_RenderFrame)
    ->Args({0, 0})
    ->Args({250'000, 0})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
