// Remesh by contouring: the part is contoured on a grid whose cell is the
// wanted triangle size, the new vertices are moved back onto the original
// surface (sliding within the plane of the nearest triangle so that flat faces
// stay evenly meshed), and pieces the part did not have are removed.
//
// The caller's mesh is replaced only once everything that can fail or be
// stopped has run, so every early return leaves it exactly as it was.
#include "mesh/remesh/RemeshByContour.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <iomanip>
#include <memory>
#include <numeric>
#include <locale>
#include <sstream>
#include <system_error>

#include "mesh/AabbTree.h"
#include "mesh/Connectivity.h"
#include "mesh/remesh/internal/ContourLines.h"
#include "mesh/remesh/ContourSurface.h"
#include "mesh/Crumbs.h"
#include "mesh/MeshHygiene.h"
#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

void FillSize(const TriangleMesh& mesh, float size[3]) {
    for (int i = 0; i < 3; ++i) size[i] = mesh.boundsValid ? mesh.boundsMax[i] - mesh.boundsMin[i] : 0.0f;
}

std::string CellText(float cell) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(4) << cell;
    return out.str();
}

struct Projection {
    const TriangleMesh& input;
    const AabbTree& tree;
    const ContourResult& contour;
    float cell;
    bool preserveVolume;
    UnsetVector<float>& positions;  // xyz per new vertex
    UnsetVector<float>& deviations;
};

// A projected triangle may turn by at most this against the contoured one
// (about 60 degrees). Vertices projected independently onto a surface with
// sharp edges or thin walls can land on different faces and turn a triangle
// over, or through its neighbours; the contoured surface does not.
constexpr float kLargestProjectedTurnCosine = 0.5f;

// Two projected neighbours may each turn within that limit and still end
// folded against each other along their shared edge. Their normals may not
// end more than about 150 degrees apart when the projection opened the angle
// between them by more than 30 degrees: then one of the two turned by at
// least 15, so only the edges around triangles turned that far are looked at.
constexpr float kFoldedCosine = -0.866f;
constexpr double kLargestFoldOpening = 30.0 * 3.14159265358979323846 / 180.0;
constexpr float kWatchedTurnCosine = 0.966f;
// Nor may they end more than about 165 degrees apart, folded over, by any
// opening at all: on a fin thinner than half a cell the contouring leaves
// creases near 140 degrees, which a projection opening by less than 30
// folded over.
constexpr float kFoldedOverCosine = -0.966f;

Vec3f At(const UnsetVector<float>& xyz, std::uint32_t v) { return {xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]}; }

Vec3f UnitNormal(const UnsetVector<float>& xyz, const std::uint32_t* corners) {
    const Vec3f a = At(xyz, corners[0]);
    return Normalize(Cross(At(xyz, corners[1]) - a, At(xyz, corners[2]) - a));
}

// The cosine of the angle the projection turned the triangle by; 2 (no turn
// to judge) for a triangle the contouring left without a normal, -1 for one
// the projection left without one. One root and one division: this runs on
// every triangle of the result.
float Turn(const Projection& job, const std::uint32_t* corners) {
    const auto normal = [corners](const UnsetVector<float>& xyz) {
        const Vec3f a = At(xyz, corners[0]);
        return Cross(At(xyz, corners[1]) - a, At(xyz, corners[2]) - a);
    };
    // A normal of length 1e-12 or less is none, as for Normalize.
    constexpr float kLeastSquaredLength = 1e-24f;
    const Vec3f before = normal(job.contour.positions);
    const float beforeSquared = Dot(before, before);
    if (!(beforeSquared > kLeastSquaredLength)) return 2.0f;
    const Vec3f after = normal(job.positions);
    const float afterSquared = Dot(after, after);
    if (!(afterSquared > kLeastSquaredLength)) return -1.0f;
    return static_cast<float>(static_cast<double>(Dot(before, after)) /
                              std::sqrt(static_cast<double>(beforeSquared) * static_cast<double>(afterSquared)));
}

