#include "textures/procedural/ProceduralTexture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

namespace ridgeforge::mesh::procedural {
namespace {

// A pattern whose heights the test chooses, recording where it was asked.
class FakeTexture : public ProceduralTexture {
public:
    enum class Shape { Constant, U, V };
    explicit FakeTexture(float value, Shape shape = Shape::Constant) : value_(value), shape_(shape) {}

    const char* Name() const override { return "Fake"; }
    const std::vector<ParameterDefinition>& OwnParameters() const override {
        static const std::vector<ParameterDefinition> table = {
            FloatParameter("level", "Level", 0.0f, 1.0f, 0.25f, "", 0.01f)};
        return table;
    }
    float Sample(float u, float v) const override {
        {
            std::lock_guard lock(mutex_);
            calls_.emplace_back(u, v);
        }
        switch (shape_) {
            case Shape::U:
                return u;
            case Shape::V:
                return v;
            default:
                return value_;
        }
    }
    float NeutralHeight() const override { return neutral; }

    float neutral = 0.5f;
    std::vector<std::pair<float, float>> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    float value_;
    Shape shape_;
    mutable std::mutex mutex_;
    mutable std::vector<std::pair<float, float>> calls_;
};

TEST(ProceduralTexture, RenderSamplesPixelCentresRowMajorTopRowFirst) {
    FakeTexture tiny(0.3f);
    tiny.ResetToDefaults();
    const std::vector<float> one = tiny.RenderHeightMap(0, -3);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_FLOAT_EQ(one[0], 0.3f);
    ASSERT_EQ(tiny.Calls().size(), 1u);
    EXPECT_FLOAT_EQ(tiny.Calls()[0].first, 0.5f);
    EXPECT_FLOAT_EQ(tiny.Calls()[0].second, 0.5f);

    FakeTexture byV(0.0f, FakeTexture::Shape::V);
    byV.ResetToDefaults();
    const std::vector<float> column = byV.RenderHeightMap(1, 2);
    ASSERT_EQ(column.size(), 2u);
    EXPECT_FLOAT_EQ(column[0], 0.75f);
    EXPECT_FLOAT_EQ(column[1], 0.25f);

    FakeTexture byU(0.0f, FakeTexture::Shape::U);
    byU.ResetToDefaults();
    const std::vector<float> grid = byU.RenderHeightMap(4, 3);
    ASSERT_EQ(grid.size(), 12u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_FLOAT_EQ(grid[y * 4 + x], (x + 0.5f) / 4.0f) << x << "," << y;
    EXPECT_EQ(byU.Calls().size(), 12u);
}

TEST(ProceduralTexture, InvertAndClampingOfSamples) {
    struct Case {
        float sample;
        float plain;
        float inverted;
    };
    const Case cases[] = {
        {0.2f, 0.2f, 0.8f},
        {1.7f, 1.0f, 0.0f},
        {-0.4f, 0.0f, 1.0f},
        {std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f},
        {std::numeric_limits<float>::infinity(), 0.0f, 1.0f},
    };
    for (const Case& c : cases) {
        FakeTexture texture(c.sample);
        texture.ResetToDefaults();
        const std::vector<float> plain = texture.RenderHeightMap(3, 2);
        ASSERT_TRUE(texture.SetValue("invert", 1.0f));
        const std::vector<float> inverted = texture.RenderHeightMap(3, 2);
        ASSERT_EQ(plain.size(), 6u);
        ASSERT_EQ(inverted.size(), 6u);
        for (float h : plain) EXPECT_FLOAT_EQ(h, c.plain) << c.sample;
        for (float h : inverted) EXPECT_FLOAT_EQ(h, c.inverted) << c.sample;
    }
}

TEST(ProceduralTexture, SharedInvertEntryAndNeutralHeight) {
    FakeTexture texture(0.0f);
    texture.ResetToDefaults();
    const auto& table = texture.Parameters();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].key, "level");
    EXPECT_EQ(table[1].key, "invert");
    EXPECT_EQ(table[1].kind, ParameterKind::Toggle);
    EXPECT_EQ(table[1].defaultValue, 0.0f);
    EXPECT_EQ(&texture.Parameters(), &table);  // built once, then reused
    ASSERT_EQ(texture.values.size(), 2u);
    EXPECT_FLOAT_EQ(texture.values[0], 0.25f);
    EXPECT_EQ(texture.values[1], 0.0f);

    EXPECT_FLOAT_EQ(texture.EffectiveNeutralHeight(), 0.5f);
    texture.SetValue("invert", 1.0f);
    EXPECT_FLOAT_EQ(texture.EffectiveNeutralHeight(), 0.5f);
    texture.neutral = 0.2f;
    EXPECT_FLOAT_EQ(texture.EffectiveNeutralHeight(), 0.8f);
    texture.neutral = 3.0f;
    EXPECT_FLOAT_EQ(texture.EffectiveNeutralHeight(), 0.0f);
    texture.neutral = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FLOAT_EQ(texture.EffectiveNeutralHeight(), 1.0f);
    texture.SetValue("invert", 0.0f);
    EXPECT_FLOAT_EQ(texture.EffectiveNeutralHeight(), 0.0f);
}

// A 32-bit product of the sizes would wrap (65536 x 65536 is 0 in 32 bits)
// and the render would write far past a tiny grid; the 64-bit count refuses
// what cannot be held instead.
TEST(ProceduralTexture, OversizedRenderIsRefusedNotWrapped) {
    EXPECT_EQ(RenderCellCount(65536, 65536), 1ull << 32);
    EXPECT_EQ(RenderCellCount(INT_MAX, INT_MAX), static_cast<std::uint64_t>(INT_MAX) * INT_MAX);
    EXPECT_EQ(RenderCellCount(-5, 7), 7u);

    FakeTexture texture(0.5f);
    texture.ResetToDefaults();
    const std::string problem = RenderSizeProblem(INT_MAX, INT_MAX);
    EXPECT_NE(problem.find("2,147,483,647 x 2,147,483,647"), std::string::npos) << problem;
    EXPECT_TRUE(texture.RenderHeightMap(INT_MAX, INT_MAX).empty());
    EXPECT_TRUE(texture.RenderHeightMap(1 << 20, 1 << 20).empty());  // 4 TiB
    EXPECT_TRUE(texture.Calls().empty());

    EXPECT_EQ(RenderSizeProblem(4096, 4096), "");
    EXPECT_EQ(texture.RenderHeightMap(16, 16).size(), 256u);
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
