#include "relief/mapping/MaskVolume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "mesh/Json.h"
#include "relief/mapping/CageFrame.h"
#include "relief/mapping/MaskOverlay.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::mesh {
namespace {

MaskVolume Volume(MaskShape shape, Vec3f size, Vec3f center = {}, Vec3f rotation = {}) {
    MaskVolume v;
    v.shape = shape;
    v.size = size;
    v.center = center;
    v.rotationDegrees = rotation;
    return v;
}

float Distance(const MaskVolume& v, Vec3f p) { return MaskVolume::SignedDistance(v, p); }

TEST(MaskVolume, SignedDistanceOfEachShape) {
    const MaskVolume box = Volume(MaskShape::Box, {2, 2, 2});
    EXPECT_FLOAT_EQ(Distance(box, {0, 0, 0}), -1.0f);
    EXPECT_FLOAT_EQ(Distance(box, {2, 0, 0}), 1.0f);
    EXPECT_FLOAT_EQ(Distance(box, {2, 2, 0}), std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(Distance(box, {0.5f, -0.25f, 0}), -0.5f);

    EXPECT_FLOAT_EQ(Distance(Volume(MaskShape::Sphere, {2, 2, 2}), {0, 0, 3}), 2.0f);
    EXPECT_FLOAT_EQ(Distance(Volume(MaskShape::Sphere, {2, 4, 2}), {0, 3, 0}), 0.5f);

    const MaskVolume cylinder = Volume(MaskShape::Cylinder, {2, 2, 2});
    EXPECT_FLOAT_EQ(Distance(cylinder, {0, 0, 2}), 1.0f);
    EXPECT_FLOAT_EQ(Distance(cylinder, {3, 0, 0}), 2.0f);
    EXPECT_FLOAT_EQ(Distance(cylinder, {4, 0, 5}), 5.0f);
    EXPECT_FLOAT_EQ(Distance(cylinder, {0, 0, 0.5f}), -0.5f);

    // A size of 0 or below counts as 0.001.
    for (const float size : {0.0f, -4.0f}) {
        EXPECT_NEAR(Distance(Volume(MaskShape::Box, {size, size, size}), {1, 0, 0}), 0.9995f, 1e-6f);
        EXPECT_NEAR(Distance(Volume(MaskShape::Sphere, {size, 2, 2}), {0, 0, 0}), -0.0005f, 1e-6f);
    }
    EXPECT_EQ(Distance(Volume(static_cast<MaskShape>(7), {2, 2, 2}), {0, 0, 0}), 1.0f);

    // Placement: a box turned a quarter about z and moved lies with its long side along x.
    const MaskVolume turned = Volume(MaskShape::Box, {2, 4, 2}, {10, 0, 0}, {0, 0, 90});
    EXPECT_NEAR(Distance(turned, {11.5f, 0, 0}), -0.5f, 1e-5f);
    EXPECT_NEAR(Distance(turned, {10, 1.5f, 0}), 0.5f, 1e-5f);
}

TEST(MaskVolume, CreateSizesAndNames) {
    MaskVolume v = MaskVolume::Create(MaskShape::Box, nullptr, 1);
    EXPECT_EQ(v.size, (Vec3f{10, 10, 10}));
    EXPECT_EQ(v.center, (Vec3f{0, 0, 0}));
    EXPECT_EQ(v.name, "Box 1");
    EXPECT_TRUE(v.enabled);
    EXPECT_EQ(v.featherMillimetres, 0.0f);
    EXPECT_EQ(MaskVolume::Create(static_cast<MaskShape>(7), nullptr, 12).name, "Volume 12");
    EXPECT_EQ(MaskVolume::Create(MaskShape::Cylinder, nullptr, 3).name, "Cylinder 3");

    TriangleMesh small = test::MakeBox({2, 3, 4}, {3, 4, 6});
    v = MaskVolume::Create(MaskShape::Sphere, &small, 2);
    EXPECT_EQ(v.size, (Vec3f{1, 1, 1}));
    EXPECT_EQ(v.center, (Vec3f{2.5f, 3.5f, 5}));
    EXPECT_EQ(v.shape, MaskShape::Sphere);
    TriangleMesh large = test::MakeBox({-10, 0, 0}, {20, 60, 9});
    EXPECT_EQ(MaskVolume::Create(MaskShape::Box, &large, 1).size, (Vec3f{20, 20, 20}));
    large.boundsValid = false;
    EXPECT_EQ(MaskVolume::Create(MaskShape::Box, &large, 1).size, (Vec3f{10, 10, 10}));
}

TEST(MaskVolume, TransformedFollowsThePart) {
    Transform quarter = Transform::Identity();
    quarter.rowX = {0, -1, 0};
    quarter.rowY = {1, 0, 0};
    MaskVolume v = Volume(MaskShape::Box, {2, 4, 6}, {1, 0, 0});
    v.featherMillimetres = 2;
    v.name = "kept";
    MaskVolume moved = MaskVolume::Transformed(v, quarter);
    EXPECT_NEAR(moved.center.x, 0.0f, 1e-6f);
    EXPECT_NEAR(moved.center.y, 1.0f, 1e-6f);
    EXPECT_NEAR(moved.rotationDegrees.z, 90.0f, 1e-4f);
    EXPECT_NEAR(moved.rotationDegrees.x, 0.0f, 1e-4f);
    EXPECT_EQ(moved.size, v.size);
    EXPECT_EQ(moved.name, "kept");
    EXPECT_EQ(moved.featherMillimetres, 2.0f);

    // A general turn and shift: every point keeps its distance to the volume.
    v = Volume(MaskShape::Cylinder, {3, 5, 7}, {1, -2, 4}, {30, 10, -20});
    Transform t = Transform::Identity();
    const RotationAxes r = RotationFromDegrees({-15, 40, 65});
    t.rowX = {r.x.x, r.y.x, r.z.x};
    t.rowY = {r.x.y, r.y.y, r.z.y};
    t.rowZ = {r.x.z, r.y.z, r.z.z};
    t.translation = {5, 6, -7};
    moved = MaskVolume::Transformed(v, t);
    for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{1, -2, 5}, Vec3f{3, 1, 2}, Vec3f{-4, 2, 8}}) {
        EXPECT_NEAR(Distance(moved, t.ApplyToPoint(p)), Distance(v, p), 1e-4f);
    }
}

