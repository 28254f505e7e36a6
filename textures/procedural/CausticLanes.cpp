// Every pixel of Caustic Rock runs the same fixed sequence (ten rounds over
// all layers, then one more pass), so four pixels run it side by side in the
// lanes of a vector with no lane ever waiting for another. Each lane does
// EvaluateGradientCell's single-precision operations in the same order, and
// an add, multiply or subtract gives the same bits in a vector lane, so
// every sum is the single pixel's. A lane fetches a layer's corner
// gradients only when its point lands in another cell, as the single pixel
// does.
#include "textures/procedural/CausticLanes.h"

#include "textures/procedural/Noise.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ridgeforge::mesh::procedural {

#if defined(__SSE2__)
namespace {

// A lattice coordinate split into cell and fraction, as detail::SplitCell
// splits it, for points well inside the lattice.
struct Split {
    __m128i cell;
    __m128 fraction;
};

Split SplitLanes(__m128 x) {
    __m128i cell = _mm_cvttps_epi32(x);
    __m128 floor = _mm_cvtepi32_ps(cell);
    // Truncation rounds negative fractions up: step those down by one.
    const __m128 above = _mm_cmpgt_ps(floor, x);
    cell = _mm_add_epi32(cell, _mm_castps_si128(above));  // the mask is -1 where set
    floor = _mm_sub_ps(floor, _mm_and_ps(above, _mm_set1_ps(1.0f)));
    return {cell, _mm_sub_ps(x, floor)};
}

// Whether every lane lies where the split above equals SplitCell's.
bool InLattice(__m128 x) {
    const __m128 limit = _mm_set1_ps(1073741824.0f);  // 2^30
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), x);
    return _mm_movemask_ps(_mm_cmplt_ps(magnitude, limit)) == 0xF;  // NaN compares false
}

__m128 Lerp2(__m128 c00, __m128 c10, __m128 c01, __m128 c11, __m128 sx, __m128 sy) {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 rx = _mm_sub_ps(one, sx);
    return _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(rx, c00), _mm_mul_ps(sx, c10)), _mm_sub_ps(one, sy)),
                      _mm_mul_ps(_mm_add_ps(_mm_mul_ps(rx, c01), _mm_mul_ps(sx, c11)), sy));
}

__m128 Fade(__m128 t) {
    const __m128 inner = _mm_add_ps(
        _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(_mm_set1_ps(6.0f), t), _mm_set1_ps(15.0f)), t), _mm_set1_ps(10.0f));
    return _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(inner, t), t), t);
}

__m128 FadeSlope(__m128 t) {
    const __m128 less = _mm_sub_ps(t, _mm_set1_ps(1.0f));
    return _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_set1_ps(30.0f), t), t), less), less);
}

// One layer at the four points: the cell's corner gradients (fetched for the
// lanes that moved into another cell) and the fractions. False when a point
// is outside the lattice.
struct LayerAt {
    __m128 fx, fy;
    __m128 gx[4], gy[4];
};

bool Locate(const CausticLayer& layer, int index, __m128 x, __m128 y, CausticLaneCells& cells, LayerAt& at) {
    const __m128 p = _mm_set1_ps(static_cast<float>(layer.period));
    const __m128 px = _mm_mul_ps(x, p), py = _mm_mul_ps(y, p);
    if (!InLattice(px) || !InLattice(py)) return false;
    const Split sx = SplitLanes(px), sy = SplitLanes(py);
    at.fx = sx.fraction;
    at.fy = sy.fraction;
    const __m128i heldX = _mm_load_si128(reinterpret_cast<const __m128i*>(cells.ix[index]));
    const __m128i heldY = _mm_load_si128(reinterpret_cast<const __m128i*>(cells.iy[index]));
    const __m128i same = _mm_and_si128(_mm_cmpeq_epi32(sx.cell, heldX), _mm_cmpeq_epi32(sy.cell, heldY));
    const unsigned stale = (static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(same))) & cells.held[index]) ^ 0xFu;
    if (stale == 0) {
        for (int c = 0; c < 4; ++c) {
            at.gx[c] = _mm_load_ps(cells.gx[index][c]);
            at.gy[c] = _mm_load_ps(cells.gy[index][c]);
        }
        return true;
    }
    alignas(16) std::int32_t ix[4], iy[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(ix), sx.cell);
    _mm_store_si128(reinterpret_cast<__m128i*>(iy), sy.cell);
    for (int lane = 0; lane < 4; ++lane) {
        if (!((stale >> lane) & 1u)) continue;
        const GradientCell cell = MakeGradientCell(ix[lane], iy[lane], layer.period, layer.period, layer.seed);
        cells.ix[index][lane] = ix[lane];
        cells.iy[index][lane] = iy[lane];
        for (int c = 0; c < 4; ++c) {
            cells.gx[index][c][lane] = cell.gx[c];
            cells.gy[index][c][lane] = cell.gy[c];
        }
    }
    cells.held[index] = 0xFu;
    // Gathered lane by lane: a vector load of fresh scalar stores stalls.
    for (int c = 0; c < 4; ++c) {
        const float* gx = cells.gx[index][c];
        const float* gy = cells.gy[index][c];
        at.gx[c] = _mm_setr_ps(gx[0], gx[1], gx[2], gx[3]);
        at.gy[c] = _mm_setr_ps(gy[0], gy[1], gy[2], gy[3]);
    }
    return true;
}

