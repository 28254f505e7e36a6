// Each of the four lanes of a vector carries one ray through the march and
// the bisection of TrabecularTexture::March; a lane that is done takes the
// next pixel, so the lanes stay busy although rays take different numbers of
// steps. The strut distance (the four nearest of the slab's feature points,
// three square roots and a division) and the roughness noise run in the
// lanes; the rare work of one lane (a new slab of feature points, new lattice
// values of the noise, a new pixel) and the step rules run per lane. A lane
// does the scalar march's float operations in the same order, and single
// precision adds, multiplies, divisions, square roots, minima and maxima give
// the same bits in a vector lane, so every height is the scalar one.
#include "mesh/procedural/TrabecularLanes.h"

#include <algorithm>
#include <cmath>

#include "mesh/procedural/Noise.h"
#include "mesh/procedural/StrutSearch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ridgeforge::mesh::procedural {

#if defined(__SSE2__)
namespace {

constexpr int kLanes = 4;
constexpr int kBisections = 10;
constexpr float kNever = 3e9f;  // squared distance of padding: never among the nearest four

struct Lanes {
    TrabecularTexture::Ray rays[kLanes];
    int pixel[kLanes] = {-1, -1, -1, -1};  // -1: no pixel left for the lane
    int bisections[kLanes] = {};           // -1 while marching
    int kept[kLanes] = {};                 // -1: the slab search failed, use the full search
    alignas(16) float t[kLanes] = {};
    alignas(16) float lo[kLanes] = {};
    alignas(16) float top[kLanes] = {};
    alignas(16) float bottom[kLanes] = {};
    // The roughness noise's lattice values per octave and lane: blended at
    // depth cells noiseCell and noiseCell + 1.
    alignas(16) std::int32_t noiseCell[4][kLanes] = {};
    alignas(16) float layer0[4][kLanes] = {};
    alignas(16) float layer1[4][kLanes] = {};
    bool noiseValid[4][kLanes] = {};
    alignas(16) float horizontal[kStrutCandidates][kLanes];
    alignas(16) float depth[kStrutCandidates][kLanes];

    void Pad(int lane, int from) {
        for (int i = std::max(from, 0); i < kStrutCandidates; ++i) {
            horizontal[i][lane] = kNever;
            depth[i][lane] = 0.0f;
        }
    }
    void Prune(int lane, float z) {
        kept[lane] = PruneSlab(rays[lane], z, top[lane], bottom[lane], &horizontal[0][lane], &depth[0][lane], kLanes);
        Pad(lane, kept[lane]);
    }
};

// The four lanes' strut distances at depths z (the slab's points only).
__m128 StrutDistances(const Lanes& lanes, __m128 z, int candidates) {
    __m128 b0 = _mm_set1_ps(1e9f), b1 = b0, b2 = b0, b3 = b0;
    for (int i = 0; i < candidates; ++i) {
        const __m128 dz = _mm_sub_ps(_mm_load_ps(lanes.depth[i]), z);
        const __m128 s = _mm_add_ps(_mm_mul_ps(dz, dz), _mm_load_ps(lanes.horizontal[i]));
        const __m128 s1 = _mm_max_ps(b0, s);
        b0 = _mm_min_ps(b0, s);
        const __m128 s2 = _mm_max_ps(b1, s1);
        b1 = _mm_min_ps(b1, s1);
        const __m128 s3 = _mm_max_ps(b2, s2);
        b2 = _mm_min_ps(b2, s2);
        b3 = _mm_min_ps(b3, s3);
    }
    const __m128 d1 = _mm_sqrt_ps(b0), d3 = _mm_sqrt_ps(b2), d4 = _mm_sqrt_ps(b3);
    const __m128 a = _mm_sub_ps(d4, d1), b = _mm_sub_ps(d3, d1);
    const __m128 sum = _mm_add_ps(a, b);
    const __m128 positive = _mm_cmpgt_ps(sum, _mm_setzero_ps());
    // Lanes whose sum is not positive divide 0 by 0; the mask drops them.
    return _mm_and_ps(positive, _mm_div_ps(_mm_mul_ps(a, b), sum));
}

// The strut radius the roughness gives at depths z, for the lanes in need
// (others get a value of no meaning). The lattice values of a lane's depth
// cell are fetched as TrabecularTexture::IsSolid fetches them, and kept per
// octave and lane until the lane's ray leaves the cell.
__m128 RoughRadius(Lanes& lanes, __m128 z, unsigned need, float roughness, float thickness) {
    constexpr float kWeights[4] = {0.5f, 0.25f, 0.125f, 0.0625f};
    __m128 n = _mm_setzero_ps();
    for (int o = 0; o < 4; ++o) {
        const __m128 zf = _mm_mul_ps(z, _mm_set1_ps(10.0f * static_cast<float>(1 << o)));
        // Depths are never negative, so truncation is the floor.
        const __m128i cell = _mm_cvttps_epi32(zf);
        const __m128i held = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.noiseCell[o]));
        const unsigned stale =
            static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(cell, held)))) ^ 0xFu;
        if ((stale & need) != 0) {
            alignas(16) std::int32_t cells[kLanes];
            _mm_store_si128(reinterpret_cast<__m128i*>(cells), cell);
            for (int lane = 0; lane < kLanes; ++lane) {
                if (!((stale & need) >> lane & 1u)) continue;
                const TrabecularTexture::Ray::Octave& octave = lanes.rays[lane].octaves[o];
                const std::int32_t iz = cells[lane];
                const bool held1 = lanes.noiseValid[o][lane] && lanes.noiseCell[o][lane] + 1 == iz;
                lanes.layer0[o][lane] = held1 ? lanes.layer1[o][lane] : TrabecularTexture::OctaveLayer(octave, iz);
                lanes.layer1[o][lane] = TrabecularTexture::OctaveLayer(octave, iz + 1);
                lanes.noiseCell[o][lane] = iz;
                lanes.noiseValid[o][lane] = true;
            }
        }
        const __m128 s = _mm_sub_ps(zf, _mm_cvtepi32_ps(cell));
        const __m128 sz = _mm_mul_ps(_mm_mul_ps(s, s), _mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(_mm_set1_ps(2.0f), s)));
        const __m128 value = _mm_add_ps(_mm_mul_ps(_mm_load_ps(lanes.layer0[o]), _mm_sub_ps(_mm_set1_ps(1.0f), sz)),
                                        _mm_mul_ps(_mm_load_ps(lanes.layer1[o]), sz));
        n = _mm_add_ps(n, _mm_mul_ps(_mm_set1_ps(kWeights[o]), value));
    }
    n = _mm_div_ps(n, _mm_set1_ps(0.9375f));
    const __m128 spread = _mm_sub_ps(_mm_mul_ps(_mm_set1_ps(2.0f), n), _mm_set1_ps(1.0f));
    return _mm_mul_ps(_mm_add_ps(_mm_mul_ps(spread, _mm_set1_ps(roughness)), _mm_set1_ps(1.0f)),
                      _mm_set1_ps(thickness));
}

}  // namespace

