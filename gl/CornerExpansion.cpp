// Corner expansion runs over triangles in parallel chunks: a million-triangle
// part is three million 60-byte records, and the upload waits for them.
#include "gl/CornerExpansion.h"

#include "mesh/ParallelChunks.h"

namespace ridgeforge::gl {
namespace {

constexpr std::size_t kTriangleChunk = 8192;

void Store(float* out, const mesh::Vec3f& v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

}  // namespace

std::vector<MeshVertex> ExpandCorners(const mesh::TriangleMesh& mesh, const ProjectedCoordinates* coordinates) {
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<MeshVertex> out(triangles * 3);
    const std::vector<mesh::Vec3f>* colours = coordinates != nullptr ? &coordinates->triangleColours : nullptr;
    mesh::ForEachChunk(triangles, kTriangleChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const mesh::Vec3f face = mesh.FaceNormal(t);
            const mesh::Vec3f colour = colours != nullptr && t < colours->size() ? (*colours)[t] : kPartColour;
            for (std::size_t k = 0; k < 3; ++k) {
                const mesh::Vertex& source = mesh.vertices[mesh.indices[3 * t + k]];
                MeshVertex& v = out[3 * t + k];
                Store(v.position, source.position);
                Store(v.faceNormal, face);
                Store(v.smoothNormal, mesh::LengthSquared(source.normal) > 0.0f ? source.normal : face);
                Store(v.colour, colour);
                v.projected[0] = 0.0f;
                v.projected[1] = 0.0f;
                v.mask = 0.0f;
            }
        }
    });
    return out;
}

std::vector<ProjectionRecord> BuildProjectionRecords(const mesh::TriangleMesh& mesh,
                                                     const ProjectedCoordinates* coordinates) {
    const std::size_t corners = mesh.indices.size();
    std::vector<ProjectionRecord> out(corners, ProjectionRecord{0.0f, 0.0f, 0.0f});
    if (coordinates == nullptr) return out;
    const ProjectedCoordinates& c = *coordinates;
    mesh::ForEachChunk(corners, 3 * kTriangleChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t v = mesh.indices[i];
            ProjectionRecord& r = out[i];
            if (i < c.cornerUv.size()) {
                r.u = c.cornerUv[i][0];
                r.v = c.cornerUv[i][1];
            } else if (v < c.vertexUv.size()) {
                r.u = c.vertexUv[v][0];
                r.v = c.vertexUv[v][1];
            }
            if (i < c.cornerMask.size()) {
                r.mask = c.cornerMask[i];
            } else if (v < c.vertexMask.size()) {
                r.mask = c.vertexMask[v];
            }
        }
    });
    return out;
}

}  // namespace ridgeforge::gl
