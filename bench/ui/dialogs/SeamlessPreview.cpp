// Cost of the seamless dialog's preview, which reruns the method on the
// user-interface thread at every value change: the method on the reduced
// image and both pictures laid 2 x 2, for each method at the 512 x 384
// preview of a 1024 x 768 image and for the histogram blend at growing
// preview sizes; and the reduction itself, done once when the dialog opens.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "ui/dialogs/SeamlessPreview.h"
#include "textures/seamless/SeamlessMethod.h"

namespace {

using namespace ridgeforge;

std::vector<float> Stone(int width, int height) {
    std::vector<float> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                0.5f + 0.25f * std::sin(0.07f * static_cast<float>(x)) * std::cos(0.11f * static_cast<float>(y)) +
                0.2f * std::sin(0.9f * static_cast<float>(x + 3 * y));
    return pixels;
}

void Preview(benchmark::State& state, const std::string& method, int width, int height) {
    const std::vector<float> image = Stone(width, height);
    auto seamless = mesh::seamless::CreateMethod(method);
    seamless->ResetToDefaults();
    for (auto _ : state) {
        int side = 0;
        benchmark::DoNotOptimize(BuildTilePreview(image, width, height, false, side));
        mesh::seamless::SeamlessReport report;
        std::int32_t outWidth = 0;
        std::int32_t outHeight = 0;
        const std::vector<float> output = seamless->Apply(image, width, height, outWidth, outHeight, &report);
        benchmark::DoNotOptimize(BuildTilePreview(output, outWidth, outHeight, seamless->TilesMirrored(), side));
    }
    state.counters["pixels"] = static_cast<double>(width) * height;
}

void Reduce(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    const std::vector<float> image = Stone(width, height);
    for (auto _ : state) benchmark::DoNotOptimize(ReducePreview(image, width, height));
    state.counters["pixels"] = static_cast<double>(width) * height;
}
BENCHMARK(Reduce)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);

const bool registered = [] {
    for (const std::string& method : mesh::seamless::MethodNames())
        benchmark::RegisterBenchmark(("Preview512x384/" + method).c_str(),
                                     [method](benchmark::State& state) { Preview(state, method, 512, 384); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    for (int width : {128, 256, 512})
        benchmark::RegisterBenchmark(
            ("HistogramBlendPreview/" + std::to_string(width)).c_str(),
            [width](benchmark::State& state) { Preview(state, "Histogram blend", width, width * 3 / 4); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    return true;
}();

}  // namespace
