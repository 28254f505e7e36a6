// Dual contouring of the sparse field: sign-change cells from the stored
// bricks, agreement on ambiguous faces, one vertex per surface piece placed
// by the shared quadric fit, and one quad per crossed voxel edge.
//
// So that the surface never crosses itself, as in the contour remesher: a
// vertex stays inside its own cell (the fit when it lands there, else the
// mass point of the piece's crossings), pieces of a cell the surface passes
// more than once keep their mass point, and a quad that folds over puts its
// corners back to their mass points.
#include "relief/displacement/ContourDistanceGrid.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <execution>

#include "mesh/CancellableLoop.h"
#include "mesh/remesh/CellVertexPlacement.h"
#include "mesh/remesh/CubeConfigurationTable.h"

namespace ridgeforge::mesh {
namespace {

struct SolidCell {
    std::uint64_t index = 0;
    std::uint8_t configuration = 0;
    std::uint8_t split = 0;
};

// The largest sharpness the placement distinguishes: its cut-off reaches its
// floor there, so no direction of the fit is dropped.
constexpr double kSharpest = 100.0;

// Rounds of putting folded quads' corners back to their mass points: a corner
// moved can fold a neighbouring quad, rarely more than once or twice.
constexpr int kFoldRounds = 4;

// Two triangles on one edge whose normals are further apart than about 155
// degrees have folded onto each other.
constexpr float kFoldedCosine = -0.9f;

class Contourer {
public:
    Contourer(const SparseDistanceGrid& grid, float cutPlaneZ, double regularisation, bool sharpRelief)
        : grid_(grid),
          cut_(cutPlaneZ),
          sharpRelief_(sharpRelief),
          ordinarySharpness_(regularisation > 1.0 / kSharpest ? 1.0 / regularisation : kSharpest),
          cx_(grid.nx - 1),
          cy_(grid.ny - 1),
          cz_(grid.nz - 1) {
        double largest = 0.0;
        for (int a = 0; a < 3; ++a) {
            const std::int64_t n[3] = {grid.nx, grid.ny, grid.nz};
            largest = std::max({largest, std::fabs(grid.origin[a]),
                                std::fabs(grid.origin[a] + static_cast<double>(n[a] - 1) * grid.cellSize)});
        }
        const double m = std::max(1e-6, 1e-6 * largest);
        margin_ = std::clamp(4.0 * m / grid.cellSize, 0.0009765625, 0.0625);
    }

    bool Empty() const { return cx_ <= 0 || cy_ <= 0 || cz_ <= 0; }

    // Step 2: cells whose low corner lies in a stored brick and whose corners differ.
    void FindCells() {
        std::vector<std::int64_t> slots;
        for (std::size_t s = 0; s < grid_.brickTable.size(); ++s) {
            if (grid_.brickTable[s] >= 0) slots.push_back(static_cast<std::int64_t>(s));
        }
        constexpr std::uint64_t kChunk = 8;
        std::vector<std::vector<SolidCell>> found((slots.size() + kChunk - 1) / kChunk);
        ParallelForChunks<kChunk>(slots.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t chunk) {
            for (std::uint64_t b = begin; b < end; ++b) CellsOfBrick(slots[b], found[chunk]);
        });
        std::size_t total = 0;
        for (const auto& list : found) total += list.size();
        cells_.reserve(total);
        for (auto& list : found) {
            cells_.insert(cells_.end(), list.begin(), list.end());
            std::vector<SolidCell>().swap(list);
        }
        std::sort(std::execution::par, cells_.begin(), cells_.end(),
                  [](const SolidCell& a, const SolidCell& b) { return a.index < b.index; });
        // Every contoured cell's low corner is a stored voxel, so a table
        // beside the stored values finds a cell without a search.
        cellAt_.assign(grid_.values.size(), -1);
        ParallelForChunks<16384>(cells_.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
            for (std::uint64_t c = begin; c < end; ++c) {
                std::int64_t at[3];
                Decode(cells_[c].index, at);
                cellAt_[static_cast<std::size_t>(grid_.VoxelIndex(at[0], at[1], at[2]))] = static_cast<std::int32_t>(c);
            }
        });
    }

