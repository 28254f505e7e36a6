#include "textures/seamless/SeamlessMethod.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "textures/procedural/Noise.h"
#include "textures/seamless/HistogramPatchGrid.h"

using namespace ridgeforge::mesh::seamless;
using ridgeforge::mesh::procedural::HashToUnit;
using ridgeforge::mesh::procedural::LatticeHash;

namespace {

std::vector<float> MakeImage(int width, int height, float (*f)(int x, int y)) {
    std::vector<float> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels[static_cast<std::size_t>(y) * width + x] = f(x, y);
    }
    return pixels;
}

float Noise(int x, int y) { return HashToUnit(LatticeHash(x, y, 77)); }

struct Result {
    std::vector<float> pixels;
    std::int32_t width = -1, height = -1;
    SeamlessReport report;
};

Result ApplyNamed(std::string_view name, const std::string& parameters, const std::vector<float>& input, int width,
                  int height) {
    auto method = CreateMethod(name);
    method->ParseValues(parameters);
    Result r;
    r.pixels = method->Apply(input, width, height, r.width, r.height, &r.report);
    return r;
}

}  // namespace

TEST(SeamlessMethod, NamesAndFactory) {
    EXPECT_EQ(MethodNames(), (std::vector<std::string>{"Unchanged", "Mirror", "Cross-fade", "Histogram blend"}));
    for (const std::string& name : MethodNames()) {
        EXPECT_EQ(CanonicalMethodName(name), name);
        EXPECT_EQ(CreateMethod(name)->Name(), name);
    }
    EXPECT_EQ(CanonicalMethodName("mirror"), "Unchanged");
    EXPECT_EQ(CanonicalMethodName(""), "Unchanged");
    EXPECT_STREQ(CreateMethod("")->Name(), "Unchanged");
    EXPECT_STREQ(CreateMethod("cross-fade")->Name(), "Unchanged");

    EXPECT_FALSE(CreateMethod("Unchanged")->ChangesImage());
    EXPECT_TRUE(CreateMethod("Mirror")->TilesMirrored());
    EXPECT_FALSE(CreateMethod("Cross-fade")->TilesMirrored());
    EXPECT_EQ(CreateMethod("Cross-fade")->FormatValues(), "percent=20\n");
    EXPECT_EQ(CreateMethod("Histogram blend")->FormatValues(), "patches=4\nseed=0\n");
    EXPECT_TRUE(CreateMethod("Mirror")->Parameters().empty());
}

TEST(SeamlessMethod, UnchangedAndMirrorPassPixelsThrough) {
    const auto image = MakeImage(6, 4, Noise);
    Result none = ApplyNamed("Unchanged", "", image, 6, 4);
    EXPECT_EQ(none.pixels, image);
    EXPECT_EQ(none.width, 6);
    EXPECT_EQ(none.height, 4);
    EXPECT_TRUE(none.report.methodName.empty());
    EXPECT_EQ(DescribeReport(none.report), "Seamless: unchanged, the image is as loaded.");

    Result mirror = ApplyNamed("Mirror", "", image, 6, 4);
    EXPECT_EQ(mirror.pixels, image);
    EXPECT_EQ(mirror.report.contrastBefore, RmsContrast(image));
    EXPECT_EQ(DescribeReport(mirror.report),
              "Seamless: Mirror, every other tile flipped, so neighbouring edges match; 6 x 4 -> 6 x 4 pixels, "
              "contrast 1.00 of the image's, 0 ms.");
}

TEST(SeamlessMethod, CrossFadeShrinksByTheOverlap) {
    const auto image = MakeImage(100, 50, Noise);
    Result r = ApplyNamed("Cross-fade", "", image, 100, 50);
    EXPECT_EQ(r.width, 80);
    EXPECT_EQ(r.height, 40);
    EXPECT_EQ(r.pixels.size(), 80u * 40u);

    Result zero = ApplyNamed("Cross-fade", "percent=0", image, 100, 50);
    EXPECT_EQ(zero.width, 100);
    EXPECT_EQ(zero.height, 50);
    EXPECT_EQ(zero.pixels, image);

    Result wide = ApplyNamed("Cross-fade", "percent=60", image, 100, 50);
    Result most = ApplyNamed("Cross-fade", "percent=45", image, 100, 50);
    EXPECT_EQ(wide.width, 55);
    EXPECT_EQ(wide.pixels, most.pixels);

    Result tiny = ApplyNamed("Cross-fade", "percent=45", {0.25f}, 1, 1);
    EXPECT_EQ(tiny.width, 1);
    EXPECT_EQ(tiny.pixels, std::vector<float>{0.25f});

    // A wrong pixel count is passed through rather than read out of bounds.
    Result bad = ApplyNamed("Cross-fade", "", std::vector<float>(10, 0.5f), 100, 50);
    EXPECT_EQ(bad.width, 100);
    EXPECT_EQ(bad.pixels.size(), 10u);
}