// The corner dot products, as detail::GradientDots forms them.
void Dots(const LayerAt& at, __m128 n[4]) {
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 fx1 = _mm_sub_ps(at.fx, one), fy1 = _mm_sub_ps(at.fy, one);
    n[0] = _mm_add_ps(_mm_mul_ps(at.gx[0], at.fx), _mm_mul_ps(at.gy[0], at.fy));
    n[1] = _mm_add_ps(_mm_mul_ps(at.gx[1], fx1), _mm_mul_ps(at.gy[1], at.fy));
    n[2] = _mm_add_ps(_mm_mul_ps(at.gx[2], at.fx), _mm_mul_ps(at.gy[2], fy1));
    n[3] = _mm_add_ps(_mm_mul_ps(at.gx[3], fx1), _mm_mul_ps(at.gy[3], fy1));
}

// EvaluateGradientCell's derivatives.
void Slopes(const LayerAt& at, __m128& ddx, __m128& ddy) {
    __m128 n[4];
    Dots(at, n);
    const __m128 u = Fade(at.fx), v = Fade(at.fy);
    const __m128 du = FadeSlope(at.fx), dv = FadeSlope(at.fy);
    const __m128 one = _mm_set1_ps(1.0f), scale = _mm_set1_ps(detail::kGradientScale);
    const __m128 acrossX = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one, v), _mm_sub_ps(n[1], n[0])),
                                      _mm_mul_ps(v, _mm_sub_ps(n[3], n[2])));
    const __m128 acrossY = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(one, u), _mm_sub_ps(n[2], n[0])),
                                      _mm_mul_ps(u, _mm_sub_ps(n[3], n[1])));
    ddx = _mm_mul_ps(
        _mm_add_ps(Lerp2(at.gx[0], at.gx[1], at.gx[2], at.gx[3], u, v), _mm_mul_ps(du, acrossX)), scale);
    ddy = _mm_mul_ps(
        _mm_add_ps(Lerp2(at.gy[0], at.gy[1], at.gy[2], at.gy[3], u, v), _mm_mul_ps(dv, acrossY)), scale);
}

// EvaluateGradientCell's value.
__m128 Value(const LayerAt& at) {
    __m128 n[4];
    Dots(at, n);
    return _mm_mul_ps(Lerp2(n[0], n[1], n[2], n[3], Fade(at.fx), Fade(at.fy)), _mm_set1_ps(detail::kGradientScale));
}

}  // namespace

bool GatherLight4(const CausticLayer* layers, int count, float step, const float u[4], float v,
                  CausticLaneCells& cells, float sums[4]) {
    __m128 x = _mm_loadu_ps(u), y = _mm_set1_ps(v);
    const __m128 k = _mm_set1_ps(step);
    LayerAt at;
    for (int round = 0; round < 10; ++round) {
        __m128 gx = _mm_setzero_ps(), gy = _mm_setzero_ps();
        for (int i = 0; i < count; ++i) {
            if (!Locate(layers[i], i, x, y, cells, at)) return false;
            __m128 dx, dy;
            Slopes(at, dx, dy);
            const __m128 w = _mm_set1_ps(layers[i].weight);
            gx = _mm_add_ps(gx, _mm_mul_ps(w, dx));
            gy = _mm_add_ps(gy, _mm_mul_ps(w, dy));
        }
        x = _mm_sub_ps(x, _mm_mul_ps(k, gx));
        y = _mm_sub_ps(y, _mm_mul_ps(k, gy));
    }
    __m128 s = _mm_setzero_ps();
    for (int i = 0; i < count; ++i) {
        if (!Locate(layers[i], i, x, y, cells, at)) return false;
        s = _mm_add_ps(s, _mm_mul_ps(_mm_set1_ps(layers[i].weight), Value(at)));
    }
    _mm_storeu_ps(sums, s);
    return true;
}

#else

bool GatherLight4(const CausticLayer*, int, float, const float*, float, CausticLaneCells&, float*) { return false; }

#endif

}  // namespace ridgeforge::mesh::procedural
