// The thirty-two-lane march, for processors with AVX-512 (see
// TrabecularLanesImpl.h for the method): two sixteen-lane registers side by
// side, so the two halves' chains of dependent steps overlap, as the
// eight-lane pairs do on AVX2. Only this file is compiled for them, and the
// march is taken only after the processor says it has them. Compares give
// masks in registers of their own, which become the all-ones lanes the march
// combines. No product and sum is merged into one fused
// rounding, so the heights stay those of the narrower marches and of the
// single ray.
#include "textures/procedural/TrabecularLanes.h"

#include <cstdint>

#include "textures/procedural/Noise.h"
#include "textures/procedural/StrutSearch.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

// Every header above is compiled for the common processor; from here on,
// code may use AVX-512 (the foundation and the float logic of DQ).
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq")
// AVX-512 brings fused multiply-add, and C++ lets GCC merge a product and a
// sum into one rounding: not here, or the heights would change.
#pragma GCC optimize("fp-contract=off")
// GCC 12's unmasked min and max start from an undefined vector that the
// instruction overwrites whole; its flow analysis takes that for a read.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "textures/procedural/TrabecularLanesImpl.h"

namespace ridgeforge::mesh::procedural {
namespace {

struct Avx512 {
    static constexpr int kWidth = 16;
    using F = __m512;
    using I = __m512i;
    static F Lanes(__mmask16 m) { return _mm512_castsi512_ps(_mm512_movm_epi32(m)); }
    static F Set(float v) { return _mm512_set1_ps(v); }
    static F Load(const float* p) { return _mm512_loadu_ps(p); }
    static void Store(float* p, F v) { _mm512_storeu_ps(p, v); }
    static F Add(F a, F b) { return _mm512_add_ps(a, b); }
    static F Sub(F a, F b) { return _mm512_sub_ps(a, b); }
    static F Mul(F a, F b) { return _mm512_mul_ps(a, b); }
    static F Div(F a, F b) { return _mm512_div_ps(a, b); }
    static F Min(F a, F b) { return _mm512_min_ps(a, b); }
    static F Max(F a, F b) { return _mm512_max_ps(a, b); }
    static F Sqrt(F a) { return _mm512_sqrt_ps(a); }
    static F Lt(F a, F b) { return Lanes(_mm512_cmp_ps_mask(a, b, _CMP_LT_OS)); }
    static F Le(F a, F b) { return Lanes(_mm512_cmp_ps_mask(a, b, _CMP_LE_OS)); }
    static F Ge(F a, F b) { return Lanes(_mm512_cmp_ps_mask(a, b, _CMP_GE_OS)); }
    static F Gt(F a, F b) { return Lanes(_mm512_cmp_ps_mask(a, b, _CMP_GT_OS)); }
    static F NotGt(F a, F b) { return Lanes(_mm512_cmp_ps_mask(a, b, _CMP_NGT_US)); }
    static F And(F a, F b) { return _mm512_and_ps(a, b); }
    static F AndNot(F a, F b) { return _mm512_andnot_ps(a, b); }  // (not a) and b
    static F Or(F a, F b) { return _mm512_or_ps(a, b); }
    static F AllSet() { return _mm512_castsi512_ps(_mm512_set1_epi32(-1)); }
    static unsigned MaskOf(F a) { return static_cast<unsigned>(_mm512_movepi32_mask(_mm512_castps_si512(a))); }
    static I Truncate(F a) { return _mm512_cvttps_epi32(a); }
    static F ToFloats(I a) { return _mm512_cvtepi32_ps(a); }
    static I LoadInts(const std::int32_t* p) { return _mm512_loadu_si512(p); }
    static void StoreInts(std::int32_t* p, I v) { _mm512_storeu_si512(p, v); }
    static I SetInts(std::int32_t v) { return _mm512_set1_epi32(v); }
    static I SubtractInts(I a, I b) { return _mm512_sub_epi32(a, b); }
    static I AsInts(F a) { return _mm512_castps_si512(a); }
    static F AsFloats(I a) { return _mm512_castsi512_ps(a); }
    static F EqualInts(I a, I b) { return Lanes(_mm512_cmpeq_epi32_mask(a, b)); }
    static F Negative(I a) { return Lanes(_mm512_movepi32_mask(a)); }
};

void MarchThirtyTwo(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    MarchLanes<LanePair<Avx512>>(settings, count, source, out);
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural

#pragma GCC diagnostic pop
#pragma GCC pop_options

namespace ridgeforge::mesh::procedural {

bool MarchRaysAvx512(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    static const bool available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    if (!available) return false;
    MarchThirtyTwo(settings, count, source, out);
    return true;
}

}  // namespace ridgeforge::mesh::procedural

#else

namespace ridgeforge::mesh::procedural {

bool MarchRaysAvx512(const TrabecularTexture::Settings&, int, RaySource, float*) { return false; }

}  // namespace ridgeforge::mesh::procedural

#endif
