// Dropping triangles without area, repeated triangles and unused vertices.
// The duplicate test hashes each triangle's sorted corner triple into a table
// that finds the first triangle of every corner set (FirstOccurrence.h).
#include "mesh/MeshHygiene.h"

#include "mesh/FirstOccurrence.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

namespace ridgeforge::mesh {
namespace {

using Triple = std::array<std::uint32_t, 3>;

constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

Triple SortedCorners(const TriangleMesh& mesh, std::size_t t) {
    Triple c{mesh.indices[3 * t], mesh.indices[3 * t + 1], mesh.indices[3 * t + 2]};
    if (c[0] > c[1]) std::swap(c[0], c[1]);
    if (c[1] > c[2]) std::swap(c[1], c[2]);
    if (c[0] > c[1]) std::swap(c[0], c[1]);
    return c;
}

std::uint64_t HashTriple(const Triple& c) {
    // FNV-1a over the three words, then mixed: the slot comes from the top
    // bits, which FNV's last product leaves nearly alike for the triples of
    // a fan (neighbouring rim corners and one centre), so that they crowded
    // a few runs of the table.
    std::uint64_t h = 14695981039346656037ull;
    for (const std::uint32_t w : c) h = (h ^ w) * 1099511628211ull;
    h ^= h >> 31;
    h *= 0xbf58476d1ce4e5b9ull;
    return h ^ (h >> 29);
}

// For each triangle, the first triangle with the same corner set.
std::vector<std::uint32_t> FirstWithSameCorners(const TriangleMesh& mesh) {
    return detail::FirstOccurrence(
        mesh.indices.size() / 3, [&](std::size_t t) { return HashTriple(SortedCorners(mesh, t)); },
        [&](std::size_t a, std::size_t b) { return SortedCorners(mesh, a) == SortedCorners(mesh, b); });
}

}  // namespace

std::uint64_t RemoveDegenerateTriangles(TriangleMesh& mesh, bool keepZeroArea) {
    if (!IsValidMesh(mesh)) return 0;
    const auto degenerate = [&](std::size_t t) {
        const std::uint32_t a = mesh.indices[3 * t], b = mesh.indices[3 * t + 1], c = mesh.indices[3 * t + 2];
        if (a == b || b == c || a == c) return true;
        if (keepZeroArea) return false;
        const Vec3f& pa = mesh.vertices[a].position;
        const float area2 = Length(Cross(mesh.vertices[b].position - pa, mesh.vertices[c].position - pa));
        return !(area2 > 0.0f);
    };
    // Counted in parallel first: most meshes have none, and then nothing is copied.
    const std::size_t triangles = mesh.indices.size() / 3;
    std::atomic<std::uint64_t> dropped{0};
    ForEachChunk(triangles, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t found = 0;
        for (std::size_t t = begin; t < end; ++t) found += degenerate(t) ? 1 : 0;
        dropped += found;
    });
    if (dropped == 0) return 0;
    std::vector<std::uint32_t> kept;
    kept.reserve(mesh.indices.size() - 3 * dropped);
    for (std::size_t t = 0; t < triangles; ++t) {
        if (!degenerate(t)) kept.insert(kept.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    }
    mesh.indices = std::move(kept);
    return dropped;
}

std::uint64_t CountDuplicateTriangles(const TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return 0;
    const std::vector<std::uint32_t> first = FirstWithSameCorners(mesh);
    std::uint64_t repeats = 0;
    for (std::size_t t = 0; t < first.size(); ++t) repeats += first[t] != t;
    return repeats;
}

std::uint64_t RemoveDuplicateTriangles(TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return 0;
    const std::vector<std::uint32_t> first = FirstWithSameCorners(mesh);
    std::uint64_t dropped = 0;
    for (std::size_t t = 0; t < first.size(); ++t) dropped += first[t] != t;
    if (dropped == 0) return 0;
    std::vector<std::uint32_t> kept;
    kept.reserve(mesh.indices.size() - 3 * dropped);
    for (std::size_t t = 0; t < first.size(); ++t) {
        if (first[t] == t) kept.insert(kept.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    }
    mesh.indices = std::move(kept);
    return dropped;
}

std::uint64_t RemoveUnusedVertices(TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return 0;
    std::vector<std::uint32_t> remap(mesh.vertices.size(), kEmpty);
    for (const std::uint32_t i : mesh.indices) remap[i] = 0;
    std::uint32_t next = 0;
    for (std::uint32_t& r : remap) {
        if (r != kEmpty) r = next++;
    }
    const std::uint64_t dropped = mesh.vertices.size() - next;
    if (dropped == 0) return 0;
    std::vector<Vertex> kept;
    kept.reserve(next);
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
        if (remap[v] != kEmpty) kept.push_back(mesh.vertices[v]);
    }
    for (std::uint32_t& i : mesh.indices) i = remap[i];
    mesh.vertices = std::move(kept);
    return dropped;
}

}  // namespace ridgeforge::mesh