    // Step 3: an ambiguous face that the table's resolution joined into one
    // piece in both cells that share it would become a tube pinched to a
    // single edge, four quads on one vertex pair; both cells resolve that
    // face the other way instead. Every other shared ambiguous face already
    // resolves alike in both cells, since the table decides it from the
    // face's own corners.
    std::uint64_t SplitFaces() {
        const auto& table = GetCubeConfigurationTable();
        std::atomic<std::uint64_t> split{0};
        ParallelForChunks<8192>(cells_.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
            std::uint64_t chunkSplit = 0;
            for (std::uint64_t c = begin; c < end; ++c) {
                SolidCell& cell = cells_[c];
                const std::uint8_t joined = table.joinedFaces[cell.configuration];
                if (joined == 0) continue;
                std::int64_t at[3];
                Decode(cell.index, at);
                for (int f = 0; f < 6; ++f) {
                    if (((joined >> f) & 1) == 0) continue;
                    std::int64_t next[3] = {at[0], at[1], at[2]};
                    next[f >> 1] += (f & 1) != 0 ? 1 : -1;
                    const std::int64_t j = Find(next);
                    if (j < 0) continue;
                    if ((table.joinedFaces[cells_[std::size_t(j)].configuration] >> (f ^ 1)) & 1) {
                        cell.split = static_cast<std::uint8_t>(cell.split | (1 << f));
                    }
                }
                if (cell.split != 0) ++chunkSplit;
            }
            split.fetch_add(chunkSplit);
        });
        return split.load();
    }

    // Step 4: vertex and quad slots; false when the result is over the limit.
    bool CountSlots(SolidContourStats& stats) {
        vertexOffsets_.assign(cells_.size() + 1, 0);
        quadOffsets_.assign(cells_.size() + 1, 0);
        const auto& table = GetCubeConfigurationTable();
        std::uint64_t vertices = 0;
        std::uint64_t quads = 0;
        for (std::size_t c = 0; c < cells_.size(); ++c) {
            const SolidCell& cell = cells_[c];
            std::uint8_t scratch[12];
            const std::uint64_t pieces =
                cell.split == 0
                    ? table.componentCounts[cell.configuration]
                    : static_cast<std::uint64_t>(ResolveCubeConfiguration(cell.configuration, cell.split, scratch));
            vertices += pieces;
            for (int a = 0; a < 3; ++a) quads += EdgeCrossed(cell.configuration, a) ? 1 : 0;
            vertexOffsets_[c + 1] = vertices;
            quadOffsets_[c + 1] = quads;
        }
        stats.triangleEstimate = 2 * quads;
        // The mesh numbers its vertices and index entries in 32 bits.
        if (stats.triangleEstimate > stats.triangleLimit || !FitsMeshIndices(vertices, 6 * quads)) {
            stats.overLimit = true;
            return false;
        }
        return true;
    }

    void PlaceVertices(std::vector<Vertex>& out) {
        out.resize(vertexOffsets_.back());
        mass_.resize(out.size());
        normals_.resize(out.size());
        ParallelForChunks<4096>(cells_.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
            for (std::uint64_t c = begin; c < end; ++c) PlaceCell(c, out);
        });
    }

    // The quads, then, a few rounds, the corners of every quad that folds put
    // back to their pieces' mass points and the quads around them written
    // again. Returns the holes flag.
    bool WriteQuads(TriangleMesh& mesh) const {
        std::vector<Vertex>& vertices = mesh.vertices;
        std::vector<std::uint32_t>& indices = mesh.indices;
        indices.assign(6 * quadOffsets_.back(), 0u);
        std::vector<std::uint8_t> folded(vertices.size(), 0);
        std::atomic<bool> holes{false};
        std::atomic<bool> anyFolded{false};
        const auto write = [&](std::uint64_t count, const auto& cellAt) {
            anyFolded.store(false);
            ParallelForChunks<4096>(count, [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
                for (std::uint64_t c = begin; c < end; ++c)
                    QuadsOfCell(cellAt(c), vertices, indices, holes, folded, anyFolded);
            });
        };
        write(cells_.size(), [](std::uint64_t c) { return c; });
        // Two quads can also fold against each other across an edge they
        // share, each sound on its own; once the quads settle, such edges
        // send their triangles' corners back too.
        for (int round = 0; round < kFoldRounds; ++round) {
            if (!anyFolded.load() && (holes.load() || !MarkFoldedEdges(mesh, folded))) break;
            const std::vector<std::uint64_t> redo = CellsAroundFolds(vertices, folded);
            write(redo.size(), [&redo](std::uint64_t c) { return redo[c]; });
        }
        return holes.load();
    }

    std::size_t CellCount() const { return cells_.size(); }

