// Reading a triangle mesh as exact crossings along the lines of a grid.
//
// Vertices are snapped to even fixed-point values and grid lines lie on odd
// ones, so no line meets a vertex and every inside test is decided exactly in
// 64-bit integers; a line through a shared edge is given to exactly one of the
// two triangles by a top-left rule, as in hardware rasterisation. Each line's
// crossings are then classified: where their directions balance, only the
// crossings that enter or leave the union of all shells are kept (winding), so
// overlapping shells do not cut each other; where they do not balance (an open
// surface) every crossing toggles (parity). Vertical lines through holes are
// rebuilt from the horizontal lines that cross them.
#include <atomic>
#include <cmath>

#include "mesh/remesh/internal/ContourLines.h"

namespace ridgeforge::mesh {

ContourGrid::ContourGrid(const BoundingBox& bounds, double cell) {
    Vec3d low;
    Vec3d high;
    double magnitude = 0.0;
    if (bounds.valid) {
        low = ToDouble(bounds.min);
        high = ToDouble(bounds.max);
        double largest = 0.0;
        for (int i = 0; i < 3; ++i) largest = std::max({largest, std::fabs(low[i]), std::fabs(high[i])});
        magnitude = std::max(1e-6, 1e-6 * largest);
    }
    cellSize = cell;
    tolerance = std::clamp(4.0 * magnitude / cell, 0.0009765625, 0.0625);
    double nodeZero[3];
    for (int i = 0; i < 2; ++i) {
        dims[i] = static_cast<std::int32_t>(std::ceil((high[i] - low[i]) / cell)) + 3;
        nodeZero[i] = (low[i] + high[i]) / 2.0 - dims[i] * cell / 2.0;
    }
    dims[2] = static_cast<std::int32_t>(std::ceil((high[2] - low[2]) / cell + 1.5)) + 2;
    nodeZero[2] = low[2] - 1.5 * cell;
    const std::int32_t d = std::max({dims[0], dims[1], dims[2]}) + 2;
    int bits = 1;
    while ((std::int64_t{1} << bits) < d) ++bits;
    shift = std::min(26, 30 - bits);
    subdivisions = std::int64_t{1} << shift;
    substep = cell / static_cast<double>(subdivisions);
    for (int i = 0; i < 3; ++i) origin[i] = nodeZero[i] - substep;
}

namespace contour {
namespace {

// Limits of a snapped coordinate in units of two substeps: [-2^29, 2^30 + 2^29]
// in substeps, half the grid's greatest span beyond it on either side.
constexpr double kLowestSnap = -0x10000000;
constexpr double kHighestSnap = 0x30000000;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

struct SnappedTriangle {
    std::int64_t v[3][3];
};

// Rasterises one triangle onto the lines along axis a of the grid; returns
// the work done (lines tested), for the stop poll.
std::uint64_t RasteriseOnAxis(const SnappedTriangle& t, std::uint32_t triangle, const ContourGrid& grid,
                              const ContourLines& lines, std::vector<Crossing>& out) {
    const int a = lines.a, b = lines.b, c = lines.c;
    std::int64_t pb[3], pc[3];
    double ph[3];
    for (int i = 0; i < 3; ++i) {
        pb[i] = t.v[i][b];
        pc[i] = t.v[i][c];
        ph[i] = static_cast<double>(t.v[i][a]);
    }
    const std::int64_t area = (pb[1] - pb[0]) * (pc[2] - pc[0]) - (pc[1] - pc[0]) * (pb[2] - pb[0]);
    if (area == 0) return 1;
    const std::uint32_t direction = area > 0 ? kDirectionBit : 0u;
    if (area < 0) {
        // One winding for the edge tests below.
        std::swap(pb[1], pb[2]);
        std::swap(pc[1], pc[2]);
        std::swap(ph[1], ph[2]);
    }
    const double twiceArea = static_cast<double>(area < 0 ? -area : area);
    const std::int64_t sub = grid.subdivisions;

    const std::int64_t bMin = std::min({pb[0], pb[1], pb[2]}), bMax = std::max({pb[0], pb[1], pb[2]});
    const std::int64_t cMin = std::min({pc[0], pc[1], pc[2]}), cMax = std::max({pc[0], pc[1], pc[2]});
    const std::int64_t ibFirst = std::max<std::int64_t>(0, FloorDiv(bMin - 1 + sub - 1, sub));
    const std::int64_t ibLast = std::min<std::int64_t>(lines.countB - 1, FloorDiv(bMax - 1, sub));
    const std::int64_t icFirst = std::max<std::int64_t>(0, FloorDiv(cMin - 1 + sub - 1, sub));
    const std::int64_t icLast = std::min<std::int64_t>(lines.countC - 1, FloorDiv(cMax - 1, sub));
    if (ibFirst > ibLast || icFirst > icLast) return 1;

    std::uint64_t work = 1;
    for (std::int64_t ic = icFirst; ic <= icLast; ++ic) {
        const std::int64_t lc = ic * sub + 1;
        double lower = 1e300, upper = -1e300;
        for (int i = 0; i < 3; ++i) {
            const int j = (i + 1) % 3;
            if (pc[i] == pc[j]) continue;
            if (lc < std::min(pc[i], pc[j]) || lc > std::max(pc[i], pc[j])) continue;
            const double x = static_cast<double>(pb[i]) + static_cast<double>(pb[j] - pb[i]) *
                                                              static_cast<double>(lc - pc[i]) /
                                                              static_cast<double>(pc[j] - pc[i]);
            lower = std::min(lower, x);
            upper = std::max(upper, x);
        }
        if (lower > upper) continue;
        // The span only bounds the search; a few units of slack cover its rounding.
        const auto from = static_cast<std::int64_t>(std::ceil((lower - 3.0) / static_cast<double>(sub)));
        const auto to = static_cast<std::int64_t>(std::floor((upper + 1.0) / static_cast<double>(sub)));
        work +=
            static_cast<std::uint64_t>(std::max<std::int64_t>(0, std::min(to, ibLast) - std::max(from, ibFirst))) + 1;
        for (std::int64_t ib = std::max(from, ibFirst); ib <= std::min(to, ibLast); ++ib) {
            const std::int64_t lb = ib * sub + 1;
            std::int64_t e[3];
            bool inside = true;
            for (int i = 0; i < 3 && inside; ++i) {
                const int j = (i + 1) % 3;
                const std::int64_t db = pb[j] - pb[i];
                const std::int64_t dc = pc[j] - pc[i];
                e[i] = db * (lc - pc[i]) - dc * (lb - pb[i]);
                if (e[i] < 0) inside = false;
                if (e[i] == 0 && !(dc > 0 || (dc == 0 && db > 0))) inside = false;
            }
            if (!inside) continue;
            // e[i] is the weight of the vertex opposite edge i -> i+1.
            const double position = (static_cast<double>(e[1]) * ph[0] + static_cast<double>(e[2]) * ph[1] +
                                     static_cast<double>(e[0]) * ph[2]) /
                                    twiceArea;
            out.push_back(
                {position, triangle | direction,
                 static_cast<std::int32_t>(lines.Line(static_cast<std::int32_t>(ib), static_cast<std::int32_t>(ic)))});
        }
    }
    return work;
}

// Sorts and classifies the crossings of one line; returns the thin places.
std::uint64_t ClassifyLine(Crossing* first, Crossing* last, const ContourGrid& grid, int axis) {
    std::sort(first, last, [](const Crossing& x, const Crossing& y) {
        return x.position < y.position || (x.position == y.position && x.triangle < y.triangle);
    });
    int sum = 0;
    for (const Crossing* r = first; r != last; ++r) sum += (r->triangle & kDirectionBit) ? -1 : 1;
    int winding = 0;
    std::int32_t previousCell = -1;
    std::uint64_t thin = 0;
    const std::int32_t lastCell = grid.dims[axis] - 1;
    for (Crossing* r = first; r != last; ++r) {
        const int step = (r->triangle & kDirectionBit) ? -1 : 1;
        const bool keep = sum != 0 || ((winding == 0) != (winding + step == 0));
        winding += step;
        r->triangle &= ~kDirectionBit;
        if (!keep) {
            r->slot = kDroppedSlot;
            continue;
        }
        const double cell = std::floor((r->position - 1.0) / static_cast<double>(grid.subdivisions));
        r->slot = static_cast<std::int32_t>(std::clamp(cell, 0.0, static_cast<double>(lastCell)));
        if (r->slot == previousCell) ++thin;
        previousCell = r->slot;
    }
    std::stable_partition(first, last, [](const Crossing& x) { return x.slot != kDroppedSlot; });
    return thin;
}

// Gathers the chunks' crossings of one axis into its lines and classifies
// them; false when a stop was seen.
bool BuildLines(const ContourGrid& grid, const std::vector<std::vector<Crossing>>& chunks, ContourLines& lines,
                CancelContext* cancel) {
    const std::size_t lineCount = lines.LineCount();
    lines.offsets.assign(lineCount + 1, 0);
    ForEachChunk(chunks.size(), 1, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        for (std::size_t k = begin; k < end; ++k) {
            for (const Crossing& r : chunks[k]) {
                if (poll.Add(1)) return;
                std::atomic_ref<std::uint32_t>(lines.offsets[static_cast<std::size_t>(r.slot)])
                    .fetch_add(1, std::memory_order_relaxed);
            }
        }
    });
    if (StopSeen(cancel)) return false;
    std::exclusive_scan(lines.offsets.begin(), lines.offsets.end(), lines.offsets.begin(), 0u);
    lines.crossings.resize(lines.offsets.back());  // every crossing is placed below
    std::vector<std::uint32_t> cursor(lines.offsets.begin(), lines.offsets.end() - 1);
    ForEachChunk(chunks.size(), 1, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        for (std::size_t k = begin; k < end; ++k) {
            for (const Crossing& r : chunks[k]) {
                if (poll.Add(1)) return;
                const std::uint32_t at = std::atomic_ref<std::uint32_t>(cursor[static_cast<std::size_t>(r.slot)])
                                             .fetch_add(1, std::memory_order_relaxed);
                lines.crossings[at] = r;
            }
        }
    });
    cursor = {};
    if (StopSeen(cancel)) return false;

