// Render times of the procedural patterns: every pattern at its defaults at
// the 512 x 512 of a preview, and Noise at 4096 x 4096, a full-size map.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "textures/procedural/NoiseTexture.h"
#include "textures/procedural/TextureRegistry.h"

namespace {

using namespace ridgeforge::mesh::procedural;

template <class T>
void BM_Render(benchmark::State& state) {
    T texture;
    texture.ResetToDefaults();
    const int size = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto heights = texture.RenderHeightMap(size, size);
        benchmark::DoNotOptimize(heights.data());
    }
    state.SetItemsProcessed(state.iterations() * size * size);
}

// Every registered pattern at its defaults, by name.
void BM_Preview(benchmark::State& state, const std::string& name) {
    const auto texture = CreateTexture(name);
    for (auto _ : state) {
        auto heights = texture->RenderHeightMap(512, 512);
        benchmark::DoNotOptimize(heights.data());
    }
    state.SetItemsProcessed(state.iterations() * 512 * 512);
}

const bool registered = [] {
    for (const std::string& name : TextureNames()) {
        benchmark::RegisterBenchmark(("BM_Preview512/" + name).c_str(), BM_Preview, name)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    return true;
}();

BENCHMARK(BM_Render<NoiseTexture>)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
