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

// Two of them side by side.
struct Avx512Pair {
    static constexpr int kWidth = 32;
    struct F {
        __m512 lo, hi;
    };
    struct I {
        __m512i lo, hi;
    };
    using A = Avx512;
    static F Set(float v) { return {A::Set(v), A::Set(v)}; }
    static F Load(const float* p) { return {A::Load(p), A::Load(p + 16)}; }
    static void Store(float* p, F v) {
        A::Store(p, v.lo);
        A::Store(p + 16, v.hi);
    }
    static F Add(F a, F b) { return {A::Add(a.lo, b.lo), A::Add(a.hi, b.hi)}; }
    static F Sub(F a, F b) { return {A::Sub(a.lo, b.lo), A::Sub(a.hi, b.hi)}; }
    static F Mul(F a, F b) { return {A::Mul(a.lo, b.lo), A::Mul(a.hi, b.hi)}; }
    static F Div(F a, F b) { return {A::Div(a.lo, b.lo), A::Div(a.hi, b.hi)}; }
    static F Min(F a, F b) { return {A::Min(a.lo, b.lo), A::Min(a.hi, b.hi)}; }
    static F Max(F a, F b) { return {A::Max(a.lo, b.lo), A::Max(a.hi, b.hi)}; }
    static F Sqrt(F a) { return {A::Sqrt(a.lo), A::Sqrt(a.hi)}; }
    static F Lt(F a, F b) { return {A::Lt(a.lo, b.lo), A::Lt(a.hi, b.hi)}; }
    static F Le(F a, F b) { return {A::Le(a.lo, b.lo), A::Le(a.hi, b.hi)}; }
    static F Ge(F a, F b) { return {A::Ge(a.lo, b.lo), A::Ge(a.hi, b.hi)}; }
    static F Gt(F a, F b) { return {A::Gt(a.lo, b.lo), A::Gt(a.hi, b.hi)}; }
    static F NotGt(F a, F b) { return {A::NotGt(a.lo, b.lo), A::NotGt(a.hi, b.hi)}; }
    static F And(F a, F b) { return {A::And(a.lo, b.lo), A::And(a.hi, b.hi)}; }
    static F AndNot(F a, F b) { return {A::AndNot(a.lo, b.lo), A::AndNot(a.hi, b.hi)}; }
    static F Or(F a, F b) { return {A::Or(a.lo, b.lo), A::Or(a.hi, b.hi)}; }
    static F AllSet() { return {A::AllSet(), A::AllSet()}; }
    static unsigned MaskOf(F a) { return A::MaskOf(a.lo) | (A::MaskOf(a.hi) << 16); }
    static I Truncate(F a) { return {A::Truncate(a.lo), A::Truncate(a.hi)}; }
    static F ToFloats(I a) { return {A::ToFloats(a.lo), A::ToFloats(a.hi)}; }
    static I LoadInts(const std::int32_t* p) { return {A::LoadInts(p), A::LoadInts(p + 16)}; }
    static void StoreInts(std::int32_t* p, I v) {
        A::StoreInts(p, v.lo);
        A::StoreInts(p + 16, v.hi);
    }
    static I SetInts(std::int32_t v) { return {A::SetInts(v), A::SetInts(v)}; }
    static I SubtractInts(I a, I b) { return {A::SubtractInts(a.lo, b.lo), A::SubtractInts(a.hi, b.hi)}; }
    static I AsInts(F a) { return {A::AsInts(a.lo), A::AsInts(a.hi)}; }
    static F AsFloats(I a) { return {A::AsFloats(a.lo), A::AsFloats(a.hi)}; }
    static F EqualInts(I a, I b) { return {A::EqualInts(a.lo, b.lo), A::EqualInts(a.hi, b.hi)}; }
    static F Negative(I a) { return {A::Negative(a.lo), A::Negative(a.hi)}; }
};

void MarchThirtyTwo(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    MarchLanes<Avx512Pair>(settings, count, source, out);
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
