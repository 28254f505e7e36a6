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
                                     const std::vector<std::uint8_t>* faceFlags, const TileFrame& frame) {
    DisplacementReport report;
    report.totalVertices = mesh.vertices.size();
    if (!IsValidMesh(mesh) || mesh.vertices.empty() || !HasHeights(map) || weights.size() != mesh.vertices.size()) {
        return report;
    }
    const std::size_t vertexCount = mesh.vertices.size();
    DisplacementStageTimer timer(report.stages);
    DisplacementWork work;
    work.mesh = &mesh;

    timer.Begin("Sampling the map");
    report.midLevel = ResolveMidLevel(map, settings);
    work.heights = SampleDisplacementHeights(mesh, projection, map, settings, faceFlags, frame);

    const float infinity = std::numeric_limits<float>::infinity();
    work.limit.assign(vertexCount, infinity);
    work.hold.assign(vertexCount, 0);
    if (settings.limitToClearance && mesh.TriangleCount() > 0) {
        timer.Begin("Face normals and centroids");
        ComputeFaceNormals(work);
        // The edge table is read off the faces around each vertex, so they
        // are gathered first and the stage "Vertex faces" finds them ready.
        timer.Begin("Edge table");
        work.vertexFaces = VertexFaceAdjacency(mesh);
        BuildEdgeTable(work);
        timer.Begin("Smooth regions");
        FloodSmoothRegions(work);
        timer.Begin("Vertex faces");
        timer.Begin("Tree");
        work.tree = std::make_shared<AabbTree>();
        if (work.regionCount >= 2) {
            work.tree->Build(mesh);
            work.tree->ComputeNodeValueRange(0, work.regionOf);
            timer.Begin("Clearance queries");
            QueryClearance(work, weights, settings);
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
        timer.Begin("Mitre");
        if (work.faceNormals.size() != mesh.TriangleCount()) ComputeFaceNormals(work);
        if (work.vertexFaces.offsets.size() != vertexCount + 1) work.vertexFaces = VertexFaceAdjacency(mesh);
        ComputeMitres(work);
    }

    timer.Begin("Moving");
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
    }

    timer.Begin("Bounds and normals");
    mesh.RecomputeBounds();
    mesh.RecomputeNormals();
    timer.Begin("");
    return report;
}

}  // namespace ridgeforge::mesh
