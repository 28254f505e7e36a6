// The staged fixes that make a cleaned mesh fit for a slicer before it is
// written: non-manifold edges split, stray crumbs and the bodies a split
// freed removed, no-area triangles turned away, folded-over triangles and
// self-intersecting surface relaxed apart within a bounded move, and what
// relaxing could not part collapsed locally as a last resort.
//
// Needs: a mesh; one that breaks the validity rule (or has no triangle) is
// left alone and gets the all-zero report. Changes the mesh in place; a caller
// that may need the old mesh keeps a copy. Nothing here can be stopped; the
// stage callback only hears the stage text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "mesh/Json.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

// Every owner sets all fields.
struct ExportFixOptions {
    bool splitNonManifoldEdges;
    bool unfoldTriangles;
    bool resolveSelfIntersections;
    bool removeCrumbs;
    std::int32_t maximumRounds;    // per relaxing stage; below 1 acts as 1
    float maximumMoveMillimetres;  // from a vertex's start; negative acts as 0

    friend bool operator==(const ExportFixOptions&, const ExportFixOptions&) = default;
};

struct ExportFixReport {
    bool nonManifoldRan = false;
    std::uint64_t nonManifoldFound = 0;
    std::uint64_t nonManifoldLeft = 0;
    std::uint64_t verticesSplit = 0;
    std::uint64_t doubleSkinnedPairsRemoved = 0;
    bool crumbsRan = false;
    std::uint64_t bodiesRemoved = 0;
    std::uint64_t bodyTrianglesRemoved = 0;
    bool foldsRan = false;
    std::uint64_t foldedFound = 0;
    std::uint64_t foldedLeft = 0;
    std::uint64_t sharpPlacesKept = 0;
    bool foldsLeftAsTheyAre = false;
    std::int32_t foldRounds = 0;
    bool selfIntersectionsRan = false;
    std::uint64_t selfIntersectingFound = 0;
    std::uint64_t selfIntersectingLeft = 0;
    std::int32_t resolveRounds = 0;
    std::int32_t collapseAttempts = 0;
    std::uint64_t trianglesCollapsed = 0;
    std::uint64_t noAreaFound = 0;
    std::uint64_t noAreaLeft = 0;
    std::uint64_t noAreaTurned = 0;
    // Vertices whose start position was recorded, whether or not they moved.
    std::uint64_t verticesMoved = 0;
    float furthestMoveMillimetres = 0.0f;
    double milliseconds = 0.0;
};

using FixStageCallback = std::function<void(const char*)>;

// bodyCount: the bodies the part had before (0 when unknown); bodies beyond
// that many that a split freed are removed even with removeCrumbs off.
ExportFixReport FixMeshForExport(TriangleMesh& mesh, const ExportFixOptions& options, const FixStageCallback& stage,
                                 std::uint64_t bodyCount);

// Lines ending in "\n".
std::string FormatExportFixReport(const ExportFixReport& report);

// Stored under "exportFixes" in project files. The reader changes only the
// fields whose key is present with a fitting value.
void WriteExportFixOptions(const JsonWriter& writer, const ExportFixOptions& options);
void ReadExportFixOptions(const JsonReader& reader, ExportFixOptions& options);

}  // namespace ridgeforge::mesh
