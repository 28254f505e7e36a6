// Render times of the procedural patterns: every pattern at its defaults at
// the 512 x 512 of a preview, and Noise at 4096 x 4096, a full-size map.
#include <benchmark/benchmark.h>

#include <memory>

#include "mesh/procedural/BricksTexture.h"
#include "mesh/procedural/CellsTexture.h"
#include "mesh/procedural/ContoursTexture.h"
#include "mesh/procedural/CopperTexture.h"
#include "mesh/procedural/LeatherTexture.h"
#include "mesh/procedural/NoiseTexture.h"
#include "mesh/procedural/PenroseTexture.h"
#include "mesh/procedural/RocksTexture.h"
#include "mesh/procedural/StarsTexture.h"
#include "mesh/procedural/StripesTexture.h"
#include "mesh/procedural/WeaveTexture.h"
#include "mesh/procedural/WoodPoresTexture.h"
#include "mesh/procedural/WoodTexture.h"

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

#define PREVIEW(T) BENCHMARK(BM_Render<T>)->Arg(512)->Unit(benchmark::kMillisecond)->UseRealTime()

PREVIEW(NoiseTexture);
PREVIEW(CellsTexture);
PREVIEW(LeatherTexture);
PREVIEW(RocksTexture);
PREVIEW(CopperTexture);
PREVIEW(ContoursTexture);
PREVIEW(WoodTexture);
PREVIEW(StripesTexture);
PREVIEW(WoodPoresTexture);
PREVIEW(BricksTexture);
PREVIEW(PenroseTexture);
PREVIEW(StarsTexture);
PREVIEW(WeaveTexture);
BENCHMARK(BM_Render<NoiseTexture>)->Arg(4096)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
