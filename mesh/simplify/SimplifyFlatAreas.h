// Flat-area simplification: removes vertices that lie inside a planar region
// by collapsing each onto a neighbour in the same plane. No surviving vertex
// moves, so the shape, volume and area stay as they were; it only saves file
// size. Textured faces can be kept as they are.
//
// Needs: a mesh that satisfies the validity rule (else nothing changes); an
// optional texture coverage, used only when its per-face bytes match the
// triangle count.
// Returns: the report, with maps from the result back to the input so that
// the caller can carry per-face data over. The progress callback is asked
// before each sweep, and within the reading and the sweeps every tenth of a
// second; a stop before the first sweep leaves the mesh as it was, a later
// one keeps the collapses made (the report says cancelled either way).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Progress.h"
#include "mesh/simplify/SimplifySettings.h"
#include "mesh/TextureCoverage.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct FlatAreaSimplifyReport {
    bool cancelled = false;
    std::uint64_t trianglesBefore = 0;
    std::uint64_t trianglesAfter = 0;
    std::uint64_t verticesBefore = 0;
    std::uint64_t verticesAfter = 0;
    std::uint64_t planarRegions = 0;
    std::uint64_t facesInPlanarRegions = 0;
    std::uint64_t removableVertices = 0;
    std::uint64_t collapses = 0;
    std::uint64_t sweeps = 0;
    std::uint64_t facesKeptForTexture = 0;
    std::uint64_t survivingVerticesMoved = 0;
    float boundsBefore[6] = {0, 0, 0, 0, 0, 0};  // min x, y, z, max x, y, z
    float boundsAfter[6] = {0, 0, 0, 0, 0, 0};
    double volumeBefore = 0.0;
    double volumeAfter = 0.0;
    double areaBefore = 0.0;
    double areaAfter = 0.0;
    std::vector<std::uint32_t> vertexMap;  // per result vertex: its index before
    std::vector<std::uint32_t> faceMap;    // per result triangle: its index before
    std::uint64_t noTarget = 0;
    std::uint64_t refusedHeight = 0;
    std::uint64_t refusedValence = 0;
    std::uint64_t refusedFlip = 0;

    // Nothing moved, the counts add up, and bounds, volume and area held.
    bool GuaranteeHeld() const;
};

FlatAreaSimplifyReport SimplifyFlatAreas(TriangleMesh& mesh, const TextureCoverage* coverage,
                                         const SimplifySettings& settings, const ProgressCallback& progress);

// One line without a final newline.
std::string FormatFlatAreaSimplifyReport(const FlatAreaSimplifyReport& report);

}  // namespace ridgeforge::mesh
