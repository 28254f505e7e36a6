// Quadric edge collapse (Garland and Heckbert 1997) with push-order-stamped heap
// entries and an append-only vertex-to-triangle incidence, so that each
// collapse touches only the triangles around its two vertices.
#include "mesh/simplify/internal/MeshSimplifier.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint64_t kHousekeepingInterval = 16384;
constexpr char kStage[] = "Simplifying the mesh";
// Far enough below 2^32 that the pushes of one housekeeping interval fit.
constexpr std::uint32_t kLastOrderBeforeRenumbering = 0xF0000000u;

// Two doubles worked on side by side; each lane rounds exactly as the same
// sums on one double would.
using DoublePair = double __attribute__((vector_size(16)));

// The quadric's value, written once for one point or a pair of points.
template <typename T>
T QuadricValue(const std::array<double, 10>& q, T x, T y, T z) {
    return q[0] * x * x + 2.0 * q[1] * x * y + 2.0 * q[2] * x * z + 2.0 * q[3] * x + q[4] * y * y + 2.0 * q[5] * y * z +
           2.0 * q[6] * y + q[7] * z * z + 2.0 * q[8] * z + q[9];
}

double Evaluate(const std::array<double, 10>& q, const Vec3d& v) {
    return std::max(0.0, QuadricValue(q, v.x, v.y, v.z));
}

}  // namespace

MeshSimplifier::MeshSimplifier(const TriangleMesh& mesh, const MeshSimplifyOptions& options, SimplifyReport& report)
    : mesh_(mesh), options_(options), report_(report) {}

void MeshSimplifier::SetUp() {
    const std::size_t vertexCount = mesh_.vertices.size();
    const std::size_t triangleCount = mesh_.indices.size() / 3;
    vertices_.assign(vertexCount, VertexState{});
    changedAt_.assign(vertexCount, 0);
    ForEachChunk(vertexCount, 65536, [this](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) vertices_[v].position = ToDouble(mesh_.vertices[v].position);
    });
    triangles_.assign(triangleCount, TriangleState{});
    liveTriangles_ = triangleCount;

    // Unweighted plane quadrics: every plane counts the same whatever the
    // triangle's area, so slivers still pin the sharp edges they sit on.
    // Each vertex sums its triangles' planes in triangle order (the order of
    // its incidence row), so the sums do not depend on the threads.
    std::vector<double> planeOffsets(triangleCount, 0.0);
    ForEachChunk(triangleCount, 16384, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            TriangleState& tri = triangles_[t];
            for (int k = 0; k < 3; ++k) tri.corners[k] = mesh_.indices[3 * t + k];
            const Vec3d& a = vertices_[tri.corners[0]].position;
            const Vec3d n = Cross(vertices_[tri.corners[1]].position - a, vertices_[tri.corners[2]].position - a);
            const double length = Length(n);
            if (!(length > 0.0)) continue;
            tri.normal = n / length;
            planeOffsets[t] = -Dot(tri.normal, a);
        }
    });
    RebuildIncidence();
    initialIncidence_ = incidence_.size();
    ForEachChunk(vertexCount, 16384, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            VertexState& vertex = vertices_[v];
            Quadric& q = vertex.quadric;
            for (std::uint32_t i = 0; i < vertex.incidenceCount; ++i) {
                const std::uint32_t t = incidence_[vertex.incidenceOffset + i];
                const Vec3d& n = triangles_[t].normal;
                if (n == Vec3d{}) continue;
                const double d = planeOffsets[t];
                const Quadric plane = {n.x * n.x, n.x * n.y, n.x * n.z, n.x * d, n.y * n.y,
                                       n.y * n.z, n.y * d,   n.z * n.z, n.z * d, d * d};
                for (int k = 0; k < 10; ++k) q[k] += plane[k];
            }
        }
    });

    hasBed_ = options_.bedAxis >= 0 && options_.bedAxis <= 2 && vertexCount > 0;
    if (hasBed_) {
        const int axis = options_.bedAxis;
        double lowest = vertices_[0].position[axis], highest = lowest;
        for (const VertexState& v : vertices_) {
            lowest = std::min(lowest, v.position[axis]);
            highest = std::max(highest, v.position[axis]);
        }
        bedLevel_ = lowest;
        bedTolerance_ = std::max((highest - lowest) * 1e-6, 0.0001);
        for (VertexState& v : vertices_) {
            if (v.position[axis] <= bedLevel_ + bedTolerance_) {
                v.held = 1;
                ++report_.verticesHeldOnBed;
            }
        }
    }

    if (options_.heldTriangles && options_.heldTriangles->size() == triangleCount) {
        for (std::size_t t = 0; t < triangleCount; ++t) {
            if ((*options_.heldTriangles)[t] == 0) continue;
            for (const std::uint32_t c : triangles_[t].corners) vertices_[c].held = 1;
        }
    }

    const double degrees = std::clamp(static_cast<double>(options_.angleDegrees), 1.0, 179.0);
    cosine_ = std::cos(degrees * 3.14159265358979323846 / 180.0);
    markValue_ = 0;
}

