// Cutting a part crowded with slivers or copies in time that follows what
// its layers fill rather than its triangles times its layers.
//
// Copies: triangles on the same three corners in the same order cut every
// layer alike, so the first of them is cut and its crossings wind once for
// each (FindTriangleCopies). Slivers: a long thin triangle, as a fan about a
// cone's tip or the side of a finely divided cylinder has, spans many layers,
// but on most of them its cut falls between two row centre lines and adds no
// crossing. CutMayCrossRow keeps a cut only when the triangle clipped to a
// thin slab about the cut height spans a row centre line in v, the slab and
// the span widened far past the rounding of the cut and of the row
// arithmetic; a cut it drops would have added no crossing, so the rasters
// fill exactly as before.
//
// Needs: the mesh, its axes across the build direction and the layer grid.
// Gives: each triangle's first copy and the copies of each first; per layer
// the first copies whose cut may cross a row centre line.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "relief/validation/LayerSlicing.h"

namespace ridgeforge::mesh {

// Empty lists when no triangle repeats another: then each is its own first.
struct TriangleCopies {
    std::vector<std::uint32_t> first;   // the lowest-numbered triangle on the same corners in the same order
    std::vector<std::uint32_t> copies;  // for a first: how many, itself included; 0 for the others

    std::uint32_t FirstOf(std::size_t t) const { return first.empty() ? static_cast<std::uint32_t>(t) : first[t]; }
    std::uint32_t CopiesOf(std::size_t t) const { return copies.empty() ? 1u : copies[t]; }
};
TriangleCopies FindTriangleCopies(const TriangleMesh& mesh);

// Whether the cut at height h of the triangle with corners (u, v, h) can add
// a crossing of one of the grid's row centre lines. False only when it
// cannot.
bool CutMayCrossRow(const Vec3f corners[3], float h, const LayerGrid& grid);

// The first copies each layer's cut must take (ascending within a layer):
// those of BucketTrianglesByLayer whose cut there may cross a row line.
// Worked out on every core, in runs of triangles as LayerRuns places them.
LayerBuckets BucketRowCrossingCuts(const TriangleMesh& mesh, const LayerAxes& axes, const TriangleCopies& copies,
                                   const LayerGrid& grid, float lowestH, float layerHeight, std::uint64_t layers,
                                   CancelContext* cancel = nullptr);

// The float height of layer L's cut, as every cut of the check takes it.
inline float LayerCutHeight(float lowestH, float layerHeight, std::uint64_t layer) {
    return lowestH + (static_cast<float>(layer) + kLayerCutOffset) * layerHeight;
}

}  // namespace ridgeforge::mesh