// The triangles with a corner marked in `watched`, in ascending order.
std::vector<std::uint32_t> TrianglesAround(const std::vector<std::uint32_t>& indices,
                                           const std::vector<std::uint8_t>& watched) {
    constexpr std::size_t kChunk = 16384;
    const std::size_t count = indices.size() / 3;
    std::vector<std::vector<std::uint32_t>> found((count + kChunk - 1) / kChunk);
    ForEachChunk(count, kChunk, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t>& mine = found[begin / kChunk];
        for (std::size_t t = begin; t < end; ++t) {
            if (watched[indices[3 * t]] | watched[indices[3 * t + 1]] | watched[indices[3 * t + 2]]) {
                mine.push_back(static_cast<std::uint32_t>(t));
            }
        }
    });
    std::vector<std::uint32_t> all;
    for (const std::vector<std::uint32_t>& mine : found) all.insert(all.end(), mine.begin(), mine.end());
    return all;
}

// Marks the corners of both triangles of every shared edge, among the given
// triangles, that the projection folded: their normals end nearly opposite
// where the contoured ones were not. Returns whether it marked any.
bool MarkFoldedEdges(const Projection& job, const std::vector<std::uint32_t>& triangles,
                     const std::vector<std::uint8_t>& taken, std::vector<std::uint8_t>& takeBack) {
    const auto& indices = job.contour.indices;
    TriangleMesh around;  // only the index list: the edge table needs no positions
    around.indices.reserve(3 * triangles.size());
    for (const std::uint32_t t : triangles) {
        around.indices.insert(around.indices.end(), indices.begin() + 3 * static_cast<std::ptrdiff_t>(t),
                              indices.begin() + 3 * static_cast<std::ptrdiff_t>(t) + 3);
    }
    const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(around);
    bool any = false;
    for (std::size_t e = 0; e + 1 < edges.size();) {
        std::size_t next = e + 1;
        while (next < edges.size() && edges[next].first == edges[e].first) ++next;
        if (next - e == 2) {
            const std::uint32_t* first = &indices[3 * static_cast<std::size_t>(triangles[edges[e].second])];
            const std::uint32_t* second = &indices[3 * static_cast<std::size_t>(triangles[edges[e + 1].second])];
            const float after = Dot(UnitNormal(job.positions, first), UnitNormal(job.positions, second));
            const float before =
                Dot(UnitNormal(job.contour.positions, first), UnitNormal(job.contour.positions, second));
            const double opened = std::acos(std::clamp(static_cast<double>(after), -1.0, 1.0)) -
                                  std::acos(std::clamp(static_cast<double>(before), -1.0, 1.0));
            if ((after < kFoldedCosine && opened > kLargestFoldOpening) ||
                (after < kFoldedOverCosine && opened > 0.0)) {
                for (const std::uint32_t* corners : {first, second}) {
                    for (int k = 0; k < 3; ++k) {
                        if (!taken[corners[k]]) takeBack[corners[k]] = 1, any = true;
                    }
                }
            }
        }
        e = next;
    }
    return any;
}

// Puts the corners of every triangle that the projection turned too far back
// where the contouring placed them, and the corners of neighbours it folded
// against each other, pass by pass, since a corner put back can turn a
// neighbour in turn; ends at the latest with every corner put back.
// A corner put back has its deviation measured again where it now is.
void TakeBackFoldingProjections(const Projection& job) {
    const auto& indices = job.contour.indices;
    const std::size_t vertexCount = job.contour.positions.size() / 3;
    std::vector<std::uint8_t> takeBack(vertexCount, 0), taken(vertexCount, 0), watched(vertexCount, 0);
    for (;;) {
        std::atomic<bool> any{false}, turned{false};
        ForEachChunk(indices.size() / 3, 16384, [&](std::size_t begin, std::size_t end) {
            bool chunkTurned = false, chunkTakes = false;
            for (std::size_t t = begin; t < end; ++t) {
                const std::uint32_t* corners = &indices[3 * t];
                const float turn = Turn(job, corners);
                if (turn >= kWatchedTurnCosine) continue;
                chunkTurned = true;
                for (int k = 0; k < 3; ++k) {
                    std::atomic_ref<std::uint8_t>(watched[corners[k]]).store(1, std::memory_order_relaxed);
                }
                if (turn >= kLargestProjectedTurnCosine) continue;
                chunkTakes = true;
                for (int k = 0; k < 3; ++k) {
                    if (!taken[corners[k]]) {
                        std::atomic_ref<std::uint8_t>(takeBack[corners[k]]).store(1, std::memory_order_relaxed);
                    }
                }
            }
            if (chunkTurned) turned.store(true, std::memory_order_relaxed);
            if (chunkTakes) any.store(true, std::memory_order_relaxed);
        });
        if (turned.load()) {
            if (MarkFoldedEdges(job, TrianglesAround(indices, watched), taken, takeBack)) any.store(true);
            std::fill(watched.begin(), watched.end(), std::uint8_t{0});
        }
        if (!any.load()) break;
        bool changed = false;
        for (std::size_t v = 0; v < vertexCount; ++v) {
            if (!takeBack[v]) continue;
            for (int i = 0; i < 3; ++i) job.positions[3 * v + i] = job.contour.positions[3 * v + i];
            taken[v] = 1;
            takeBack[v] = 0;
            changed = true;
        }
        if (!changed) break;
    }
    ForEachChunk(vertexCount, 2048, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            if (!taken[v]) continue;
            const ClosestHit hit =
                job.tree.ClosestPoint(job.input, At(job.contour.positions, static_cast<std::uint32_t>(v)));
            job.deviations[v] = hit.found ? hit.distance : 0.0f;
        }
    });
}

