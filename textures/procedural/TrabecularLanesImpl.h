// The lane march of TrabecularLanes.h for any vector width. Included only by
// the files that make its vector kinds (TrabecularLanes.cpp: four lanes;
// TrabecularLanesAvx2.cpp: sixteen, and TrabecularLanesAvx512.cpp:
// thirty-two, each compiled for processors that have them),
// after every other header, and everything here has internal linkage, so no
// code made for wider vectors is shared with the four-lane march. V gives the
// vector operations: F a vector of floats, I of ints, kWidth lanes.
//
// Each lane carries one ray through the march and the bisection of
// TrabecularTexture::March; a lane that is done takes the next pixel, so the
// lanes stay busy although rays take different numbers of steps. The strut
// distance (the four nearest of the slab's feature points, three square
// roots and a division), the roughness noise and the step rules run in the
// lanes; the rare work of one lane (a new slab of feature points, new lattice
// values of the noise, a new pixel) runs lane by lane. A lane does the
// scalar march's float operations in the same order, and single-precision
// adds, multiplies, divisions, square roots, minima and maxima give the same
// bits in any vector lane, so every height is the scalar one. Where a lane
// decides a rough strut from bounds instead (RoughSolid), the bounds provably
// enclose the scalar radius, so the decision is the scalar one too.
#pragma once

namespace ridgeforge::mesh::procedural {
namespace {

// Two vectors of kind A side by side as one of twice the lanes: the two
// halves' long chains of dependent steps overlap, and the lane-by-lane work
// of the march is shared by twice the rays.
template <class A>
struct LanePair {
    static constexpr int kWidth = 2 * A::kWidth;
    struct F {
        typename A::F lo, hi;
    };
    struct I {
        typename A::I lo, hi;
    };
    static F Set(float v) { return {A::Set(v), A::Set(v)}; }
    static F Load(const float* p) { return {A::Load(p), A::Load(p + A::kWidth)}; }
    static void Store(float* p, F v) {
        A::Store(p, v.lo);
        A::Store(p + A::kWidth, v.hi);
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
    static unsigned MaskOf(F a) { return A::MaskOf(a.lo) | (A::MaskOf(a.hi) << A::kWidth); }
    static I Truncate(F a) { return {A::Truncate(a.lo), A::Truncate(a.hi)}; }
    static F ToFloats(I a) { return {A::ToFloats(a.lo), A::ToFloats(a.hi)}; }
    static I LoadInts(const std::int32_t* p) { return {A::LoadInts(p), A::LoadInts(p + A::kWidth)}; }
    static void StoreInts(std::int32_t* p, I v) {
        A::StoreInts(p, v.lo);
        A::StoreInts(p + A::kWidth, v.hi);
    }
    static I SetInts(std::int32_t v) { return {A::SetInts(v), A::SetInts(v)}; }
    static I SubtractInts(I a, I b) { return {A::SubtractInts(a.lo, b.lo), A::SubtractInts(a.hi, b.hi)}; }
    static I AsInts(F a) { return {A::AsInts(a.lo), A::AsInts(a.hi)}; }
    static F AsFloats(I a) { return {A::AsFloats(a.lo), A::AsFloats(a.hi)}; }
    static F EqualInts(I a, I b) { return {A::EqualInts(a.lo, b.lo), A::EqualInts(a.hi, b.hi)}; }
    static F Negative(I a) { return {A::Negative(a.lo), A::Negative(a.hi)}; }
};

constexpr int kBisections = 10;
constexpr float kNever = 3e9f;  // squared distance of padding: never among the nearest four

template <class V>
struct Lanes {
    static constexpr int kLanes = V::kWidth;
    static constexpr unsigned kAll = kLanes >= 32 ? ~0u : (1u << kLanes) - 1u;

    TrabecularTexture::Ray rays[kLanes];
    int pixel[kLanes] = {};  // -1: no pixel left for the lane
    int kept[kLanes] = {};   // -1: the depth lies in no slab
    alignas(32) std::int32_t bisections[kLanes] = {};  // -1 while marching
    alignas(32) std::int32_t busy[kLanes] = {};        // -1 while the lane has a pixel, else 0
    alignas(32) float t[kLanes] = {};
    alignas(32) float lo[kLanes] = {};
    alignas(32) float top[kLanes] = {};
    alignas(32) float bottom[kLanes] = {};
    // The roughness noise's lattice values per octave and lane: blended at
    // depth cells noiseCell and noiseCell + 1.
    alignas(32) std::int32_t noiseCell[4][kLanes] = {};
    alignas(32) float layer0[4][kLanes] = {};
    alignas(32) float layer1[4][kLanes] = {};
    bool noiseValid[4][kLanes] = {};
    // The roughness noise's lattice corners, shared by the rays of
    // neighbouring pixels (one depth cell of one lattice square), by octave;
    // a slot holds the square (ix, iy) and the cell iz it names. The rays of
    // one march share the settings, so the seed and period need no name.
    struct Corners {
        std::int32_t ix, iy, iz;
        float values[4];
    };
    static constexpr int kCornerSlots = 64;
    Corners corners[4][kCornerSlots];
    alignas(32) float horizontal[kStrutCandidates][kLanes];
    alignas(32) float depth[kStrutCandidates][kLanes];

