// The last resort against over-shared edges: on a copy, the triangles at
// every such edge are cut out, each cut corner is split into one copy per fan
// of surface still joined through ordinary edges, and the holes are filled
// again by the export cleanup, now with separate corners per side. The copy
// replaces the mesh only when it is better on both counts that matter.
#include <algorithm>

#include "mesh/SortUnique.h"
#include "mesh/Connectivity.h"
#include "mesh/Weld.h"
#include "relief/repair/ExportCleanup.h"
#include "relief/repair/NonManifoldEdges.h"

namespace ridgeforge::mesh {

namespace {

// Drops the triangles at over-shared edges; returns the corners of those edges.
std::vector<std::uint32_t> CutOverSharedEdges(TriangleMesh& mesh) {
    const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(mesh);
    std::vector<std::uint8_t> cut(mesh.TriangleCount(), 0);
    std::vector<std::uint32_t> corners;
    for (std::size_t begin = 0; begin < edges.size();) {
        std::size_t end = begin + 1;
        while (end < edges.size() && edges[end].first == edges[begin].first) ++end;
        if (end - begin >= 3) {
            for (std::size_t i = begin; i < end; ++i) cut[edges[i].second] = 1;
            corners.push_back(static_cast<std::uint32_t>(edges[begin].first >> 32));
            corners.push_back(static_cast<std::uint32_t>(edges[begin].first & 0xFFFFFFFFu));
        }
        begin = end;
    }
    std::vector<std::uint32_t> kept;
    for (std::size_t t = 0; t < cut.size(); ++t) {
        if (!cut[t]) kept.insert(kept.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    }
    mesh.indices = std::move(kept);
    SortUnique(corners);
    return corners;
}

// Gives every fan group at v (joined through two-triangle edges) but the
// first its own copy of v, moved a little into the group.
void SeparateFans(TriangleMesh& mesh, const std::vector<std::uint32_t>& cutIndices, const VertexAdjacency& adjacency,
                  const std::vector<SortedEdge>& edges, std::uint32_t v, float tolerance) {
    const std::vector<std::uint32_t> fan(adjacency.vertexTriangles.begin() + adjacency.vertexTriangleOffsets[v],
                                         adjacency.vertexTriangles.begin() + adjacency.vertexTriangleOffsets[v + 1]);
    if (fan.size() < 2) return;
    std::vector<std::uint32_t> parent(fan.size());
    for (std::size_t i = 0; i < fan.size(); ++i) parent[i] = static_cast<std::uint32_t>(i);
    const auto position = [&](std::uint32_t t) {
        return static_cast<std::size_t>(std::lower_bound(fan.begin(), fan.end(), t) - fan.begin());
    };
    for (const std::uint32_t t : fan) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t w = cutIndices[3 * std::size_t{t} + k];
            if (w == v) continue;
            const std::vector<std::uint32_t> users = nonmanifold::TrianglesOfEdge(edges, EdgeKey(v, w));
            if (users.size() != 2) continue;
            const std::size_t px = position(users[0]), py = position(users[1]);
            if (px >= fan.size() || py >= fan.size() || fan[px] != users[0] || fan[py] != users[1]) continue;
            const std::uint32_t rx = FindRoot(parent, static_cast<std::uint32_t>(px));
            const std::uint32_t ry = FindRoot(parent, static_cast<std::uint32_t>(py));
            if (rx != ry) parent[std::max(rx, ry)] = std::min(rx, ry);
        }
    }
    const std::uint32_t keeper = FindRoot(parent, 0u);
    const Vec3d p = ToDouble(mesh.vertices[v].position);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> copies;  // (root, new vertex)
    for (std::size_t i = 0; i < fan.size(); ++i) {
        const std::uint32_t root = FindRoot(parent, static_cast<std::uint32_t>(i));
        if (root == keeper) continue;
        auto it = std::find_if(copies.begin(), copies.end(), [root](const auto& c) { return c.first == root; });
        if (it == copies.end()) {
            const Vertex record = mesh.vertices[v];
            mesh.vertices.push_back(record);
            copies.emplace_back(root, static_cast<std::uint32_t>(mesh.vertices.size() - 1));
            it = copies.end() - 1;
        }
        for (int k = 0; k < 3; ++k) {
            std::uint32_t& corner = mesh.indices[3 * std::size_t{fan[i]} + k];
            if (corner == v) corner = it->second;
        }
    }
    for (const auto& [root, copy] : copies) {
        Vec3d sum;
        std::size_t count = 0;
        for (std::size_t i = 0; i < fan.size(); ++i) {
            if (FindRoot(parent, static_cast<std::uint32_t>(i)) != root) continue;
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t w = mesh.indices[3 * std::size_t{fan[i]} + k];
                if (w == copy) continue;
                sum += ToDouble(mesh.vertices[w].position);
                ++count;
            }
        }
        if (count == 0) continue;
        const Vec3d towards = sum / static_cast<double>(count) - p;
        const double distance = Length(towards);
        if (!(distance > 0.0)) continue;
        const double step = std::min(std::max(0.1 * distance, 10.0 * static_cast<double>(tolerance)), 0.002);
        mesh.vertices[copy].position = ToFloat(p + towards * (step / distance));
    }
}

}  // namespace

std::uint64_t CutAndFillNonManifoldEdges(TriangleMesh& mesh) {
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return 0;
    const std::uint64_t before = CountNonManifoldEdges(mesh);
    if (before == 0) return 0;
    const float tolerance = AutomaticWeldTolerance(mesh);
    TriangleMesh copy = mesh;
    const std::vector<std::uint32_t> corners = CutOverSharedEdges(copy);
    const VertexAdjacency adjacency = BuildVertexAdjacency(copy);
    const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(copy);
    const std::vector<std::uint32_t> cutIndices = copy.indices;
    for (const std::uint32_t v : corners) SeparateFans(copy, cutIndices, adjacency, edges, v, tolerance);

    ExportCleanupOptions options;
    options.weldCollapsedTriangles = false;
    options.fillHoles = true;
    options.maximumHoleMillimetres = 5.0f;
    options.maximumSlitWidthMillimetres = 0.5f;
    CleanupForExport(copy, tolerance, options);

    const std::uint64_t after = CountNonManifoldEdges(copy);
    if (after >= before) return before;
    // The open-edge count is the one the validation reports; the rest of a
    // validation has no bearing on the choice.
    if (EdgeStatistics(copy).openBoundaryEdges > EdgeStatistics(mesh).openBoundaryEdges) return before;
    mesh.vertices = std::move(copy.vertices);
    mesh.indices = std::move(copy.indices);
    mesh.RecomputeBounds();
    return after;
}

}  // namespace ridgeforge::mesh
