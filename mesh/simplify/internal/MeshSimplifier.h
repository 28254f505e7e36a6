// The working state of one quadric edge-collapse run (see SimplifyMesh.h).
//
// All geometry is in double precision; the input mesh is only read, and the
// result is built as a new compacted mesh, so a stop never has to undo work.
//
// Needs: a mesh that satisfies the validity rule, with vertices and triangles.
// Returns: from Run, false when the progress callback asked to stop.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "mesh/simplify/internal/CollapseCost.h"
#include "mesh/simplify/internal/CollapseHeap.h"
#include "mesh/simplify/internal/UnwrittenAllocator.h"
#include "mesh/Progress.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

class MeshSimplifier {
public:
    MeshSimplifier(const TriangleMesh& mesh, const MeshSimplifyOptions& options, SimplifyReport& report);

    // The collapse loop; on success fills result, sourceVertex and sourceTriangle.
    bool Run(const ProgressCallback& progress, TriangleMesh& result);

private:
    using Quadric = std::array<double, 10>;  // xx xy xz xw yy yz yw zz zw ww

    using Placement = CollapsePlacement;

    void SetUp();
    void RebuildIncidence();
    Placement CollapseCost(std::uint32_t a, std::uint32_t b) const {
        return mesh::CollapseCost(vertices_[a], vertices_[b], bed_);
    }
    void CollapseCostPair(std::uint32_t a0, std::uint32_t b0, std::uint32_t a1, std::uint32_t b1,
                          Placement out[2]) const {
        mesh::CollapseCostPair(vertices_[a0], vertices_[b0], vertices_[a1], vertices_[b1], bed_, out);
    }
    bool MakeCandidate(std::uint32_t a, std::uint32_t b, CollapseCandidate& candidate) const;
    bool Offerable(std::uint32_t a, std::uint32_t b, const Placement& placement, CollapseCandidate& candidate) const;
    void PushCandidate(std::uint32_t a, std::uint32_t b);
    // Offers (keep, w) for each w in order.
    void PushCandidates(std::uint32_t keep, const std::vector<std::uint32_t>& others);
    void OfferAllEdges();
    bool IsStale(const CollapseCandidate& c) const;
    // The stale test as the heap takes it, with where it will read.
    struct StaleTest {
        const MeshSimplifier* simplifier;
        bool operator()(const CollapseCandidate& c) const { return simplifier->IsStale(c); }
        void Prefetch(const CollapseCandidate& c) const {
            __builtin_prefetch(&simplifier->changedAt_[c.a]);
            __builtin_prefetch(&simplifier->changedAt_[c.b]);
        }
    };
    bool TryCollapseEdge(std::uint32_t a, std::uint32_t b);
    void GatherRing(std::uint32_t keep, std::uint32_t remove);
    std::uint32_t NextMark();
    bool PassesTopology(std::uint32_t keep, std::uint32_t remove);
    bool PassesShape(std::uint32_t keep, std::uint32_t remove, const Vec3d& target);
    bool FanFolds() const;
    bool BeyondFanFails(std::uint32_t keep, std::uint32_t remove, const Vec3d& target);
    bool FoldsAround(std::uint32_t keep, std::uint32_t remove);
    void PrefetchSums();
    void BoundCreases(std::uint32_t keep);
    void Apply(std::uint32_t keep, std::uint32_t remove, const Placement& placement);
    void Compact(TriangleMesh& result);

    const TriangleMesh& mesh_;
    const MeshSimplifyOptions& options_;
    SimplifyReport& report_;

    // Everything a collapse reads of one vertex sits in one 128-byte record
    // (two cache lines): collapses come in cost order, which jumps across the
    // surface, so separate per-vertex arrays would each cost a cache miss.
    struct alignas(64) VertexState {
        Quadric quadric{};
        Vec3d position;
        std::uint32_t liveTriangles = 0;
        std::uint32_t incidenceOffset = 0;
        std::uint32_t incidenceCount = 0;
        std::uint32_t mark = 0;
        std::uint8_t held = 0;
        // At least the angle, in degrees, between the normals of the two
        // triangles on any edge at the vertex: how near to folded its
        // sharpest crease may be.
        float crease = 180.0f;
    };
    struct TriangleState {
        std::uint32_t corners[3] = {0, 0, 0};
        std::uint32_t live = 1;
    };

    std::vector<VertexState, UnwrittenAllocator<VertexState>> vertices_;
    // For each vertex, the push order from which candidates are current: a
    // candidate pushed before the vertex last changed (or lost its last live
    // triangle) is stale. Kept in a compact array of its own: the stale test
    // and the heap purge read it for millions of entries.
    std::vector<std::uint32_t, UnwrittenAllocator<std::uint32_t>> changedAt_;
    std::vector<TriangleState, UnwrittenAllocator<TriangleState>> triangles_;
    std::vector<std::uint32_t, UnwrittenAllocator<std::uint32_t>> incidence_;
    std::uint64_t liveTriangles_ = 0;
    BedRule bed_;
    double cosine_ = 0.0;
    std::uint32_t markValue_ = 0;
    // The live triangles around keep and then around remove, as their rows
    // list them, read once per attempt: the topology test, the shape test and
    // the collapse all work from this copy. A triangle holding both ends is
    // listed twice, once from each row.
    struct RingTriangle {
        std::uint32_t index;
        std::uint32_t corners[3];
    };
    std::vector<RingTriangle> ring_;
    std::size_t ringKeepCount_ = 0;  // the first ones, from keep's row
    // The triangles that stay around keep after a trial collapse: their two
    // other corners, their normals (not unit) before and after, and whether
    // they held keep before (or remove).
    struct FanTriangle {
        std::uint32_t u, v;
        Vec3d after, before;
        bool aroundKeep;
        float turn = 0.0f;  // degrees between before and after
    };
    std::vector<FanTriangle> fan_;
    std::vector<std::size_t> turned_;  // the fan triangles that turn, by index
    CollapseHeap heap_;
    std::size_t keptAtPurge_ = 0;
    std::vector<std::uint32_t> scratch_;
    // The sums of the (not unit) normals of a vertex's live triangles, what
    // the save check's fold test weighs a triangle against: as they stand,
    // and after a trial collapse at the vertices it changes.
    std::vector<std::pair<std::uint32_t, Vec3d>> sumsBefore_, sumsAfter_;
    std::vector<std::uint32_t> candidates_;  // triangles whose fold test a trial needs
    std::vector<std::uint32_t> summed_;      // the vertices whose sums that test reads
    std::size_t initialIncidence_ = 0;
};

}  // namespace ridgeforge::mesh