void MeshSimplifier::RebuildIncidence() {
    // A counting sort on all threads: counts and places with atomic steps,
    // then each vertex's row sorted, which gives the rows a serial pass in
    // triangle order would (a triangle naming a vertex twice is listed twice).
    ForEachChunk(vertices_.size(), 65536, [this](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) vertices_[v].incidenceCount = 0;
    });
    ForEachChunk(triangles_.size(), 65536, [this](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            if (!triangles_[t].live) continue;
            for (const std::uint32_t c : triangles_[t].corners) {
                std::atomic_ref<std::uint32_t>(vertices_[c].incidenceCount).fetch_add(1, std::memory_order_relaxed);
            }
        }
    });
    std::uint32_t sum = 0;
    for (VertexState& v : vertices_) {
        v.incidenceOffset = sum;
        v.liveTriangles = v.incidenceCount;
        sum += v.incidenceCount;
        v.incidenceCount = 0;
    }
    incidence_.resize(sum);
    ForEachChunk(triangles_.size(), 65536, [this](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            if (!triangles_[t].live) continue;
            for (const std::uint32_t c : triangles_[t].corners) {
                VertexState& v = vertices_[c];
                const std::uint32_t slot =
                    std::atomic_ref<std::uint32_t>(v.incidenceCount).fetch_add(1, std::memory_order_relaxed);
                incidence_[v.incidenceOffset + slot] = static_cast<std::uint32_t>(t);
            }
        }
    });
    ForEachChunk(vertices_.size(), 16384, [this](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v) {
            const auto row = incidence_.begin() + vertices_[v].incidenceOffset;
            std::sort(row, row + vertices_[v].incidenceCount);
        }
    });
}

bool MeshSimplifier::AboveBed(const Vec3d& p) const {
    return !hasBed_ || p[options_.bedAxis] > bedLevel_ + bedTolerance_;
}

MeshSimplifier::Placement MeshSimplifier::CollapseCost(std::uint32_t a, std::uint32_t b) const {
    const VertexState& va = vertices_[a];
    const VertexState& vb = vertices_[b];
    Quadric q;
    for (int i = 0; i < 10; ++i) q[i] = va.quadric[i] + vb.quadric[i];
    Placement best;
    if (va.held && vb.held) return best;
    if (va.held || vb.held) {
        best.position = va.held ? va.position : vb.position;
        best.cost = Evaluate(q, best.position);
        best.admissible = true;
        return best;
    }

    const Vec3d& pa = va.position;
    const Vec3d& pb = vb.position;
    const Vec3d mid = (pa + pb) * 0.5;
    // The point where the quadric's gradient vanishes, by cofactors.
    const double xx = q[0], xy = q[1], xz = q[2], yy = q[4], yz = q[5], zz = q[7];
    const double c00 = yy * zz - yz * yz, c01 = xz * yz - xy * zz, c02 = xy * yz - xz * yy;
    const double c11 = xx * zz - xz * xz, c12 = xy * xz - xx * yz, c22 = xx * yy - xy * xy;
    const double det = xx * c00 + xy * c01 + xz * c02;
    const double trace = xx + yy + zz;
    if (std::fabs(det) > 1e-9 * trace * trace * trace) {
        const double wx = q[3], wy = q[6], wz = q[8];
        const Vec3d p = {-(c00 * wx + c01 * wy + c02 * wz) / det, -(c01 * wx + c11 * wy + c12 * wz) / det,
                         -(c02 * wx + c12 * wy + c22 * wz) / det};
        if (IsFinite(p) && LengthSquared(p - mid) <= LengthSquared(pa - pb) && AboveBed(p)) {
            return {true, p, Evaluate(q, p)};
        }
    }
    // Both ends at once: most edges of a finely divided surface come here.
    const DoublePair ends = QuadricValue(q, DoublePair{pa.x, pb.x}, DoublePair{pa.y, pb.y}, DoublePair{pa.z, pb.z});
    const double costs[3] = {std::max(0.0, ends[0]), std::max(0.0, ends[1]), Evaluate(q, mid)};
    const Vec3d* points[3] = {&pa, &pb, &mid};
    for (int i = 0; i < 3; ++i) {
        if (!AboveBed(*points[i])) continue;
        if (!best.admissible || costs[i] < best.cost) best = {true, *points[i], costs[i]};
    }
    return best;
}

