#include "textures/procedural/Noise.h"

#include <climits>

#include <cmath>
#include <limits>
#include <set>

#include <gtest/gtest.h>

#include "textures/procedural/NoiseDetail.h"

using namespace ridgeforge::mesh::procedural;

TEST(Noise, LatticeHashIsTheLookup3FinalMix) {
    // Reference values from an independent implementation of the mix.
    EXPECT_EQ(LatticeHash(0, 0, 0), 0x9c6eedfbu);
    EXPECT_EQ(LatticeHash(1, 2, 3), 0xb8d17a0au);
    EXPECT_EQ(LatticeHash(0xFFFFFFFFu, 5, 999), 0x7cf4547bu);
    EXPECT_EQ(LatticeHash(123456, 654321, 0x9E3779B9u), 0x5f195212u);
    EXPECT_NE(LatticeHash(1, 2, 3), LatticeHash(2, 1, 3));
}

TEST(Noise, FastPathsAgreeWithTheirPlainForms) {
    // Four hashes side by side: each lane must be the one-at-a-time mix,
    // with corners that differ in every lane and in the top bit.
    const std::uint32_t xs[4] = {0u, 1u, 0xFFFFFFFFu, 123456u};
    const std::uint32_t ys[4] = {0u, 2u, 5u, 654321u};
    for (std::uint32_t seed : {0u, 3u, 999u, 0x9E3779B9u}) {
        std::uint32_t h[4];
        detail::LatticeHash4(xs, ys, seed, h);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(h[k], LatticeHash(xs[k], ys[k], seed)) << "lane " << k;
    }
    std::uint32_t h[4];
    detail::LatticeHash4(xs, ys, 3u, h);
    EXPECT_EQ(h[1], 0xb8d17a0au);

    // Wrapping without a division on both sides of each end of the period.
    EXPECT_EQ(WrapIndex(0, 5), 0);
    EXPECT_EQ(WrapIndex(4, 5), 4);
    EXPECT_EQ(WrapIndex(5, 5), 0);
    EXPECT_EQ(WrapIndex(-1, 5), 4);
    EXPECT_EQ(WrapIndex(-5, 5), 0);
    EXPECT_EQ(WrapIndex(-6, 5), 4);
    EXPECT_EQ(WrapIndex(INT32_MIN, 7), 5);  // -2^31 = -306783379 * 7 + 5
    EXPECT_EQ(WrapIndex(3, 0), 0);
    EXPECT_EQ(detail::Wrap(2, -3, 5), 4u);
    EXPECT_EQ(detail::Wrap(2, 2, 5), 4u);
    EXPECT_EQ(detail::Wrap(2, 3, 5), 0u);
    EXPECT_EQ(detail::Wrap(INT32_MAX, 2, 10), 9u);  // 2^31 + 1 = 2147483649, past 32 bits

    // The value-only gradient noise is the derivatives form's value to the bit.
    for (int i = 0; i < 200; ++i) {
        const float x = -7.3f + 0.173f * static_cast<float>(i), y = 11.9f - 0.091f * static_cast<float>(i);
        float dx = 0.0f, dy = 0.0f;
        EXPECT_EQ(PeriodicNoise(x, y, 6, 9, 41u), PeriodicNoiseDerivatives(x, y, 6, 9, 41u, dx, dy));
    }
}

TEST(Noise, PeriodicNoiseRepeatsAndVanishesOnTheLattice) {
    for (std::uint32_t seed : {0u, 17u, 999u}) {
        for (int i = -9; i <= 9; ++i) {
            for (int j = -9; j <= 9; ++j) {
                const float x = i * 0.37f + 0.11f, y = j * 0.29f - 0.05f;
                const float n = PeriodicNoise(x, y, 4, 4, seed);
                EXPECT_NEAR(PeriodicNoise(x + 4.0f, y, 4, 4, seed), n, 1e-5f);
                EXPECT_NEAR(PeriodicNoise(x, y - 8.0f, 4, 4, seed), n, 1e-5f);
                EXPECT_EQ(PeriodicNoise(static_cast<float>(i), static_cast<float>(j), 4, 4, seed), 0.0f);
                EXPECT_LE(std::fabs(n), 1.5f);
            }
        }
    }
    // A period below 1 is raised to 1.
    EXPECT_EQ(PeriodicNoise(0.3f, 0.6f, 0, -2, 5), PeriodicNoise(0.3f, 0.6f, 1, 1, 5));
    EXPECT_EQ(ValueNoise(0.3f, 0.6f, 0, -2, 5), ValueNoise(1.3f, 7.6f, 1, 1, 5));
    const float v = ValueNoise(2.25f, 1.75f, 3, 2, 9);
    EXPECT_NEAR(ValueNoise(2.25f + 3.0f, 1.75f - 2.0f, 3, 2, 9), v, 1e-6f);
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 1.0f);
}

