#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "textures/procedural/HexLines.h"
#include "textures/procedural/HexTruchetTexture.h"
#include "textures/procedural/PenroseTilesTexture.h"
#include "textures/procedural/TruchetTexture.h"
#include "textures/procedural/WireMeshTexture.h"
#include "tests/textures/procedural/PatternTestSupport.h"

namespace ridgeforge::mesh::procedural {
namespace {

TEST(TruchetTexture, CornersLayoutsAndSeeds) {
    TruchetTexture truchet = WithDefaults<TruchetTexture>();
    truchet.SetValue("cells", 3);  // 4 cells each way
    truchet.SetValue("layout", 0);
    // Cell (0, 0) is not turned: its corner (0, 0) is a ring centre at full height.
    EXPECT_NEAR(truchet.Sample(1e-5f, 1e-5f), 1.0f, 1e-3f);
    // Cell (1, 0) is turned: the same local corner is midway between ring centres.
    const float quarter = 0.25f;
    EXPECT_NEAR(truchet.Sample(quarter + 0.001f, 0.001f), truchet.Sample(quarter + 0.249f, 0.001f), 0.05f);

    // Width 1 shows the whole wave.
    truchet.SetValue("width", 1.0f);
    truchet.SetValue("rings", 1);
    EXPECT_NEAR(truchet.Sample(0.0625f, 1e-6f), 0.5f, 1e-3f);  // d = 1/4 of a ring spacing
    EXPECT_NEAR(truchet.Sample(0.125f, 1e-6f), 0.0f, 1e-3f);   // midway between rings

    // Scattered layouts of different seeds differ.
    truchet.SetValue("layout", 1);
    TruchetTexture other = truchet;
    other.SetValue("seed", 1);
    int differences = 0;
    for (int i = 0; i < 64; ++i) {
        const float u = (static_cast<float>(i % 8) + 0.3f) / 8.0f, v = (static_cast<float>(i / 8) + 0.6f) / 8.0f;
        if (std::fabs(truchet.Sample(u, v) - other.Sample(u, v)) > 1e-3f) ++differences;
    }
    EXPECT_GT(differences, 0);
}

TEST(HexLines, GridRowsAndProfiles) {
    EXPECT_EQ(HexDoubleRows(1), 1);
    EXPECT_EQ(HexDoubleRows(7), 4);
    EXPECT_EQ(LineProfile(0.3f, 1), 1.0f);
    EXPECT_EQ(LineProfile(0.9f, 1), 1.0f);
    EXPECT_NEAR(LineProfile(0.15f, 1), 0.5f, 1e-6f);
    EXPECT_NEAR(LineProfile(0.5f, 0), 0.5f, 1e-6f);

    HexTruchetTexture hex = WithDefaults<HexTruchetTexture>();
    hex.SetValue("profile", 1);
    for (float u = 0.0f; u < 1.0f; u += 0.0371f) {
        const float h = hex.Sample(u, 0.413f);
        EXPECT_TRUE(h == 0.0f || h == 1.0f || (h > 0.0f && h < 1.0f));
    }
}

TEST(WireMeshTexture, EdgesCentresAndJunctionOpenings) {
    WireMeshTexture wire = WithDefaults<WireMeshTexture>();
    wire.SetValue("hexes", 1);
    // n = 1, m = 1: the point (sqrt3/2, 0) of the hex plane is on an edge of the hexagon at the origin.
    const float uEdge = 0.5f;  // x = u sqrt3 = sqrt3/2
    EXPECT_NEAR(wire.Sample(uEdge, 0.0f), 1.0f, 1e-4f);
    EXPECT_NEAR(wire.Sample(0.0f, 0.0f), 0.0f, 1e-6f);
    // Round holes: the three-way junction (0, 1) lies at q = 1, open for width 0.12, closed for 0.15.
    wire.SetValue("roundness", 1.0f);
    const float vCorner = 1.0f / 3.0f;  // y = 3 v = 1
    EXPECT_EQ(wire.Sample(0.0f, vCorner), 0.0f);
    wire.SetValue("width", 0.15f);
    EXPECT_GT(wire.Sample(0.0f, vCorner), 0.0f);
}

TEST(PenroseTilesTexture, DeterministicKindsAndBevel) {
    PenroseTilesTexture tiles = WithDefaults<PenroseTilesTexture>();
    std::set<std::int32_t> kinds;
    for (int i = 0; i < 400; ++i) {
        float x = (static_cast<float>(i % 20) + 0.5f) / 20.0f * 0.64f + 0.489017f;
        float y = (static_cast<float>(i / 20) + 0.5f) / 20.0f * 0.64f - 0.32f;
        const std::int32_t kind = PenroseTilesTexture::LocateTile(x, y, 6);
        ASSERT_GE(kind, 0);
        ASSERT_LE(kind, 3);
        kinds.insert(kind);
    }
    EXPECT_EQ(kinds.size(), 4u);

    const float h = tiles.Sample(0.37f, 0.61f);
    EXPECT_EQ(tiles.Sample(0.37f, 0.61f), h);
    // "thin" 1 sinks every thin tile to 0; "thin" 0 leaves the kinds level.
    tiles.SetValue("thin", 1.0f);
    tiles.SetValue("contrast", 1.0f);
    for (int i = 0; i < 100; ++i) {
        const float u = (static_cast<float>(i % 10) + 0.5f) / 10.0f, v = (static_cast<float>(i / 10) + 0.5f) / 10.0f;
        float x = (u - 0.5f) * 0.64f + 0.809017f, y = (v - 0.5f) * 0.64f;
        if (PenroseTilesTexture::LocateTile(x, y, 6) >= 2) {
            EXPECT_EQ(tiles.Sample(u, v), 0.0f);
        }
    }
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
