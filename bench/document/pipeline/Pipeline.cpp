// A whole processing run on a 100 mm cube with a procedural texture: remesh
// to the triangle size, mask, relief (solid or mesh method), then cleanup,
// mesh check, wall measurement and print check, stage by stage, at triangle
// sizes of 0.8, 0.4 and 0.2 mm. Each size is one run in a fresh cache; the
// stage times are counters in milliseconds. Peak resident size only grows:
// run one size per process for a clean figure
// (--benchmark_filter='PipelineRun/0/200'). PlateRun is a run with the
// default settings (remesh, relief and simplification on, the Noise texture)
// on a 250 mm printer-bed plate. CrowdedRun is the same run on parts whose
// few triangles are costly: a cone of one fan each side, a cylinder with
// fanned ends, and a rod 100 mm long leaning along the diagonal.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "mesh/TestShapes.h"
#include "testing/ReliefStressParts.h"
#include "testing/StressParts.h"
#include "textures/procedural/TextureRegistry.h"
#include "document/pipeline/PipelineStages.h"

namespace {

using namespace ridgeforge::mesh;

double PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

HeightMap Knurl() {
    HeightMap map;
    const int pixels = 512;
    map.SetImage(pixels, pixels, procedural::CreateTexture("Knurl")->RenderHeightMap(pixels, pixels));
    TextureSettings settings = map.settings;
    settings.widthMillimetres = 10.0f;
    map.SetSettings(settings);
    return map;
}

// Runs the stages on the part and writes the counters of the last run.
void RunAndCount(benchmark::State& state, const TriangleMesh& part, const PipelineSettings& settings,
                 const HeightMap& texture) {
    PipelineRunState run;
    for (auto _ : state) {
        PipelineStageCache cache;
        cache.texture = texture;
        cache.TakeSource(part);
        cache.MarkDirty(settings);
        if (!RunStages(cache, {})) {
            state.SkipWithError(FormatPipelineReport(cache.runState).c_str());
            return;
        }
        run = cache.runState;
    }
    for (int s = 0; s < kPipelineStageCount; ++s) {
        state.counters[std::string(PipelineStageName(s)) + "Ms"] = run.stageMilliseconds[s];
    }
    // The vertex relief's own stages, to see where its stage waits.
    if (run.hasDisplacementReport) {
        for (const StageTime& stage : run.displacementReport.stages)
            state.counters["  " + stage.name] = stage.milliseconds;
    }
    state.counters["CleanupMs"] = run.cleanupMilliseconds;
    state.counters["CheckMs"] = run.checkMilliseconds;
    state.counters["WallsMs"] = run.walls.milliseconds;
    state.counters["PrintCheckMs"] = run.printability.elapsedMilliseconds;
    state.counters["remeshed"] = static_cast<double>(run.remeshedTriangles);
    state.counters["result"] = static_cast<double>(run.resultTriangles);
    state.counters["peakMB"] = PeakResidentMegabytes();
}

// Arguments: the method (0 solid, 1 mesh) and the triangle size in micrometres.
void PipelineRun(benchmark::State& state) {
    const auto method = static_cast<DisplacementMethod>(state.range(0));
    const float size = static_cast<float>(state.range(1)) / 1000.0f;
    const TriangleMesh part = MakeTestCube(100.0f);
    PipelineSettings settings;
    settings.projection.cage.center = (part.boundsMin + part.boundsMax) * 0.5f;
    settings.projection.cage.size = part.boundsMax - part.boundsMin;
    settings.remeshEnabled = true;
    settings.remesh.targetEdgeMillimetres = size;
    settings.displacementEnabled = true;
    settings.displacement.method = method;
    settings.displacement.strengthMillimetres = 0.6f;
    RunAndCount(state, part, settings, Knurl());
}
BENCHMARK(PipelineRun)
    ->ArgsProduct({{0, 1}, {800, 400, 200}})
    ->ArgNames({"method", "um"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The default run of the document on a part, with the Noise texture.
void DefaultRun(benchmark::State& state, const TriangleMesh& part, DisplacementMethod method) {
    PipelineSettings settings;
    settings.projection.cage.center = (part.boundsMin + part.boundsMax) * 0.5f;
    settings.projection.cage.size = part.boundsMax - part.boundsMin;
    settings.remeshEnabled = settings.displacementEnabled = settings.simplifyEnabled = true;
    settings.displacement.method = method;
    // As the document hands them over.
    settings.printability.collectHighlights = false;
    settings.cleanup.weldCollapsedTriangles = false;
    settings.cleanup.fillHoles = false;
    settings.simplify.protectTexturedFaces = false;
    HeightMap texture;
    const auto pattern = procedural::CreateTexture("Noise");
    texture.SetImage(512, 512, pattern->RenderHeightMap(512, 512));
    texture.neutralHeight = pattern->EffectiveNeutralHeight();
    RunAndCount(state, part, settings, texture);
}

// Argument: the method (0 solid, 1 mesh).
void PlateRun(benchmark::State& state) {
    DefaultRun(state, ridgeforge::test::MakeBedPlate(250.0f), static_cast<DisplacementMethod>(state.range(0)));
}
BENCHMARK(PlateRun)->Arg(0)->Arg(1)->ArgName("method")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Arguments: the part (0 cone of 50,000 segments, 1 cylinder with fanned
// ends of 40,000 segments, 2 rod of 1,000 segments along the diagonal) and
// the method (0 solid, 1 mesh).
void CrowdedRun(benchmark::State& state) {
    TriangleMesh part;
    switch (state.range(0)) {
        case 0:
            part = ridgeforge::test::MakeCone(10.0f, 24.0f, 50000, 1);
            break;
        case 1:
            part = ridgeforge::test::MakeFanCappedRod(10.0f, 20.0f, 40000, {0, 0, 1});
            break;
        default:
            part = ridgeforge::test::MakeFanCappedRod(5.0f, 100.0f, 1000, {1, 1, 1});
            break;
    }
    DefaultRun(state, part, static_cast<DisplacementMethod>(state.range(1)));
}
BENCHMARK(CrowdedRun)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"part", "method"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
