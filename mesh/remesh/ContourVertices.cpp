// Vertices and triangles of a contouring run, and the run itself.
//
// Each surface piece of an active cell gets one vertex, placed by the quadric
// fit of its edge crossings (see CellVertexPlacement.h); crossings on faces
// perpendicular to an axis remember that face's coordinate so that flat faces
// of the part come out exactly flat. Each crossed grid edge then becomes a
// quad of the four vertices around it, split along the diagonal that keeps
// both triangles facing the right way and nearer the original surface.
#include <atomic>
#include <cmath>

#include "mesh/remesh/CellVertexPlacement.h"
#include "mesh/remesh/internal/ContourLines.h"
#include "mesh/remesh/CubeConfigurationTable.h"

namespace ridgeforge::mesh {
namespace contour {

EdgeCrossing FindEdgeCrossing(const ContourGrid& grid, const ContourLines& lines, std::size_t line, std::int32_t cell,
                              bool lowerCornerInside) {
    // Dropped crossings sort after every cell, so one search over the whole
    // line finds the cell's kept ones.
    const Crossing* first = lines.Begin(line);
    const Crossing* end = lines.End(line);
    const Crossing* lo = first;
    const Crossing* hi = nullptr;
    if (end - first <= 8) {
        // Most lines cross the surface a few times; a scan beats a search there.
        while (lo != end && lo->slot < cell) ++lo;
        hi = lo;
        while (hi != end && hi->slot == cell) ++hi;
    } else {
        const auto bySlot = [](const Crossing& x, std::int32_t s) { return x.slot < s; };
        lo = std::lower_bound(first, end, cell, bySlot);
        hi = std::lower_bound(lo, end, cell + 1, bySlot);
    }
    if (lo != hi) {
        const Crossing& r = lowerCornerInside ? *lo : *(hi - 1);
        return {r.position, r.triangle, true};
    }
    const double sub = static_cast<double>(grid.subdivisions);
    const double cellStart = static_cast<double>(cell) * sub + 1.0;
    const double cellEnd = cellStart + sub;
    const double reach = 0.001 * sub;
    const Crossing* below = lo != first && (lo - 1)->position >= cellStart - reach ? lo - 1 : nullptr;
    const Crossing* above = hi != end && hi->slot != kDroppedSlot && hi->position <= cellEnd + reach ? hi : nullptr;
    if (below != nullptr && above != nullptr) {
        if (above->position - cellEnd < cellStart - below->position) below = nullptr;
    }
    if (below != nullptr) return {cellStart, below->triangle, true};
    if (above != nullptr) return {cellEnd, above->triangle, true};
    return {cellStart + sub / 2.0, kNoTriangle, false};
}

namespace {

// Edge pieces of a cell: the table's, or resolved again for a cell whose
// ambiguous faces were switched by the face agreement.
const std::uint8_t* CellComponents(const ActiveCell& cell, std::uint8_t scratch[12]) {
    if (cell.faceMask == 0) return GetCubeConfigurationTable().edgeComponents[cell.configuration];
    ResolveCubeConfiguration(cell.configuration, cell.faceMask, scratch);
    return scratch;
}

// An input triangle's unit normal (zero without area) and first corner.
struct TrianglePlane {
    Vec3d normal;
    Vec3f corner;
};

std::vector<TrianglePlane> TrianglePlanes(const TriangleMesh& mesh) {
    std::vector<TrianglePlane> planes(mesh.indices.size() / 3);
    ForEachChunk(planes.size(), 8192, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const Vec3f& corner = mesh.vertices[mesh.indices[3 * t]].position;
            const Vec3d a = ToDouble(corner);
            const Vec3d b = ToDouble(mesh.vertices[mesh.indices[3 * t + 1]].position);
            const Vec3d c = ToDouble(mesh.vertices[mesh.indices[3 * t + 2]].position);
            const Vec3d n = Cross(b - a, c - a);
            const double length = Length(n);
            planes[t] = {length > 0.0 ? n / length : Vec3d{}, corner};
        }
    });
    return planes;
}

// Unit normal of an input triangle in double precision; false without area.
bool TriangleNormal(const std::vector<TrianglePlane>& planes, std::uint32_t triangle, Vec3d& normal, Vec3d& corner) {
    if (triangle == kNoTriangle) return false;
    const TrianglePlane& plane = planes[triangle];
    if (plane.normal == Vec3d{}) return false;
    normal = plane.normal;
    corner = ToDouble(plane.corner);
    return true;
}

double LineWorld(const ContourGrid& grid, int axis, std::int64_t node) {
    return grid.origin[axis] + static_cast<double>(node * grid.subdivisions + 1) * grid.substep;
}

struct PieceInput {
    double points[12][3];
    double normals[12][3];
    std::uint8_t valid[12];
    int n = 0;
    double planes[3][4];
    int planeCount[3] = {0, 0, 0};
    bool touchesLow[3] = {false, false, false};
    bool touchesHigh[3] = {false, false, false};
};

// How far (in cells) a vertex may stand outside its cell on a side its piece
// does not touch. The fit of a sharp edge or corner that passes just outside
// the cell still lands there; a vertex much farther out can cross the faces
// of the neighbouring cells' vertices and fold the surface through itself.
constexpr double kCellGrowth = 0.25;

// The piece's vertex: the feature fit when it lies in the cell grown on the
// sides the piece does not touch, else the mass point, which always lies in
// the cell; either is then kept off the touched faces by the tolerance.
// A cell that the surface passes through more than once keeps every piece at
// its mass point: the sides one piece does not touch are where the other
// pieces run, so a fit that goes there lands behind another piece's surface.
// clampLow and clampHigh receive the box the later projection keeps it in.
void PlaceHeldVertex(const PieceInput& in, bool onlyPiece, double sharpness, double tolerance, double clampLow[3],
                     double clampHigh[3], double local[3], double mass[3]) {
    constexpr double kFree = 1e30;
    double boxLow[3], boxHigh[3], freeLow[3], freeHigh[3];
    for (int i = 0; i < 3; ++i) {
        boxLow[i] = in.touchesLow[i] ? 0.0 : -kCellGrowth;
        boxHigh[i] = in.touchesHigh[i] ? 1.0 : 1.0 + kCellGrowth;
        clampLow[i] = in.touchesLow[i] ? tolerance : -kCellGrowth;
        clampHigh[i] = in.touchesHigh[i] ? 1.0 - tolerance : 1.0 + kCellGrowth;
        freeLow[i] = -kFree;
        freeHigh[i] = kFree;
    }
    PlaceCellVertex(in.points, in.normals, in.valid, in.n, sharpness, freeLow, freeHigh, freeLow, freeHigh, local);
    bool held = onlyPiece;
    for (int i = 0; i < 3; ++i) held = held && local[i] >= boxLow[i] && local[i] <= boxHigh[i];
    for (int i = 0; i < 3; ++i) {
        mass[i] = 0.0;
        for (int k = 0; k < in.n; ++k) mass[i] += in.points[k][i];
        mass[i] /= in.n;
        if (!held) local[i] = mass[i];
        local[i] = local[i] > clampHigh[i] ? clampHigh[i] : (local[i] < clampLow[i] ? clampLow[i] : local[i]);
        mass[i] = mass[i] > clampHigh[i] ? clampHigh[i] : (mass[i] < clampLow[i] ? clampLow[i] : mass[i]);
    }
}

// Two of the piece's crossings whose surfaces face more than 120 degrees apart.
bool FacesOppositeWays(const PieceInput& in) {
    for (int j = 0; j < in.n; ++j) {
        for (int k = j + 1; k < in.n; ++k) {
            if (in.valid[j] == 0 || in.valid[k] == 0) continue;
            const double dot = in.normals[j][0] * in.normals[k][0] + in.normals[j][1] * in.normals[k][1] +
                               in.normals[j][2] * in.normals[k][2];
            if (dot < -0.5) return true;
        }
    }
    return false;
}

void PlaceCellVertices(const TriangleMesh& mesh, const std::vector<TrianglePlane>& planes, const ContourGrid& grid,
                       const ContourLines lines[3], const ContourCells& cells, std::size_t index, double sharpness,
                       ContourResult& result, std::vector<float>& massPositions, std::uint64_t& missing) {
    const ActiveCell& cell = cells.cells[index];
    const std::int32_t at[3] = {cell.x, cell.y, cell.z};
    std::uint8_t scratch[12];
    const std::uint8_t* components = CellComponents(cell, scratch);
    const std::uint32_t pieceCount = cells.vertexOffsets[index + 1] - cells.vertexOffsets[index];
    const double sub = static_cast<double>(grid.subdivisions);
    for (std::uint32_t piece = 0; piece < pieceCount; ++piece) {
        PieceInput in;
        for (int e = 0; e < 12; ++e) {
            if (components[e] != piece) continue;
            const int d = e >> 2, b = (d + 1) % 3, c = (d + 2) % 3;
            const int ob = e & 1, oc = (e >> 1) & 1;
            const std::size_t line = lines[d].Line(at[b] + ob, at[c] + oc);
            const bool lowerInside = ((cell.configuration >> CubeEdgeCorner(e, 0)) & 1) != 0;
            const EdgeCrossing found = FindEdgeCrossing(grid, lines[d], line, at[d], lowerInside);
            if (found.triangle == kNoTriangle) ++missing;
            double position = found.position;
            Vec3d normal;
            Vec3d corner;
            const bool valid = TriangleNormal(planes, found.triangle, normal, corner);
            if (valid && std::fabs(normal[d]) > 1e-6) {
                // The lattice crossing is off by the vertex snapping; the float
                // triangle's own plane is exact where it is close.
                const double wb = LineWorld(grid, b, at[b] + ob);
                const double wc = LineWorld(grid, c, at[c] + oc);
                const double world =
                    corner[d] - (normal[b] * (wb - corner[b]) + normal[c] * (wc - corner[c])) / normal[d];
                const double exact = (world - grid.origin[d]) / grid.substep;
                if (std::fabs(exact - position) <= 0.001 * sub) position = exact;
                if (normal[b] == 0.0 && normal[c] == 0.0 && in.planeCount[d] < 4) {
                    in.planes[d][in.planeCount[d]++] = corner[d];
                }
            }
            const double cellStart = static_cast<double>(at[d]) * sub + 1.0;
            double* p = in.points[in.n];
            p[d] = std::clamp((position - cellStart) / sub, 0.0, 1.0);
            p[b] = ob;
            p[c] = oc;
            for (int i = 0; i < 3; ++i) in.normals[in.n][i] = valid ? normal[i] : 0.0;
            in.valid[in.n] = valid ? 1 : 0;
            ++in.n;
            (ob == 0 ? in.touchesLow : in.touchesHigh)[b] = true;
            (oc == 0 ? in.touchesLow : in.touchesHigh)[c] = true;
        }
        double clampLow[3], clampHigh[3];
        double local[3], mass[3];
        PlaceHeldVertex(in, pieceCount == 1, sharpness, grid.tolerance, clampLow, clampHigh, local, mass);

        const std::size_t v = cells.vertexOffsets[index] + piece;
        Vec3d normalSum;
        for (int k = 0; k < in.n; ++k) {
            if (in.valid[k] != 0) normalSum += Vec3d{in.normals[k][0], in.normals[k][1], in.normals[k][2]};
        }
        const double normalLength = Length(normalSum);
        // A piece whose crossings face opposite ways spans both sides of a
        // wall thinner than the cell: moved onto either side it would pass
        // through the vertices of that side, so it stays at its mass point,
        // between them, where the projection leaves it.
        const bool acrossWall = FacesOppositeWays(in);
        if (acrossWall) std::copy_n(mass, 3, local);
        for (int i = 0; i < 3; ++i) {
            const auto toWorld = [&](double l) {
                return grid.origin[i] + (static_cast<double>(at[i]) * sub + 1.0 + l * sub) * grid.substep;
            };
            const double meshLow = mesh.boundsMin[i];
            const double meshHigh = mesh.boundsMax[i];
            const auto finish = [&](double l) {
                double world = toWorld(l);
                for (int k = 0; k < in.planeCount[i]; ++k) {
                    if (std::fabs(world - in.planes[i][k]) <= 1e-6 * grid.cellSize) world = in.planes[i][k];
                }
                return static_cast<float>(std::clamp(world, meshLow, std::max(meshLow, meshHigh)));
            };
            result.positions[3 * v + i] = finish(local[i]);
            massPositions[3 * v + i] = finish(mass[i]);
            result.allowedBoxes[6 * v + i] = static_cast<float>(std::max(meshLow, toWorld(clampLow[i])));
            result.allowedBoxes[6 * v + 3 + i] = static_cast<float>(std::min(meshHigh, toWorld(clampHigh[i])));
            if (acrossWall)
                result.allowedBoxes[6 * v + i] = result.allowedBoxes[6 * v + 3 + i] = result.positions[3 * v + i];
            result.normals[3 * v + i] = normalLength > 1e-9 ? static_cast<float>(normalSum[i] / normalLength) : 0.0f;
        }
    }
}

// An inside corner on the grid's outer faces means the part reaches the edge
// of the grid (bounds that do not fit the mesh): the surface cannot be closed
// there, since the cells beyond do not exist.
bool TouchesGridSide(const ContourGrid& grid, const ActiveCell& cell) {
    const std::int32_t at[3] = {cell.x, cell.y, cell.z};
    for (int a = 0; a < 3; ++a) {
        for (int s = 0; s < 2; ++s) {
            if (at[a] != (s == 0 ? 0 : grid.dims[a] - 1)) continue;
            unsigned cornersOnFace = 0;
            for (int i = 0; i < 8; ++i) {
                if (((i >> a) & 1) == s) cornersOnFace |= 1u << i;
            }
            if ((cell.configuration & cornersOnFace) != 0) return true;
        }
    }
    return false;
}

// Both triangles of the split keep a positive area seen along the grid edge:
// the quad does not fold over.
bool SplitIsSound(const double corners[4][3], int axis, double orientation, bool split13) {
    const int b = (axis + 1) % 3, c = (axis + 2) % 3;
    const auto area = [&](int i, int j, int k) {
        return ((corners[j][b] - corners[i][b]) * (corners[k][c] - corners[i][c]) -
                (corners[j][c] - corners[i][c]) * (corners[k][b] - corners[i][b])) *
               orientation;
    };
    return split13 ? area(0, 1, 3) > 0.0 && area(1, 2, 3) > 0.0 : area(0, 1, 2) > 0.0 && area(0, 2, 3) > 0.0;
}

// A triangle of the split that faces against the surface normals of its
// corners' crossings: the quad is turned over in space, whatever it looks
// like seen along the grid edge.
bool FacesAgainstSurface(const ContourResult& result, const std::uint32_t quad[4], bool split13) {
    static constexpr int kSplits[2][2][3] = {{{0, 1, 2}, {0, 2, 3}}, {{0, 1, 3}, {1, 2, 3}}};
    const auto at = [&](std::uint32_t v, const auto& from) {
        return Vec3d{from[3 * std::size_t{v}], from[3 * std::size_t{v} + 1], from[3 * std::size_t{v} + 2]};
    };
    for (const auto& tri : kSplits[split13 ? 1 : 0]) {
        const std::uint32_t a = quad[tri[0]], b = quad[tri[1]], c = quad[tri[2]];
        const Vec3d pa = at(a, result.positions);
        const Vec3d n = Cross(at(b, result.positions) - pa, at(c, result.positions) - pa);
        const Vec3d surface = at(a, result.normals) + at(b, result.normals) + at(c, result.normals);
        if (Dot(n, surface) <= 0.0 && surface != Vec3d{}) return true;
    }
    return false;
}

void WriteCellTriangles(const ContourGrid& grid, const ContourLines lines[3], const ContourCells& cells,
                        std::size_t index, ContourResult& result, std::atomic<bool>& open,
                        std::vector<std::uint8_t>& folded, std::atomic<bool>& anyFolded) {
    const ActiveCell& cell = cells.cells[index];
    if (TouchesGridSide(grid, cell)) open.exchange(true);
    const unsigned config = cell.configuration;
    const bool inside0 = (config & 1) != 0;
    std::uint32_t slot = cells.edgeOffsets[index];
    for (int d = 0; d < 3; ++d) {
        if (inside0 == (((config >> (1 << d)) & 1) != 0)) continue;
        const int b = (d + 1) % 3, c = (d + 2) % 3;
        std::uint32_t* out = result.indices.data() + 6 * std::size_t{slot++};
        static constexpr int kAround[4][2] = {{0, 0}, {-1, 0}, {-1, -1}, {0, -1}};
        std::uint32_t quad[4];
        bool complete = true;
        for (int q = 0; q < 4 && complete; ++q) {
            std::int32_t at[3] = {cell.x, cell.y, cell.z};
            at[b] += kAround[q][0];
            at[c] += kAround[q][1];
            // The cell itself needs no search, nor does the one just below it
            // in its column (cells run by z within a column).
            std::int64_t j = -1;
            if (q == 0) {
                j = static_cast<std::int64_t>(index);
            } else if (at[0] == cell.x && at[1] == cell.y) {
                if (index > 0 && cells.cells[index - 1].x == cell.x && cells.cells[index - 1].y == cell.y &&
                    cells.cells[index - 1].z == at[2]) {
                    j = static_cast<std::int64_t>(index) - 1;
                }
            } else {
                j = cells.FindCell(at[0], at[1], at[2]);
            }
            if (j < 0) {
                complete = false;
                break;
            }
            std::uint8_t scratch[12];
            const std::uint8_t* components = CellComponents(cells.cells[static_cast<std::size_t>(j)], scratch);
            const int edge = 4 * d + (kAround[q][0] == -1 ? 1 : 0) + (kAround[q][1] == -1 ? 2 : 0);
            if (components[edge] == kNoCubePiece) {
                complete = false;
                break;
            }
            quad[q] = cells.vertexOffsets[static_cast<std::size_t>(j)] + components[edge];
        }
        if (!complete) {
            std::fill(out, out + 6, 0u);
            open.exchange(true);
            continue;
        }
        const double orientation = OrientQuad(quad, inside0);
        double corners[4][3];
        for (int q = 0; q < 4; ++q) {
            for (int i = 0; i < 3; ++i) corners[q][i] = result.positions[3 * std::size_t{quad[q]} + i];
        }
        const std::int32_t at[3] = {cell.x, cell.y, cell.z};
        const EdgeCrossing crossing = FindEdgeCrossing(grid, lines[d], lines[d].Line(at[b], at[c]), at[d], inside0);
        const bool refine = crossing.triangle != kNoTriangle;
        const double along = grid.origin[d] + crossing.position * grid.substep;
        const bool split13 = ChooseQuadDiagonal(corners, d, orientation, refine, LineWorld(grid, b, at[b]),
                                                LineWorld(grid, c, at[c]), along, grid.cellSize);
        if (!SplitIsSound(corners, d, orientation, split13) || FacesAgainstSurface(result, quad, split13)) {
            for (const std::uint32_t q : quad)
                std::atomic_ref<std::uint8_t>(folded[q]).store(1, std::memory_order_relaxed);
            anyFolded.store(true, std::memory_order_relaxed);
        }
        WriteQuadTriangles(quad, split13, out);
    }
}

}  // namespace

