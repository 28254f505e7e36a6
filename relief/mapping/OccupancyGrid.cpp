// Marking the surface cells and marching rays through them.
//
// Marking runs over the triangles in parallel chunks; each visits only the
// rows of cells its surface passes near, so the cost follows the surface and
// not the triangles' bounding boxes (a long rod lying across the diagonal has
// boxes that fill the grid). Cells only ever go from 0 to 1, written through
// relaxed atomic stores, so the result does not depend on the order.
#include "relief/mapping/OccupancyGrid.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <execution>
#include <numeric>
#include <sstream>
#include <tuple>

#include "mesh/CancellableLoop.h"
#include "mesh/ParallelChunks.h"

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
        // The plane first: it rejects most cubes that the bounding range lets
        // through. Its normal is taken in double (exact for float corners up
        // to one rounding) so that it points right even for a long sliver,
        // whose float cross product of two long edges cancels.
        const Vec3d da = ToDouble(a), db = ToDouble(b), dc = ToDouble(c);
        Add(ToFloat(Cross(db - da, dc - db)), a, b, c, halfEdge);
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

// A convex polygon of at most a triangle cut by two slabs.
struct Piece {
    Vec3d points[9];
    int count = 0;
};

// The part of `in` between lo and hi along `axis` (Sutherland-Hodgman
// against the slab's two planes).
Piece ClipToSlab(const Piece& in, int axis, double lo, double hi) {
    const auto clip = [axis](const Piece& from, double bound, double sense) {
        Piece out;
        for (int i = 0; i < from.count; ++i) {
            const Vec3d& p = from.points[i];
            const Vec3d& q = from.points[(i + 1) % from.count];
            const double dp = (p[axis] - bound) * sense, dq = (q[axis] - bound) * sense;
            if (dp >= 0.0) out.points[out.count++] = p;
            if ((dp < 0.0) != (dq < 0.0)) out.points[out.count++] = p + (q - p) * (dp / (dp - dq));
        }
        return out;
    };
    return clip(clip(in, lo, 1.0), hi, -1.0);
}

// The index range of the cells whose centres lie within `reach` of the
// piece's span along `axis`, kept within [from, to].
void CellsNear(const Piece& piece, int axis, double reach, double origin, double cellSize, std::int32_t from,
               std::int32_t to, std::int32_t& first, std::int32_t& last) {
    double low = piece.points[0][axis], high = low;
    for (int i = 1; i < piece.count; ++i) {
        low = std::min(low, piece.points[i][axis]);
        high = std::max(high, piece.points[i][axis]);
    }
    first = std::max(from, static_cast<std::int32_t>(std::max(std::ceil((low - reach - origin) / cellSize - 0.5),
                                                              static_cast<double>(from) - 1.0)));
    last = std::min(to, static_cast<std::int32_t>(std::min(std::floor((high + reach - origin) / cellSize - 0.5),
                                                           static_cast<double>(to) + 1.0)));
}

// The marking of one grid: every cell of a triangle's bounding range whose
// cube the separating-axis test finds overlapping the triangle. Only the
// cells near the triangle are tested: the triangle is cut into the slab of
// each layer of cells and each row of it, and a row's cells are those within
// reach of its piece. The reach is the cube's half edge plus how far off the
// triangle the float test may still find overlap. Where coordinates are so
// large against the cells that this reaches past a few cells, every cell of
// the range is tested, as the test alone would.
class SurfaceMarker {
public:
    SurfaceMarker(OccupancyGrid& grid, const TriangleMesh& mesh) : grid_(grid), mesh_(mesh) {
        half_ = grid.cellSize * 0.5f * 1.0001f;
        for (int axis = 0; axis < 3; ++axis) {
            const double far = grid.origin[axis] + static_cast<double>(grid.dimensions[axis]) * grid.cellSize;
            largest_ = std::max({largest_, std::fabs(static_cast<double>(grid.origin[axis])), std::fabs(far)});
        }
    }

