// The driver of the vertex-moving relief: runs the stages in order under the
// stage clock.
#include "relief/displacement/MeshDisplacement.h"

#include <limits>

#include "mesh/ParallelChunks.h"
#include "relief/displacement/DisplacementSampling.h"
#include "relief/displacement/MeshDisplacementStages.h"

namespace ridgeforge::mesh {

using namespace relief_detail;

void relief_detail::DisplacementWork::ReleaseMoveData() {
    for (std::vector<float>* list : {&heights, &clearance, &scale}) std::vector<float>().swap(*list);
    for (std::vector<Vec3f>* list : {&faceNormals, &centroids, &direction}) std::vector<Vec3f>().swap(*list);
    for (std::vector<std::uint32_t>* list : {&edgeOfCorner, &regionOf}) std::vector<std::uint32_t>().swap(*list);
    std::vector<MeshEdge>().swap(edges);
    std::vector<std::uint8_t>().swap(hold);
}

DisplacementReport ApplyDisplacement(TriangleMesh& mesh, const Projection& projection, const HeightMap& map,
                                     const std::vector<float>& weights, const DisplacementSettings& settings,
                                     const std::vector<std::uint8_t>* faceFlags, const TileFrame& frame,
                                     const ProgressCallback& progress) {
    DisplacementReport report;
    report.totalVertices = mesh.vertices.size();
    if (!IsValidMesh(mesh) || mesh.vertices.empty() || !HasHeights(map) || weights.size() != mesh.vertices.size()) {
        return report;
    }
    const std::size_t vertexCount = mesh.vertices.size();
    DisplacementStageTimer timer(report.stages);
    DisplacementWork work;
    work.mesh = &mesh;
    CancelContext cancel;
    cancel.callback = &progress;
    cancel.stageName = "Displacing";
    work.cancel = &cancel;
    // Up to the move nothing has changed the mesh, so a stop may end it there.
    const auto stageOrStop = [&timer, &cancel, &report](const char* name) {
        timer.Begin(name);
        report.stopped = AskCancel(&cancel);
        return !report.stopped;
    };
    const auto stopped = [&timer, &report] {
        timer.Begin("");
        return std::move(report);
    };

    timer.Begin("Sampling the map");
    report.midLevel = ResolveMidLevel(map, settings);
    work.heights = SampleDisplacementHeights(mesh, projection, map, settings, faceFlags, frame);

    const float infinity = std::numeric_limits<float>::infinity();
    work.limit.assign(vertexCount, infinity);
    work.hold.assign(vertexCount, 0);
    if (settings.limitToClearance && mesh.TriangleCount() > 0) {
        if (!stageOrStop("Face normals and centroids")) return stopped();
        ComputeFaceNormals(work);
        // The edge table is read off the faces around each vertex, so they
        // are gathered first and the stage "Vertex faces" finds them ready.
        if (!stageOrStop("Edge table")) return stopped();
        work.vertexFaces = VertexFaceAdjacency(mesh);
        BuildEdgeTable(work);
        if (!stageOrStop("Smooth regions")) return stopped();
        FloodSmoothRegions(work);
        timer.Begin("Vertex faces");
        if (!stageOrStop("Tree")) return stopped();
        work.tree = std::make_shared<AabbTree>();
        if (work.regionCount >= 2) {
            work.tree->Build(mesh);
            work.tree->ComputeNodeValueRange(0, work.regionOf);
            if (!stageOrStop("Clearance queries")) return stopped();
            QueryClearance(work, weights, settings);
            if (StopSeen(&cancel)) {
                report.stopped = true;
                return stopped();
            }
            report.clearance = work.clearance;
            report.surfaceTree = work.tree;
            timer.Begin("Clearance smoothing");
            SmoothClearance(work);
            if (settings.holdThinWalls) {
                timer.Begin("Walls held");
                HoldThinWalls(work, weights, settings, report);
            }
        }
    }

    work.direction.resize(vertexCount);
    work.scale.assign(vertexCount, 1.0f);
    ForEachChunk(vertexCount, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) work.direction[v] = Normalize(mesh.vertices[v].normal);
    });
    if (settings.mitreCreases) {
        if (!stageOrStop("Mitre")) return stopped();
        if (work.faceNormals.size() != mesh.TriangleCount()) ComputeFaceNormals(work);
        if (work.vertexFaces.offsets.size() != vertexCount + 1) work.vertexFaces = VertexFaceAdjacency(mesh);
        ComputeMitres(work);
    }

    if (!stageOrStop("Moving")) return stopped();
    std::vector<Vec3f> saved;
    if (settings.preventFolds) {
        saved.resize(vertexCount);
        ForEachChunk(vertexCount, kParallelChunk, [&](std::size_t begin, std::size_t end) {
            for (std::size_t v = begin; v < end; ++v) saved[v] = mesh.vertices[v].position;
        });
    }
    std::vector<std::uint8_t> state(vertexCount, 0);
    std::vector<float> moveLength(vertexCount, 0.0f);
    MoveVertices(mesh, work, weights, settings, state, moveLength, report);
    // The fold guard's own search does not add to what it no longer needs.
    work.ReleaseMoveData();

    if (settings.preventFolds && mesh.TriangleCount() > 0) {
        timer.Begin("Fold guard");
        if (work.vertexFaces.offsets.size() != vertexCount + 1) work.vertexFaces = VertexFaceAdjacency(mesh);
        GuardFolds(mesh, work, saved, state, moveLength, settings, report);
        if (StopSeen(&cancel)) {
            // The normals are still the input's: only positions have moved.
            ForEachChunk(vertexCount, kParallelChunk, [&](std::size_t begin, std::size_t end) {
                for (std::size_t v = begin; v < end; ++v) mesh.vertices[v].position = saved[v];
            });
            report.stopped = true;
            return stopped();
        }
    }

    timer.Begin("Bounds and normals");
    mesh.RecomputeBounds();
    mesh.RecomputeNormals();
    timer.Begin("");
    return report;
}

}  // namespace ridgeforge::mesh
