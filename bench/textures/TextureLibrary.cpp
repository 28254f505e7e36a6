// The texture library on large folders: listing a category whose images sit
// in both roots (every item is resolved and its origin worked out, each a
// few file-system lookups), and the thumbnail cache, where a hit must stay a
// small read and only a miss decodes the image. Folders live under the
// system's temporary folder and are removed at exit.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "textures/GreyBmp.h"
#include "textures/TextureLibrary.h"
#include "textures/ThumbnailCache.h"

using namespace ridgeforge;
namespace fs = std::filesystem;

namespace {

struct Scratch {
    fs::path root = fs::temp_directory_path() / ("ridgeforge-bench-library-" + std::to_string(::getpid()));
    Scratch() { fs::create_directories(root); }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

Scratch& ScratchFolder() {
    static Scratch scratch;
    return scratch;
}

// n images: the first half shipped, the second half the user's, every tenth shipped one overridden by the user.
std::vector<LibraryRoot> MakeCategory(int n) {
    const fs::path base = ScratchFolder().root / ("list-" + std::to_string(n));
    const std::vector<LibraryRoot> roots{{base / "program", false}, {base / "user", true}};
    if (fs::exists(base)) return roots;
    const std::vector<std::uint8_t> grey(8 * 8, 100);
    for (int i = 0; i < n; ++i) {
        const bool factory = i < n / 2;
        const fs::path folder = (factory ? roots[0].path : roots[1].path) / "textures/Stone";
        fs::create_directories(folder);
        // Built up step by step: GCC 12 warns falsely (-Wrestrict) on the chained form.
        std::string name = "Image ";
        name += std::to_string(i);
        name += i % 3 == 0 ? ".bmp" : ".BMP";
        WriteGreyBmp(folder / name, grey, 8);
        if (factory && i % 10 == 0) {
            fs::create_directories(roots[1].path / "textures/Stone");
            WriteGreyBmp(roots[1].path / "textures/Stone" / name, grey, 8);
        }
    }
    return roots;
}

void ListCategory(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<LibraryRoot> roots = MakeCategory(n);
    for (auto _ : state) {
        std::vector<TextureLibraryImage> images = ListLibraryImages(roots, "Stone");
        if (static_cast<int>(images.size()) != n) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(images.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(ListCategory)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

// 200 images of 1024 x 1024, thumbnails made once, then every request a hit.
void ThumbnailHits(benchmark::State& state) {
    const fs::path base = ScratchFolder().root / "thumbs";
    const std::vector<LibraryRoot> roots{{base / "program", false}, {base / "user", true}};
    std::vector<fs::path> images;
    const std::vector<std::uint8_t> grey(1024 * 1024, 90);
    for (int i = 0; i < 200; ++i) {
        std::string name = std::to_string(i);
        name += ".bmp";
        images.push_back(base / "pictures" / name);
        if (!fs::exists(images.back())) {
            fs::create_directories(images.back().parent_path());
            WriteGreyBmp(images.back(), grey, 1024);
        }
    }
    std::vector<std::uint8_t> pixels;
    std::int32_t size = 0;
    for (const fs::path& image : images) GetThumbnail(roots, image, pixels, size);
    for (auto _ : state) {
        for (const fs::path& image : images) {
            if (!GetThumbnail(roots, image, pixels, size)) state.SkipWithError("no thumbnail");
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(images.size()));
}
BENCHMARK(ThumbnailHits)->Unit(benchmark::kMillisecond);

// One miss: decoding a 1024 x 1024 image and writing its thumbnail.
void ThumbnailMiss(benchmark::State& state) {
    const fs::path base = ScratchFolder().root / "miss";
    const std::vector<LibraryRoot> roots{{base / "program", false}, {base / "user", true}};
    const fs::path image = base / "big.bmp";
    fs::create_directories(base);
    WriteGreyBmp(image, std::vector<std::uint8_t>(1024 * 1024, 90), 1024);
    std::vector<std::uint8_t> pixels;
    std::int32_t size = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(base / "user", ec);
        state.ResumeTiming();
        if (!GetThumbnail(roots, image, pixels, size)) state.SkipWithError("no thumbnail");
    }
}
BENCHMARK(ThumbnailMiss)->Unit(benchmark::kMillisecond);

}  // namespace