TEST(MaskVolume, JsonAndEquality) {
    MaskVolume v = Volume(MaskShape::Cylinder, {3, 4.5f, 0.1f}, {1, -2, 3}, {10, 20, 30});
    v.featherMillimetres = 1.25f;
    v.enabled = false;
    v.name = "Rim \xc3\xa9";
    JsonWriter writer = JsonWriter::NewDocument();
    MaskVolume::ToJson(writer, v);
    EXPECT_EQ((*writer.document)["shape"], "cylinder");
    EXPECT_EQ((*writer.document)["size"][2].get<double>(), 0.1);
    MaskVolume back = MaskVolume::Create(MaskShape::Box, nullptr, 9);
    MaskVolume::FromJson(JsonReader(writer.document), back);
    EXPECT_EQ(back, v);

    // A shape without a word is written as its number and reads back unchanged.
    v.shape = static_cast<MaskShape>(7);
    JsonWriter seven = JsonWriter::NewDocument();
    MaskVolume::ToJson(seven, v);
    EXPECT_EQ((*seven.document)["shape"], 7);
    MaskVolume::FromJson(JsonReader(seven.document), v);
    EXPECT_EQ(static_cast<int>(v.shape), 7);
    MaskVolume sphere = Volume(MaskShape::Sphere, {1, 1, 1});
    auto read = [&](const char* text) {
        MaskVolume::FromJson(JsonReader(std::make_shared<nlohmann::json>(nlohmann::json::parse(text))), sphere);
    };
    read(R"({"shape": "Box", "size": [1, 2], "enabled": 0, "name": 5, "featherMillimetres": 3})");
    EXPECT_EQ(sphere.shape, MaskShape::Sphere);
    EXPECT_EQ(sphere.size, (Vec3f{1, 1, 1}));
    EXPECT_TRUE(sphere.enabled);
    EXPECT_EQ(sphere.name, "");
    EXPECT_EQ(sphere.featherMillimetres, 3.0f);

    // Lists compare in order; a NaN never compares equal.
    const MaskVolume a = MaskVolume::Create(MaskShape::Box, nullptr, 1);
    const MaskVolume b = MaskVolume::Create(MaskShape::Sphere, nullptr, 2);
    EXPECT_TRUE((std::vector<MaskVolume>{a, b}) == (std::vector<MaskVolume>{a, b}));
    EXPECT_FALSE((std::vector<MaskVolume>{a, b}) == (std::vector<MaskVolume>{b, a}));
    MaskVolume n1 = a, n2 = a;
    n1.rotationDegrees.y = n2.rotationDegrees.y = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(n1 == n2);
    MaskVolume c = a;
    c.name = "Box 1 ";
    EXPECT_FALSE(c == a);
    c = a;
    c.enabled = false;
    EXPECT_FALSE(c == a);
    c = a;
    c.featherMillimetres = 0.5f;
    EXPECT_FALSE(c == a);
    c = a;
    c.size.z = 11;
    EXPECT_FALSE(c == a);
}

