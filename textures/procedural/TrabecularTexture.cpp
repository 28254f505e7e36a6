// Trabecular: feature points jittered in a 3-D cell lattice (periodic across
// the tile, not in depth) define Voronoi cells; with d1 <= d2 <= d3 <= d4 the
// distances to the four nearest points, (d4 - d1)(d3 - d1) / (d4 + d3 - 2 d1)
// vanishes where three cells meet, so its sublevel set is a strut network
// (after the edge-distance form of Worley's cellular basis). The ray marches
// down with steps bounded by that distance, then bisects the hit.
#include "textures/procedural/TrabecularTexture.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "textures/procedural/Noise.h"
#include "textures/procedural/NoiseDetail.h"
#include "textures/procedural/PatternMath.h"
#include "textures/procedural/StrutSearch.h"
#include "textures/procedural/TrabecularLanes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ridgeforge::mesh::procedural {
namespace {

struct FeaturePoint {
    float x, y, z;
};

// The feature point of column (ci, cj) in layer q; the columns wrap with the
// tile, the layers do not.
FeaturePoint MakeFeature(std::int32_t ci, std::int32_t cj, std::int32_t q, std::int32_t cells, std::uint32_t seed) {
    const auto wi = static_cast<std::uint32_t>(WrapIndex(ci, cells));
    const auto wj = static_cast<std::uint32_t>(WrapIndex(cj, cells));
    const std::int32_t zc = q - 1;
    const std::uint32_t c = (static_cast<std::uint32_t>(zc) * 0x9E3779B9u) ^ seed;
    return {static_cast<float>(ci) + HashToUnit(LatticeHash(wi, wj, c)),
            static_cast<float>(cj) + HashToUnit(LatticeHash(wi, wj, c ^ 0x51ED270Bu)),
            static_cast<float>(zc) + HashToUnit(LatticeHash(wi, wj, c ^ 0x2545F491u))};
}

// A feature point as a ray sees it: x, the squared offset in y, and depth.
struct FeatureView {
    float x, yy, z;
};

// Fills the ray at (X, Y) and its feature table in place; feature(ci, cj, q)
// gives the feature point of a column and layer as a FeatureView.
template <class Feature>
void BuildRay(TrabecularTexture::Ray& ray, float X, float Y, std::int32_t cells, std::int32_t layers,
              std::uint32_t seed, const Feature& feature) {
    ray.x = X;
    ray.y = Y;
    ray.cells = cells;
    ray.layers = layers;
    ray.seed = seed;
    const std::int32_t i0 = FloorIndex(X);
    const std::int32_t j0 = FloorIndex(Y);
    for (std::int32_t q = 0; q < layers; ++q) {
        for (int m = 0; m < 9; ++m) {
            const FeatureView p = feature(i0 - 1 + m % 3, j0 - 1 + m / 3, q);
            ray.horizontal[q][m] = (p.x - X) * (p.x - X) + p.yy;
            ray.depth[q][m] = p.z;
        }
    }
}

// The feature points of the three rows of cells a row of pixels looks at,
// hashed once for the whole row instead of once per pixel, with their
// squared offsets from the row's Y; by layer and row of cells, the columns
// side by side.
struct FeatureRow {
    static constexpr int kMaxColumns = 24;  // 16 cells at most, and one either side
    std::int32_t firstColumn = 0, columns = 0, firstRow = 0;
    // One column more than used: a ray reads its three columns four at a time.
    float xs[TrabecularTexture::kMaxLayers][3][kMaxColumns + 1] = {};
    float yys[TrabecularTexture::kMaxLayers][3][kMaxColumns + 1] = {};
    float zs[TrabecularTexture::kMaxLayers][3][kMaxColumns + 1] = {};

    // False when the row spans more columns than the table holds.
    bool Fill(std::int32_t i0First, std::int32_t i0Last, float Y, std::int32_t cells, std::int32_t layers,
              std::uint32_t seed) {
        firstColumn = i0First - 1;
        columns = i0Last - i0First + 3;
        firstRow = FloorIndex(Y) - 1;
        if (columns < 1 || columns > kMaxColumns) return false;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < columns; ++c)
                for (std::int32_t q = 0; q < layers; ++q) {
                    const FeaturePoint p = MakeFeature(firstColumn + c, firstRow + r, q, cells, seed);
                    xs[q][r][c] = p.x;
                    yys[q][r][c] = (p.y - Y) * (p.y - Y);
                    zs[q][r][c] = p.z;
                }
        return true;
    }