    void Mark(std::size_t triangle) const {
        const Vec3f& a = mesh_.vertices[mesh_.indices[3 * triangle]].position;
        const Vec3f& b = mesh_.vertices[mesh_.indices[3 * triangle + 1]].position;
        const Vec3f& c = mesh_.vertices[mesh_.indices[3 * triangle + 2]].position;
        const Vec3f low = Min(Min(a, b), c);
        const Vec3f high = Max(Max(a, b), c);
        // Cached bounds may not have seen a corner that is not finite.
        if (!IsFinite(low) || !IsFinite(high)) return;
        std::int32_t from[3], to[3];
        for (int axis = 0; axis < 3; ++axis) {
            from[axis] = CellOf(low[axis], grid_.origin[axis], grid_.cellSize, grid_.dimensions[axis]);
            to[axis] = CellOf(high[axis], grid_.origin[axis], grid_.cellSize, grid_.dimensions[axis]);
        }
        if (from[0] == to[0] && from[1] == to[1] && from[2] == to[2]) {
            Set(from[0], from[1], from[2]);
            return;
        }
        const TriangleCubeTest test(a, b, c, half_);
        const double reach = Reach(a, b, c);
        if (!(reach < 4.0 * grid_.cellSize)) {
            for (std::int32_t z = from[2]; z <= to[2]; ++z)
                for (std::int32_t y = from[1]; y <= to[1]; ++y) TestRow(test, from[0], to[0], y, z);
            return;
        }
        Piece triangleAsPiece;
        triangleAsPiece.points[0] = ToDouble(a);
        triangleAsPiece.points[1] = ToDouble(b);
        triangleAsPiece.points[2] = ToDouble(c);
        triangleAsPiece.count = 3;
        const double size = grid_.cellSize;
        for (std::int32_t z = from[2]; z <= to[2]; ++z) {
            const double zc = grid_.origin[2] + (z + 0.5) * size;
            const Piece layer = ClipToSlab(triangleAsPiece, 2, zc - reach, zc + reach);
            if (layer.count == 0) continue;
            std::int32_t yFirst = 0, yLast = -1;
            CellsNear(layer, 1, reach, grid_.origin[1], size, from[1], to[1], yFirst, yLast);
            for (std::int32_t y = yFirst; y <= yLast; ++y) {
                const double yc = grid_.origin[1] + (y + 0.5) * size;
                const Piece row = ClipToSlab(layer, 1, yc - reach, yc + reach);
                if (row.count == 0) continue;
                std::int32_t xFirst = 0, xLast = -1;
                CellsNear(row, 0, reach, grid_.origin[0], size, from[0], to[0], xFirst, xLast);
                TestRow(test, xFirst, xLast, y, z);
            }
        }
    }

private:
    // Every axis of the test is within a few roundings of its true
    // direction, and each projection is off by a few roundings of the
    // largest coordinate, so a cube the test finds overlapping lies within
    // that much of the triangle.
    double Reach(const Vec3f& a, const Vec3f& b, const Vec3f& c) const {
        const Vec3d da = ToDouble(a), db = ToDouble(b), dc = ToDouble(c);
        const double longest = std::max({Length(db - da), Length(dc - db), Length(da - dc)});
        double largest = largest_;
        for (const Vec3d& p : {da, db, dc})
            largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
        constexpr double kFloatRounding = 1.0 / 16777216.0;  // 2^-24
        const double rounding = 16.0 * kFloatRounding * (3.0 * largest + 4.0 * longest + grid_.cellSize);
        return static_cast<double>(half_) + rounding;
    }

    void TestRow(const TriangleCubeTest& test, std::int32_t xFirst, std::int32_t xLast, std::int32_t y,
                 std::int32_t z) const {
        const float size = grid_.cellSize;
        const Vec3f centreYZ{0.0f, grid_.origin[1] + (static_cast<float>(y) + 0.5f) * size,
                             grid_.origin[2] + (static_cast<float>(z) + 0.5f) * size};
        for (std::int32_t x = xFirst; x <= xLast; ++x) {
            std::atomic_ref<std::uint8_t> cell(grid_.cells[Index(x, y, z)]);
            if (cell.load(std::memory_order_relaxed) != 0) continue;
            const Vec3f centre{grid_.origin[0] + (static_cast<float>(x) + 0.5f) * size, centreYZ.y, centreYZ.z};
            if (test.Overlaps(centre)) cell.store(1, std::memory_order_relaxed);
        }
    }