    Lanes() {
        for (auto& octave : corners)
            for (Corners& slot : octave) slot.iz = -1;  // depth cells are never negative
    }

    // TrabecularTexture::OctaveLayer of the lane's ray, octave o, depth cell
    // iz, with the corners taken from the shared slots where they are.
    float Layer(int lane, int o, std::int32_t iz) {
        const TrabecularTexture::Ray::Octave& octave = rays[lane].octaves[o];
        Corners& slot = corners[o][((octave.ix & 7) << 3) | (iz & 7)];
        if (slot.iz != iz || slot.ix != octave.ix || slot.iy != octave.iy) {
            slot.ix = octave.ix;
            slot.iy = octave.iy;
            slot.iz = iz;
            TrabecularTexture::OctaveCorners(octave, iz, slot.values);
        }
        return TrabecularTexture::BlendCorners(octave, slot.values);
    }

    void Pad(int lane, int from) {
        for (int i = from > 0 ? from : 0; i < kStrutCandidates; ++i) {
            horizontal[i][lane] = kNever;
            depth[i][lane] = 0.0f;
        }
    }
    void Prune(int lane, float z) {
        kept[lane] = PruneSlab(rays[lane], z, top[lane], bottom[lane], &horizontal[0][lane], &depth[0][lane], kLanes);
        Pad(lane, kept[lane]);
    }
};

template <class V>
typename V::F Select(typename V::F mask, typename V::F a, typename V::F b) {
    return V::Or(V::And(mask, a), V::AndNot(mask, b));
}

// The lanes' strut distances at depths z (the slab's points only).
template <class V>
typename V::F StrutDistances(const Lanes<V>& lanes, typename V::F z, int candidates) {
    using F = typename V::F;
    F b0 = V::Set(1e9f), b1 = b0, b2 = b0, b3 = b0;
    for (int i = 0; i < candidates; ++i) {
        const F dz = V::Sub(V::Load(lanes.depth[i]), z);
        const F s = V::Add(V::Mul(dz, dz), V::Load(lanes.horizontal[i]));
        const F s1 = V::Max(b0, s);
        b0 = V::Min(b0, s);
        const F s2 = V::Max(b1, s1);
        b1 = V::Min(b1, s1);
        const F s3 = V::Max(b2, s2);
        b2 = V::Min(b2, s2);
        b3 = V::Min(b3, s3);
    }
    const F d1 = V::Sqrt(b0), d3 = V::Sqrt(b2), d4 = V::Sqrt(b3);
    const F a = V::Sub(d4, d1), b = V::Sub(d3, d1);
    const F sum = V::Add(a, b);
    // Lanes whose sum is not positive divide 0 by 0; the mask drops them.
    return V::And(V::Gt(sum, V::Set(0.0f)), V::Div(V::Mul(a, b), sum));
}

// The strut radius ((2 n / 0.9375 - 1) roughness + 1) thickness for the
// noise sums n.
template <class V>
typename V::F RadiusOf(typename V::F n, float roughness, float thickness) {
    const typename V::F spread = V::Sub(V::Mul(V::Set(2.0f), V::Div(n, V::Set(0.9375f))), V::Set(1.0f));
    return V::Mul(V::Add(V::Mul(spread, V::Set(roughness)), V::Set(1.0f)), V::Set(thickness));
}

// The roughness octave o's noise at the depths z f (f its frequency) for the
// lanes in need (others get a value of no meaning), as
// TrabecularTexture::IsSolid computes it. The lattice values of a lane's depth
// cell are fetched as IsSolid fetches them, and kept per octave and lane
// until the lane's ray leaves the cell.
template <class V>
typename V::F OctaveValue(Lanes<V>& lanes, int o, typename V::F zf, unsigned need) {
    using F = typename V::F;
    using I = typename V::I;
    constexpr int kLanes = Lanes<V>::kLanes;
    // Depths are never negative, so truncation is the floor.
    const I cell = V::Truncate(zf);
    const unsigned stale = (V::MaskOf(V::EqualInts(cell, V::LoadInts(lanes.noiseCell[o]))) ^ Lanes<V>::kAll) & need;
    if (stale != 0) {
        alignas(32) std::int32_t cells[kLanes];
        V::StoreInts(cells, cell);
        for (unsigned left = stale; left != 0; left &= left - 1u) {
            const int lane = __builtin_ctz(left);
            const std::int32_t iz = cells[lane];
            // The march goes down a cell at a time and the bisection
            // back up: the cell next to the held one shares a layer.
            const bool valid = lanes.noiseValid[o][lane];
            const std::int32_t held = lanes.noiseCell[o][lane];
            if (valid && held + 1 == iz) {
                lanes.layer0[o][lane] = lanes.layer1[o][lane];
                lanes.layer1[o][lane] = lanes.Layer(lane, o, iz + 1);
            } else if (valid && held - 1 == iz) {
                lanes.layer1[o][lane] = lanes.layer0[o][lane];
                lanes.layer0[o][lane] = lanes.Layer(lane, o, iz);
            } else {
                lanes.layer0[o][lane] = lanes.Layer(lane, o, iz);
                lanes.layer1[o][lane] = lanes.Layer(lane, o, iz + 1);
            }
            lanes.noiseCell[o][lane] = iz;
            lanes.noiseValid[o][lane] = true;
        }
    }
    const F s = V::Sub(zf, V::ToFloats(cell));
    const F sz = V::Mul(V::Mul(s, s), V::Sub(V::Set(3.0f), V::Mul(V::Set(2.0f), s)));
    return V::Add(V::Mul(V::Load(lanes.layer0[o]), V::Sub(V::Set(1.0f), sz)), V::Mul(V::Load(lanes.layer1[o]), sz));
}

// Whether the lanes in need lie inside their rough strut (others get a value
// of no meaning), octave by octave. The radius is a straight line in the
// noise sum, rising with it; the octaves summed so far, with those still to
// come at their least (0) or their most (kTop), put the full sum between two
// values, and the line there bounds the radius from below and above. The
// bounds are widened by 1e-4 of the thickness, far beyond the float rounding
// of the sums, of the line and of TrabecularTexture::IsSolid's own form of
// the radius (about 1e-6 of the thickness). A lane whose strut distance lies
// outside them is decided and fetches no finer octave; the last octave
// decides by the radius as IsSolid computes it, the octaves summed in its
// order.
template <class V>
typename V::F RoughSolid(Lanes<V>& lanes, typename V::F z, typename V::F d, typename V::F needs, float roughness,
                         float thickness) {
    using F = typename V::F;
    constexpr float kWeights[4] = {0.5f, 0.25f, 0.125f, 0.0625f};
    // An octave blends two values of [0, 1]; rounding may pass 1 by an ulp.
    constexpr float kTop = 1.001f;
    const float slopeValue = 2.0f * roughness * thickness / 0.9375f;
    const float mostValue = (1.0f - roughness) * thickness + 1e-4f * thickness;
    const F slope = V::Set(slopeValue);
    const F least = V::Set((1.0f - roughness) * thickness - 1e-4f * thickness);
    F n = V::Set(0.0f);
    F solid = V::Set(0.0f);
    F openMask = needs;
    unsigned open = V::MaskOf(needs);
    for (int o = 0; o < 4 && open != 0; ++o) {
        const F value = OctaveValue<V>(lanes, o, V::Mul(z, V::Set(10.0f * static_cast<float>(1 << o))), open);
        n = V::Add(n, V::Mul(V::Set(kWeights[o]), value));
        if (o == 3) {
            solid = V::Or(solid, V::And(openMask, V::Lt(d, RadiusOf<V>(n, roughness, thickness))));
            break;
        }
        float rest = 0.0f;  // the most the octaves still to come can add
        for (int r = o + 1; r < 4; ++r) rest += kWeights[r] * kTop;
        const F rising = V::Mul(n, slope);
        const F inside = V::Lt(d, V::Add(rising, least));
        const F outside = V::Ge(d, V::Add(rising, V::Set(rest * slopeValue + mostValue)));
        solid = V::Or(solid, V::And(openMask, inside));
        openMask = V::AndNot(V::Or(inside, outside), openMask);
        open = V::MaskOf(openMask);
    }
    return solid;
}

template <class V>
void MarchLanes(const TrabecularTexture::Settings& settings, int count, RaySource source, float* out) {
    using F = typename V::F;
    using I = typename V::I;
    constexpr int kLanes = Lanes<V>::kLanes;
    Lanes<V> lanes;
    int next = 0;
    // Puts the next pixel's ray in the lane, or leaves the lane idle.
    const auto take = [&](int lane) {
        lanes.bisections[lane] = -1;
        lanes.t[lane] = lanes.lo[lane] = 0.0f;
        lanes.top[lane] = 1.0f;  // an empty slab: the first step finds its own
        lanes.bottom[lane] = 0.0f;
        lanes.kept[lane] = 0;  // the first step prunes, which pads the lane's points
        for (int o = 0; o < 4; ++o) {
            lanes.noiseValid[o][lane] = false;
            lanes.noiseCell[o][lane] = -1;  // no depth cell: the first need fetches
        }
        lanes.pixel[lane] = next < count ? next++ : -1;
        lanes.busy[lane] = lanes.pixel[lane] >= 0 ? -1 : 0;
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
    const F thickestV = V::Set(thickest);
    const auto finish = [&](int lane, float height) {
        out[lanes.pixel[lane]] = height;
        take(lane);
        if (lanes.pixel[lane] < 0) active &= ~(1u << lane);
    };

    int candidates = -1;  // the most points any lane keeps; -1 when lanes changed since
    while (active != 0) {
        const F t = V::Load(lanes.t), lo = V::Load(lanes.lo);
        const I bisections = V::LoadInts(lanes.bisections);
        const F marching = V::Negative(bisections);
        const F z = Select<V>(marching, t, V::Div(V::Add(lo, t), V::Set(2.0f)));

        // A lane whose depth left its slab looks for the slab's points.
        const F inSlab = V::And(V::Ge(z, V::Load(lanes.top)), V::Lt(z, V::Load(lanes.bottom)));
        const unsigned moved = (V::MaskOf(inSlab) ^ Lanes<V>::kAll) & active;
        if (moved != 0) {
            alignas(32) float zs[kLanes];
            V::Store(zs, z);
            for (unsigned left = moved; left != 0; left &= left - 1u) {
                const int lane = __builtin_ctz(left);
                lanes.Prune(lane, zs[lane]);
                if (lanes.kept[lane] < 0) {  // a depth in no slab: the single ray's march from the start
                    TrabecularTexture::Ray ray;
                    source.make(source.context, lanes.pixel[lane], ray);
                    finish(lane, TrabecularTexture::March(ray, settings));
                }
            }
            candidates = -1;
            continue;  // the lanes changed: start the step again
        }
        if (candidates < 0) {
            candidates = 0;
            for (int lane = 0; lane < kLanes; ++lane) candidates = std::max(candidates, lanes.kept[lane]);
        }

        const F d = StrutDistances<V>(lanes, z, candidates);
        const F below = V::Lt(d, thickestV);
        F solid;
        if (roughness <= 0.0f) {
            solid = V::And(below, V::Lt(d, V::Set(thickness)));
        } else {
            const F inCore = V::Lt(d, V::Set(core));
            solid = V::And(below, inCore);
            const F needs = V::And(V::AndNot(inCore, below), V::AsFloats(V::LoadInts(lanes.busy)));
            if (V::MaskOf(needs) != 0) solid = V::Or(solid, RoughSolid<V>(lanes, z, d, needs, roughness, thickness));
        }

        // Marching and clear: step on (0.003 near a strut, else half the
        // distance beyond the thickest strut). Bisecting: halve the interval.
        const F step = Select<V>(V::Le(d, thickestV), V::Set(0.003f),
                                 V::Max(V::Div(V::Sub(d, thickestV), V::Set(2.0f)), V::Set(minStep)));
        const F advance = V::AndNot(solid, marching);
        const F bisecting = V::AndNot(marching, V::AllSet());
        const F further = V::Add(t, step);
        V::Store(lanes.t, Select<V>(advance, further, Select<V>(V::And(bisecting, solid), z, t)));
        V::Store(lanes.lo, Select<V>(advance, t, Select<V>(V::AndNot(solid, bisecting), z, lo)));
        // A hit while marching starts the bisection (-1 + 1 = 0), and every
        // bisection step counts one on: the set masks are -1.
        const I counted = V::SubtractInts(bisections, V::AsInts(V::Or(bisecting, V::And(marching, solid))));
        V::StoreInts(lanes.bisections, counted);

        const unsigned floor = V::MaskOf(V::And(advance, V::Ge(further, V::Set(depth))));
        const unsigned surface = V::MaskOf(V::And(V::And(marching, solid), V::NotGt(t, V::Set(0.0f))));
        const unsigned bisected = V::MaskOf(V::And(bisecting, V::EqualInts(counted, V::SetInts(kBisections))));
        const unsigned done = (floor | surface | bisected) & active;
        if (done != 0) candidates = -1;
        for (unsigned left = done; left != 0; left &= left - 1u) {
            const int lane = __builtin_ctz(left);
            // No strut within reach gives the floor, without contrast.
            finish(lane, ((floor >> lane) & 1u) ? 0.0f
                                                : Contrast(Clamp01(1.0f - lanes.t[lane] / depth), settings.contrast));
        }
    }
}

}  // namespace
}  // namespace ridgeforge::mesh::procedural