void PlaceVertices(const TriangleMesh& mesh, const ContourGrid& grid, const ContourLines lines[3],
                   const ContourCells& cells, double sharpness, ContourResult& result,
                   std::vector<float>& massPositions, CancelContext* cancel) {
    const std::size_t vertices = cells.vertexOffsets.back();
    // Every vertex of every cell's pieces is written below.
    result.positions.resize(3 * vertices);
    massPositions.resize(3 * vertices);
    result.allowedBoxes.resize(6 * vertices);
    result.normals.resize(3 * vertices);
    const std::vector<TrianglePlane> planes = TrianglePlanes(mesh);
    std::atomic<std::uint64_t> missing{0};
    ForEachChunk(cells.cells.size(), 4096, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        std::uint64_t chunkMissing = 0;
        for (std::size_t i = begin; i < end; ++i) {
            if (poll.Add(16)) break;
            PlaceCellVertices(mesh, planes, grid, lines, cells, i, sharpness, result, massPositions, chunkMissing);
        }
        missing.fetch_add(chunkMissing);
    });
    result.missingCrossings += missing.load();
}

bool WriteTriangles(const TriangleMesh&, const ContourGrid& grid, const ContourLines lines[3],
                    const ContourCells& cells, ContourResult& result, std::vector<std::uint8_t>& folded,
                    CancelContext* cancel) {
    result.indices.assign(6 * std::size_t{cells.edgeOffsets.back()}, 0u);
    folded.assign(result.positions.size() / 3, 0);
    std::atomic<bool> open{false}, anyFolded{false};
    ForEachChunk(cells.cells.size(), 4096, [&](std::size_t begin, std::size_t end) {
        WorkPoll poll(cancel);
        for (std::size_t i = begin; i < end && !poll.Add(4); ++i)
            WriteCellTriangles(grid, lines, cells, i, result, open, folded, anyFolded);
    });
    result.open = open.load();
    return anyFolded.load();
}