TEST(MaskVolume, OverlayOutlinesAndColours) {
    gl::ColouredGeometry overlay;
    const MaskVolume box = Volume(MaskShape::Box, {2, 4, 6}, {1, 1, 1});
    gl::BuildMaskOverlay(box, false, overlay);
    ASSERT_EQ(overlay.linePoints.size(), 24u);
    ASSERT_EQ(overlay.lineColours.size(), 24u);
    EXPECT_TRUE(overlay.trianglePoints.empty());
    EXPECT_TRUE(overlay.triangleColours.empty());
    for (std::size_t i = 0; i < 24; i += 2) {
        const Vec3f a = overlay.linePoints[i], b = overlay.linePoints[i + 1];
        // Each edge runs along one axis, between corners of the box.
        const Vec3f d = b - a;
        const int moving = (d.x != 0) + (d.y != 0) + (d.z != 0);
        EXPECT_EQ(moving, 1);
        for (const Vec3f& p : {a, b}) {
            EXPECT_TRUE(p.x == 0 || p.x == 2);
            EXPECT_TRUE(p.y == -1 || p.y == 3);
            EXPECT_TRUE(p.z == -2 || p.z == 4);
        }
    }
    EXPECT_EQ(overlay.lineColours[0], (Vec3f{0.93f, 0.45f, 0.18f}));

    // Selected and disabled volumes change colour; each call appends.
    gl::ColouredGeometry selected;
    gl::BuildMaskOverlay(box, true, selected);
    bool white = false;
    for (const Vec3f& c : selected.lineColours) {
        EXPECT_TRUE(c == (Vec3f{1.0f, 0.62f, 0.25f}) || c == (Vec3f{1, 1, 1}));
        white = white || c == Vec3f{1, 1, 1};
    }
    EXPECT_TRUE(white);
    MaskVolume off = Volume(MaskShape::Cylinder, {2, 4, 6}, {0, 0, 10}, {0, 0, 0});
    off.enabled = false;
    gl::BuildMaskOverlay(off, false, overlay);
    ASSERT_EQ(overlay.linePoints.size(), 24u + 2 * (2 * 48 + 4));
    ASSERT_EQ(overlay.lineColours.size(), overlay.linePoints.size());
    bool grey = false;
    for (std::size_t i = 24; i < overlay.linePoints.size(); ++i) {
        const Vec3f p = overlay.linePoints[i];
        EXPECT_NEAR(p.x * p.x + (p.y / 2) * (p.y / 2), 1.0f, 1e-5f);
        EXPECT_NEAR(std::fabs(p.z - 10), 3.0f, 1e-5f);
        grey = grey || overlay.lineColours[i] == Vec3f{0.55f, 0.55f, 0.58f};
    }
    EXPECT_TRUE(grey);

    // The ellipsoid net lies on the ellipsoid, turned with the volume; sizes floored.
    gl::ColouredGeometry net;
    const MaskVolume ellipsoid = Volume(MaskShape::Sphere, {2, 4, 6}, {1, 2, 3}, {30, 40, 50});
    gl::BuildMaskOverlay(ellipsoid, false, net);
    EXPECT_EQ(net.linePoints.size(), 2u * (24 * 12 + 24 * 11));
    for (const Vec3f& p : net.linePoints) EXPECT_NEAR(Distance(ellipsoid, p), 0.0f, 1e-4f);
    gl::ColouredGeometry flat;
    gl::BuildMaskOverlay(Volume(MaskShape::Sphere, {0, 0, 0}), false, flat);
    for (const Vec3f& p : flat.linePoints) EXPECT_LE(Length(p), 0.0005f + 1e-7f);
    gl::ColouredGeometry nothing;
    gl::BuildMaskOverlay(Volume(static_cast<MaskShape>(7), {1, 1, 1}), false, nothing);
    EXPECT_TRUE(nothing.linePoints.empty());
}

}  // namespace
}  // namespace ridgeforge::mesh
