// Marking the surface cells and marching rays through them.
#include "relief/mapping/OccupancyGrid.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sstream>

namespace ridgeforge::mesh {
namespace {

constexpr std::int32_t kMinimumResolution = 16;
constexpr std::int32_t kMaximumResolution = 1024;
// Marked cells a ray may cross at its start: the face's own shell.
constexpr int kOwnShellCells = 3;

// The separating-axis test of one triangle against many cubes of the same
// half edge: the corners' projections onto the thirteen axes are worked out
// once, so each cube costs one dot product per axis.
class TriangleCubeTest {
public:
    TriangleCubeTest(const Vec3f& a, const Vec3f& b, const Vec3f& c, float halfEdge) {
        const Vec3f edges[3] = {b - a, c - b, a - c};
        const Vec3f boxAxes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
        // The plane first: it rejects most cubes that the bounding range lets through.
        Add(Cross(edges[0], edges[1]), a, b, c, halfEdge);
        for (const Vec3f& boxAxis : boxAxes) {
            for (const Vec3f& edge : edges) Add(Cross(boxAxis, edge), a, b, c, halfEdge);
        }
        for (const Vec3f& boxAxis : boxAxes) Add(boxAxis, a, b, c, halfEdge);
    }

    bool Overlaps(const Vec3f& centre) const {
        for (int i = 0; i < count_; ++i) {
            const float at = Dot(axis_[i], centre);
            if (low_[i] - at > reach_[i] || high_[i] - at < -reach_[i]) return false;
        }
        return true;
    }

private:
    void Add(const Vec3f& axis, const Vec3f& a, const Vec3f& b, const Vec3f& c, float h) {
        const float pa = Dot(axis, a), pb = Dot(axis, b), pc = Dot(axis, c);
        axis_[count_] = axis;
        low_[count_] = std::min({pa, pb, pc});
        high_[count_] = std::max({pa, pb, pc});
        reach_[count_] = h * (std::fabs(axis.x) + std::fabs(axis.y) + std::fabs(axis.z));
        ++count_;
    }

    Vec3f axis_[13];
    float low_[13];
    float high_[13];
    float reach_[13];
    int count_ = 0;
};

std::int32_t CellOf(float coordinate, float origin, float cellSize, std::int32_t count) {
    const double cell = std::floor((static_cast<double>(coordinate) - origin) / cellSize);
    return static_cast<std::int32_t>(std::clamp(cell, 0.0, static_cast<double>(count - 1)));
}

}  // namespace

bool TriangleOverlapsCube(const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& centre, float halfEdge) {
    return TriangleCubeTest(a, b, c, halfEdge).Overlaps(centre);
}

void OccupancyGrid::Build(const TriangleMesh& mesh, std::int32_t requestedCells) {
    *this = OccupancyGrid{};
    const auto start = std::chrono::steady_clock::now();
    if (!IsValidMesh(mesh) || mesh.vertices.empty()) return;

    Vec3f lo = mesh.boundsMin;
    Vec3f hi = mesh.boundsMax;
    if (!mesh.boundsValid) {
        lo = hi = mesh.vertices.front().position;
        for (const Vertex& v : mesh.vertices) {
            if (!IsFinite(v.position)) return;
            lo = Min(lo, v.position);
            hi = Max(hi, v.position);
        }
    }
    // A coordinate that is not finite would give a cell count that cannot
    // be held; such a part is treated like a broken one.
    if (!IsFinite(lo) || !IsFinite(hi)) return;
    resolution = std::clamp(requestedCells, kMinimumResolution, kMaximumResolution);
    // Stale cached bounds may even be turned over; the grid then only covers less.
    const Vec3f extent = Max(hi - lo, Vec3f{});
    cellSize = std::max({extent.x, extent.y, extent.z, 0.001f}) / static_cast<float>(resolution);
    for (int axis = 0; axis < 3; ++axis) {
        dimensions[axis] = static_cast<std::int32_t>(std::ceil(extent[axis] / cellSize)) + 5;
        origin[axis] = lo[axis] - 2.0f * cellSize;
    }
    const std::size_t nx = dimensions[0], ny = dimensions[1], nz = dimensions[2];
    cells.assign(nx * ny * nz, 0);

    const float half = cellSize * 0.5f * 1.0001f;
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const Vec3f& a = mesh.vertices[mesh.indices[t]].position;
        const Vec3f& b = mesh.vertices[mesh.indices[t + 1]].position;
        const Vec3f& c = mesh.vertices[mesh.indices[t + 2]].position;
        const Vec3f low = Min(Min(a, b), c);
        const Vec3f high = Max(Max(a, b), c);
        // Cached bounds may not have seen a corner that is not finite.
        if (!IsFinite(low) || !IsFinite(high)) continue;
        std::int32_t from[3], to[3];
        for (int axis = 0; axis < 3; ++axis) {
            from[axis] = CellOf(low[axis], origin[axis], cellSize, dimensions[axis]);
            to[axis] = CellOf(high[axis], origin[axis], cellSize, dimensions[axis]);
        }
        if (from[0] == to[0] && from[1] == to[1] && from[2] == to[2]) {
            cells[(from[2] * ny + from[1]) * nx + from[0]] = 1;
            continue;
        }
        const TriangleCubeTest test(a, b, c, half);
        for (std::int32_t z = from[2]; z <= to[2]; ++z) {
            for (std::int32_t y = from[1]; y <= to[1]; ++y) {
                for (std::int32_t x = from[0]; x <= to[0]; ++x) {
                    std::uint8_t& cell = cells[(z * ny + y) * nx + x];
                    if (cell != 0) continue;
                    const Vec3f centre{origin[0] + (static_cast<float>(x) + 0.5f) * cellSize,
                                       origin[1] + (static_cast<float>(y) + 0.5f) * cellSize,
                                       origin[2] + (static_cast<float>(z) + 0.5f) * cellSize};
                    if (test.Overlaps(centre)) cell = 1;
                }
            }
        }
    }
    cellsX = dimensions[0];
    cellsY = dimensions[1];
    cellsZ = dimensions[2];
    cellSizeMillimetres = cellSize;
    surfaceCells = static_cast<std::uint64_t>(std::count(cells.begin(), cells.end(), std::uint8_t{1}));
    buildMilliseconds =
        static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count()) /
        1e6;
}

