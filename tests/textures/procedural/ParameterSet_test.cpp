#include "textures/procedural/ParameterSet.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "mesh/Json.h"
#include "text/NumberText.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge;
using namespace ridgeforge::mesh::procedural;
using ridgeforge::test::CommaLocale;

namespace {

ParameterDefinition ToggleParameter(const char* key) {
    ParameterDefinition d;
    d.key = key;
    d.label = "Invert";
    d.kind = ParameterKind::Toggle;
    d.step = 1.0f;
    return d;
}

class TestSet : public ParameterSet {
public:
    const char* Name() const override { return "Test"; }
    const std::vector<ParameterDefinition>& Parameters() const override {
        static const std::vector<ParameterDefinition> table = {
            FloatParameter("scale", "Scale", 1.0f, 32.0f, 8.0f, "", 0.5f),
            IntegerParameter("detail", "Detail", -5, 10, 2, ""),
            FloatParameter("contrast", "Contrast", 0.0f, 4.0f, 1.0f, "", 0.1f),
            ChoiceParameter("mode", "Mode", {"Soft", "Hard", "Sharp"}, 1, ""),
            ToggleParameter("invert"),
            SeedParameter(),
        };
        return table;
    }
};

// One Float entry over the whole finite range, for round trips of any value.
class WideSet : public ParameterSet {
public:
    const char* Name() const override { return "Wide"; }
    const std::vector<ParameterDefinition>& Parameters() const override {
        static const std::vector<ParameterDefinition> table = {FloatParameter(
            "v", "V", -std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), 0.0f, "", 1.0f)};
        return table;
    }
};

std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

}  // namespace

TEST(ParameterSet, ClampsAndRoundsByKind) {
    TestSet set;
    set.ResetToDefaults();
    EXPECT_TRUE(set.SetValue("seed", 1234.0f));
    EXPECT_EQ(set.GetValue("seed"), 999.0f);
    set.SetValue("seed", -3.0f);
    EXPECT_EQ(set.GetValue("seed"), 0.0f);

    set.SetValue("detail", 3.5f);
    EXPECT_EQ(set.GetValue("detail"), 4.0f);
    set.SetValue("detail", -0.5f);
    EXPECT_EQ(set.GetValue("detail"), -1.0f);
    set.SetValue("detail", -2.5f);
    EXPECT_EQ(set.GetValue("detail"), -3.0f);

    set.SetValue("invert", 0.49f);
    EXPECT_EQ(set.GetValue("invert"), 0.0f);
    set.SetValue("invert", 0.5f);
    EXPECT_EQ(set.GetValue("invert"), 1.0f);

    set.SetValue("scale", 100.0f);
    EXPECT_EQ(set.GetValue("scale"), 32.0f);
    set.SetValue("scale", 2.25f);
    EXPECT_EQ(set.GetValue("scale"), 2.25f);  // floats are not rounded
    set.SetValue("scale", std::nanf(""));
    EXPECT_EQ(set.GetValue("scale"), 8.0f);
    set.SetValue("scale", 3.0f);
    set.SetValue("scale", std::numeric_limits<float>::infinity());
    EXPECT_EQ(set.GetValue("scale"), 8.0f);
    set.SetValue("scale", 3.0f);
    set.SetValue("scale", -std::numeric_limits<float>::infinity());
    EXPECT_EQ(set.GetValue("scale"), 8.0f);

    const std::vector<float> before = set.values;
    EXPECT_FALSE(set.SetValue("Scale", 5.0f));  // keys are case-sensitive
    EXPECT_FALSE(set.SetValue("nothing", 5.0f));
    EXPECT_EQ(set.values, before);

    const ParameterDefinition choice = ChoiceParameter("c", "C", {"a", "b", "c"}, 2, "");
    EXPECT_EQ(choice.minimum, 0.0f);
    EXPECT_EQ(choice.maximum, 2.0f);
    EXPECT_EQ(choice.Clamp(7.0f), 2.0f);
    const ParameterDefinition seed = SeedParameter();
    EXPECT_EQ(seed.key, "seed");
    EXPECT_EQ(seed.kind, ParameterKind::Integer);
    EXPECT_EQ(seed.maximum, 999.0f);
}

