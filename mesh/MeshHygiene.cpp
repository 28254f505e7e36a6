// Dropping triangles without area, repeated triangles and unused vertices.
// The duplicate test hashes each triangle's sorted corner triple into a table
// that finds the first triangle of every corner set (FirstOccurrence.h).
#include "mesh/MeshHygiene.h"

#include "mesh/FirstOccurrence.h"

#include <algorithm>
#include <array>
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
    // FNV-1a over the three words; the slot comes from the top bits.
    std::uint64_t h = 14695981039346656037ull;
    for (const std::uint32_t w : c) h = (h ^ w) * 1099511628211ull;
    return h;
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
    std::vector<std::uint32_t> kept;
    kept.reserve(mesh.indices.size());
    std::uint64_t dropped = 0;
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const std::uint32_t a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        bool degenerate = a == b || b == c || a == c;
        if (!degenerate && !keepZeroArea) {
            const Vec3f& pa = mesh.vertices[a].position;
            const float area2 = Length(Cross(mesh.vertices[b].position - pa, mesh.vertices[c].position - pa));
            degenerate = !(area2 > 0.0f);
        }
        if (degenerate) {
            ++dropped;
            continue;
        }
        kept.insert(kept.end(), {a, b, c});
    }
    if (dropped > 0) mesh.indices = std::move(kept);
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
