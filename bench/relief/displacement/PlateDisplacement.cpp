// The "mesh" relief on a printer-bed plate 250 or 350 mm square (rim, ribs,
// screw holes, engraved letters, corner posts) remeshed to 0.2 mm triangles
// by contouring, as a run with the default settings prepares it (about 7 and
// 14 million triangles), with the Noise texture on a box mapping. The remesh
// and the coverage are made once, outside the timing.
// Each stage's time of the last run is a counter, and so is the peak resident
// size during the relief alone: the high-water mark is reset before each run
// (Linux), so "peakMB" less "startMB" is what the relief itself added.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "mesh/remesh/Remesh.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/mapping/TextureWeights.h"
#include "testing/ReliefStressParts.h"
#include "textures/procedural/TextureRegistry.h"

using namespace ridgeforge;
using namespace ridgeforge::mesh;

namespace {

// A line "VmRSS:" or "VmHWM:" of /proc/self/status in megabytes; 0 when absent.
double StatusMegabytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::strlen(key))) / 1024.0;
    }
    return 0.0;
}

// Sets the high-water mark of the resident size back to the present size.
void ResetPeakResident() {
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

struct PreparedPlate {
    TriangleMesh mesh;
    Projection projection;
    HeightMap map;
    DisplacementSettings settings;
    TextureCoverage coverage;
};

PreparedPlate PreparePlate(float size) {
    PreparedPlate p;
    p.mesh = test::MakeBedPlate(size);
    RemeshSettings remesh;
    remesh.method = kRemeshContour;
    remesh.targetEdgeMillimetres = 0.2f;
    Remesh(p.mesh, remesh, {});
    p.projection.cage.center = (p.mesh.boundsMin + p.mesh.boundsMax) * 0.5f;
    p.projection.cage.size = p.mesh.boundsMax - p.mesh.boundsMin;
    p.map.SetImage(512, 512, procedural::CreateTexture("Noise")->RenderHeightMap(512, 512));
    p.settings.method = DisplacementMethod::Mesh;
    p.coverage = ComputeTextureWeights(p.mesh, p.projection, nullptr, p.settings, TileFrame{});
    return p;
}

// Argument: the plate's side in millimetres.
void BM_PlateDisplacement(benchmark::State& state) {
    const PreparedPlate plate = PreparePlate(static_cast<float>(state.range(0)));
    DisplacementReport report;
    double start = 0.0, peak = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        TriangleMesh mesh = plate.mesh;
        ResetPeakResident();
        start = StatusMegabytes("VmRSS:");
        state.ResumeTiming();
        report = ApplyDisplacement(mesh, plate.projection, plate.map, plate.coverage.vertexWeights, plate.settings,
                                   &plate.coverage.faceMask, TileFrame{});
        benchmark::DoNotOptimize(mesh.vertices.data());
        state.PauseTiming();
        peak = StatusMegabytes("VmHWM:");
        state.ResumeTiming();
    }
    state.counters["triangles"] = static_cast<double>(plate.mesh.TriangleCount());
    state.counters["displaced"] = static_cast<double>(report.displacedVertices);
    state.counters["leftTurned"] = static_cast<double>(report.trianglesLeftTurned);
    state.counters["startMB"] = start;
    state.counters["peakMB"] = peak;
    for (const StageTime& stage : report.stages) state.counters[stage.name] = stage.milliseconds;
}

}  // namespace

BENCHMARK(BM_PlateDisplacement)->Arg(250)->Arg(350)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
