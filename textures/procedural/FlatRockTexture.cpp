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

float FlatRockTexture::CellField(float x, float y, std::int32_t period, std::int32_t exponent, std::int32_t seed) {
    const std::int32_t i0 = FloorIndex(x) - 2;
    const std::int32_t j0 = FloorIndex(y) - 2;
    const auto s = static_cast<std::uint32_t>(seed);
    // The wrapped rows and columns, their wobble and the three hashes of
    // every cell are worked out before the sum: a row's cosine and a
    // column's sine serve five cells each, and the hashes go four at a time.
    std::uint32_t ci[5], cj[5];
    float wobbleX[5], wobbleY[5];
    for (int k = 0; k < 5; ++k) {
        ci[k] = static_cast<std::uint32_t>(WrapIndex(i0 + k, period));
        cj[k] = static_cast<std::uint32_t>(WrapIndex(j0 + k, period));
        wobbleX[k] = 0.3f * std::cos(static_cast<float>(cj[k]));
        wobbleY[k] = 0.3f * std::sin(static_cast<float>(ci[k]));
    }
    std::uint32_t xs[28] = {}, ys[28] = {}, hx[28], hy[28], hc[28];
    for (int n = 0; n < 25; ++n) {
        xs[n] = ci[n % 5];
        ys[n] = cj[n / 5];
    }
    for (int n = 0; n < 28; n += 4) {
        detail::LatticeHash4(xs + n, ys + n, s, hx + n);
        detail::LatticeHash4(xs + n, ys + n, s ^ 0x9E3779B9u, hy + n);
        detail::LatticeHash4(xs + n, ys + n, s + 101u, hc + n);
    }
    double weights = 0.0, weighted = 0.0;
    float nearest = 3.4028235e38f;
    float nearestValue = 0.0f;
    for (int n = 0; n < 25; ++n) {
        const int a = n % 5, b = n / 5;
        const float fx = static_cast<float>(i0 + a) + HashToUnit(hx[n]) + wobbleX[b];
        const float fy = static_cast<float>(j0 + b) + HashToUnit(hy[n]) + wobbleY[a];
        const float c = 0.5f + 0.5f * std::cos(6.2831855f * HashToUnit(hc[n]));
        const float dx = fx - x, dy = fy - y;
        const float d2 = dx * dx + dy * dy;
        if (d2 < nearest) {
            nearest = d2;
            nearestValue = c;
        }
        const double base = static_cast<double>(SmoothStepClamped(1.0f - std::fabs(dx))) *
                            static_cast<double>(SmoothStepClamped(1.0f - std::fabs(dy)));
        double w = 1.0;
        for (std::int32_t k = 0; k < exponent; ++k) w *= base;
        weights += w;
        weighted += static_cast<double>(c) * w;
    }
    const float r =
        weights > 1e-300 ? std::max(0.0f, static_cast<float>(weighted / weights)) : std::max(0.0f, nearestValue);
    return 2.0f * std::sqrt(r);
}

float FlatRockTexture::Sample(float u, float v) const {
    const std::int32_t plates = GetWhole("plates");
    const std::int32_t seed = GetWhole("seed");
    const float crumple = GetValue("crumple");
    const float p = static_cast<float>(plates);

    const float c1 = CellField(p * u, p * v, plates, GetWhole("sharpness"), seed);
    const float c2 = CellField(2.0f * p * u + c1, 2.0f * p * v + c1, 2 * plates, 2, seed + 17);
    const float c3 = CellField(2.0f * p * u, 2.0f * p * v, 2 * plates, 4, seed + 31);
    const float h = (0.5f * crumple * c3 + (1.0f + crumple * (c2 - 1.0f)) * c1) / (3.0f * crumple + 2.0f);
    return Contrast(Clamp01(h), GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
