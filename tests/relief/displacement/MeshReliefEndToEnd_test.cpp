// From an STL file to a textured STL file with the vertex-moving relief:
// load, remesh by contour, find the outward faces, compute the coverage,
// displace, write and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <vector>

#include "mesh/remesh/Remesh.h"
#include "mesh/StlExport.h"
#include "mesh/StlImport.h"
#include "relief/mapping/OccupancyGrid.h"
#include "relief/mapping/OutwardFaces.h"
#include "relief/mapping/TextureWeights.h"
#include "textures/procedural/TextureRegistry.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/validation/SelfIntersections.h"
#include "textures/HeightMapImage.h"
#include "tests/support/StlFiles.h"
#include "tests/support/TestImages.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

constexpr float kStrength = 1.0f;

// The part as loaded and remeshed: a 20 mm cube written as STL by hand.
TriangleMesh LoadRemeshedPart(const test::TempDir& dir) {
    const std::vector<std::uint8_t> bytes = test::BinaryStl(test::FacetsOf(test::MakeBox({0, 0, 0}, {20, 20, 20})));
    const auto path = dir / "part.stl";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    StlImportResult loaded = LoadStlFile(path, StlImportOptions{});
    EXPECT_TRUE(loaded.ok) << loaded.error;
    RemeshSettings remesh;
    remesh.targetEdgeMillimetres = 1.0f;
    const RemeshReport report = Remesh(loaded.mesh, remesh, {});
    EXPECT_TRUE(report.failure.empty()) << report.failure;
    return loaded.mesh;
}

Projection CageAround(const TriangleMesh& part) {
    Projection p;
    p.type = ProjectionType::Box;
    p.cage.center = (part.boundsMin + part.boundsMax) * 0.5f;
    p.cage.size = part.boundsMax - part.boundsMin;
    return p;
}

struct Outcome {
    TriangleMesh before;
    TriangleMesh after;
    DisplacementReport report;
};

Outcome TextureAndWriteBack(const test::TempDir& dir, const TriangleMesh& part, const HeightMap& map) {
    Outcome out;
    out.before = part;
    TriangleMesh mesh = part;
    const Projection projection = CageAround(mesh);
    DisplacementSettings settings;
    EXPECT_EQ(settings.method, DisplacementMethod::Solid);
    settings.method = DisplacementMethod::Mesh;
    settings.strengthMillimetres = kStrength;
    OccupancyGrid grid;
    grid.Build(mesh, 128);
    const std::vector<std::uint8_t> mask = FlagsToMask(ClassifyOutwardFaces(grid, mesh));
    const TextureCoverage coverage = ComputeTextureWeights(mesh, projection, &mask, settings, TileFrame{});
    EXPECT_TRUE(coverage.MatchesMesh(mesh));
    out.report =
        ApplyDisplacement(mesh, projection, map, coverage.vertexWeights, settings, &coverage.faceMask, TileFrame{});
    const auto path = dir / "textured.stl";
    const StlExportResult written = ExportStl(path, mesh, StlExportOptions{});
    EXPECT_TRUE(written.ok) << written.error;
    StlImportResult back = LoadStlFile(path, StlImportOptions{});
    EXPECT_TRUE(back.ok) << back.error;
    const EdgeCounts edges = EdgeStatistics(back.mesh);
    EXPECT_GT(edges.edges, 0u);
    EXPECT_EQ(edges.openBoundaryEdges, 0u);
    EXPECT_EQ(edges.nonManifoldEdges, 0u);
    EXPECT_EQ(back.mesh.TriangleCount(), mesh.TriangleCount());
    EXPECT_TRUE(SelfIntersectingTriangles(mesh, nullptr).empty());
    out.after = std::move(mesh);
    return out;
}

// A vertex inside one flat face of the cube: its normal is an axis.
bool OnAFlatFace(const Vertex& v) {
    const Vec3f n = v.normal;
    return std::fmax(std::fabs(n.x), std::fmax(std::fabs(n.y), std::fabs(n.z))) > 0.99999f;
}

