// The part roughly as a fused-filament printer lays it down: every layer's
// cut joined into outlines and open chains, simplified (Douglas and Peucker,
// "Algorithms for the reduction of the number of points required to
// represent a digitized line", 1973), and drawn as bead walls of triangular
// profile with flat skins where a layer starts or stops covering the one
// below. A draw budget thins the beaded layers on large parts, each drawn
// layer then standing for K layers. Shares the layer cuts of the
// printability check (LayerSlicing.h); single-threaded on the caller's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/TriangleMesh.h"
#include "relief/validation/LayerSlicing.h"

namespace ridgeforge::mesh {

struct SlicedPreviewSettings {
    float layerHeightMillimetres = 0.2f;      // raised to at least 0.01
    float beadWidthMillimetres = 0.42f;       // raised to at least 0.05
    std::int32_t buildAxis = 2;               // 0 = X, 1 = Y, 2 = Z
    float chainToleranceMillimetres = 0.03f;  // 0 or less leaves chains as cut
    std::uint64_t drawBudget = 800000;        // bead segments to draw at most; below 1000 counts as 1000
    bool drawSkins = true;
};

struct SlicedPreview {
    TriangleMesh mesh;
    std::vector<std::uint32_t> triangleLayer;  // the layer each triangle of mesh belongs to
    std::uint64_t layers = 0;
    std::uint64_t drawnLayers = 0;
    std::uint64_t drawStep = 1;  // beads on every drawStep-th layer
    std::uint64_t beadSegments = 0;
    std::uint64_t skinTriangles = 0;
    std::uint64_t cutsBeforeSimplifying = 0;
    std::uint64_t outlines = 0, openChains = 0;
    double elapsedMilliseconds = 0.0;
    // Why a part with triangles got no preview; empty when it got one.
    std::string refusal;
};

SlicedPreview BuildSlicedPreview(const TriangleMesh& mesh, const SlicedPreviewSettings& settings);
std::string FormatSlicedPreviewReport(const SlicedPreview& preview);

// A chain of points across the build axis; a closed one does not repeat its first point.
struct Chain {
    std::vector<Point2> points;
    bool closed = false;
};
struct Segment2 {
    Point2 start, end;
};

// Joins segments end to start where the points agree to 0.0001 mm.
void ChainSegments(const std::vector<Segment2>& segments, std::vector<Chain>& chains);
void SimplifyChain(Chain& chain, float tolerance);
float PointSegmentDistance(Point2 p, Point2 start, Point2 end);
// The unit normal on the right of the segment; (0, 0) for a zero-length one.
Point2 SegmentNormal2D(Point2 start, Point2 end);
void AddBeadWall(const Chain& chain, float middleHeight, float halfSlabHeight, float halfBeadWidth,
                 const LayerAxes& axes, TriangleMesh& mesh, std::uint64_t& beadSegments);
// A quad over cells firstColumn .. lastColumn of the row at height h, facing up or down the build axis.
void AddSkinRun(const LayerGrid& grid, const LayerAxes& axes, std::int32_t firstColumn, std::int32_t lastColumn,
                std::int32_t row, float h, bool facingUp, TriangleMesh& mesh);

}  // namespace ridgeforge::mesh
