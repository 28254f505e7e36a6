// Flat Rock: every cell of a 5 x 5 neighbourhood contributes its random value
// with a separable smooth-step weight raised to a power, a normalised kernel
// sum that is flat near a feature point and changes only where the weights
// of two cells cross. The sums run in double precision: high powers of small
// weights underflow single precision.
#include "textures/procedural/FlatRockTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/NoiseDetail.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

const std::vector<ParameterDefinition>& FlatRockTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("plates", "Plates per tile", 2, 32, 8, "How many plates of stone span the tile"),
        IntegerParameter("sharpness", "Crease sharpness", 2, 32, 16,
                         "How flat each plate is and how crisp the creases between them. 16 is the shader's"),
        FloatParameter("crumple", "Crumple", 0.0f, 1.0f, 1.0f,
                       "The softer surface laid over the plates. 1 is the shader's; 0 leaves bare plates", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

namespace {

// One cell of the lattice: its feature point and its value.
struct PlateCell {
    float x, y, value;
};

PlateCell MakePlateCell(std::int32_t i, std::int32_t j, std::uint32_t ci, std::uint32_t cj, std::uint32_t hx,
                        std::uint32_t hy, std::uint32_t hc) {
    return {static_cast<float>(i) + HashToUnit(hx) + 0.3f * std::cos(static_cast<float>(cj)),
            static_cast<float>(j) + HashToUnit(hy) + 0.3f * std::sin(static_cast<float>(ci)),
            0.5f + 0.5f * std::cos(6.2831855f * HashToUnit(hc))};
}

// The cells of the block of columns [firstI, firstI + columns) and rows
// [firstJ, firstJ + rows), with the three hashes of each four at a time.
struct PlateBlock {
    static constexpr int kMaxCells = 8 * 80;
    std::int32_t firstI = 0, firstJ = 0, columns = 0, rows = 0;
    PlateCell cells[kMaxCells];

    // False when the block does not fit.
    bool Fill(std::int32_t i0, std::int32_t j0, std::int32_t columnCount, std::int32_t rowCount, std::int32_t period,
              std::uint32_t seed) {
        firstI = i0;
        firstJ = j0;
        columns = columnCount;
        rows = rowCount;
        if (columns < 1 || rows < 1 || columns * rows > kMaxCells) return false;
        std::uint32_t ci[4] = {}, cj[4] = {}, hx[4], hy[4], hc[4];
        std::int32_t is[4] = {}, js[4] = {};
        const int count = columns * rows;
        for (int n = 0; n < count; n += 4) {
            const int lanes = std::min(4, count - n);
            for (int k = 0; k < lanes; ++k) {
                is[k] = i0 + (n + k) % columns;
                js[k] = j0 + (n + k) / columns;
                ci[k] = static_cast<std::uint32_t>(WrapIndex(is[k], period));
                cj[k] = static_cast<std::uint32_t>(WrapIndex(js[k], period));
            }
            detail::LatticeHash4(ci, cj, seed, hx);
            detail::LatticeHash4(ci, cj, seed ^ 0x9E3779B9u, hy);
            detail::LatticeHash4(ci, cj, seed + 101u, hc);
            for (int k = 0; k < lanes; ++k) cells[n + k] = MakePlateCell(is[k], js[k], ci[k], cj[k], hx[k], hy[k], hc[k]);
        }
        return true;
    }
    bool Holds(std::int32_t i, std::int32_t j) const {
        return i >= firstI && j >= firstJ && i + 5 <= firstI + columns && j + 5 <= firstJ + rows;
    }
    const PlateCell& At(std::int32_t i, std::int32_t j) const {
        return cells[(j - firstJ) * columns + (i - firstI)];
    }
};

// The kernel sum over the 5 x 5 cells from (i0, j0); cell(i, j) gives a cell.
template <class Cells>
float SumPlates(const Cells& cell, std::int32_t i0, std::int32_t j0, float x, float y, std::int32_t exponent) {
    double weights = 0.0, weighted = 0.0;
    float nearest = 3.4028235e38f;
    float nearestValue = 0.0f;
    for (int n = 0; n < 25; ++n) {
        const PlateCell& p = cell(i0 + n % 5, j0 + n / 5);
        const float dx = p.x - x, dy = p.y - y;
        const float d2 = dx * dx + dy * dy;
        if (d2 < nearest) {
            nearest = d2;
            nearestValue = p.value;
        }
        const double base = static_cast<double>(SmoothStepClamped(1.0f - std::fabs(dx))) *
                            static_cast<double>(SmoothStepClamped(1.0f - std::fabs(dy)));
        double w = 1.0;
        for (std::int32_t k = 0; k < exponent; ++k) w *= base;
        weights += w;
        weighted += static_cast<double>(p.value) * w;
    }
    const float r =
        weights > 1e-300 ? std::max(0.0f, static_cast<float>(weighted / weights)) : std::max(0.0f, nearestValue);
    return 2.0f * std::sqrt(r);
}

// CellField from a block that holds the point's cells, else cell by cell.
float BlockField(const PlateBlock& block, bool filled, float x, float y, std::int32_t period, std::int32_t exponent,
                 std::int32_t seed) {
    const std::int32_t i0 = FloorIndex(x) - 2;
    const std::int32_t j0 = FloorIndex(y) - 2;
    if (!filled || !block.Holds(i0, j0)) return FlatRockTexture::CellField(x, y, period, exponent, seed);
    return SumPlates([&](std::int32_t i, std::int32_t j) -> const PlateCell& { return block.At(i, j); }, i0, j0, x,
                     y, exponent);
}

}  // namespace

float FlatRockTexture::CellField(float x, float y, std::int32_t period, std::int32_t exponent, std::int32_t seed) {
    const std::int32_t i0 = FloorIndex(x) - 2;
    const std::int32_t j0 = FloorIndex(y) - 2;
    PlateBlock block;
    block.Fill(i0, j0, 5, 5, period, static_cast<std::uint32_t>(seed));
    return SumPlates([&](std::int32_t i, std::int32_t j) -> const PlateCell& { return block.At(i, j); }, i0, j0, x, y,
                     exponent);
}

float FlatRockTexture::Sample(float u, float v) const {
    const std::int32_t plates = GetWhole("plates");
    const std::int32_t seed = GetWhole("seed");
    const float crumple = GetValue("crumple");
    const float p = static_cast<float>(plates);

    const float c1 = CellField(p * u, p * v, plates, GetWhole("sharpness"), seed);
    const float c2 = CellField(2.0f * p * u + c1, 2.0f * p * v + c1, 2 * plates, 2, seed + 17);
    const float c3 = CellField(2.0f * p * u, 2.0f * p * v, 2 * plates, 4, seed + 31);
    return Combine(c1, c2, c3, crumple, GetValue("contrast"));
}

float FlatRockTexture::Combine(float c1, float c2, float c3, float crumple, float contrast) {
    const float h = (0.5f * crumple * c3 + (1.0f + crumple * (c2 - 1.0f)) * c1) / (3.0f * crumple + 2.0f);
    return Contrast(Clamp01(h), contrast);
}

void FlatRockTexture::SampleRow(float v, int width, float* out) const {
    const std::int32_t plates = GetWhole("plates");
    const std::int32_t seed = GetWhole("seed");
    const std::int32_t sharpness = GetWhole("sharpness");
    const float crumple = GetValue("crumple");
    const float contrast = GetValue("contrast");
    const float p = static_cast<float>(plates);
    if (width < 1) return;

    // The cells every pixel of the row can reach, hashed once: the plates and
    // the fine field at the row's own height, and the crumple, whose point
    // the plates' field (0 to 2) shifts by up to two cells each way.
    const float uFirst = PixelCentre(0, width), uLast = PixelCentre(width - 1, width);
    const std::int32_t i1 = FloorIndex(p * uFirst) - 2, j1 = FloorIndex(p * v) - 2;
    const std::int32_t i3 = FloorIndex(2.0f * p * uFirst) - 2, j3 = FloorIndex(2.0f * p * v) - 2;
    PlateBlock plateBlock, crumpleBlock, fineBlock;
    const bool plateFilled =
        plateBlock.Fill(i1, j1, FloorIndex(p * uLast) - 2 - i1 + 5, 5, plates, static_cast<std::uint32_t>(seed));
    const bool crumpleFilled = crumpleBlock.Fill(i3, j3, FloorIndex(2.0f * p * uLast + 2.0f) - 2 - i3 + 5,
                                                 FloorIndex(2.0f * p * v + 2.0f) - 2 - j3 + 5, 2 * plates,
                                                 static_cast<std::uint32_t>(seed + 17));
    const bool fineFilled = fineBlock.Fill(i3, j3, FloorIndex(2.0f * p * uLast) - 2 - i3 + 5, 5, 2 * plates,
                                           static_cast<std::uint32_t>(seed + 31));
    for (int x = 0; x < width; ++x) {
        const float u = PixelCentre(x, width);
        const float c1 = BlockField(plateBlock, plateFilled, p * u, p * v, plates, sharpness, seed);
        const float c2 =
            BlockField(crumpleBlock, crumpleFilled, 2.0f * p * u + c1, 2.0f * p * v + c1, 2 * plates, 2, seed + 17);
        const float c3 = BlockField(fineBlock, fineFilled, 2.0f * p * u, 2.0f * p * v, 2 * plates, 4, seed + 31);
        out[x] = Combine(c1, c2, c3, crumple, contrast);
    }
}

}  // namespace ridgeforge::mesh::procedural