TEST(ParameterSet, ReadsFallBackToDefaultsUntilFilled) {
    TestSet set;
    ASSERT_TRUE(set.values.empty());
    EXPECT_EQ(set.GetValue("scale"), 8.0f);
    EXPECT_EQ(set.GetValue("mode"), 1.0f);
    EXPECT_EQ(set.GetValue("bogus"), 0.0f);
    EXPECT_TRUE(set.values.empty()) << "a read must never size the values";

    // The first write fills every other entry with its default.
    set.SetValue("contrast", 2.0f);
    ASSERT_EQ(set.values.size(), set.Parameters().size());
    EXPECT_EQ(set.GetValue("contrast"), 2.0f);
    EXPECT_EQ(set.GetValue("scale"), 8.0f);
    EXPECT_EQ(set.GetValue("detail"), 2.0f);
}

TEST(ParameterSet, ParseChangesOnlyWellFormedKnownLines) {
    TestSet set;
    set.ResetToDefaults();
    const std::vector<float> before = set.values;
    set.ParseValues("scale=7\nbogus=3\nnoequals\n=1\ndetail=abc\ncontrast= 1.5\r\n");
    EXPECT_EQ(set.GetValue("scale"), 7.0f);
    EXPECT_EQ(set.GetValue("contrast"), 1.5f);
    for (std::size_t i : {1u, 3u, 4u, 5u}) EXPECT_EQ(set.values[i], before[i]) << set.Parameters()[i].key;

    // Keys are not trimmed; "nan" becomes the default; a value is clamped.
    set.ParseValues(" scale=3\nseed=nan\ndetail=1e9\n\n\n");
    EXPECT_EQ(set.GetValue("scale"), 7.0f);
    EXPECT_EQ(set.GetValue("seed"), 0.0f);
    EXPECT_EQ(set.GetValue("detail"), 10.0f);
}

TEST(ParameterSet, FormatThenParseIsBitExact) {
    TestSet set;
    set.ResetToDefaults();
    set.SetValue("scale", 0.7f + 6.0f);
    set.SetValue("contrast", 0.1f);
    EXPECT_EQ(set.FormatValues(), "scale=6.69999981\ndetail=2\ncontrast=0.100000001\nmode=1\ninvert=0\nseed=0\n");

    WideSet a;
    a.ResetToDefaults();
    WideSet b;
    std::mt19937 random(7);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::uint32_t bits = random();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (!std::isfinite(f)) continue;
        a.SetValue("v", f);
        // The same text as "%.9g" gives in the C locale (the test runs in it).
        char expected[64];
        std::snprintf(expected, sizeof expected, "v=%.9g\n", static_cast<double>(f));
        ASSERT_EQ(a.FormatValues(), expected);
        b.ParseValues(a.FormatValues());
        ASSERT_EQ(Bits(b.GetValue("v")), Bits(f)) << a.FormatValues();
        ++checked;
    }
    EXPECT_GT(checked, 19000);
    for (float f : {0.7f, 6.0f, -0.0f, std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max()}) {
        a.SetValue("v", f);
        b.ParseValues(a.FormatValues());
        EXPECT_EQ(Bits(b.GetValue("v")), Bits(f));
    }
}

