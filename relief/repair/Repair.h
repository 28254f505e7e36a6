// Repair of a part as loaded, and the read-back of a mesh exactly as a slicer
// reads it from a binary STL file.
//
// RepairMesh tidies the part (double-skinned pairs, welding, degenerate and
// duplicate triangles, orientation, unused vertices), then runs up to three
// rounds of welding and small-hole filling, the export fixes and a read-back,
// stopping when a round changes nothing or the read-back finds nothing a
// slicer would refuse. A repair that changes nothing puts the part back
// exactly as it was. Needs: any mesh; an invalid index list gives the empty
// report and is left alone. Runs on the caller's thread and cannot be stopped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

struct RepairBasicsOptions {
    bool weld = true;
    // Above 0: merge within this distance; 0: identical positions only; negative: automatic.
    float weldTolerance = -1.0f;
    bool removeDegenerate = true;
    bool removeDuplicates = true;
    bool reorient = true;
    bool removeUnused = true;
    bool recomputeNormals = true;
};

struct RepairBasicsReport {
    std::uint64_t verticesMerged = 0;
    std::uint64_t degenerateRemoved = 0;
    std::uint64_t duplicatesRemoved = 0;
    std::uint64_t trianglesReoriented = 0;
    std::uint64_t unusedVerticesRemoved = 0;
    float weldToleranceUsed = 0.0f;
    bool changed = false;
};

struct SlicerReadBackReport {
    std::uint64_t trianglesWritten = 0;
    std::uint64_t trianglesReadBack = 0;
    std::uint64_t overSharedEdges = 0;
    std::uint64_t openEdges = 0;
    std::uint64_t facetsWithNoArea = 0;
};

struct RepairReport {
    bool changed = false;
    std::uint32_t rounds = 0;  // welding-and-fixing rounds that changed something
    std::uint64_t trianglesBefore = 0;
    std::uint64_t trianglesAfter = 0;
    std::uint64_t nonManifoldBefore = 0;
    std::uint64_t nonManifoldAfter = 0;
    std::uint64_t openBefore = 0;
    std::uint64_t openAfter = 0;
    std::uint64_t bodiesBefore = 0;
    std::uint64_t bodiesAfter = 0;
    std::uint64_t doubleSkinnedPairsRemoved = 0;
    std::uint64_t verticesSplit = 0;
    std::uint64_t bodiesRemoved = 0;
    std::uint64_t holesFilled = 0;
    std::uint64_t holesLeftOpen = 0;
    float largestOpenHoleMillimetres = 0.0f;
    // The repair would have left no triangle; the part was given back as it was.
    bool refusedAsEmpty = false;
    std::string detail;
};

RepairBasicsReport RepairBasics(TriangleMesh& mesh, const RepairBasicsOptions& options);
// "Repair:\n" and a line per count, or "Repair: nothing needed changing.\n".
std::string FormatBasicRepairReport(const RepairBasicsReport& report);

// Encodes the mesh as binary STL in memory and reads it back with the
// program's own import (automatic weld, degenerate facets dropped); when that
// succeeds the mesh becomes what was read back.
SlicerReadBackReport CheckSlicerReadBack(TriangleMesh& mesh);

// The callback hears each stage text and cannot stop the repair. A repair
// that would leave no triangle is refused: the mesh is given back as it was.
RepairReport RepairMesh(TriangleMesh& mesh, const std::function<void(const char*)>& stage);
// "Repair:\n", the detail and the before-and-after counts; for a part left as
// it was, "Repair: nothing needed changing.\n", or what is still open or
// over-shared when the part is not sound.
std::string FormatRepairSummary(const RepairReport& report);

}  // namespace ridgeforge::mesh