bool RewriteFoldedQuads(const ContourGrid& grid, const ContourLines lines[3], const ContourCells& cells,
                        ContourResult& result, std::vector<std::uint8_t>& folded) {
    // A vertex's quads are owned by its cell and the cells one step up
    // along any of the axes; only those are written again.
    std::vector<std::uint32_t> redo;
    for (std::size_t v = 0; v < folded.size(); ++v) {
        if (!folded[v]) continue;
        folded[v] = 0;
        const auto owner = std::upper_bound(cells.vertexOffsets.begin(), cells.vertexOffsets.end(), v) -
                           cells.vertexOffsets.begin() - 1;
        const ActiveCell& cell = cells.cells[static_cast<std::size_t>(owner)];
        for (int step = 0; step < 8; ++step) {
            const std::int64_t j =
                cells.FindCell(cell.x + (step & 1), cell.y + ((step >> 1) & 1), cell.z + (step >> 2));
            if (j >= 0) redo.push_back(static_cast<std::uint32_t>(j));
        }
    }
    std::sort(redo.begin(), redo.end());
    redo.erase(std::unique(redo.begin(), redo.end()), redo.end());
    std::atomic<bool> open{false}, anyFolded{false};
    ForEachChunk(redo.size(), 4096, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            WriteCellTriangles(grid, lines, cells, redo[i], result, open, folded, anyFolded);
    });
    result.open = result.open || open.load();
    return anyFolded.load();
}

}  // namespace contour