void ProjectOntoOriginal(const Projection& job, std::size_t begin, std::size_t end) {
    for (std::size_t v = begin; v < end; ++v) {
        const Vec3f p{job.contour.positions[3 * v], job.contour.positions[3 * v + 1], job.contour.positions[3 * v + 2]};
        for (int i = 0; i < 3; ++i) job.positions[3 * v + i] = p[i];
        job.deviations[v] = 0.0f;
        // Nearly every contour vertex lies within a cell of the surface; a
        // bounded query prunes most of the tree and, when it finds anything,
        // finds the same point as a wider one, so only a miss needs the next.
        ClosestHit hit = job.tree.ClosestPoint(job.input, p, nullptr, 0, {}, 0.5f * job.cell);
        if (!hit.found) hit = job.tree.ClosestPoint(job.input, p, nullptr, 0, {}, 2.0f * job.cell);
        if (!hit.found) hit = job.tree.ClosestPoint(job.input, p);
        if (!hit.found) continue;
        job.deviations[v] = hit.distance;
        if (!job.preserveVolume || hit.distance > 2.0f * job.cell) continue;

        const Vec3f normal{job.contour.normals[3 * v], job.contour.normals[3 * v + 1], job.contour.normals[3 * v + 2]};
        if (!(normal == Vec3f{}) &&
            Dot(job.input.FaceNormal(static_cast<std::uint64_t>(hit.triangle)), normal) <= 0.0f) {
            // The nearest surface faces away: it belongs to the other side of a
            // thin part, so look for the nearest one facing the same way.
            const TriangleSkipPredicate facingAway = [&job, normal](std::uint32_t t) {
                return Dot(job.input.FaceNormal(t), normal) <= 0.0f;
            };
            const ClosestHit facing = job.tree.ClosestPoint(job.input, p, nullptr, 0, facingAway, 2.0f * job.cell);
            if (!facing.found) continue;
            hit = facing;
        }

        Vec3f target = hit.point;
        if (hit.triangle >= 0) {
            const Vec3f n = job.input.FaceNormal(static_cast<std::uint64_t>(hit.triangle));
            if (!(n == Vec3f{})) {
                const Vec3f& a =
                    job.input.vertices[job.input.indices[3 * static_cast<std::size_t>(hit.triangle)]].position;
                const Vec3f onPlane = p - n * Dot(n, p - a);
                if (Length(onPlane - hit.point) <= 0.5f * job.cell) target = onPlane;
            }
        }
        const float* box = &job.contour.allowedBoxes[6 * v];
        for (int i = 0; i < 3; ++i) target[i] = std::max(box[i], std::min(target[i], std::max(box[i], box[3 + i])));
        for (int i = 0; i < 3; ++i) job.positions[3 * v + i] = target[i];
        float deviation = Length(target - hit.point);
        if (deviation > 2e-5f) {
            // The surface is no farther than the hit point, which bounds the search.
            const ClosestHit fresh =
                job.tree.ClosestPoint(job.input, target, nullptr, 0, {}, deviation * 1.001f + 1e-6f);
            if (fresh.found) deviation = fresh.distance;
        }
        job.deviations[v] = deviation;
    }
}

