// Seamless methods on a 4096 x 4096 image: the histogram blend (rows in
// parallel) and the cross-fade (two linear passes on one thread).
#include <benchmark/benchmark.h>

#include "textures/procedural/Noise.h"
#include "textures/seamless/SeamlessMethod.h"

using namespace ridgeforge::mesh;

namespace {

constexpr int kSize = 4096;

const std::vector<float>& Image() {
    static const std::vector<float> pixels = [] {
        std::vector<float> p(static_cast<std::size_t>(kSize) * kSize);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                p[static_cast<std::size_t>(y) * kSize + x] =
                    procedural::ValueNoise(x / 16.0f, y / 16.0f, kSize / 16, kSize / 16, 1);
            }
        }
        return p;
    }();
    return pixels;
}

void Run(benchmark::State& state, const char* name, const char* parameters) {
    const std::vector<float>& image = Image();
    auto method = seamless::CreateMethod(name);
    method->ParseValues(parameters);
    for (auto _ : state) {
        std::int32_t w = 0, h = 0;
        seamless::SeamlessReport report;
        std::vector<float> out = method->Apply(image, kSize, kSize, w, h, &report);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSize) * kSize);
}

void BM_HistogramBlend4096(benchmark::State& state) { Run(state, "Histogram blend", "patches=4\nseed=0\n"); }
void BM_CrossFade4096(benchmark::State& state) { Run(state, "Cross-fade", "percent=20\n"); }

}  // namespace

BENCHMARK(BM_HistogramBlend4096)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CrossFade4096)->Unit(benchmark::kMillisecond)->UseRealTime();
