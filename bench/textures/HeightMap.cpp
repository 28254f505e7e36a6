// Height-map costs at the sizes users bring: loading a 4096 x 4096 16-bit
// PNG, integrating a 4096 x 4096 normal map, and sampling ten million points
// in millimetres the way the displacement does (tile mapping, bilinear
// sample, tone curve) on the standard parallel thread pool.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <execution>
#include <filesystem>
#include <numeric>
#include <vector>

#include "textures/HeightMap.h"
#include "textures/HeightMapImage.h"
#include "textures/NormalMap.h"

namespace {

using namespace ridgeforge::mesh;

constexpr int kSide = 4096;

// A smooth relief with fine grain, so the file compresses like a real one.
std::uint16_t ReliefSample(int x, int y) {
    const double s = 0.5 + 0.3 * std::sin(x * 0.013) * std::cos(y * 0.011) + 0.15 * std::sin((x + 2 * y) * 0.2);
    const unsigned grain = (static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u) & 0x3FF;
    return static_cast<std::uint16_t>(std::min(65535.0, s * 64000.0 + grain));
}

bool WriteBenchPng(const std::filesystem::path& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(kSide * 2);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, kSide, kSide, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const std::uint16_t v = ReliefSample(x, y);
            row[x * 2] = static_cast<png_byte>(v >> 8);
            row[x * 2 + 1] = static_cast<png_byte>(v & 0xFF);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

void BM_LoadPng16(benchmark::State& state) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "ridgeforge-bench-4096x4096x16.png";
    if (!std::filesystem::exists(path) && !WriteBenchPng(path)) {
        state.SkipWithError("could not write the test image");
        return;
    }
    for (auto _ : state) {
        HeightMapImage image = LoadHeightMapImage(path, SrgbDecoding::Never);
        if (!image.ok) {
            state.SkipWithError(image.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(image.heights.data());
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}
BENCHMARK(BM_LoadPng16)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IntegrateNormalMap(benchmark::State& state) {
    std::vector<float> rgb(static_cast<std::size_t>(kSide) * kSide * 3);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            float* p = &rgb[(static_cast<std::size_t>(y) * kSide + x) * 3];
            p[0] = 0.5f + 0.2f * std::sin(x * 0.05f);
            p[1] = 0.5f + 0.2f * std::cos(y * 0.03f);
            p[2] = 0.95f;
        }
    }
    for (auto _ : state) {
        NormalMapHeights heights = IntegrateNormalMap(rgb, kSide, kSide, false);
        benchmark::DoNotOptimize(heights.heights.data());
    }
}
BENCHMARK(BM_IntegrateNormalMap)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Sample10M(benchmark::State& state) {
    HeightMap map;
    TextureSettings settings;
    settings.rotationDegrees = 17.0f;
    settings.gamma = 1.4f;
    map.SetSettings(settings);
    std::vector<float> pixels(1024 * 1024);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<float>(ReliefSample(static_cast<int>(i % 1024), static_cast<int>(i / 1024))) / 65535.0f;
    }
    map.SetImage(1024, 1024, std::move(pixels));
    constexpr std::size_t kPoints = 10'000'000;
    std::vector<float> out(kPoints);
    std::vector<std::uint32_t> index(kPoints);
    std::iota(index.begin(), index.end(), 0u);
    for (auto _ : state) {
        std::for_each(std::execution::par_unseq, index.begin(), index.end(), [&](std::uint32_t i) {
            const float x = static_cast<float>(i % 3163) * 0.047f - 20.0f;
            const float y = static_cast<float>(i / 3163) * 0.031f - 40.0f;
            const TileCoordinates t = map.settings.MapToTile(x, y);
            out[i] = map.ApplyLevels(map.SampleBilinear(t.u, t.v));
        });
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Sample10M)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