bool MeshSimplifier::MakeCandidate(std::uint32_t a, std::uint32_t b, CollapseCandidate& candidate) const {
    const Placement placement = CollapseCost(a, b);
    if (!placement.admissible || placement.cost >= static_cast<double>(options_.detailLevel)) return false;
    if (options_.maxEdgeLength > 0.0f &&
        Length(vertices_[a].position - vertices_[b].position) > static_cast<double>(options_.maxEdgeLength)) {
        return false;
    }
    candidate = {static_cast<float>(placement.cost), a, b};
    return true;
}

void MeshSimplifier::PushCandidate(std::uint32_t a, std::uint32_t b) {
    CollapseCandidate candidate;
    if (MakeCandidate(a, b, candidate)) heap_.Push(candidate);
}

void MeshSimplifier::OfferAllEdges() {
    // Every edge once (from the triangle that runs it upwards), in triangle
    // and corner order: the order the ties pop in. The costs are worked out
    // on all threads into fixed slots and kept in that order.
    const std::size_t slots = 3 * triangles_.size();
    std::vector<CollapseCandidate> candidates(slots);
    std::vector<std::uint8_t> made(slots, 0);
    ForEachChunk(triangles_.size(), 16384, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const TriangleState& tri = triangles_[t];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t i = tri.corners[k], j = tri.corners[(k + 1) % 3];
                if (i < j) made[3 * t + k] = MakeCandidate(i, j, candidates[3 * t + k]) ? 1 : 0;
            }
        }
    });
    std::size_t kept = 0;
    for (std::size_t s = 0; s < slots; ++s) {
        if (made[s]) candidates[kept++] = candidates[s];
    }
    candidates.resize(kept);
    heap_.Assign(candidates);
}

bool MeshSimplifier::IsStale(const CollapseCandidate& c) const {
    return c.order < changedAt_[c.a] || c.order < changedAt_[c.b];
}

bool MeshSimplifier::PassesTopology(std::uint32_t keep, std::uint32_t remove) {
    if (++markValue_ == 0) {
        for (VertexState& v : vertices_) v.mark = 0;
        markValue_ = 1;
    }
    std::uint32_t keepLive = 0, removeLive = 0, shared = 0, common = 0;
    const VertexState& k = vertices_[keep];
    for (std::uint32_t i = 0; i < k.incidenceCount; ++i) {
        const TriangleState& tri = triangles_[incidence_[k.incidenceOffset + i]];
        if (!tri.live) continue;
        ++keepLive;
        for (const std::uint32_t c : tri.corners) {
            if (c == remove) ++shared;
            if (c != keep) vertices_[c].mark = markValue_;
        }
    }
    if (shared != 2) return false;
    const VertexState& r = vertices_[remove];
    for (std::uint32_t i = 0; i < r.incidenceCount; ++i) {
        const TriangleState& tri = triangles_[incidence_[r.incidenceOffset + i]];
        if (!tri.live) continue;
        ++removeLive;
        for (const std::uint32_t c : tri.corners) {
            if (c != remove && vertices_[c].mark == markValue_) {
                ++common;
                vertices_[c].mark = 0;  // count each shared neighbour once
            }
        }
    }
    return keepLive + removeLive >= 7 && common == 2;
}