TEST(Noise, DerivativesMatchFiniteDifferences) {
    const float h = 1e-3f;
    for (int k = 0; k < 40; ++k) {
        const float x = 0.13f + k * 0.173f, y = 0.71f - k * 0.119f;
        float dx = 0, dy = 0;
        const float n = PeriodicNoiseDerivatives(x, y, 5, 3, 42, dx, dy);
        EXPECT_EQ(n, PeriodicNoise(x, y, 5, 3, 42));
        EXPECT_NEAR(dx, (PeriodicNoise(x + h, y, 5, 3, 42) - PeriodicNoise(x - h, y, 5, 3, 42)) / (2 * h), 2e-2f);
        EXPECT_NEAR(dy, (PeriodicNoise(x, y + h, 5, 3, 42) - PeriodicNoise(x, y - h, 5, 3, 42)) / (2 * h), 2e-2f);

        for (float octaves : {0.0f, 2.0f, 1.6f}) {
            const float f = FractalNoiseDerivatives(x, y, 5, 3, octaves, 0.55f, 7, dx, dy);
            EXPECT_EQ(f, FractalNoise(x, y, 5, 3, octaves, 0.55f, 7));
            auto at = [&](float px, float py) { return FractalNoise(px, py, 5, 3, octaves, 0.55f, 7); };
            EXPECT_NEAR(dx, (at(x + h, y) - at(x - h, y)) / (2 * h), 5e-2f) << octaves;
            EXPECT_NEAR(dy, (at(x, y + h) - at(x, y - h)) / (2 * h), 5e-2f) << octaves;
        }
    }
}

TEST(Noise, GradientNoiseAndDerivativesFollowTheCornerRule) {
    // Worked out plainly from the corner hashes: each corner's gradient is
    // (+-1, +-2), or (+-2, +-1) when h AND 7 is 4 or more, signs from bits 0
    // and 1; corners blend with the quintic fade and everything scales by
    // 0.6616. Periods 5 and 3 differ, so swapped axes or periods show.
    auto fade = [](float t) { return ((6 * t - 15) * t + 10) * t * t * t; };
    auto fadeSlope = [](float t) { return 30 * t * t * (t - 1) * (t - 1); };
    for (std::uint32_t seed : {3u, 42u}) {
        for (int k = 0; k < 30; ++k) {
            const float x = -3.4f + k * 0.613f, y = 5.2f - k * 0.377f;
            const float fx0 = std::floor(x), fy0 = std::floor(y);
            const int ix = static_cast<int>(fx0), iy = static_cast<int>(fy0);
            const float fx = x - fx0, fy = y - fy0;
            float n[2][2], gx[2][2], gy[2][2];
            for (int i = 0; i < 2; ++i) {
                for (int j = 0; j < 2; ++j) {
                    const std::uint32_t h = LatticeHash(WrapIndex(ix + i, 5), WrapIndex(iy + j, 3), seed);
                    const float s0 = (h & 1) ? -1.0f : 1.0f, s1 = (h & 2) ? -2.0f : 2.0f;
                    const bool swap = (h & 7) >= 4;
                    gx[i][j] = swap ? s1 : s0;
                    gy[i][j] = swap ? s0 : s1;
                    n[i][j] = gx[i][j] * (fx - i) + gy[i][j] * (fy - j);
                }
            }
            const float ux = fade(fx), uy = fade(fy);
            auto blend = [&](float(&c)[2][2]) {
                return ((1 - ux) * c[0][0] + ux * c[1][0]) * (1 - uy) + ((1 - ux) * c[0][1] + ux * c[1][1]) * uy;
            };
            const float value = 0.6616f * blend(n);
            const float ddx =
                0.6616f * (blend(gx) + fadeSlope(fx) * ((n[1][0] - n[0][0]) * (1 - uy) + (n[1][1] - n[0][1]) * uy));
            const float ddy =
                0.6616f * (blend(gy) + fadeSlope(fy) * ((n[0][1] - n[0][0]) * (1 - ux) + (n[1][1] - n[1][0]) * ux));
            float dx = 0, dy = 0;
            EXPECT_NEAR(PeriodicNoise(x, y, 5, 3, seed), value, 1e-5f) << x << ", " << y;
            EXPECT_NEAR(PeriodicNoiseDerivatives(x, y, 5, 3, seed, dx, dy), value, 1e-5f);
            EXPECT_NEAR(dx, ddx, 1e-4f) << x << ", " << y;
            EXPECT_NEAR(dy, ddy, 1e-4f) << x << ", " << y;
        }
    }
}

