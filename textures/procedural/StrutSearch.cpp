// A ray point at depth z looks at 27 feature points (three layers of nine
// columns), but only a few of them can be among its four nearest. Depth is
// cut into slabs; for each slab every point's squared distance is bounded
// below and above over the whole slab (the horizontal part is fixed along
// the ray, the vertical part is a parabola in z), and a point whose lower
// bound exceeds the fourth smallest upper bound is never among the four
// nearest anywhere in the slab, so it is dropped until the ray leaves it.
// The bounds carry a relative margin far above float rounding, so the four
// values kept are those of the full search, to the bit.
#include "textures/procedural/StrutSearch.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/PatternMath.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ridgeforge::mesh::procedural {
namespace {

// For the count points (h[i], pz[i]) and the slab [top, bottom]: each point's
// smallest squared distance in the slab into lower[i], and the fourth
// smallest of their largest squared distances as the result (1e9 when there
// are fewer than four).
float FourthUpperBound(const float* h, const float* pz, int count, float top, float bottom, float* lower) {
    float upper[4] = {1e9f, 1e9f, 1e9f, 1e9f};
#if defined(__SSE2__)
    // Four points a vector; each lane keeps the four smallest of its own
    // points, and the sixteen kept hold the four smallest of all.
    const __m128 t = _mm_set1_ps(top), b = _mm_set1_ps(bottom), zero = _mm_setzero_ps();
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 lane = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), far = _mm_set1_ps(1e9f);
    __m128 u0 = far, u1 = u0, u2 = u0, u3 = u0;
    for (int n = 0; n < count; n += 4) {
        // The tables have room past the last point (see PruneSlab); what
        // lies there is replaced by points too far to count.
        const __m128 present = _mm_cmplt_ps(lane, _mm_set1_ps(static_cast<float>(count - n)));
        const __m128 hv = _mm_or_ps(_mm_and_ps(present, _mm_loadu_ps(h + n)), _mm_andnot_ps(present, far));
        const __m128 zv = _mm_and_ps(present, _mm_loadu_ps(pz + n));
        const __m128 above = _mm_sub_ps(t, zv), below = _mm_sub_ps(zv, b);
        const __m128 nearest = _mm_max_ps(zero, _mm_max_ps(above, below));
        const __m128 farthest = _mm_max_ps(_mm_andnot_ps(sign, above), _mm_andnot_ps(sign, below));
        _mm_storeu_ps(lower + n, _mm_add_ps(hv, _mm_mul_ps(nearest, nearest)));
        const __m128 s = _mm_add_ps(hv, _mm_mul_ps(farthest, farthest));
        const __m128 s1 = _mm_max_ps(u0, s);
        u0 = _mm_min_ps(u0, s);
        const __m128 s2 = _mm_max_ps(u1, s1);
        u1 = _mm_min_ps(u1, s1);
        const __m128 s3 = _mm_max_ps(u2, s2);
        u2 = _mm_min_ps(u2, s2);
        u3 = _mm_min_ps(u3, s3);
    }
    // Each lane's four are sorted, so the four smallest of two lanes are the
    // pairwise minima of one's four with the other's in reverse (a bitonic
    // merge); sorted again they merge with the other pair of lanes the same
    // way, and the largest of those last minima is the fourth smallest of all.
    const auto merge = [](__m128& a0, __m128& a1, __m128& a2, __m128& a3) {
        const __m128 m0 = _mm_min_ps(a0, _mm_shuffle_ps(a3, a3, _MM_SHUFFLE(1, 0, 3, 2)));
        const __m128 m1 = _mm_min_ps(a1, _mm_shuffle_ps(a2, a2, _MM_SHUFFLE(1, 0, 3, 2)));
        const __m128 m2 = _mm_min_ps(a2, _mm_shuffle_ps(a1, a1, _MM_SHUFFLE(1, 0, 3, 2)));
        const __m128 m3 = _mm_min_ps(a3, _mm_shuffle_ps(a0, a0, _MM_SHUFFLE(1, 0, 3, 2)));
        const __m128 l0 = _mm_min_ps(m0, m2), h0 = _mm_max_ps(m0, m2);
        const __m128 l1 = _mm_min_ps(m1, m3), h1 = _mm_max_ps(m1, m3);
        a0 = _mm_min_ps(l0, l1);
        a1 = _mm_max_ps(l0, l1);
        a2 = _mm_min_ps(h0, h1);
        a3 = _mm_max_ps(h0, h1);
    };
    merge(u0, u1, u2, u3);
    const auto swap = [](__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1)); };
    const __m128 fourth = _mm_max_ps(_mm_max_ps(_mm_min_ps(u0, swap(u3)), _mm_min_ps(u1, swap(u2))),
                                     _mm_max_ps(_mm_min_ps(u2, swap(u1)), _mm_min_ps(u3, swap(u0))));
    upper[3] = std::min(upper[3], _mm_cvtss_f32(fourth));
#else
    for (int n = 0; n < count; ++n) {
        const float nearest = std::max(0.0f, std::max(top - pz[n], pz[n] - bottom));
        const float farthest = std::max(std::fabs(pz[n] - top), std::fabs(pz[n] - bottom));
        lower[n] = h[n] + nearest * nearest;
        OfferNearest(h[n] + farthest * farthest, upper);
    }
#endif
    return upper[3];
}

}  // namespace

int PruneSlab(const TrabecularTexture::Ray& ray, float z, float& top, float& bottom, float* horizontal, float* depth,
              int stride) {
    const std::int32_t layer = FloorIndex(z);
    const float within = std::floor((z - static_cast<float>(layer)) / StrutSearch::kSlab);
    top = static_cast<float>(layer) + within * StrutSearch::kSlab;
    bottom = top + StrutSearch::kSlab;
    if (!(top <= z && z < bottom)) return -1;

    const std::int32_t first = std::max(layer, 0);
    const std::int32_t last = std::min(layer + 2, ray.layers - 1);
    const int count = std::max(0, (last - first + 1) * 9);
    // The layers' rows lie one after another in the ray's tables, and the
    // last layer a ray may have is not the tables' last row, so a vector
    // may read up to three floats past the last point.
    static_assert(TrabecularTexture::kMaxLayers * 9 >= (TrabecularTexture::kMaxLayers - 1) * 9 + 3);
    const float* h = count > 0 ? &ray.horizontal[first][0] : nullptr;
    const float* pz = count > 0 ? &ray.depth[first][0] : nullptr;
    float lower[kStrutCandidates + 3];
    const float limit = FourthUpperBound(h, pz, count, top, bottom, lower) * (1.0f + 1e-5f);
    // Every point is written and only those kept move the end on: whether a
    // point is kept is as good as random, and a branch on it mispredicts
    // half the time. The tables have room for every point.
    int kept = 0;
    for (int n = 0; n < count; ++n) {
        horizontal[kept * stride] = h[n];
        depth[kept * stride] = pz[n];
        kept += lower[n] > limit ? 0 : 1;
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
