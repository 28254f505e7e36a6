#include "mesh/Transform.h"

#include <gtest/gtest.h>

#include <cmath>

#include "mesh/LayFlatTransform.h"
#include "mesh/SegmentSurfaces.h"
#include "mesh/TestShapes.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

void ExpectNear(const Vec3f& a, const Vec3f& b, float tolerance = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// A rigid transform: a turn about a slanted axis and a shift.
Transform SomeRigidTransform() {
    const Vec3f axis = Normalize(Vec3f{1, 2, 3});
    const float angle = 0.7f;
    const Vec3f cx = RotateAboutAxis({1, 0, 0}, axis, std::cos(angle), std::sin(angle));
    const Vec3f cy = RotateAboutAxis({0, 1, 0}, axis, std::cos(angle), std::sin(angle));
    const Vec3f cz = RotateAboutAxis({0, 0, 1}, axis, std::cos(angle), std::sin(angle));
    return {{cx.x, cy.x, cz.x}, {cx.y, cy.y, cz.y}, {cx.z, cy.z, cz.z}, {5, -3, 12}};
}

TEST(Transform, IdentityInverseAndComposition) {
    Transform t = Transform::Identity();
    EXPECT_TRUE(t.IsIdentity());
    t.translation.x = -0.0f;
    EXPECT_TRUE(t.IsIdentity());
    t.rowY.z = std::nanf("");
    EXPECT_FALSE(t.IsIdentity());
    EXPECT_FALSE(Transform{}.IsIdentity());  // all zero is not the identity

    const Transform r = SomeRigidTransform();
    const Vec3f p{1.5f, -2, 7};
    ExpectNear(r.Inverse().ApplyToPoint(r.ApplyToPoint(p)), p, 1e-4f);
    for (const Transform& c : {Transform::Compose(r, r.Inverse()), Transform::Compose(r.Inverse(), r)}) {
        ExpectNear(c.rowX, {1, 0, 0});
        ExpectNear(c.rowY, {0, 1, 0});
        ExpectNear(c.rowZ, {0, 0, 1});
        ExpectNear(c.translation, {0, 0, 0}, 1e-4f);
    }
    // Compose applies its second argument first.
    Transform shift = Transform::Identity();
    shift.translation = {1, 0, 0};
    const Transform quarter = {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}};  // +90 degrees about Z
    ExpectNear(Transform::Compose(quarter, shift).ApplyToPoint({0, 0, 0}), {0, 1, 0});
    ExpectNear(Transform::Compose(shift, quarter).ApplyToPoint({0, 0, 0}), {1, 0, 0});
}

TEST(Transform, ApplyMovesPointsTurnsNormalsAndKeepsIdentityUntouched) {
    TriangleMesh cube = MakeTestCube(2);
    cube.boundsValid = false;
    const TriangleMesh before = cube;
    ApplyTransform(cube, Transform::Identity());
    EXPECT_FALSE(cube.boundsValid);  // not even the bounds are recomputed
    EXPECT_EQ(cube.vertices[3].position, before.vertices[3].position);

    const Transform quarter = {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}, {10, 0, 0}};
    ApplyTransform(cube, quarter);
    EXPECT_TRUE(cube.boundsValid);
    ExpectNear(cube.boundsMin, {9, -1, -1});
    ExpectNear(cube.boundsMax, {11, 1, 1});
    ExpectNear(cube.vertices[1].position, {11, 1, -1});  // (1, -1, -1) turned, then shifted
    ExpectNear(cube.vertices[1].normal, quarter.ApplyToDirection(before.vertices[1].normal));
    EXPECT_EQ(cube.indices, before.indices);
    EXPECT_GT(cube.SignedVolume(), 0);
}

TEST(Transform, JsonFormRoundTripsAndKeepsRowsThatDoNotRead) {
    const Transform r = SomeRigidTransform();
    JsonWriter writer = JsonWriter::NewDocument();
    r.ToJson(writer.Object("part"));
    EXPECT_EQ((*writer.document)["part"].size(), 4u);
    Transform back = Transform::Identity();
    back.FromJson(JsonReader(writer.document).At(JsonReader(writer.document).Find("part")));
    EXPECT_EQ(back.rowX, r.rowX);
    EXPECT_EQ(back.rowZ, r.rowZ);
    EXPECT_EQ(back.translation, r.translation);

    const auto document = std::make_shared<nlohmann::json>(
        nlohmann::json::parse(R"({"rowX": [0, 1, 0], "rowY": [7, 8], "rowZ": [0, 0, "1"], "translation": [1, 2, 3]})"));
    Transform partial = Transform::Identity();
    partial.FromJson(JsonReader(document));
    EXPECT_EQ(partial.rowX, (Vec3f{0, 1, 0}));
    EXPECT_EQ(partial.rowY, (Vec3f{0, 1, 0}));  // two numbers: kept
    EXPECT_EQ(partial.rowZ, (Vec3f{0, 0, 1}));  // a string among them: kept
    EXPECT_EQ(partial.translation, (Vec3f{1, 2, 3}));
}