void MarchRays(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    Lanes lanes;
    int next = 0;
    // Puts the next pixel's ray in the lane, or leaves the lane idle.
    const auto take = [&](int lane) {
        lanes.bisections[lane] = -1;
        lanes.t[lane] = lanes.lo[lane] = 0.0f;
        lanes.top[lane] = 1.0f;  // an empty slab: the first step finds its own
        lanes.bottom[lane] = 0.0f;
        lanes.kept[lane] = 0;
        lanes.Pad(lane, 0);
        for (int o = 0; o < 4; ++o) {
            lanes.noiseValid[o][lane] = false;
            lanes.noiseCell[o][lane] = -1;  // no depth cell: the first need fetches
        }
        lanes.pixel[lane] = next < count ? next++ : -1;
        if (lanes.pixel[lane] >= 0) source.make(source.context, lanes.pixel[lane], lanes.rays[lane]);
    };
    unsigned active = 0;
    for (int lane = 0; lane < kLanes; ++lane) {
        take(lane);
        if (lanes.pixel[lane] >= 0) active |= 1u << lane;
    }

    const float depth = settings.depth;
    const float thickness = settings.thickness, roughness = settings.roughness;
    const float thickest = (1.0f + roughness) * thickness;  // as the rays have it
    const float core = ((2.0f * 0.0f - 1.0f) * roughness + 1.0f) * thickness;
    const float minStep = roughness > 0.0f ? 0.003f : 0.0001f;
    const __m128 thickestV = _mm_set1_ps(thickest);
    const auto select = [](__m128 mask, __m128 a, __m128 b) {
        return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
    };
    const auto finish = [&](int lane, float height) {
        out[lanes.pixel[lane]] = height;
        take(lane);
        if (lanes.pixel[lane] < 0) active &= ~(1u << lane);
    };

    while (active != 0) {
        const __m128 t = _mm_load_ps(lanes.t), lo = _mm_load_ps(lanes.lo);
        const __m128i bisections = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.bisections));
        const __m128 marching = _mm_castsi128_ps(_mm_cmplt_epi32(bisections, _mm_setzero_si128()));
        const __m128 z = select(marching, t, _mm_div_ps(_mm_add_ps(lo, t), _mm_set1_ps(2.0f)));

        // A lane whose depth left its slab looks for the slab's points.
        const __m128 inSlab =
            _mm_and_ps(_mm_cmpge_ps(z, _mm_load_ps(lanes.top)), _mm_cmplt_ps(z, _mm_load_ps(lanes.bottom)));
        unsigned moved = ~static_cast<unsigned>(_mm_movemask_ps(inSlab)) & active;
        if (moved != 0) {
            alignas(16) float zs[kLanes];
            _mm_store_ps(zs, z);
            for (int lane = 0; lane < kLanes; ++lane) {
                if (!((moved >> lane) & 1u)) continue;
                lanes.Prune(lane, zs[lane]);
                if (lanes.kept[lane] < 0) {  // a depth in no slab: the single ray's march from the start
                    TrabecularTexture::Ray ray;
                    source.make(source.context, lanes.pixel[lane], ray);
                    finish(lane, TrabecularTexture::March(ray, settings));
                }
            }
            if (active == 0) break;
            continue;  // the lanes changed: start the step again
        }
        int candidates = 0;
        for (int lane = 0; lane < kLanes; ++lane) candidates = std::max(candidates, lanes.kept[lane]);

        const __m128 d = StrutDistances(lanes, z, candidates);
        const __m128 below = _mm_cmplt_ps(d, thickestV);
        __m128 solid;
        if (roughness <= 0.0f) {
            solid = _mm_and_ps(below, _mm_cmplt_ps(d, _mm_set1_ps(thickness)));
        } else {
            const __m128 inCore = _mm_cmplt_ps(d, _mm_set1_ps(core));
            solid = _mm_and_ps(below, inCore);
            const __m128 needs = _mm_andnot_ps(inCore, below);
            const unsigned need = static_cast<unsigned>(_mm_movemask_ps(needs)) & active;
            if (need != 0) {
                const __m128 radius = RoughRadius(lanes, z, need, roughness, thickness);
                solid = _mm_or_ps(solid, _mm_and_ps(needs, _mm_cmplt_ps(d, radius)));
            }
        }

        // Marching and clear: step on (0.003 near a strut, else half the
        // distance beyond the thickest strut). Bisecting: halve the interval.
        const __m128 step = select(_mm_cmple_ps(d, thickestV), _mm_set1_ps(0.003f),
                                   _mm_max_ps(_mm_div_ps(_mm_sub_ps(d, thickestV), _mm_set1_ps(2.0f)),
                                              _mm_set1_ps(minStep)));
        const __m128 advance = _mm_andnot_ps(solid, marching);
        const __m128 bisecting = _mm_andnot_ps(marching, _mm_castsi128_ps(_mm_set1_epi32(-1)));
        const __m128 further = _mm_add_ps(t, step);
        const __m128 tNext = select(advance, further, select(_mm_and_ps(bisecting, solid), z, t));
        const __m128 loNext = select(advance, t, select(_mm_andnot_ps(solid, bisecting), z, lo));
        _mm_store_ps(lanes.t, tNext);
        _mm_store_ps(lanes.lo, loNext);
        // A hit while marching starts the bisection (-1 + 1 = 0), as does
        // every bisection step count one on.
        const __m128i counted = _mm_sub_epi32(bisections, _mm_castps_si128(_mm_or_ps(bisecting, _mm_and_ps(marching, solid))));
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes.bisections), counted);

        const unsigned floor =
            static_cast<unsigned>(_mm_movemask_ps(_mm_and_ps(advance, _mm_cmpge_ps(further, _mm_set1_ps(depth)))));
        const unsigned surface = static_cast<unsigned>(_mm_movemask_ps(
            _mm_and_ps(_mm_and_ps(marching, solid), _mm_cmpngt_ps(t, _mm_setzero_ps()))));
        const unsigned bisected = static_cast<unsigned>(_mm_movemask_ps(
            _mm_and_ps(bisecting, _mm_castsi128_ps(_mm_cmpeq_epi32(counted, _mm_set1_epi32(kBisections))))));
        const unsigned done = (floor | surface | bisected) & active;
        if (done == 0) continue;
        for (int lane = 0; lane < kLanes; ++lane) {
            if (!((done >> lane) & 1u)) continue;
            // No strut within reach gives the floor, without contrast.
            finish(lane, ((floor >> lane) & 1u)
                             ? 0.0f
                             : Contrast(Clamp01(1.0f - lanes.t[lane] / depth), settings.contrast));
        }
    }
}

#else

void MarchRays(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    for (int x = 0; x < count; ++x) {
        TrabecularTexture::Ray ray;
        source.make(source.context, x, ray);
        out[x] = TrabecularTexture::March(ray, settings);
    }
}

#endif

}  // namespace ridgeforge::mesh::procedural
