// Penrose Tiles: Robinson-triangle deflation of the rhomb tiling. A thick
// half (obtuse golden triangle) splits into two thick halves and a thin one,
// a thin half (acute golden triangle) into one of each; after every split
// the point is moved into the chosen half's own frame and scaled by phi, so
// no tiling is stored. The distance to the half's two outer edges gives a
// two-slope chamfer; the shared diagonal is not grooved.
#include "textures/procedural/PenroseTilesTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"

namespace ridgeforge::mesh::procedural {
namespace {

constexpr float kPhi = 1.618034f;
constexpr float kInvPhi = 0.618034f;
constexpr float kCos36 = 0.809017f;
constexpr float kSin36 = 0.58778524f;
constexpr float kCos72 = 0.309017f;
constexpr float kSin72 = 0.95105654f;
constexpr float kTan54 = 1.3763819f;
constexpr float kTan18 = 0.3249197f;

void SplitThin(std::int32_t& kind, float& x, float& y) {
    float nx = 0.0f, ny = 0.0f;
    if (kTan54 * y - x > 0.0f) {
        kind -= 2;
        nx = kCos72 * x + kSin72 * y;
        ny = kSin72 * x - kCos72 * y;
    } else {
        const float x0 = x - kInvPhi;
        nx = kSin72 * y - kCos72 * x0;
        ny = -kSin72 * x0 - kCos72 * y;
    }
    x = nx;
    y = ny;
}

void SplitThick(std::int32_t& kind, float& x, float& y) {
    float nx = 0.0f, ny = 0.0f;
    if (1.0f - kTan54 * y - x > 0.0f) {
        kind = 1 - kind;
        nx = 1.0f - x;
        ny = y;
    } else if (1.0f - kTan18 * y - x > 0.0f) {
        kind = 3 - kind;
        const float xc = x - kCos36;
        const float y0 = y - kSin36;
        nx = -kCos36 * xc - kSin36 * y0;
        ny = kSin36 * xc - kCos36 * y0;
    } else {
        const float x0 = x - kPhi;
        nx = kSin36 * y - kCos36 * x0;
        ny = -kSin36 * x0 - kCos36 * y;
    }
    x = nx;
    y = ny;
}

}  // namespace

const std::vector<ParameterDefinition>& PenroseTilesTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("levels", "Subdivision", 3, 10, 6,
                         "How many times the root rhombus is split. Each level is 1.6 times as many tiles across: "
                         "about 8 at 5, 13 at 6, 21 at 7"),
        FloatParameter("bevel", "Bevel", 0.1f, 3.0f, 1.0f, "How wide the chamfer round each tile is. 1 is the shader's",
                       0.01f),
        FloatParameter("thin", "Thin tiles sunk", 0.0f, 1.0f, 0.35f,
                       "How far the thin rhombi sit below the thick ones. 0 leaves them level; 1 sinks them to the "
                       "floor of the grooves",
                       0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
    };
    return table;
}

std::int32_t PenroseTilesTexture::LocateTile(float& x, float& y, std::int32_t levels) {
    std::int32_t kind = 0;
    if (y < 0.0f) {
        y = -y;
        kind = 1;
    }
    for (std::int32_t level = 0; level < levels; ++level) {
        if (kind >= 2)
            SplitThin(kind, x, y);
        else
            SplitThick(kind, x, y);
        x *= kPhi;
        y *= kPhi;
    }
    return kind;
}

float PenroseTilesTexture::Sample(float u, float v) const {
    float x = (u - 0.5f) * 0.64f + 0.809017f;
    float y = (v - 0.5f) * 0.64f;
    const std::int32_t kind = LocateTile(x, y, GetWhole("levels"));

    float e1 = 0.0f, e2 = 0.0f;
    if (kind < 2) {
        e1 = (x - kTan54 * y) * kInvPhi;
        e2 = 1.0f - (kTan54 * y + x) * kInvPhi;
    } else {
        e1 = kInvPhi - kTan18 * y - x;
        e2 = x - kTan18 * y;
    }
    const float e = std::max(0.0f, std::min(e1, e2));
    const float bevel = GetValue("bevel");
    float h = (std::min(e, 0.15f * bevel) + 2.0f * std::min(e, 0.05f * bevel)) / (0.25f * bevel);
    if (kind >= 2) h *= 1.0f - GetValue("thin");
    return Contrast(Clamp01(h), GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
