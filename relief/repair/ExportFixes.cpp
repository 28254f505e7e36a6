// The export fixes, stage by stage. Relaxation (bounded Laplacian steps over
// rings of vertices that grow every 10 rounds) parts folds and crossings
// without moving any vertex more than the maximum from where it started; the
// fold stage undoes itself when it put more surface through itself, and the
// resolving stage keeps the best state it saw. What relaxing leaves is
// collapsed by the quadric simplifier restricted to the region around it, on a
// copy that is kept only when it helps.
#include "relief/repair/ExportFixes.h"

#include <algorithm>
#include <chrono>

#include "mesh/Crumbs.h"
#include "mesh/ParallelChunks.h"
#include "mesh/simplify/SimplifyMesh.h"
#include "mesh/SortUnique.h"
#include "relief/repair/FixBuildingBlocks.h"
#include "relief/repair/NonManifoldEdges.h"
#include "relief/validation/KnownCrossings.h"
#include "relief/validation/SelfIntersections.h"

namespace ridgeforge::mesh {

namespace {

using namespace fixes;

// 0.42 mm cubed: bodies smaller than this cannot be printed.
constexpr float kCrumbVolume = 0.07408799f;
// Rounds of the resolving stage without a better state before it gives up.
constexpr int kStallRounds = 12;

void Say(const FixStageCallback& stage, const char* text) {
    if (stage) stage(text);
}

std::vector<std::uint32_t> Crossings(const TriangleMesh& mesh, const std::vector<std::uint8_t>* mask) {
    if (mask == nullptr) return CrossingTriangles(mesh);
    std::vector<std::uint32_t> hits = SelfIntersectingTriangles(mesh, mask);
    SortUnique(hits);
    return hits;
}

// The whole mesh's crossings after some vertices moved, given its crossings
// before: a pair can have changed only through a triangle with a moved
// corner, and a pair of unmoved triangles crosses now only if it did before,
// so searching the pairs that hold a moved or an earlier crossing triangle
// finds exactly what a search of everything would. The answer is remembered
// as the whole mesh's for a later search of this very mesh.
std::vector<std::uint32_t> CrossingsAfterMoves(const TriangleMesh& mesh, const std::vector<std::uint8_t>& moved,
                                               const std::vector<std::uint32_t>& before) {
    std::vector<std::uint8_t> mask(mesh.TriangleCount(), 0);
    for (const std::uint32_t t : before) mask[t] = 1;
    for (std::size_t t = 0; t < mask.size(); ++t) {
        const std::uint32_t* corner = &mesh.indices[3 * t];
        if (moved[corner[0]] || moved[corner[1]] || moved[corner[2]]) mask[t] = 1;
    }
    std::vector<std::uint32_t> after = Crossings(mesh, &mask);
    RememberCrossings(mesh, after);
    return after;
}

// The relaxation state one call shares between its stages.
struct Relaxing {
    VertexAdjacency adjacency;
    std::vector<Vec3f> start;
    std::vector<std::uint8_t> moved;
    std::vector<std::uint8_t> pinned;
    float maximumMove = 0.0f;
    int rounds = 1;

