// Opening a part and checking how it prints, on shapes whose few triangles
// are costly to check, each beside a sphere of about as many triangles and
// the same extent: a rod 100 mm long with fanned ends, upright and leaning
// (0 upright, 1 at 30 degrees, 2 at 60 degrees in the x-z plane, 3 along the
// diagonal); cones of one fan each side; cylinders with fanned ends; copies of
// one triangle. Import is the document's own: the STL read from a file, the
// part check with its self-intersection search, the print check's occupancy
// grid and the coverage shown. The print check is the Check Printability
// command's, plus the occupancy grid at the document's finest 512 cells.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <map>
#include <string>
#include <tuple>

#include "mesh/StlExport.h"
#include "relief/mapping/OccupancyGrid.h"
#include "relief/validation/Printability.h"
#include "testing/StressParts.h"
#include "document/DocumentHost.h"
#include "document/DocumentText.h"
#include "document/RidgeforgeDoc.h"

namespace {

using namespace ridgeforge;

// A host that answers nothing and waits for nothing: the document alone.
class QuietHost : public DocumentHost {
public:
    void AddLogLine(const CString&, LogKind) override {}
    void ClearLog() override {}
    void ShowOutputPane() override {}
    void ShowInformation(const CString&, InfoKind) override {}
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    QuestionAnswer AskQuestion(const CString&, QuestionButtons, QuestionIcon) override { return QuestionAnswer{}; }
    std::optional<CString> ChooseFileToOpen(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<CString> ChooseFileToSave(const FileDialogRequest&) override { return std::nullopt; }
    bool RunExportDialog(const ExportDialogRequest&, ExportDialogResult&) override { return false; }
    bool RunRemeshInputDialog(const mesh::RemeshSettings&, const mesh::TriangleMesh&, std::uint64_t,
                              mesh::RemeshSettings&) override {
        return false;
    }
    bool RunProceduralTextureDialog(mesh::procedural::ProceduralTexture&) override { return false; }
    bool DetailedLog() const override { return false; }
    bool OpenDocumentFile(const CString&) override { return false; }
    void AddToRecentFiles(const CString&) override {}
    void WaitForJob(const std::function<bool()>& finished, const std::function<void()>&,
                    std::atomic<bool>&) override {
        while (!finished()) {
        }
    }
};

constexpr mesh::Vec3f kLeanings[4] = {{0, 0, 1}, {0.5f, 0, 0.8660254f}, {0.8660254f, 0, 0.5f}, {1, 1, 1}};

enum Shape { kRod, kCone, kCylinder, kCopies, kSphere };

// The shape for a benchmark's arguments: its size, and the leaning of a
// rod or the radius of a sphere.
mesh::TriangleMesh MakeShape(Shape shape, std::int64_t size, std::int64_t extra) {
    const auto n = static_cast<std::uint32_t>(size);
    switch (shape) {
        case kRod: return test::MakeFanCappedRod(5.0f, 100.0f, n, kLeanings[extra]);
        case kCone: return test::MakeCone(10.0f, 24.0f, n, 1);
        case kCylinder: return test::MakeFanCappedRod(10.0f, 20.0f, n, {0, 0, 1});
        case kCopies: return test::MakeCopiedTriangle(n, 20.0f);
        case kSphere: return test::MakeRingSphereOf(static_cast<std::uint64_t>(size), static_cast<float>(extra));
    }
    return {};
}

const mesh::TriangleMesh& Shaped(Shape shape, std::int64_t size, std::int64_t extra) {
    static std::map<std::tuple<Shape, std::int64_t, std::int64_t>, mesh::TriangleMesh> made;
    const auto key = std::make_tuple(shape, size, extra);
    auto it = made.find(key);
    if (it == made.end()) it = made.emplace(key, MakeShape(shape, size, extra)).first;
    return it->second;
}

// The shape written once as a binary STL file in the temporary folder.
std::filesystem::path StlFile(Shape shape, std::int64_t size, std::int64_t extra) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("ridgeforge_bench_" + std::to_string(shape) + "_" + std::to_string(size) +
                                        "_" + std::to_string(extra) + ".stl");
    if (!std::filesystem::exists(path)) {
        const std::vector<std::uint8_t> bytes = mesh::EncodeBinaryStl(Shaped(shape, size, extra), "bench");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
    return path;
}

void Import(benchmark::State& state, Shape shape) {
    const std::int64_t extra = state.range(1);
    const CString path = Utf8ToCString(StlFile(shape, state.range(0), extra).string());
    bool searched = false;
    for (auto _ : state) {
        QuietHost host;
        CRidgeforgeDoc doc(&host);
        if (!doc.ImportPart(path)) state.SkipWithError("the part did not open");
        searched = doc.partValidation.selfIntersectionsSearched;
    }
    state.counters["triangles"] = static_cast<double>(Shaped(shape, state.range(0), extra).TriangleCount());
    state.counters["searched"] = searched ? 1 : 0;
}

void PrintCheck(benchmark::State& state, Shape shape) {
    const mesh::TriangleMesh& m = Shaped(shape, state.range(0), state.range(1));
    mesh::PrintabilitySettings settings;
    mesh::OccupancyGrid grid;
    for (auto _ : state) {
        grid.Build(m, 512);
        const mesh::PrintabilityReport report = mesh::CheckPrintability(m, settings);
        benchmark::DoNotOptimize(report.layers);
    }
    state.counters["triangles"] = static_cast<double>(m.TriangleCount());
    state.counters["surfaceCells"] = static_cast<double>(grid.surfaceCells);
}

// Sizes: rod segments x leaning; cone and cylinder segments; copies. The
// spheres beside them: the same triangle counts (4 per rod or cylinder
// segment, 2 per cone segment) and radius (half the longest side).
void RodArgs(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{256, 1000, 4000}, {0, 1, 2, 3}})->ArgNames({"segments", "leaning"});
}
void ConeArgs(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{2000, 10000, 50000}, {0}})->ArgNames({"segments", ""});
}
void CylinderArgs(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{5000, 20000, 40000}, {0}})->ArgNames({"segments", ""});
}
void CopiesArgs(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{10000, 30000, 100000}, {0}})->ArgNames({"copies", ""});
}
void SphereArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"triangles", "radius"});
    for (std::int64_t t : {1024, 4000, 16000}) b->Args({t, 50});             // beside the rods
    for (std::int64_t t : {4000, 20000, 100000}) b->Args({t, 12});           // beside the cones
    for (std::int64_t t : {20000, 80000, 160000}) b->Args({t, 10});          // beside the cylinders
    for (std::int64_t t : {10000, 30000, 100000}) b->Args({t, 10});          // beside the copies
}

