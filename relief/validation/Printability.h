// Where a fused-filament print of a part needs support, predicted layer by
// layer before the part goes to a slicer.
//
// Every layer is filled into a grid of cells (LayerSlicing.h) and compared
// with the layer below: a cell is supported when material lies under it or
// within the support growth of it. Unsupported cells get their distance to
// support by a two-pass chamfer transform (steps 1 and sqrt 2; Borgefors,
// "Distance transformations in digital images", 1986). From those distances
// come the four findings: regions that start in the air, overhang clusters
// laid in the air or bridged between supports, and regions that reach far
// past the layer below. The layers are cut a batch ahead on every core
// (internal/LayerCuts.h); the rest runs on the caller's thread, layer by layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"
#include "mesh/ZeroPageAllocator.h"
#include "relief/validation/LayerSlicing.h"

namespace ridgeforge::mesh {

// The check's starting values are the member defaults.
struct PrintabilitySettings {
    float layerHeightMillimetres = 0.2f;         // raised to at least 0.01
    float lineWidthMillimetres = 0.42f;          // raised to at least 0.05
    std::int32_t buildAxis = 2;                  // 0 = X, 1 = Y, 2 = Z
    float cellMillimetres = 0.0f;                // 0 or less: automatic
    float supportGrowthLineWidths = 0.5f;        // growth past the layer below that still counts as supported
    float minimumAreaSquareMillimetres = 0.18f;  // smaller overhangs are ignored
    float shortBridgeMillimetres = 10.0f;        // longest span that counts as a short bridge
    float cantileverMillimetres = 3.0f;          // reach that is counted but not flagged
    float warningMillimetres = 6.0f;             // reach that is flagged
    float supportAngleDegrees = 30.0f;           // downward faces flatter than this need support
    bool collectHighlights = true;               // triangle lists, cell quads, cell keys and contour lines
    std::uint64_t contourLayerDivisor = 150;     // contour lines on every max(1, layers / divisor)-th layer

    // Every field in memory order, floats exactly: decides whether a print
    // check is still up to date.
    friend bool operator==(const PrintabilitySettings&, const PrintabilitySettings&) = default;
};

struct PrintabilityIssue {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float heightAboveBed = 0.0f;
    float areaSquareMillimetres = 0.0f;
    // A short bridge: its span; laid in the air or reaching far: the largest
    // distance to support; in the air: 0.
    float reachMillimetres = 0.0f;
    float supportedAreaSquareMillimetres = 0.0f;  // far reaches only
};

// The most layers, cells in one layer and cells in all a check sets up. A
// part over any is not checked (its report says why): its grids would take
// more memory and time than any printable part needs. The automatic cell
// keeps a part's own box to about 4 million cells a layer and 200 million in
// all; these leave room for the border around it.
inline constexpr std::uint64_t kMostPrintabilityLayers = kMostLayers;
inline constexpr std::uint64_t kMostPrintabilityCellsPerLayer = 16'000'000;
inline constexpr std::uint64_t kMostPrintabilityCells = 600'000'000;

struct PrintabilityReport {
    bool checked = false;
    // Why a part with triangles was not checked; empty when it was.
    std::string refusal;
    std::uint64_t layers = 0, cellsPerLayer = 0;
    std::vector<PrintabilityIssue> featuresInAir, farReaches, laidInAir, shortBridges;
    float unsupportedAreaSquareMillimetres = 0.0f;  // every overhang cluster, before the minimum-area test
    float longestReachMillimetres = 0.0f;
    std::uint64_t layersPastCantilever = 0;
    float downwardFlatAreaSquareMillimetres = 0.0f, totalAreaSquareMillimetres = 0.0f;
    double elapsedMilliseconds = 0.0;
    // Two points a line. Written by the cutting workers into storage the
    // system hands out zeroed, so that the calling thread does not clear
    // hundreds of megabytes first.
    std::vector<Vec3f, ZeroPageAllocator<Vec3f>> contourLinePoints;
    std::vector<Vec3f> needsSupportQuads, reachingFarQuads;  // two triangles a cell
    std::vector<std::uint32_t> needsSupportTriangles, reachingFarTriangles;
    std::vector<Vec3f> bridgingQuads;
    std::vector<std::uint32_t> bridgingTriangles;
    float cellMillimetres = 0.0f, originU = 0.0f, originV = 0.0f;
    std::int32_t buildAxis = 2;
    // Ascending; see PackCellKey.
    std::vector<std::uint64_t> needsSupportKeys, reachingFarKeys, bridgingKeys;
};

// With a cancellation context the check polls it at every layer and pass,
// and a stop throws `Stopped` (CancellableLoop.h).
PrintabilityReport CheckPrintability(const TriangleMesh& mesh, const PrintabilitySettings& settings,
                                     CancelContext* cancel = nullptr);
// The one-line verdict.
std::string PrintabilitySummary(const PrintabilityReport& report);
// The log text, each line ending in "\n".
std::string FormatPrintabilityReport(const PrintabilityReport& report);

constexpr std::uint64_t PackCellKey(std::uint64_t column, std::uint64_t row, std::uint64_t layer) {
    return (layer << 40) | (row << 20) | column;
}
// Whether the cell or one of its 8 neighbours in the same layer is in the sorted key list.
bool HasCellOrNeighbour(std::int64_t column, std::int64_t row, std::int64_t layer,
                        const std::vector<std::uint64_t>& sortedKeys);

struct CellOffset {
    std::int32_t dx = 0, dy = 0;
};
// The offsets with dx^2 + dy^2 <= radius^2, dy outer and dx inner.
std::vector<CellOffset> DiskOffsets(float radiusCells);
// Chamfer distance over a raster of -1 (outside), 0 (supported) and +infinity
// (unsupported) cells: lowers every unsupported cell to its nearest supported
// cell's distance through inside cells, in steps of 1 and 1.4142135; at most
// 256 rounds of a forward and a backward pass. Only cells in [x0, x1) x [y0, y1)
// change, which gives the whole-raster answer when every unsupported cell lies in it.
void PropagateSupportDistance(std::vector<float>& distance, std::int32_t columns, std::int32_t rows);
// A stop asked of `cancel` between rounds throws `Stopped`.
void PropagateSupportDistance(std::vector<float>& distance, std::int32_t columns, std::int32_t rows, std::int32_t x0,
                              std::int32_t y0, std::int32_t x1, std::int32_t y1, CancelContext* cancel = nullptr);

struct LayerAxes;
// Appends the two triangles of the cell square with lower corner (u, v) at height h.
void AddCellQuad(const LayerAxes& axes, float u, float v, float cell, float h, std::vector<Vec3f>& quads);

}  // namespace ridgeforge::mesh
