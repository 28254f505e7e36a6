// The moving stages of the mesh relief: mitres at creases, the move with the
// base band kept level, and the fold guard.
#include <algorithm>
#include <cmath>

#include "mesh/ParallelChunks.h"
#include "mesh/SortUnique.h"
#include "relief/displacement/MeshDisplacement.h"
#include "relief/displacement/MeshDisplacementStages.h"

namespace ridgeforge::mesh::relief_detail {
namespace {

constexpr int kMaximumNormalGroups = 3;
// Face normals within 10 degrees share a group.
constexpr float kGroupCosine = 0.98480775f;
constexpr float kLargestMitreScale = 2.0f;
constexpr std::uint32_t kWideningRound = 10;
constexpr std::size_t kMitreChunk = 16384;
constexpr std::size_t kMoveChunk = 16384;

enum : std::uint8_t { kNotMoved = 0, kMoved = 1, kKeptLevel = 2 };

// The normal groups of one vertex: the faces around it that lie within 10
// degrees of each other share a group.
struct NormalGroups {
    Vec3f sum[kMaximumNormalGroups];
    int count = 0;
    bool overflowed = false;

    void Add(const Vec3f& n) {
        for (int g = 0; g < count; ++g) {
            if (Dot(Normalize(sum[g]), n) >= kGroupCosine) {
                sum[g] += n;
                return;
            }
        }
        if (count < kMaximumNormalGroups) {
            sum[count++] = n;
        } else {
            overflowed = true;
        }
    }
};

// The offset direction whose dot product with each group normal is 1, so that
// each flat face moves by the same distance; zero when there is none.
Vec3f MitreVector(const NormalGroups& groups) {
    const Vec3f a = Normalize(groups.sum[0]);
    const Vec3f b = Normalize(groups.sum[1]);
    if (groups.count == 2) {
        const float ab = Dot(a, b);
        return ab > -0.9f ? (a + b) / (1.0f + ab) : Vec3f{};
    }
    const Vec3f c = Normalize(groups.sum[2]);
    const float determinant = Dot(a, Cross(b, c));
    if (std::fabs(determinant) <= 0.001f) return {};
    return (Cross(b, c) + Cross(c, a) + Cross(a, b)) / determinant;
}

bool TurnsOver(const TriangleMesh& mesh, std::size_t t, const Vec3f& before, float cosTilt) {
    if (before == Vec3f{}) return false;
    const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
    const Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
    const Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
    const Vec3f now = Cross(b - a, c - a);
    const float length = Length(now);
    return length == 0.0f || Dot(now, before) < length * cosTilt;
}

}  // namespace

void ComputeMitres(DisplacementWork& work) {
    const TriangleMesh& mesh = *work.mesh;
    const VertexFaceAdjacency& faces = work.vertexFaces;
    // Each vertex groups its faces' normals in ascending face order, as one
    // pass over the triangles would hand them to it.
    ForEachChunk(mesh.vertices.size(), kMitreChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            NormalGroups g;
            for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) {
                const Vec3f& n = work.faceNormals[faces.faces[k]];
                if (n != Vec3f{}) g.Add(n);
            }
            if (g.count < 2 || g.overflowed) continue;
            const Vec3f m = MitreVector(g);
            const float length = Length(m);
            if (!(length > 0.0f)) continue;
            const Vec3f direction = m / length;
            if (Dot(direction, mesh.vertices[v].normal) <= 0.0f) continue;
            work.direction[v] = direction;
            work.scale[v] = std::min(length, kLargestMitreScale);
        }
    });
}