TEST(SeamlessMethod, CrossFadeJoinsTheEdges) {
    // Depends on x only, so the row pass leaves each column as the column pass made it.
    const int w = 40, h = 10;
    const auto image = MakeImage(w, h, [](int x, int) { return 0.1f + 0.02f * x; });
    Result r = ApplyNamed("Cross-fade", "percent=20", image, w, h);
    ASSERT_EQ(r.width, 32);
    const int ox = 8, w1 = 32;
    auto in = [&](int x) { return image[x]; };
    auto out = [&](int x, int y) { return r.pixels[static_cast<std::size_t>(y) * r.width + x]; };
    const float t = 0.5f / ox, s = (3 - 2 * t) * t * t;
    for (int y = 0; y < r.height; ++y) {
        EXPECT_NEAR(out(0, y), (1 - s) * in(w1) + s * in(0), 1e-6f);
        EXPECT_NEAR(out(0, y), in(w1), 0.01f);
        EXPECT_NEAR(out(ox - 1, y), in(ox - 1), 0.01f);
        EXPECT_FLOAT_EQ(out(ox, y), in(ox));
        // Across the wrap the step is no larger than one input step.
        EXPECT_LT(std::fabs(out(0, y) - out(w1 - 1, y)), 0.021f);
    }

    // Depends on y only, so now the row pass does all the work: 20 rows at 20%
    // give an overlap of 4, rows 0 and 1 fade from rows 16 and 17 with
    // s = smoothstep(0.125) = 0.04296875 and smoothstep(0.375) = 0.31640625.
    const auto rows = MakeImage(6, 20, [](int, int y) { return 0.1f + 0.03f * y; });
    Result down = ApplyNamed("Cross-fade", "percent=20", rows, 6, 20);
    ASSERT_EQ(down.width, 5);
    ASSERT_EQ(down.height, 16);
    for (int x = 0; x < down.width; ++x) {
        auto at = [&](int y) { return down.pixels[static_cast<std::size_t>(y) * down.width + x]; };
        EXPECT_NEAR(at(0), 0.95703125f * 0.58f + 0.04296875f * 0.1f, 1e-6f);
        EXPECT_NEAR(at(1), 0.68359375f * 0.61f + 0.31640625f * 0.13f, 1e-6f);
        EXPECT_FLOAT_EQ(at(4), 0.22f);
        EXPECT_FLOAT_EQ(at(15), 0.55f);
    }

    Result big = ApplyNamed("Cross-fade", "percent=20", MakeImage(1024, 1024, Noise), 1024, 1024);
    const std::string line = DescribeReport(big.report);
    EXPECT_EQ(line.rfind("Seamless: Cross-fade, 20% of each edge faded into the opposite one; 1024 x 1024 -> 819 x "
                         "819 pixels, contrast ",
                         0),
              0u)
        << line;
    EXPECT_EQ(line.substr(line.size() - 4), " ms.");
    EXPECT_GT(big.report.contrastBefore, 0.0f);
}

TEST(SeamlessMethod, HistogramBlendKeepsConstantsAndContrast) {
    const auto flat = MakeImage(64, 48, [](int, int) { return 0.3f; });
    Result constant = ApplyNamed("Histogram blend", "", flat, 64, 48);
    EXPECT_EQ(constant.pixels, flat);
    EXPECT_EQ(constant.report.contrastBefore, 0.0f);
    EXPECT_EQ(constant.report.contrastAfter, 0.0f);
    const std::string line = DescribeReport(constant.report);
    EXPECT_EQ(
        line.rfind("Seamless: Histogram blend, 4 patches across the tile, seed 0; 64 x 48 -> 64 x 48 pixels, ", 0), 0u)
        << line;
    EXPECT_EQ(line.find("contrast"), std::string::npos);

    // Smooth noise (so that bilinear sampling itself costs no contrast): a
    // plain average of three shifted samples would lose about a third of the
    // contrast; the blend keeps it.
    const auto noise = MakeImage(
        128, 128, [](int x, int y) { return ridgeforge::mesh::procedural::ValueNoise(x / 8.0f, y / 8.0f, 16, 16, 5); });
    Result blended = ApplyNamed("Histogram blend", "patches=6\nseed=3", noise, 128, 128);
    EXPECT_EQ(blended.width, 128);
    EXPECT_NEAR(blended.report.contrastAfter / blended.report.contrastBefore, 1.0f, 0.1f);
    EXPECT_NE(blended.pixels, noise);
    EXPECT_EQ(ApplyNamed("Histogram blend", "patches=6\nseed=3", noise, 128, 128).pixels, blended.pixels);
    EXPECT_NE(ApplyNamed("Histogram blend", "patches=6\nseed=4", noise, 128, 128).pixels, blended.pixels);
    EXPECT_NE(DescribeReport(blended.report).find("6 patches across the tile, seed 3"), std::string::npos);

    Result bad = ApplyNamed("Histogram blend", "", std::vector<float>(5, 0.5f), 4, 4);
    EXPECT_EQ(bad.pixels.size(), 5u);
    EXPECT_TRUE(bad.report.methodName.empty());
    Result empty = ApplyNamed("Histogram blend", "", {}, 0, 0);
    EXPECT_TRUE(empty.pixels.empty());
}

