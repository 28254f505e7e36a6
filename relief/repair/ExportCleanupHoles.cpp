// Boundary loops and their filling for the export cleanup.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "mesh/Connectivity.h"
#include "mesh/ParallelChunks.h"
#include "relief/repair/ExportCleanup.h"

namespace ridgeforge::mesh {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

void MeasureLoop(const TriangleMesh& mesh, BoundaryLoop& loop) {
    std::vector<Vec3d> p;
    p.reserve(loop.vertices.size());
    for (std::uint32_t v : loop.vertices) p.push_back(ToDouble(mesh.vertices[v].position));
    Vec3d low = p[0], high = p[0];
    double perimeter = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        low = Min(low, p[i]);
        high = Max(high, p[i]);
        perimeter += Length(p[(i + 1) % p.size()] - p[i]);
    }
    loop.acrossMillimetres = static_cast<float>(Length(high - low));
    const double area = Length(NewellVector(p)) * 0.5;
    loop.widthMillimetres = perimeter > 0.0 ? static_cast<float>(2.0 * area / perimeter) : 0.0f;
}

// Open boundaries that no loop could be traced through (they pinch at a
// vertex or run into one already walked): each group of boundary edges joined
// at their ends counts once, measured like a loop by the diagonal of its box.
// Without this a pinched hole of any size would read as 0 mm across.
void MeasureUntraced(const TriangleMesh& mesh, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& openEdges,
                     const std::vector<std::uint32_t>& untracedStarts, std::uint64_t& untraced, float& largest) {
    UnionFind groups(mesh.vertices.size());
    for (const auto& [from, to] : openEdges) groups.Join(from, to);
    struct Box {
        Vec3d low, high;
    };
    std::unordered_map<std::uint32_t, Box> boxes;
    for (const std::uint32_t s : untracedStarts) boxes.try_emplace(groups.Find(s));
    for (auto& [root, box] : boxes) box.low = box.high = ToDouble(mesh.vertices[root].position);
    for (const auto& [from, to] : openEdges) {
        const auto found = boxes.find(groups.Find(from));
        if (found == boxes.end()) continue;
        for (const std::uint32_t v : {from, to}) {
            found->second.low = Min(found->second.low, ToDouble(mesh.vertices[v].position));
            found->second.high = Max(found->second.high, ToDouble(mesh.vertices[v].position));
        }
    }
    untraced += boxes.size();
    for (const auto& [root, box] : boxes) largest = std::max(largest, static_cast<float>(Length(box.high - box.low)));
}

}  // namespace

void SortEdgeKeys(std::vector<std::uint64_t>& keys, std::vector<std::uint32_t>& corners) {
    const std::size_t n = keys.size();
    std::vector<std::uint64_t> sortedKeys(n);
    std::vector<std::uint32_t> sortedCorners(n), order(n);
    for (int shift = 0; shift < 64; shift += 16) {
        StableBucketOrder(
            n, 65536, [&](std::size_t i) { return static_cast<std::size_t>((keys[i] >> shift) & 0xFFFFu); },
            order.data(), true);
        for (std::size_t j = 0; j < n; ++j) {
            sortedKeys[j] = keys[order[j]];
            sortedCorners[j] = corners[order[j]];
        }
        keys.swap(sortedKeys);
        corners.swap(sortedCorners);
    }
}

std::vector<BoundaryLoop> FindBoundaryLoops(const TriangleMesh& mesh, std::uint64_t& untraced,
                                            float* largestUntracedMillimetres) {
    if (largestUntracedMillimetres != nullptr) *largestUntracedMillimetres = 0.0f;
    // Edges of one side start every loop. A closed mesh, the usual case, has
    // none, which the parallel edge count tells sooner than the sort below.
    if (IsValidMesh(mesh) && EdgeStatistics(mesh).openBoundaryEdges == 0) return {};
    const std::size_t corners = mesh.indices.size();
    std::vector<std::uint64_t> keys(corners);
    std::vector<std::uint32_t> owner(corners);
    const auto endOf = [&](std::size_t c) { return mesh.indices[c - c % 3 + (c % 3 + 1) % 3]; };
    for (std::size_t c = 0; c < corners; ++c) {
        keys[c] = EdgeKey(mesh.indices[c], endOf(c));
        owner[c] = static_cast<std::uint32_t>(c);
    }
    SortEdgeKeys(keys, owner);

    // Per start vertex of a boundary edge: where it leads, its triangle, how many leave it.
    std::vector<std::uint32_t> next(mesh.vertices.size(), kNone), triangle(mesh.vertices.size(), kNone);
    std::vector<std::uint32_t> leaving(mesh.vertices.size(), 0);
    std::vector<std::uint32_t> starts;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> openEdges;
    for (std::size_t i = 0; i < corners;) {
        std::size_t j = i + 1;
        while (j < corners && keys[j] == keys[i]) ++j;
        if (j - i == 1) {
            const std::uint32_t c = owner[i], s = mesh.indices[c];
            openEdges.emplace_back(s, endOf(c));
            if (leaving[s]++ == 0) starts.push_back(s);
            next[s] = endOf(c);
            triangle[s] = c / 3;
        }
        i = j;
    }

    std::vector<BoundaryLoop> loops;
    std::vector<std::uint32_t> untracedStarts;
    std::vector<std::uint8_t> visited(mesh.vertices.size(), 0);
    for (const std::uint32_t s : starts) {
        if (visited[s]) continue;
        visited[s] = 1;
        BoundaryLoop loop;
        loop.triangle = triangle[s];
        bool closed = false;
        for (std::uint32_t v = s;;) {
            if (leaving[v] != 1) break;
            loop.vertices.push_back(v);
            v = next[v];
            if (v == s) {
                closed = true;
                break;
            }
            if (visited[v]) break;
            visited[v] = 1;
        }
        if (!closed || loop.vertices.size() < 3) {
            untracedStarts.push_back(s);
            continue;
        }
        MeasureLoop(mesh, loop);
        loops.push_back(std::move(loop));
    }
    if (!untracedStarts.empty()) {
        float largest = 0.0f;
        MeasureUntraced(mesh, openEdges, untracedStarts, untraced, largest);
        if (largestUntracedMillimetres != nullptr) *largestUntracedMillimetres = largest;
    }
    return loops;
}

Vec3d NewellVector(const std::vector<Vec3d>& p) {
    Vec3d n;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Vec3d& a = p[i];
        const Vec3d& b = p[(i + 1) % p.size()];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

}  // namespace ridgeforge::mesh