bool OccupancyGrid::RayLeaves(const Vec3f& point, const Vec3f& direction) const {
    if (IsEmpty()) return true;
    const Vec3f d = Normalize(direction);
    if (d == Vec3f{} || !IsFinite(d) || !IsFinite(point)) return true;
    double s[3];
    std::int64_t cell[3], step[3];
    double tDelta[3], tMax[3];
    for (int axis = 0; axis < 3; ++axis) {
        s[axis] = (static_cast<double>(point[axis]) - origin[axis]) / cellSize + d[axis];
        // Far outside the grid: also keeps the cell number within 64 bits.
        if (!(std::fabs(s[axis]) < 1e15)) return true;
        cell[axis] = static_cast<std::int64_t>(std::floor(s[axis]));
        step[axis] = d[axis] > 0.0f ? 1 : (d[axis] < 0.0f ? -1 : 0);
        if (step[axis] == 0) {
            tDelta[axis] = 1e30;
            tMax[axis] = 1e30;
        } else {
            tDelta[axis] = std::fabs(1.0 / d[axis]);
            const double boundary = static_cast<double>(step[axis] > 0 ? cell[axis] + 1 : cell[axis]);
            tMax[axis] = std::fabs(boundary - s[axis]) * tDelta[axis];
        }
    }
    const std::int64_t maximumSteps = std::int64_t{cellsX} + cellsY + cellsZ + 4;
    for (int axis = 0; axis < 3; ++axis) {
        if (cell[axis] < 0 || cell[axis] >= dimensions[axis]) return true;
    }
    // The cell index moves by one stride per step, and only the axis that
    // moved can have left the grid.
    const std::int64_t stride[3] = {1, dimensions[0], std::int64_t{dimensions[0]} * dimensions[1]};
    std::int64_t index = cell[2] * stride[2] + cell[1] * stride[1] + cell[0];
    bool leftStart = false;
    int shellCells = 0;
    for (std::int64_t i = 0; i < maximumSteps; ++i) {
        if (cells[static_cast<std::size_t>(index)] == 0) {
            leftStart = true;
        } else if (leftStart || ++shellCells > kOwnShellCells) {
            return false;
        }
        const int axis = (tMax[0] < tMax[1] && tMax[0] < tMax[2]) ? 0 : (tMax[1] < tMax[2] ? 1 : 2);
        tMax[axis] += tDelta[axis];
        cell[axis] += step[axis];
        if (cell[axis] < 0 || cell[axis] >= dimensions[axis]) return true;
        index += step[axis] * stride[axis];
    }
    return true;
}

std::string FormatOccupancyGridReport(const OccupancyGrid& grid) {
    std::ostringstream out;
    out << "Occupancy grid: " << grid.cellsX << " x " << grid.cellsY << " x " << grid.cellsZ << " cells of "
        << grid.cellSizeMillimetres << " mm, " << grid.surfaceCells << " on the surface, built in "
        << grid.buildMilliseconds << " ms";
    return out.str();
}

}  // namespace ridgeforge::mesh