TEST(Noise, PeriodicNoisesJoinAcrossTheTileEdge) {
    // Approaching the tile edge from inside and starting again past it must
    // meet: the corner at the period is the corner at 0. Periods 5 and 3
    // differ, so a period applied to the wrong axis shows as a jump.
    const float d = 1e-3f;
    for (int k = 0; k < 12; ++k) {
        const float t = 0.137f + k * 0.241f;  // crosses several lattice cells
        const float x = t * 5.0f / 3.0f, y = t;
        for (std::uint32_t seed : {1u, 77u}) {
            EXPECT_NEAR(ValueNoise(5 - d, y, 5, 3, seed), ValueNoise(d, y, 5, 3, seed), 1e-2f) << y;
            EXPECT_NEAR(ValueNoise(x, 3 - d, 5, 3, seed), ValueNoise(x, d, 5, 3, seed), 1e-2f) << x;
            EXPECT_NEAR(PeriodicNoise(5 - d, y, 5, 3, seed), PeriodicNoise(d, y, 5, 3, seed), 2e-2f) << y;
            EXPECT_NEAR(PeriodicNoise(x, 3 - d, 5, 3, seed), PeriodicNoise(x, d, 5, 3, seed), 2e-2f) << x;
            EXPECT_NEAR(FractalNoise(5 - d, y, 5, 3, 2.5f, 0.6f, seed), FractalNoise(d, y, 5, 3, 2.5f, 0.6f, seed),
                        5e-2f)
                << y;
            EXPECT_NEAR(FractalNoise(x, 3 - d, 5, 3, 2.5f, 0.6f, seed), FractalNoise(x, d, 5, 3, 2.5f, 0.6f, seed),
                        5e-2f)
                << x;
        }
    }
}

TEST(Noise, FractalOctavesBlendClampAndKeepThePeriod) {
    for (int k = 0; k < 30; ++k) {
        const float x = k * 0.31f, y = k * 0.17f + 0.4f;
        const float two = FractalNoise(x, y, 4, 4, 2.0f, 0.6f, 3);
        const float three = FractalNoise(x, y, 4, 4, 3.0f, 0.6f, 3);
        EXPECT_NEAR(FractalNoise(x, y, 4, 4, 2.5f, 0.6f, 3), (two + three) / 2, 1e-5f);
        EXPECT_EQ(FractalNoise(x, y, 4, 4, 20.0f, 0.6f, 3), FractalNoise(x, y, 4, 4, 15.0f, 0.6f, 3));
        EXPECT_NEAR(FractalNoise(x, y, 4, 4, 5.0f, 0.0f, 3), 0.5f + 0.5f * PeriodicNoise(x, y, 4, 4, 3), 1e-6f);
        EXPECT_EQ(FractalNoise(x, y, 4, 4, -3.0f, 0.6f, 3), FractalNoise(x, y, 4, 4, 0.0f, 0.6f, 3));
        // Every octave keeps the tile period.
        EXPECT_NEAR(FractalNoise(x + 4.0f, y - 4.0f, 4, 4, 4.7f, 0.6f, 3), FractalNoise(x, y, 4, 4, 4.7f, 0.6f, 3),
                    1e-4f);
    }
    EXPECT_TRUE(std::isfinite(FractalNoise(0.3f, 0.2f, 4, 4, std::nanf(""), std::nanf(""), 1)));
}