bool MeshSimplifier::PassesShape(std::uint32_t keep, std::uint32_t remove, const Vec3d& target) {
    const bool keepHeld = vertices_[keep].held != 0;
    newNormals_.clear();
    for (const std::uint32_t v : {keep, remove}) {
        const VertexState& around = vertices_[v];
        for (std::uint32_t i = 0; i < around.incidenceCount; ++i) {
            const TriangleState& tri = triangles_[incidence_[around.incidenceOffset + i]];
            if (!tri.live) continue;
            bool hasKeep = false, hasRemove = false, newAllHeld = true, oldAllHeld = true;
            Vec3d c[3];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t corner = tri.corners[k];
                const bool moved = corner == keep || corner == remove;
                const VertexState& cv = vertices_[corner];
                hasKeep = hasKeep || corner == keep;
                hasRemove = hasRemove || corner == remove;
                newAllHeld = newAllHeld && (moved || cv.held);
                oldAllHeld = oldAllHeld && cv.held;
                c[k] = moved ? target : cv.position;
            }
            if (hasKeep && hasRemove) continue;
            if (keepHeld && newAllHeld && !oldAllHeld) {
                ++report_.refusedOther;
                return false;
            }
            const Vec3d e1 = c[1] - c[0], e2 = c[2] - c[0];
            const Vec3d n = Cross(e1, e2);
            const double length = Length(n);
            if (length <= 1e-6 * (LengthSquared(e1) + LengthSquared(e2)) || length * cosine_ > Dot(tri.normal, n)) {
                ++report_.refusedTip;
                return false;
            }
            newNormals_.push_back(n / length);
        }
    }
    return true;
}

void MeshSimplifier::Apply(std::uint32_t keep, std::uint32_t remove, const Placement& placement) {
    const std::uint32_t start = static_cast<std::uint32_t>(incidence_.size());
    for (const std::uint32_t v : {keep, remove}) {
        const std::uint32_t offset = vertices_[v].incidenceOffset, count = vertices_[v].incidenceCount;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t t = incidence_[offset + i];
            TriangleState& tri = triangles_[t];
            if (!tri.live) continue;
            const bool hasKeep = tri.corners[0] == keep || tri.corners[1] == keep || tri.corners[2] == keep;
            const bool hasRemove = tri.corners[0] == remove || tri.corners[1] == remove || tri.corners[2] == remove;
            if (hasKeep && hasRemove) {
                tri.live = 0;
                liveTriangles_ -= 1;
                for (const std::uint32_t c : tri.corners) {
                    if (--vertices_[c].liveTriangles == 0) changedAt_[c] = heap_.NextOrder();
                }
                continue;
            }
            for (std::uint32_t& c : tri.corners) {
                if (c == remove) c = keep;
            }
            incidence_.push_back(t);
        }
    }
    VertexState& k = vertices_[keep];
    VertexState& r = vertices_[remove];
    k.incidenceOffset = start;
    k.incidenceCount = static_cast<std::uint32_t>(incidence_.size()) - start;
    k.liveTriangles = k.incidenceCount;
    r.incidenceCount = 0;
    r.liveTriangles = 0;
    for (int i = 0; i < 10; ++i) k.quadric[i] += r.quadric[i];
    k.position = placement.position;
    changedAt_[keep] = changedAt_[remove] = heap_.NextOrder();
    report_.largestCollapseCost = std::max(report_.largestCollapseCost, static_cast<float>(placement.cost));
    ++report_.collapses;

    scratch_.clear();
    for (std::uint32_t i = 0; i < k.incidenceCount; ++i) {
        TriangleState& tri = triangles_[incidence_[start + i]];
        tri.normal = newNormals_[i];
        for (const std::uint32_t c : tri.corners) {
            if (c == keep) continue;
            scratch_.push_back(c);
            __builtin_prefetch(&vertices_[c].quadric);  // read again when (keep, c) is offered
        }
    }
    std::sort(scratch_.begin(), scratch_.end());
    scratch_.erase(std::unique(scratch_.begin(), scratch_.end()), scratch_.end());
    for (const std::uint32_t w : scratch_) PushCandidate(keep, w);
}

