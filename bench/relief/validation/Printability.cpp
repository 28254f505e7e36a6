// The printability check of the standing torus at 0.2 mm layers, with and
// without the view's highlights, of knurled cubes of growing size, and of
// parts crowded with slivers or copies (a cone of one fan each side, a
// cylinder with fanned ends, copies of one triangle) beside a sphere of as
// many triangles, of a stack of thin plates each laid over a gap, whose
// every first layer is one overhang as large as the layer, and of a flat
// spiral over a gap held up at its inner end, whose support winds round
// every turn.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "bench/relief/validation/StandingTorus.h"
#include "relief/validation/Printability.h"
#include "testing/ReliefShapes.h"
#include "testing/Shapes.h"
#include "testing/StressParts.h"

using namespace ridgeforge::mesh;

namespace {

void Count(benchmark::State& state, const TriangleMesh& mesh, const PrintabilityReport& report) {
    state.counters["triangles"] = static_cast<double>(mesh.TriangleCount());
    state.counters["layers"] = static_cast<double>(report.layers);
    state.counters["cellsPerLayer"] = static_cast<double>(report.cellsPerLayer);
    state.counters["laidInAir"] = static_cast<double>(report.laidInAir.size());
    state.counters["farReaches"] = static_cast<double>(report.farReaches.size());
    state.counters["contourPoints"] = static_cast<double>(report.contourLinePoints.size());
}

// The timed check, and the counters of its last report.
void CheckAndCount(benchmark::State& state, const TriangleMesh& mesh, const PrintabilitySettings& settings) {
    PrintabilityReport report;
    for (auto _ : state) {
        report = CheckPrintability(mesh, settings);
        benchmark::DoNotOptimize(report.layers);
    }
    Count(state, mesh, report);
}

// The check without highlights of a part put together from boxes, whose
// bounds and normals are worked out first.
void CheckBoxesAndCount(benchmark::State& state, TriangleMesh& mesh) {
    mesh.RecomputeBounds();
    mesh.RecomputeNormals();
    PrintabilitySettings settings;
    settings.collectHighlights = false;
    CheckAndCount(state, mesh, settings);
}

void BM_CheckPrintability(benchmark::State& state) {
    const TriangleMesh& mesh = ridgeforge::bench::StandingTorus(state.range(0));
    PrintabilitySettings settings;
    settings.buildAxis = ridgeforge::bench::kStandingAxis;
    settings.collectHighlights = state.range(1) != 0;
    CheckAndCount(state, mesh, settings);
}
BENCHMARK(BM_CheckPrintability)
    ->ArgsProduct({{500, 1000}, {0, 1}})
    ->ArgNames({"around", "highlights"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

namespace {

// A cube of the given side with a Knurl relief 0.6 mm deep on every face, at
// about 0.5 mm triangles: the print check a processing run does, at part
// sizes that show how its cost grows with the part.
const TriangleMesh& KnurledCube(std::int64_t side) {
    static std::map<std::int64_t, TriangleMesh> made;
    auto it = made.find(side);
    if (it != made.end()) return it->second;
    const float s = static_cast<float>(side);
    TriangleMesh m = ridgeforge::test::MakeGridBox({0, 0, 0}, {s, s, s}, static_cast<std::uint32_t>(side * 2));
    const std::vector<float> heights = ridgeforge::test::TextureHeights(m, "Knurl", 10.0f, 0.6f);
    for (std::size_t v = 0; v < m.vertices.size(); ++v) m.vertices[v].position += m.vertices[v].normal * heights[v];
    m.RecomputeBounds();
    m.RecomputeNormals();
    return made.emplace(side, std::move(m)).first->second;
}

void BM_CheckPrintabilityCube(benchmark::State& state) {
    const TriangleMesh& mesh = KnurledCube(state.range(0));
    PrintabilitySettings settings;
    CheckAndCount(state, mesh, settings);
}
BENCHMARK(BM_CheckPrintabilityCube)->ArgName("mm")->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

enum Crowd { kCone, kCylinder, kCopies, kSphere };

const TriangleMesh& Crowded(std::int64_t kind, std::int64_t size) {
    static std::map<std::pair<std::int64_t, std::int64_t>, TriangleMesh> made;
    auto it = made.find({kind, size});
    if (it != made.end()) return it->second;
    const auto n = static_cast<std::uint32_t>(size);
    TriangleMesh m;
    switch (kind) {
        case kCone:
            m = ridgeforge::test::MakeCone(10.0f, 24.0f, n, 1);
            break;
        case kCylinder:
            m = ridgeforge::test::MakeFanCappedRod(10.0f, 20.0f, n, {0, 0, 1});
            break;
        case kCopies:
            m = ridgeforge::test::MakeCopiedTriangle(n, 20.0f);
            break;
        default:
            m = ridgeforge::test::MakeRingSphereOf(static_cast<std::uint64_t>(size), 12.0f);
            break;
    }
    return made.emplace(std::make_pair(kind, size), std::move(m)).first->second;
}

// kind: 0 cone (segments), 1 fan-capped cylinder (segments), 2 copies, 3
// sphere (triangles); highlights on or off.
void BM_CheckPrintabilityCrowded(benchmark::State& state) {
    const TriangleMesh& mesh = Crowded(state.range(0), state.range(1));
    PrintabilitySettings settings;
    settings.collectHighlights = state.range(2) != 0;
    CheckAndCount(state, mesh, settings);
}
BENCHMARK(BM_CheckPrintabilityCrowded)
    ->ArgsProduct({{kCone}, {50000}, {0, 1}})
    ->ArgsProduct({{kCylinder}, {40000}, {0, 1}})
    ->ArgsProduct({{kCopies}, {100000}, {0, 1}})
    ->ArgsProduct({{kSphere}, {100000, 160000}, {0, 1}})
    ->ArgNames({"kind", "size", "highlights"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

namespace {

// `plates` plates 100 x 100 x 0.15 mm, 0.4 mm apart: each starts over a
// gap two layers high, near enough the plate below not to count as in the
// air, so its first layer is one unsupported cluster of the whole plate.
void BM_CheckPrintabilityPlates(benchmark::State& state) {
    TriangleMesh mesh;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        const float z = 0.4f * static_cast<float>(i);
        ridgeforge::test::AppendMesh(mesh, ridgeforge::test::MakeBox({0, 0, z}, {100, 100, z + 0.15f}));
    }
    CheckBoxesAndCount(state, mesh);
}
BENCHMARK(BM_CheckPrintabilityPlates)->ArgName("plates")->Arg(10)->Arg(50)->Arg(150)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A flat square spiral 0.6 mm wide with 0.6 mm gaps, one layer thick over a
// gap, held up only by a post at its inner end: the distance from support
// winds round every turn, so the support distances need a sweep a turn.
void BM_CheckPrintabilitySpiral(benchmark::State& state) {
    constexpr float kWidth = 0.6f, kPitch = 1.2f, kHalf = kWidth / 2.0f, kBottom = 5.0f, kTop = 5.2f;
    TriangleMesh mesh = ridgeforge::test::MakeBox({-kHalf, -kHalf, 0.0f}, {kHalf, kHalf, kBottom});
    const float directions[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    float x = 0.0f, y = 0.0f;
    for (std::int64_t leg = 0; leg < 4 * state.range(0); ++leg) {
        const float* d = directions[leg % 4];
        const float length = kPitch * static_cast<float>(leg / 2 + 1);
        // Each leg holds the square at its start and not the one at its end,
        // so that the legs meet face to face without overlapping.
        const float x0 = x - kHalf * d[0], y0 = y - kHalf * d[1];
        const float x1 = x0 + length * d[0], y1 = y0 + length * d[1];
        const float across[2] = {kHalf * std::fabs(d[1]), kHalf * std::fabs(d[0])};
        ridgeforge::test::AppendMesh(
            mesh, ridgeforge::test::MakeBox({std::min(x0, x1) - across[0], std::min(y0, y1) - across[1], kBottom},
                                            {std::max(x0, x1) + across[0], std::max(y0, y1) + across[1], kTop}));
        x += length * d[0];
        y += length * d[1];
    }
    CheckBoxesAndCount(state, mesh);
}
BENCHMARK(BM_CheckPrintabilitySpiral)->ArgName("turns")->Arg(10)->Arg(40)->Arg(80)->Unit(benchmark::kMillisecond);

}  // namespace
