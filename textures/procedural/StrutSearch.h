// The strut distance along one Trabecular ray, with fewer feature points
// looked at per depth. Needs the ray's feature table; gives exactly what
// TrabecularTexture::StrutDistance gives at every depth.
#pragma once

#include <algorithm>
#include <cmath>

#include "textures/procedural/TrabecularTexture.h"

namespace ridgeforge::mesh::procedural {

// Keeps best[0..3] the four smallest squared distances offered, ascending.
inline void OfferNearest(float s, float best[4]) {
    if (!(s < best[3])) return;  // most candidates stop here
    for (int k = 0; k < 4; ++k) {
        if (s < best[k]) {
            const float kept = best[k];
            best[k] = s;
            s = kept;
        }
    }
}

// OfferNearest without branches, for values whose place is unpredictable.
inline void OfferNearestBranchFree(float s, float best[4]) {
    for (int k = 0; k < 4; ++k) {
        const float larger = std::max(best[k], s);
        best[k] = std::min(best[k], s);
        s = larger;
    }
}

// The strut distance from the four smallest squared distances: with d1, d3,
// d4 the first, third and fourth distances, (d4 - d1)(d3 - d1) / (d4 + d3 - 2 d1).
inline float StrutValue(const float best[4]) {
    const float d1 = std::sqrt(best[0]), d3 = std::sqrt(best[2]), d4 = std::sqrt(best[3]);
    const float a = d4 - d1, b = d3 - d1;
    return a + b > 0.0f ? a * b / (a + b) : 0.0f;
}

// Feature points of a ray considered per depth: three layers of nine columns.
inline constexpr int kStrutCandidates = 27;

// The slab of depth holding z, [top, bottom), and the feature points that can
// be among the four nearest somewhere in it, written to horizontal[i *
// stride] and depth[i * stride]; returns how many, or -1 when z lies in no
// slab (not a finite depth).
int PruneSlab(const TrabecularTexture::Ray& ray, float z, float& top, float& bottom, float* horizontal, float* depth,
              int stride);

class StrutSearch {
public:
    // Depth is searched in slabs of this height; a slab never crosses a
    // whole depth, where the layers a point looks at change.
    static constexpr float kSlab = 1.0f;

    explicit StrutSearch(const TrabecularTexture::Ray& ray) : ray_(ray) {}

    // TrabecularTexture::StrutDistance(ray, z), to the bit.
    float Distance(float z);

    // Feature points kept for the current slab (for tests and tuning).
    int KeptCount() const { return count_; }

private:
    static constexpr int kCandidates = kStrutCandidates;

    const TrabecularTexture::Ray& ray_;
    bool valid_ = false;
    float top_ = 0.0f, bottom_ = 0.0f;  // the slab [top_, bottom_)
    int count_ = 0;
    float horizontal_[kCandidates] = {}, depth_[kCandidates] = {};
};

}  // namespace ridgeforge::mesh::procedural
