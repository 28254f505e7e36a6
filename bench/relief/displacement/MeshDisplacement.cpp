// The "mesh" relief on grid boxes of about 10,000 to 1,000,000 triangles
// (six flat sides, so six smooth regions and the clearance queries run),
// with a box mapping, a bricks texture and every guard on. Each stage's time
// of the last run is a counter.
#include "relief/displacement/MeshDisplacement.h"

#include <benchmark/benchmark.h>

#include <cmath>

#include "relief/mapping/TextureWeights.h"
#include "textures/procedural/TextureRegistry.h"
#include "testing/Shapes.h"

using namespace ridgeforge;
using namespace ridgeforge::mesh;

namespace {

void BM_ApplyDisplacement(benchmark::State& state) {
    // 12 n² triangles: n = 289 gives 1,002,252.
    const auto n = static_cast<std::uint32_t>(std::lround(std::sqrt(static_cast<double>(state.range(0)) / 12.0)));
    const TriangleMesh box = test::MakeGridBox({-50, -50, -50}, {50, 50, 50}, n);
    HeightMap map;
    map.SetImage(512, 512, procedural::CreateTexture("Bricks")->RenderHeightMap(512, 512));
    Projection projection;
    projection.cage.size = {100, 100, 100};
    DisplacementSettings settings;
    settings.method = DisplacementMethod::Mesh;
    settings.strengthMillimetres = 1.0f;
    settings.holdThinWalls = true;
    const TextureCoverage coverage = ComputeTextureWeights(box, projection, nullptr, settings, TileFrame{});
    DisplacementReport report;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = box;
        state.ResumeTiming();
        report =
            ApplyDisplacement(mesh, projection, map, coverage.vertexWeights, settings, &coverage.faceMask, TileFrame{});
        benchmark::DoNotOptimize(mesh.vertices.data());
    }
    state.counters["triangles"] = static_cast<double>(box.TriangleCount());
    state.counters["displaced"] = static_cast<double>(report.displacedVertices);
    for (const StageTime& stage : report.stages) state.counters[stage.name] = stage.milliseconds;
}

}  // namespace

BENCHMARK(BM_ApplyDisplacement)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
