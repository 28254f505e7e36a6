// The test shapes are built point by point in a fixed order so that their
// vertex and triangle numbering is the same on every run and every machine.
#include "mesh/TestShapes.h"

#include <algorithm>
#include <cmath>

namespace ridgeforge::mesh {
namespace {

void AddVertex(TriangleMesh& mesh, float x, float y, float z) { mesh.vertices.push_back({{x, y, z}, {}}); }

void AddTriangle(TriangleMesh& mesh, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    mesh.indices.insert(mesh.indices.end(), {a, b, c});
}

void Finish(TriangleMesh& mesh) {
    mesh.RecomputeBounds();
    mesh.RecomputeNormals();
}

}  // namespace

TriangleMesh MakeTestCube(float edge) {
    const float h = std::max(0.0f, edge) * 0.5f;
    TriangleMesh mesh;
    mesh.vertices.reserve(8);
    AddVertex(mesh, -h, -h, -h);
    AddVertex(mesh, h, -h, -h);
    AddVertex(mesh, h, h, -h);
    AddVertex(mesh, -h, h, -h);
    AddVertex(mesh, -h, -h, h);
    AddVertex(mesh, h, -h, h);
    AddVertex(mesh, h, h, h);
    AddVertex(mesh, -h, h, h);
    mesh.indices = {0, 2, 1, 0, 3, 2,   // bottom
                    4, 5, 6, 4, 6, 7,   // top
                    0, 1, 5, 0, 5, 4,   // front (-Y)
                    3, 7, 6, 3, 6, 2,   // back (+Y)
                    0, 4, 7, 0, 7, 3,   // left (-X)
                    1, 2, 6, 1, 6, 5};  // right (+X)
    Finish(mesh);
    return mesh;
}

TriangleMesh MakeTestCylinder(float radius, float height) {
    constexpr std::uint32_t kSegments = 64;
    const float r = std::max(0.0f, radius);
    const float hh = std::max(0.0f, height) * 0.5f;
    TriangleMesh mesh;
    mesh.vertices.reserve(2 + 2 * kSegments);
    mesh.indices.reserve(12 * kSegments);
    AddVertex(mesh, 0, 0, -hh);
    AddVertex(mesh, 0, 0, hh);
    for (std::uint32_t i = 0; i < kSegments; ++i) {
        const float angle = static_cast<float>(i) * 6.2831855f * 0.015625f;
        const float x = r * std::cos(angle), y = r * std::sin(angle);
        AddVertex(mesh, x, y, -hh);
        AddVertex(mesh, x, y, hh);
    }
    for (std::uint32_t i = 0; i < kSegments; ++i) {
        const std::uint32_t b = 2 + 2 * i, t = b + 1;
        const std::uint32_t nb = 2 + 2 * ((i + 1) % kSegments), nt = nb + 1;
        AddTriangle(mesh, 0, nb, b);
        AddTriangle(mesh, 1, t, nt);
        AddTriangle(mesh, b, nb, nt);
        AddTriangle(mesh, b, nt, t);
    }
    Finish(mesh);
    return mesh;
}

TriangleMesh MakeTestSphere(float radius) {
    constexpr std::uint32_t kAround = 96;
    constexpr std::uint32_t kBands = 48;
    const float r = std::max(0.0f, radius);
    const auto ringPoint = [](std::uint32_t ring, std::uint32_t k) { return 1 + kAround * (ring - 1) + k % kAround; };
    TriangleMesh mesh;
    mesh.vertices.reserve(2 + kAround * (kBands - 1));
    mesh.indices.reserve(3 * 2 * kAround * (kBands - 1));
    AddVertex(mesh, 0, 0, -r);
    for (std::uint32_t j = 1; j < kBands; ++j) {
        const float phi = static_cast<float>(j) * 3.1415927f / kBands - 1.5707964f;
        const float ringRadius = r * std::cos(phi), z = r * std::sin(phi);
        for (std::uint32_t k = 0; k < kAround; ++k) {
            const float angle = static_cast<float>(k) * 6.2831855f / kAround;
            AddVertex(mesh, ringRadius * std::cos(angle), ringRadius * std::sin(angle), z);
        }
    }
    const std::uint32_t north = static_cast<std::uint32_t>(mesh.vertices.size());
    AddVertex(mesh, 0, 0, r);

    for (std::uint32_t k = 0; k < kAround; ++k) AddTriangle(mesh, 0, ringPoint(1, k + 1), ringPoint(1, k));
    for (std::uint32_t j = 1; j + 1 < kBands; ++j) {
        for (std::uint32_t k = 0; k < kAround; ++k) {
            const std::uint32_t a = ringPoint(j, k), b = ringPoint(j, k + 1);
            const std::uint32_t c = ringPoint(j + 1, k + 1), d = ringPoint(j + 1, k);
            AddTriangle(mesh, a, b, c);
            AddTriangle(mesh, a, c, d);
        }
    }
    const std::uint32_t last = kBands - 1;
    for (std::uint32_t k = 0; k < kAround; ++k) AddTriangle(mesh, ringPoint(last, k), ringPoint(last, k + 1), north);
    Finish(mesh);
    return mesh;
}

}  // namespace ridgeforge::mesh
