#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "textures/procedural/CausticRockTexture.h"
#include "textures/procedural/FlatRockTexture.h"
#include "textures/procedural/GrainFrame.h"
#include "textures/procedural/Noise.h"
#include "textures/procedural/TimberTexture.h"
#include "textures/procedural/TrabecularTexture.h"
#include "textures/procedural/WoodRingsTexture.h"
#include "tests/textures/procedural/PatternTestSupport.h"

namespace ridgeforge::mesh::procedural {
namespace {

TEST(TimberTexture, GrainFrameAndDirection) {
    TimberTexture timber = WithDefaults<TimberTexture>();
    EXPECT_EQ(MakeGrainFrame(timber, 0.2f, 0.7f).cellsAlong, 2);  // round(12 / 7)
    timber.SetValue("stretch", 32);
    timber.SetValue("cells", 2);
    EXPECT_EQ(MakeGrainFrame(timber, 0.2f, 0.7f).cellsAlong, 1);

    TimberTexture vertical = WithDefaults<TimberTexture>();
    TimberTexture horizontal = WithDefaults<TimberTexture>();
    horizontal.SetValue("direction", 1);
    for (int i = 0; i < 20; ++i) {
        const float u = 0.05f * static_cast<float>(i) + 0.013f, v = 0.9f - 0.04f * static_cast<float>(i);
        EXPECT_FLOAT_EQ(vertical.Sample(u, v), horizontal.Sample(v, u));
    }
}

TEST(WoodRingsTexture, StraightRingsWithoutWander) {
    WoodRingsTexture rings = WithDefaults<WoodRingsTexture>();
    rings.SetValue("wander", 0);
    rings.SetValue("grain", 0);
    rings.SetValue("variation", 0);
    // Ring k lies at u = k / 14, a groove of depth 1; midway between rings is the board.
    EXPECT_NEAR(rings.Sample(3.0f / 14.0f, 0.37f), 0.0f, 1e-4f);
    EXPECT_NEAR(rings.Sample(3.5f / 14.0f, 0.81f), 1.0f, 1e-4f);
    // Width 0.3 of the spacing: the groove ends 0.15 spacings from the centre line.
    EXPECT_NEAR(rings.Sample(3.16f / 14.0f, 0.5f), 1.0f, 1e-4f);
    EXPECT_GT(rings.Sample(3.14f / 14.0f, 0.5f), 0.0f);
    EXPECT_LT(rings.Sample(3.14f / 14.0f, 0.5f), 1.0f);
}

TEST(CausticRockTexture, LinearMappingWithoutBrilliance) {
    CausticRockTexture rock = WithDefaults<CausticRockTexture>();
    rock.SetValue("brilliance", 0);
    rock.SetValue("focus", 0);
    rock.SetValue("octaves", 1);
    // One layer of gradient noise is 0 on the lattice: s = 0 gives (0 + 1.15) / 2.1.
    EXPECT_NEAR(rock.Sample(0.0f, 0.0f), 1.15f / 2.1f, 1e-5f);
}

TEST(FlatRockTexture, BarePlatesAndFieldRange) {
    FlatRockTexture rock = WithDefaults<FlatRockTexture>();
    rock.SetValue("crumple", 0);
    for (int i = 0; i < 50; ++i) {
        const float u = 0.0197f * static_cast<float>(i), v = 1.0f - 0.0173f * static_cast<float>(i);
        const float field = FlatRockTexture::CellField(8 * u, 8 * v, 8, 16, 0);
        EXPECT_GE(field, 0.0f);
        EXPECT_LE(field, 2.0f);
        EXPECT_NEAR(rock.Sample(u, v), std::min(1.0f, field / 2.0f), 1e-5f);
    }
}

TEST(TrabecularTexture, LayersSolidityAndFloor) {
    EXPECT_EQ(TrabecularTexture::LayerCount(4.0f), 7);
    EXPECT_EQ(TrabecularTexture::LayerCount(0.25f), 4);
    EXPECT_EQ(TrabecularTexture::LayerCount(2.5f), 6);

    TrabecularTexture bone = WithDefaults<TrabecularTexture>();
    bone.SetValue("roughness", 0);
    TrabecularTexture::Ray ray;
    ray.thickness = 0.06f;
    ray.roughness = 0.0f;
    ray.thickest = 0.06f;
    EXPECT_TRUE(TrabecularTexture::IsSolid(ray, 0.5f, 0.059f));
    EXPECT_FALSE(TrabecularTexture::IsSolid(ray, 0.5f, 0.06f));

    // The thinnest struts at the least depth leave many rays on the floor, which
    // stays 0 whatever the contrast; every height is in range.
    bone.SetValue("thickness", 0.01f);
    bone.SetValue("depth", 0.25f);
    bone.SetValue("contrast", 2.0f);
    int floor = 0;
    for (int i = 0; i < 64; ++i) {
        const float h =
            bone.Sample((static_cast<float>(i % 8) + 0.5f) / 8.0f, (static_cast<float>(i / 8) + 0.5f) / 8.0f);
        EXPECT_GE(h, 0.0f);
        EXPECT_LE(h, 1.0f);
        if (h == 0.0f) ++floor;
    }
    EXPECT_GT(floor, 0);
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural

namespace ridgeforge::mesh::procedural {
namespace {

// The march reuses the roughness noise's lattice values along the ray; it
// must agree with the plain 3-D noise wherever the march goes, up or down.
TEST(TrabecularTexture, RoughnessAlongTheRayMatchesThePlainNoise) {
    TrabecularTexture bone;
    bone.ResetToDefaults();
    const TrabecularTexture::Ray ray = bone.MakeRay(0.3141f, 0.7182f);
    const float depths[] = {0.0f, 0.003f, 0.05f, 0.049f, 0.31f, 0.9f, 0.2f, 1.7f, 1.71f, 2.4f};
    for (float z : depths) {
        float n = 0.0f;
        for (int o = 0; o < 4; ++o) {
            const float f = 10.0f * static_cast<float>(1 << o);
            n += std::pow(0.5f, static_cast<float>(o + 1)) *
                 PeriodicValueNoise3(ray.x * f, ray.y * f, z * f, 10 * ray.cells * (1 << o), ray.seed + 1000u + o);
        }
        n /= 0.9375f;
        const float radius = ((2.0f * n - 1.0f) * ray.roughness + 1.0f) * ray.thickness;
        for (float d : {radius - 1e-4f, radius, radius + 1e-4f, 0.5f * ray.thickness}) {
            EXPECT_EQ(TrabecularTexture::IsSolid(ray, z, d), d < radius) << z << " " << d;
        }
    }
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural

namespace ridgeforge::mesh::procedural {
namespace {

// The straightforward gathering of the light, sampling every layer afresh.
float PlainCausticRock(const CausticRockTexture& rock, float u, float v) {
    const auto whole = [&](const char* key) { return static_cast<std::int32_t>(std::lround(rock.GetValue(key))); };
    const std::int32_t cells = whole("cells");
    const float k = rock.GetValue("focus") * 0.008f / static_cast<float>(cells);
    const auto seed = static_cast<std::uint32_t>(whole("seed"));
    const int count = whole("octaves");
    float x = u, y = v;
    const auto layer = [&](int i, float px, float py, float& dx, float& dy) {
        const float fi = static_cast<float>(i);
        const auto period = std::max<std::int32_t>(1, std::lround(std::pow(fi, 1.2f) * static_cast<float>(cells)));
        const float p = static_cast<float>(period);
        const float w = 1.0f / std::pow(fi, 1.9f);
        return w * PeriodicNoiseDerivatives(px * p, py * p, period, period, seed + 7919u * i, dx, dy);
    };
    for (int round = 0; round < 10; ++round) {
        float gx = 0.0f, gy = 0.0f;
        for (int i = 1; i <= count; ++i) {
            float dx = 0.0f, dy = 0.0f;
            layer(i, x, y, dx, dy);
            const float w = 1.0f / std::pow(static_cast<float>(i), 1.9f);
            gx += w * dx;
            gy += w * dy;
        }
        x -= k * gx;
        y -= k * gy;
    }
    float s = 0.0f;
    for (int i = 1; i <= count; ++i) {
        float dx = 0.0f, dy = 0.0f;
        s += layer(i, x, y, dx, dy);
    }
    const float b = rock.GetValue("brilliance");
    const float e0 = std::exp(-2.1f * b);
    const float h = b < 0.001f ? (s + 1.15f) / 2.1f : (std::exp(b * (s - 0.95f)) - e0) / (1.0f - e0);
    return Contrast(Clamp01(h), rock.GetValue("contrast"));
}

// The layers keep their last lattice cell between rounds; that must not change a bit.
TEST(CausticRockTexture, KeptCellsGiveThePlainResult) {
    CausticRockTexture rock = WithDefaults<CausticRockTexture>();
    for (float focus : {1.0f, 20.0f}) {
        rock.SetValue("focus", focus);
        for (int i = 0; i < 40; ++i) {
            const float u = 0.0253f * static_cast<float>(i), v = 0.97f - 0.0211f * static_cast<float>(i);
            EXPECT_EQ(rock.Sample(u, v), PlainCausticRock(rock, u, v)) << u << " " << v << " " << focus;
        }
    }
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
