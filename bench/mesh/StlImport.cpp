// Binary STL import of a 1,000,000-facet part: read, parse, welds, clean-up
// and the report, as opening a part does.
#include <benchmark/benchmark.h>

#include "bench/mesh/StlBenchMesh.h"
#include "mesh/StlExport.h"
#include "mesh/StlImport.h"
#include "platform/Files.h"

namespace {

using namespace ridgeforge;

void BM_LoadBinaryStl(benchmark::State& state) {
    bench::ScratchFolder folder;
    const std::filesystem::path file = folder.Path() / "torus.stl";
    const std::vector<std::uint8_t> bytes = mesh::EncodeBinaryStl(bench::MakeTorus(), "torus");
    platform::WriteWholeFile(file, bytes.data(), bytes.size());
    const mesh::StlImportOptions options{true, -1.0f, true, true, false, true};
    for (auto _ : state) {
        mesh::StlImportResult result = mesh::LoadStlFile(file, options);
        if (!result.ok) state.SkipWithError(result.error.c_str());
        benchmark::DoNotOptimize(result.mesh.vertices.data());
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_LoadBinaryStl)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParseBinaryStl(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = mesh::EncodeBinaryStl(bench::MakeTorus(), "torus");
    const mesh::StlImportOptions options{true, -1.0f, true, true, false, true};
    for (auto _ : state) {
        mesh::StlImportResult result = mesh::ParseStl(bytes, "torus.stl", options);
        benchmark::DoNotOptimize(result.mesh.vertices.data());
    }
}
BENCHMARK(BM_ParseBinaryStl)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
