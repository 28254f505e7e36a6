// One ray per face through the occupancy grid, in parallel over the faces.
#include "relief/mapping/OutwardFaces.h"

#include <algorithm>
#include <chrono>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

// Faces per parallel chunk: about 64 chunks, so that a part of a thousand
// faces whose rays cross a large empty box (a rod lying along the diagonal)
// shares them out, within bounds that keep the chunks' own cost small.
std::size_t FaceChunk(std::size_t faces) { return std::clamp<std::size_t>(faces / 64, 16, 4096); }

Vec3f FaceCross(const TriangleMesh& mesh, std::size_t t) {
    const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
    const Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
    const Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
    return Cross(b - a, c - a);
}

}  // namespace

std::vector<std::uint8_t> ClassifyOutwardFaces(const OccupancyGrid& grid, const TriangleMesh& mesh,
                                               OutwardFaceCounts* counts) {
    const auto start = std::chrono::steady_clock::now();
    const std::size_t triangles = mesh.indices.size() / 3;
    std::vector<std::uint8_t> flags(triangles, kFaceOutward);
    if (grid.IsEmpty() || !IsValidMesh(mesh)) return flags;
    ForEachChunk(triangles, FaceChunk(triangles), [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const Vec3f n = FaceCross(mesh, t);
            if (!(Length(n) > 1e-12f)) {
                flags[t] = kFaceNoArea;
                continue;
            }
            const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
            const Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
            const Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
            flags[t] = grid.RayLeaves((a + b + c) * 0.33333334f, n) ? kFaceOutward : kFaceInward;
        }
    });
    if (counts != nullptr) {
        *counts = OutwardFaceCounts{};
        counts->faces = triangles;
        for (std::size_t t = 0; t < triangles; ++t) {
            const double area = 0.5 * static_cast<double>(Length(FaceCross(mesh, t)));
            if (flags[t] == kFaceOutward) {
                ++counts->outward;
                counts->outwardArea += area;
            } else if (flags[t] == kFaceInward) {
                ++counts->inward;
                counts->inwardArea += area;
            } else {
                ++counts->noArea;
            }
        }
        counts->milliseconds = static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                       std::chrono::steady_clock::now() - start)
                                                       .count()) /
                               1e6;
    }
    return flags;
}

}  // namespace ridgeforge::mesh