TEST(Noise, CellDistancesOnARegularGrid) {
    for (float x : {0.0f, 1.0f, 2.0f}) {
        for (float y : {0.0f, 1.0f, 4.0f}) {
            EXPECT_NEAR(CellDistances(x, y, 3, 0.0f, 0, 0, 1), 0.0f, 1e-6f);
            EXPECT_NEAR(CellDistances(x + 0.5f, y + 0.5f, 3, 0.0f, 0, 0, 1), 1.0f, 1e-6f);
        }
    }
    // Border distance: from (0.1, 0.1) the nearest bisectors are x = 0.5 and y = 0.5.
    EXPECT_NEAR(CellDistances(0.1f, 0.1f, 5, 0.0f, 0, 2, 1), 0.4f / 0.5f, 1e-5f);
    EXPECT_NEAR(CellDistances(0.5f, 0.5f, 5, 0.0f, 0, 2, 1), 0.0f, 1e-5f);
    // Manhattan and Chebyshev at the centre: 1 and 0.5 over their scales.
    EXPECT_NEAR(CellDistances(0.5f, 0.5f, 5, 0.0f, 1, 0, 1), 1.0f, 1e-6f);
    EXPECT_NEAR(CellDistances(0.5f, 0.5f, 5, 0.0f, 2, 0, 1), 1.0f, 1e-6f);
    // Second minus nearest is 0 where two points are equally near.
    EXPECT_NEAR(CellDistances(0.5f, 0.25f, 5, 0.0f, 0, 1, 1), 0.0f, 1e-6f);

    for (int k = 0; k < 40; ++k) {
        const float x = k * 0.123f, y = 2.0f - k * 0.077f;
        EXPECT_EQ(CellDistances(x, y, 1, 0.8f, 0, 0, 9), CellDistances(x, y, 3, 0.8f, 0, 0, 9));
        for (int mode = 0; mode <= 3; ++mode) {
            const float d = CellDistances(x, y, 4, 0.8f, 0, mode, 9);
            EXPECT_GE(d, 0.0f);
            EXPECT_LE(d, 1.0f);
            EXPECT_NEAR(CellDistances(x + 4.0f, y - 8.0f, 4, 0.8f, 0, mode, 9), d, 1e-4f) << mode;
        }
    }
}

TEST(Noise, UniformAndBlueNoiseCells) {
    // Softness 0: one value per cell, so at most cells^2 different values.
    std::set<float> seen;
    for (int i = 0; i < 80; ++i) {
        for (int j = 0; j < 80; ++j) seen.insert(UniformNoise(i * 0.05f, j * 0.05f, 4, 0.7f, 0.0f, 3));
    }
    EXPECT_LE(seen.size(), 16u);
    EXPECT_GT(seen.size(), 4u);
    for (int k = 0; k < 20; ++k) {
        const float x = k * 0.21f, y = k * 0.13f;
        EXPECT_EQ(UniformNoise(x, y, 0, 0.5f, 0.3f, 2), UniformNoise(x, y, 1, 0.5f, 0.3f, 2));
        const float soft = UniformNoise(x, y, 5, 0.5f, 0.6f, 2);
        EXPECT_GE(soft, 0.0f);
        EXPECT_LE(soft, 1.0f);
        EXPECT_NEAR(UniformNoise(x + 5.0f, y, 5, 0.5f, 0.6f, 2), soft, 1e-4f);
        const float blue = BlueNoise(x, y, 6, 0.4f, 2);
        EXPECT_GE(blue, 0.0f);
        EXPECT_LE(blue, 1.0f);
        EXPECT_NEAR(BlueNoise(x, y + 6.0f, 6, 0.4f, 2), blue, 1e-5f);
    }
    // Softness 0 takes the nearest lattice value.
    EXPECT_EQ(BlueNoise(2.3f, 4.8f, 8, 0.0f, 5), BlueLatticeValue(2, 5, 8, 5));
    EXPECT_EQ(BlueLatticeValue(-1, 3, 8, 5), BlueLatticeValue(7, 11, 8, 5));
}

TEST(Noise, SoftCellFieldIsSmallNearFeaturePoints) {
    // Randomness 0 puts every feature point on a cell corner.
    EXPECT_LT(SoftCellField(2.0f, 3.0f, 6, 2.0f, 0.0f, 1), 0.05f);
    const float centre = SoftCellField(2.5f, 3.5f, 6, 2.0f, 0.0f, 1);
    EXPECT_GT(centre, 0.3f);
    EXPECT_NEAR(SoftCellField(2.5f + 6.0f, 3.5f, 6, 2.0f, 0.0f, 1), centre, 1e-5f);
    // Whole and fractional falloffs give the same field through both power paths.
    EXPECT_NEAR(SoftCellField(1.3f, 0.4f, 5, 3.0f, 0.5f, 4), SoftCellField(1.3f, 0.4f, 5, 3.0000002f, 0.5f, 4), 1e-4f);
}

