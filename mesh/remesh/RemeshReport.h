// What a remesh run tells its caller: the mesh quality before and after, the
// counters of both remeshers, and the wall time of each stage.
//
// The report is a plain record moved from the worker to the document; the
// stage clock fills its time list as the run passes from stage to stage.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct MeshQuality {
    std::uint64_t triangles = 0;
    std::uint64_t edges = 0;
    float edgeMin = 0.0f;
    float edgeMedian = 0.0f;
    float edgeMax = 0.0f;
    float edgeP1 = 0.0f;
    float edgeP99 = 0.0f;
    float aspectMedian = 0.0f;
    float aspectWorst = 0.0f;
    double shareOverTenToOne = 0.0;
};

struct StageTime {
    std::string name;
    double milliseconds = 0.0;
};

struct RemeshReport {
    bool cancelled = false;
    std::uint64_t trianglesBefore = 0;
    std::uint64_t trianglesAfter = 0;
    std::uint64_t verticesBefore = 0;
    std::uint64_t verticesAfter = 0;
    std::uint64_t splits = 0;
    std::uint64_t collapses = 0;
    std::uint64_t flips = 0;
    std::uint64_t featureEdges = 0;
    float deviationMillimetres = 0.0f;
    float sizeBefore[3] = {0.0f, 0.0f, 0.0f};
    float sizeAfter[3] = {0.0f, 0.0f, 0.0f};
    MeshQuality qualityBefore;
    MeshQuality qualityAfter;
    std::vector<StageTime> stages;
    float cellMillimetres = 0.0f;
    float gridExtentMillimetres = 0.0f;
    bool cellRaised = false;
    std::uint64_t bodiesBefore = 0;
    std::uint64_t strayBodiesRemoved = 0;
    std::uint64_t strayBodyTriangles = 0;
    bool contoured = false;
    std::uint64_t holeGridLines = 0;
    std::uint64_t thinPlaces = 0;
    std::uint64_t missingCrossings = 0;
    // Set only by the contour remesher when the run could not produce a usable
    // surface (nothing, or an open one): the mesh was left as it was and this
    // says why, in words the user can act on. Empty on success and on a stop.
    std::string failure;
    // Moving hands the stage list over (the source keeps an empty one) and
    // copies the rest, which the implicit members do.
};

// Quality of a mesh; all zero when it is empty or breaks the validity rule.
MeshQuality MeasureMeshQuality(const TriangleMesh& mesh);

// Linear interpolation between the two ranks around (n - 1) x fraction of an
// ascending list; 0 for an empty list.
double InterpolatedPercentile(const std::vector<float>& sorted, double fraction);

// One line: counts, edge lengths and aspects.
std::string FormatMeshQuality(const MeshQuality& quality);
// The lines the document writes to its log after a remesh; no final newline.
std::string FormatRemeshReport(const RemeshReport& report);

// Wall-clock time per stage, kept in any stage list. Begin closes the running
// stage (adding to an entry of the same name if there is one) and starts the
// named one; an empty name only closes.
class RemeshStageTimer {
public:
    explicit RemeshStageTimer(std::vector<StageTime>& stages) : stages_(&stages) {}
    explicit RemeshStageTimer(RemeshReport& report) : stages_(&report.stages) {}
    void Begin(const std::string& name);

private:
    std::string name_;
    std::chrono::steady_clock::time_point start_{};
    std::vector<StageTime>* stages_;
};

// The same clock over the displacement's stage list.
using DisplacementStageTimer = RemeshStageTimer;

}  // namespace ridgeforge::mesh
