// Where a collapse puts its vertex and what it costs, worked out by hand for
// the cases that choose differently, and the two-at-a-time form agreeing bit
// for bit with the one-edge form on every kind of edge.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <random>

#include "mesh/simplify/internal/CollapseCost.h"

using ridgeforge::mesh::BedRule;
using ridgeforge::mesh::CollapseCost;
using ridgeforge::mesh::CollapseCostPair;
using ridgeforge::mesh::CollapsePlacement;
using ridgeforge::mesh::Vec3d;

namespace {

struct End {
    std::array<double, 10> quadric{};
    Vec3d position;
    bool held = false;
};

// Adds the plane n . p + d = 0 (n of unit length) to a quadric.
void AddPlane(std::array<double, 10>& q, Vec3d n, double d) {
    const double terms[10] = {n.x * n.x, n.x * n.y, n.x * n.z, n.x * d, n.y * n.y,
                              n.y * n.z, n.y * d,   n.z * n.z, n.z * d, d * d};
    for (int k = 0; k < 10; ++k) q[k] += terms[k];
}

// Both ends carry the planes x = 1, y = 2 and z = 3: the corner (1, 2, 3).
End CornerEnd(Vec3d position) {
    End end{{}, position, false};
    AddPlane(end.quadric, {1, 0, 0}, -1.0);
    AddPlane(end.quadric, {0, 1, 0}, -2.0);
    AddPlane(end.quadric, {0, 0, 1}, -3.0);
    return end;
}

bool SameBits(const CollapsePlacement& x, const CollapsePlacement& y) {
    return x.admissible == y.admissible &&
           std::bit_cast<std::uint64_t>(x.cost) == std::bit_cast<std::uint64_t>(y.cost) &&
           std::bit_cast<std::uint64_t>(x.position.x) == std::bit_cast<std::uint64_t>(y.position.x) &&
           std::bit_cast<std::uint64_t>(x.position.y) == std::bit_cast<std::uint64_t>(y.position.y) &&
           std::bit_cast<std::uint64_t>(x.position.z) == std::bit_cast<std::uint64_t>(y.position.z);
}

}  // namespace

TEST(CollapseCost, ChoosesTheBestPointOrFallsBackToEndsAndMidpoint) {
    const BedRule noBed;
    // The corner lies within an edge length of the midpoint: taken, at no cost.
    CollapsePlacement p = CollapseCost(CornerEnd({0.9, 2, 3}), CornerEnd({1.2, 2, 3}), noBed);
    ASSERT_TRUE(p.admissible);
    EXPECT_NEAR(p.position.x, 1.0, 1e-12);
    EXPECT_NEAR(p.position.y, 2.0, 1e-12);
    EXPECT_NEAR(p.position.z, 3.0, 1e-12);
    EXPECT_NEAR(p.cost, 0.0, 1e-12);

    // Far from the edge (4.05 from the midpoint of an edge 0.1 long): the
    // cheapest of the ends and the midpoint, each end's planes counted twice.
    // At x = 5: 2 * 4^2 = 32; at 5.1: 2 * 4.1^2 = 33.62; midpoint 32.805.
    p = CollapseCost(CornerEnd({5, 2, 3}), CornerEnd({5.1, 2, 3}), noBed);
    ASSERT_TRUE(p.admissible);
    EXPECT_EQ(p.position.x, 5.0);
    EXPECT_NEAR(p.cost, 32.0, 1e-9);
    // The same edge the other way round picks the same end.
    p = CollapseCost(CornerEnd({5.1, 2, 3}), CornerEnd({5, 2, 3}), noBed);
    EXPECT_EQ(p.position.x, 5.0);

    // One plane only: no best point; equal costs keep the first end.
    End flatA{{}, {0, 0, 0}, false}, flatB{{}, {1, 0, 0}, false};
    AddPlane(flatA.quadric, {0, 0, 1}, 0.0);
    AddPlane(flatB.quadric, {0, 0, 1}, 0.0);
    p = CollapseCost(flatA, flatB, noBed);
    ASSERT_TRUE(p.admissible);
    EXPECT_EQ(p.position.x, 0.0);
    EXPECT_EQ(p.cost, 0.0);

    // A held end stays where it is, at its cost; two held ends cannot merge.
    End held = CornerEnd({5.1, 2, 3});
    held.held = true;
    p = CollapseCost(CornerEnd({0.9, 2, 3}), held, noBed);
    ASSERT_TRUE(p.admissible);
    EXPECT_EQ(p.position.x, 5.1);
    EXPECT_NEAR(p.cost, 2 * 4.1 * 4.1, 1e-9);
    End otherHeld = CornerEnd({0.9, 2, 3});
    otherHeld.held = true;
    EXPECT_FALSE(CollapseCost(otherHeld, held, noBed).admissible);

    // A bed at z = 3.5: the corner (z = 3) and both ends lie below it.
    const BedRule bed{true, 2, 3.5, 0.0001};
    EXPECT_FALSE(CollapseCost(CornerEnd({0.9, 2, 3}), CornerEnd({1.2, 2, 3}), bed).admissible);
    // A bed at z = 3: the corner sits on it, so the ends and the midpoint
    // compete: (1, 2, 3.05) costs 2 * 0.05^2 = 0.005, (1.1, 2, 3.1) costs
    // 2 * (0.1^2 + 0.1^2) = 0.04, the midpoint 2 * (0.05^2 + 0.075^2).
    p = CollapseCost(CornerEnd({1, 2, 3.05}), CornerEnd({1.1, 2, 3.1}), BedRule{true, 2, 3.0, 0.0001});
    ASSERT_TRUE(p.admissible);
    EXPECT_EQ(p.position.z, 3.05);
    EXPECT_NEAR(p.cost, 0.005, 1e-12);
}

