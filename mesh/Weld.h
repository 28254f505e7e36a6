// Merging vertices of a triangle soup into shared vertices.
//
// Needs: any mesh; a mesh that breaks the validity rule, or has no vertices,
// is left as it was and 0 is returned. Returns the number of vertices merged
// away. Neither weld recomputes bounds or normals.
//
// The exact weld hashes the 32-bit patterns of each position (with -0 read as
// +0). The tolerance weld buckets positions in a grid of cells the size of the
// tolerance and takes the first kept vertex within reach among the 27 cells
// around each vertex, so it is one linear pass with a hash map.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "mesh/FirstOccurrence.h"
#include "mesh/TriangleMesh.h"

namespace ridgeforge::mesh {

namespace detail {

// The exact weld's key: the three coordinates' bit patterns, -0 read as +0.
inline std::uint32_t CoordinateBits(float value) { return value == 0.0f ? 0u : std::bit_cast<std::uint32_t>(value); }

inline bool SamePosition(const Vec3f& a, const Vec3f& b) {
    return CoordinateBits(a.x) == CoordinateBits(b.x) && CoordinateBits(a.y) == CoordinateBits(b.y) &&
           CoordinateBits(a.z) == CoordinateBits(b.z);
}

// FNV-1a over the key's three 32-bit words.
inline std::uint64_t HashPosition(const Vec3f& p) {
    std::uint64_t h = 14695981039346656037ull;
    for (const float c : {p.x, p.y, p.z}) h = (h ^ CoordinateBits(c)) * 1099511628211ull;
    return h;
}

// For n positions: the first position equal to each, and the new number of
// every first position in order.
struct WeldNumbering {
    std::vector<std::uint32_t> first;
    std::vector<std::uint32_t> fresh;
    std::uint32_t kept = 0;
    std::uint32_t NumberOf(std::size_t i) const { return fresh[first[i]]; }
};

template <typename Position>
WeldNumbering NumberPositions(std::size_t n, Position position) {
    WeldNumbering w;
    w.first = FirstOccurrence(
        n, [&](std::size_t i) { return HashPosition(position(i)); },
        [&](std::size_t a, std::size_t b) { return SamePosition(position(a), position(b)); });
    w.fresh.resize(n);
    // Each chunk counts its first positions, then numbers them on from the
    // count of the chunks before it.
    const std::size_t chunk = 4 * kParallelChunk;
    std::vector<std::uint32_t> before((n + chunk - 1) / chunk + 1, 0);
    ForEachChunk(n, chunk, [&](std::size_t begin, std::size_t end) {
        std::uint32_t firsts = 0;
        for (std::size_t i = begin; i < end; ++i) firsts += w.first[i] == i ? 1u : 0u;
        before[begin / chunk + 1] = firsts;
    });
    for (std::size_t c = 1; c < before.size(); ++c) before[c] += before[c - 1];
    ForEachChunk(n, chunk, [&](std::size_t begin, std::size_t end) {
        std::uint32_t next = before[begin / chunk];
        for (std::size_t i = begin; i < end; ++i) {
            w.fresh[i] = next;
            next += w.first[i] == i ? 1u : 0u;
        }
    });
    w.kept = before.back();
    return w;
}

}  // namespace detail

// Merges vertices whose positions are bit-for-bit equal; the first of each
// position survives with its own normal.
std::uint64_t WeldExactVertices(TriangleMesh& mesh);

// Merges each vertex into the first kept vertex no further than `tolerance`
// millimetres away. A tolerance that is not finite and above 0 changes
// nothing; vertices with a coordinate that is not finite are kept as they are.
std::uint64_t WeldVerticesWithinTolerance(TriangleMesh& mesh, float tolerance);

// The automatic weld tolerance of a box: max(1e-6, 1e-6 x the largest
// absolute coordinate of its corners) mm, so that the tolerance keeps pace
// with the float spacing of parts far from the origin.
float AutomaticWeldTolerance(const Vec3f& boundsMin, const Vec3f& boundsMax);
// The same over the box of the mesh's vertex positions (its stored bounds
// may be stale); 0 for a mesh with no vertices.
float AutomaticWeldTolerance(const TriangleMesh& mesh);

// The exactly welded mesh of a triangle soup of `count` corners, built
// straight from them: the same vertices and indices as WeldExactVertices on
// a soup of one vertex per corner (normal zero) and index i for corner i,
// without making that soup first. `corner(i)` gives corner i's position;
// the caller has checked that `count` fits 32-bit indices.
template <typename Corner>
TriangleMesh WeldExactCorners(std::size_t count, Corner corner) {
    const detail::WeldNumbering numbering = detail::NumberPositions(count, corner);
    TriangleMesh mesh;
    mesh.vertices.resize(numbering.kept);
    mesh.indices.resize(count);
    ForEachChunk(count, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            if (numbering.first[i] == i) mesh.vertices[numbering.fresh[i]].position = corner(i);
            mesh.indices[i] = numbering.NumberOf(i);
        }
    });
    return mesh;
}

}  // namespace ridgeforge::mesh
