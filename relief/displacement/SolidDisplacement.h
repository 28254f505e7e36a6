// The "solid" relief: instead of moving vertices, the displaced part is built
// as a sparse signed distance field and contoured into a new closed surface.
//
// DisplaceSolid holds heights back where the relief would close a slot or eat
// through a wall, builds the field, contours it, takes off bodies that cannot
// print and refuses results over the triangle limit. It publishes its own
// cancellation context for the whole run, so only one runs at a time; a stop
// is reported, never thrown. Failures are values in the report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/AabbTree.h"
#include "mesh/Crumbs.h"
#include "mesh/Progress.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct SolidDisplacementOptions {
    float cellSize = 0.2f;    // voxel spacing, mm; used as max(0.001, value)
    float holdCells = 2.0f;   // the gap kept open, in cells
    bool cutEnabled = false;  // nothing below the cut plane is solid
    float cutZ = 0.0f;
    std::uint64_t maximumTriangles = ~std::uint64_t{0};
    float lineWidth = 0.4f;       // used as max(0.05, value)
    bool exactDistances = false;  // one closest-point query per voxel
    std::int32_t rayCount = 3;    // 5 when exactly 5, otherwise 3
    bool keepSlotsAndWallsOpen = true;
    bool sharpRelief = true;
    bool checkField = false;  // the field's comparison pass (diagnostics)
};

struct SolidDisplacementReport {
    bool succeeded = false;
    bool stopped = false;
    bool refused = false;
    bool fieldTooLarge = false;
    double fieldBytesEstimate = 0.0;
    std::uint64_t triangleEstimate = 0;
    std::uint64_t heightsHeld = 0;
    std::uint64_t heights = 0;
    std::int64_t fieldSize[3] = {0, 0, 0};
    std::uint64_t blocksStored = 0;
    std::uint64_t candidateBlocks = 0;
    std::uint64_t fieldBytes = 0;
    std::uint64_t pointsMeasured = 0;
    std::uint64_t pointsRemeasured = 0;
    std::uint64_t cellsContoured = 0;
    std::uint64_t bodiesRemoved = 0;
    std::uint64_t trianglesRemoved = 0;
    std::uint64_t voids = 0;
    std::uint64_t crumbs = 0;
    std::uint64_t thinBodies = 0;
    float lineWidth = 0.0f;
    std::vector<RemovedBody> voidList;
    std::vector<RemovedBody> crumbList;
    std::vector<RemovedBody> thinBodyList;
    bool holes = false;
    double capMilliseconds = 0.0;
    double fieldMilliseconds = 0.0;
    double contourMilliseconds = 0.0;
    double columnsMilliseconds = 0.0;
    double bricksMilliseconds = 0.0;
    double seedingMilliseconds = 0.0;
    double propagationMilliseconds = 0.0;
    double valuesMilliseconds = 0.0;
    std::int32_t propagationRounds = 0;
    std::uint64_t reliefVoxels = 0;
    std::uint64_t oddColumns = 0;
    std::uint64_t farOctants = 0;
    std::uint64_t checkedVoxels = 0;
    std::uint64_t disagreeingVoxels = 0;
    std::uint64_t exactOnlyVoxels = 0;
    double largestDisagreement = 0.0;
    std::uint64_t splitCells = 0;
    // Set when the run failed for a reason that is neither a refusal nor a
    // stop: what went wrong and what to try, ending "Nothing was changed.".
    std::string failure;
};

// heights: one signed offset per vertex in mm, positive outward; released by
// the call. tree: the part's tree, or null to build one here. True only when
// output was replaced.
bool DisplaceSolid(const TriangleMesh& part, std::vector<float> heights, const SolidDisplacementOptions& options,
                   const ProgressCallback& progress, TriangleMesh& output, SolidDisplacementReport& report,
                   const AabbTree* tree = nullptr);

std::string FormatSolidDisplacementReport(const SolidDisplacementReport& report);

// One line per removed body, voids, crumbs and thin bodies in turn, largest
// first, at most 10 a kind; each line ends with a newline.
std::string FormatRemovedBodies(const SolidDisplacementReport& report);

}  // namespace ridgeforge::mesh