    void Set(std::int32_t x, std::int32_t y, std::int32_t z) const {
        std::atomic_ref<std::uint8_t>(grid_.cells[Index(x, y, z)]).store(1, std::memory_order_relaxed);
    }

    std::size_t Index(std::int32_t x, std::int32_t y, std::int32_t z) const {
        const std::size_t nx = grid_.dimensions[0], ny = grid_.dimensions[1];
        return (static_cast<std::size_t>(z) * ny + static_cast<std::size_t>(y)) * nx + static_cast<std::size_t>(x);
    }

    OccupancyGrid& grid_;
    const TriangleMesh& mesh_;
    float half_ = 0.0f;
    double largest_ = 0.0;
};

// The triangles to mark, each list of three corner indices once: a copy
// marks the very cells its original marked, and a pile of copies of one
// large triangle would otherwise cost as many times its cells.
std::vector<std::uint32_t> TrianglesOnceEach(const TriangleMesh& mesh) {
    std::vector<std::uint32_t> order(mesh.TriangleCount());
    std::iota(order.begin(), order.end(), 0u);
    const auto corners = [&](std::uint32_t t) {
        const std::uint32_t* i = &mesh.indices[3 * std::size_t{t}];
        return std::make_tuple(i[0], i[1], i[2]);
    };
    std::sort(std::execution::par, order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return corners(a) < corners(b); });
    order.erase(std::unique(order.begin(), order.end(),
                            [&](std::uint32_t a, std::uint32_t b) { return corners(a) == corners(b); }),
                order.end());
    return order;
}

// Triangles per chunk of the marking: small enough that a stop is seen soon
// on a part of few long triangles.
constexpr std::uint64_t kMarkChunk = 256;

}  // namespace

bool TriangleOverlapsCube(const Vec3f& a, const Vec3f& b, const Vec3f& c, const Vec3f& centre, float halfEdge) {
    return TriangleCubeTest(a, b, c, halfEdge).Overlaps(centre);
}

bool OccupancyGrid::Build(const TriangleMesh& mesh, std::int32_t requestedCells, const ProgressCallback& progress) {
    *this = OccupancyGrid{};
    const auto start = std::chrono::steady_clock::now();
    if (!IsValidMesh(mesh) || mesh.vertices.empty()) return true;

    Vec3f lo = mesh.boundsMin;
    Vec3f hi = mesh.boundsMax;
    if (!mesh.boundsValid) {
        lo = hi = mesh.vertices.front().position;
        for (const Vertex& v : mesh.vertices) {
            if (!IsFinite(v.position)) return true;
            lo = Min(lo, v.position);
            hi = Max(hi, v.position);
        }
    }
    // A coordinate that is not finite would give a cell count that cannot
    // be held; such a part is treated like a broken one.
    if (!IsFinite(lo) || !IsFinite(hi)) return true;
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

    const SurfaceMarker marker(*this, mesh);
    const std::vector<std::uint32_t> marking = TrianglesOnceEach(mesh);
    const auto markChunk = [&](std::uint64_t begin, std::uint64_t end) {
        for (std::uint64_t i = begin; i < end; ++i) marker.Mark(marking[i]);
    };
    if (!progress) {
        ForEachChunk(marking.size(), kMarkChunk, markChunk);
    } else {
        CancelContext context;
        context.callback = &progress;
        context.stageName = kOccupancyStage;
        const ScopedCancelContext published(context);
        try {
            ParallelForChunks<kMarkChunk>(
                marking.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) { markChunk(begin, end); });
        } catch (const Stopped&) {
            *this = OccupancyGrid{};
            return false;
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
    return true;
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
