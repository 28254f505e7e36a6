#include "relief/mapping/Projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "mesh/Json.h"
#include "mesh/TileFrame.h"

namespace ridgeforge::mesh {
namespace {

JsonReader ReaderOf(const char* text) {
    return JsonReader(std::make_shared<nlohmann::json>(nlohmann::json::parse(text)));
}

// A record with every field away from its default.
Projection Unusual() {
    Projection p;
    p.type = ProjectionType::Cylinder;
    p.cage = {{1.5f, -2.0f, 3.25f}, {10.0f, 20.0f, -30.0f}, {4.0f, 5.0f, 6.0f}};
    p.box.sideEnabled = {true, false, true, true, false, true};
    p.box.sideSurface[5] = SurfaceSelection::Inside;
    p.box.sideSurface[2] = SurfaceSelection::Outside;
    p.box.blended = true;
    p.box.blendSharpness = 0.1f;
    p.plane.twoSided = true;
    p.plane.axis = Axis::X;
    p.cylinder.axis = Axis::Y;
    p.cylinder.surface = SurfaceSelection::Outside;
    p.cylinder.seamDegrees = 45.5f;
    p.cylinder.sideEnabled = false;
    p.cylinder.topCapEnabled = true;
    p.cylinder.bottomCapEnabled = true;
    p.cylinder.wholeTiles = false;
    p.sphere.axis = Axis::X;
    p.sphere.wholeTiles = false;
    for (int i = 0; i < kSideCount; ++i) {
        p.layer[i] = {{0.5f * i, -1.0f - i}, 15.0f * i, 1.0f + 0.25f * i, i + 2};
    }
    p.activeLayer = 3;
    return p;
}

TEST(Projection, JsonReadingRules) {
    // A document with no keys leaves every field as passed in.
    Projection p = Unusual();
    ReadProjection(ReaderOf("{}"), p);
    EXPECT_EQ(p, Unusual());

    // Enumeration words are exact; the written form of every field reads back.
    JsonWriter writer = JsonWriter::NewDocument();
    WriteProjection(writer, Unusual());
    const nlohmann::json& doc = *writer.document;
    EXPECT_EQ(doc["type"], "cylinder");
    EXPECT_EQ(doc["box"]["side"]["nz"]["surface"], "inside");
    EXPECT_EQ(doc["box"]["side"]["nx"]["enabled"], false);
    EXPECT_EQ(doc["cylinder"]["axis"], "y");
    EXPECT_EQ(doc["layer"]["py"]["originMillimetres"], nlohmann::json::parse("[1.0, -3.0]"));
    EXPECT_EQ(doc["layer"]["pz"]["image"], 6);
    EXPECT_EQ(doc["box"]["blendSharpness"].get<double>(), 0.1);
    Projection back;
    ReadProjection(JsonReader(writer.document), back);
    EXPECT_EQ(back, Unusual());

    Projection defaults;
    JsonWriter defaultWriter = JsonWriter::NewDocument();
    WriteProjection(defaultWriter, defaults);
    Projection filled = Unusual();
    ReadProjection(JsonReader(defaultWriter.document), filled);
    EXPECT_EQ(filled, Projection{});

    p = Projection{};
    p.type = ProjectionType::Plane;
    ReadProjection(ReaderOf(R"({"type": "Box"})"), p);
    EXPECT_EQ(p.type, ProjectionType::Plane);
    ReadProjection(ReaderOf(R"({"type": "sphere"})"), p);
    EXPECT_EQ(p.type, ProjectionType::Sphere);

    // A type without a word is written as its number, which no reader takes.
    p.type = static_cast<ProjectionType>(7);
    JsonWriter seven = JsonWriter::NewDocument();
    WriteProjection(seven, p);
    EXPECT_TRUE((*seven.document)["type"].is_number_integer());
    EXPECT_EQ((*seven.document)["type"], 7);
    Projection sphere;
    sphere.type = ProjectionType::Sphere;
    ReadProjection(JsonReader(seven.document), sphere);
    EXPECT_EQ(sphere.type, ProjectionType::Sphere);
    ReadProjection(JsonReader(seven.document), p);
    EXPECT_EQ(static_cast<int>(p.type), 7);

    // Floats take integers; integers refuse floating numbers.
    p = Projection{};
    ReadProjection(ReaderOf(R"({"layer": {"nx": {"zoom": 2, "image": 2.0}, "px": {"image": 4}}})"), p);
    EXPECT_EQ(p.layer[1].zoom, 2.0f);
    EXPECT_EQ(p.layer[1].image, 0);
    EXPECT_EQ(p.layer[0].image, 4);

    // activeLayer outside -1..5 becomes -1.
    for (const auto& [text, expected] : std::vector<std::pair<const char*, int>>{{R"({"activeLayer": 9})", -1},
                                                                                 {R"({"activeLayer": -1})", -1},
                                                                                 {R"({"activeLayer": 5})", 5},
                                                                                 {R"({"activeLayer": -2})", -1},
                                                                                 {R"({"activeLayer": 0})", 0}}) {
        Projection q;
        q.activeLayer = 2;
        ReadProjection(ReaderOf(text), q);
        EXPECT_EQ(q.activeLayer, expected) << text;
    }

    // Arrays set all their items or none.
    p = Projection{};
    ReadProjection(ReaderOf(R"({"cage": {"size": [1, 2], "center": [7, 8, 9]}})"), p);
    EXPECT_EQ(p.cage.size, (Vec3f{1, 1, 1}));
    EXPECT_EQ(p.cage.center, (Vec3f{7, 8, 9}));
    ReadProjection(ReaderOf(R"({"cage": {"size": [1, 2, "3"]}, "box": {"blended": 1}})"), p);
    EXPECT_EQ(p.cage.size, (Vec3f{1, 1, 1}));
    EXPECT_FALSE(p.box.blended);
}

TEST(Projection, EqualityComparesEveryField) {
    const Projection base;
    EXPECT_EQ(base, Projection{});
    std::vector<std::function<void(Projection&)>> changes = {
        [](Projection& p) { p.type = ProjectionType::Sphere; },
        [](Projection& p) { p.cage.center.z = 1.0f; },
        [](Projection& p) { p.cage.rotationDegrees.y = 1.0f; },
        [](Projection& p) { p.cage.size.x = 2.0f; },
        [](Projection& p) { p.box.sideEnabled[5] = false; },
        [](Projection& p) { p.box.sideSurface[3] = SurfaceSelection::Inside; },
        [](Projection& p) { p.box.blended = true; },
        [](Projection& p) { p.box.blendSharpness = 5.0f; },
        [](Projection& p) { p.plane.twoSided = true; },
        [](Projection& p) { p.plane.axis = Axis::Y; },
        [](Projection& p) { p.cylinder.axis = Axis::X; },
        [](Projection& p) { p.cylinder.surface = SurfaceSelection::Inside; },
        [](Projection& p) { p.cylinder.seamDegrees = 0.0f; },
        [](Projection& p) { p.cylinder.sideEnabled = false; },
        [](Projection& p) { p.cylinder.topCapEnabled = true; },
        [](Projection& p) { p.cylinder.bottomCapEnabled = true; },
        [](Projection& p) { p.cylinder.wholeTiles = false; },
        [](Projection& p) { p.sphere.axis = Axis::X; },
        [](Projection& p) { p.sphere.wholeTiles = false; },
        [](Projection& p) { p.layer[2].originMillimetres[1] = 1.0f; },
        [](Projection& p) { p.layer[4].rotationDegrees = 1.0f; },
        [](Projection& p) { p.layer[5].zoom = 3.0f; },
        [](Projection& p) { p.layer[1].image = 1; },
        [](Projection& p) { p.activeLayer = 0; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        Projection changed;
        changes[i](changed);
        EXPECT_FALSE(changed == base) << "change " << i;
    }

    // Only the image differs: the layers and the records are unequal.
    Projection a, b;
    b.layer[3].image = 7;
    EXPECT_FALSE(LayersEqual(a, b));
    EXPECT_FALSE(a == b);

    // A NaN in the same place never compares equal.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Projection n1, n2;
    n1.cage.size.y = n2.cage.size.y = nan;
    EXPECT_FALSE(n1 == n2);
    EXPECT_FALSE(n1.cage == n2.cage);
    Projection l1, l2;
    l1.layer[0].zoom = l2.layer[0].zoom = nan;
    EXPECT_FALSE(LayersEqual(l1, l2));
    // Minus zero equals zero as floats do.
    Projection z1, z2;
    z2.cage.center.x = -0.0f;
    EXPECT_TRUE(z1 == z2);
}

TEST(Projection, TileFrameEqualityCoversClipAndAllFloats) {
    const TileFrame base{false, {1.0f, 2.0f}, 30.0f, 10.0f, 20.0f};
    EXPECT_TRUE(base == (TileFrame{false, {1.0f, 2.0f}, 30.0f, 10.0f, 20.0f}));
    std::vector<TileFrame> changed(6, base);
    changed[0].clip = true;
    changed[1].offsetMillimetres[0] = 1.5f;
    changed[2].offsetMillimetres[1] = 2.5f;
    changed[3].rotationDegrees = 31.0f;
    changed[4].widthMillimetres = 11.0f;
    changed[5].heightMillimetres = 21.0f;
    for (std::size_t i = 0; i < changed.size(); ++i) EXPECT_FALSE(changed[i] == base) << i;
    TileFrame nan = base;
    nan.rotationDegrees = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(nan == nan);
}

}  // namespace
}  // namespace ridgeforge::mesh
