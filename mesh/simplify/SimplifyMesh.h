// Whole-mesh simplification by quadric edge collapse down to a detail level.
//
// Edges are collapsed cheapest first by the quadric error metric of Garland
// and Heckbert, "Surface Simplification Using Quadric Error Metrics"
// (SIGGRAPH 1997), until the cheapest remaining collapse would cost more than
// the detail level (a squared distance in mm^2) or a triangle target is met.
// Vertices on the print bed and the corners of held triangles stay where they
// are; collapses that would pinch the surface, tip or flatten a triangle, or
// lay a new triangle flat on the bed are refused and counted.
//
// Needs: a mesh that satisfies the validity rule; anything else, an empty mesh
// or a detail level of 0 or less leaves it untouched.
// Returns: the report; a stop through the callback restores the input exactly.
// The callback is asked every tenth of a second or so, also while setting up
// and while measuring how far the surface moved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Progress.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct MeshSimplifyOptions {
    float detailLevel = 0.01f;          // largest collapse cost, mm^2; 0 or less does nothing
    std::uint64_t targetTriangles = 0;  // stop at this live count; 0 = no target
    std::int32_t bedAxis = 2;           // 0 x, 1 y, 2 z; anything else = no bed
    float angleDegrees = 78.0f;         // largest normal turn a collapse may cause, 1..179
    bool measureMovement = true;
    const std::vector<std::uint8_t>* heldTriangles = nullptr;  // one byte per triangle, or null
    float maxEdgeLength = 0.0f;                                // > 0: longer edges are never offered
};

struct SimplifyReport {
    bool stopped = false;
    std::uint64_t trianglesBefore = 0;
    std::uint64_t trianglesAfter = 0;
    std::uint64_t verticesBefore = 0;
    std::uint64_t verticesAfter = 0;
    std::uint64_t collapses = 0;
    std::uint64_t refusedPinch = 0;
    std::uint64_t refusedTip = 0;
    std::uint64_t refusedOther = 0;
    std::uint64_t verticesHeldOnBed = 0;
    float largestCollapseCost = 0.0f;
    float detailLevel = 0.0f;
    bool measured = false;
    float maxMovedMillimetres = 0.0f;
    float meanMovedMillimetres = 0.0f;
    double seconds = 0.0;
    std::vector<std::uint32_t> sourceVertex;    // per result vertex: its input index
    std::vector<std::uint32_t> sourceTriangle;  // per result triangle: its input index
};

SimplifyReport SimplifyMesh(TriangleMesh& mesh, const MeshSimplifyOptions& options, const ProgressCallback& progress);

// "Extra high", "High", "Medium", "Low", "Extra low" for the preset levels, else "".
std::string DetailLevelName(float detailLevel);

// One line for the log, no line break.
std::string FormatSimplifyReport(const SimplifyReport& report);

}  // namespace ridgeforge::mesh
