#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mesh/CancellableLoop.h"
#include "relief/validation/Printability.h"

using namespace ridgeforge::mesh;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// The support distance as first written: every cell of the box in each
// pass, up to 256 rounds, rounds counted.
int SweepEveryCell(std::vector<float>& d, int columns, int rows, int x0, int y0, int x1, int y1) {
    const auto relax = [&](float& value, int nx, int ny, float step, bool& changed) {
        if (nx < 0 || ny < 0 || nx >= columns || ny >= rows) return;
        const float n = d[static_cast<std::size_t>(ny * columns + nx)];
        if (n < 0.0f || !(n + step < value)) return;
        value = n + step;
        changed = true;
    };
    constexpr float kDiagonal = 1.4142135f;
    int round = 0;
    for (; round < 256; ++round) {
        bool changed = false;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                float& v = d[static_cast<std::size_t>(y * columns + x)];
                if (!(v > 0.0f)) continue;
                relax(v, x - 1, y, 1.0f, changed);
                relax(v, x, y - 1, 1.0f, changed);
                relax(v, x - 1, y - 1, kDiagonal, changed);
                relax(v, x + 1, y - 1, kDiagonal, changed);
            }
        }
        for (int y = y1 - 1; y >= y0; --y) {
            for (int x = x1 - 1; x >= x0; --x) {
                float& v = d[static_cast<std::size_t>(y * columns + x)];
                if (!(v > 0.0f)) continue;
                relax(v, x + 1, y, 1.0f, changed);
                relax(v, x, y + 1, 1.0f, changed);
                relax(v, x + 1, y + 1, kDiagonal, changed);
                relax(v, x - 1, y + 1, kDiagonal, changed);
            }
        }
        if (!changed) break;
    }
    return round;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A corridor one cell wide that snakes down one column and up the next,
// `columns` wide and `rows` tall, walls of outside cells between the
// columns, supported at its left (or right) end only: every second column
// turns back against the forward pass, so it takes a round per two columns.
std::vector<float> Serpentine(int columns, int rows, bool fromRight) {
    std::vector<float> d(static_cast<std::size_t>(columns * rows), -1.0f);
    for (int x = 0; x < columns; x += 2) {
        for (int y = 0; y < rows; ++y) d[static_cast<std::size_t>(y * columns + x)] = kInf;
        // The link to the next column: at the bottom after a downward one.
        if (x + 1 < columns) {
            const int link = (x / 2) % 2 == 0 ? rows - 1 : 0;
            d[static_cast<std::size_t>(link * columns + x + 1)] = kInf;
        }
    }
    d[static_cast<std::size_t>(fromRight ? (columns - 1) : 0)] = 0.0f;
    return d;
}

}  // namespace

// A corridor that needs more than the 256 rounds: the cells past the last
// round keep what the rounds gave them, and the cells short of it their
// distance along the corridor; both ways round, and within a box that
// leaves the corridor's ends out.
TEST(SupportDistance, VisitingOnlyChangedCellsGivesTheRoundsOfEveryCell) {
    for (bool fromRight : {false, true}) {
        // 1,100 columns: a path of 550 columns turns back 549 times, about
        // 275 rounds, past the most.
        const int columns = 1101, rows = 6;
        std::vector<float> expected = Serpentine(columns, rows, fromRight);
        std::vector<float> got = expected;
        EXPECT_EQ(SweepEveryCell(expected, columns, rows, 0, 0, columns, rows), 256);
        PropagateSupportDistance(got, columns, rows);
        EXPECT_TRUE(SameBits(got, expected)) << (fromRight ? "from the right" : "from the left");
        // Worked out by hand: the supported end's column, then the link and the next column.
        const float first = got[static_cast<std::size_t>(5 * columns + (fromRight ? columns - 1 : 0))];
        EXPECT_FLOAT_EQ(first, 5.0f);
        // Some cells are never reached within the rounds; the supported end's half is.
        const float farEnd = fromRight ? got[0] : got[static_cast<std::size_t>(columns - 1)];
        EXPECT_EQ(farEnd, kInf);
        const float nearMiddle = got[static_cast<std::size_t>(fromRight ? columns - 1 - 400 : 400)];
        EXPECT_LT(nearMiddle, kInf);
    }
    // A box that ends within the corridor: the cells past it do not change.
    const int columns = 61, rows = 9;
    std::vector<float> expected = Serpentine(columns, rows, false);
    std::vector<float> got = expected;
    SweepEveryCell(expected, columns, rows, 0, 0, 41, rows);
    PropagateSupportDistance(got, columns, rows, 0, 0, 41, rows);
    EXPECT_TRUE(SameBits(got, expected));
    EXPECT_LT(got[40], kInf);
    EXPECT_EQ(got[42], kInf);
}

// Random rasters of outside, supported and unsupported cells, most with
// winding walls, in random boxes that may reach past the raster: the same
// bits as visiting every cell, however the walls turn.
TEST(SupportDistance, RandomWallsAndBoxesGiveTheSameBitsAsEveryCell) {
    std::mt19937 random(58);
    for (int trial = 0; trial < 300; ++trial) {
        const int columns = 1 + static_cast<int>(random() % 70), rows = 1 + static_cast<int>(random() % 70);
        const double walls = (random() % 5) / 8.0, supports = (random() % 3 == 0) ? 0.002 : 0.03;
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<float> expected(static_cast<std::size_t>(columns * rows));
        for (float& v : expected) {
            const double r = unit(random);
            v = r < walls ? -1.0f : (r < walls + supports ? 0.0f : kInf);
        }
        const int x0 = static_cast<int>(random() % static_cast<unsigned>(columns + 2)) - 1;
        const int y0 = static_cast<int>(random() % static_cast<unsigned>(rows + 2)) - 1;
        const int x1 = x0 + static_cast<int>(random() % static_cast<unsigned>(columns + 2));
        const int y1 = y0 + static_cast<int>(random() % static_cast<unsigned>(rows + 2));
        std::vector<float> got = expected;
        const bool whole = trial % 3 == 0;
        SweepEveryCell(expected, columns, rows, whole ? 0 : std::max(x0, 0), whole ? 0 : std::max(y0, 0),
                       whole ? columns : std::min(x1, columns), whole ? rows : std::min(y1, rows));
        if (whole) {
            PropagateSupportDistance(got, columns, rows);
        } else {
            PropagateSupportDistance(got, columns, rows, x0, y0, x1, y1);
        }
        ASSERT_TRUE(SameBits(got, expected)) << "trial " << trial << ": " << columns << " x " << rows;
    }
}

// A stop asked before the first round is seen even in an empty box, and
// one asked at a later poll ends the sweeps with the rounds before it done.
TEST(SupportDistance, AStopIsSeenBetweenRounds) {
    const ProgressCallback never = [](const std::string&, float) { return false; };
    CancelContext empty;
    empty.callback = &never;
    std::vector<float> d = Serpentine(41, 4, false);
    EXPECT_THROW(PropagateSupportDistance(d, 41, 4, 5, 0, 5, 4, &empty), Stopped);

    int calls = 0;
    const ProgressCallback third = [&calls](const std::string&, float) { return ++calls < 3; };
    CancelContext context;
    context.callback = &third;
    EXPECT_THROW(PropagateSupportDistance(d, 41, 4, 0, 0, 41, 4, &context), Stopped);
    EXPECT_EQ(calls, 3);
    EXPECT_FLOAT_EQ(d[3 * 41], 3.0f);  // down the first column, in the first round
    EXPECT_EQ(d[40], kInf);            // the last column, twenty turns on
}
