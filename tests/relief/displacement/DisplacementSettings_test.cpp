#include "relief/displacement/DisplacementSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "mesh/Json.h"

namespace ridgeforge::mesh {
namespace {

TEST(DisplacementSettings, DefaultsAndEveryFieldTakesPartInEquality) {
    const DisplacementSettings d;
    EXPECT_EQ(d.method, DisplacementMethod::Solid);
    EXPECT_EQ(d.outsideRule, OutsideRule::Average);
    EXPECT_FLOAT_EQ(d.wallThresholdMillimetres, 0.42f);
    EXPECT_EQ(d.base.axis, 2);
    EXPECT_TRUE(d.base.protectBelow);

    const std::vector<std::function<void(DisplacementSettings&)>> changes = {
        [](auto& s) { s.method = DisplacementMethod::Mesh; },
        [](auto& s) { s.limitToClearance = false; },
        [](auto& s) { s.mitreCreases = false; },
        [](auto& s) { s.preventFolds = false; },
        [](auto& s) { s.maximumTiltDegrees = 81.0f; },
        [](auto& s) { s.wallThresholdMillimetres = 0.5f; },
        [](auto& s) { s.checkThinWalls = false; },
        [](auto& s) { s.holdThinWalls = true; },
        [](auto& s) { s.strengthMillimetres = 2.0f; },
        [](auto& s) { s.midLevel = 0.25f; },
        [](auto& s) { s.midLevelMode = MidLevelMode::Automatic; },
        [](auto& s) { s.direction = DisplacementDirection::Inward; },
        [](auto& s) { s.invert = true; },
        [](auto& s) { s.outsideRule = OutsideRule::Any; },
        [](auto& s) { s.base.enabled = true; },
        [](auto& s) { s.base.axis = 0; },
        [](auto& s) { s.base.protectBelow = false; },
        [](auto& s) { s.base.planeMillimetres = 3.0f; },
        [](auto& s) { s.base.bandMillimetres = 1.0f; },
    };
    ASSERT_EQ(changes.size(), 19u);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        DisplacementSettings changed;
        changes[i](changed);
        EXPECT_FALSE(changed == d) << "field " << i;
        EXPECT_TRUE(changed == changed) << "field " << i;
    }
}

TEST(DisplacementSettings, JsonWritesWordsInOrderAndReadsBack) {
    DisplacementSettings s;
    s.method = DisplacementMethod::Mesh;
    s.strengthMillimetres = 0.8f;
    s.midLevel = 0.1f;
    s.midLevelMode = MidLevelMode::Automatic;
    s.direction = DisplacementDirection::Outward;
    s.invert = true;
    s.outsideRule = OutsideRule::All;
    s.limitToClearance = false;
    s.maximumTiltDegrees = 45.0f;
    s.base.enabled = true;
    s.base.axis = 1;
    s.base.protectBelow = false;
    s.base.planeMillimetres = -2.5f;
    s.base.bandMillimetres = 0.75f;
    const JsonWriter writer = JsonWriter::NewDocument();
    WriteDisplacementSettings(writer, s);
    const nlohmann::json& j = *writer.Node();
    EXPECT_EQ(j["method"], "mesh");
    EXPECT_EQ(j["midLevelMode"], "automatic");
    EXPECT_EQ(j["direction"], "outward");
    EXPECT_EQ(j["outsideRule"], "all");
    EXPECT_EQ(j["midLevel"].get<double>(), 0.1);
    EXPECT_EQ(j["base"]["axis"], 1);
    EXPECT_TRUE(j["base"]["axis"].is_number_integer());
    std::vector<std::string> expected = {"method",         "strengthMillimetres", "midLevel",
                                         "midLevelMode",   "direction",           "invert",
                                         "outsideRule",    "limitToClearance",    "mitreCreases",
                                         "preventFolds",   "maximumTiltDegrees",  "wallThresholdMillimetres",
                                         "checkThinWalls", "holdThinWalls",       "base"};
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
    std::sort(keys.begin(), keys.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(j["base"].size(), 5u);

    DisplacementSettings read;
    ReadDisplacementSettings(JsonReader(writer.document), read);
    EXPECT_TRUE(read == s);
}

TEST(DisplacementSettings, ReaderKeepsFieldsForUnknownWordsAndWrongTypes) {
    auto document = std::make_shared<nlohmann::json>(nlohmann::json::parse(R"({
        "method": "Mesh", "direction": "Outward", "midLevelMode": 1, "outsideRule": "any",
        "invert": 1, "preventFolds": false, "strengthMillimetres": 3, "midLevel": "0.2",
        "base": {"axis": 1.5, "planeMillimetres": 4.5, "protectBelow": "no"}
    })"));
    DisplacementSettings s;
    ReadDisplacementSettings(JsonReader(document), s);
    EXPECT_EQ(s.method, DisplacementMethod::Solid);
    EXPECT_EQ(s.direction, DisplacementDirection::Centred);
    EXPECT_EQ(s.midLevelMode, MidLevelMode::Manual);
    EXPECT_EQ(s.outsideRule, OutsideRule::Any);
    EXPECT_FALSE(s.invert);
    EXPECT_FALSE(s.preventFolds);
    EXPECT_FLOAT_EQ(s.strengthMillimetres, 3.0f);
    EXPECT_FLOAT_EQ(s.midLevel, 0.5f);
    EXPECT_EQ(s.base.axis, 2);
    EXPECT_FLOAT_EQ(s.base.planeMillimetres, 4.5f);
    EXPECT_TRUE(s.base.protectBelow);

    // A value without a word goes out as a number and is not read back.
    DisplacementSettings odd;
    odd.direction = static_cast<DisplacementDirection>(7);
    const JsonWriter writer = JsonWriter::NewDocument();
    WriteDisplacementSettings(writer, odd);
    EXPECT_EQ((*writer.Node())["direction"], 7);
    DisplacementSettings back;
    back.direction = DisplacementDirection::Inward;
    ReadDisplacementSettings(JsonReader(writer.document), back);
    EXPECT_EQ(back.direction, DisplacementDirection::Inward);
}

TEST(DisplacementReport, TextEndsEveryLineAndNamesEachNonZeroCount) {
    DisplacementReport r;
    r.totalVertices = 10;
    r.displacedVertices = 3;
    r.smallestOffset = -0.5f;
    r.largestOffset = 0.25f;
    r.relief = 0.75f;
    EXPECT_EQ(FormatDisplacementReport(r),
              "Displaced 3 of 10 vertices, -0.5000 to 0.2500 mm, relief 0.7500 mm, mid-level 0.5000\n");

    r.notMovedInward = 4;
    EXPECT_EQ(FormatDisplacementReport(r),
              "Displaced 3 of 10 vertices, -0.5000 to 0.2500 mm, relief 0.7500 mm, mid-level 0.5000\n"
              "  4 vertices not moved inward: the wall under them would have gone below the threshold\n");

    r.trianglesTurningOver = 6;
    r.foldRounds = 2;
    r.foldVertices = 5;
    r.foldFurtherThanBefore = 1;
    r.foldPastClearance = 0;
    r.trianglesLeftTurned = 2;
    r.keptLevelAtBase = 7;
    r.cutShortByClearance = 9;
    r.stages = {{"Sampling the map", 12.4}, {"Moving", 3.6}};
    EXPECT_EQ(FormatDisplacementReport(r),
              "Displaced 3 of 10 vertices, -0.5000 to 0.2500 mm, relief 0.7500 mm, mid-level 0.5000"
              "; 6 triangles turning over eased in 2 round(s) (5 vertices, 1 now further than before, "
              "0 past their clearance), 2 left; 7 kept level at the base; 9 cut short by clearance\n"
              "    stages: Sampling the map 12 ms; Moving 4 ms;\n"
              "  4 vertices not moved inward: the wall under them would have gone below the threshold\n");
}

TEST(DisplacementStageTimer, AddsToAStageMetAgain) {
    std::vector<StageTime> stages;
    DisplacementStageTimer timer(stages);
    timer.Begin("a");
    timer.Begin("b");
    timer.Begin("a");
    timer.Begin("");
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(stages[0].name, "a");
    EXPECT_EQ(stages[1].name, "b");
    EXPECT_GE(stages[0].milliseconds, 0.0);
}

}  // namespace
}  // namespace ridgeforge::mesh