    // BuildRay for the ray at (X, Y) of this row, the same values by the
    // same float operations, three columns at a time.
    void FillRay(TrabecularTexture::Ray& ray, float X, float Y, std::int32_t cells, std::int32_t layers,
                 std::uint32_t seed) const {
        ray.x = X;
        ray.y = Y;
        ray.cells = cells;
        ray.layers = layers;
        ray.seed = seed;
        const std::int32_t c0 = FloorIndex(X) - 1 - firstColumn;
        // The tables' layers lie one after another, nine entries each, and
        // a ray has fewer layers than the tables hold (LayerCount): a write
        // of four entries spills one into the place of the next three, which
        // are written after it, or past the ray's last layer.
        float* horizontal = &ray.horizontal[0][0];
        float* depth = &ray.depth[0][0];
        for (std::int32_t q = 0; q < layers; ++q) {
            for (int r = 0; r < 3; ++r) {
                const int at = q * 9 + r * 3;
#if defined(__SSE2__)
                const __m128 dx = _mm_sub_ps(_mm_loadu_ps(&xs[q][r][c0]), _mm_set1_ps(X));
                _mm_storeu_ps(horizontal + at, _mm_add_ps(_mm_mul_ps(dx, dx), _mm_loadu_ps(&yys[q][r][c0])));
                _mm_storeu_ps(depth + at, _mm_loadu_ps(&zs[q][r][c0]));
#else
                for (int k = 0; k < 3; ++k) {
                    const float dx = xs[q][r][c0 + k] - X;
                    horizontal[at + k] = dx * dx + yys[q][r][c0 + k];
                    depth[at + k] = zs[q][r][c0 + k];
                }
#endif
            }
        }
    }
};

// One axis of a roughness octave's lattice at coordinate `at`: the cell, the
// smoothed weight across it and the wrapped indices of its two sides.
void LatticeAxis(float at, std::int32_t period, std::int32_t& cell, float& weight, std::uint32_t& low,
                 std::uint32_t& high) {
    cell = FloorIndex(at);
    weight = SmoothStepClamped(at - std::floor(at));
    low = static_cast<std::uint32_t>(WrapIndex(cell, period));
    high = static_cast<std::uint32_t>(WrapIndex(cell + 1, period));
}

// The roughness octaves' parts that depend on the ray's y (the same along a
// row of pixels) ...
void PrepareOctaveRows(TrabecularTexture::Ray& ray) {
    for (int o = 0; o < 4; ++o) {
        TrabecularTexture::Ray::Octave& octave = ray.octaves[o];
        octave.period = 10 * ray.cells * (1 << o);
        std::uint32_t y0 = 0, y1 = 0;
        const float f = 10.0f * static_cast<float>(1 << o);
        LatticeAxis(ray.y * f, octave.period, octave.iy, octave.sy, y0, y1);
        const std::uint32_t ys[4] = {y0, y0, y1, y1};
        std::copy(ys, ys + 4, octave.ys);
        octave.seed = ray.seed + 1000u + static_cast<std::uint32_t>(o);
        octave.cached = false;
    }
}

// ... and those that depend on its x (the periods set).
void PrepareOctaveColumns(TrabecularTexture::Ray& ray) {
    for (int o = 0; o < 4; ++o) {
        TrabecularTexture::Ray::Octave& octave = ray.octaves[o];
        std::uint32_t x0 = 0, x1 = 0;
        const float f = 10.0f * static_cast<float>(1 << o);
        LatticeAxis(ray.x * f, octave.period, octave.ix, octave.sx, x0, x1);
        const std::uint32_t xs[4] = {x0, x1, x0, x1};
        std::copy(xs, xs + 4, octave.xs);
    }
}

void SetStrutSizes(const TrabecularTexture::Settings& settings, TrabecularTexture::Ray& ray) {
    ray.thickness = settings.thickness;
    ray.roughness = settings.roughness;
    ray.thickest = (1.0f + settings.roughness) * settings.thickness;
}

}  // namespace

void TrabecularTexture::OctaveCorners(const Ray::Octave& o, std::int32_t iz, float corners[4]) {
    std::uint32_t h[4];
    detail::LatticeHash4(o.xs, o.ys, (static_cast<std::uint32_t>(iz) * 0x9E3779B9u) ^ o.seed, h);
    for (int k = 0; k < 4; ++k) corners[k] = HashToUnit(h[k]);
}

float TrabecularTexture::OctaveLayer(const Ray::Octave& o, std::int32_t iz) {
    float corners[4];
    OctaveCorners(o, iz, corners);
    return BlendCorners(o, corners);
}

