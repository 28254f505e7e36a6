// The working state of one quadric edge-collapse run (see SimplifyMesh.h).
//
// All geometry is in double precision; the input mesh is only read, and the
// result is built as a new compacted mesh, so a stop never has to undo work.
//
// Needs: a mesh that satisfies the validity rule, with vertices and triangles.
// Returns: from Run, false when the progress callback asked to stop.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mesh/simplify/internal/CollapseCost.h"
#include "mesh/simplify/internal/CollapseHeap.h"
#include "mesh/Progress.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "mesh/TriangleMesh.h"
#include "mesh/UnwrittenAllocator.h"

namespace ridgeforge::mesh {

// Normal sums by vertex for one trial collapse. Most trials read a dozen
// vertices, which a scan finds fastest; a trial at the hub of a fan reads
// thousands, and past a few dozen entries an index finds them.
class VertexSums {
public:
    void Clear() {
        entries_.clear();
        if (!index_.empty()) index_.clear();
    }
    Vec3d* Find(std::uint32_t v);
    // The vertex must not be listed yet; the reference lasts until the next Add.
    Vec3d& Add(std::uint32_t v, const Vec3d& sum);
    const std::vector<std::pair<std::uint32_t, Vec3d>>& Entries() const { return entries_; }

private:
    static constexpr std::size_t kScanned = 32;
    std::vector<std::pair<std::uint32_t, Vec3d>> entries_;
    std::unordered_map<std::uint32_t, std::uint32_t> index_;  // filled once past kScanned entries
};

class MeshSimplifier {
public:
    MeshSimplifier(const TriangleMesh& mesh, const MeshSimplifyOptions& options, SimplifyReport& report);

    // The collapse loop; on success fills result, sourceVertex and sourceTriangle.
    bool Run(const ProgressCallback& progress, TriangleMesh& result);

private:
    using Quadric = std::array<double, 10>;  // xx xy xz xw yy yz yw zz zw ww

    using Placement = CollapsePlacement;