    lines.odd.assign(lineCount, 0);
    std::atomic<std::uint64_t> oddLines{0};
    std::atomic<std::uint64_t> thinPlaces{0};
    const std::size_t rowsPerChunk = 8;
    ForEachChunk(static_cast<std::size_t>(lines.countC), rowsPerChunk, [&](std::size_t rowBegin, std::size_t rowEnd) {
        WorkPoll poll(cancel);
        std::uint64_t odd = 0;
        std::uint64_t thin = 0;
        for (std::size_t line = rowBegin * lines.countB; line < rowEnd * lines.countB; ++line) {
            Crossing* first = lines.crossings.data() + lines.offsets[line];
            Crossing* last = lines.crossings.data() + lines.offsets[line + 1];
            if (poll.Add(static_cast<std::uint64_t>(last - first) + 1)) return;
            if (first == last) continue;
            thin += ClassifyLine(first, last, grid, lines.a);
            if ((last - first) % 2 != 0) {
                lines.odd[line] = 1;
                ++odd;
            }
        }
        oddLines.fetch_add(odd);
        thinPlaces.fetch_add(thin);
    });
    lines.oddLines = oddLines.load();
    lines.thinPlaces = thinPlaces.load();
    return !StopSeen(cancel);
}

// Whether node `node` of a line lies inside by that line's kept crossings.
bool InsideAlong(const ContourLines& lines, std::size_t line, std::int32_t node) {
    const Crossing* first = lines.Begin(line);
    const Crossing* below = std::lower_bound(first, lines.KeptEnd(line), node,
                                             [](const Crossing& x, std::int32_t s) { return x.slot < s; });
    return (below - first) % 2 != 0;
}

// Rebuilds a vertical line through a hole from the horizontal lines crossing it.
std::vector<Crossing> RepairVerticalLine(const ContourGrid& grid, const ContourLines lines[3], std::int32_t i,
                                         std::int32_t j) {
    const ContourLines& xl = lines[0];
    const ContourLines& yl = lines[1];
    const ContourLines& zl = lines[2];
    const std::size_t own = zl.Line(i, j);
    const std::int32_t nodes = grid.dims[2] + 1;
    std::vector<Crossing> repaired;
    bool previous = false;
    for (std::int32_t k = 1; k < nodes; ++k) {
        bool state = false;
        if (k < nodes - 1) {
            const std::size_t xLine = xl.Line(j, k);  // x-lines are spanned by (y, z)
            const std::size_t yLine = yl.Line(k, i);  // y-lines are spanned by (z, x)
            const bool xUsable = xl.odd[xLine] == 0;
            const bool yUsable = yl.odd[yLine] == 0;
            state = (xUsable || yUsable) && (!xUsable || InsideAlong(xl, xLine, i)) &&
                    (!yUsable || InsideAlong(yl, yLine, j));
        }
        if (state != previous) {
            const std::int32_t cell = k - 1;
            const Crossing* first = zl.Begin(own);
            const Crossing* kept = zl.KeptEnd(own);
            const Crossing* found =
                std::lower_bound(first, kept, cell, [](const Crossing& x, std::int32_t s) { return x.slot < s; });
            if (found != kept && found->slot == cell) {
                repaired.push_back(*found);
            } else {
                const double middle = static_cast<double>(cell) * static_cast<double>(grid.subdivisions) + 1.0 +
                                      static_cast<double>(grid.subdivisions) / 2.0;
                repaired.push_back({middle, kNoTriangle, cell});
            }
        }
        previous = state;
    }
    return repaired;
}

bool RepairVerticalLines(const ContourGrid& grid, ContourLines lines[3], CancelContext* cancel) {
    ContourLines& zl = lines[2];
    if (zl.oddLines == 0) return true;
    std::vector<std::size_t> flagged;
    for (std::size_t line = 0; line < zl.LineCount(); ++line) {
        if (zl.odd[line] != 0) flagged.push_back(line);
    }
    std::vector<std::vector<Crossing>> repaired(flagged.size());
    ForEachChunk(flagged.size(), 16, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        for (std::size_t f = begin; f < end; ++f) {
            if (poll.Add(static_cast<std::uint64_t>(grid.dims[2]))) return;
            const auto i = static_cast<std::int32_t>(flagged[f] % static_cast<std::size_t>(zl.countB));
            const auto j = static_cast<std::int32_t>(flagged[f] / static_cast<std::size_t>(zl.countB));
            repaired[f] = RepairVerticalLine(grid, lines, i, j);
        }
    });
    if (StopSeen(cancel)) return false;