    // Relaxes the region of `rings` rings around the triangles; returns the triangles it touched.
    std::vector<std::uint32_t> Step(TriangleMesh& mesh, const std::vector<std::uint32_t>& triangles, int rings) {
        const std::vector<std::uint32_t> region = CollectVerticesAround(mesh, adjacency, triangles, rings);
        RelaxVertices(mesh, adjacency, region, start, moved, pinned, maximumMove);
        return TrianglesAtVertices(adjacency, region);
    }
};

void FixNonManifoldEdges(TriangleMesh& mesh, const FixStageCallback& stage, ExportFixReport& report) {
    Say(stage, "Fixing non-manifold edges");
    report.nonManifoldRan = true;
    report.nonManifoldFound = CountNonManifoldEdges(mesh);
    if (report.nonManifoldFound == 0) return;
    report.doubleSkinnedPairsRemoved = RemoveDoubleSkinnedPairs(mesh);
    report.verticesSplit = SplitNonManifoldEdges(mesh);
    CutAndFillNonManifoldEdges(mesh);
}

void RemoveStrayBodies(TriangleMesh& mesh, const ExportFixOptions& options, const FixStageCallback& stage,
                       std::uint64_t bodyCount, ExportFixReport& report) {
    report.crumbsRan = options.removeCrumbs;
    const bool freedBodies = report.nonManifoldFound > 0 && bodyCount > 0;
    if (options.removeCrumbs) Say(stage, "Removing stray crumbs");
    if (!options.removeCrumbs && !freedBodies) return;
    report.bodiesRemoved = RemoveCrumbs(mesh, freedBodies ? bodyCount : kKeepAllBodies, &report.bodyTrianglesRemoved,
                                        options.removeCrumbs ? kCrumbVolume : 0.0f, nullptr);
}

void TurnAwayNoArea(TriangleMesh& mesh, const FixStageCallback& stage, ExportFixReport& report) {
    report.noAreaFound = CountZeroAreaTriangles(mesh);
    report.noAreaLeft = report.noAreaFound;
    if (report.noAreaFound == 0) return;
    Say(stage, "Removing triangles with no area");
    report.noAreaTurned = RemoveZeroAreaTriangles(mesh);
    if (report.noAreaTurned > 0) report.noAreaLeft = CountZeroAreaTriangles(mesh);
}

void Unfold(TriangleMesh& mesh, Relaxing& r, std::vector<std::uint32_t>& crossings, const FixStageCallback& stage,
            ExportFixReport& report) {
    Say(stage, "Unfolding folded-over triangles");
    report.foldsRan = true;
    std::vector<std::uint8_t> near(mesh.TriangleCount(), 0);
    if (!crossings.empty()) {
        for (const std::uint32_t t :
             TrianglesAtVertices(r.adjacency, CollectVerticesAround(mesh, r.adjacency, crossings, 1)))
            near[t] = 1;
    }
    // Each triangle is judged on its own, so the judging runs in parallel
    // and the list is gathered in triangle order afterwards.
    enum : std::uint8_t { kFlat, kFold, kSharpPlace };
    std::vector<std::uint8_t> kind(mesh.TriangleCount(), kFlat);
    {
        // Gone once the triangles are judged: the rounds work out their own.
        const std::vector<Vec3d> sums = CornerNormalSums(mesh, r.adjacency);
        ForEachChunk(kind.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                const auto t = static_cast<std::uint32_t>(i);
                if (!IsFoldedTriangle(mesh, sums, t)) continue;
                kind[i] = near[i] || FoldLiesOnNeighbour(mesh, r.adjacency, t) ? kFold : kSharpPlace;
            }
        });
    }
    std::vector<std::uint32_t> folds;
    for (std::uint32_t t = 0; t < mesh.TriangleCount(); ++t) {
        if (kind[t] == kSharpPlace) ++report.sharpPlacesKept;
        if (kind[t] != kFold) continue;
        near[t] = 1;
        folds.push_back(t);
    }
    report.foldedFound = folds.size();
    FoldJudge judge(mesh.vertices.size());
    while (!folds.empty() && report.foldRounds < r.rounds) {
        ++report.foldRounds;
        const std::vector<std::uint32_t> touched = r.Step(mesh, folds, report.foldRounds / 10 + 1);
        folds.clear();
        for (const std::uint32_t t : judge.Folded(mesh, r.adjacency, touched)) {
            if (near[t] || FoldLiesOnNeighbour(mesh, r.adjacency, t)) folds.push_back(t);
        }
    }
    report.foldedLeft = folds.size();
    if (report.foldRounds == 0) return;
    std::vector<std::uint32_t> after = CrossingsAfterMoves(mesh, r.moved, crossings);
    if (after.size() <= crossings.size()) {
        crossings = std::move(after);
        return;
    }
    for (std::size_t v = 0; v < r.moved.size(); ++v) {
        if (!r.moved[v]) continue;
        mesh.vertices[v].position = r.start[v];
        r.moved[v] = 0;
    }
    report.foldedLeft = report.foldedFound;
    report.foldsLeftAsTheyAre = true;
}