    // False when the poll said stop.
    bool SetUp(ProgressPoll& poll);
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
    // False when the poll said stop.
    bool OfferAllEdges(ProgressPoll& poll);
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
    void TryUnlessRefused(const CollapseCandidate& entry);
    bool TryCollapseEdge(std::uint32_t a, std::uint32_t b);
    void GatherRing(std::uint32_t keep, std::uint32_t remove);
    std::uint32_t NextMark();
    bool PassesTopology(std::uint32_t keep, std::uint32_t remove);
    bool PassesShape(std::uint32_t keep, std::uint32_t remove, const Vec3d& target);
    bool FanFolds();
    // Calls visit(i, j, corner) for each pair i < j of fan triangles that
    // share an outer corner, until it returns true; true if it did.
    template <class Visit>
    bool AnyNeighbourPair(const Visit& visit);
    bool BeyondFanFails(std::uint32_t keep, std::uint32_t remove, const Vec3d& target);
    bool FoldsAround(std::uint32_t keep, std::uint32_t remove);
    void PrefetchSums();
    Vec3d NormalOf(const std::uint32_t (&corners)[3]) const;
    Vec3d FreshSum(std::uint32_t v) const;
    Vec3d SumAt(std::uint32_t v);
    double OuterChange(std::uint32_t keep, std::uint32_t remove);
    void AddHubCandidates(std::uint32_t hub, double change, std::uint32_t keep, std::uint32_t remove);
    void TakeHubMargins(std::uint32_t hub);
    void UpdateHubs(std::uint32_t keep, std::uint32_t remove);
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
    // A triangle holding both ends is listed from each row: its second listing.
    bool ListedAgain(std::size_t i, std::uint32_t keep) const {
        const std::uint32_t(&c)[3] = ring_[i].corners;
        return i >= ringKeepCount_ && (c[0] == keep || c[1] == keep || c[2] == keep);
    }
    // The triangles that stay around keep after a trial collapse: their two
    // other corners, their normals (not unit) before and after, and whether
    // they held keep before (or remove).
    struct FanTriangle {
        std::uint32_t u, v;
        Vec3d after, before;
        bool aroundKeep;
        std::uint32_t index;  // the triangle
        float turn = 0.0f;    // degrees between before and after
    };
    std::vector<FanTriangle> fan_;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> fanCorners_;  // (outer corner, fan triangle)
    std::vector<std::size_t> turned_;  // the fan triangles that turn, by index
    CollapseHeap heap_;
    std::size_t keptAtPurge_ = 0;
    std::vector<std::uint32_t> scratch_;
    // The sums of the (not unit) normals of a vertex's live triangles, what
    // the save check's fold test weighs a triangle against: as they stand,
    // and after a trial collapse at the vertices it changes.
    VertexSums sumsBefore_, sumsAfter_;
    // A vertex with a great many triangles, the hub of a fan: summing its
    // triangles afresh for every trial that reads it would cost the fan each
    // time. Its sum is kept up to date through the collapses instead, with a
    // lower bound for each of its triangles on how far it stands from folded:
    // a trial tests only those whose bound its change could use up.
    struct HubMargin {
        double margin;  // the triangle's fold margin, plus drift_ when taken
        std::uint32_t triangle;
        bool operator<(const HubMargin& other) const { return margin < other.margin; }
    };
    struct HubState {
        Vec3d sum;
        std::uint32_t updates = 0;  // collapses added into the sum since it was worked out
        bool sumKnown = false;
        bool marginKnown = false;
        std::vector<HubMargin> margins;  // its triangles' when worked out, least first
        // Fan triangles made since, each with its margin as made; an older
        // entry for the same triangle may stand in margins, higher or not.
        std::vector<HubMargin> added;
        double addedLeast = 0.0;    // the least margin in added
        double scale = 0.0;         // the largest sum a margin read, for its rounding
        std::uint64_t takenAt = 0;  // the surface version the margins were worked out on
    };
    std::unordered_map<std::uint32_t, HubState> hubs_;
    // How far a triangle's fold margin may have fallen through the accepted
    // collapses that did not touch its corners' triangles themselves.
    double drift_ = 0.0;
    VertexSums deltas_;  // a trial's change to the sums at its outer corners
    // Bumped whenever the surface or a row's order changes; a trial's verdict
    // holds while it stands.
    std::uint64_t surfaceVersion_ = 0;
    struct Refusal {
        std::uint64_t version;
        std::uint8_t pinch, tip, other;  // what the refusal counted
    };
    std::unordered_map<std::uint64_t, Refusal> refusals_;
    std::vector<std::uint32_t> candidates_;  // triangles whose fold test a trial needs
    std::vector<std::uint32_t> summed_;      // the vertices whose sums that test reads
    std::size_t initialIncidence_ = 0;
};

// The shared corner named as p's u when q has it, else p's v. A small fan
// compares every pair; the fan of a hub has thousands of triangles, so its
// outer corners are sorted and only the triangles at one corner compared.
template <class Visit>
inline bool MeshSimplifier::AnyNeighbourPair(const Visit& visit) {
    constexpr std::uint32_t kNoCorner = 0xFFFFFFFFu;
    const auto shared = [this](std::size_t i, std::size_t j) {
        const FanTriangle& p = fan_[i];
        const FanTriangle& q = fan_[j];
        return p.u == q.u || p.u == q.v ? p.u : p.v == q.u || p.v == q.v ? p.v : kNoCorner;
    };
    constexpr std::size_t kCompared = 32;
    if (fan_.size() <= kCompared) {
        for (std::size_t i = 0; i < fan_.size(); ++i) {
            for (std::size_t j = i + 1; j < fan_.size(); ++j) {
                const std::uint32_t s = shared(i, j);
                if (s != kNoCorner && visit(i, j, s)) return true;
            }
        }
        return false;
    }
    fanCorners_.clear();
    for (std::size_t i = 0; i < fan_.size(); ++i) {
        fanCorners_.push_back({fan_[i].u, static_cast<std::uint32_t>(i)});
        fanCorners_.push_back({fan_[i].v, static_cast<std::uint32_t>(i)});
    }
    std::sort(fanCorners_.begin(), fanCorners_.end());
    for (std::size_t begin = 0, end = 0; begin < fanCorners_.size(); begin = end) {
        const std::uint32_t corner = fanCorners_[begin].first;
        while (end < fanCorners_.size() && fanCorners_[end].first == corner) ++end;
        for (std::size_t a = begin; a < end; ++a) {
            for (std::size_t b = a + 1; b < end; ++b) {
                const std::uint32_t i = fanCorners_[a].second, j = fanCorners_[b].second;
                // A pair sharing both corners is met at each; it counts at the one named.
                if (i != j && shared(i, j) == corner && visit(i, j, corner)) return true;
            }
        }
    }
    return false;
}

}  // namespace ridgeforge::mesh
