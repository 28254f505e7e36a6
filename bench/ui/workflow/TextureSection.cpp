// The texture section's costs (needs a display for the windows): building a
// library category's grid items when every thumbnail is already cached, the
// preview of a large image, and one paint of a grid of thumbnails.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>

#include "textures/LibraryItems.h"
#include "textures/ThumbnailCache.h"
#include "ui/workflow/Pickers.h"
#include "ui/workflow/TextureBody.h"
#include "ui/workflow/TexturePreview.h"

namespace {

bool StartWindows() {
    static const bool started = [] {
        wxApp::SetInstance(new wxApp);
        int argc = 0;
        if (!wxEntryStart(argc, static_cast<wxChar**>(nullptr))) return false;
        wxInitAllImageHandlers();
        return wxTheApp->CallOnInit();
    }();
    return started;
}

// A home of its own with `count` 256 x 256 images in the category "Bench",
// their thumbnails made once.
std::filesystem::path MakeLibrary(int count) {
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("ridgeforge_bench_library_" + std::to_string(count));
    ::setenv("HOME", home.c_str(), 1);
    const std::filesystem::path folder = home / "Documents" / "Ruvolta" / "textures" / "Bench";
    std::filesystem::create_directories(folder);
    const std::vector<ridgeforge::LibraryRoot> roots = ridgeforge::LibraryRoots();
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path file = folder / ("image" + std::to_string(i) + ".png");
        if (!std::filesystem::exists(file)) {
            wxImage image(256, 256);
            unsigned char* rgb = image.GetData();
            for (int p = 0; p < 256 * 256 * 3; ++p) rgb[p] = static_cast<unsigned char>((p / 3 * (i + 1)) % 251);
            image.SaveFile(file.string(), wxBITMAP_TYPE_PNG);
        }
        std::vector<std::uint8_t> grey;
        std::int32_t side = 0;
        ridgeforge::GetThumbnail(roots, file, grey, side);
    }
    return home;
}

void BM_CategoryItemsWarmThumbnails(benchmark::State& state) {
    if (!StartWindows()) {
        state.SkipWithError("no display");
        return;
    }
    const int count = static_cast<int>(state.range(0));
    MakeLibrary(count);
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(360, 440));
    auto* body = new ridgeforge::CTextureBody();
    body->Create(frame, wxID_ANY, ridgeforge::FlowStep::Texture);
    for (auto _ : state) {
        state.PauseTiming();
        body->SetTextureLibrary(ridgeforge::LibraryRoots());
        state.ResumeTiming();
        benchmark::DoNotOptimize(body->CategoryItems("Bench").size());
    }
    frame->Destroy();
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_CategoryItemsWarmThumbnails)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_ImagePreview(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    ridgeforge::mesh::HeightMap map;
    map.width = map.height = side;
    map.pixels = std::vector<float>(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), 0.25f);
    for (auto _ : state) benchmark::DoNotOptimize(ridgeforge::ImagePreview(map).pixels.data());
}
BENCHMARK(BM_ImagePreview)->Arg(1024)->Arg(4096)->Arg(8192)->Unit(benchmark::kMicrosecond);

void BM_GridPaint(benchmark::State& state) {
    if (!StartWindows()) {
        state.SkipWithError("no display");
        return;
    }
    auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(360, 440));
    auto* grid = new ridgeforge::CThumbnailGrid();
    grid->Create(frame, wxID_ANY, 96);
    grid->SetSize(0, 0, 230, 186);
    grid->SetColumns(2);
    std::vector<ridgeforge::ThumbnailItem> items;
    for (int i = 0; i < state.range(0); ++i) {
        ridgeforge::ThumbnailItem item;
        item.key = wxString::Format("item%d", i);
        item.caption = wxString::Format("Texture %d", i);
        item.side = 120;
        item.pixels.assign(120 * 120, 0xFF000000u + static_cast<std::uint32_t>(i % 256) * 0x010101u);
        items.push_back(std::move(item));
    }
    grid->SetItems(std::move(items));
    grid->SetSelectedKey("item1");
    wxBitmap bitmap(wxSize(230, 186), 24);
    wxMemoryDC dc(bitmap);
    for (auto _ : state) grid->PaintGrid(dc, wxSize(230, 186));
    frame->Destroy();
}
BENCHMARK(BM_GridPaint)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace
