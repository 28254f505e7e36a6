// Support distance: the chamfer distance transform of Rosenfeld and Pfaltz
// ("Sequential Operations in Digital Picture Processing", 1966), a forward
// and a backward raster pass repeated until nothing changes, because the
// inside cells may wind: a corridor that turns back on itself needs a round
// for every turn.
//
// A pass visits only the cells whose inputs changed since that cell's last
// visit in the same direction. A cell lowered in a pass can lower, in the
// next forward pass, only the cell right of it and the three below it, and
// in the next backward pass only the cell left of it and the three above it;
// any other cell would compare itself with the very values that left it as
// it is. Skipping those gives the same values, the same number of rounds and
// the same stops as visiting the whole box every pass, and a corridor that
// winds round a spiral costs the cells along it rather than the box once a
// turn.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "relief/validation/Printability.h"

namespace ridgeforge::mesh {
namespace {

constexpr float kDiagonalStep = 1.4142135f;
constexpr int kMostRounds = 256;

// The cells of the box a pass in one direction has to visit, a bit each,
// with a flag for every row that has any. A forward pass takes a row's cells
// lowest first and a backward pass highest first; what either marks in the
// row it is taking lies ahead of it, so it is taken in the same pass.
class DirtyCells {
public:
    DirtyCells(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
        : x0_(x0),
          y0_(y0),
          x1_(x1),
          y1_(y1),
          words_((static_cast<std::size_t>(x1 - x0) + 63) / 64),
          bits_(words_ * static_cast<std::size_t>(y1 - y0), 0),
          rows_(static_cast<std::size_t>(y1 - y0), 0) {}

    // Marks columns x - 1 .. x + 1 of row y, as far as they lie in the box.
    void Around(std::int32_t x, std::int32_t y) {
        if (y < y0_ || y >= y1_) return;
        for (std::int32_t c = std::max(x - 1, x0_); c <= std::min(x + 1, x1_ - 1); ++c) Mark(c, y);
    }

    void Mark(std::int32_t x, std::int32_t y) {
        const auto row = static_cast<std::size_t>(y - y0_), column = static_cast<std::size_t>(x - x0_);
        bits_[row * words_ + column / 64] |= std::uint64_t{1} << (column % 64);
        rows_[row] = 1;
    }

    // Calls visit(x) for the row's marked cells, lowest first (ascending) or
    // highest first, clearing each mark as it goes.
    template <typename Visit>
    void Take(std::int32_t y, bool ascending, const Visit& visit) {
        const auto row = static_cast<std::size_t>(y - y0_);
        if (rows_[row] == 0) return;
        rows_[row] = 0;
        std::uint64_t* const words = bits_.data() + row * words_;
        for (std::size_t i = 0; i < words_; ++i) {
            const std::size_t w = ascending ? i : words_ - 1 - i;
            while (words[w] != 0) {
                const int bit = ascending ? std::countr_zero(words[w]) : 63 - std::countl_zero(words[w]);
                words[w] &= ~(std::uint64_t{1} << bit);
                visit(x0_ + static_cast<std::int32_t>(w * 64 + static_cast<std::size_t>(bit)));
            }
        }
    }

private:
    std::int32_t x0_, y0_, x1_, y1_;
    std::size_t words_;
    std::vector<std::uint64_t> bits_;
    std::vector<std::uint8_t> rows_;
};

class SupportSweeps {
public:
    SupportSweeps(std::vector<float>& distance, std::int32_t columns, std::int32_t rows, std::int32_t x0,
                  std::int32_t y0, std::int32_t x1, std::int32_t y1)
        : distance_(distance),
          columns_(columns),
          rows_(rows),
          x0_(x0),
          y0_(y0),
          x1_(x1),
          y1_(y1),
          forward_(x0, y0, x1, y1),
          backward_(x0, y0, x1, y1) {}

    // The first round visits every cell of the box; of what it lowers, only
    // the next forward pass has to look again, as every later cell of either
    // pass is visited anyway.
    bool FirstRound() {
        bool changed = false;
        for (std::int32_t y = y0_; y < y1_; ++y)
            for (std::int32_t x = x0_; x < x1_; ++x) changed = LowerForward(x, y) || changed;
        for (std::int32_t y = y1_ - 1; y >= y0_; --y) {
            for (std::int32_t x = x1_ - 1; x >= x0_; --x) {
                if (!LowerBackward(x, y)) continue;
                changed = true;
                forward_.Around(x + 1, y);
                forward_.Around(x, y + 1);
            }
        }
        return changed;
    }

    // One forward pass over the marked cells; true when it lowered one.
    bool Forward() {
        bool changed = false;
        for (std::int32_t y = y0_; y < y1_; ++y) {
            forward_.Take(y, true, [&](std::int32_t x) {
                if (!LowerForward(x, y)) return;
                changed = true;
                // The cell right of it reads it later in this very pass.
                if (x + 1 < x1_) forward_.Mark(x + 1, y);
                forward_.Around(x, y + 1);
                backward_.Around(x - 1, y);
                backward_.Around(x, y - 1);
            });
        }
        return changed;
    }

    // One backward pass over the marked cells; true when it lowered one.
    bool Backward() {
        bool changed = false;
        for (std::int32_t y = y1_ - 1; y >= y0_; --y) {
            backward_.Take(y, false, [&](std::int32_t x) {
                if (!LowerBackward(x, y)) return;
                changed = true;
                if (x - 1 >= x0_) backward_.Mark(x - 1, y);
                backward_.Around(x, y - 1);
                forward_.Around(x + 1, y);
                forward_.Around(x, y + 1);
            });
        }
        return changed;
    }

private:
    float& At(std::int32_t x, std::int32_t y) {
        return distance_[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_) +
                         static_cast<std::size_t>(x)];
    }

    // A cell's step in either pass: through the cells before it in that
    // pass's order. True when it was lowered.
    bool LowerForward(std::int32_t x, std::int32_t y) {
        float& d = At(x, y);
        if (!(d > 0.0f)) return false;
        const float before = d;
        Relax(d, x - 1, y, 1.0f);
        Relax(d, x, y - 1, 1.0f);
        Relax(d, x - 1, y - 1, kDiagonalStep);
        Relax(d, x + 1, y - 1, kDiagonalStep);
        return d < before;
    }

    bool LowerBackward(std::int32_t x, std::int32_t y) {
        float& d = At(x, y);
        if (!(d > 0.0f)) return false;
        const float before = d;
        Relax(d, x + 1, y, 1.0f);
        Relax(d, x, y + 1, 1.0f);
        Relax(d, x + 1, y + 1, kDiagonalStep);
        Relax(d, x - 1, y + 1, kDiagonalStep);
        return d < before;
    }

    // Lowers the cell through the neighbour at (nx, ny); outside cells and
    // cells off the raster are ignored.
    void Relax(float& value, std::int32_t nx, std::int32_t ny, float step) {
        if (nx < 0 || ny < 0 || nx >= columns_ || ny >= rows_) return;
        const float n = At(nx, ny);
        if (n < 0.0f || !(n + step < value)) return;
        value = n + step;
    }

    std::vector<float>& distance_;
    std::int32_t columns_, rows_, x0_, y0_, x1_, y1_;
    DirtyCells forward_, backward_;
};

}  // namespace

void PropagateSupportDistance(std::vector<float>& distance, std::int32_t columns, std::int32_t rows) {
    PropagateSupportDistance(distance, columns, rows, 0, 0, columns, rows);
}

void PropagateSupportDistance(std::vector<float>& distance, std::int32_t columns, std::int32_t rows, std::int32_t x0,
                              std::int32_t y0, std::int32_t x1, std::int32_t y1, CancelContext* cancel) {
    x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, columns), y1 = std::min(y1, rows);
    if (static_cast<std::size_t>(std::max(0, columns)) * static_cast<std::size_t>(std::max(0, rows)) > distance.size())
        return;
    if (x0 >= x1 || y0 >= y1) {
        ThrowIfStopped(cancel);
        return;
    }
    SupportSweeps sweeps(distance, columns, rows, x0, y0, x1, y1);
    ThrowIfStopped(cancel);
    if (!sweeps.FirstRound()) return;
    for (int round = 1; round < kMostRounds; ++round) {
        ThrowIfStopped(cancel);
        const bool forward = sweeps.Forward();
        const bool backward = sweeps.Backward();
        if (!forward && !backward) break;
    }
}

}  // namespace ridgeforge::mesh