std::string ContourCountRefusal(std::uint64_t inputTriangles, std::uint64_t crossingsOnOneAxis,
                                std::uint64_t activeCells, std::uint64_t vertices, std::uint64_t ownedEdges) {
    if (inputTriangles >= contour::kNoTriangle) {
        return "the part has too many triangles to contour (2,147,483,647 or more)";
    }
    if (crossingsOnOneAxis >= 0xFFFFFFFFull) {
        return "the part meets too many grid lines at this cell size (4,294,967,295 crossings or more on one axis); "
               "choose a larger cell";
    }
    if (activeCells >= 0xFFFFFFFFull) {
        return "the surface passes through too many grid cells at this cell size; choose a larger cell";
    }
    // Six indices per owned edge; overflow of the multiplication is ruled out first.
    if (vertices > kMaxMeshElements || ownedEdges > kMaxMeshElements / 6) {
        return "the new surface would need more than 4,294,967,295 vertices or indices at this cell size; choose a "
               "larger cell";
    }
    return {};
}

bool ContourSurface(const TriangleMesh& mesh, const ContourGrid& grid, double sharpness, const ContourStageStep& stage,
                    ContourResult& result, CancelContext* cancel) {
    result = ContourResult{};
    const auto ask = [&stage, cancel](const char* name) { return !StopSeen(cancel) && (!stage || stage(name)); };
    result.refusal = ContourCountRefusal(mesh.indices.size() / 3, 0, 0, 0, 0);
    if (!result.refusal.empty()) return false;
    if (!ask("Reading the surface")) return false;
    contour::ContourLines lines[3];
    if (!contour::ReadSurface(mesh, grid, lines, result, cancel)) return false;
    if (!ask("Contouring")) return false;
    contour::ContourCells cells;
    if (!contour::FindActiveCells(grid, lines[2], cells, result, cancel)) return false;
    std::vector<float> massPositions;
    contour::PlaceVertices(mesh, grid, lines, cells, sharpness, result, massPositions, cancel);
    if (!ask("Triangulating")) return false;
    // A quad whose feature-placed corners fold it over is the start of a
    // surface that crosses itself: its corners go back to their mass points
    // (where the surface comes out as with sharpness 0) and the quads are
    // written again, a few times, since a corner moved can fold a neighbour.
    std::vector<std::uint8_t> folded;
    bool anyFolded = contour::WriteTriangles(mesh, grid, lines, cells, result, folded, cancel);
    if (StopSeen(cancel)) return false;
    for (int round = 0; anyFolded && round < 4; ++round) {
        for (std::size_t v = 0; v < folded.size(); ++v) {
            if (folded[v]) std::copy_n(&massPositions[3 * v], 3, &result.positions[3 * v]);
        }
        anyFolded = contour::RewriteFoldedQuads(grid, lines, cells, result, folded);
    }
    return true;
}

}  // namespace ridgeforge::mesh
