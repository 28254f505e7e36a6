#include <cmath>

#include <gtest/gtest.h>

#include "textures/procedural/DotsTexture.h"
#include "textures/procedural/KnurlTexture.h"
#include "textures/procedural/NearestHexCenter.h"
#include "textures/procedural/TreadPlateTexture.h"
#include "tests/textures/procedural/PatternTestSupport.h"

namespace ridgeforge::mesh::procedural {
namespace {

TEST(NearestHexCenter, PicksTheCloserSubLatticeAndPrefersTheFirstOnTies) {
    const HexCenter origin = NearestHexCenter(0.1f, 0.2f);
    EXPECT_EQ(origin.subLattice, 0);
    EXPECT_FLOAT_EQ(origin.offsetX, 0.1f);
    const HexCenter shifted = NearestHexCenter(kSqrt3 / 2 + 0.05f, 1.5f);
    EXPECT_EQ(shifted.subLattice, 1);
    EXPECT_EQ(shifted.column, 0);
    EXPECT_EQ(shifted.row, 0);
    EXPECT_NEAR(shifted.offsetX, 0.05f, 1e-5f);
    // Every point lies within the circumradius of its nearest centre.
    for (float x = -4.0f; x < 4.0f; x += 0.37f) {
        for (float y = -4.0f; y < 4.0f; y += 0.41f) {
            const HexCenter h = NearestHexCenter(x, y);
            EXPECT_LE(std::hypot(h.offsetX, h.offsetY), 1.0f + 1e-5f);
        }
    }
}

TEST(DotsTexture, LayoutsPlateAndProfiles) {
    DotsTexture dots = WithDefaults<DotsTexture>();
    // Default: hexagonal, 8 across, 5 double rows; the plate between dots is 0.
    EXPECT_EQ(dots.NeutralHeight(), 0.0f);
    EXPECT_NEAR(dots.DotAt(0.0f, 0.0f), 0.0f, 1e-5f);  // a centre sits on the tile corner
    // A dot centre is at full height (dome, softness rounds only the rim).
    EXPECT_NEAR(dots.Sample(0.0f, 0.0f), 1.0f, 1e-5f);

    // Square layout, size 1: neighbours in a row and a column touch at the cell edge.
    dots.SetValue("layout", 0);
    dots.SetValue("size", 1.0f);
    EXPECT_NEAR(dots.DotAt(0.0f, 1.0f / 16.0f), 0.5f, 1e-5f);
    EXPECT_NEAR(dots.DotAt(1.0f / 16.0f, 0.0f), 0.5f, 1e-5f);

    // Staggered with one dot across rounds up to two rows, the second shifted by half.
    dots.SetValue("layout", 1);
    dots.SetValue("count", 1);
    EXPECT_NEAR(dots.DotAt(0.5f, 0.25f), 0.0f, 1e-5f);
    EXPECT_NEAR(dots.DotAt(0.0f, 0.75f), 0.0f, 1e-5f);

    // Cylinder with no softness is a flat disc with a sharp rim; on the rim is plate.
    dots.SetValue("layout", 0);
    dots.SetValue("count", 1);
    dots.SetValue("shape", 3);
    dots.SetValue("softness", 0);
    dots.SetValue("size", 0.5f);
    EXPECT_EQ(dots.Sample(0.5f + 0.24f, 0.5f), 1.0f);
    EXPECT_EQ(dots.Sample(0.5f + 0.25f, 0.5f), 0.0f);

    dots.SetValue("contrast", 0);
    EXPECT_EQ(dots.Sample(0.5f, 0.5f), 0.5f);
    EXPECT_EQ(dots.NeutralHeight(), 0.5f);
}

TEST(KnurlTexture, SlopeRidgesAndFlatTops) {
    KnurlTexture knurl = WithDefaults<KnurlTexture>();
    EXPECT_EQ(knurl.DiamondSlope(), 14);  // round(tan 30 deg x 24)
    EXPECT_EQ(knurl.NeutralHeight(), 1.0f);
    knurl.SetValue("angle", 10);
    knurl.SetValue("grooves", 2);
    EXPECT_EQ(knurl.DiamondSlope(), 1);

    knurl.SetValue("kind", 1);
    knurl.SetValue("grooves", 24);
    EXPECT_NEAR(knurl.Sample(1.0f / 24.0f, 0.3f), 0.0f, 1e-4f);
    EXPECT_NEAR(knurl.Sample(1.5f / 24.0f, 0.7f), 1.0f, 1e-4f);

    // Cut at 0.2: any point whose ridge height reaches 0.2 is at the top.
    knurl.SetValue("flat", 0.8f);
    EXPECT_NEAR(knurl.Sample(1.2f / 24.0f, 0.5f), 1.0f, 1e-4f);
    EXPECT_NEAR(knurl.Sample(1.05f / 24.0f, 0.5f), 0.5f, 2e-3f);
}

TEST(TreadPlateTexture, EvenCountAlternatingBars) {
    TreadPlateTexture plate = WithDefaults<TreadPlateTexture>();
    plate.SetValue("count", 7);  // rounded up to 8 bars across
    const float cell = 1.0f / 8.0f;
    EXPECT_NEAR(plate.Sample(0.5f * cell, 0.5f * cell), 1.0f, 1e-5f);  // a bar's centre
    // A point on the (+) diagonal of cell (0, 0) is inside its bar; in cell (1, 0) the
    // bar runs the other way, so the mirrored point is inside and the same point is not.
    const float d = 0.3f * cell;
    EXPECT_GT(plate.Sample(0.5f * cell + d, 0.5f * cell + d), 0.0f);
    EXPECT_EQ(plate.Sample(1.5f * cell + d, 0.5f * cell + d), 0.0f);
    EXPECT_GT(plate.Sample(1.5f * cell + d, 0.5f * cell - d), 0.0f);
    EXPECT_EQ(plate.Sample(0.02f * cell, 0.98f * cell), 0.0f);
    EXPECT_EQ(plate.NeutralHeight(), 0.0f);
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
