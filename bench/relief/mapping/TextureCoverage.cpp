// Texture coverage (corner and vertex weights with two mask volumes) and map
// sampling (per corner, as with sides limited to outer faces) on tori of
// 10,000 to 1,000,000 triangles, the last being the torus of StlBenchMesh.h.
#include "relief/mapping/TextureWeights.h"

#include <benchmark/benchmark.h>

#include "bench/mesh/StlBenchMesh.h"
#include "textures/procedural/TextureRegistry.h"
#include "relief/displacement/DisplacementSampling.h"

using namespace ridgeforge;
using namespace ridgeforge::mesh;

namespace {

HeightMap BricksMap() {
    HeightMap map;
    map.SetImage(512, 512, procedural::CreateTexture("Bricks")->RenderHeightMap(512, 512));
    return map;
}

void BM_CoverageAndSampling(benchmark::State& state) {
    const TriangleMesh mesh = bench::MakeTorusOf(state.range(0));
    const HeightMap map = BricksMap();
    Projection projection;
    projection.cage.size = {110, 110, 30};
    projection.box.sideSurface[4] = SurfaceSelection::Outside;
    MaskVolume ball = MaskVolume::Create(MaskShape::Sphere, &mesh, 1);
    ball.center = {40, 0, 0};
    ball.featherMillimetres = 2.0f;
    MaskVolume block = MaskVolume::Create(MaskShape::Box, &mesh, 2);
    block.center = {-40, 0, 0};
    const std::vector<MaskVolume> masks = {ball, block};
    const std::vector<std::uint8_t> faceMask(mesh.TriangleCount(), 255);
    DisplacementSettings settings;
    for (auto _ : state) {
        const TextureCoverage coverage =
            ComputeTextureWeights(mesh, projection, &faceMask, settings, TileFrame{}, &masks);
        const std::vector<float> heights =
            SampleDisplacementHeights(mesh, projection, map, settings, &coverage.faceMask, TileFrame{});
        benchmark::DoNotOptimize(heights.data());
    }
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
}

}  // namespace

BENCHMARK(BM_CoverageAndSampling)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
