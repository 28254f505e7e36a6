// Corner and vertex weights of the texture, the face bytes, and carrying a
// coverage over to a changed mesh.
#include "relief/mapping/TextureWeights.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "mesh/ParallelChunks.h"
#include "relief/mapping/ProjectToTexture.h"
#include "relief/displacement/DisplacementSampling.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::size_t kTriangleChunk = 4096;
constexpr float kNoLowWeight = 3.4e38f;

// How much the mask volumes keep the texture off a point: 1 inside, falling
// over the feather to 0.
float MaskInfluence(const std::vector<MaskVolume>& masks, const Vec3f& point) {
    float m = 0.0f;
    for (const MaskVolume& volume : masks) {
        if (!volume.enabled) continue;
        const float d = MaskVolume::SignedDistance(volume, point);
        float influence = 0.0f;
        if (d <= 0.0f) {
            influence = 1.0f;
        } else if (volume.featherMillimetres > 0.0f && d < volume.featherMillimetres) {
            const float t = d / volume.featherMillimetres;
            influence = 1.0f - (3.0f - 2.0f * t) * t * t;
        }
        m = std::max(m, influence);
        if (m >= 1.0f) break;
    }
    return m;
}

double TriangleArea(const TriangleMesh& mesh, std::size_t t) {
    const Vec3d a = ToDouble(mesh.vertices[mesh.indices[3 * t]].position);
    const Vec3d b = ToDouble(mesh.vertices[mesh.indices[3 * t + 1]].position);
    const Vec3d c = ToDouble(mesh.vertices[mesh.indices[3 * t + 2]].position);
    return 0.5 * Length(Cross(b - a, c - a));
}

void ComputeVertexWeights(const TriangleMesh& mesh, OutsideRule rule, TextureCoverage& coverage,
                          CancelContext* cancel) {
    const std::size_t n = mesh.vertices.size();
    std::vector<double> sum(n, 0.0), area(n, 0.0);
    std::vector<float> high(n, 0.0f), low(n, kNoLowWeight);
    std::vector<std::uint8_t> used(n, 0);
    WorkPoll poll(cancel);
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        if (poll.Add(1)) throw Stopped{};
        const double a = TriangleArea(mesh, t);
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t v = mesh.indices[3 * t + k];
            const float w = coverage.cornerWeights[3 * t + k];
            used[v] = 1;
            sum[v] += a * w;
            area[v] += a;
            high[v] = std::max(high[v], w);
            low[v] = std::min(low[v], w);
        }
    }
    coverage.vertexWeights.assign(n, 0.0f);
    for (std::size_t v = 0; v < n; ++v) {
        if (!used[v]) continue;
        float w = 0.0f;
        switch (rule) {
            case OutsideRule::Any:
                w = high[v];
                break;
            case OutsideRule::All:
                w = low[v] == kNoLowWeight ? 0.0f : low[v];
                break;
            case OutsideRule::Average:
                w = area[v] > 0.0 ? static_cast<float>(sum[v] / area[v]) : 0.0f;
                break;
            default:
                w = 0.0f;
                break;
        }
        coverage.vertexWeights[v] = std::max(w, 0.0f);
    }
}

}  // namespace

TextureCoverage ComputeTextureWeights(const TriangleMesh& mesh, const Projection& projection,
                                      const std::vector<std::uint8_t>* faceMask, const DisplacementSettings& settings,
                                      const TileFrame& frame, const std::vector<MaskVolume>* masks,
                                      CancelContext* cancel) {
    TextureCoverage coverage;
    if (!IsValidMesh(mesh) || mesh.vertices.empty()) return coverage;
    const std::size_t triangles = mesh.indices.size() / 3;
    if (faceMask != nullptr && faceMask->size() == triangles) {
        coverage.faceMask = *faceMask;
    } else {
        coverage.faceMask.assign(triangles, 255);
    }
    coverage.cornerWeights.assign(mesh.indices.size(), 0.0f);
    const bool masked = masks != nullptr && !masks->empty();
    // Millions of triangles take about a second on two CPUs.
    ForEachChunk(triangles, kTriangleChunk, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        for (std::size_t t = begin; t < end; ++t) {
            if (poll.Add(1)) return;
            for (std::size_t k = 0; k < 3; ++k) {
                const Vertex& vertex = mesh.vertices[mesh.indices[3 * t + k]];
                ProjectionSamples s =
                    ProjectToTexture(projection, vertex.position, vertex.normal, coverage.faceMask[t]);
                ClipSamplesToMap(frame, s);
                float w = s.coverage;
                if (masked && w > 0.0f) w *= 1.0f - MaskInfluence(*masks, vertex.position);
                coverage.cornerWeights[3 * t + k] = w;
            }
        }
    });
    if (StopSeen(cancel)) throw Stopped{};
    coverage.texturedFaces.assign(triangles, 0);
    for (std::size_t t = 0; t < triangles; ++t) {
        const float* w = &coverage.cornerWeights[3 * t];
        coverage.texturedFaces[t] = (w[0] > 0.0f || w[1] > 0.0f || w[2] > 0.0f) ? 1 : 0;
    }
    ComputeVertexWeights(mesh, settings.outsideRule, coverage, cancel);
    return coverage;
}