// What std::max_element finds (0 for none), on all threads: the chunks' own
// largest values, taken in chunk order, keep the first of equal values as it
// does; a NaN, which it passes on in an order-dependent way, falls back to it.
float LargestValue(const UnsetVector<float>& values) {
    if (values.empty()) return 0.0f;
    constexpr std::size_t kChunk = 65536;
    struct Largest {
        float value = 0.0f;
        bool number = true;
    };
    std::vector<Largest> chunks((values.size() + kChunk - 1) / kChunk);
    ForEachChunk(values.size(), kChunk, [&](std::size_t begin, std::size_t end) {
        Largest& largest = chunks[begin / kChunk];
        largest.value = *std::max_element(values.begin() + static_cast<std::ptrdiff_t>(begin),
                                          values.begin() + static_cast<std::ptrdiff_t>(end));
        largest.number =
            std::none_of(values.begin() + static_cast<std::ptrdiff_t>(begin),
                         values.begin() + static_cast<std::ptrdiff_t>(end), [](float v) { return std::isnan(v); });
    });
    if (!std::all_of(chunks.begin(), chunks.end(), [](const Largest& c) { return c.number; })) {
        return *std::max_element(values.begin(), values.end());
    }
    float largest = chunks.front().value;
    for (const Largest& c : chunks) {
        if (largest < c.value) largest = c.value;
    }
    return largest;
}

}  // namespace

