// Crumb removal. Bodies come from a union-find over triangles joined by the
// runs of equal keys in the sorted edge list; bodies are ranked by triangle
// count and a small one (under 1% of the largest) goes when it ranks beyond
// the bodies the caller keeps or, with a volume threshold, encloses too little.
#include "mesh/Crumbs.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "mesh/MeshHygiene.h"

namespace ridgeforge::mesh {
namespace {

std::uint32_t FindRoot(std::vector<std::uint32_t>& parent, std::uint32_t x) {
    while (parent[x] != x) {
        parent[x] = parent[parent[x]];
        x = parent[x];
    }
    return x;
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

    std::vector<std::uint32_t> parent(triangles);
    std::iota(parent.begin(), parent.end(), 0u);
    const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(mesh);
    for (std::size_t e = 1; e < edges.size(); ++e) {
        if (edges[e].first != edges[e - 1].first) continue;
        const std::uint32_t later = FindRoot(parent, edges[e].second);
        const std::uint32_t earlier = FindRoot(parent, edges[e - 1].second);
        if (later != earlier) parent[later] = earlier;
    }

    // Body number of each root, in order of first appearance.
    std::vector<std::uint32_t> bodyOf(triangles, 0xFFFFFFFFu);
    std::vector<Body> bodies;
    std::vector<std::uint32_t> triangleBody(triangles);
    for (std::size_t t = 0; t < triangles; ++t) {
        const std::uint32_t root = FindRoot(parent, static_cast<std::uint32_t>(t));
        if (bodyOf[root] == 0xFFFFFFFFu) {
            bodyOf[root] = static_cast<std::uint32_t>(bodies.size());
            bodies.push_back({root, 0, 0.0, false});
        }
        triangleBody[t] = bodyOf[root];
        ++bodies[bodyOf[root]].triangles;
    }

    std::vector<std::uint32_t> order(bodies.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&bodies](std::uint32_t a, std::uint32_t b) { return bodies[a].triangles > bodies[b].triangles; });

    keepLargest = std::max<std::uint64_t>(keepLargest, 1);
    const bool volumeTest = minimumVolume > 0.0f;
    if (bodies.size() < 2 || (bodies.size() <= keepLargest && !volumeTest)) return 0;

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

}  // namespace ridgeforge::mesh
