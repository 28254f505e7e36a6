// Cost of the procedural texture dialog's preview, which is rendered on the
// user-interface thread at every slider step: one tile rendered and repeated
// into the 512 px picture, for every pattern at one tile of 512 px, and for
// one pattern at the three tile counts (tiles of 512, 256 and 170 px) to
// show how the cost follows the tile's area.
#include <benchmark/benchmark.h>

#include <string>

#include "ui/dialogs/ProceduralDialogRules.h"
#include "textures/procedural/TextureRegistry.h"

namespace {

using namespace ridgeforge;

void SliderStep(benchmark::State& state, const std::string& name, int tiles) {
    auto texture = mesh::procedural::CreateTexture(name);
    const auto& first = texture->Parameters().front();
    float value = first.minimum;
    for (auto _ : state) {
        // A step of the first slider, as dragging it renders again.
        value = value < first.maximum ? value + (first.maximum - first.minimum) / 100.0f : first.minimum;
        texture->SetValue(first.key, value);
        int size = 0;
        benchmark::DoNotOptimize(RenderProceduralPreview(*texture, tiles, size));
    }
    state.counters["tile_px"] = TilingFor(tiles).tile;
}

const bool registered = [] {
    for (const std::string& name : mesh::procedural::TextureNames())
        benchmark::RegisterBenchmark(("PreviewTile512/" + name).c_str(),
                                     [name](benchmark::State& state) { SliderStep(state, name, 1); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    for (int tiles = 3; tiles >= 1; --tiles)
        benchmark::RegisterBenchmark(("PreviewTiles/Bricks/" + std::to_string(tiles)).c_str(),
                                     [tiles](benchmark::State& state) { SliderStep(state, "Bricks", tiles); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    return true;
}();

}  // namespace
