// The solid relief driver: hold, field, contour, clean-up, in that order,
// each stage announced to the progress callback and every inner loop polling
// the same cancellation context.
#include "relief/displacement/SolidDisplacement.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "mesh/CancellableLoop.h"
#include "relief/displacement/ContourDistanceGrid.h"
#include "relief/displacement/HeightHold.h"
#include "relief/displacement/SparseDistanceGrid.h"
#include "relief/displacement/UnprintableBodies.h"

namespace ridgeforge::mesh {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Gives the heights' memory back on every way out of the call.
struct ReleaseHeights {
    std::vector<float>& heights;
    ~ReleaseHeights() { std::vector<float>().swap(heights); }
};

void RecordField(const SparseDistanceGrid& grid, const SparseDistanceGridStats& stats,
                 SolidDisplacementReport& report) {
    report.fieldBytesEstimate = stats.estimatedBytes;
    report.candidateBlocks = stats.candidateBricks;
    report.columnsMilliseconds = stats.columnsSeconds * 1000.0;
    report.bricksMilliseconds = stats.bricksSeconds * 1000.0;
    report.seedingMilliseconds = stats.seedingSeconds * 1000.0;
    report.propagationMilliseconds = stats.propagationSeconds * 1000.0;
    report.valuesMilliseconds = stats.valuesSeconds * 1000.0;
    report.propagationRounds = stats.rounds;
    report.reliefVoxels = stats.reliefVoxels;
    report.oddColumns = stats.oddColumns;
    report.farOctants = stats.farOctants;
    report.checkedVoxels = stats.checkedVoxels;
    report.disagreeingVoxels = stats.disagreeingVoxels;
    report.exactOnlyVoxels = stats.exactOnlyVoxels;
    report.largestDisagreement = stats.largestDisagreement;
    report.pointsMeasured = stats.nearVoxels;
    report.pointsRemeasured = stats.remeasuredVoxels;
    report.fieldSize[0] = grid.nx;
    report.fieldSize[1] = grid.ny;
    report.fieldSize[2] = grid.nz;
    report.blocksStored = grid.values.size() / 512;
    report.fieldBytes =
        4 * (grid.brickTable.size() + grid.values.size() + grid.columnOffsets.size() + grid.columnCrossings.size()) +
        grid.reliefFlags.size();
}

// Voids and crumbs (joined through edges), then bodies thinner than a line
// (joined through vertices), all ranked after the part's own bodies.
void RemoveBodies(const TriangleMesh& part, float lineWidth, TriangleMesh& mesh, SolidDisplacementReport& report) {
    const std::uint64_t bodies = CountBodies(part);
    std::vector<RemovedBody> removed;
    RemoveCrumbs(mesh, bodies, &report.trianglesRemoved, lineWidth * lineWidth * lineWidth, &removed);
    for (RemovedBody& body : removed) (body.volume < 0.0 ? report.voidList : report.crumbList).push_back(body);
    report.voids = report.voidList.size();
    report.crumbs = report.crumbList.size();
    report.thinBodies =
        RemoveUnprintableBodies(mesh, bodies, lineWidth, &report.trianglesRemoved, &report.thinBodyList);
    report.bodiesRemoved = report.voids + report.crumbs + report.thinBodies;
    mesh.RecomputeBounds();
    mesh.RecomputeNormals();
}

constexpr const char* kInputFailure =
    "Solid displacement failed: the part has no triangles, breaks the index rule, or its relief heights do "
    "not match its vertices. Process the part again from the start. Nothing was changed.";
constexpr const char* kHolesFailure =
    "Solid displacement failed: the contoured surface has holes where the relief reached past the stored "
    "part of the field. Try a smaller relief strength or a larger triangle size. Nothing was changed.";

// The run after the input test; throws `Stopped`.
bool RunStages(const TriangleMesh& part, std::vector<float>& heights, const SolidDisplacementOptions& options,
               const AabbTree& tree, TriangleMesh& output, SolidDisplacementReport& report) {
    const double cell = std::max(0.001, static_cast<double>(options.cellSize));
    if (options.keepSlotsAndWallsOpen) {
        EnterCancellableStage("Displacing: keeping slots and walls open");
        const auto start = Clock::now();
        const double gap = cell * static_cast<double>(options.holdCells);
        const VertexClearance clearance = MeasureHeightClearance(part, tree, heights, options.rayCount == 5 ? 5 : 3,
                                                                 RoomThatCanHold(heights, gap));
        report.heightsHeld = HoldHeightsForClearance(part, heights, clearance, gap);
        report.capMilliseconds = MillisecondsSince(start);
    }

    EnterCancellableStage("Displacing: building the solid");
    const auto startField = Clock::now();
    float lowest = part.vertices.front().position.z;
    for (const Vertex& v : part.vertices) lowest = std::min(lowest, v.position.z);
    const float buildCut = options.cutEnabled ? options.cutZ : lowest - 1000000.0f;
    SparseDistanceGrid grid;
    SparseDistanceGridStats stats;
    const bool built = SparseDistanceGrid::Build(part, tree, heights, buildCut, cell, grid, stats, ~std::uint64_t{0},
                                                 options.exactDistances ? 0 : 1, options.checkField);
    RecordField(grid, stats, report);
    if (!built) {
        report.fieldTooLarge = stats.refused;
        if (!stats.refused) report.failure = kInputFailure;
        return false;
    }
    report.fieldMilliseconds = MillisecondsSince(startField);
    std::vector<float>().swap(heights);

    EnterCancellableStage("Displacing: contouring the solid");
    const auto startContour = Clock::now();
    TriangleMesh mesh;
    SolidContourStats contour;
    contour.triangleLimit = options.maximumTriangles;
    ContourDistanceGrid(mesh, grid, options.cutEnabled ? options.cutZ : -1e30f, 1.0, options.sharpRelief, contour);
    grid = SparseDistanceGrid{};
    // Each of the steps from here takes about a second on millions of triangles.
    EnterCancellableStage("Displacing: contouring the solid");
    report.cellsContoured = contour.cellsContoured;
    report.holes = contour.holes;
    report.splitCells = contour.splitCells;
    if (contour.overLimit) {
        report.refused = true;
        report.triangleEstimate = contour.triangleEstimate;
        return false;
    }
    report.lineWidth = std::max(0.05f, options.lineWidth);
    RemoveBodies(part, report.lineWidth, mesh, report);
    report.contourMilliseconds = MillisecondsSince(startContour);
    EnterCancellableStage("Displacing: contouring the solid");

    if (report.holes) {
        report.failure = kHolesFailure;
        return false;
    }
    if (mesh.TriangleCount() > options.maximumTriangles) {
        report.refused = true;
        report.triangleEstimate = mesh.TriangleCount();
        return false;
    }
    output.vertices = std::move(mesh.vertices);
    output.indices = std::move(mesh.indices);
    output.boundsMin = mesh.boundsMin;
    output.boundsMax = mesh.boundsMax;
    output.boundsValid = mesh.boundsValid;
    report.succeeded = true;
    return true;
}

}  // namespace

bool DisplaceSolid(const TriangleMesh& part, std::vector<float> heights, const SolidDisplacementOptions& options,
                   const ProgressCallback& progress, TriangleMesh& output, SolidDisplacementReport& report,
                   const AabbTree* tree) {
    const ReleaseHeights release{heights};
    report = SolidDisplacementReport{};
    report.heights = heights.size();
    if (part.vertices.empty() || part.indices.size() < 3 || heights.size() != part.vertices.size() ||
        !IsValidMesh(part)) {
        report.failure = kInputFailure;
        return false;
    }
    report.triangleEstimate = static_cast<std::uint64_t>(static_cast<double>(part.TriangleCount()) * 1.12);
    if (report.triangleEstimate > options.maximumTriangles) {
        report.refused = true;
        return false;
    }
    AabbTree ownTree;
    if (tree == nullptr) {
        ownTree.Build(part);
        tree = &ownTree;
    }
    CancelContext context;
    context.callback = &progress;
    const ScopedCancelContext published(context);
    try {
        return RunStages(part, heights, options, *tree, output, report);
    } catch (Stopped&) {
        report.stopped = true;
        return false;
    }
}

}  // namespace ridgeforge::mesh
