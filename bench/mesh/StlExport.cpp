// Binary STL export of a 1,000,000-triangle part with the read-back check:
// encode, temporary file, write and flush, reimport, compare, rename.
#include <benchmark/benchmark.h>

#include "bench/mesh/StlBenchMesh.h"
#include "mesh/StlExport.h"

namespace {

using namespace ridgeforge;

void Export(benchmark::State& state, bool verify) {
    bench::ScratchFolder folder;
    const mesh::TriangleMesh torus = bench::MakeTorus();
    const mesh::StlExportOptions options{mesh::StlEncoding::Binary, "torus", verify};
    for (auto _ : state) {
        const mesh::StlExportResult result = mesh::ExportStl(folder.Path() / "torus.stl", torus, options);
        if (!result.ok) state.SkipWithError(result.error.c_str());
        if (verify && !result.report.roundTrip.unchanged) state.SkipWithError("round trip changed the mesh");
    }
    state.SetItemsProcessed(state.iterations() * 1000000);
}

void BM_ExportBinaryStlVerified(benchmark::State& state) { Export(state, true); }
BENCHMARK(BM_ExportBinaryStlVerified)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportBinaryStlUnverified(benchmark::State& state) { Export(state, false); }
BENCHMARK(BM_ExportBinaryStlUnverified)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