void Resolve(TriangleMesh& mesh, Relaxing& r, std::vector<std::uint32_t>& crossings, const FixStageCallback& stage,
             ExportFixReport& report) {
    Say(stage, "Resolving self-intersections");
    report.selfIntersectionsRan = true;
    report.selfIntersectingFound = crossings.size();
    std::vector<std::uint32_t> bestList;
    std::vector<Vec3f> bestPositions;
    std::vector<std::uint8_t> bestMoved;
    if (!crossings.empty()) {
        bestList = crossings;
        bestPositions = SnapshotPositions(mesh);
        bestMoved = r.moved;
    }
    int stall = 0;
    while (!crossings.empty() && report.resolveRounds < r.rounds && stall < kStallRounds) {
        ++report.resolveRounds;
        const std::vector<std::uint32_t> touched = r.Step(mesh, crossings, report.resolveRounds / 10 + 1);
        std::vector<std::uint8_t> mask(mesh.TriangleCount(), 0);
        for (const std::uint32_t t : touched) mask[t] = 1;
        crossings = Crossings(mesh, &mask);
        if (crossings.size() < bestList.size()) {
            bestList = crossings;
            bestPositions = SnapshotPositions(mesh);
            bestMoved = r.moved;
            stall = 0;
        } else {
            ++stall;
        }
    }
    if (crossings.size() > bestList.size() ||
        (crossings.size() == bestList.size() && !crossings.empty() && stall > 0)) {
        for (std::size_t v = 0; v < bestPositions.size(); ++v) mesh.vertices[v].position = bestPositions[v];
        r.moved = bestMoved;
        crossings = bestList;
    }
    report.selfIntersectingLeft = crossings.size();
}

void RecordMovement(const TriangleMesh& mesh, const Relaxing& r, ExportFixReport& report) {
    double furthest = 0.0;
    for (std::size_t v = 0; v < r.moved.size(); ++v) {
        if (!r.moved[v]) continue;
        ++report.verticesMoved;
        furthest = std::max(furthest, Length(ToDouble(mesh.vertices[v].position) - ToDouble(r.start[v])));
    }
    report.furthestMoveMillimetres = static_cast<float>(furthest);
}

std::vector<std::uint32_t> RegionTriangles(const TriangleMesh& mesh, const std::vector<std::uint32_t>& triangles,
                                           int rings) {
    const VertexAdjacency adjacency = BuildVertexAdjacency(mesh);
    return TrianglesAtVertices(adjacency, CollectVerticesAround(mesh, adjacency, triangles, rings));
}

// One simplifier run on a copy, restricted to the region's triangles.
struct LocalCollapse {
    TriangleMesh copy;
    std::vector<std::uint8_t> held;  // per input triangle: 1 outside the region
    SimplifyReport simplify;
};

LocalCollapse CollapseRegion(const TriangleMesh& mesh, const std::vector<std::uint32_t>& region,
                             std::uint64_t removeAtLeast, std::int32_t bedAxis, float edgeLength) {
    LocalCollapse c;
    c.held.assign(mesh.TriangleCount(), 1);
    for (const std::uint32_t t : region) c.held[t] = 0;
    MeshSimplifyOptions options;
    options.detailLevel = 1e20f;
    options.targetTriangles = CollapseTarget(mesh.TriangleCount(), removeAtLeast);
    options.bedAxis = bedAxis;
    options.angleDegrees = 90.0f;
    options.measureMovement = false;
    options.heldTriangles = &c.held;
    options.maxEdgeLength = 3.0f * edgeLength;
    c.copy = mesh;
    c.simplify = SimplifyMesh(c.copy, options, ProgressCallback{});
    return c;
}

void TakeCopy(TriangleMesh& mesh, TriangleMesh& copy) {
    mesh.vertices = std::move(copy.vertices);
    mesh.indices = std::move(copy.indices);
    mesh.boundsMin = copy.boundsMin;
    mesh.boundsMax = copy.boundsMax;
    mesh.boundsValid = copy.boundsValid;
}

void CollapseCrossings(TriangleMesh& mesh, std::vector<std::uint32_t>& crossings, const FixStageCallback& stage,
                       ExportFixReport& report) {
    Say(stage, "Collapsing what relaxing left");
    const std::uint64_t before = mesh.TriangleCount();
    const float edgeLength = MedianLongestEdge(mesh);
    for (int attempt = 1; attempt <= 3 && !crossings.empty(); ++attempt) {
        const std::vector<std::uint32_t> region = RegionTriangles(mesh, crossings, attempt);
        if (region.empty()) break;
        const std::uint64_t k = region.size();
        // The bed (lowest z) is held: collapsing there would lift the part off it.
        LocalCollapse c = CollapseRegion(mesh, region, std::max<std::uint64_t>(k / 2, 2), 2, edgeLength);
        ++report.collapseAttempts;
        if (c.copy.TriangleCount() >= mesh.TriangleCount()) continue;
        std::vector<std::uint8_t> mask(c.copy.TriangleCount(), 1);
        if (c.simplify.sourceTriangle.size() == mask.size()) {
            for (std::size_t t = 0; t < mask.size(); ++t) mask[t] = c.held[c.simplify.sourceTriangle[t]] ? 0 : 1;
        }
        std::vector<std::uint32_t> after = Crossings(c.copy, &mask);
        if (after.size() >= crossings.size()) break;
        TakeCopy(mesh, c.copy);
        crossings = std::move(after);
    }
    report.trianglesCollapsed = before - mesh.TriangleCount();
    report.selfIntersectingLeft = crossings.size();
}

