// Bounding-box tree over the triangles of a mesh: the one spatial index for
// nearest-hit ray casts and closest-point queries.
//
// Built top-down by median splits on the centroid coordinate of the widest
// axis; leaves hold at most 8 triangles and the tree is at most 64 levels
// deep. Nodes lie in depth-first order, so an inner node's first child is the
// next node. Large halves are built by asynchronous tasks. After Build (and
// ComputeNodeValueRange) the tree is read-only, and any number of threads may
// query it at once; queries allocate nothing.
//
// Long thin triangles (slivers) defeat boxes along the axes: the box of a
// sliver that runs across the axes holds mostly empty space, and on a rod
// at an angle or a fan of thousands every query near the part falls into
// nearly all of them. Asked to fit its boxes to them, the build takes them
// in a frame turned so that the slivers run along an axis, where it finds
// that such a frame makes their boxes much thinner, and enters each sliver
// whose box is still loose as several pieces along its length, each with
// the box of its own part (within a budget of a few pieces a triangle). The
// queries test whole triangles in the mesh's own frame, so the nearest
// distances and hits are the same; only which of several equally near
// triangles is returned may differ, and a triangle may stand in several
// leaves.
//
// Needs: the mesh it was built from for every query (queries only check that
// the triangle count matches). Gives: RayHit / ClosestHit, empty when nothing
// is found, the tree is empty, or the triangle count differs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/RayTests.h"
#include "mesh/TriangleMesh.h"
#include "mesh/Vec3.h"

namespace ridgeforge::mesh {

struct ClosestHit {
    bool found = false;
    float distance = 0.0f;  // from the query point to point
    Vec3f point;
    std::int32_t triangle = -1;
};

struct AabbNode {
    Vec3f min;
    Vec3f max;
    std::uint32_t secondChild = 0;    // the first child of an inner node is the next node
    std::uint32_t firstTriangle = 0;  // start of a leaf's run in triangleOrder
    std::uint32_t triangleCount = 0;  // 0 marks an inner node
};

// Says whether a triangle is to be passed over; must be safe to call from
// several threads when the tree is queried in parallel.
using TriangleSkipPredicate = std::function<bool(std::uint32_t triangle)>;

// How the build takes its boxes: one per triangle along the axes, or fitted
// to the mesh's long thin triangles (a turned frame, and pieces).
enum class TreeBoxes { kWhole, kFitted };

class AabbTree {
public:
    std::vector<AabbNode> nodes;
    std::vector<std::uint32_t> nodeValueMin;  // per node, over its subtree; see ComputeNodeValueRange
    std::vector<std::uint32_t> nodeValueMax;
    // Each leaf owns [firstTriangle, firstTriangle + triangleCount); with fitted
    // boxes a triangle may be listed more than once.
    std::vector<std::uint32_t> triangleOrder;
    std::vector<Vec3f> centroids;              // only while building
    std::uint32_t depth = 0;                   // levels on the longest root-to-leaf path
    std::uint32_t meshTriangles = 0;           // of the mesh it was built from
    // The frame the node boxes are in, its axes as rows; the axes themselves
    // unless the build turned it.
    bool turned = false;
    std::array<Vec3f, 3> frame{Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{0, 0, 1}};

    // Rebuilds the tree for the mesh; an invalid or empty mesh leaves it empty.
    // With a context, the ranges of many triangles look at its stop by the
    // clock, and a stop throws `Stopped` and leaves the tree empty.
    void Build(const TriangleMesh& mesh, TreeBoxes boxes = TreeBoxes::kWhole, CancelContext* cancel = nullptr);

    // A point in the frame of the boxes.
    Vec3f InFrame(const Vec3f& p) const {
        return turned ? Vec3f{Dot(frame[0], p), Dot(frame[1], p), Dot(frame[2], p)} : p;
    }

    // Number of nodes a range of triangleCount triangles starting at depth needs.
    static std::uint64_t CountNodes(std::uint32_t triangleCount, std::uint64_t depth);

    // Fills nodeValueMin / nodeValueMax of the subtree at node (call with node 0)
    // from one value per triangle. Lets ClosestPoint skip subtrees whose
    // triangles all carry excluded values.
    void ComputeNodeValueRange(std::uint32_t node, const std::vector<std::uint32_t>& values);

    // Nearest hit along the ray closer than maxDistance (3.4e38 for no limit).
    RayHit Raycast(const Ray& ray, const TriangleMesh& mesh, float maxDistance = 3.4e38f) const;

    // Nearest surface point strictly closer than maxDistance (3e38 for no limit).
    // excluded / excludedCount prune subtrees through the value ranges only; a
    // triangle for which skip returns true is passed over.
    ClosestHit ClosestPoint(const TriangleMesh& mesh, const Vec3f& point, const std::uint32_t* excluded = nullptr,
                            std::size_t excludedCount = 0, const TriangleSkipPredicate& skip = {},
                            float maxDistance = 3e38f) const;

private:
    // Fills node and its subtree; returns the deepest leaf level below it.
    std::uint32_t BuildRange(const TriangleMesh& mesh, std::uint32_t node, std::uint32_t first, std::uint32_t count,
                             std::uint32_t level, CancelContext* cancel);
    void ComputeValueRangeBelow(std::uint32_t node, const std::vector<std::uint32_t>& values);
    std::vector<std::uint32_t> CutPieces(const TriangleMesh& mesh);
    void Clear();

    std::vector<Vec3f> pieceLow_, pieceHigh_;  // the boxes of fitted pieces, only while building
};

using AabbTreePtr = std::shared_ptr<AabbTree>;

}  // namespace ridgeforge::mesh