    std::vector<std::uint32_t> offsets(zl.offsets.size(), 0);
    std::vector<std::int64_t> replacement(zl.LineCount(), -1);
    for (std::size_t f = 0; f < flagged.size(); ++f) replacement[flagged[f]] = static_cast<std::int64_t>(f);
    for (std::size_t line = 0; line < zl.LineCount(); ++line) {
        const std::int64_t r = replacement[line];
        offsets[line + 1] =
            offsets[line] + (r >= 0 ? static_cast<std::uint32_t>(repaired[static_cast<std::size_t>(r)].size())
                                    : zl.offsets[line + 1] - zl.offsets[line]);
    }
    UnsetVector<Crossing> crossings(offsets.back());  // every line is copied in below
    ForEachChunk(zl.LineCount(), 4096, [&](std::size_t begin, std::size_t end) {
        for (std::size_t line = begin; line < end; ++line) {
            const std::int64_t r = replacement[line];
            if (r >= 0) {
                const auto& list = repaired[static_cast<std::size_t>(r)];
                std::copy(list.begin(), list.end(), crossings.begin() + offsets[line]);
            } else {
                std::copy(zl.Begin(line), zl.End(line), crossings.begin() + offsets[line]);
            }
        }
    });
    zl.offsets = std::move(offsets);
    zl.crossings = std::move(crossings);
    return true;
}

}  // namespace

