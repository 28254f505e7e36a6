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
        if (next >= count) {
            lanes.pixel[lane] = -1;
            return;
        }
        lanes.pixel[lane] = next;
        source.make(source.context, next, lanes.rays[lane]);
        ++next;
    };
    for (int lane = 0; lane < kLanes; ++lane) take(lane);

    const float depth = settings.depth;
    const float thickness = settings.thickness, roughness = settings.roughness;
    const float thickest = (1.0f + roughness) * thickness;  // as the rays have it
    const float core = ((2.0f * 0.0f - 1.0f) * roughness + 1.0f) * thickness;
    const float minStep = roughness > 0.0f ? 0.003f : 0.0001f;
    const auto finish = [&](int lane, float height) {
        out[lanes.pixel[lane]] = height;
        take(lane);
    };

    for (;;) {
        unsigned active = 0;
        float z[kLanes];
        int candidates = 0;
        for (int lane = 0; lane < kLanes; ++lane) {
            z[lane] = lanes.bisections[lane] < 0 ? lanes.t[lane] : (lanes.lo[lane] + lanes.t[lane]) / 2.0f;
            if (lanes.pixel[lane] < 0) continue;
            active |= 1u << lane;
            if (!(z[lane] >= lanes.top[lane] && z[lane] < lanes.bottom[lane])) lanes.Prune(lane, z[lane]);
            candidates = std::max(candidates, lanes.kept[lane]);
        }
        if (active == 0) break;

        const __m128 zv = _mm_setr_ps(z[0], z[1], z[2], z[3]);
        const __m128 d = StrutDistances(lanes, zv, candidates);
        const __m128 below = _mm_cmplt_ps(d, _mm_set1_ps(thickest));
        unsigned solid = 0;
        if (roughness <= 0.0f) {
            solid = static_cast<unsigned>(_mm_movemask_ps(_mm_and_ps(below, _mm_cmplt_ps(d, _mm_set1_ps(thickness)))));
        } else {
            const __m128 inCore = _mm_cmplt_ps(d, _mm_set1_ps(core));
            solid = static_cast<unsigned>(_mm_movemask_ps(_mm_and_ps(below, inCore)));
            const unsigned need = static_cast<unsigned>(_mm_movemask_ps(_mm_andnot_ps(inCore, below))) & active;
            if (need != 0) {
                const __m128 radius = RoughRadius(lanes, zv, need, roughness, thickness);
                solid |= static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(d, radius))) & need;
            }
        }
        alignas(16) float distances[kLanes];
        _mm_store_ps(distances, d);

        for (int lane = 0; lane < kLanes; ++lane) {
            if (!((active >> lane) & 1u)) continue;
            bool isSolid = ((solid >> lane) & 1u) != 0;
            float dist = distances[lane];
            if (lanes.kept[lane] < 0) {  // no slab: the full search, as the scalar march
                dist = TrabecularTexture::StrutDistance(lanes.rays[lane], z[lane]);
                isSolid = TrabecularTexture::IsSolid(lanes.rays[lane], z[lane], dist);
            }
            float& t = lanes.t[lane];
            if (lanes.bisections[lane] < 0) {
                if (isSolid) {
                    if (t > 0.0f) {
                        lanes.bisections[lane] = 0;
                    } else {
                        finish(lane, Contrast(Clamp01(1.0f - t / depth), settings.contrast));
                    }
                    continue;
                }
                lanes.lo[lane] = t;
                t += dist <= thickest ? 0.003f : std::max(minStep, (dist - thickest) / 2.0f);
                if (t >= depth) finish(lane, 0.0f);  // no strut within reach: the floor, without contrast
                continue;
            }
            if (isSolid)
                t = z[lane];
            else
                lanes.lo[lane] = z[lane];
            if (++lanes.bisections[lane] == kBisections) finish(lane, Contrast(Clamp01(1.0f - t / depth), settings.contrast));
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