void CollapseNoArea(TriangleMesh& mesh, const FixStageCallback& stage, ExportFixReport& report) {
    std::vector<std::uint32_t> noArea = ListZeroAreaTriangles(mesh);
    if (noArea.size() > report.noAreaLeft) report.noAreaFound += noArea.size() - report.noAreaLeft;
    if (!noArea.empty()) {
        const std::uint64_t turned = RemoveZeroAreaTriangles(mesh);
        if (turned > 0) {
            report.noAreaTurned += turned;
            noArea = ListZeroAreaTriangles(mesh);
        }
    }
    const std::uint64_t before = mesh.TriangleCount();
    for (int attempt = 1; attempt <= 3 && !noArea.empty(); ++attempt) {
        Say(stage, "Removing triangles with no area");
        const std::vector<std::uint32_t> region = RegionTriangles(mesh, noArea, attempt - 1);
        LocalCollapse c = CollapseRegion(mesh, region, 2 * std::uint64_t{noArea.size()}, -1, MedianLongestEdge(mesh));
        if (c.copy.TriangleCount() >= mesh.TriangleCount()) continue;
        std::vector<std::uint32_t> left = ListZeroAreaTriangles(c.copy);
        if (left.size() >= noArea.size()) continue;
        TakeCopy(mesh, c.copy);
        noArea = std::move(left);
    }
    report.noAreaLeft = noArea.size();
    report.trianglesCollapsed += before - mesh.TriangleCount();
}

}  // namespace

namespace fixes {

std::uint64_t CollapseTarget(std::uint64_t current, std::uint64_t remove) {
    // A target of 0 means "no target" to the simplifier and an unsigned
    // difference would wrap; at least one triangle is always the aim.
    const std::int64_t target = static_cast<std::int64_t>(current) - static_cast<std::int64_t>(remove);
    return target < 1 ? 1 : static_cast<std::uint64_t>(target);
}

}  // namespace fixes

ExportFixReport FixMeshForExport(TriangleMesh& mesh, const ExportFixOptions& options, const FixStageCallback& stage,
                                 std::uint64_t bodyCount) {
    const auto started = std::chrono::steady_clock::now();
    ExportFixReport report;
    if (mesh.indices.size() < 3 || !IsValidMesh(mesh)) return report;

    if (options.splitNonManifoldEdges) FixNonManifoldEdges(mesh, stage, report);
    RemoveStrayBodies(mesh, options, stage, bodyCount, report);
    if (report.nonManifoldFound > 0) report.nonManifoldLeft = CountNonManifoldEdges(mesh);
    TurnAwayNoArea(mesh, stage, report);

    if (options.unfoldTriangles || options.resolveSelfIntersections) {
        Relaxing r;
        r.adjacency = BuildVertexAdjacency(mesh);
        r.start.assign(mesh.vertices.size(), Vec3f{});
        r.moved.assign(mesh.vertices.size(), 0);
        r.rounds = std::max(1, options.maximumRounds);
        r.pinned = LongEdgeVertices(mesh);
        r.maximumMove = std::max(0.0f, options.maximumMoveMillimetres);

        Say(stage, "Looking for self-intersections");
        std::vector<std::uint32_t> crossings = Crossings(mesh, nullptr);
        if (options.unfoldTriangles) Unfold(mesh, r, crossings, stage, report);
        if (options.resolveSelfIntersections) {
            Resolve(mesh, r, crossings, stage, report);
            // Each round searched every triangle that moved, and the rest kept
            // the crossings they had, so the list is that of the whole mesh; a
            // later search of this very mesh need not run again.
            RememberCrossings(mesh, crossings);
        }
        RecordMovement(mesh, r, report);
        if (options.resolveSelfIntersections && !crossings.empty()) CollapseCrossings(mesh, crossings, stage, report);
        CollapseNoArea(mesh, stage, report);
        if (report.verticesMoved > 0 || report.trianglesCollapsed > 0) {
            mesh.RecomputeBounds();
            mesh.RecomputeNormals();
        }
    }
    report.milliseconds =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - started).count() / 1e6;
    return report;
}

}  // namespace ridgeforge::mesh
