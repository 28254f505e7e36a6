#include "textures/procedural/TextureRegistry.h"

#include <gtest/gtest.h>

namespace ridgeforge::mesh::procedural {
namespace {

TEST(TextureRegistry, NamesRoundTripAndExactMatchOnly) {
    const std::vector<std::string> names = TextureNames();
    ASSERT_EQ(names.size(), 25u);
    EXPECT_EQ(names.front(), "Noise");
    EXPECT_EQ(names.back(), "Leather");
    for (const std::string& name : names) {
        const auto texture = CreateTexture(name);
        ASSERT_NE(texture, nullptr) << name;
        EXPECT_EQ(std::string(texture->Name()), name);
        const auto& table = texture->Parameters();
        ASSERT_FALSE(table.empty());
        EXPECT_EQ(table.back().key, "invert") << name;
        ASSERT_EQ(texture->values.size(), table.size()) << name;
        for (std::size_t i = 0; i < table.size(); ++i) {
            EXPECT_EQ(texture->values[i], table[i].Clamp(table[i].defaultValue)) << name << " " << table[i].key;
        }
        const bool aperiodic = name == "Penrose" || name == "Penrose Tiles";
        EXPECT_EQ(texture->tileable, !aperiodic) << name;
    }
    EXPECT_EQ(CreateTexture("noise"), nullptr);
    EXPECT_EQ(CreateTexture("Noise "), nullptr);
    EXPECT_EQ(CreateTexture(""), nullptr);
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
