#include "mesh/SegmentSurfaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "mesh/TestShapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

// The plain quadratic grouping, written as directly as possible: every
// triangle is compared with every earlier plane. The indexed search must
// give exactly the same planes, triangles and sums.
std::vector<Surface> PlainSegmentSurfaces(const TriangleMesh& mesh, const SurfaceSearchSettings& s) {
    if (!IsValidMesh(mesh) || mesh.TriangleCount() == 0) return {};
    const float cosLimit = std::cos(s.angleTolerance * 3.1415927f / 180.0f);
    const float distLimit = std::max(0.0f, s.distanceTolerance);
    struct Plane {
        Vec3f n;
        float d;
        double area = 0;
        Vec3d sum;
        std::vector<std::uint32_t> tris;
    };
    std::vector<Plane> planes;
    for (std::size_t t = 0; t < mesh.TriangleCount(); ++t) {
        const Vec3f a = mesh.vertices[mesh.indices[3 * t]].position;
        const Vec3f b = mesh.vertices[mesh.indices[3 * t + 1]].position;
        const Vec3f c = mesh.vertices[mesh.indices[3 * t + 2]].position;
        const Vec3f cr = Cross(b - a, c - a);
        const float len = Length(cr);
        if (!(len > 0)) continue;
        const Vec3f n = cr / len;
        const float d = Dot(n, a);
        Plane* home = nullptr;
        for (Plane& p : planes) {
            if (Dot(n, p.n) >= cosLimit && std::fabs(p.d - d) <= distLimit) {
                home = &p;
                break;
            }
        }
        if (!home) home = &planes.emplace_back(Plane{n, d, 0, {}, {}});
        home->area += double(len) / 2.0;
        home->sum += (ToDouble(a) + ToDouble(b) + ToDouble(c)) * (double(len) / 2.0 / 3.0);
        home->tris.push_back(static_cast<std::uint32_t>(t));
    }
    std::vector<Surface> out;
    for (const Plane& p : planes) {
        if (!(p.area >= double(s.minimumArea))) continue;
        bool standable = true;
        for (const Vertex& v : mesh.vertices) standable = standable && Dot(p.n, v.position) - p.d <= distLimit;
        if (standable) out.push_back({p.n, p.d, float(p.area), ToFloat(p.sum * (1.0 / p.area)), p.tris});
    }
    std::stable_sort(out.begin(), out.end(), [](const Surface& a, const Surface& b) { return a.area > b.area; });
    return out;
}

void ExpectSame(const std::vector<Surface>& got, const std::vector<Surface>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].triangles, want[i].triangles) << i;
        EXPECT_EQ(got[i].normal, want[i].normal) << i;
        EXPECT_EQ(got[i].offset, want[i].offset) << i;
        EXPECT_EQ(got[i].area, want[i].area) << i;
        // An overflowing triangle makes an infinite area and a NaN centroid in both.
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(got[i].centroid[k] == want[i].centroid[k] ||
                        (std::isnan(got[i].centroid[k]) && std::isnan(want[i].centroid[k])))
                << i;
    }
}

// A wavy, slightly noisy height field over a square, closed by a flat bottom
// two units below: many near-coplanar neighbours, and planes the part can
// and cannot stand on.
TriangleMesh MakeWavySlab(int n, float noise) {
    TriangleMesh m;
    std::uint32_t state = 12345;
    const auto jitter = [&] {
        state = state * 1664525u + 1013904223u;
        return noise * (float((state >> 8) & 0xFFFF) / 65535.0f - 0.5f);
    };
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) {
            const float z = (x < n / 3) ? 1.0f : 1.0f + 0.3f * std::sin(0.2f * x) * std::cos(0.15f * y) + jitter();
            m.vertices.push_back({{float(x), float(y), z}, {}});
        }
    const auto id = [&](int x, int y) { return static_cast<std::uint32_t>(y * (n + 1) + x); };
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            m.indices.insert(m.indices.end(),
                             {id(x, y), id(x + 1, y), id(x + 1, y + 1), id(x, y), id(x + 1, y + 1), id(x, y + 1)});
    const auto base = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.push_back({{0, 0, -1}, {}});
    m.vertices.push_back({{float(n), 0, -1}, {}});
    m.vertices.push_back({{float(n), float(n), -1}, {}});
    m.vertices.push_back({{0, float(n), -1}, {}});
    m.indices.insert(m.indices.end(), {base, base + 2, base + 1, base, base + 3, base + 2});
    m.RecomputeBounds();
    return m;
}

TEST(SegmentSurfaces, CubeHasSixFacesOfTwoTriangles) {
    const TriangleMesh cube = MakeTestCube(20);
    const std::vector<Surface> surfaces = SegmentSurfaces(cube, {1.0f, 1.0f, 0.05f});
    ASSERT_EQ(surfaces.size(), 6u);
    for (const Surface& s : surfaces) {
        EXPECT_FLOAT_EQ(s.area, 400.0f);
        ASSERT_EQ(s.triangles.size(), 2u);
        EXPECT_LT(s.triangles[0], s.triangles[1]);
        EXPECT_FLOAT_EQ(Length(s.normal), 1.0f);
        EXPECT_NEAR(Dot(s.normal, s.centroid), 10.0f, 1e-4f);  // the face centre
        EXPECT_NEAR(Length(s.centroid), 10.0f, 1e-4f);
        EXPECT_FLOAT_EQ(s.offset, 10.0f);
    }
    // Equal areas keep the order the planes were found in: bottom face first.
    EXPECT_EQ(surfaces[0].triangles, (std::vector<std::uint32_t>{0, 1}));
    // A minimum area above a face's area leaves nothing.
    EXPECT_TRUE(SegmentSurfaces(cube, {400.5f, 1.0f, 0.05f}).empty());
}