namespace {

// PeriodicValueNoise3 at the ray's (x f, y f) and depth z, with the lattice
// values of the depth cell reused between calls.
float RayNoise(TrabecularTexture::Ray::Octave& o, float z) {
    const std::int32_t iz = FloorIndex(z);
    if (!o.cached || o.cachedCell != iz) {
        if (o.cached && o.cachedCell + 1 == iz) {
            o.layer[0] = o.layer[1];
        } else {
            o.layer[0] = TrabecularTexture::OctaveLayer(o, iz);
        }
        o.layer[1] = TrabecularTexture::OctaveLayer(o, iz + 1);
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
            OfferNearest(dz * dz + ray.horizontal[q][m], best);
        }
    }
    return StrutValue(best);
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

void TrabecularTexture::Settings::Read(const TrabecularTexture& texture) {
    cells = texture.GetWhole("cells");
    depth = texture.GetValue("depth");
    layers = LayerCount(depth);
    seed = static_cast<std::uint32_t>(texture.GetWhole("seed"));
    thickness = texture.GetValue("thickness");
    roughness = texture.GetValue("roughness");
    contrast = texture.GetValue("contrast");
}

void TrabecularTexture::Settings::Finish(Ray& ray) const {
    SetStrutSizes(*this, ray);
    PrepareOctaveRows(ray);
    PrepareOctaveColumns(ray);
}

TrabecularTexture::Ray TrabecularTexture::MakeRay(float u, float v) const {
    Settings settings;
    settings.Read(*this);
    const float C = static_cast<float>(settings.cells);
    const float Y = C * v;
    Ray ray;
    BuildRay(ray, C * u, Y, settings.cells, settings.layers, settings.seed,
             [&](std::int32_t ci, std::int32_t cj, std::int32_t q) -> FeatureView {
                 const FeaturePoint p = MakeFeature(ci, cj, q, settings.cells, settings.seed);
                 return {p.x, (p.y - Y) * (p.y - Y), p.z};
             });
    settings.Finish(ray);
    return ray;
}

float TrabecularTexture::March(Ray& ray, const Settings& settings) {
    StrutSearch search(ray);
    const float depth = settings.depth;
    const float minStep = ray.roughness > 0.0f ? 0.003f : 0.0001f;
    float t = 0.0f, lo = 0.0f;
    for (;;) {
        const float d = search.Distance(t);
        if (IsSolid(ray, t, d)) break;
        lo = t;
        t += d <= ray.thickest ? 0.003f : std::max(minStep, (d - ray.thickest) / 2.0f);
        if (t >= depth) return 0.0f;  // no strut within reach: the floor, without contrast
    }
    if (t > 0.0f) {
        for (int i = 0; i < 10; ++i) {
            const float mid = (lo + t) / 2.0f;
            if (IsSolid(ray, mid, search.Distance(mid)))
                t = mid;
            else
                lo = mid;
        }
    }
    return Contrast(Clamp01(1.0f - t / depth), settings.contrast);
}

float TrabecularTexture::Sample(float u, float v) const {
    if (!(GetValue("depth") > 0.0f)) return 0.0f;
    Settings settings;
    settings.Read(*this);
    Ray ray = MakeRay(u, v);
    return March(ray, settings);
}

void TrabecularTexture::SampleRow(float v, int width, float* out) const {
    Settings settings;
    settings.Read(*this);
    if (!(settings.depth > 0.0f)) {
        std::fill(out, out + width, 0.0f);
        return;
    }
    const float C = static_cast<float>(settings.cells);
    const float Y = C * v;
    FeatureRow row;
    if (width < 1 || !row.Fill(FloorIndex(C * PixelCentre(0, width)), FloorIndex(C * PixelCentre(width - 1, width)),
                               Y, settings.cells, settings.layers, settings.seed)) {
        ProceduralTexture::SampleRow(v, width, out);
        return;
    }
    // The octaves' row parts, copied into every ray of the row.
    Ray rowRay;
    rowRay.y = Y;
    rowRay.cells = settings.cells;
    rowRay.seed = settings.seed;
    PrepareOctaveRows(rowRay);
    struct Context {
        const Settings& settings;
        const FeatureRow& row;
        const Ray& rowRay;
        float C, Y;
        int width;
    } context{settings, row, rowRay, C, Y, width};
    const RaySource source{&context, [](const void* opaque, int x, Ray& ray) {
                               const auto& c = *static_cast<const Context*>(opaque);
                               c.row.FillRay(ray, c.C * PixelCentre(x, c.width), c.Y, c.settings.cells,
                                             c.settings.layers, c.settings.seed);
                               SetStrutSizes(c.settings, ray);
                               std::copy(std::begin(c.rowRay.octaves), std::end(c.rowRay.octaves), ray.octaves);
                               PrepareOctaveColumns(ray);
                           }};
    MarchRays(settings, width, source, out);
}

}  // namespace ridgeforge::mesh::procedural
