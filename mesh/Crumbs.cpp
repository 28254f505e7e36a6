// Crumb removal. Bodies are the components joined through shared edges, so
// two bodies that touch at a corner stay two; they are ranked by triangle
// count and a small one (under 1% of the largest) goes when it ranks beyond
// the bodies the caller keeps or, with a volume threshold, encloses too little.
// Pieces after contouring (CountComponents, DropCrumbs) join through shared
// vertices, as a contoured surface's pieces meet at most there.
#include "mesh/Crumbs.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <numeric>

#include "mesh/Connectivity.h"
#include "mesh/MeshHygiene.h"
#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

// A union-find shared by all threads: a root is linked under a smaller
// index only by a compare-and-swap that finds it still a root, so every
// successful link joins two pieces exactly once, whatever the order.
class SharedUnionFind {
public:
    explicit SharedUnionFind(std::size_t count) : parent_(std::make_unique_for_overwrite<std::uint32_t[]>(count)) {
        ForEachChunk(count, 65536, [this](std::size_t begin, std::size_t end) {
            std::iota(parent_.get() + begin, parent_.get() + end, static_cast<std::uint32_t>(begin));
        });
    }

    std::uint32_t Find(std::uint32_t x) const {
        while (true) {
            std::atomic_ref<std::uint32_t> link(parent_[x]);
            std::uint32_t p = link.load(std::memory_order_relaxed);
            if (p == x) return x;
            const std::uint32_t grand = std::atomic_ref<std::uint32_t>(parent_[p]).load(std::memory_order_relaxed);
            if (grand != p) link.compare_exchange_weak(p, grand, std::memory_order_relaxed);  // path halving
            x = grand;
        }
    }

    // True when a and b were in two pieces.
    bool Join(std::uint32_t a, std::uint32_t b) const {
        while (true) {
            a = Find(a);
            b = Find(b);
            if (a == b) return false;
            if (a > b) std::swap(a, b);
            std::uint32_t expected = b;
            if (std::atomic_ref<std::uint32_t>(parent_[b])
                    .compare_exchange_strong(expected, a, std::memory_order_acq_rel)) {
                return true;
            }
        }
    }

private:
    std::unique_ptr<std::uint32_t[]> parent_;
};

// Bodies joined through shared edges, counted on every thread: the count
// that numbering them, a pass on one thread, would give.
std::uint64_t CountEdgeBodies(const TriangleMesh& mesh, const std::vector<SortedEdge>& edges) {
    const std::size_t triangles = mesh.indices.size() / 3;
    SharedUnionFind sets(triangles);
    std::atomic<std::uint64_t> joins{0};
    ForEachChunk(edges.size(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t chunkJoins = 0;
        for (std::size_t e = std::max<std::size_t>(begin, 1); e < end; ++e) {
            if (edges[e].first == edges[e - 1].first && sets.Join(edges[e - 1].second, edges[e].second)) ++chunkJoins;
        }
        joins.fetch_add(chunkJoins);
    });
    return triangles - joins.load();
}

struct Body {
    std::uint32_t root = 0;
    std::uint64_t triangles = 0;
    double volume = 0.0;
    bool removed = false;
};

}  // namespace

