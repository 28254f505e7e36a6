#include "relief/validation/internal/MainDirection.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ridgeforge::mesh;

TEST(MainDirection, FrameRunsAlongMostEdgesWhicheverWayTheyPoint) {
    MainDirection main;
    // Ten edges along (1, 2, 2) / 3 either way and of any length, against
    // three across it and edges of no length or not finite, which count for
    // nothing.
    for (int i = 0; i < 10; ++i) {
        const double length = 0.5 + i;
        main.Add(Vec3d{1, 2, 2} * ((i % 2 == 0 ? 1.0 : -1.0) * length / 3.0));
    }
    main.Add({2, -1, 0});
    main.Add({0, 1, -1});
    main.Add({-2, 0, 1});
    main.Add({0, 0, 0});
    main.Add({std::nan(""), 1, 0});
    Vec3d axes[3];
    main.Frame(axes);
    EXPECT_NEAR(std::fabs(Dot(axes[0], Vec3d{1, 2, 2} * (1.0 / 3.0))), 1.0, 0.02);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(Length(axes[i]), 1.0, 1e-12);
        for (int j = i + 1; j < 3; ++j) EXPECT_NEAR(Dot(axes[i], axes[j]), 0.0, 1e-12);
    }

    // The longest edge of each triangle is the one that counts: the
    // triangles' long sides run along z, their short ones along x.
    MainDirection longest;
    for (int i = 0; i < 5; ++i) {
        const auto x = static_cast<float>(i);
        longest.AddLongestEdge({{x, 0, 0}, {x + 1, 0, 0}, {x, 0, 9}});
    }
    longest.Frame(axes);
    EXPECT_NEAR(std::fabs(axes[0].z), 1.0, 0.02);
}

TEST(MainDirection, FrameBoxHoldsTheTurnedCornersAndLittleMore) {
    const double s = 1.0 / std::sqrt(3.0), t = 1.0 / std::sqrt(2.0);
    const Vec3d axes[3] = {{s, s, s}, {t, -t, 0}, {s / t / 2.0, s / t / 2.0, -s / t}};
    // A sliver along the diagonal, far from the origin.
    const Vec3f corners[3] = {{1000, 1000, 1000}, {1100, 1100, 1100}, {1000.5f, 999.5f, 1000}};
    Vec3d low, high;
    FrameBox(corners, axes, low, high);
    for (const Vec3f& c : corners) {
        for (int axis = 0; axis < 3; ++axis) {
            const double turned = Dot(ToDouble(c), axes[axis]);
            EXPECT_LT(low[axis], turned);
            EXPECT_GT(high[axis], turned);
        }
    }
    // Along the sliver it spans its length; across, only its width.
    EXPECT_NEAR(high[0] - low[0], 100.0 * std::sqrt(3.0), 0.01);
    EXPECT_NEAR(high[1] - low[1], std::sqrt(2.0) / 2.0, 1e-6);
    EXPECT_LT(high[2] - low[2], 1e-6);
}