void BM_ImportRod(benchmark::State& state) { Import(state, kRod); }
void BM_ImportCone(benchmark::State& state) { Import(state, kCone); }
void BM_ImportFanCylinder(benchmark::State& state) { Import(state, kCylinder); }
void BM_ImportCopies(benchmark::State& state) { Import(state, kCopies); }
void BM_ImportSphere(benchmark::State& state) { Import(state, kSphere); }
void BM_PrintCheckRod(benchmark::State& state) { PrintCheck(state, kRod); }
void BM_PrintCheckCone(benchmark::State& state) { PrintCheck(state, kCone); }
void BM_PrintCheckFanCylinder(benchmark::State& state) { PrintCheck(state, kCylinder); }
void BM_PrintCheckCopies(benchmark::State& state) { PrintCheck(state, kCopies); }
void BM_PrintCheckSphere(benchmark::State& state) { PrintCheck(state, kSphere); }

BENCHMARK(BM_ImportRod)->Apply(RodArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ImportCone)->Apply(ConeArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ImportFanCylinder)->Apply(CylinderArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ImportCopies)->Apply(CopiesArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ImportSphere)->Apply(SphereArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_PrintCheckRod)->Apply(RodArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_PrintCheckCone)->Apply(ConeArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_PrintCheckFanCylinder)->Apply(CylinderArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_PrintCheckCopies)->Apply(CopiesArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_PrintCheckSphere)->Apply(SphereArgs)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
