// Planar region growing and the compensated area and volume sums.
#include "mesh/simplify/PlanarRegions.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <numeric>
#include <utility>

#include "mesh/Connectivity.h"
#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

// Kahan summation: the flat-area check compares sums of a million terms to
// 1e-7, which plain double accumulation in a different order cannot promise.
class CompensatedSum {
public:
    void Add(double value) {
        const double y = value - carry_;
        const double t = sum_ + y;
        carry_ = (t - sum_) - y;
        sum_ = t;
    }
    double Value() const { return sum_; }

private:
    double sum_ = 0.0;
    double carry_ = 0.0;
};

Vec3d Corner(const TriangleMesh& mesh, std::size_t t, int k) {
    return ToDouble(mesh.vertices[mesh.indices[3 * t + k]].position);
}

}  // namespace

// The connectivity module's side table lists each edge's sides together in
// the row of its smaller corner; an edge with exactly two sides joins them.
std::vector<std::uint32_t> EdgeNeighbours(const TriangleMesh& mesh) {
    const std::size_t sideCount = mesh.indices.size() - mesh.indices.size() % 3;
    std::vector<std::uint32_t> neighbours(sideCount, kNoRegion);
    if (!IsValidMesh(mesh)) return neighbours;
    const VertexRows<EdgeSide> rows = BuildEdgeSides(TriangleCorners(mesh));
    // Every side is in one row only, so blocks of rows write apart.
    ForEachChunk(mesh.vertices.size(), 4096, [&](std::size_t firstVertex, std::size_t lastVertex) {
        const EdgeSide* run = rows.entries.data() + rows.offsets[firstVertex];
        for (std::size_t v = firstVertex; v < lastVertex; ++v) {
            const EdgeSide* last = rows.entries.data() + rows.offsets[v + 1];
            while (run != last) {
                const EdgeSide* end = run + 1;
                while (end != last && end->larger == run->larger) ++end;
                if (end - run == 2) {
                    neighbours[run->side] = run[1].side / 3;
                    neighbours[run[1].side] = run->side / 3;
                }
                run = end;
            }
        }
    });
    return neighbours;
}

double MeshArea(const TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return 0.0;
    CompensatedSum sum;
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        const Vec3d a = Corner(mesh, t, 0);
        sum.Add(0.5 * Length(Cross(Corner(mesh, t, 1) - a, Corner(mesh, t, 2) - a)));
    }
    return sum.Value();
}

double MeshVolume(const TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return 0.0;
    const Vec3d o = mesh.boundsValid ? (ToDouble(mesh.boundsMin) + ToDouble(mesh.boundsMax)) * 0.5 : Vec3d{};
    CompensatedSum sum;
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        const Vec3d a = Corner(mesh, t, 0) - o, b = Corner(mesh, t, 1) - o, c = Corner(mesh, t, 2) - o;
        sum.Add(Dot(a, Cross(b, c)) / 6.0);
    }
    return sum.Value();
}

PlanarRegions FindPlanarRegions(const TriangleMesh& mesh, const SimplifySettings& settings,
                                const std::vector<std::uint32_t>& neighbours, ProgressPoll* poll) {
    PlanarRegions regions;
    const std::size_t triangleCount = mesh.indices.size() / 3;
    if (!IsValidMesh(mesh) || triangleCount == 0 || neighbours.size() != 3 * triangleCount) return regions;

    const float diagonal = mesh.boundsValid ? Length(mesh.boundsMax - mesh.boundsMin) : 0.0f;
    const double tolerance = std::max(diagonal * settings.relativePlanarTolerance, settings.planarToleranceMillimetres);
    const float angle = std::clamp(settings.planarAngleDegrees, 0.0f, 90.0f);
    const float cosLimit = std::cos(angle * 3.1415927f / 180.0f);

    std::vector<float> area(triangleCount);
    std::vector<Vec3f> normal(triangleCount);
    std::vector<float> crossLength(triangleCount);
    ForEachChunk(triangleCount, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
            const Vec3f n = Cross(mesh.vertices[mesh.indices[3 * t + 1]].position - a,
                                  mesh.vertices[mesh.indices[3 * t + 2]].position - a);
            crossLength[t] = Length(n);
            area[t] = 0.5f * crossLength[t];
            normal[t] = Normalize(n);
        }
    });
    // A stable sort has one answer, so the threads do not change the starts' order.
    std::vector<std::uint32_t> starts(triangleCount);
    std::iota(starts.begin(), starts.end(), 0u);
    std::stable_sort(std::execution::par, starts.begin(), starts.end(),
                     [&](std::uint32_t x, std::uint32_t y) { return area[x] > area[y]; });
    if (poll != nullptr && !poll->Check()) return regions;

    regions.regionOfTriangle.assign(triangleCount, kNoRegion);
    std::vector<std::uint32_t> stack;
    for (const std::uint32_t start : starts) {
        if (poll != nullptr && !poll->Tick()) return regions;
        if (regions.regionOfTriangle[start] != kNoRegion || !(crossLength[start] > 1e-12f)) continue;
        const std::uint32_t region = static_cast<std::uint32_t>(regions.count++);
        const Vec3d n = ToDouble(normal[start]);
        const Vec3d origin = Corner(mesh, start, 0);
        regions.regionOfTriangle[start] = region;
        stack.assign(1, start);
        while (!stack.empty()) {
            const std::uint32_t t = stack.back();
            stack.pop_back();
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t other = neighbours[3 * t + k];
                if (other == kNoRegion || regions.regionOfTriangle[other] != kNoRegion) continue;
                const Vec3f& on = normal[other];
                if (!(on == Vec3f{}) && Dot(on, normal[start]) < cosLimit) continue;
                bool offPlane = false;
                for (int c = 0; c < 3 && !offPlane; ++c)
                    offPlane = std::fabs(Dot(Corner(mesh, other, c) - origin, n)) > tolerance;
                if (offPlane) continue;
                // Both triangles on the same side of their shared edge means
                // the neighbour folds back over t.
                const std::uint32_t e0 = mesh.indices[3 * t + k], e1 = mesh.indices[3 * t + (k + 1) % 3];
                const Vec3d p0 = Corner(mesh, t, k);
                Vec3d m = Cross(n, Corner(mesh, t, (k + 1) % 3) - p0);
                const double mLength = Length(m);
                m = mLength > 1e-12 ? m / mLength : Vec3d{};
                Vec3d apex = p0;
                for (int c = 0; c < 3; ++c) {
                    const std::uint32_t v = mesh.indices[3 * other + c];
                    if (v != e0 && v != e1) apex = Corner(mesh, other, c);
                }
                if (Dot(Corner(mesh, t, (k + 2) % 3) - p0, m) * Dot(apex - p0, m) > 0.0) continue;
                regions.regionOfTriangle[other] = region;
                stack.push_back(other);
            }
        }
    }
    return regions;
}

}  // namespace ridgeforge::mesh
