// The sixteen-lane march, for processors with AVX2 (see TrabecularLanesImpl.h
// for the method). Only this file is compiled for them, and the march is
// taken only after the processor says it has them. The target leaves out
// fused multiply-add, so no product and sum is merged into one rounding and
// the heights stay those of the four-lane and the single-ray march.
#include "textures/procedural/TrabecularLanes.h"

#include <cstdint>

#include "textures/procedural/Noise.h"
#include "textures/procedural/StrutSearch.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

// Every header above is compiled for the common processor; from here on,
// code may use AVX2.
#pragma GCC push_options
#pragma GCC target("avx2")

#include "textures/procedural/TrabecularLanesImpl.h"

namespace ridgeforge::mesh::procedural {
namespace {

struct Avx2 {
    static constexpr int kWidth = 8;
    using F = __m256;
    using I = __m256i;
    static F Set(float v) { return _mm256_set1_ps(v); }
    static F Load(const float* p) { return _mm256_load_ps(p); }
    static void Store(float* p, F v) { _mm256_store_ps(p, v); }
    static F Add(F a, F b) { return _mm256_add_ps(a, b); }
    static F Sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F Mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F Div(F a, F b) { return _mm256_div_ps(a, b); }
    static F Min(F a, F b) { return _mm256_min_ps(a, b); }
    static F Max(F a, F b) { return _mm256_max_ps(a, b); }
    static F Sqrt(F a) { return _mm256_sqrt_ps(a); }
    static F Lt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OS); }
    static F Le(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LE_OS); }
    static F Ge(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GE_OS); }
    static F Gt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OS); }
    static F NotGt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_NGT_US); }
    static F And(F a, F b) { return _mm256_and_ps(a, b); }
    static F AndNot(F a, F b) { return _mm256_andnot_ps(a, b); }  // (not a) and b
    static F Or(F a, F b) { return _mm256_or_ps(a, b); }
    static F AllSet() { return _mm256_castsi256_ps(_mm256_set1_epi32(-1)); }
    static unsigned MaskOf(F a) { return static_cast<unsigned>(_mm256_movemask_ps(a)); }
    static I Truncate(F a) { return _mm256_cvttps_epi32(a); }
    static F ToFloats(I a) { return _mm256_cvtepi32_ps(a); }
    static I LoadInts(const std::int32_t* p) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(p)); }
    static void StoreInts(std::int32_t* p, I v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }
    static I SetInts(std::int32_t v) { return _mm256_set1_epi32(v); }
    static I SubtractInts(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I AsInts(F a) { return _mm256_castps_si256(a); }
    static F EqualInts(I a, I b) { return _mm256_castsi256_ps(_mm256_cmpeq_epi32(a, b)); }
    static F Negative(I a) { return _mm256_castsi256_ps(_mm256_cmpgt_epi32(_mm256_setzero_si256(), a)); }
    static F AsFloats(I a) { return _mm256_castsi256_ps(a); }
};

void MarchSixteen(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    MarchLanes<LanePair<Avx2>>(settings, count, source, out);
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural

#pragma GCC pop_options

namespace ridgeforge::mesh::procedural {

bool MarchRaysAvx2(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    static const bool available = __builtin_cpu_supports("avx2");
    if (!available) return false;
    MarchSixteen(settings, count, source, out);
    return true;
}

}  // namespace ridgeforge::mesh::procedural

#else

namespace ridgeforge::mesh::procedural {

bool MarchRaysAvx2(const TrabecularTexture::Settings&, int, RaySource, float*) { return false; }

}  // namespace ridgeforge::mesh::procedural

#endif
