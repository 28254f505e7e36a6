// Split, collapse and flip passes of the isotropic remesher on the editable
// mesh; the incidence is rebuilt by the caller between passes.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <execution>
#include <numeric>
#include <iterator>

#include "mesh/ParallelChunks.h"
#include "mesh/remesh/internal/IsotropicRemesh.h"

namespace ridgeforge::mesh {
namespace {

using Triangle = EditableMesh::Triangle;

Vec3f UnitNormal(const Vec3f& a, const Vec3f& b, const Vec3f& c) { return Normalize(Cross(b - a, c - a)); }

Vec3f UnitNormal(const EditableMesh& mesh, const Triangle& t) {
    return UnitNormal(mesh.positions[t[0]], mesh.positions[t[1]], mesh.positions[t[2]]);
}

bool IsZero(const Vec3f& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// A crease between two triangles, or anything other than exactly two.
bool IsFeatureEdge(const EditableMesh& mesh, const std::vector<std::uint32_t>& triangles, float featureCosine) {
    if (triangles.size() != 2) return true;
    const Vec3f n0 = UnitNormal(mesh, mesh.triangles[triangles[0]]);
    const Vec3f n1 = UnitNormal(mesh, mesh.triangles[triangles[1]]);
    return !IsZero(n0) && !IsZero(n1) && Dot(n0, n1) < featureCosine;
}

void SortedEdgeTriangles(const EditableMesh& mesh, std::uint32_t a, std::uint32_t b, std::vector<std::uint32_t>& out) {
    out.clear();
    mesh.EdgeTriangles(a, b, out);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

std::uint32_t Low(std::uint64_t key) { return static_cast<std::uint32_t>(key >> 32); }
std::uint32_t High(std::uint64_t key) { return static_cast<std::uint32_t>(key & 0xFFFFFFFFu); }

void Subdivide(const EditableMesh& mesh, const Triangle& p, const std::uint32_t* slot, std::vector<Triangle>& out) {
    const int splitCount = (slot[0] != kEditableNone) + (slot[1] != kEditableNone) + (slot[2] != kEditableNone);
    if (splitCount == 0) {
        out.push_back(p);
        return;
    }
    int s = 0;
    if (splitCount == 1) {
        while (slot[s] == kEditableNone) ++s;
    } else if (splitCount == 2) {
        while (!(slot[s] != kEditableNone && slot[(s + 1) % 3] != kEditableNone)) ++s;
    }
    const std::uint32_t c0 = p[s], c1 = p[(s + 1) % 3], c2 = p[(s + 2) % 3];
    const std::uint32_t q0 = slot[s], q1 = slot[(s + 1) % 3], q2 = slot[(s + 2) % 3];
    if (splitCount == 1) {
        out.push_back({c0, q0, c2});
        out.push_back({q0, c1, c2});
    } else if (splitCount == 2) {
        out.push_back({q0, c1, q1});
        const auto& x = mesh.positions;
        if (Length(x[q0] - x[c2]) > Length(x[c0] - x[q1])) {
            out.push_back({c0, q0, q1});
            out.push_back({c0, q1, c2});
        } else {
            out.push_back({c0, q0, c2});
            out.push_back({q0, q1, c2});
        }
    } else {
        out.push_back({c0, q0, q2});
        out.push_back({q0, c1, q1});
        out.push_back({q2, q1, c2});
        out.push_back({q0, q1, q2});
    }
}

// A triangle of a trial edit: its corners after the edit and its unit
// normals before and after.
struct TrialTriangle {
    std::uint32_t index;
    Triangle corners;
    Vec3f before, after;
};

// Two neighbours may each turn within a pass's own limit and still end folded
// against each other along their shared edge, and a fold there makes the
// surface pass through itself. Normals more than about 150 degrees apart are
// folded; a pair that was folded that far already may stay so (a knife edge
// of the part) but not fold further.
constexpr float kFoldedCosine = -0.866f;

constexpr float kSmallTurnCosine = 0.985f;
constexpr float kHalfFoldCosine = 0.2588f;

bool FoldsFurther(const Vec3f& beforeA, const Vec3f& beforeB, const Vec3f& afterA, const Vec3f& afterB) {
    const float after = Dot(afterA, afterB);
    return after < kFoldedCosine && after < Dot(beforeA, beforeB);
}

bool HasEdge(const Triangle& t, std::uint32_t u, std::uint32_t v) {
    return (t[0] == u || t[1] == u || t[2] == u) && (t[0] == v || t[1] == v || t[2] == v);
}

// Whether a triangle of the trial would fold against a neighbour across one
// of its edges: another triangle of the trial, or one the edit leaves alone.
bool TrialFolds(const EditableMesh& mesh, const std::vector<TrialTriangle>& trial, std::vector<std::uint32_t>& found) {
    const auto inTrial = [&](std::uint32_t t) {
        return std::any_of(trial.begin(), trial.end(), [t](const TrialTriangle& x) { return x.index == t; });
    };
    // Unit normals all within 75 degrees of the first one's lie within 150
    // of each other: then no two triangles of the trial can fold.
    const bool wide = std::any_of(trial.begin(), trial.end(), [&](const TrialTriangle& x) {
        return !(Dot(x.after, trial.front().after) >= kHalfFoldCosine);
    });
    for (std::size_t i = 0; i < trial.size(); ++i) {
        const TrialTriangle& mine = trial[i];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t u = mine.corners[k], v = mine.corners[(k + 1) % 3];
            bool shared = false;
            for (std::size_t j = 0; j < trial.size(); ++j) {
                if (j == i || !HasEdge(trial[j].corners, u, v)) continue;
                shared = true;
                if (wide && FoldsFurther(mine.before, trial[j].before, mine.after, trial[j].after)) return true;
            }
            // An edge the trial leaves on one side turns only as far as the
            // triangle does: one turned less than about 10 degrees cannot
            // fold a pair that was not all but folded, and looking its
            // neighbour up is most of the cost.
            if (shared || Dot(mine.before, mine.after) > kSmallTurnCosine) continue;
            found.clear();
            mesh.EdgeTriangles(u, v, found);
            for (const std::uint32_t t : found) {
                if (inTrial(t)) continue;
                const Vec3f n = UnitNormal(mesh, mesh.triangles[t]);
                if (FoldsFurther(mine.before, n, mine.after, n)) return true;
            }
        }
    }
    return false;
}

}  // namespace

IsotropicLimits MakeIsotropicLimits(float edgeLength) {
    return {edgeLength * 4.0f / 3.0f, edgeLength * 4.0f / 5.0f, edgeLength * edgeLength * 0.0001f};
}

std::uint32_t ClassifyEdge(const EditableMesh& mesh, const EditableEdge& edge, float featureCosine) {
    std::uint32_t flags = 0;
    if (edge.secondTriangle == kEditableNone) {
        flags |= kEdgeBoundary;
    } else if (edge.extraTriangles == 0) {
        const Vec3f n0 = UnitNormal(mesh, mesh.triangles[edge.firstTriangle]);
        const Vec3f n1 = UnitNormal(mesh, mesh.triangles[edge.secondTriangle]);
        if (!IsZero(n0) && !IsZero(n1) && Dot(n0, n1) < featureCosine) flags |= kEdgeFeature;
    }
    if (edge.extraTriangles > 0) flags |= kEdgeNonManifold;
    return flags;
}

std::uint64_t FlagSpecialVertices(const EditableMesh& mesh, const std::vector<EditableEdge>& edges, float featureCosine,
                                  std::vector<std::uint8_t>& vertexFlags) {
    vertexFlags.assign(mesh.positions.size(), 0);
    std::uint64_t features = 0;
    for (const EditableEdge& edge : edges) {
        const std::uint32_t flags = ClassifyEdge(mesh, edge, featureCosine);
        if (flags == 0) continue;
        vertexFlags[Low(edge.key)] = vertexFlags[High(edge.key)] = 1;
        if (flags & kEdgeFeature) ++features;
    }
    return features;
}

std::uint64_t SplitLongEdges(EditableMesh& mesh, float splitLimit) {
    const std::vector<EditableEdge> edges = mesh.CollectEdges();
    std::vector<std::uint32_t> slots(mesh.triangles.size() * 3, kEditableNone);
    std::uint64_t liveTriangles = 0;
    for (const std::uint8_t alive : mesh.triangleAlive) liveTriangles += alive;
    std::uint64_t splits = 0;
    for (const EditableEdge& edge : edges) {
        const std::uint32_t a = Low(edge.key), b = High(edge.key);
        if (!(Length(mesh.positions[a] - mesh.positions[b]) > splitLimit) || edge.extraTriangles != 0) continue;
        // Indices are 32-bit: a split that would take the vertex or index
        // count past that range would wrap indices and corrupt the mesh.
        if (mesh.positions.size() + 1 >= kMaxMeshElements || 3 * (liveTriangles + 2 * splits + 2) > kMaxMeshElements) {
            break;
        }
        const std::uint32_t mid = static_cast<std::uint32_t>(mesh.positions.size());
        mesh.positions.push_back((mesh.positions[a] + mesh.positions[b]) * 0.5f);
        mesh.vertexAlive.push_back(1);
        mesh.addedFaces.emplace_back();
        ++splits;
        for (const std::uint32_t t : {edge.firstTriangle, edge.secondTriangle}) {
            if (t == kEditableNone) continue;
            const Triangle& tri = mesh.triangles[t];
            for (int k = 0; k < 3; ++k) {
                if (EdgeKey(tri[k], tri[(k + 1) % 3]) == edge.key) {
                    slots[3 * t + k] = mid;
                    break;
                }
            }
        }
    }
    if (splits == 0) return 0;

    std::vector<Triangle> subdivided;
    subdivided.reserve(liveTriangles + 2 * splits);
    for (std::size_t t = 0; t < mesh.triangles.size(); ++t) {
        if (mesh.triangleAlive[t]) Subdivide(mesh, mesh.triangles[t], &slots[3 * t], subdivided);
    }
    mesh.triangles = std::move(subdivided);
    mesh.triangleAlive.assign(mesh.triangles.size(), 1);
    return splits;
}

std::uint64_t CollapseShortEdges(EditableMesh& mesh, const std::vector<EditableEdge>& edges,
                                 const IsotropicLimits& limits, const std::vector<std::uint8_t>& vertexFlags,
                                 float featureCosine) {
    std::vector<std::uint32_t> triangles, ringKeep, ringRemove, common, found;
    std::vector<TrialTriangle> trial;
    std::uint64_t collapses = 0;
    for (const EditableEdge& edge : edges) {
        const std::uint32_t a = Low(edge.key), b = High(edge.key);
        if (!mesh.vertexAlive[a] || !mesh.vertexAlive[b]) continue;
        if (!(Length(mesh.positions[b] - mesh.positions[a]) < limits.collapse)) continue;
        SortedEdgeTriangles(mesh, a, b, triangles);
        if (triangles.size() != 2 || IsFeatureEdge(mesh, triangles, featureCosine)) continue;
        if (vertexFlags[a] && vertexFlags[b]) continue;
        const std::uint32_t keep = vertexFlags[b] ? b : a;
        const std::uint32_t remove = keep == a ? b : a;
        const Vec3f target = vertexFlags[keep] ? mesh.positions[keep] : (mesh.positions[a] + mesh.positions[b]) * 0.5f;

        mesh.OneRing(keep, ringKeep);
        mesh.OneRing(remove, ringRemove);
        common.clear();
        std::set_intersection(ringKeep.begin(), ringKeep.end(), ringRemove.begin(), ringRemove.end(),
                              std::back_inserter(common));
        if (!mesh.HasEdgeTriangleCount(keep, remove, common)) continue;

        // Trial: judge every surviving triangle around both ends with both
        // ends at the target, and keep what the fold test needs of each.
        const Vec3f keepAt = mesh.positions[keep], removeAt = mesh.positions[remove];
        bool refused = false;
        trial.clear();
        auto judge = [&](std::uint32_t t) {
            if (refused) return;
            const Triangle& tri = mesh.triangles[t];
            if (mesh.Contains(t, keep) && mesh.Contains(t, remove)) return;
            Vec3f before[3], after[3];
            for (int k = 0; k < 3; ++k) {
                const bool moved = tri[k] == keep || tri[k] == remove;
                before[k] = tri[k] == keep ? keepAt : (tri[k] == remove ? removeAt : mesh.positions[tri[k]]);
                after[k] = moved ? target : mesh.positions[tri[k]];
            }
            const Vec3f crossBefore = Cross(before[1] - before[0], before[2] - before[0]);
            const Vec3f crossAfter = Cross(after[1] - after[0], after[2] - after[0]);
            const Vec3f n = Normalize(crossBefore), n2 = Normalize(crossAfter);
            if (!IsZero(n) && (IsZero(n2) || Dot(n, n2) < 0.2f)) refused = true;
            for (int k = 0; k < 3 && !refused; ++k) {
                if (Length(after[(k + 1) % 3] - after[k]) > limits.split) refused = true;
            }
            const float areaAfter = Length(crossAfter);
            if (areaAfter < limits.smallestDoubledArea && areaAfter < Length(crossBefore)) refused = true;
            // A listed triangle may be listed twice, or no longer hold either end.
            if (!mesh.Contains(t, keep) && !mesh.Contains(t, remove)) return;
            if (std::any_of(trial.begin(), trial.end(), [t](const TrialTriangle& x) { return x.index == t; })) return;
            Triangle corners = tri;
            for (std::uint32_t& c : corners) c = c == remove ? keep : c;
            trial.push_back({t, corners, n, n2});
        };
        mesh.ForEachListedTriangle(keep, judge);
        mesh.ForEachListedTriangle(remove, judge);
        if (refused) continue;
        if (TrialFolds(mesh, trial, found)) continue;

        mesh.positions[keep] = target;
        mesh.CollapseVertex(remove, keep);
        ++collapses;
    }
    return collapses;
}

std::uint64_t FlipEdgesForShape(EditableMesh& mesh, const std::vector<EditableEdge>& edges,
                                const std::vector<std::uint8_t>& vertexFlags, float featureCosine, float splitLimit) {
    const std::uint32_t vertexCount = mesh.VertexCount();
    std::vector<std::int64_t> valence(vertexCount, 0);
    // Blocks of vertices in parallel, each with its own ring buffer; the
    // buffers allocate, so the blocks run through ForEachChunk.
    constexpr std::uint32_t kBlock = 4096;
    ForEachChunk(vertexCount, kBlock, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t> ring;
        for (auto v = static_cast<std::uint32_t>(begin); v < end; ++v) {
            if (!mesh.vertexAlive[v]) continue;
            mesh.OneRing(v, ring);
            valence[v] = static_cast<std::int64_t>(ring.size());
        }
    });
    std::vector<std::uint32_t> triangles, existing, found;
    std::vector<TrialTriangle> trial;
    std::uint64_t flips = 0;
    auto opposite = [&](std::uint32_t t, std::uint32_t a, std::uint32_t b) {
        for (const std::uint32_t c : mesh.triangles[t]) {
            if (c != a && c != b) return c;
        }
        return kEditableNone;
    };
    for (const EditableEdge& edge : edges) {
        const std::uint32_t a = Low(edge.key), b = High(edge.key);
        if (!mesh.vertexAlive[a] || !mesh.vertexAlive[b] || (vertexFlags[a] && vertexFlags[b])) continue;
        SortedEdgeTriangles(mesh, a, b, triangles);
        if (triangles.size() != 2 || IsFeatureEdge(mesh, triangles, featureCosine)) continue;
        const std::uint32_t t0 = triangles[0], t1 = triangles[1];
        const std::uint32_t c = opposite(t0, a, b), d = opposite(t1, a, b);
        if (c == kEditableNone || d == kEditableNone || c == d) continue;
        existing.clear();
        mesh.EdgeTriangles(c, d, existing);
        if (!existing.empty()) continue;

        auto deviation = [&](std::int64_t da, std::int64_t db, std::int64_t dc, std::int64_t dd) {
            return std::llabs(valence[a] - da) + std::llabs(valence[b] - db) + std::llabs(valence[c] - dc) +
                   std::llabs(valence[d] - dd);
        };
        if (!(deviation(7, 7, 5, 5) < deviation(6, 6, 6, 6))) continue;

        const auto& x = mesh.positions;
        const Vec3f n0 = UnitNormal(x[a], x[d], x[c]);
        const Vec3f n1 = UnitNormal(x[b], x[c], x[d]);
        if (IsZero(n0) || IsZero(n1)) continue;
        if (Dot(n0, UnitNormal(mesh, mesh.triangles[t0])) < 0.5f ||
            Dot(n1, UnitNormal(mesh, mesh.triangles[t1])) < 0.5f)
            continue;
        if (Length(x[c] - x[d]) > splitLimit) continue;
        trial.assign({{t0, {a, d, c}, UnitNormal(mesh, mesh.triangles[t0]), n0},
                      {t1, {b, c, d}, UnitNormal(mesh, mesh.triangles[t1]), n1}});
        if (TrialFolds(mesh, trial, found)) continue;

        mesh.triangles[t0] = {a, d, c};
        mesh.triangles[t1] = {b, c, d};
        mesh.addedFaces[c].push_back(t1);
        mesh.addedFaces[d].push_back(t0);
        --valence[a];
        --valence[b];
        ++valence[c];
        ++valence[d];
        ++flips;
    }
    return flips;
}

}  // namespace ridgeforge::mesh
