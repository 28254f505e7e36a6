// The stages of ApplyDisplacement and the working data they pass on; private
// to the files that implement it (and their tests).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"
#include "relief/displacement/Clearance.h"
#include "relief/displacement/DisplacementSettings.h"

namespace ridgeforge::mesh::relief_detail {

// An undirected edge and the first two triangles that use it (-1 when absent).
struct MeshEdge {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::int32_t first = -1;
    std::int32_t second = -1;
};

struct DisplacementWork {
    const TriangleMesh* mesh = nullptr;
    std::vector<float> heights;
    std::vector<Vec3f> faceNormals;
    std::vector<Vec3f> centroids;
    std::vector<MeshEdge> edges;
    // Per triangle corner slot: the edge from that corner to the next.
    std::vector<std::uint32_t> edgeOfCorner;
    // Whether some edge has three or more sides.
    bool edgesSharedByMore = false;
    std::vector<std::uint32_t> regionOf;
    std::uint32_t regionCount = 0;
    VertexFaceAdjacency vertexFaces;
    std::shared_ptr<AabbTree> tree;
    // Raw clearance, then the smoothed limit; +infinity where none.
    std::vector<float> clearance;
    std::vector<float> limit;
    std::vector<std::uint8_t> hold;
    std::vector<Vec3f> direction;
    std::vector<float> scale;
    // Polled by the clearance queries; null never stops.
    CancelContext* cancel = nullptr;

    // Gives back what only the stages up to the move read: the fold guard
    // keeps the vertex faces and the limits.
    void ReleaseMoveData();
};

void ComputeFaceNormals(DisplacementWork& work);
// Needs the vertex faces.
void BuildEdgeTable(DisplacementWork& work);
void FloodSmoothRegions(DisplacementWork& work);
void QueryClearance(DisplacementWork& work, const std::vector<float>& weights, const DisplacementSettings& settings);
void SmoothClearance(DisplacementWork& work);
void HoldThinWalls(DisplacementWork& work, const std::vector<float>& weights, const DisplacementSettings& settings,
                   DisplacementReport& report);
// Needs the face normals and the vertex faces.
void ComputeMitres(DisplacementWork& work);
// Moves the vertices; with `saved` the positions before and the state and
// move length per vertex are kept for the fold guard.
void MoveVertices(TriangleMesh& mesh, const DisplacementWork& work, const std::vector<float>& weights,
                  const DisplacementSettings& settings, std::vector<std::uint8_t>& state,
                  std::vector<float>& moveLength, DisplacementReport& report);
// Asks the work's cancel context between its steps and returns at a stop,
// with the moves part way eased: the caller puts the saved positions back.
void GuardFolds(TriangleMesh& mesh, const DisplacementWork& work, const std::vector<Vec3f>& saved,
                const std::vector<std::uint8_t>& state, const std::vector<float>& moveLength,
                const DisplacementSettings& settings, DisplacementReport& report);

// Eases back the moves of the corners of triangles that the move made cross
// another triangle, marking them eased; what still crosses after the last
// round counts as left turned.
void EaseCrossings(TriangleMesh& mesh, const DisplacementWork& work, const std::vector<Vec3f>& saved,
                   std::vector<std::uint8_t>& eased, DisplacementReport& report);

// Appends, for each edge of a marked triangle, the pair of it and its edge
// neighbour when the move turned them almost fully onto each other and they
// were not so at the saved positions.
void FoldedEdgePairs(const TriangleMesh& mesh, const VertexFaceAdjacency& faces, const std::vector<Vec3f>& saved,
                     const std::vector<std::uint32_t>& marked, std::vector<std::uint32_t>& out);

// The faces at the corners of the listed triangles that face away from the
// summed normals of the faces at their own corners by more than about 107
// degrees, and did not at the saved positions; ascending.
std::vector<std::uint32_t> FacesFoldedOver(const TriangleMesh& mesh, const VertexFaceAdjacency& faces,
                                           const std::vector<Vec3f>& saved,
                                           const std::vector<std::uint32_t>& triangles);

// What the search for nearby triangles keeps from call to call on one part.
// A call after the first may look only near the marked triangles when every
// vertex is in use (the faces around each are given) and, since the last
// call, only corners of the marked triangles moved.
struct NearSearch {
    const VertexFaceAdjacency* faces = nullptr;
    bool everyVertexUsed = false;
    // The longest side of a triangle's box so far; negative before the first call.
    float longestSide = -1.0f;
    // One bit per grid cell: touched, and within reach of a touched one.
    std::vector<std::uint64_t> cellBits, aroundBits;
};

// The triangles within `reach` of the marked ones, and some more beside them,
// ascending; every marked one is among them. mask holds a flag per triangle,
// marked the flagged triangles.
std::vector<std::uint32_t> TrianglesNear(const TriangleMesh& mesh, const std::vector<std::uint8_t>& mask,
                                         const std::vector<std::uint32_t>& marked, float reach, NearSearch& search);

}  // namespace ridgeforge::mesh::relief_detail
