// Tangential relaxation of the isotropic remesher, with the optional
// projection back onto the original surface. Both loops read only the old
// positions and the incidence and write one entry of a separate array each.
// All vertices move at once, so a move that looks safe against the old ring
// can still fold a triangle whose other corners moved too (or that the
// projection pulled round an edge of the part); the moves are therefore
// checked together afterwards, and the moves of every corner of a triangle
// that would turn too far are taken back, until no triangle does.
#include <algorithm>
#include <atomic>
#include <execution>
#include <numeric>

#include "mesh/ParallelChunks.h"
#include "mesh/remesh/internal/IsotropicRemesh.h"

namespace ridgeforge::mesh {
namespace {

// The point projected onto the plane of the triangle the closest point lies
// on, when that stays within reach of the closest point; otherwise the
// closest point itself.
Vec3f ProjectOntoOriginal(const Vec3f& p, const TriangleMesh& original, const AabbTree& tree, float reach) {
    const ClosestHit hit = tree.ClosestPoint(original, p, nullptr, 0, {}, 3e38f);
    if (!hit.found) return p;
    if (hit.triangle >= 0 && static_cast<std::size_t>(hit.triangle) < original.TriangleCount()) {
        const Vec3f n = original.FaceNormal(static_cast<std::uint64_t>(hit.triangle));
        if (!(n == Vec3f{})) {
            const Vec3f& a = original.vertices[original.indices[3 * static_cast<std::size_t>(hit.triangle)]].position;
            const Vec3f projected = p - n * Dot(n, p - a);
            if (Length(projected - hit.point) <= reach) return projected;
        }
    }
    return hit.point;
}

// A relaxed triangle may turn by at most this against its normal before the
// step (about 60 degrees): tangential moves on a smooth surface turn
// triangles by far less, a fold or a jump round an edge turns them by more.
constexpr float kLargestTurnCosine = 0.5f;

bool TurnsTooFar(const EditableMesh& mesh, const std::vector<Vec3f>& moved, std::uint32_t t) {
    const auto& tri = mesh.triangles[t];
    const auto& x = mesh.positions;
    const Vec3f before = Normalize(Cross(x[tri[1]] - x[tri[0]], x[tri[2]] - x[tri[0]]));
    if (before == Vec3f{}) return false;
    const Vec3f after = Normalize(Cross(moved[tri[1]] - moved[tri[0]], moved[tri[2]] - moved[tri[0]]));
    return after == Vec3f{} || Dot(before, after) < kLargestTurnCosine;
}

// Takes back the moves of the corners of every triangle that would turn too
// far, pass by pass, since a corner put back can turn a neighbour in turn.
// Ends at the latest when every move is taken back, where nothing turns.
void TakeBackFoldingMoves(const EditableMesh& mesh, std::vector<Vec3f>& moved, std::vector<std::uint8_t>& relaxed) {
    const std::size_t triangleCount = mesh.triangles.size();
    std::vector<std::uint8_t> takeBack(relaxed.size(), 0);
    for (;;) {
        std::atomic<bool> any{false};
        ForEachChunk(triangleCount, kParallelChunk, [&](std::size_t begin, std::size_t end) {
            for (std::size_t t = begin; t < end; ++t) {
                if (!mesh.triangleAlive[t]) continue;
                const auto& tri = mesh.triangles[t];
                if (!relaxed[tri[0]] && !relaxed[tri[1]] && !relaxed[tri[2]]) continue;
                if (!TurnsTooFar(mesh, moved, static_cast<std::uint32_t>(t))) continue;
                for (const std::uint32_t c : tri) {
                    if (relaxed[c]) std::atomic_ref<std::uint8_t>(takeBack[c]).store(1, std::memory_order_relaxed);
                }
                any.store(true, std::memory_order_relaxed);
            }
        });
        if (!any.load()) return;
        for (std::size_t v = 0; v < takeBack.size(); ++v) {
            if (!takeBack[v]) continue;
            moved[v] = mesh.positions[v];
            relaxed[v] = 0;
            takeBack[v] = 0;
        }
    }
}

}  // namespace

void RelaxVertices(EditableMesh& mesh, const std::vector<std::uint8_t>& vertexFlags, float relaxation,
                   const TriangleMesh& original, const AabbTree& originalTree, bool projectToOriginal,
                   float edgeLength) {
    const std::uint32_t vertexCount = mesh.VertexCount();
    std::vector<Vec3f> moved(mesh.positions);
    std::vector<std::uint8_t> relaxed(vertexCount, 0);
    std::vector<std::uint32_t> order(vertexCount);
    std::iota(order.begin(), order.end(), 0u);

    std::for_each(std::execution::par, order.begin(), order.end(), [&](std::uint32_t v) {
        if (!mesh.vertexAlive[v] || (v < vertexFlags.size() && vertexFlags[v])) return;
        const Vec3f p = mesh.positions[v];
        Vec3f sum, normal;
        std::uint32_t count = 0;
        mesh.ForEachListedTriangle(v, [&](std::uint32_t t) {
            const auto& tri = mesh.triangles[t];
            for (const std::uint32_t c : tri) {
                if (c == v) continue;
                sum += mesh.positions[c];
                ++count;
            }
            const Vec3f& a = mesh.positions[tri[0]];
            normal += Cross(mesh.positions[tri[1]] - a, mesh.positions[tri[2]] - a);
        });
        if (count == 0) return;
        normal = Normalize(normal);
        Vec3f move = sum / static_cast<float>(count) - p;
        move -= normal * Dot(move, normal);  // zero normal: the move stays as it is
        moved[v] = p + move * relaxation;
        relaxed[v] = 1;
    });

    if (projectToOriginal) {
        const float reach = std::max(1e-6f, edgeLength * 0.5f);
        std::for_each(std::execution::par, order.begin(), order.end(), [&](std::uint32_t v) {
            if (relaxed[v]) moved[v] = ProjectOntoOriginal(moved[v], original, originalTree, reach);
        });
    }
    TakeBackFoldingMoves(mesh, moved, relaxed);
    mesh.positions = std::move(moved);
}

}  // namespace ridgeforge::mesh