bool ReadSurface(const TriangleMesh& mesh, const ContourGrid& grid, ContourLines lines[3], ContourResult& result,
                 CancelContext* cancel) {
    for (int a = 0; a < 3; ++a) {
        ContourLines& l = lines[a];
        l.a = a;
        l.b = (a + 1) % 3;
        l.c = (a + 2) % 3;
        l.countB = grid.dims[l.b] + 1;
        l.countC = grid.dims[l.c] + 1;
    }
    const std::size_t triangles = mesh.indices.size() / 3;
    const std::size_t chunkSize = 2048;
    const std::size_t chunkCount = (triangles + chunkSize - 1) / chunkSize;
    std::vector<std::vector<Crossing>> perAxis[3];
    for (auto& chunks : perAxis) chunks.resize(chunkCount);
    ForEachChunk(triangles, chunkSize, [&](std::size_t begin, std::size_t end) {
        const std::size_t chunk = begin / chunkSize;
        WorkPoll poll(cancel);
        for (std::size_t t = begin; t < end; ++t) {
            SnappedTriangle snapped;
            for (int k = 0; k < 3; ++k) {
                const Vec3f& p = mesh.vertices[mesh.indices[3 * t + k]].position;
                for (int a = 0; a < 3; ++a) {
                    // The grid spans at most 2^30 units; a vertex far outside it (bounds
                    // that do not fit the mesh) is held within half that again on each
                    // side so that the edge products stay inside 64 bits.
                    const double units = (static_cast<double>(p[a]) - grid.origin[a]) / (2.0 * grid.substep);
                    snapped.v[k][a] = 2 * std::llround(std::clamp(units, kLowestSnap, kHighestSnap));
                }
            }
            std::uint64_t work = 0;
            for (int a = 0; a < 3; ++a) {
                work += RasteriseOnAxis(snapped, static_cast<std::uint32_t>(t), grid, lines[a], perAxis[a][chunk]);
            }
            if (poll.Add(work)) return;
        }
    });
    if (StopSeen(cancel)) return false;
    for (int a = 0; a < 3; ++a) {
        std::uint64_t total = 0;
        for (const auto& chunk : perAxis[a]) total += chunk.size();
        result.refusal = ContourCountRefusal(0, total, 0, 0, 0);
        if (!result.refusal.empty()) return false;
        if (!BuildLines(grid, perAxis[a], lines[a], cancel)) return false;
        perAxis[a] = {};
        result.linesThroughHole += lines[a].oddLines;
        result.thinPlaces += lines[a].thinPlaces;
    }
    return RepairVerticalLines(grid, lines, cancel);
}

}  // namespace contour
}  // namespace ridgeforge::mesh