TEST(SegmentSurfaces, InnerCornerFacesOfAnLAreNotStandable) {
    // An L of two boxes: its inner corner faces have part of the L in front of them.
    TriangleMesh l = test::MakeBox({0, 0, 0}, {30, 10, 10});
    const TriangleMesh upright = test::MakeBox({0, 0, 10}, {10, 10, 30});
    const auto base = static_cast<std::uint32_t>(l.vertices.size());
    l.vertices.insert(l.vertices.end(), upright.vertices.begin(), upright.vertices.end());
    for (std::uint32_t i : upright.indices) l.indices.push_back(base + i);
    const std::vector<Surface> surfaces = SegmentSurfaces(l, {1.0f, 1.0f, 0.05f});
    for (const Surface& s : surfaces) {
        // The inner faces: the top of the long arm (+Z at 10) and the right side of the upright (+X at 10).
        EXPECT_FALSE(s.normal.z > 0.99f && std::fabs(s.offset - 10) < 0.01f);
        EXPECT_FALSE(s.normal.x > 0.99f && std::fabs(s.offset - 10) < 0.01f);
    }
    // The front faces of both boxes lie in one plane and make one surface.
    ASSERT_FALSE(surfaces.empty());
    EXPECT_FLOAT_EQ(surfaces[0].area, 500.0f);
    EXPECT_FLOAT_EQ(surfaces[0].normal.y, -1.0f);
    EXPECT_EQ(surfaces.size(), 6u);
    ExpectSame(surfaces, PlainSegmentSurfaces(l, {1.0f, 1.0f, 0.05f}));
}

TEST(SegmentSurfaces, IndexedSearchEqualsThePlainScan) {
    const TriangleMesh wavy = MakeWavySlab(40, 0.02f);
    // A sphere whose points are moved about on its surface: convex, so most
    // facets are standable, with irregular near-coplanar neighbours.
    TriangleMesh sphere = MakeTestSphere(10);
    std::uint32_t state = 99;
    for (Vertex& v : sphere.vertices) {
        state = state * 1664525u + 1013904223u;
        const float shift = 0.04f * (float(state >> 16) / 65535.0f - 0.5f);
        v.position = Normalize(v.position + Vec3f{shift, -shift, 0.5f * shift}) * 10.0f;
    }
    const SurfaceSearchSettings cases[] = {
        {1.0f, 1.0f, 0.05f},         {0.0f, 1.0f, 0.05f},
        {0.0f, 0.0f, 0.0f},          {0.0f, 5.0f, 0.5f},
        {0.0f, 30.0f, 100.0f},       {0.0f, 180.0f, 1e6f},
        {0.0f, 2.0f, -1.0f},         {0.0f, 1.0f, 1e6f},
        {0.0f, 0.2f, 1e6f},          {0.0f, 3.0f, std::numeric_limits<float>::infinity()},
        {0.0f, std::nanf(""), 0.05f}};
    for (const SurfaceSearchSettings& s : cases) {
        SCOPED_TRACE(::testing::Message() << s.minimumArea << " " << s.angleTolerance << " " << s.distanceTolerance);
        ExpectSame(SegmentSurfaces(wavy, s), PlainSegmentSurfaces(wavy, s));
        ExpectSame(SegmentSurfaces(sphere, s), PlainSegmentSurfaces(sphere, s));
    }
    // Awkward triangles: degenerate, one whose cross product overflows (no
    // normal), one whose length overflows (a zero normal), and a stray NaN
    // vertex that no plane survives.
    TriangleMesh odd = wavy;
    const auto base = static_cast<std::uint32_t>(odd.vertices.size());
    odd.vertices.push_back({{1e20f, 0, 0}, {}});
    odd.vertices.push_back({{0, 1e20f, 0}, {}});
    odd.vertices.push_back({{0, 0, 0}, {}});
    odd.vertices.push_back({{1e10f, 0, 0}, {}});
    odd.vertices.push_back({{0, 1e10f, 0}, {}});
    odd.indices.insert(odd.indices.end(), {base, base + 1, base + 2, base + 2, base + 2, base, 0, 1, 2, base + 3,
                                           base + 4, base + 2, 5, 6, 7});
    for (const SurfaceSearchSettings& s : cases) ExpectSame(SegmentSurfaces(odd, s), PlainSegmentSurfaces(odd, s));
    odd.vertices.push_back({{std::nanf(""), 0, 0}, {}});
    EXPECT_TRUE(SegmentSurfaces(odd, {0.0f, 1.0f, 0.05f}).empty());
}

TEST(SegmentSurfaces, InvalidOrEmptyMeshGivesNothing) {
    TriangleMesh cube = MakeTestCube(20);
    cube.indices.push_back(0);
    EXPECT_TRUE(SegmentSurfaces(cube, {}).empty());
    cube.indices.resize(36);
    cube.indices[5] = 8;
    EXPECT_TRUE(SegmentSurfaces(cube, {}).empty());
    EXPECT_TRUE(SegmentSurfaces(TriangleMesh{}, {}).empty());
    EXPECT_TRUE(SegmentSurfaces(MakeTestCube(0), {0.0f, 1.0f, 0.05f}).empty());  // every triangle degenerate
}

}  // namespace
}  // namespace ridgeforge::mesh