void MoveVertices(TriangleMesh& mesh, const DisplacementWork& work, const std::vector<float>& weights,
                  const DisplacementSettings& settings, std::vector<std::uint8_t>& state,
                  std::vector<float>& moveLength, DisplacementReport& report) {
    const DisplacementBase& base = settings.base;
    const float band =
        base.bandMillimetres > 0.0f ? base.bandMillimetres : 2.0f * std::fabs(settings.strengthMillimetres);
    const int axis = std::clamp(base.axis, 0, 2);
    // Each chunk keeps its own counts and extremes. The extremes start at 0
    // and a NaN offset never replaces them, so they come out the same in any
    // order.
    struct Tally {
        std::uint64_t cut = 0, level = 0, displaced = 0, plane = 0;
        float smallest = 0.0f, largest = 0.0f;
    };
    const std::size_t vertexCount = mesh.vertices.size();
    std::vector<Tally> tallies((vertexCount + kMoveChunk - 1) / kMoveChunk);
    ForEachChunk(vertexCount, kMoveChunk, [&](std::size_t begin, std::size_t end) {
        Tally& tally = tallies[begin / kMoveChunk];
        for (std::size_t v = begin; v < end; ++v) {
            if (work.hold[v] != 0) continue;
            float offset = weights[v] * work.heights[v] * work.scale[v];
            if (std::isfinite(work.limit[v]) && std::fabs(offset) > work.limit[v]) {
                offset = std::copysign(work.limit[v], offset);
                ++tally.cut;
            }
            if (!(weights[v] > 0.0f) || offset == 0.0f || work.direction[v] == Vec3f{}) continue;
            Vec3f move = work.direction[v] * offset;
            Vec3f& position = mesh.vertices[v].position;
            const float d =
                base.protectBelow ? position[axis] - base.planeMillimetres : base.planeMillimetres - position[axis];
            if (base.enabled && d <= band + 1e-6f && move[axis] != 0.0f) {
                move[axis] = 0.0f;
                ++tally.level;
                state[v] = kKeptLevel;
                if (move == Vec3f{}) continue;
            }
            position += move;
            ++tally.displaced;
            if (state[v] != kKeptLevel) state[v] = kMoved;
            moveLength[v] = Length(move);
            tally.smallest = std::min(tally.smallest, offset);
            tally.largest = std::max(tally.largest, offset);
            if (base.enabled && d > 0.0f) {
                const bool past =
                    base.protectBelow ? position[axis] < base.planeMillimetres : position[axis] > base.planeMillimetres;
                if (past) {
                    position[axis] = base.planeMillimetres;
                    ++tally.plane;
                }
            }
        }
    });
    for (const Tally& tally : tallies) {
        report.cutShortByClearance += tally.cut;
        report.keptLevelAtBase += tally.level;
        report.displacedVertices += tally.displaced;
        report.heldAtBasePlane += tally.plane;
        report.smallestOffset = std::min(report.smallestOffset, tally.smallest);
        report.largestOffset = std::max(report.largestOffset, tally.largest);
    }
    report.relief = report.largestOffset - report.smallestOffset;
}

