// Clipping walks each triangle's edges once (Sutherland-Hodgman against one
// plane); a crossing is added only between corners strictly on opposite
// sides, so a corner lying on the plane never adds a duplicate point and no
// zero-area triangle is made.
#include "mesh/DisplayComputations.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace ridgeforge::mesh {
namespace {

Vec3f NormaliseOrZero(const Vec3f& v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 1e-12f ? v * (1.0f / length) : Vec3f{0.0f, 0.0f, 0.0f};
}

Vertex Crossing(const Vertex& from, const Vertex& to, double dFrom, double dTo) {
    const double difference = dFrom - dTo;
    const float t = difference == 0.0 ? 0.0f : static_cast<float>(dFrom / difference);
    Vertex v;
    v.position = from.position + (to.position - from.position) * t;
    v.normal = NormaliseOrZero(from.normal + (to.normal - from.normal) * t);
    return v;
}

double SignedDistance(const Vec3f& p, const Vec3f& point, const Vec3f& normal) {
    return (static_cast<double>(p.x) - point.x) * normal.x + (static_cast<double>(p.y) - point.y) * normal.y +
           (static_cast<double>(p.z) - point.z) * normal.z;
}

std::uint32_t CellIndex(float coordinate, float minimum, float inverse) {
    const float cell = std::max(0.0f, std::floor((coordinate - minimum) * inverse));
    // Beyond 2^21 cells per axis the key wraps; the mask keeps it in its field.
    const double clamped = std::min(static_cast<double>(cell), 4294967295.0);
    return static_cast<std::uint32_t>(clamped) & 0x1FFFFFu;
}

void AppendIfNotFlat(TriangleMesh& mesh, const Vertex& a, const Vertex& b, const Vertex& c) {
    const Vec3f n = Cross(b.position - a.position, c.position - a.position);
    if (Dot(n, n) > 0.0f) AppendTriangle(mesh, a, b, c);
}

}  // namespace

void AppendTriangle(TriangleMesh& mesh, const Vertex& a, const Vertex& b, const Vertex& c) {
    const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
    mesh.vertices.push_back(a);
    mesh.vertices.push_back(b);
    mesh.vertices.push_back(c);
    mesh.indices.push_back(base);
    mesh.indices.push_back(base + 1);
    mesh.indices.push_back(base + 2);
}

TriangleMesh ClipMeshByPlane(const TriangleMesh& mesh, const Vec3f& point, const Vec3f& normal) {
    TriangleMesh result;
    if (!IsValidMesh(mesh)) return result;
    const float length = std::sqrt(Dot(normal, normal));
    if (!(length > 0.0f)) return mesh;
    const Vec3f n = normal * (1.0f / length);
    result.vertices.reserve(mesh.vertices.size());
    result.indices.reserve(mesh.indices.size());
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        std::array<const Vertex*, 3> corner{};
        std::array<double, 3> d{};
        int inside = 0;
        for (int k = 0; k < 3; ++k) {
            corner[k] = &mesh.vertices[mesh.indices[t + static_cast<std::size_t>(k)]];
            d[k] = SignedDistance(corner[k]->position, point, n);
            if (d[k] >= 0.0) ++inside;
        }
        if (inside == 0) continue;
        if (inside == 3) {
            AppendTriangle(result, *corner[0], *corner[1], *corner[2]);
            continue;
        }
        std::array<Vertex, 4> polygon{};
        int count = 0;
        for (int k = 0; k < 3; ++k) {
            const int next = (k + 1) % 3;
            if (d[k] >= 0.0) polygon[count++] = *corner[k];
            const bool crosses = (d[k] > 0.0 && d[next] < 0.0) || (d[k] < 0.0 && d[next] > 0.0);
            if (crosses && count < 4) polygon[count++] = Crossing(*corner[k], *corner[next], d[k], d[next]);
        }
        // A crossing a hair from a corner rounds onto it in float; such a
        // point adds nothing but a sliver of no area, so it is left out.
        int kept = 0;
        for (int k = 0; k < count; ++k) {
            if (kept > 0 && polygon[k].position == polygon[kept - 1].position) continue;
            polygon[kept++] = polygon[k];
        }
        while (kept > 1 && polygon[kept - 1].position == polygon[0].position) --kept;
        if (kept >= 3) AppendIfNotFlat(result, polygon[0], polygon[1], polygon[2]);
        if (kept == 4) AppendIfNotFlat(result, polygon[0], polygon[2], polygon[3]);
    }
    result.RecomputeBounds();
    return result;
}