std::vector<std::uint8_t> FlagsToMask(const std::vector<std::uint8_t>& flags) {
    std::vector<std::uint8_t> mask(flags.size());
    std::transform(flags.begin(), flags.end(), mask.begin(),
                   [](std::uint8_t flag) { return static_cast<std::uint8_t>(flag > 0 ? 255 : 0); });
    return mask;
}

TextureCoverage RemapTextureCoverage(const TextureCoverage& coverage, const TriangleMesh& oldMesh,
                                     const TriangleMesh& newMesh, const std::vector<std::uint32_t>& vertexMap,
                                     const std::vector<std::uint32_t>& faceMap) {
    const std::size_t newTriangles = newMesh.indices.size() / 3;
    if (vertexMap.size() != newMesh.vertices.size() || faceMap.size() != newTriangles ||
        !coverage.MatchesMesh(oldMesh) || !IsValidMesh(newMesh)) {
        return {};
    }
    // Every entry must name an old vertex or triangle, or the copies below
    // would read past the old lists.
    const std::size_t oldVertices = oldMesh.vertices.size();
    const std::size_t oldTriangles = oldMesh.indices.size() / 3;
    if (std::any_of(vertexMap.begin(), vertexMap.end(), [&](std::uint32_t v) { return v >= oldVertices; }) ||
        std::any_of(faceMap.begin(), faceMap.end(), [&](std::uint32_t f) { return f >= oldTriangles; })) {
        return {};
    }
    TextureCoverage out;
    out.vertexWeights.resize(newMesh.vertices.size());
    for (std::size_t v = 0; v < vertexMap.size(); ++v) out.vertexWeights[v] = coverage.vertexWeights[vertexMap[v]];
    out.texturedFaces.resize(newTriangles);
    out.faceMask.resize(newTriangles);
    out.cornerWeights.resize(newMesh.indices.size());
    for (std::size_t t = 0; t < newTriangles; ++t) {
        const std::uint32_t o = faceMap[t];
        out.texturedFaces[t] = coverage.texturedFaces[o];
        out.faceMask[t] = coverage.faceMask[o];
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint32_t u = vertexMap[newMesh.indices[3 * t + k]];
            out.cornerWeights[3 * t + k] = u == oldMesh.indices[3 * std::size_t{o} + k]
                                               ? coverage.cornerWeights[3 * std::size_t{o} + k]
                                               : coverage.vertexWeights[u];
        }
    }
    return out;
}

std::string FormatCoverageReport(const TextureCoverage& coverage) {
    const auto textured = std::count_if(coverage.texturedFaces.begin(), coverage.texturedFaces.end(),
                                        [](std::uint8_t b) { return b != 0; });
    std::uint64_t moving = 0;
    double weightSum = 0.0;
    for (const float w : coverage.vertexWeights) {
        if (w > 0.0f) {
            ++moving;
            weightSum += w;
        }
    }
    std::ostringstream out;
    out << std::fixed << std::setprecision(2) << textured << " of " << coverage.texturedFaces.size()
        << " faces receive texture, " << moving << " of " << coverage.vertexWeights.size() << " vertices will move";
    if (moving > 0) out << ", mean weight " << weightSum / static_cast<double>(moving);
    return out.str();
}

FaceMaskStatistics CoverageStatistics(const TriangleMesh& mesh, const std::vector<std::uint8_t>& bytes) {
    FaceMaskStatistics stats;
    stats.faces = bytes.size();
    if (!IsValidMesh(mesh) || bytes.empty()) return stats;
    const std::size_t n = std::min(bytes.size(), mesh.indices.size() / 3);
    for (std::size_t f = 0; f < n; ++f) {
        const double area = TriangleArea(mesh, f);
        stats.totalArea += area;
        if (bytes[f] != 0) {
            ++stats.maskedFaces;
            stats.maskedArea += area;
        }
    }
    return stats;
}

}  // namespace ridgeforge::mesh