TEST(CollapseCost, PairsGiveTheBitsOfSingleEdges) {
    std::mt19937 rng(20261207);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const auto randomEnd = [&](int planes) {
        End end{{}, {40 + 10 * unit(rng), 10 * unit(rng), 10 * unit(rng)}, false};
        for (int i = 0; i < planes; ++i) {
            Vec3d n{unit(rng), unit(rng), unit(rng)};
            const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            n = {n.x / length, n.y / length, n.z / length};
            // Planes through points near the end, so that some best points
            // lie on the edge and some stray far from it.
            const Vec3d on{end.position.x + unit(rng), end.position.y + unit(rng), end.position.z};
            AddPlane(end.quadric, n, -(n.x * on.x + n.y * on.y + n.z * on.z));
        }
        end.held = rng() % 7 == 0;
        return end;
    };
    int solved = 0, fellBack = 0, held = 0, refused = 0;
    for (int round = 0; round < 20000; ++round) {
        // One or two planes leave no single best point; three or more do.
        const End u0 = randomEnd(1 + static_cast<int>(rng() % 4)), v0 = randomEnd(1 + static_cast<int>(rng() % 4));
        const End u1 = rng() % 3 == 0 ? u0 : randomEnd(1 + static_cast<int>(rng() % 4));
        const End v1 = randomEnd(1 + static_cast<int>(rng() % 4));
        const BedRule bed =
            rng() % 2 == 0 ? BedRule{} : BedRule{true, static_cast<int>(rng() % 3), 5 * unit(rng), 0.0001};
        CollapsePlacement pair[2];
        CollapseCostPair(u0, v0, u1, v1, bed, pair);
        const CollapsePlacement single[2] = {CollapseCost(u0, v0, bed), CollapseCost(u1, v1, bed)};
        for (int lane = 0; lane < 2; ++lane) {
            ASSERT_TRUE(SameBits(pair[lane], single[lane])) << "round " << round << " lane " << lane;
            const End& a = lane == 0 ? u0 : u1;
            const End& b = lane == 0 ? v0 : v1;
            if (!single[lane].admissible) {
                ++refused;
            } else if (a.held || b.held) {
                ++held;
            } else if (single[lane].position == a.position || single[lane].position == b.position) {
                ++fellBack;
            } else {
                ++solved;
            }
        }
    }
    // Every kind of edge came up often enough to have been compared.
    EXPECT_GT(solved, 1000);
    EXPECT_GT(fellBack, 1000);
    EXPECT_GT(held, 1000);
    EXPECT_GT(refused, 100);
}