TEST(ParameterSet, NumberTextIgnoresACommaDecimalLocale) {
    CommaLocale locale;
    if (!locale.Active()) GTEST_SKIP() << "no comma-decimal locale available and localedef failed";

    TestSet set;
    set.ResetToDefaults();
    set.SetValue("scale", 6.7f);
    set.SetValue("contrast", 0.1f);
    const std::string text = set.FormatValues();
    EXPECT_NE(text.find("scale=6.69999981\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(','), std::string::npos);

    TestSet copy;
    copy.ParseValues(text);
    EXPECT_EQ(Bits(copy.GetValue("scale")), Bits(6.7f));
    EXPECT_EQ(Bits(copy.GetValue("contrast")), Bits(0.1f));
    EXPECT_EQ(copy.Describe(), "Test: Scale 6.70, Detail 2, Contrast 0.10, Mode Hard, Invert off, Seed 0");
}

TEST(ParameterSet, NumberPrefixReadsAsStrtodDoesInTheCLocale) {
    for (const char* text : {"1.5",
                             "  -2.25e3xyz",
                             "+4",
                             "\t7\r",
                             ".5",
                             "5.",
                             "1e",
                             "1e+",
                             "-0",
                             "inf",
                             "-Infinity",
                             "nan",
                             "NAN(123)",
                             "0x1p4",
                             "0x",
                             "-0x1.8",
                             "1e400",
                             "-1e400",
                             "1e-400",
                             "1234e-330",
                             "0.0000000000000000000000000000001e-300",
                             "abc",
                             "",
                             " ",
                             "+-1",
                             "-+1",
                             "- 1",
                             "e5"}) {
        char* end = nullptr;
        const double expected = std::strtod(text, &end);
        const bool read = end != text;
        const std::optional<double> got = ParseNumberPrefix(text);
        ASSERT_EQ(got.has_value(), read) << "'" << text << "'";
        if (!read) continue;
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(*got)) << text;
        } else {
            EXPECT_EQ(*got, expected) << text;
            EXPECT_EQ(std::signbit(*got), std::signbit(expected)) << text;
        }
    }
}

TEST(ParameterSet, DescribeShowsEachKindItsWay) {
    TestSet set;
    set.ResetToDefaults();
    set.SetValue("scale", 1.5f);
    set.SetValue("invert", 1.0f);
    set.SetValue("seed", 12.0f);
    EXPECT_EQ(set.Describe(), "Test: Scale 1.50, Detail 2, Contrast 1.00, Mode Hard, Invert on, Seed 12");

    set.values[3] = 7.0f;  // past the last label: the index itself
    EXPECT_NE(set.Describe().find("Mode 7,"), std::string::npos) << set.Describe();
    set.values[3] = -2.0f;  // negative: the first label
    EXPECT_NE(set.Describe().find("Mode Soft,"), std::string::npos) << set.Describe();
}

TEST(ParameterSet, JsonTakesOnlyMembersOfTheRightType) {
    TestSet set;
    set.ResetToDefaults();
    set.SetValue("scale", 0.1f * 30.0f);
    set.SetValue("mode", 2.0f);
    set.SetValue("invert", 1.0f);
    JsonWriter writer = JsonWriter::NewDocument();
    writer.SetString("other", "kept");
    set.ToJson(writer);
    const nlohmann::json& root = *writer.document;
    EXPECT_TRUE(root["scale"].is_number_float());
    EXPECT_EQ(root["scale"].get<double>(), JsonNumberFromFloat(0.1f * 30.0f));
    EXPECT_TRUE(root["detail"].is_number_integer());
    EXPECT_EQ(root["mode"].get<int>(), 2);
    EXPECT_EQ(root["invert"], true);
    EXPECT_EQ(root["other"], "kept");

    TestSet back;
    back.ResetToDefaults();
    back.FromJson(JsonReader(writer.document));
    EXPECT_EQ(back.values, set.values);

    auto document = std::make_shared<nlohmann::json>(nlohmann::json::parse(
        R"({"invert": 1, "detail": 2.6, "scale": "12", "contrast": null, "mode": -4, "seed": 5000000000})"));
    TestSet typed;
    typed.ResetToDefaults();
    typed.SetValue("invert", 1.0f);
    typed.SetValue("scale", 5.0f);
    typed.FromJson(JsonReader(document));
    EXPECT_EQ(typed.GetValue("invert"), 1.0f) << "a number is not a toggle";
    EXPECT_EQ(typed.GetValue("detail"), 3.0f);
    EXPECT_EQ(typed.GetValue("scale"), 5.0f);
    EXPECT_EQ(typed.GetValue("contrast"), 1.0f);
    EXPECT_EQ(typed.GetValue("mode"), 0.0f);
    EXPECT_EQ(typed.GetValue("seed"), 999.0f);

    typed.FromJson(JsonReader());  // an empty reader changes nothing
    EXPECT_EQ(typed.GetValue("detail"), 3.0f);
}
