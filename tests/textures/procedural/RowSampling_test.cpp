// The patterns that sample a row at a time share work between pixels (cells
// hashed once, searches kept, rays four to a vector); each pixel must still
// get exactly the height Sample gives there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "textures/procedural/CausticLanes.h"
#include "textures/procedural/Noise.h"
#include "textures/procedural/StrutSearch.h"
#include "textures/procedural/TextureRegistry.h"
#include "textures/procedural/TrabecularLanes.h"
#include "textures/procedural/TrabecularTexture.h"

namespace ridgeforge::mesh::procedural {
namespace {

std::uint32_t Bits(float f) {
    std::uint32_t b = 0;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

using Setting = std::vector<std::pair<std::string, float>>;

// Every pixel of rows of several widths (one lane, a part-filled last group
// of four, and more) against Sample at the same point, to the bit.
void ExpectRowsMatchSample(const std::string& name, const Setting& setting) {
    const auto pattern = CreateTexture(name);
    ASSERT_NE(pattern, nullptr) << name;
    pattern->ResetToDefaults();
    for (const auto& [key, value] : setting) ASSERT_TRUE(pattern->SetValue(key, value)) << name << " " << key;
    for (const int width : {1, 3, 6, 37}) {
        for (const float v : {0.0137f, 0.5f, 0.9981f}) {
            std::vector<float> row(static_cast<std::size_t>(width), -1.0f);
            pattern->SampleRow(v, width, row.data());
            for (int x = 0; x < width; ++x) {
                const float expected = pattern->Sample(PixelCentre(x, width), v);
                ASSERT_EQ(Bits(row[static_cast<std::size_t>(x)]), Bits(expected))
                    << name << " width " << width << " x " << x << " v " << v << ": " << row[x] << " vs " << expected;
            }
        }
    }
}

TEST(RowSampling, EveryPatternAtItsDefaults) {
    for (const std::string& name : TextureNames()) ExpectRowsMatchSample(name, {});
}

TEST(RowSampling, TrabecularAcrossItsSettings) {
    const std::vector<Setting> settings = {
        {{"roughness", 0.0f}},                                   // smooth struts, the fine minimum step
        {{"roughness", 1.0f}, {"thickness", 0.25f}},             // thickest rough struts
        {{"depth", 0.25f}, {"thickness", 0.01f}},                // shallow: many rays reach the floor
        {{"depth", 4.0f}, {"cells", 16.0f}, {"seed", 917.0f}},   // every layer, the widest row of cells
        {{"cells", 2.0f}, {"contrast", 2.0f}, {"roughness", 0.13f}},
    };
    for (const Setting& setting : settings) ExpectRowsMatchSample("Trabecular", setting);
}

TEST(RowSampling, CellAndNoisePatternsAcrossTheirSettings) {
    ExpectRowsMatchSample("Flat Rock", {{"plates", 32.0f}, {"sharpness", 2.0f}, {"seed", 5.0f}});
    ExpectRowsMatchSample("Flat Rock", {{"plates", 2.0f}, {"crumple", 0.0f}});
    ExpectRowsMatchSample("Contours", {{"style", 1.0f}, {"lines", 2.0f}, {"falloff", 2.5f}});
    ExpectRowsMatchSample("Contours", {{"style", 2.0f}, {"cells", 10.0f}, {"randomness", 0.0f}});
    ExpectRowsMatchSample("Contours", {{"cells", 3.0f}, {"falloff", 8.0f}, {"seed", 999.0f}});
    ExpectRowsMatchSample("Copper", {{"detail", 2.5f}, {"phase", 0.7f}, {"ridges", 0.0f}});
    ExpectRowsMatchSample("Copper", {{"scale", 16.0f}, {"detail", 7.0f}, {"warp", 8.0f}, {"swirl", 0.0f}});
    ExpectRowsMatchSample("Caustic Rock", {{"octaves", 24.0f}, {"focus", 20.0f}, {"cells", 2.0f}});
    ExpectRowsMatchSample("Caustic Rock", {{"octaves", 1.0f}, {"brilliance", 0.0f}, {"seed", 321.0f}});
    ExpectRowsMatchSample("Caustic Rock", {{"focus", 0.0f}, {"cells", 16.0f}});
    ExpectRowsMatchSample("Timber", {{"direction", 1.0f}, {"cells", 64.0f}, {"stretch", 1.0f}});
    ExpectRowsMatchSample("Timber", {{"figure", 0.0f}, {"rings", 9.0f}, {"cells", 2.0f}, {"stretch", 32.0f}});
}

// A render goes through the rows, so it must equal pixel-by-pixel sampling
// with the clamp and the inversion applied.
TEST(RowSampling, RenderEqualsSampleClampedAndInverted) {
    for (const char* name : {"Trabecular", "Contours"}) {
        const auto pattern = CreateTexture(name);
        pattern->ResetToDefaults();
        pattern->SetValue("invert", 1.0f);
        const int width = 9, height = 5;
        const std::vector<float> grid = pattern->RenderHeightMap(width, height);
        ASSERT_EQ(grid.size(), static_cast<std::size_t>(width * height));
        for (int y = 0; y < height; ++y) {
            const float v = static_cast<float>(1.0 - (y + 0.5) / height);
            for (int x = 0; x < width; ++x) {
                const float expected = 1.0f - Clamp01(pattern->Sample(PixelCentre(x, width), v));
                EXPECT_EQ(Bits(grid[static_cast<std::size_t>(y * width + x)]), Bits(expected)) << name << x << y;
            }
        }
    }
}

// Every lane width (the machine running the tests takes only one of them
// for a render) against the single ray, for counts that leave lanes idle or
// give a lane several rays, and for rays of several rows at once (the rays'
// lattice squares of the roughness noise differ in y as well as in x).
TEST(TrabecularLanes, EveryLaneWidthGivesTheSingleRay) {
    const std::vector<Setting> settings = {
        {{"roughness", 0.0f}, {"depth", 3.3f}},                     // smooth struts
        {{"roughness", 0.5f}, {"depth", 3.3f}},                     // the rough default
        {{"roughness", 1.0f}, {"thickness", 0.25f}},                // no core: every point near a strut needs noise
        {{"roughness", 0.13f}, {"thickness", 0.01f}, {"cells", 16.0f}},  // thin: most rays reach the floor
    };
    using March = bool (*)(const TrabecularTexture::Settings&, int, RaySource, float*);
    const std::pair<const char*, March> widths[] = {
        {"four lanes", [](const TrabecularTexture::Settings& s, int n, RaySource r, float* out) {
             MarchRaysFourLanes(s, n, r, out);
             return true;
         }},
        {"AVX2 lanes", MarchRaysAvx2},
        {"AVX-512 lanes", MarchRaysAvx512},
    };
    for (const Setting& setting : settings) {
        auto created = CreateTexture("Trabecular");
        auto& bone = static_cast<TrabecularTexture&>(*created);
        bone.ResetToDefaults();
        for (const auto& [key, value] : setting) ASSERT_TRUE(bone.SetValue(key, value)) << key;
        TrabecularTexture::Settings read;
        read.Read(bone);
        struct Row {
            const TrabecularTexture& bone;
            int count;
        } row{bone, 0};
        const RaySource source{&row, [](const void* context, int x, TrabecularTexture::Ray& ray) {
                                   const auto& r = *static_cast<const Row*>(context);
                                   ray = r.bone.MakeRay((static_cast<float>(x) + 0.5f) / static_cast<float>(r.count),
                                                        0.3f + 0.01f * static_cast<float>(x % 7));
                               }};
        for (const int count : {1, 5, 13, 40, 75}) {
            row.count = count;
            std::vector<float> expected(static_cast<std::size_t>(count));
            for (int x = 0; x < count; ++x) {
                TrabecularTexture::Ray ray;
                source.make(source.context, x, ray);
                expected[static_cast<std::size_t>(x)] = TrabecularTexture::March(ray, read);
            }
            for (const auto& [name, march] : widths) {
                std::vector<float> lanes(expected.size(), -1.0f);
                if (!march(read, count, source, lanes.data())) continue;  // not on this processor
                for (int x = 0; x < count; ++x) {
                    const auto i = static_cast<std::size_t>(x);
                    ASSERT_EQ(Bits(lanes[i]), Bits(expected[i]))
                        << name << ", " << count << " rays, ray " << x << ", setting " << setting.front().first << " "
                        << setting.front().second << " " << setting.back().first;
                }
            }
        }
    }
}

// The gathering of the light, one point at a time through the plain noise.
float PlainGather(const CausticLayer* layers, int count, float step, float u, float v) {
    float x = u, y = v;
    for (int round = 0; round < 10; ++round) {
        float gx = 0.0f, gy = 0.0f;
        for (int i = 0; i < count; ++i) {
            const float p = static_cast<float>(layers[i].period);
            float dx = 0.0f, dy = 0.0f;
            PeriodicNoiseDerivatives(x * p, y * p, layers[i].period, layers[i].period, layers[i].seed, dx, dy);
            gx += layers[i].weight * dx;
            gy += layers[i].weight * dy;
        }
        x -= step * gx;
        y -= step * gy;
    }
    float s = 0.0f;
    for (int i = 0; i < count; ++i) {
        const float p = static_cast<float>(layers[i].period);
        float dx = 0.0f, dy = 0.0f;
        s += layers[i].weight *
             PeriodicNoiseDerivatives(x * p, y * p, layers[i].period, layers[i].period, layers[i].seed, dx, dy);
    }
    return s;
}

// Four points side by side: negative points (the lanes' floor must round
// down), points on lattice lines, points one cell apart and the same point
// twice; cells kept from one call must not leak into the next. A point the
// lattice cannot hold is refused, not guessed.
TEST(CausticLanes, FourPointsGiveThePlainGathering) {
    const CausticLayer layers[3] = {{2, 1.0f, 7}, {5, 0.27f, 11}, {13, 0.09f, 919}};
    const float step = 0.06f;  // strong: points move across cells
    const float groups[4][4] = {{-0.3f, -1.0f, -0.0001f, 2.5f},
                                {0.5f, 0.5f, 0.0f, 0.61538464f},
                                {0.101f, 0.102f, 0.6f, 0.1f},
                                {-7.25f, 3.0f, 0.999f, -0.5f}};
    CausticLaneCells cells;
    for (const float v : {0.37f, -0.5f}) {
        for (const auto& u : groups) {
            float sums[4] = {};
            ASSERT_TRUE(GatherLight4(layers, 3, step, u, v, cells, sums));
            for (int lane = 0; lane < 4; ++lane) {
                EXPECT_EQ(Bits(sums[lane]), Bits(PlainGather(layers, 3, step, u[lane], v))) << u[lane] << " " << v;
            }
        }
    }
    const float far[4] = {0.1f, 3e9f, 0.2f, 0.3f};
    float untouched[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    EXPECT_FALSE(GatherLight4(layers, 3, step, far, 0.5f, cells, untouched));
    EXPECT_EQ(untouched[0], -1.0f);
}

// A slab keeps exactly the points whose nearest approach in the slab is
// within the fourth smallest of all points' farthest distances (with the
// relative margin), in their order: checked against a plain sort on random
// tables with ties, for slabs that look at three, two and one layers.
TEST(StrutSearch, SlabKeepsThePointsWithinTheFourthFarthest) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> coarse(0, 40);  // few distinct values: many ties
    for (int round = 0; round < 200; ++round) {
        TrabecularTexture::Ray ray;
        ray.layers = 7;
        for (int q = 0; q < ray.layers; ++q) {
            for (int m = 0; m < 9; ++m) {
                ray.horizontal[q][m] = 0.05f * static_cast<float>(coarse(random));
                ray.depth[q][m] = static_cast<float>(q - 1) + 0.025f * static_cast<float>(coarse(random));
            }
        }
        for (const float z : {0.3f, 4.5f, 5.2f, 6.7f}) {  // 27, 27, 18 and 9 points
            float top = 0.0f, bottom = 0.0f;
            float h[kStrutCandidates] = {}, d[kStrutCandidates] = {};
            const int kept = PruneSlab(ray, z, top, bottom, h, d, 1);
            ASSERT_EQ(top, std::floor(z));
            ASSERT_EQ(bottom, std::floor(z) + 1.0f);

            std::vector<float> lower, upper, hs, ds;
            for (int q = static_cast<int>(top); q <= std::min(static_cast<int>(top) + 2, ray.layers - 1); ++q) {
                for (int m = 0; m < 9; ++m) {
                    const float pz = ray.depth[q][m];
                    const float nearest = std::max(0.0f, std::max(top - pz, pz - bottom));
                    const float farthest = std::max(std::fabs(top - pz), std::fabs(pz - bottom));
                    lower.push_back(ray.horizontal[q][m] + nearest * nearest);
                    upper.push_back(ray.horizontal[q][m] + farthest * farthest);
                    hs.push_back(ray.horizontal[q][m]);
                    ds.push_back(pz);
                }
            }
            std::vector<float> sorted = upper;
            std::sort(sorted.begin(), sorted.end());
            const float limit = std::min(sorted[3], 1e9f) * (1.0f + 1e-5f);
            int expected = 0;
            for (std::size_t n = 0; n < lower.size(); ++n) {
                if (lower[n] > limit) continue;
                ASSERT_LT(expected, kept) << "round " << round << " z " << z;
                EXPECT_EQ(Bits(h[expected]), Bits(hs[n]));
                EXPECT_EQ(Bits(d[expected]), Bits(ds[n]));
                ++expected;
            }
            ASSERT_EQ(kept, expected) << "round " << round << " z " << z << " of " << lower.size();
        }
    }
}

// The slab search must give the full search's value at any depth, in any
// order (the bisection goes back up), on slab edges and in the last layers.
TEST(StrutSearch, SlabsGiveTheFullSearch) {
    auto bone = CreateTexture("Trabecular");
    bone->ResetToDefaults();
    bone->SetValue("depth", 4.0f);
    const auto& trabecular = static_cast<const TrabecularTexture&>(*bone);
    const TrabecularTexture::Ray ray = trabecular.MakeRay(0.6180f, 0.2718f);
    StrutSearch search(ray);
    const float depths[] = {0.0f, 0.003f, 0.4999f, 0.5f, 0.5001f, 0.25f, 1.0f, 0.9999f, 3.7f, 2.2f,
                            4.0f, 4.49f, 5.5f, 6.99f, 1.75f, 1.7501f, 1.7499f, 0.125f};
    int pruned = 0;
    for (const float z : depths) {
        ASSERT_EQ(Bits(search.Distance(z)), Bits(TrabecularTexture::StrutDistance(ray, z))) << z;
        if (search.KeptCount() < kStrutCandidates) ++pruned;
    }
    // A search that keeps every point would pass the above at full cost.
    EXPECT_GT(pruned, 9);

    // A whole sweep down and back up, as fine as the march steps.
    for (int i = 0; i <= 1400; ++i) {
        const float z = static_cast<float>(i < 700 ? i : 1400 - i) * 0.0057f;
        ASSERT_EQ(Bits(search.Distance(z)), Bits(TrabecularTexture::StrutDistance(ray, z))) << z;
    }
}

// The samplers keep a cell between calls; points that jump about, leave a
// cell and come back must still get the plain functions' values.
TEST(NoiseSamplers, KeptCellsGiveThePlainFunctions) {
    const std::pair<float, float> points[] = {{0.1f, 0.2f},   {0.15f, 0.2f}, {3.9f, 0.2f},   {0.15f, 0.21f},
                                              {-2.5f, 7.25f}, {7.99f, 1.0f}, {8.01f, 1.0f},  {0.0f, 0.0f},
                                              {0.1f, 0.2f},   {5.5f, -0.3f}, {5.5f, 11.75f}, {2.0f, 2.0f}};
    FractalNoiseSampler fractal(8, 5, 3.4f, 0.65f, 17);
    FractalNoiseSampler whole(3, 12, 0.0f, 0.5f, 4);
    SoftCellSampler soft(6, 2.5f, 0.8f, 33);
    SoftCellSampler hard(3, 7.0f, 1.0f, 2);
    for (const auto& [x, y] : points) {
        EXPECT_EQ(Bits(fractal(x, y)), Bits(FractalNoise(x, y, 8, 5, 3.4f, 0.65f, 17))) << x << " " << y;
        EXPECT_EQ(Bits(whole(x, y)), Bits(FractalNoise(x, y, 3, 12, 0.0f, 0.5f, 4))) << x << " " << y;
        EXPECT_EQ(Bits(soft(x, y)), Bits(SoftCellField(x, y, 6, 2.5f, 0.8f, 33))) << x << " " << y;
        EXPECT_EQ(Bits(hard(x, y)), Bits(SoftCellField(x, y, 3, 7.0f, 1.0f, 2))) << x << " " << y;
    }
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
