// A ray point at depth z looks at 27 feature points (three layers of nine
// columns), but only a few of them can be among its four nearest. Depth is
// cut into slabs; for each slab every point's squared distance is bounded
// below and above over the whole slab (the horizontal part is fixed along
// the ray, the vertical part is a parabola in z), and a point whose lower
// bound exceeds the fourth smallest upper bound is never among the four
// nearest anywhere in the slab, so it is dropped until the ray leaves it.
// The bounds carry a relative margin far above float rounding, so the four
// values kept are those of the full search, to the bit.
#include "mesh/procedural/StrutSearch.h"

#include <algorithm>
#include <cmath>

#include "mesh/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {

int PruneSlab(const TrabecularTexture::Ray& ray, float z, float& top, float& bottom, float* horizontal, float* depth,
              int stride) {
    const std::int32_t layer = FloorIndex(z);
    const float within = std::floor((z - static_cast<float>(layer)) / StrutSearch::kSlab);
    top = static_cast<float>(layer) + within * StrutSearch::kSlab;
    bottom = top + StrutSearch::kSlab;
    if (!(top <= z && z < bottom)) return -1;

    const std::int32_t first = std::max(layer, 0);
    const std::int32_t last = std::min(layer + 2, ray.layers - 1);
    float lower[kStrutCandidates], upper[4] = {1e9f, 1e9f, 1e9f, 1e9f};
    int n = 0;
    for (std::int32_t q = first; q <= last; ++q) {
        for (int m = 0; m < 9; ++m, ++n) {
            const float h = ray.horizontal[q][m], pz = ray.depth[q][m];
            const float nearest = std::max(0.0f, std::max(top - pz, pz - bottom));
            const float farthest = std::max(std::fabs(pz - top), std::fabs(pz - bottom));
            lower[n] = h + nearest * nearest;
            OfferNearest(h + farthest * farthest, upper);
        }
    }
    const float limit = upper[3] * (1.0f + 1e-5f);
    int kept = 0;
    n = 0;
    for (std::int32_t q = first; q <= last; ++q) {
        for (int m = 0; m < 9; ++m, ++n) {
            if (lower[n] > limit) continue;
            horizontal[kept * stride] = ray.horizontal[q][m];
            depth[kept * stride] = ray.depth[q][m];
            ++kept;
        }
    }
    return kept;
}

float StrutSearch::Distance(float z) {
    if (!valid_ || !(z >= top_ && z < bottom_)) {
        count_ = PruneSlab(ray_, z, top_, bottom_, horizontal_, depth_, 1);
        valid_ = count_ >= 0;
        if (!valid_) return TrabecularTexture::StrutDistance(ray_, z);
    }
    // Branch-free insertion: which slot a candidate takes is as good as
    // random, and a mispredicted branch costs more than the whole network.
    float b0 = 1e9f, b1 = 1e9f, b2 = 1e9f, b3 = 1e9f;
    for (int i = 0; i < count_; ++i) {
        const float dz = depth_[i] - z;
        const float s = dz * dz + horizontal_[i];
        const float s1 = std::max(b0, s);
        b0 = std::min(b0, s);
        const float s2 = std::max(b1, s1);
        b1 = std::min(b1, s1);
        const float s3 = std::max(b2, s2);
        b2 = std::min(b2, s2);
        b3 = std::min(b3, s3);
    }
    const float best[4] = {b0, b1, b2, b3};
    return StrutValue(best);
}

}  // namespace ridgeforge::mesh::procedural