TEST(LayFlatTransform, TurnsTheChosenFaceOntoTheBed) {
    TriangleMesh cube = MakeTestCube(20);
    Transform lift = Transform::Identity();
    lift.translation = {3, 4, 10};  // resting on the bed, off centre
    ApplyTransform(cube, lift);
    const std::vector<Surface> faces = SegmentSurfaces(cube, {1.0f, 1.0f, 0.05f});
    const auto face = [&](const Vec3f& normal) {
        for (const Surface& s : faces)
            if (Dot(s.normal, normal) > 0.99f) return s;
        ADD_FAILURE() << "no face";
        return Surface{};
    };

    EXPECT_TRUE(LayFlatTransform(cube, face({0, 0, -1})).IsIdentity());

    const Transform top = LayFlatTransform(cube, face({0, 0, 1}));  // a half turn about X
    ExpectNear(top.rowX, {1, 0, 0});
    ExpectNear(top.rowY, {0, -1, 0});
    ExpectNear(top.rowZ, {0, 0, -1});
    TriangleMesh turned = cube;
    ApplyTransform(turned, top);
    EXPECT_NEAR(turned.boundsMin.z, 0.0f, 1e-4f);
    ExpectNear((turned.boundsMin + turned.boundsMax) * 0.5f, {3, 4, 10}, 1e-4f);
    ExpectNear(top.ApplyToDirection(face({0, 0, 1}).normal), {0, 0, -1});

    const Transform side = LayFlatTransform(cube, face({1, 0, 0}));  // a quarter turn about Y
    ExpectNear(side.ApplyToDirection({1, 0, 0}), {0, 0, -1});
    ExpectNear(side.rowY, {0, 1, 0});
    turned = cube;
    ApplyTransform(turned, side);
    EXPECT_NEAR(turned.boundsMin.z, 0.0f, 1e-4f);

    // Stale bounds are recomputed on a copy; no vertices gives the identity.
    TriangleMesh stale = cube;
    stale.boundsValid = false;
    stale.boundsMin = stale.boundsMax = {100, 100, 100};
    const Transform fromStale = LayFlatTransform(stale, face({0, 0, 1}));
    EXPECT_EQ(fromStale.translation, top.translation);
    EXPECT_TRUE(LayFlatTransform(TriangleMesh{}, face({0, 0, 1})).IsIdentity());
}

TEST(LayFlatTransform, KeepsTheLowestPointOfAnUnevenBox) {
    // A 40 x 20 x 10 box standing at z = 5: turned about its centre (20, 10, 10)
    // onto its +X face, it spans z -10..30, so a 15 mm lift brings its lowest
    // point back to 5 and it ends 40 mm tall.
    TriangleMesh box = test::MakeBox({0, 0, 5}, {40, 20, 15});
    const Transform side = LayFlatTransform(box, Surface{{1, 0, 0}, 40, 200, {40, 10, 10}, {}});
    ExpectNear(side.ApplyToDirection({1, 0, 0}), {0, 0, -1});
    ApplyTransform(box, side);
    ExpectNear(box.boundsMin, {15, 0, 5}, 1e-4f);
    ExpectNear(box.boundsMax, {25, 20, 45}, 1e-4f);
}

TEST(TestShapes, CountsExtentsAndOutwardFaces) {
    const TriangleMesh cube = MakeTestCube(20);
    const TriangleMesh cylinder = MakeTestCylinder(10, 20);
    const TriangleMesh sphere = MakeTestSphere(10);
    EXPECT_EQ(cube.vertices.size(), 8u);
    EXPECT_EQ(cube.TriangleCount(), 12u);
    EXPECT_EQ(cylinder.vertices.size(), 130u);
    EXPECT_EQ(cylinder.TriangleCount(), 256u);
    EXPECT_EQ(sphere.vertices.size(), 4514u);
    EXPECT_EQ(sphere.TriangleCount(), 9024u);
    for (const TriangleMesh* m : {&cube, &cylinder, &sphere}) {
        EXPECT_TRUE(m->boundsValid);
        ExpectNear(m->boundsMin, {-10, -10, -10}, 1e-4f);
        ExpectNear(m->boundsMax, {10, 10, 10}, 1e-4f);
        EXPECT_EQ(EdgeStatistics(*m).openBoundaryEdges, 0u);
        EXPECT_EQ(EdgeStatistics(*m).nonManifoldEdges, 0u);
        // Every face points away from the centre, and so do the vertex normals.
        for (std::size_t t = 0; t < m->TriangleCount(); ++t) {
            const Vec3f a = m->vertices[m->indices[3 * t]].position;
            const Vec3f b = m->vertices[m->indices[3 * t + 1]].position;
            const Vec3f c = m->vertices[m->indices[3 * t + 2]].position;
            ASSERT_GT(Dot(Cross(b - a, c - a), a + b + c), 0) << t;
        }
        for (const Vertex& v : m->vertices) ASSERT_GT(Dot(v.normal, v.position), 0);
    }

    // Negative sizes collapse to the centre.
    const TriangleMesh flat = MakeTestSphere(-1);
    EXPECT_EQ(flat.vertices.size(), 4514u);
    EXPECT_EQ(flat.boundsMax, (Vec3f{0, 0, 0}));
    EXPECT_EQ(MakeTestCylinder(-1, -1).boundsMin, (Vec3f{0, 0, 0}));
}

}  // namespace
}  // namespace ridgeforge::mesh