RemeshReport RemeshByContour(TriangleMesh& mesh, const RemeshSettings& settings, const ProgressCallback& progress) {
    RemeshReport report;
    report.contoured = true;
    report.trianglesBefore = mesh.indices.size() / 3;
    report.verticesBefore = mesh.vertices.size();
    FillSize(mesh, report.sizeBefore);
    report.qualityBefore = MeasureMeshQuality(mesh);
    if (!IsValidMesh(mesh)) {
        report.failure =
            "the mesh is damaged (its index list does not form whole triangles or points past its vertices)";
        return report;
    }
    if (mesh.indices.empty()) {
        report.failure = "the mesh has no triangles";
        return report;
    }

    // Bounds are recomputed even when cached: stale ones would put part of the
    // surface outside the grid, where its cells cannot be closed.
    TriangleMesh input = mesh;
    input.RecomputeBounds();
    // A coordinate that is not a number would reach the fixed-point grid as garbage.
    const bool finite =
        std::all_of(input.vertices.begin(), input.vertices.end(), [](const Vertex& v) { return IsFinite(v.position); });
    if (!finite || !input.boundsValid || !IsFinite(input.boundsMin) || !IsFinite(input.boundsMax)) {
        report.failure = "the part has no valid bounding box (some vertex coordinates are not finite numbers)";
        return report;
    }

    const float cell = ContourCellSize(MeshBounds(input), settings, &report.cellRaised);
    if (!std::isfinite(cell)) {
        report.failure = "the wanted cell size is not a finite number of millimetres";
        return report;
    }
    const ContourGrid grid(MeshBounds(input), cell);
    report.cellMillimetres = cell;
    report.gridExtentMillimetres = static_cast<float>(std::max({grid.dims[0], grid.dims[1], grid.dims[2]})) * cell;

    RemeshStageTimer timer(report);
    // The loops within a stage ask the callback as well, under the stage's own
    // text: one stage can take seconds on a part of many large triangles.
    CancelContext cancel;
    cancel.callback = &progress;
    std::string stageText;
    const auto stageStep = [&timer, &cancel, &stageText](const std::string& name) {
        timer.Begin(name);
        stageText = name;
        cancel.stageName = stageText.c_str();
        return !AskCancel(&cancel);
    };
    const auto stop = [&timer, &report]() -> RemeshReport {
        timer.Begin("");
        return std::move(report);
    };

    ContourResult result;
    const double sharpness = std::max(0.0, static_cast<double>(settings.dualContouring.sharpness));
    const bool finished = ContourSurface(input, grid, sharpness, stageStep, result, &cancel);
    report.holeGridLines = result.linesThroughHole;
    report.thinPlaces = result.thinPlaces;
    report.missingCrossings = result.missingCrossings;
    if (!finished) {
        if (!result.refusal.empty()) {
            report.failure = result.refusal;
        } else {
            report.cancelled = true;
        }
        return stop();
    }
    // Neither outcome was asked for by anyone: say why, and keep the part as it was.
    if (result.open) {
        report.failure = "contouring at a cell of " + CellText(cell) +
                         " mm left gaps in the new surface: the part is not a closed surface at this cell size; "
                         "repair its holes or choose a different cell size";
        return stop();
    }
    if (result.indices.empty()) {
        report.failure = "contouring at a cell of " + CellText(cell) +
                         " mm found no enclosed volume: the part is not a closed surface at this cell size (or is "
                         "thinner than a cell everywhere); repair its holes or choose a smaller cell";
        return stop();
    }

    const std::size_t vertexCount = result.positions.size() / 3;
    // Every new vertex asks for its nearest point on the original: a rod at
    // an angle would have each ask of nearly all its long sides.
    AabbTree tree;
    tree.Build(input, TreeBoxes::kFitted);
    const bool preserve = settings.dualContouring.preserveVolume;
    if (!stageStep(preserve ? "Projecting onto the original" : "Measuring deviation")) {
        report.cancelled = true;
        return stop();
    }
    // The new vertex list must be a plain vector (it becomes the mesh's), so it
    // is zeroed when sized, on one thread: that runs alongside the projection,
    // which writes to lists of its own.
    std::future<std::vector<Vertex>> zeroedVertices =
        StartOrDefer([vertexCount] { return std::vector<Vertex>(vertexCount); });
    UnsetVector<float> positions(3 * vertexCount);
    UnsetVector<float> deviations(vertexCount);
    const Projection job{input, tree, result, cell, preserve, positions, deviations};
    ForEachChunk(vertexCount, 2048, [&job, &cancel](std::size_t begin, std::size_t end) {
        WorkPoll poll(&cancel);
        constexpr std::size_t kBlock = 64;
        for (std::size_t v = begin; v < end && !poll.Add(16 * kBlock); v += kBlock) {
            ProjectOntoOriginal(job, v, std::min(end, v + kBlock));
        }
    });
    if (StopSeen(&cancel)) {
        report.cancelled = true;
        return stop();
    }
    TakeBackFoldingProjections(job);
    std::vector<Vertex> vertices = zeroedVertices.get();
    ForEachChunk(vertexCount, 65536, [&vertices, &positions](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            vertices[v].position = {positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]};
        }
    });

    timer.Begin("Rebuilding");
    if (progress) progress("Rebuilding", -1.0f);  // too late to stop: the answer is not used
    mesh.vertices = std::move(vertices);
    mesh.indices = std::move(result.indices);
    mesh.RecomputeBounds();
    const float maxDeviation = LargestValue(deviations);
    // Handing hundreds of megabytes back to the system takes a while on one
    // thread; it runs alongside the search for stray pieces.
    std::future<void> released;
    try {
        released = std::async(std::launch::async,
                              [spent = std::move(result), tree = std::move(tree), positions = std::move(positions),
                               deviations = std::move(deviations)]() mutable {
                                  spent = ContourResult{};
                                  tree = AabbTree{};
                                  positions = {};
                                  deviations = {};
                              });
    } catch (const std::system_error&) {
        // No thread could start: the spent data went with the task that
        // could not run, here and now.
    }

    timer.Begin("Dropping crumbs");
    report.bodiesBefore = CountBodies(input);
    if (CountComponents(mesh) > std::max<std::uint64_t>(1, report.bodiesBefore)) {
        report.strayBodiesRemoved = RemoveCrumbs(mesh, report.bodiesBefore, &report.strayBodyTriangles, 0.0f, nullptr);
    }
    if (settings.dualContouring.removeDisconnected) DropCrumbs(mesh, settings.dualContouring.disconnectedThreshold);

    // The normals need memory of their own; the spent data must be gone first
    // so that this stage does not raise the peak.
    if (released.valid()) released.wait();
    timer.Begin("Normals");
    mesh.RecomputeBounds();
    mesh.RecomputeNormals();

    timer.Begin("Measuring the triangles");
    report.trianglesAfter = mesh.indices.size() / 3;
    report.verticesAfter = mesh.vertices.size();
    FillSize(mesh, report.sizeAfter);
    report.qualityAfter = MeasureMeshQuality(mesh);
    report.deviationMillimetres = std::max(0.0f, maxDeviation);
    return stop();
}

}  // namespace ridgeforge::mesh