private:
    static bool Inside(std::uint8_t configuration, int corner) { return ((configuration >> corner) & 1) != 0; }
    static bool EdgeCrossed(std::uint8_t configuration, int axis) {
        return Inside(configuration, 0) != Inside(configuration, 1 << axis);
    }

    void Decode(std::uint64_t index, std::int64_t at[3]) const {
        const std::int64_t i = static_cast<std::int64_t>(index);
        at[0] = i % cx_;
        at[1] = i / cx_ % cy_;
        at[2] = i / (cx_ * cy_);
    }

    std::int64_t Find(const std::int64_t at[3]) const {
        if (at[0] < 0 || at[1] < 0 || at[2] < 0 || at[0] >= cx_ || at[1] >= cy_ || at[2] >= cz_) return -1;
        const std::int64_t v = grid_.VoxelIndex(at[0], at[1], at[2]);
        return v < 0 ? -1 : cellAt_[static_cast<std::size_t>(v)];
    }

    const std::uint8_t* Components(const SolidCell& cell, std::uint8_t scratch[12]) const {
        if (cell.split == 0) return GetCubeConfigurationTable().edgeComponents[cell.configuration];
        ResolveCubeConfiguration(cell.configuration, cell.split, scratch);
        return scratch;
    }

    // Each voxel's sign is read once, not once per cell it is a corner of.
    void CellsOfBrick(std::int64_t slot, std::vector<SolidCell>& out) const {
        const std::int64_t low[3] = {slot % grid_.bx * 8, slot / grid_.bx % grid_.by * 8,
                                     slot / (grid_.bx * grid_.by) * 8};
        const std::int64_t cells[3] = {std::min<std::int64_t>(8, cx_ - low[0]), std::min<std::int64_t>(8, cy_ - low[1]),
                                       std::min<std::int64_t>(8, cz_ - low[2])};
        if (cells[0] <= 0 || cells[1] <= 0 || cells[2] <= 0) return;
        bool inside[9][9][9];
        for (std::int64_t k = 0; k <= cells[2]; ++k) {
            for (std::int64_t j = 0; j <= cells[1]; ++j) {
                for (std::int64_t i = 0; i <= cells[0]; ++i)
                    inside[k][j][i] = grid_.Sample(low[0] + i, low[1] + j, low[2] + k) < 0.0f;
            }
        }
        for (std::int64_t k = 0; k < cells[2]; ++k) {
            for (std::int64_t j = 0; j < cells[1]; ++j) {
                for (std::int64_t i = 0; i < cells[0]; ++i) {
                    std::uint8_t configuration = 0;
                    for (int c = 0; c < 8; ++c) {
                        if (inside[k + ((c >> 2) & 1)][j + ((c >> 1) & 1)][i + (c & 1)])
                            configuration = static_cast<std::uint8_t>(configuration | (1 << c));
                    }
                    if (configuration == 0 || configuration == 255) continue;
                    const std::int64_t index = ((low[2] + k) * cy_ + low[1] + j) * cx_ + low[0] + i;
                    out.push_back({static_cast<std::uint64_t>(index), configuration, 0});
                }
            }
        }
    }

    // An inside corner on the lattice's outer faces: the solid reaches the end
    // of the field (a part that is not closed), and the surface cannot close
    // there since no cells lie beyond.
    bool TouchesGridSide(const std::int64_t at[3], std::uint8_t configuration) const {
        const std::int64_t last[3] = {cx_ - 1, cy_ - 1, cz_ - 1};
        for (int a = 0; a < 3; ++a) {
            for (int side = 0; side < 2; ++side) {
                if (at[a] != (side == 0 ? 0 : last[a])) continue;
                for (int corner = 0; corner < 8; ++corner) {
                    if (((corner >> a) & 1) == side && Inside(configuration, corner)) return true;
                }
            }
        }
        return false;
    }

    bool ReliefVoxel(std::int64_t i, std::int64_t j, std::int64_t k) const {
        const std::int64_t v = grid_.VoxelIndex(i, j, k);
        return v >= 0 && grid_.reliefFlags[static_cast<std::size_t>(v)] != 0;
    }

    void PlaceCell(std::size_t c, std::vector<Vertex>& out) {
        const SolidCell& cell = cells_[c];
        std::int64_t at[3];
        Decode(cell.index, at);
        float value[8];
        for (int k = 0; k < 8; ++k)
            value[k] = grid_.Sample(at[0] + (k & 1), at[1] + ((k >> 1) & 1), at[2] + ((k >> 2) & 1));
        double gradient[8][3];
        std::uint8_t haveGradient = 0;
        const auto cornerGradient = [&](int k) -> const double* {
            if (((haveGradient >> k) & 1) == 0) {
                grid_.Gradient(at[0] + (k & 1), at[1] + ((k >> 1) & 1), at[2] + ((k >> 2) & 1), gradient[k]);
                haveGradient = static_cast<std::uint8_t>(haveGradient | (1 << k));
            }
            return gradient[k];
        };
        std::uint8_t scratch[12];
        const std::uint8_t* components = Components(cell, scratch);
        const std::uint64_t pieces = vertexOffsets_[c + 1] - vertexOffsets_[c];
        for (std::uint64_t piece = 0; piece < pieces; ++piece) {
            double points[12][3];
            double normals[12][3];
            std::uint8_t valid[12];
            int n = 0;
            bool relief = false;
            for (int e = 0; e < 12; ++e) {
                if (components[e] != piece) continue;
                const int axis = e >> 2;
                const int c0 = CubeEdgeCorner(e, 0);
                const int c1 = CubeEdgeCorner(e, 1);
                const double a = value[c0];
                const double b = value[c1];
                const double t = a == b ? 0.5 : std::clamp(a / (a - b), 0.0, 1.0);
                for (int d = 0; d < 3; ++d) points[n][d] = (c0 >> d) & 1;
                points[n][axis] = t;
                const double* g0 = cornerGradient(c0);
                const double* g1 = cornerGradient(c1);
                double g[3];
                for (int d = 0; d < 3; ++d) g[d] = (1.0 - t) * g0[d] + t * g1[d];
                const double length = std::sqrt(g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
                valid[n] = length > 0.1 ? 1 : 0;
                for (int d = 0; d < 3; ++d) normals[n][d] = valid[n] != 0 ? g[d] / length : 0.0;
                for (const int corner : {c0, c1}) {
                    relief = relief || ReliefVoxel(at[0] + (corner & 1), at[1] + ((corner >> 1) & 1),
                                                   at[2] + ((corner >> 2) & 1));
                }
                ++n;
            }
            // Every vertex stays inside its own cell, off its faces: a fit
            // that reaches into a neighbouring cell, even on a side its piece
            // does not touch, passes the vertices there and folds the surface
            // through itself (a sheet thinner than a cell, a crease of the
            // relief). In a cell the surface passes more than once the sides
            // one piece does not touch are where the others run, so a fit
            // lands behind another piece's surface: those keep their mass point.
            double mass[3] = {0.0, 0.0, 0.0};
            for (int d = 0; d < 3; ++d) {
                for (int k = 0; k < n; ++k) mass[d] += points[k][d];
                mass[d] = std::clamp(mass[d] / n, margin_, 1.0 - margin_);
            }
            double local[3] = {mass[0], mass[1], mass[2]};
            if (pieces == 1) PlaceFit(points, normals, valid, n, relief, local);
            const std::uint64_t v = vertexOffsets_[c] + piece;
            out[v].position = World(at, local);
            mass_[v] = World(at, mass);
            Vec3d normal;
            for (int k = 0; k < n; ++k) normal += Vec3d{normals[k][0], normals[k][1], normals[k][2]};
            const double length = Length(normal);
            normals_[v] = length > 1e-9 ? ToFloat(normal / length) : Vec3f{};
        }
    }

    // The quadric fit when it lies in the cell, kept off the cell's faces;
    // otherwise `local` keeps the mass point. A fit pressed against a face
    // would meet the vertex pressed against it from the other side in
    // slivers that cross.
    void PlaceFit(const double (*points)[3], const double (*normals)[3], const std::uint8_t* valid, int n, bool relief,
                  double local[3]) const {
        constexpr double kFree = 1e30;
        const double freeLow[3] = {-kFree, -kFree, -kFree};
        const double freeHigh[3] = {kFree, kFree, kFree};
        const double sharpness = relief && sharpRelief_ ? kSharpest : ordinarySharpness_;
        double fit[3];
        PlaceCellVertex(points, normals, valid, n, sharpness, freeLow, freeHigh, freeLow, freeHigh, fit);
        for (int d = 0; d < 3; ++d) {
            if (!(fit[d] >= -1e-9 && fit[d] <= 1.0 + 1e-9)) return;
        }
        for (int d = 0; d < 3; ++d) local[d] = std::clamp(fit[d], margin_, 1.0 - margin_);
    }

    // A cell-local point in the world, nothing of it below the cut plane, and
    // a point of the cell that holds the plane that lies just above it on the
    // plane, so a flat bottom at the cut comes out flat.
    Vec3f World(const std::int64_t at[3], const double local[3]) const {
        Vec3d world;
        for (int d = 0; d < 3; ++d)
            world[d] = grid_.origin[d] + (static_cast<double>(at[d]) + local[d]) * grid_.cellSize;
        const double cellLow = grid_.origin[2] + static_cast<double>(at[2]) * grid_.cellSize;
        const double cut = cut_;
        if (world.z < cut) world.z = cut;
        if (cellLow < cut && cut < cellLow + grid_.cellSize && world.z < cut + 0.5 * grid_.cellSize) world.z = cut;
        return ToFloat(world);
    }

    // Marks the corners, not yet at their mass points, of every two triangles
    // that share an edge and face almost opposite ways; true when any.
    bool MarkFoldedEdges(const TriangleMesh& mesh, std::vector<std::uint8_t>& folded) const {
        const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(mesh);
        std::atomic<bool> any{false};
        ParallelForChunks<16384>(edges.size(), [&](std::uint64_t begin, std::uint64_t end, std::uint64_t) {
            bool chunkAny = false;
            for (std::uint64_t e = std::max<std::uint64_t>(begin, 1); e < end; ++e) {
                if (edges[e].first != edges[e - 1].first) continue;
                const std::uint32_t t[2] = {edges[e - 1].second, edges[e].second};
                if (Dot(mesh.FaceNormal(t[0]), mesh.FaceNormal(t[1])) >= kFoldedCosine) continue;
                for (const std::uint32_t triangle : t) {
                    for (int k = 0; k < 3; ++k) {
                        const std::uint32_t v = mesh.indices[3 * std::size_t{triangle} + k];
                        if (mesh.vertices[v].position == mass_[v]) continue;
                        std::atomic_ref<std::uint8_t>(folded[v]).store(1, std::memory_order_relaxed);
                        chunkAny = true;
                    }
                }
            }
            if (chunkAny) any.store(true, std::memory_order_relaxed);
        });
        return any.load();
    }

    // The folded vertices go to their mass points; the cells whose quads use
    // them are the vertex's own and those one step up along any axis.
    std::vector<std::uint64_t> CellsAroundFolds(std::vector<Vertex>& vertices,
                                                std::vector<std::uint8_t>& folded) const {
        std::vector<std::uint64_t> redo;
        for (std::size_t v = 0; v < folded.size(); ++v) {
            if (folded[v] == 0) continue;
            folded[v] = 0;
            vertices[v].position = mass_[v];
            const auto owner =
                std::upper_bound(vertexOffsets_.begin(), vertexOffsets_.end(), v) - vertexOffsets_.begin() - 1;
            std::int64_t at[3];
            Decode(cells_[static_cast<std::size_t>(owner)].index, at);
            for (int step = 0; step < 8; ++step) {
                const std::int64_t next[3] = {at[0] + (step & 1), at[1] + ((step >> 1) & 1), at[2] + (step >> 2)};
                const std::int64_t j = Find(next);
                if (j >= 0) redo.push_back(static_cast<std::uint64_t>(j));
            }
        }
        std::sort(redo.begin(), redo.end());
        redo.erase(std::unique(redo.begin(), redo.end()), redo.end());
        return redo;
    }

    // A split that folds over seen along the grid edge, or a triangle of it
    // that faces against the field's normals at its corners: the quad is
    // turned over in space and would cross its neighbours.
    bool Folds(const std::vector<Vertex>& vertices, const std::uint32_t quad[4], const double corners[4][3], int axis,
               double orientation, bool split13) const {
        const int b = (axis + 1) % 3, c = (axis + 2) % 3;
        static constexpr int kSplits[2][2][3] = {{{0, 1, 2}, {0, 2, 3}}, {{0, 1, 3}, {1, 2, 3}}};
        for (const auto& t : kSplits[split13 ? 1 : 0]) {
            const double* p = corners[t[0]];
            const double* q = corners[t[1]];
            const double* r = corners[t[2]];
            const double area = ((q[b] - p[b]) * (r[c] - p[c]) - (q[c] - p[c]) * (r[b] - p[b])) * orientation;
            if (!(area > 0.0)) return true;
            const Vec3d pa = ToDouble(vertices[quad[t[0]]].position);
            const Vec3d n =
                Cross(ToDouble(vertices[quad[t[1]]].position) - pa, ToDouble(vertices[quad[t[2]]].position) - pa);
            const Vec3d surface = ToDouble(normals_[quad[t[0]]] + normals_[quad[t[1]]] + normals_[quad[t[2]]]);
            if (surface != Vec3d{} && Dot(n, surface) <= 0.0) return true;
        }
        return false;
    }

    void QuadsOfCell(std::size_t c, const std::vector<Vertex>& vertices, std::vector<std::uint32_t>& indices,
                     std::atomic<bool>& holes, std::vector<std::uint8_t>& folded, std::atomic<bool>& anyFolded) const {
        const SolidCell& cell = cells_[c];
        std::int64_t at[3];
        Decode(cell.index, at);
        if (TouchesGridSide(at, cell.configuration)) holes.exchange(true);
        const bool inside0 = Inside(cell.configuration, 0);
        std::uint64_t slot = quadOffsets_[c];
        for (int a = 0; a < 3; ++a) {
            if (!EdgeCrossed(cell.configuration, a)) continue;
            std::uint32_t* out = indices.data() + 6 * slot++;
            const int u = (a + 1) % 3;
            const int v = (a + 2) % 3;
            static constexpr int kStep[4][2] = {{0, 0}, {-1, 0}, {-1, -1}, {0, -1}};
            static constexpr int kEdge[4] = {0, 1, 3, 2};
            std::uint32_t quad[4];
            bool complete = true;
            for (int q = 0; q < 4 && complete; ++q) {
                std::int64_t around[3] = {at[0], at[1], at[2]};
                around[u] += kStep[q][0];
                around[v] += kStep[q][1];
                const std::int64_t j = q == 0 ? static_cast<std::int64_t>(c) : Find(around);
                if (j < 0) {
                    complete = false;
                    break;
                }
                std::uint8_t scratch[12];
                const std::uint8_t piece = Components(cells_[std::size_t(j)], scratch)[4 * a + kEdge[q]];
                if (piece == kNoCubePiece) {
                    complete = false;
                    break;
                }
                quad[q] = static_cast<std::uint32_t>(vertexOffsets_[std::size_t(j)] + piece);
            }
            if (!complete) {
                holes.exchange(true);
                continue;
            }
            const double orientation = OrientQuad(quad, inside0);
            double corners[4][3];
            for (int q = 0; q < 4; ++q) {
                for (int d = 0; d < 3; ++d) corners[q][d] = vertices[quad[q]].position[d];
            }
            const double f0 = grid_.Sample(at[0], at[1], at[2]);
            std::int64_t far[3] = {at[0], at[1], at[2]};
            ++far[a];
            const double f1 = grid_.Sample(far[0], far[1], far[2]);
            const double t = f0 == f1 ? 0.5 : std::clamp(f0 / (f0 - f1), 0.0, 1.0);
            const auto world = [&](int d, double offset) {
                return grid_.origin[d] + (static_cast<double>(at[d]) + offset) * grid_.cellSize;
            };
            const bool split13 = ChooseQuadDiagonal(corners, a, orientation, true, world(u, 0.0), world(v, 0.0),
                                                    world(a, t), grid_.cellSize);
            if (Folds(vertices, quad, corners, a, orientation, split13)) {
                // Corners already at their mass points have nowhere to go.
                for (const std::uint32_t q : quad) {
                    if (vertices[q].position == mass_[q]) continue;
                    std::atomic_ref<std::uint8_t>(folded[q]).store(1, std::memory_order_relaxed);
                    anyFolded.store(true, std::memory_order_relaxed);
                }
            }
            WriteQuadTriangles(quad, split13, out);
        }
    }

    const SparseDistanceGrid& grid_;
    float cut_;
    bool sharpRelief_;
    double ordinarySharpness_;
    std::int64_t cx_, cy_, cz_;  // cells along each axis
    double margin_ = 0.0;
    std::vector<SolidCell> cells_;
    std::vector<std::int32_t> cellAt_;  // per stored voxel: the cell it is the low corner of, or -1
    std::vector<std::uint64_t> vertexOffsets_;
    std::vector<std::uint64_t> quadOffsets_;
    std::vector<Vec3f> mass_;     // per vertex: its piece's mass point
    std::vector<Vec3f> normals_;  // per vertex: its crossings' mean normal
};

}  // namespace

void ContourDistanceGrid(TriangleMesh& mesh, const SparseDistanceGrid& grid, float cutPlaneZ, double regularisation,
                         bool sharpRelief, SolidContourStats& stats) {
    const auto start = std::chrono::steady_clock::now();
    mesh = TriangleMesh{};
    stats.cellsContoured = 0;
    stats.splitCells = 0;
    stats.holes = false;
    stats.triangleEstimate = 0;
    stats.overLimit = false;
    Contourer contourer(grid, cutPlaneZ, regularisation, sharpRelief);
    if (!contourer.Empty() && !grid.brickTable.empty()) {
        contourer.FindCells();
        stats.splitCells = contourer.SplitFaces();
        if (contourer.CountSlots(stats)) {
            contourer.PlaceVertices(mesh.vertices);
            stats.holes = contourer.WriteQuads(mesh);
            mesh.RecomputeNormals();
            mesh.RecomputeBounds();
        }
        stats.cellsContoured = contourer.CellCount();
    }
    stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace ridgeforge::mesh