void GuardFolds(TriangleMesh& mesh, const DisplacementWork& work, const std::vector<Vec3f>& saved,
                const std::vector<std::uint8_t>& state, const std::vector<float>& moveLength,
                const DisplacementSettings& settings, DisplacementReport& report) {
    const std::size_t triangles = mesh.TriangleCount();
    const float tilt = std::clamp(settings.maximumTiltDegrees, 10.0f, 179.0f);
    const float cosTilt = std::cos(tilt * 3.14159265f / 180.0f);
    const int axis = std::clamp(settings.base.axis, 0, 2);
    std::vector<Vec3f> before(triangles);
    // Each chunk lists its own turned triangles; joined in chunk order they
    // come out ascending, as one pass would list them.
    constexpr std::size_t kNormalChunk = 65536;
    std::vector<std::vector<std::uint32_t>> turnedIn((triangles + kNormalChunk - 1) / kNormalChunk);
    ForEachChunk(triangles, kNormalChunk, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t>& mine = turnedIn[begin / kNormalChunk];
        for (std::size_t t = begin; t < end; ++t) {
            const Vec3f& a = saved[mesh.indices[3 * t]];
            before[t] = Normalize(Cross(saved[mesh.indices[3 * t + 1]] - a, saved[mesh.indices[3 * t + 2]] - a));
            if (TurnsOver(mesh, t, before[t], cosTilt)) mine.push_back(static_cast<std::uint32_t>(t));
        }
    });
    std::vector<std::uint32_t> turning;
    for (const std::vector<std::uint32_t>& mine : turnedIn) turning.insert(turning.end(), mine.begin(), mine.end());
    report.trianglesTurningOver = turning.size();
    if (AskCancel(work.cancel)) return;
    const VertexFaceAdjacency& faces = work.vertexFaces;
    const std::size_t vertexCount = mesh.vertices.size();
    std::vector<std::uint8_t> eased(vertexCount, 0);
    std::vector<std::uint8_t> marked(vertexCount, 0);
    std::vector<std::uint32_t> markedList, easedNow, retest;
    std::vector<Vec3f> newMove;
    auto mark = [&](std::uint32_t v) {
        if (!marked[v]) {
            marked[v] = 1;
            markedList.push_back(v);
        }
    };
    auto moveOf = [&](std::uint32_t v) { return mesh.vertices[v].position - saved[v]; };
    while (!turning.empty() && report.foldRounds < kMaximumFoldRounds) {
        if (AskCancel(work.cancel)) return;
        markedList.clear();
        for (std::uint32_t t : turning) {
            for (std::size_t k = 0; k < 3; ++k) mark(mesh.indices[3 * std::size_t{t} + k]);
        }
        if (report.foldRounds >= kWideningRound) {
            const std::size_t corners = markedList.size();
            for (std::size_t i = 0; i < corners; ++i) {
                const std::uint32_t v = markedList[i];
                for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) {
                    for (std::size_t c = 0; c < 3; ++c) mark(mesh.indices[3 * std::size_t{faces.faces[k]} + c]);
                }
            }
        }
        // Every new move is worked out from the moves before this round.
        newMove.assign(markedList.size(), Vec3f{});
        for (std::size_t i = 0; i < markedList.size(); ++i) {
            const std::uint32_t v = markedList[i];
            Vec3f sum;
            std::uint32_t count = 0;
            for (std::uint32_t k = faces.offsets[v]; k < faces.offsets[v + 1]; ++k) {
                for (std::size_t c = 0; c < 3; ++c) {
                    const std::uint32_t u = mesh.indices[3 * std::size_t{faces.faces[k]} + c];
                    if (u == v) continue;
                    sum += moveOf(u);
                    ++count;
                }
            }
            const Vec3f own = moveOf(v);
            Vec3f move = (own + (count > 0 ? sum / static_cast<float>(count) : Vec3f{})) * 0.5f;
            const float length = Length(move);
            if (length > moveLength[v] && length > 0.0f) move *= moveLength[v] / length;
            newMove[i] = move;
        }
        easedNow.clear();
        for (std::size_t i = 0; i < markedList.size(); ++i) {
            const std::uint32_t v = markedList[i];
            marked[v] = 0;
            if (state[v] == kNotMoved) continue;
            // A vertex kept level at the base is eased too, or a fold inside
            // the band would stay for good; it stays level.
            if (state[v] == kKeptLevel) newMove[i][axis] = 0.0f;
            mesh.vertices[v].position = saved[v] + newMove[i];
            eased[v] = 1;
            easedNow.push_back(v);
        }
        ++report.foldRounds;
        // A round that could ease no vertex would leave the same faces turned
        // for good; they stay listed as left instead of dropping out.
        if (easedNow.empty()) break;
        retest.clear();
        for (std::uint32_t v : easedNow) {
            retest.insert(retest.end(), faces.faces.begin() + faces.offsets[v],
                          faces.faces.begin() + faces.offsets[v + 1]);
        }
        SortUnique(retest);
        turning.clear();
        for (std::uint32_t t : retest) {
            if (TurnsOver(mesh, t, before[t], cosTilt)) turning.push_back(t);
        }
    }
    report.trianglesLeftTurned = turning.size();
    if (AskCancel(work.cancel)) return;
    EaseCrossings(mesh, work, saved, eased, report);
    if (AskCancel(work.cancel)) return;
    for (std::size_t v = 0; v < vertexCount; ++v) {
        if (!eased[v]) continue;
        ++report.foldVertices;
        const float distance = Length(mesh.vertices[v].position - saved[v]);
        if (distance > 1.01f * moveLength[v] + 1e-5f) ++report.foldFurtherThanBefore;
        if (std::isfinite(work.limit[v]) && distance > 1.01f * work.limit[v] + 1e-5f) ++report.foldPastClearance;
    }
}

}  // namespace ridgeforge::mesh::relief_detail
