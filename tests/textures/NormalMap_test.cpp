#include "textures/NormalMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

using namespace ridgeforge::mesh;

namespace {

std::vector<float> Uniform(int width, int height, float r, float g, float b) {
    std::vector<float> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = r, rgb[i + 1] = g, rgb[i + 2] = b;
    }
    return rgb;
}

// Normals of a smooth bump field h(x, y) = sin(2 pi x / w) cos(2 pi y / h),
// encoded as colours.
std::vector<float> WavyNormals(int width, int height, bool keepGreen, bool keepRed) {
    std::vector<float> rgb(static_cast<std::size_t>(width) * height * 3);
    const double tau = 6.283185307179586;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = 0.5 * tau / width * std::cos(tau * x / width) * std::cos(tau * y / height);
            const double dy = -0.5 * tau / height * std::sin(tau * x / width) * std::sin(tau * y / height);
            double nx = keepRed ? 0.0 : -dx, ny = keepGreen ? 0.0 : -dy, nz = 1.0;
            const double l = std::sqrt(nx * nx + ny * ny + nz * nz);
            float* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<float>(0.5 + 0.5 * nx / l);
            p[1] = static_cast<float>(0.5 + 0.5 * ny / l);
            p[2] = static_cast<float>(0.5 + 0.5 * nz / l);
        }
    }
    return rgb;
}

}  // namespace

TEST(NormalMap, GridSizeIsTheNearestPowerOfTwo) {
    EXPECT_EQ(NormalMapGridSize(1), 8);
    EXPECT_EQ(NormalMapGridSize(12), 8);
    EXPECT_EQ(NormalMapGridSize(13), 16);
    EXPECT_EQ(NormalMapGridSize(24), 16);  // halfway takes the smaller
    EXPECT_EQ(NormalMapGridSize(25), 32);
    EXPECT_EQ(NormalMapGridSize(96), 64);
    EXPECT_EQ(NormalMapGridSize(100), 128);
    EXPECT_EQ(NormalMapGridSize(3000), 2048);
    EXPECT_EQ(NormalMapGridSize(3100), 4096);
    EXPECT_EQ(NormalMapGridSize(5000), 4096);
}

TEST(NormalMap, TransformsInvertAndMatchKnownValues) {
    std::vector<std::complex<double>> impulse(8);
    impulse[0] = 1.0;
    Fft(impulse.data(), 8, false);
    for (const auto& v : impulse) {
        EXPECT_NEAR(v.real(), 1.0, 1e-12);
        EXPECT_NEAR(v.imag(), 0.0, 1e-12);
    }
    // A shifted impulse gives the twiddle factors, with the forward sign negative.
    std::vector<std::complex<double>> shifted(4);
    shifted[1] = 1.0;
    Fft(shifted.data(), 4, false);
    EXPECT_NEAR(shifted[1].imag(), -1.0, 1e-12);

    std::vector<std::complex<double>> grid(16 * 8), original;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        grid[i] = {std::sin(0.37 * i), std::cos(1.3 * i)};
    }
    original = grid;
    Fft2D(grid.data(), 16, 8, false);
    Fft2D(grid.data(), 16, 8, true);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        EXPECT_NEAR(std::abs(grid[i] - original[i]), 0.0, 1e-12) << i;
    }
    // Sizes of 0, 1 and non-powers of two leave the data alone.
    std::vector<std::complex<double>> three = {1.0, 2.0, 3.0};
    Fft(three.data(), 3, false);
    Fft(three.data(), 1, false);
    EXPECT_EQ(three[1], std::complex<double>(2.0));
}

TEST(NormalMap, TheGridTransformIsThePlainSumInEveryBlockOfColumns) {
    // 64 columns, gathered 16 at a time, and 4 rows: each value is the
    // plain double sum of the 2-D transform with the forward sign negative.
    constexpr std::uint32_t n = 64, m = 4;
    std::vector<std::complex<double>> grid(n * m);
    for (std::size_t i = 0; i < grid.size(); ++i) grid[i] = {std::sin(0.37 * i + 0.1), std::cos(1.3 * i) * 0.5};
    const std::vector<std::complex<double>> input = grid;
    Fft2D(grid.data(), n, m, false);
    const double pi = std::acos(-1.0);
    double worst = 0.0;
    for (std::uint32_t v = 0; v < m; ++v) {
        for (std::uint32_t u = 0; u < n; ++u) {
            std::complex<double> sum = 0.0;
            for (std::uint32_t y = 0; y < m; ++y) {
                for (std::uint32_t x = 0; x < n; ++x) {
                    const double angle = -2.0 * pi * (static_cast<double>(u * x) / n + static_cast<double>(v * y) / m);
                    sum += input[y * n + x] * std::complex<double>(std::cos(angle), std::sin(angle));
                }
            }
            worst = std::max(worst, std::abs(grid[v * n + u] - sum));
        }
    }
    EXPECT_LT(worst, 1e-9);
}