TEST(SeamlessMethod, HistogramBlendTiles) {
    // A smooth tileable input gives a smooth output, so a step across the
    // output's own wrap stands out against the steps inside it.
    const int w = 96, h = 64;
    const auto image = MakeImage(w, h, [](int x, int y) {
        return 0.5f + 0.2f * std::sin(6.2831853f * x / 96.0f) * std::cos(6.2831853f * 2 * y / 64.0f);
    });
    for (const char* parameters : {"patches=3", "patches=5\nseed=11"}) {
        Result r = ApplyNamed("Histogram blend", parameters, image, w, h);
        auto at = [&](int x, int y) { return r.pixels[static_cast<std::size_t>(y) * w + x]; };
        float inner = 0.0f, seam = 0.0f;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x + 1 < w; ++x) inner = std::max(inner, std::fabs(at(x + 1, y) - at(x, y)));
            seam = std::max(seam, std::fabs(at(0, y) - at(w - 1, y)));
        }
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y + 1 < h; ++y) inner = std::max(inner, std::fabs(at(x, y + 1) - at(x, y)));
            seam = std::max(seam, std::fabs(at(x, 0) - at(x, h - 1)));
        }
        EXPECT_LE(seam, inner * 1.5f + 1e-4f) << parameters;
    }

    // Every pixel as the patch grid defines it, worked out plainly here: the
    // cell's triangle, three wrapped bilinear samples at hashed offsets, and
    // the variance-keeping blend about the mean. The image is uneven in both
    // directions and the output is taller than wide, so swapped axes, weights
    // or triangle halves all show.
    const int iw = 7, ih = 5, ow = 6, oh = 9, patches = 3;
    const std::uint32_t seed = 2;
    const auto uneven = MakeImage(iw, ih, [](int x, int y) { return 0.05f + 0.11f * x + 0.013f * y * y; });
    double sum = 0;
    for (float p : uneven) sum += p;
    const float mean = static_cast<float>(sum / uneven.size());
    auto sample = [&](float sx, float sy) {
        const float fx = std::floor(sx), fy = std::floor(sy);
        const int x0 = ((static_cast<int>(fx) % iw) + iw) % iw, y0 = ((static_cast<int>(fy) % ih) + ih) % ih;
        const int x1 = (x0 + 1) % iw, y1 = (y0 + 1) % ih;
        const float tx = sx - fx, ty = sy - fy;
        auto px = [&](int x, int y) { return uneven[static_cast<std::size_t>(y) * iw + x]; };
        const float top = px(x0, y0) * (1 - tx) + px(x1, y0) * tx;
        const float bottom = px(x0, y1) * (1 - tx) + px(x1, y1) * tx;
        return top * (1 - ty) + bottom * ty;
    };
    const PatchGridResult small = HistogramPatchGrid(uneven, iw, ih, ow, oh, patches, seed);
    ASSERT_EQ(small.pixels.size(), static_cast<std::size_t>(ow * oh));
    for (int r = 0; r < oh; ++r) {
        for (int c = 0; c < ow; ++c) {
            const float u = (c + 0.5f) / ow, v = (r + 0.5f) / oh;
            const float gx = patches * u, gy = patches * v;
            const int i = static_cast<int>(std::floor(gx)), j = static_cast<int>(std::floor(gy));
            const float fu = gx - i, fv = gy - j;
            int ca[3][2];
            float wt[3];
            if (1 - fu - fv > 0) {
                int corners[3][2] = {{i, j}, {i + 1, j}, {i, j + 1}};
                std::copy(&corners[0][0], &corners[0][0] + 6, &ca[0][0]);
                wt[0] = 1 - fu - fv, wt[1] = fu, wt[2] = fv;
            } else {
                int corners[3][2] = {{i + 1, j + 1}, {i + 1, j}, {i, j + 1}};
                std::copy(&corners[0][0], &corners[0][0] + 6, &ca[0][0]);
                wt[0] = fu + fv - 1, wt[1] = 1 - fv, wt[2] = 1 - fu;
            }
            float blend = 0, squares = 0;
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t a = static_cast<std::uint32_t>(ca[k][0] % patches);
                const std::uint32_t b = static_cast<std::uint32_t>(ca[k][1] % patches);
                const float ou = HashToUnit(LatticeHash(a, b, seed));
                const float ov = HashToUnit(LatticeHash(b, a, seed ^ 0x9E3779B9u));
                blend += wt[k] * (sample((ou + u) * iw - 0.5f, (ov + v) * ih - 0.5f) - mean);
                squares += wt[k] * wt[k];
            }
            const float expected = std::clamp(blend / std::sqrt(std::max(1e-8f, squares)) + mean, 0.0f, 1.0f);
            EXPECT_NEAR(small.pixels[static_cast<std::size_t>(r) * ow + c], expected, 1e-5f) << c << ", " << r;
        }
    }

    // The grid clamps its patch count and honours another output size.
    const PatchGridResult grid = HistogramPatchGrid(image, w, h, 0, 5, 500, 1);
    EXPECT_EQ(grid.patches, 64);
    EXPECT_EQ(grid.pixels.size(), 5u);
}
