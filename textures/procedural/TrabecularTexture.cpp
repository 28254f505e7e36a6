// Trabecular: feature points jittered in a 3-D cell lattice (periodic across
// the tile, not in depth) define Voronoi cells; with d1 <= d2 <= d3 <= d4 the
// distances to the four nearest points, (d4 - d1)(d3 - d1) / (d4 + d3 - 2 d1)
// vanishes where three cells meet, so its sublevel set is a strut network
// (after the edge-distance form of Worley's cellular basis). The ray marches
// down with steps bounded by that distance, then bisects the hit.
#include "textures/procedural/TrabecularTexture.h"

#include <algorithm>
#include <cmath>

#include "textures/procedural/Noise.h"
#include "textures/procedural/PatternMath.h"

namespace ridgeforge::mesh::procedural {
namespace {

TrabecularTexture::Ray BuildRay(float X, float Y, std::int32_t cells, std::int32_t layers, std::uint32_t seed) {
    TrabecularTexture::Ray ray;
    ray.x = X;
    ray.y = Y;
    ray.cells = cells;
    ray.layers = layers;
    ray.seed = seed;
    const std::int32_t i0 = FloorIndex(X);
    const std::int32_t j0 = FloorIndex(Y);
    for (int m = 0; m < 9; ++m) {
        const std::int32_t ci = i0 - 1 + m % 3;
        const std::int32_t cj = j0 - 1 + m / 3;
        const auto wi = static_cast<std::uint32_t>(WrapIndex(ci, cells));
        const auto wj = static_cast<std::uint32_t>(WrapIndex(cj, cells));
        for (std::int32_t q = 0; q < layers; ++q) {
            const std::int32_t zc = q - 1;
            const std::uint32_t c = (static_cast<std::uint32_t>(zc) * 0x9E3779B9u) ^ seed;
            const float px = static_cast<float>(ci) + HashToUnit(LatticeHash(wi, wj, c));
            const float py = static_cast<float>(cj) + HashToUnit(LatticeHash(wi, wj, c ^ 0x51ED270Bu));
            const float pz = static_cast<float>(zc) + HashToUnit(LatticeHash(wi, wj, c ^ 0x2545F491u));
            ray.horizontal[q][m] = (px - X) * (px - X) + (py - Y) * (py - Y);
            ray.depth[q][m] = pz;
        }
    }
    return ray;
}

void PrepareOctaves(TrabecularTexture::Ray& ray) {
    for (int o = 0; o < 4; ++o) {
        TrabecularTexture::Ray::Octave& octave = ray.octaves[o];
        const float f = 10.0f * static_cast<float>(1 << o);
        const float x = ray.x * f, y = ray.y * f;
        octave.ix = FloorIndex(x);
        octave.iy = FloorIndex(y);
        octave.sx = SmoothStepClamped(x - std::floor(x));
        octave.sy = SmoothStepClamped(y - std::floor(y));
        octave.period = 10 * ray.cells * (1 << o);
        octave.seed = ray.seed + 1000u + static_cast<std::uint32_t>(o);
        octave.cached = false;
    }
}

float BilinearLayer(const TrabecularTexture::Ray::Octave& o, std::int32_t iz) {
    const float c00 = LatticeValue3(o.ix, o.iy, iz, o.period, o.seed);
    const float c10 = LatticeValue3(o.ix + 1, o.iy, iz, o.period, o.seed);
    const float c01 = LatticeValue3(o.ix, o.iy + 1, iz, o.period, o.seed);
    const float c11 = LatticeValue3(o.ix + 1, o.iy + 1, iz, o.period, o.seed);
    return ((1.0f - o.sx) * c00 + o.sx * c10) * (1.0f - o.sy) + ((1.0f - o.sx) * c01 + o.sx * c11) * o.sy;
}

// PeriodicValueNoise3 at the ray's (x f, y f) and depth z, with the lattice
// values of the depth cell reused between calls.
float RayNoise(TrabecularTexture::Ray::Octave& o, float z) {
    const std::int32_t iz = FloorIndex(z);
    if (!o.cached || o.cachedCell != iz) {
        if (o.cached && o.cachedCell + 1 == iz) {
            o.layer[0] = o.layer[1];
        } else {
            o.layer[0] = BilinearLayer(o, iz);
        }
        o.layer[1] = BilinearLayer(o, iz + 1);
        o.cachedCell = iz;
        o.cached = true;
    }
    const float sz = SmoothStepClamped(z - std::floor(z));
    return o.layer[0] * (1.0f - sz) + o.layer[1] * sz;
}

}  // namespace

const std::vector<ParameterDefinition>& TrabecularTexture::OwnParameters() const {
    static const std::vector<ParameterDefinition> table = {
        IntegerParameter("cells", "Cells per tile", 2, 16, 4, "How many bone cells span the tile"),
        FloatParameter("thickness", "Strut thickness", 0.01f, 0.25f, 0.06f,
                       "How thick the struts are, as a share of a cell", 0.005f),
        FloatParameter("depth", "Depth", 0.25f, 4.0f, 2.5f,
                       "How far down the view reaches, in cells. Struts deeper than this are not seen, and where a ray "
                       "finds none the surface drops to the floor",
                       0.05f),
        FloatParameter("roughness", "Roughness", 0.0f, 1.0f, 0.5f,
                       "Pits and blobs on the struts, as the shader's spikes. 0 leaves them smooth", 0.01f),
        FloatParameter("contrast", "Contrast", 0.0f, 2.0f, 1.0f, "1 as it comes; more spreads the heights apart",
                       0.01f),
        SeedParameter(),
    };
    return table;
}

float LatticeValue3(std::int32_t ix, std::int32_t iy, std::int32_t iz, std::int32_t period, std::uint32_t seed) {
    const auto x = static_cast<std::uint32_t>(WrapIndex(ix, period));
    const auto y = static_cast<std::uint32_t>(WrapIndex(iy, period));
    return HashToUnit(LatticeHash(x, y, (static_cast<std::uint32_t>(iz) * 0x9E3779B9u) ^ seed));
}

float PeriodicValueNoise3(float x, float y, float z, std::int32_t period, std::uint32_t seed) {
    const std::int32_t ix = FloorIndex(x), iy = FloorIndex(y), iz = FloorIndex(z);
    const float sx = SmoothStepClamped(x - std::floor(x));
    const float sy = SmoothStepClamped(y - std::floor(y));
    const float sz = SmoothStepClamped(z - std::floor(z));
    float layer[2];
    for (int dk = 0; dk < 2; ++dk) {
        const float c00 = LatticeValue3(ix, iy, iz + dk, period, seed);
        const float c10 = LatticeValue3(ix + 1, iy, iz + dk, period, seed);
        const float c01 = LatticeValue3(ix, iy + 1, iz + dk, period, seed);
        const float c11 = LatticeValue3(ix + 1, iy + 1, iz + dk, period, seed);
        layer[dk] = ((1.0f - sx) * c00 + sx * c10) * (1.0f - sy) + ((1.0f - sx) * c01 + sx * c11) * sy;
    }
    return layer[0] * (1.0f - sz) + layer[1] * sz;
}

float TrabecularTexture::StrutDistance(const Ray& ray, float z) {
    float best[4] = {1e9f, 1e9f, 1e9f, 1e9f};
    const std::int32_t first = FloorIndex(z);
    for (std::int32_t q = std::max(first, 0); q <= first + 2 && q < ray.layers; ++q) {
        for (int m = 0; m < 9; ++m) {
            const float dz = ray.depth[q][m] - z;
            float s = dz * dz + ray.horizontal[q][m];
            if (!(s < best[3])) continue;  // most candidates stop here
            for (int k = 0; k < 4; ++k) {
                if (s < best[k]) std::swap(s, best[k]);
            }
        }
    }
    const float d1 = std::sqrt(best[0]), d3 = std::sqrt(best[2]), d4 = std::sqrt(best[3]);
    const float a = d4 - d1, b = d3 - d1;
    return a + b > 0.0f ? a * b / (a + b) : 0.0f;
}

bool TrabecularTexture::IsSolid(const Ray& ray, float z, float d) {
    if (d >= ray.thickest) return false;
    if (ray.roughness <= 0.0f) return d < ray.thickness;
    // The noise lies in [0, 1), so the radius is never below its value at
    // noise 0: inside that core the noise need not be evaluated.
    const float core = ((2.0f * 0.0f - 1.0f) * ray.roughness + 1.0f) * ray.thickness;
    if (d < core) return true;
    constexpr float kWeights[4] = {0.5f, 0.25f, 0.125f, 0.0625f};
    float n = 0.0f;
    for (int o = 0; o < 4; ++o) {
        const float f = 10.0f * static_cast<float>(1 << o);
        n += kWeights[o] * RayNoise(ray.octaves[o], z * f);
    }
    n /= 0.9375f;
    const float radius = ((2.0f * n - 1.0f) * ray.roughness + 1.0f) * ray.thickness;
    return d < radius;
}

std::int32_t TrabecularTexture::LayerCount(float depth) {
    if (!(depth > 0.0f)) return 3;
    return std::min<std::int32_t>(static_cast<std::int32_t>(std::ceil(std::min(depth, 4.0f))) + 3, kMaxLayers - 1);
}

TrabecularTexture::Ray TrabecularTexture::MakeRay(float u, float v) const {
    const std::int32_t cells = GetWhole("cells");
    const float C = static_cast<float>(cells);
    Ray ray =
        BuildRay(C * u, C * v, cells, LayerCount(GetValue("depth")), static_cast<std::uint32_t>(GetWhole("seed")));
    ray.thickness = GetValue("thickness");
    ray.roughness = GetValue("roughness");
    ray.thickest = (1.0f + ray.roughness) * ray.thickness;
    PrepareOctaves(ray);
    return ray;
}

float TrabecularTexture::Sample(float u, float v) const {
    const float depth = GetValue("depth");
    if (!(depth > 0.0f)) return 0.0f;
    Ray ray = MakeRay(u, v);
    const float minStep = ray.roughness > 0.0f ? 0.003f : 0.0001f;

    float t = 0.0f, lo = 0.0f;
    for (;;) {
        const float d = StrutDistance(ray, t);
        if (IsSolid(ray, t, d)) break;
        lo = t;
        t += d <= ray.thickest ? 0.003f : std::max(minStep, (d - ray.thickest) / 2.0f);
        if (t >= depth) return 0.0f;  // no strut within reach: the floor, without contrast
    }
    if (t > 0.0f) {
        for (int i = 0; i < 10; ++i) {
            const float mid = (lo + t) / 2.0f;
            if (IsSolid(ray, mid, StrutDistance(ray, mid)))
                t = mid;
            else
                lo = mid;
        }
    }
    return Contrast(Clamp01(1.0f - t / depth), GetValue("contrast"));
}

}  // namespace ridgeforge::mesh::procedural
