// How far the opposite wall is: a ray from a vertex along its inward normal,
// cast through a tree of the part's surface, passing over the vertex's own
// faces (at most six of them, for the fans of a fine mesh), until it meets
// another face within reach.
//
// Needs: a valid mesh with vertex normals and a tree built over the surface
// whose walls are meant (usually the same mesh). Gives: one result per
// queried vertex; not found for a zero normal, no wall, or a wall out of reach.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// The faces around each vertex in compressed rows: the faces of vertex v are
// faces[offsets[v]] .. faces[offsets[v + 1] - 1], ascending, one entry per
// corner. A broken mesh gives rows with no faces.
struct VertexFaceAdjacency {
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint32_t> faces;

    VertexFaceAdjacency() = default;
    explicit VertexFaceAdjacency(const TriangleMesh& mesh);

    bool Touches(std::uint32_t vertex, std::uint32_t face) const;
};

struct ClearanceResult {
    bool found = false;
    // Along the inward normal from the vertex to the opposite wall, mm.
    float distance = 0.0f;
    // The distance less the vertex's own inward depth and the mean depth of
    // the hit triangle's corners, mm.
    float remaining = 0.0f;
};

// Queries `vertices` in parallel; `depth` holds an inward depth per mesh
// vertex, and a wall further than max(0, depth) + margin is out of reach.
// Every result stays not found when `depth` does not have one entry per vertex.
// With a cancellation context every chunk polls it; a stop throws `Stopped`.
void MeasureClearance(const TriangleMesh& mesh, const AabbTree& tree, const std::vector<std::uint32_t>& vertices,
                      const std::vector<float>& depth, float margin, std::vector<ClearanceResult>& results,
                      CancelContext* cancel = nullptr);

}  // namespace ridgeforge::mesh