ReducedMesh ReduceMesh(const TriangleMesh& mesh, float cellSize) {
    ReducedMesh reduced;
    reduced.cellSize = cellSize;
    if (!IsValidMesh(mesh) || !(cellSize > 0.0f)) return reduced;
    const float inverse = 1.0f / cellSize;
    std::unordered_map<std::uint64_t, std::uint32_t> cells(16);
    cells.max_load_factor(1.0f);
    cells.reserve(mesh.vertices.size() / 4 + 16);
    std::vector<std::uint32_t> cellOfVertex(mesh.vertices.size());
    std::vector<Vec3f> sums;
    std::vector<std::uint32_t> counts;
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vec3f& p = mesh.vertices[i].position;
        const std::uint64_t ix = CellIndex(p.x, mesh.boundsMin.x, inverse);
        const std::uint64_t iy = CellIndex(p.y, mesh.boundsMin.y, inverse);
        const std::uint64_t iz = CellIndex(p.z, mesh.boundsMin.z, inverse);
        const std::uint64_t key = (((iz << 21) | iy) << 21) | ix;
        const auto [where, added] = cells.try_emplace(key, static_cast<std::uint32_t>(sums.size()));
        if (added) {
            sums.push_back({0.0f, 0.0f, 0.0f});
            counts.push_back(0);
        }
        cellOfVertex[i] = where->second;
        sums[where->second] = sums[where->second] + p;
        ++counts[where->second];
    }
    reduced.mesh.vertices.resize(sums.size());
    for (std::size_t c = 0; c < sums.size(); ++c) {
        reduced.mesh.vertices[c].position = sums[c] * (1.0f / static_cast<float>(counts[c]));
    }
    const std::size_t triangles = mesh.TriangleCount();
    reduced.mesh.indices.reserve(triangles / 4 * 3);
    for (std::size_t t = 0; t < triangles; ++t) {
        const std::uint32_t a = cellOfVertex[mesh.indices[3 * t]];
        const std::uint32_t b = cellOfVertex[mesh.indices[3 * t + 1]];
        const std::uint32_t c = cellOfVertex[mesh.indices[3 * t + 2]];
        if (a == b || b == c || a == c) continue;
        reduced.mesh.indices.insert(reduced.mesh.indices.end(), {a, b, c});
        reduced.sourceTriangles.push_back(static_cast<std::uint32_t>(t));
    }
    reduced.mesh.RecomputeBounds();
    reduced.mesh.RecomputeNormals();
    return reduced;
}

ReducedMesh MakeReducedCopy(const TriangleMesh& mesh, std::uint64_t budget) {
    const std::uint64_t triangles = mesh.TriangleCount();
    if (triangles > budget && budget > 0 && mesh.boundsValid) {
        const double area = mesh.SurfaceArea();
        const float cell = std::max(0.0001f, static_cast<float>(std::sqrt(2.0 * area / static_cast<double>(budget))));
        ReducedMesh first = ReduceMesh(mesh, cell);
        if (first.mesh.TriangleCount() <= budget) return first;
        const double overshoot = static_cast<double>(first.mesh.TriangleCount()) / static_cast<double>(budget);
        const auto scale = static_cast<float>(std::sqrt(overshoot) * 1.05);
        return ReduceMesh(mesh, cell * scale);
    }
    ReducedMesh copy;
    copy.mesh.vertices = mesh.vertices;
    copy.mesh.indices = mesh.indices;
    copy.mesh.boundsMin = mesh.boundsMin;
    copy.mesh.boundsMax = mesh.boundsMax;
    copy.mesh.boundsValid = mesh.boundsValid;
    copy.sourceTriangles.resize(triangles);
    for (std::uint64_t t = 0; t < triangles; ++t) copy.sourceTriangles[t] = static_cast<std::uint32_t>(t);
    return copy;
}

}  // namespace ridgeforge::mesh
