#include "relief/displacement/TransferTextureCoverage.h"

#include "mesh/CancellableLoop.h"
#include "relief/displacement/TriangleWeights.h"

namespace ridgeforge::mesh {

TextureCoverage TransferTextureCoverage(const TriangleMesh& oldMesh, const TextureCoverage& oldCoverage,
                                        const TriangleMesh& newMesh, const AabbTree* oldTree) {
    TextureCoverage result;
    if (!oldCoverage.MatchesMesh(oldMesh) || !IsValidMesh(oldMesh) || !IsValidMesh(newMesh) ||
        newMesh.vertices.empty() || newMesh.indices.empty()) {
        return result;
    }
    AabbTree ownTree;
    if (oldTree == nullptr) {
        ownTree.Build(oldMesh);
        oldTree = &ownTree;
    }
    const std::size_t triangles = newMesh.indices.size() / 3;
    result.vertexWeights.assign(newMesh.vertices.size(), 0.0f);
    result.cornerWeights.assign(newMesh.indices.size(), 0.0f);
    result.texturedFaces.assign(triangles, 0);
    result.faceMask.assign(triangles, 0);

    const auto corner = [&](std::uint32_t t, int k) {
        return ToDouble(oldMesh.vertices[oldMesh.indices[3 * std::size_t{t} + k]].position);
    };
    ParallelForChunks<4096>(newMesh.vertices.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        for (std::uint64_t v = begin; v < end; ++v) {
            const ClosestHit hit = oldTree->ClosestPoint(oldMesh, newMesh.vertices[v].position);
            if (!hit.found || hit.triangle < 0) continue;
            const std::uint32_t t = static_cast<std::uint32_t>(hit.triangle);
            const TriangleWeights w =
                ClampedTriangleWeights(ToDouble(hit.point), corner(t, 0), corner(t, 1), corner(t, 2));
            const float* weights = oldCoverage.cornerWeights.data() + 3 * std::size_t{t};
            result.vertexWeights[v] = static_cast<float>(MixCorners(w, weights[0], weights[1], weights[2]));
        }
    });
    ParallelForChunks<4096>(triangles, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
        for (std::uint64_t t = begin; t < end; ++t) {
            Vec3f sum;
            for (int k = 0; k < 3; ++k) sum += newMesh.vertices[newMesh.indices[3 * t + k]].position;
            const ClosestHit hit = oldTree->ClosestPoint(oldMesh, sum * 0.33333334f);
            if (!hit.found || hit.triangle < 0) continue;
            const std::size_t old = static_cast<std::size_t>(hit.triangle);
            result.texturedFaces[t] = oldCoverage.texturedFaces[old];
            result.faceMask[t] = oldCoverage.faceMask[old];
            for (int k = 0; k < 3; ++k) {
                result.cornerWeights[3 * t + k] =
                    result.texturedFaces[t] != 0 ? result.vertexWeights[newMesh.indices[3 * t + k]] : 0.0f;
            }
        }
    });
    return result;
}

}  // namespace ridgeforge::mesh
