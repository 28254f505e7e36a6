#include "textures/TextureSettings.h"

#include <gtest/gtest.h>

#include "mesh/Json.h"

using namespace ridgeforge;
using mesh::TextureSettings;
using mesh::WrapMode;

namespace {

TextureSettings RoundTrip(const TextureSettings& settings) {
    JsonWriter writer = JsonWriter::NewDocument();
    WriteTextureSettings(writer, settings);
    JsonReader reader(writer.document);
    TextureSettings back;
    ReadTextureSettings(reader, back);
    return back;
}

bool Same(const TextureSettings& a, const TextureSettings& b) {
    return a.widthMillimetres == b.widthMillimetres && a.heightMillimetres == b.heightMillimetres &&
           a.lockAspect == b.lockAspect && a.tiles == b.tiles && a.wrap == b.wrap &&
           a.offsetMillimetres[0] == b.offsetMillimetres[0] && a.offsetMillimetres[1] == b.offsetMillimetres[1] &&
           a.rotationDegrees == b.rotationDegrees && a.blackLevel == b.blackLevel && a.whiteLevel == b.whiteLevel &&
           a.autoLevels == b.autoLevels && a.gamma == b.gamma && a.outputBlackLevel == b.outputBlackLevel &&
           a.outputWhiteLevel == b.outputWhiteLevel && a.invert == b.invert && a.blurMillimetres == b.blurMillimetres &&
           a.seamlessMethod == b.seamlessMethod && a.seamlessParameters == b.seamlessParameters;
}

}  // namespace

TEST(TextureSettings, JsonRoundTripIsExact) {
    TextureSettings s;
    s.widthMillimetres = 0.1f;
    s.heightMillimetres = 33.333333f;
    s.lockAspect = false;
    s.tiles = false;
    s.wrap = WrapMode::Clamp;
    s.offsetMillimetres[0] = -1.0e-7f;
    s.offsetMillimetres[1] = 12345.678f;
    s.rotationDegrees = 359.99f;
    s.blackLevel = 0.0123f;
    s.whiteLevel = 0.987f;
    s.autoLevels = true;
    s.gamma = 2.2f;
    s.outputBlackLevel = 0.2f;
    s.outputWhiteLevel = 0.7f;
    s.invert = true;
    s.blurMillimetres = 0.35f;
    s.seamlessMethod = "Histogram blend";
    s.seamlessParameters = "patches=6\nseed=42\n";
    EXPECT_TRUE(Same(RoundTrip(s), s));
    EXPECT_TRUE(Same(RoundTrip(TextureSettings{}), TextureSettings{}));

    JsonWriter writer = JsonWriter::NewDocument();
    WriteTextureSettings(writer, s);
    const nlohmann::json& node = *writer.Node();
    EXPECT_EQ(node.size(), 17u);
    EXPECT_EQ(node["wrap"], "clamp");
    EXPECT_EQ(node["widthMillimetres"].dump(), "0.1");
    EXPECT_EQ(node["offsetMillimetres"].size(), 2u);
    // A value outside the enumeration is kept as its number.
    s.wrap = static_cast<WrapMode>(7);
    writer = JsonWriter::NewDocument();
    WriteTextureSettings(writer, s);
    EXPECT_EQ((*writer.Node())["wrap"], 7);
}

TEST(TextureSettings, BadMembersKeepTheirValues) {
    auto read = [](const char* text) {
        auto document = std::make_shared<nlohmann::json>(nlohmann::json::parse(text));
        JsonReader reader(document);
        TextureSettings s;
        s.wrap = WrapMode::Mirror;
        ReadTextureSettings(reader, s);
        return s;
    };
    EXPECT_EQ(read(R"({"wrap": 2})").wrap, WrapMode::Mirror);
    EXPECT_EQ(read(R"({"wrap": "Clamp"})").wrap, WrapMode::Mirror);
    EXPECT_EQ(read(R"({"wrap": "clamp"})").wrap, WrapMode::Clamp);
    EXPECT_EQ(read(R"({"seamlessMethod": "mirror"})").seamlessMethod, "Unchanged");
    EXPECT_EQ(read(R"({"seamlessMethod": "Mirror"})").seamlessMethod, "Mirror");
    EXPECT_EQ(read(R"({"seamlessMethod": 3})").seamlessMethod, "Unchanged");

    const TextureSettings s = read(
        R"({"widthMillimetres": "40", "heightMillimetres": 12, "gamma": null, "lockAspect": 1,
            "invert": true, "offsetMillimetres": [1, 2, 3], "blurMillimetres": 2.5, "unknown": 5})");
    EXPECT_EQ(s.widthMillimetres, 30.0f);
    EXPECT_EQ(s.heightMillimetres, 12.0f);
    EXPECT_EQ(s.gamma, 1.0f);
    EXPECT_TRUE(s.lockAspect);
    EXPECT_TRUE(s.invert);
    EXPECT_EQ(s.offsetMillimetres[0], 0.0f);
    EXPECT_EQ(s.blurMillimetres, 2.5f);
}
