// Cleanup before a mesh is written as STL: edges no longer than a tolerance
// are collapsed, triangles made degenerate (by the joins or in the input) are
// dropped, and small holes are closed by triangulating their boundary loops.
//
// The weld is a union-find over the vertices with edge collapses guarded by
// the link condition (Dey, Edelsbrunner et al., "Topology preserving edge
// contraction", 1999), read on the mesh as the joins so far have made it: an
// edge is collapsed only when it lies on exactly two triangles and their third
// corners are the only neighbours its ends share. Holes are filled by ear clipping in the plane of the loop's
// Newell normal. Runs on the caller's thread, in place; the report's origin
// lists let the caller carry per-vertex and per-triangle data across.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Json.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// The member defaults are the starting options of the pipeline, the repair,
// the project file and the export check.
struct ExportCleanupOptions {
    bool weldCollapsedTriangles = true;  // off: the tolerance counts as 0
    bool fillHoles = true;
    float maximumHoleMillimetres = 5.0f;       // a hole this size across or smaller is filled
    float maximumSlitWidthMillimetres = 0.5f;  // a hole this narrow is filled whatever its size

    friend bool operator==(const ExportCleanupOptions&, const ExportCleanupOptions&) = default;
};

struct ExportCleanupReport {
    std::uint64_t verticesMerged = 0;
    std::uint64_t collapsedTrianglesDropped = 0;
    float toleranceMillimetres = 0.0f;
    std::uint64_t holesFilled = 0;
    std::uint64_t fillTriangles = 0;
    float largestFilledHoleMillimetres = 0.0f;
    // Loops too large to fill, plus boundary chains that could not be traced into a loop.
    std::uint64_t holesLeftOpen = 0;
    float largestOpenHoleMillimetres = 0.0f;
    std::uint32_t passes = 0;
    std::uint64_t collapsesRefused = 0;
    std::uint64_t zeroAreaTrianglesLeft = 0;
    // For each output vertex (triangle), the input vertex (triangle) it comes
    // from; both empty when the mesh kept its numbering.
    std::vector<std::uint32_t> vertexOrigins;
    std::vector<std::uint32_t> triangleOrigins;
};

ExportCleanupReport CleanupForExport(TriangleMesh& mesh, float toleranceMillimetres,
                                     const ExportCleanupOptions& options);
// One line, no line break.
std::string FormatExportCleanupReport(const ExportCleanupReport& report);

// Stored under "exportCleanup" in project files.
void WriteExportCleanupOptions(const JsonWriter& writer, const ExportCleanupOptions& options);
void ReadExportCleanupOptions(const JsonReader& reader, ExportCleanupOptions& options);

// A closed boundary loop, in the order its boundary edges run.
struct BoundaryLoop {
    std::vector<std::uint32_t> vertices;  // the first one is where the trace began
    std::uint32_t triangle = 0;           // owner of the boundary edge leaving the first vertex
    float acrossMillimetres = 0.0f;       // diagonal of the loop's bounding box
    float widthMillimetres = 0.0f;        // 2 x area / perimeter: about the width of a slit
};

// The closed boundary loops. Open boundaries that cannot be traced into a
// loop are counted in `untraced`, once per group of boundary edges joined at
// their ends, and the largest group's box diagonal goes to
// `largestUntracedMillimetres` when given (0 when there is none).
std::vector<BoundaryLoop> FindBoundaryLoops(const TriangleMesh& mesh, std::uint64_t& untraced,
                                            float* largestUntracedMillimetres = nullptr);
// The Newell vector of a closed polygon: twice its vector area.
Vec3d NewellVector(const std::vector<Vec3d>& polygon);
// The loop's corners in the order a fill takes them (backwards, so that the
// fill is wound like the triangles around the hole), and their places in the
// plane of the loop's Newell vector as x and y, turned to run
// counter-clockwise.
struct LoopInPlane {
    std::vector<std::uint32_t> ring;
    std::vector<Vec3d> points;
};
LoopInPlane ProjectLoop(const TriangleMesh& mesh, const BoundaryLoop& loop);
// Appends a triangulation of the loop wound like the triangles around it;
// returns the number of triangles appended (loop size - 2).
std::uint64_t FillHole(TriangleMesh& mesh, const BoundaryLoop& loop);
// Sorts the keys ascending, stably, carrying each key's corner along: four
// counting passes over 16-bit digits.
void SortEdgeKeys(std::vector<std::uint64_t>& keys, std::vector<std::uint32_t>& corners);

}  // namespace ridgeforge::mesh
