// Mid-level, offsets and the per-vertex or per-corner sampling of the map.
#include "relief/displacement/DisplacementSampling.h"

#include <algorithm>
#include <cmath>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::size_t kTriangleChunk = 4096;

float LevelledHeightAt(const HeightMap& map, float u, float v) {
    if (!HasHeights(map)) return 0.0f;
    const TileCoordinates tile = map.settings.MapToTile(u, v);
    return map.ApplyLevels(map.SampleBilinear(tile.u, tile.v));
}

// Whether some side textures only outer or only inner faces, so that the
// side bytes of the faces around a vertex change what it receives.
bool RestrictsSides(const Projection& projection) {
    switch (projection.type) {
        case ProjectionType::Box:
        case ProjectionType::Sphere:
            return std::any_of(projection.box.sideSurface.begin(), projection.box.sideSurface.end(),
                               [](SurfaceSelection s) { return s != SurfaceSelection::Both; });
        case ProjectionType::Cylinder:
            return projection.cylinder.surface != SurfaceSelection::Both;
        default:
            return false;
    }
}

}  // namespace

bool HasHeights(const HeightMap& map) { return map.width >= 1 && map.height >= 1 && !map.pixels.empty(); }

float ResolveMidLevel(const HeightMap& map, const DisplacementSettings& settings) {
    if (settings.midLevelMode == MidLevelMode::Manual || !HasHeights(map)) return settings.midLevel;
    switch (settings.direction) {
        case DisplacementDirection::Outward:
            return map.LevelledPercentile(0.01f);
        case DisplacementDirection::Inward:
            return map.LevelledPercentile(0.99f);
        default:
            return map.neutralHeight ? map.ApplyLevels(*map.neutralHeight) : 0.5f;
    }
}

float HeightOffset(float height, float midLevel, const DisplacementSettings& settings) {
    float offset = (height - midLevel) * settings.strengthMillimetres;
    if (settings.invert) offset = -offset;
    if (settings.direction == DisplacementDirection::Outward) offset = std::max(offset, 0.0f);
    if (settings.direction == DisplacementDirection::Inward) offset = std::min(offset, 0.0f);
    return offset;
}

void ClipSamplesToMap(const TileFrame& frame, ProjectionSamples& s) {
    if (!frame.clip) return;
    int kept = 0;
    float weight = 0.0f;
    for (int i = 0; i < s.count && i < static_cast<int>(s.samples.size()); ++i) {
        const TileCoordinates tile = MapToTile(frame, s.samples[i].u, s.samples[i].v);
        if (tile.u >= 0.0f && tile.u <= 1.0f && tile.v >= 0.0f && tile.v <= 1.0f) {
            s.samples[kept++] = s.samples[i];
            weight += s.samples[i].weight;
        }
    }
    if (kept == 0 || !(weight > 0.0f)) {
        s = ProjectionSamples{};
        return;
    }
    for (int i = kept; i < static_cast<int>(s.samples.size()); ++i) s.samples[i] = ProjectionSample{};
    s.count = kept;
    s.coverage *= weight;
    int best = 0;
    for (int i = 0; i < kept; ++i) {
        s.samples[i].weight /= weight;
        if (s.samples[i].weight > s.samples[best].weight) best = i;
    }
    s.dominantSide = s.samples[best].side;
}

float WeightedSampleHeight(const HeightMap& map, const ProjectionSamples& s) {
    double weightSum = 0.0;
    double heightSum = 0.0;
    for (int i = 0; i < s.count && i < static_cast<int>(s.samples.size()); ++i) {
        const ProjectionSample& sample = s.samples[i];
        if (!(sample.weight > 0.0f)) continue;
        weightSum += sample.weight;
        heightSum += static_cast<double>(sample.weight) * LevelledHeightAt(map, sample.u, sample.v);
    }
    if (weightSum > 0.0) return static_cast<float>(heightSum / weightSum);
    const SideUv uv = LargestWeightIndex(s);
    return LevelledHeightAt(map, uv.u, uv.v);
}

std::vector<float> SampleDisplacementHeights(const TriangleMesh& mesh, const Projection& projection,
                                             const HeightMap& map, const DisplacementSettings& settings,
                                             const std::vector<std::uint8_t>* faceFlags, const TileFrame& frame) {
    std::vector<float> offsets(mesh.vertices.size(), 0.0f);
    if (!HasHeights(map)) return offsets;
    const float mid = ResolveMidLevel(map, settings);
    const std::size_t triangles = mesh.indices.size() / 3;
    const bool perCorner = faceFlags != nullptr && faceFlags->size() == triangles && IsValidMesh(mesh) &&
                           (frame.clip || RestrictsSides(projection));
    if (!perCorner) {
        ForEachChunk(mesh.vertices.size(), kTriangleChunk, [&](std::size_t begin, std::size_t end) {
            for (std::size_t v = begin; v < end; ++v) {
                const ProjectionSamples s =
                    ProjectToTexture(projection, mesh.vertices[v].position, mesh.vertices[v].normal);
                if (s.count > 0) offsets[v] = HeightOffset(WeightedSampleHeight(map, s), mid, settings);
            }
        });
        return offsets;
    }
    // Height and weight of every corner; the weights sum per vertex afterwards.
    std::vector<float> cornerHeight(mesh.indices.size(), 0.0f);
    std::vector<float> cornerWeight(mesh.indices.size(), 0.0f);
    ForEachChunk(triangles, kTriangleChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
            const Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
            const Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
            const float area = std::max(0.5f * Length(Cross(b - a, c - a)), 1e-12f);
            for (std::size_t k = 0; k < 3; ++k) {
                const Vertex& vertex = mesh.vertices[mesh.indices[3 * t + k]];
                ProjectionSamples s = ProjectToTexture(projection, vertex.position, vertex.normal, (*faceFlags)[t]);
                ClipSamplesToMap(frame, s);
                if (s.count > 0 && s.coverage > 0.0f) {
                    cornerHeight[3 * t + k] = WeightedSampleHeight(map, s);
                    cornerWeight[3 * t + k] = area * s.coverage;
                }
            }
        }
    });
    std::vector<double> heightSum(mesh.vertices.size(), 0.0);
    std::vector<double> weightSum(mesh.vertices.size(), 0.0);
    for (std::size_t i = 0; i < mesh.indices.size(); ++i) {
        const std::uint32_t v = mesh.indices[i];
        heightSum[v] += static_cast<double>(cornerWeight[i]) * cornerHeight[i];
        weightSum[v] += cornerWeight[i];
    }
    for (std::size_t v = 0; v < offsets.size(); ++v) {
        if (weightSum[v] > 0.0)
            offsets[v] = HeightOffset(static_cast<float>(heightSum[v] / weightSum[v]), mid, settings);
    }
    return offsets;
}

}  // namespace ridgeforge::mesh
