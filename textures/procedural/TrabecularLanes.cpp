// The four-lane march, and the choice of a wider one where the processor
// has the wider vectors (see TrabecularLanesImpl.h for the method).
#include "textures/procedural/TrabecularLanes.h"

#include <cstdint>

#include "textures/procedural/Noise.h"
#include "textures/procedural/StrutSearch.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include "textures/procedural/TrabecularLanesImpl.h"
#endif

namespace ridgeforge::mesh::procedural {

#if defined(__SSE2__)
namespace {

struct Sse2 {
    static constexpr int kWidth = 4;
    using F = __m128;
    using I = __m128i;
    static F Set(float v) { return _mm_set1_ps(v); }
    static F Load(const float* p) { return _mm_load_ps(p); }
    static void Store(float* p, F v) { _mm_store_ps(p, v); }
    static F Add(F a, F b) { return _mm_add_ps(a, b); }
    static F Sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F Mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F Div(F a, F b) { return _mm_div_ps(a, b); }
    static F Min(F a, F b) { return _mm_min_ps(a, b); }
    static F Max(F a, F b) { return _mm_max_ps(a, b); }
    static F Sqrt(F a) { return _mm_sqrt_ps(a); }
    static F Lt(F a, F b) { return _mm_cmplt_ps(a, b); }
    static F Le(F a, F b) { return _mm_cmple_ps(a, b); }
    static F Ge(F a, F b) { return _mm_cmpge_ps(a, b); }
    static F Gt(F a, F b) { return _mm_cmpgt_ps(a, b); }
    static F NotGt(F a, F b) { return _mm_cmpngt_ps(a, b); }
    static F And(F a, F b) { return _mm_and_ps(a, b); }
    static F AndNot(F a, F b) { return _mm_andnot_ps(a, b); }  // (not a) and b
    static F Or(F a, F b) { return _mm_or_ps(a, b); }
    static F AllSet() { return _mm_castsi128_ps(_mm_set1_epi32(-1)); }
    static unsigned MaskOf(F a) { return static_cast<unsigned>(_mm_movemask_ps(a)); }
    static I Truncate(F a) { return _mm_cvttps_epi32(a); }
    static F ToFloats(I a) { return _mm_cvtepi32_ps(a); }
    static I LoadInts(const std::int32_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }
    static void StoreInts(std::int32_t* p, I v) { _mm_store_si128(reinterpret_cast<__m128i*>(p), v); }
    static I SetInts(std::int32_t v) { return _mm_set1_epi32(v); }
    static I SubtractInts(I a, I b) { return _mm_sub_epi32(a, b); }
    static I AsInts(F a) { return _mm_castps_si128(a); }
    static F EqualInts(I a, I b) { return _mm_castsi128_ps(_mm_cmpeq_epi32(a, b)); }
    static F Negative(I a) { return _mm_castsi128_ps(_mm_cmplt_epi32(a, _mm_setzero_si128())); }
    static F AsFloats(I a) { return _mm_castsi128_ps(a); }
};

}  // namespace

void MarchRaysFourLanes(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    MarchLanes<Sse2>(settings, count, source, out);
}

#else

void MarchRaysFourLanes(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    for (int x = 0; x < count; ++x) {
        TrabecularTexture::Ray ray;
        source.make(source.context, x, ray);
        out[x] = TrabecularTexture::March(ray, settings);
    }
}

#endif

void MarchRays(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    if (MarchRaysAvx512(settings, count, source, out)) return;
    if (!MarchRaysAvx2(settings, count, source, out)) MarchRaysFourLanes(settings, count, source, out);
}

}  // namespace ridgeforge::mesh::procedural