bool MeshSimplifier::TryCollapseEdge(std::uint32_t a, std::uint32_t b) {
    const bool swap = vertices_[b].held && !vertices_[a].held;
    const std::uint32_t keep = swap ? b : a;
    const std::uint32_t remove = swap ? a : b;
    // Start fetching the triangles around both ends; the cost is worked out
    // meanwhile, and the topology and shape tests read them next.
    for (const std::uint32_t v : {keep, remove}) {
        const VertexState& around = vertices_[v];
        for (std::uint32_t i = 0; i < around.incidenceCount; ++i) {
            __builtin_prefetch(&triangles_[incidence_[around.incidenceOffset + i]]);
        }
    }
    const Placement placement = CollapseCost(keep, remove);
    if (!placement.admissible) {
        ++report_.refusedOther;
        return false;
    }
    if (!PassesTopology(keep, remove)) {
        ++report_.refusedPinch;
        return false;
    }
    if (!PassesShape(keep, remove, placement.position)) return false;
    Apply(keep, remove, placement);
    return true;
}

bool MeshSimplifier::Run(const ProgressCallback& progress, TriangleMesh& result) {
    SetUp();
    if (progress && !progress(kStage, 0.0f)) return false;

    OfferAllEdges();

    const double level = options_.detailLevel;
    std::uint64_t attempts = 0;
    for (;;) {
        if (options_.targetTriangles > 0 && liveTriangles_ <= options_.targetTriangles) break;
        if (heap_.Empty() || static_cast<double>(heap_.Top().cost) >= level) break;
        const CollapseCandidate entry = heap_.Pop([this](const CollapseCandidate& c) { return IsStale(c); });
        if (!heap_.Empty()) {
            // Collapses come in cost order, scattered over the surface: start
            // fetching the next candidate's vertices while this one is done.
            const CollapseCandidate& next = heap_.Top();
            for (const std::uint32_t v : {next.a, next.b}) {
                __builtin_prefetch(&changedAt_[v]);
                __builtin_prefetch(reinterpret_cast<const char*>(&vertices_[v]));
                __builtin_prefetch(reinterpret_cast<const char*>(&vertices_[v]) + 64);
            }
        }
        if (IsStale(entry)) continue;
        TryCollapseEdge(entry.a, entry.b);
        if (++attempts % kHousekeepingInterval != 0) continue;

        if (progress) {
            const double fraction = std::sqrt(std::clamp(static_cast<double>(entry.cost) / level, 0.0, 1.0));
            if (!progress(kStage, static_cast<float>(fraction))) return false;
        }
        if (incidence_.size() > 3 * initialIncidence_ + 1024) RebuildIncidence();
        const bool ordersRunningOut = heap_.NextOrder() > kLastOrderBeforeRenumbering;
        // Purged when stale entries may outnumber the rest, so that the
        // purges cost no more than the pushes.
        if (heap_.Size() > 2 * std::max<std::size_t>(keptAtPurge_, liveTriangles_) + 65536 || ordersRunningOut) {
            heap_.Purge([this](const CollapseCandidate& c) { return IsStale(c); });
            keptAtPurge_ = heap_.Size();
        }
        if (ordersRunningOut) {
            // Only fresh entries are left, so no vertex needs to mark any stale.
            heap_.Renumber();
            std::fill(changedAt_.begin(), changedAt_.end(), 0u);
        }
    }
    Compact(result);
    return true;
}

void MeshSimplifier::Compact(TriangleMesh& result) {
    std::vector<std::uint32_t> map(vertices_.size(), kNone);
    result.vertices.clear();
    result.indices.clear();
    result.indices.reserve(liveTriangles_ * 3);
    report_.sourceTriangle.reserve(liveTriangles_);
    for (std::size_t t = 0; t < triangles_.size(); ++t) {
        if (!triangles_[t].live) continue;
        for (const std::uint32_t v : triangles_[t].corners) {
            if (map[v] == kNone) {
                map[v] = static_cast<std::uint32_t>(result.vertices.size());
                result.vertices.push_back({ToFloat(vertices_[v].position), mesh_.vertices[v].normal});
                report_.sourceVertex.push_back(v);
            }
            result.indices.push_back(map[v]);
        }
        report_.sourceTriangle.push_back(static_cast<std::uint32_t>(t));
    }
    result.RecomputeBounds();
    result.RecomputeNormals();
}

}  // namespace ridgeforge::mesh