TEST(NormalMap, SamplingWrapsAround) {
    std::vector<float> rgb = {0.0f, 0.1f, 0.2f, 1.0f, 1.1f, 1.2f};  // 2 x 1
    EXPECT_FLOAT_EQ(SampleChannelWrapped(rgb, 2, 1, 0, 1.0f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(SampleChannelWrapped(rgb, 2, 1, 1, 0.5f, 0.0f), 0.6f);
    EXPECT_FLOAT_EQ(SampleChannelWrapped(rgb, 2, 1, 2, 1.5f, 7.0f), 0.7f);  // halfway back to column 0
    EXPECT_FLOAT_EQ(SampleChannelWrapped(rgb, 2, 1, 0, -1.0f, 0.0f), 1.0f);
}

TEST(NormalMap, FlatAndRefusedInputs) {
    NormalMapHeights one = IntegrateNormalMap(Uniform(1, 1, 0.3f, 0.7f, 0.9f), 1, 1, false);
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.width, 8);
    EXPECT_EQ(one.height, 8);
    EXPECT_EQ(one.heights, std::vector<float>(64, 0.5f));

    NormalMapHeights flat = IntegrateNormalMap(Uniform(100, 300, 0.5f, 0.5f, 1.0f), 100, 300, false);
    ASSERT_TRUE(flat.ok);
    EXPECT_EQ(flat.width, 128);
    EXPECT_EQ(flat.height, 256);
    EXPECT_EQ(flat.heights, std::vector<float>(128 * 256, 0.5f));
    EXPECT_EQ(flat.message,
              "height integrated from the normals (100 x 300 -> 128 x 256, green pointing down); the depth is the "
              "strength setting's, the map only says the shape");
    EXPECT_NE(IntegrateNormalMap(Uniform(9, 9, 0.5f, 0.5f, 1.0f), 9, 9, true).message.find("green pointing up"),
              std::string::npos);

    std::vector<float> fourChannels(4 * 4 * 4, 0.5f);
    for (const NormalMapHeights& refused :
         {IntegrateNormalMap(fourChannels, 4, 4, false), IntegrateNormalMap({}, 0, 0, false),
          IntegrateNormalMap(Uniform(2, 2, 0.5f, 0.5f, 1.0f), -2, -2, false),
          IntegrateNormalMap({}, 65536, 65536, false)}) {
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.message, "the image has no three-channel pixels to read normals from");
        EXPECT_EQ(refused.width, 0);
        EXPECT_TRUE(refused.heights.empty());
    }
}

TEST(NormalMap, RecoversTheShapeAndGreenOnlyFlipsY) {
    const int n = 64;
    // The normals of h = sin(x) cos(y) integrate back to that shape.
    const std::vector<float> rgb = WavyNormals(n, n, false, false);
    const NormalMapHeights heights = IntegrateNormalMap(rgb, n, n, false);
    ASSERT_TRUE(heights.ok);
    const double tau = 6.283185307179586;
    double worst = 0.0;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double expected = 0.5 + 0.5 * std::sin(tau * x / n) * std::cos(tau * y / n);
            worst = std::max(worst, std::fabs(heights.heights[y * n + x] - expected));
        }
    }
    EXPECT_LT(worst, 0.08);

    // Green at 0.5 everywhere: the flag makes no difference.
    const std::vector<float> noGreen = WavyNormals(n, n, true, false);
    EXPECT_EQ(IntegrateNormalMap(noGreen, n, n, false).heights, IntegrateNormalMap(noGreen, n, n, true).heights);
    // Red at 0.5 everywhere: switching the flag mirrors the heights about 0.5.
    const std::vector<float> noRed = WavyNormals(n, n, false, true);
    const NormalMapHeights down = IntegrateNormalMap(noRed, n, n, false);
    const NormalMapHeights up = IntegrateNormalMap(noRed, n, n, true);
    for (std::size_t i = 0; i < down.heights.size(); ++i) {
        ASSERT_NEAR(up.heights[i], 1.0f - down.heights[i], 1e-5f) << i;
    }
}