TEST(Noise, WavesClampsAndQuantize) {
    EXPECT_FLOAT_EQ(Wave(0.25f, 1), 0.25f);
    EXPECT_FLOAT_EQ(Wave(0.25f, 2), 0.5f);
    EXPECT_NEAR(Wave(0.25f, 0), 0.5f, 1e-6f);
    EXPECT_EQ(Wave(0.25f, 7), Wave(0.25f, 0));
    for (int kind = 0; kind <= 2; ++kind) {
        EXPECT_NEAR(Wave(3.0f, kind), 0.0f, 1e-6f) << kind;
        EXPECT_NEAR(Wave(-1.0f, kind), 0.0f, 1e-6f) << kind;
    }
    EXPECT_NEAR(Wave(0.5f, 0), 1.0f, 1e-6f);
    EXPECT_NEAR(Wave(0.5f, 2), 1.0f, 1e-6f);
    EXPECT_EQ(WaveNames, (std::vector<std::string>{"Sine", "Saw", "Triangle"}));

    EXPECT_EQ(Quantize(0.49f, 2), 0.0f);
    EXPECT_EQ(Quantize(0.5f, 2), 1.0f);
    EXPECT_EQ(Quantize(std::nanf(""), 5), 0.0f);
    EXPECT_EQ(Quantize(0.6f, 3), 0.5f);
    EXPECT_EQ(Clamp01(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(Contrast(0.75f, 2.0f), 1.0f);
    EXPECT_EQ(Contrast(0.6f, 0.5f), 0.55f);
}

TEST(Noise, BrickRowsShiftAndJointsFall) {
    // Offset half a brick on every second row: rows 0, 2, 4 and -2 are shifted.
    for (int row = -3; row <= 4; ++row) {
        const auto [joint, value] = BrickPattern(0.02f, row + 0.5f, 1.0f, 1.0f, 0.1f, 0.0f, 0.0f, 0.5f, 2, 100, 100, 1);
        const bool shifted = row % 2 == 0;
        EXPECT_EQ(joint, shifted ? 0.0f : 1.0f) << row;
        EXPECT_GE(value, 0.0f);
        EXPECT_LT(value, 1.0f);
    }
    // Hard joint: a step at d = mortar.
    auto joint = [](float d, float smoothness) {
        return BrickPattern(0.5f, d, 1.0f, 1.0f, 0.1f, smoothness, 0.0f, 0.0f, 1, 1, 1, 1).first;
    };
    EXPECT_EQ(joint(0.099f, 0.0f), 1.0f);
    EXPECT_EQ(joint(0.101f, 0.0f), 0.0f);
    // Smooth joint: from 1 at the edge to 0 at d = mortar, half way at the middle.
    EXPECT_EQ(joint(0.0f, 1.0f), 1.0f);
    EXPECT_NEAR(joint(0.05f, 1.0f), 0.5f, 1e-4f);
    EXPECT_LT(joint(0.08f, 1.0f), joint(0.03f, 1.0f));
    EXPECT_EQ(joint(0.1f, 1.0f), 0.0f);

    // Brick values repeat with the row and column periods.
    const float v = BrickPattern(1.5f, 2.5f, 1.0f, 1.0f, 0.1f, 0.0f, 0.0f, 0.0f, 1, 3, 4, 7).second;
    EXPECT_EQ(BrickPattern(5.5f, -0.5f, 1.0f, 1.0f, 0.1f, 0.0f, 0.0f, 0.0f, 1, 3, 4, 7).second, v);
}

TEST(Noise, PenroseReliefIsBoundedAndMirrorSymmetric) {
    EXPECT_FALSE(PenroseTiling(5.0f, 5.0f, 3, 0.05f, 0.1f, 0.2f).onTile);
    const float total = 0.05f + 0.1f + 0.2f;
    for (std::int32_t depth : {0, 1, 3, 6}) {
        float highest = 0.0f;
        int onTile = 0;
        for (int i = -20; i <= 20; ++i) {
            for (int j = -20; j <= 20; ++j) {
                const float x = i * 0.0391f + 0.0013f, y = j * 0.0377f + 0.0021f;
                const PenroseSample s = PenroseTiling(x, y, depth, 0.05f, 0.1f, 0.2f);
                const PenroseSample mirrored = PenroseTiling(-x, y, depth, 0.05f, 0.1f, 0.2f);
                if (!s.onTile) continue;
                ++onTile;
                ASSERT_TRUE(std::isfinite(s.height));
                EXPECT_GE(s.height, -1e-3f);
                EXPECT_LE(s.height, total + 1e-3f);
                highest = std::max(highest, s.height);
                EXPECT_EQ(mirrored.onTile, s.onTile);
                EXPECT_EQ(mirrored.acute, s.acute);
                EXPECT_NEAR(mirrored.height, s.height, 1e-3f) << x << " " << y;
            }
        }
        EXPECT_GT(onTile, 1000) << depth;
        EXPECT_GT(highest, 0.5f * total) << depth;
    }
}