TEST(MeshReliefEndToEnd, ImageTextureMovesEveryFaceByItsHeight) {
    const test::TempDir dir("relief-image");
    const TriangleMesh part = LoadRemeshedPart(dir);
    ASSERT_GT(part.TriangleCount(), 1000u);
    // A flat grey image of 0.8: every outer face moves out by 0.3 mm.
    const std::vector<std::uint16_t> grey(16 * 16, static_cast<std::uint16_t>(0.8 * 65535 + 0.5));
    ASSERT_TRUE(test::WritePng(dir / "grey.png", 16, 16, 1, 16, grey));
    const HeightMapImage image = LoadHeightMapImage(dir / "grey.png", SrgbDecoding::Never);
    ASSERT_TRUE(image.ok) << image.error;
    HeightMap map;
    map.SetImage(image.width, image.height, image.heights);
    const Outcome o = TextureAndWriteBack(dir, part, map);
    EXPECT_EQ(o.report.displacedVertices, part.vertices.size());
    EXPECT_NEAR(o.report.smallestOffset, 0.0f, 1e-6f);
    std::size_t flat = 0;
    for (std::size_t v = 0; v < part.vertices.size(); ++v) {
        if (!OnAFlatFace(part.vertices[v])) continue;
        ++flat;
        const Vec3f move = o.after.vertices[v].position - part.vertices[v].position;
        EXPECT_NEAR(Dot(move, part.vertices[v].normal), 0.3f, 1e-4f) << v;
        EXPECT_NEAR(Length(Cross(move, part.vertices[v].normal)), 0.0f, 1e-4f) << v;
    }
    EXPECT_GT(flat, part.vertices.size() / 2);
    // Edges and corners are mitred: the cube grows by 0.3 mm on every side.
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(o.after.boundsMin[axis], part.boundsMin[axis] - 0.3f, 0.02f);
        EXPECT_NEAR(o.after.boundsMax[axis], part.boundsMax[axis] + 0.3f, 0.02f);
    }
}

TEST(MeshReliefEndToEnd, ProceduralTextureMovesAlongTheNormalsWithinTheStrength) {
    const test::TempDir dir("relief-procedural");
    const TriangleMesh part = LoadRemeshedPart(dir);
    const auto bricks = procedural::CreateTexture("Bricks");
    ASSERT_NE(bricks, nullptr);
    HeightMap map;
    map.SetImage(128, 128, bricks->RenderHeightMap(128, 128));
    ASSERT_EQ(map.width, 128);
    float low = 1.0f, high = 0.0f;
    for (float h : map.pixels) {
        low = std::fmin(low, map.ApplyLevels(h));
        high = std::fmax(high, map.ApplyLevels(h));
    }
    const Outcome o = TextureAndWriteBack(dir, part, map);
    EXPECT_GT(o.report.relief, 0.1f);
    // Offsets carry the mitre scale, at most 2 at edges and corners.
    EXPECT_GE(o.report.smallestOffset, 2.0f * (low - 0.5f) * kStrength - 1e-5f);
    EXPECT_LE(o.report.largestOffset, 2.0f * (high - 0.5f) * kStrength + 1e-5f);
    for (std::size_t v = 0; v < part.vertices.size(); ++v) {
        if (!OnAFlatFace(part.vertices[v])) continue;
        const Vec3f move = o.after.vertices[v].position - part.vertices[v].position;
        const float along = Dot(move, part.vertices[v].normal);
        EXPECT_LE(Length(Cross(move, part.vertices[v].normal)), 1e-4f + 0.5f * std::fabs(along)) << v;
        EXPECT_GE(along, (low - 0.5f) * kStrength - 1e-4f);
        EXPECT_LE(along, (high - 0.5f) * kStrength + 1e-4f);
    }
}

}  // namespace
}  // namespace ridgeforge::mesh