std::uint64_t RemoveCrumbs(TriangleMesh& mesh, std::uint64_t keepLargest, std::uint64_t* removedTriangles,
                           float minimumVolume, std::vector<RemovedBody>* removedBodies) {
    const std::size_t triangles = mesh.indices.size() / 3;
    if (triangles == 0) return 0;
    // Callers promise a valid mesh; checking costs one pass and keeps a broken
    // one from being read out of range.
    if (!IsValidMesh(mesh)) return 0;

    keepLargest = std::max<std::uint64_t>(keepLargest, 1);
    const bool volumeTest = minimumVolume > 0.0f;
    // A surface of one body, the usual case, is told apart before its bodies
    // are numbered.
    const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(mesh);
    const std::uint64_t bodyCount = CountEdgeBodies(mesh, edges);
    if (bodyCount < 2 || (bodyCount <= keepLargest && !volumeTest)) return 0;

    // Bodies are numbered in order of their first triangle.
    Components pieces = FindComponents(mesh, edges);
    std::vector<Body> bodies;
    bodies.reserve(pieces.root.size());
    for (const std::uint32_t root : pieces.root) bodies.push_back({root, 0, 0.0, false});
    const std::vector<std::uint32_t>& triangleBody = pieces.ofTriangle;
    for (std::size_t t = 0; t < triangles; ++t) ++bodies[triangleBody[t]].triangles;

    std::vector<std::uint32_t> order(bodies.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&bodies](std::uint32_t a, std::uint32_t b) { return bodies[a].triangles > bodies[b].triangles; });

    if (volumeTest) {
        for (std::size_t t = 0; t < triangles; ++t) {
            Body& body = bodies[triangleBody[t]];
            const Vec3f o = mesh.vertices[mesh.indices[3 * std::size_t{body.root}]].position;
            const Vec3f a = mesh.vertices[mesh.indices[3 * t]].position - o;
            const Vec3f b = mesh.vertices[mesh.indices[3 * t + 1]].position - o;
            const Vec3f c = mesh.vertices[mesh.indices[3 * t + 2]].position - o;
            body.volume += static_cast<double>(Dot(a, Cross(b, c))) / 6.0;
        }
    }

    const std::uint64_t largest = bodies[order[0]].triangles;
    std::uint64_t removedCount = 0;
    for (std::size_t p = 1; p < order.size(); ++p) {
        Body& body = bodies[order[p]];
        const bool small = body.triangles * 100 < largest;
        if (!small) continue;
        if (p >= keepLargest || (volumeTest && std::fabs(body.volume) < minimumVolume)) {
            body.removed = true;
            ++removedCount;
            if (removedTriangles) *removedTriangles += body.triangles;
        }
    }
    if (removedCount == 0) return 0;

    if (removedBodies) {
        // Entry of each removed body in the caller's array, in ranked order.
        std::vector<std::size_t> entryOf(bodies.size(), 0);
        for (const std::uint32_t b : order) {
            if (!bodies[b].removed) continue;
            entryOf[b] = removedBodies->size();
            RemovedBody entry;
            entry.boundsMin = {1e30f, 1e30f, 1e30f};
            entry.boundsMax = {-1e30f, -1e30f, -1e30f};
            entry.triangles = bodies[b].triangles;
            entry.volume = volumeTest ? bodies[b].volume : 0.0;
            removedBodies->push_back(entry);
        }
        for (std::size_t t = 0; t < triangles; ++t) {
            const std::uint32_t b = triangleBody[t];
            if (!bodies[b].removed) continue;
            RemovedBody& entry = (*removedBodies)[entryOf[b]];
            for (int k = 0; k < 3; ++k) {
                const Vec3f& p = mesh.vertices[mesh.indices[3 * t + k]].position;
                entry.boundsMin = Min(entry.boundsMin, p);
                entry.boundsMax = Max(entry.boundsMax, p);
            }
        }
    }

    std::vector<std::uint32_t> kept;
    kept.reserve(mesh.indices.size());
    for (std::size_t t = 0; t < triangles; ++t) {
        if (!bodies[triangleBody[t]].removed) {
            kept.insert(kept.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
        }
    }
    mesh.indices = std::move(kept);
    RemoveUnusedVertices(mesh);
    return removedCount;
}

std::uint64_t CountComponents(const TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return 0;
    const std::size_t vertexCount = mesh.vertices.size();
    SharedUnionFind sets(vertexCount);
    std::atomic<std::uint64_t> joins{0};
    ForEachChunk(mesh.indices.size() / 3, 16384, [&](std::size_t begin, std::size_t end) {
        std::uint64_t chunkJoins = 0;
        for (std::size_t t = begin; t < end; ++t) {
            for (int k = 1; k < 3; ++k) chunkJoins += sets.Join(mesh.indices[3 * t], mesh.indices[3 * t + k]) ? 1 : 0;
        }
        joins.fetch_add(chunkJoins);
    });
    return vertexCount - joins.load();
}

void DropCrumbs(TriangleMesh& mesh, float fraction) {
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return;
    const Components pieces = FindComponents(mesh, JoinThrough::SharedVertices);
    std::vector<double> volume(pieces.Count(), 0.0);
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const Vec3f& a = mesh.vertices[mesh.indices[i]].position;
        const Vec3f& b = mesh.vertices[mesh.indices[i + 1]].position;
        const Vec3f& c = mesh.vertices[mesh.indices[i + 2]].position;
        volume[pieces.ofTriangle[i / 3]] += static_cast<double>(Dot(a, Cross(b, c))) / 6.0;
    }
    double largest = 0.0;
    for (const double v : volume) largest = std::max(largest, std::fabs(v));
    // A NaN fraction keeps everything rather than dropping every piece.
    const double share = std::isnan(fraction) ? 0.0 : std::clamp(static_cast<double>(fraction), 0.0, 1.0);
    const double threshold = share * largest;
    std::vector<std::uint32_t> kept;
    kept.reserve(mesh.indices.size());
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        if (std::fabs(volume[pieces.ofTriangle[i / 3]]) >= threshold) {
            kept.insert(kept.end(), mesh.indices.begin() + static_cast<std::ptrdiff_t>(i),
                        mesh.indices.begin() + static_cast<std::ptrdiff_t>(i + 3));
        }
    }
    if (kept.size() != mesh.indices.size()) {
        mesh.indices = std::move(kept);
        RemoveUnusedVertices(mesh);
    }
}

}  // namespace ridgeforge::mesh
