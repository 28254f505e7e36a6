// Flat-area simplification: candidates are the vertices inside one planar
// region; each sweep collapses every candidate that is still a closed fan of
// one region onto the ring neighbour that leaves the tallest smallest
// triangle, touching its neighbourhood so that no two collapses of a sweep
// interact. Vertices are only ever removed, never moved.
#include "mesh/simplify/SimplifyFlatAreas.h"

#include <algorithm>
#include <cmath>

#include "mesh/EditableMesh.h"
#include "mesh/simplify/PlanarRegions.h"

namespace ridgeforge::mesh {
namespace {

enum : std::uint8_t { kFree = 0, kLocked = 1, kRegionBorder = 2 };

void StoreBounds(const TriangleMesh& mesh, float out[6]) {
    for (int i = 0; i < 3; ++i) {
        out[i] = mesh.boundsMin[i];
        out[3 + i] = mesh.boundsMax[i];
    }
}

// Twice the area over the longest edge; 0 for a zero-length edge.
double TriangleHeight(const Vec3d& a, const Vec3d& b, const Vec3d& c) {
    const double longest = std::max({Length(b - a), Length(c - b), Length(a - c)});
    return longest > 0.0 ? Length(Cross(b - a, c - a)) / longest : 0.0;
}

// Vectors kept by vertex for a handful of vertices at a time: looked up by
// reading the few keys in turn.
class CornerSums {
public:
    void Clear() {
        vertices_.clear();
        sums_.clear();
    }

    template <typename Compute>
    Vec3d Get(std::uint32_t vertex, const Compute& compute) {
        for (std::size_t i = 0; i < vertices_.size(); ++i) {
            if (vertices_[i] == vertex) return sums_[i];
        }
        vertices_.push_back(vertex);
        sums_.push_back(compute());
        return sums_.back();
    }

private:
    std::vector<std::uint32_t> vertices_;
    std::vector<Vec3d> sums_;
};

class FlatAreaSimplifier {
public:
    FlatAreaSimplifier(const TriangleMesh& mesh, const std::vector<std::uint32_t>& regionOfTriangle,
                       const std::vector<std::uint8_t>& flags, const SimplifySettings& settings,
                       FlatAreaSimplifyReport& report)
        : editable_(mesh), regions_(regionOfTriangle), flags_(flags), settings_(settings), report_(report) {}

    // False when the poll said stop.
    bool SetUp(ProgressPoll& poll) {
        editable_.RebuildVertexFaces();
        if (!poll.Check(0.0f)) return false;
        const std::uint32_t n = editable_.VertexCount();
        valence_.resize(n);
        for (std::uint32_t v = 0; v < n; ++v) {
            if (!poll.Tick(0.0f)) return false;
            editable_.OneRing(v, ring_);
            valence_[v] = static_cast<std::uint32_t>(ring_.size());
            if (flags_[v] == kFree) candidates_.push_back(v);
        }
        touched_.assign(n, 0);
        stamp_.assign(n, 0);
        for (const std::uint32_t v : candidates_) {
            if (!poll.Tick(0.0f)) return false;
            report_.removableVertices += IsRemovableVertex(v) ? 1 : 0;
        }
        return true;
    }

    // Asks the poll before each sweep and now and then within one; a stop
    // keeps the collapses made so far.
    void Run(ProgressPoll& poll) {
        const std::int32_t sweepLimit = std::max(1, settings_.maximumSweeps);
        for (std::int32_t s = 0;; ++s) {
            const float fraction = static_cast<float>(s) / static_cast<float>(sweepLimit);
            if (!poll.Ask(fraction)) break;
            const std::uint64_t before = report_.collapses;
            Sweep(poll, fraction);
            if (poll.Stopped()) break;
            ++report_.sweeps;
            if (report_.collapses == before || candidates_.empty() || s + 1 >= sweepLimit) break;
        }
        report_.cancelled = poll.Stopped();
    }

    const EditableMesh& Mesh() const { return editable_; }

private:
    void FacesAroundVertex(std::uint32_t v, std::vector<std::uint32_t>& out) const {
        out.clear();
        editable_.ForEachListedTriangle(v, [&](std::uint32_t t) {
            if (editable_.Contains(t, v)) out.push_back(t);
        });
    }

    bool IsRemovableVertex(std::uint32_t v) {
        if (!editable_.vertexAlive[v] || flags_[v] != kFree) return false;
        FacesAroundVertex(v, faces_);
        if (faces_.size() <= 4) return false;
        const std::uint32_t region = regions_[faces_[0]];
        if (region == kNoRegion) return false;
        for (const std::uint32_t t : faces_) {
            if (regions_[t] != region) return false;
        }
        editable_.OneRing(v, ring_);
        return ring_.size() == faces_.size();
    }

    // Link condition of collapsing v onto u: the triangles holding both are as
    // many as the vertices both rings share, so the collapse pinches nothing.
    bool PassesLink(std::uint32_t v, std::uint32_t u) {
        if (++stampValue_ == 0) {
            std::fill(stamp_.begin(), stamp_.end(), 0u);
            stampValue_ = 1;
        }
        for (const std::uint32_t w : ring_) stamp_[w] = stampValue_;
        common_.clear();
        editable_.ForEachListedTriangle(u, [&](std::uint32_t t) {
            if (!editable_.Contains(t, u)) return;
            for (const std::uint32_t w : editable_.triangles[t]) {
                if (w != u && stamp_[w] == stampValue_) {
                    common_.push_back(w);
                    stamp_[w] = 0;
                }
            }
        });
        return editable_.HasEdgeTriangleCount(v, u, common_);
    }

    // The lowest height of v's triangles after moving v onto u, or a negative
    // value when a test refuses (and counts) the collapse.
    double LowestNewHeight(std::uint32_t v, std::uint32_t u) {
        double lowest = 1e300;
        const Vec3d target = ToDouble(editable_.positions[u]);
        for (const std::uint32_t t : faces_) {
            if (editable_.Contains(t, u)) continue;
            Vec3d before[3], after[3];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t c = editable_.triangles[t][k];
                before[k] = ToDouble(editable_.positions[c]);
                after[k] = c == v ? target : before[k];
            }
            const Vec3d n0 = Cross(before[1] - before[0], before[2] - before[0]);
            const Vec3d n1 = Cross(after[1] - after[0], after[2] - after[0]);
            if (!(Dot(n0, n1) > 0.0)) {
                ++report_.refusedFlip;
                return -1.0;
            }
            const double height = TriangleHeight(after[0], after[1], after[2]);
            if (height < settings_.minimumTriangleHeightMillimetres) {
                ++report_.refusedHeight;
                return -1.0;
            }
            lowest = std::min(lowest, height);
        }
        return lowest;
    }

    // The save check calls a triangle folded when it faces away from the sum of
    // the normals (weighted by area) at its corners by more than about 107
    // degrees. Merging a flat area into a few large triangles can tip that sum
    // against a small neighbour across a sharp rim, though no triangle turns:
    // refused when some triangle on the fan's vertices would newly be folded,
    // with a little margin for the result's rounding. A triangle whose corners
    // are all inside one region needs no test while the region's normals
    // spread over less than 106 degrees: every sum at its corners then lies
    // within that angle of it.
    Vec3d NormalAfter(std::uint32_t t, std::uint32_t v, std::uint32_t u) const {
        Vec3d c[3];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t w = editable_.triangles[t][k];
            c[k] = ToDouble(editable_.positions[w == v ? u : w]);
        }
        return Cross(c[1] - c[0], c[2] - c[0]);
    }

    // The sum at w after collapsing v onto u (v == u: as it stands).
    Vec3d SumAfter(std::uint32_t w, std::uint32_t v, std::uint32_t u) const {
        Vec3d sum;
        const auto add = [&](std::uint32_t t, bool skipHoldingU) {
            if (!editable_.triangleAlive[t] || !editable_.Contains(t, w)) return;
            const bool hasV = v != u && editable_.Contains(t, v), hasU = editable_.Contains(t, u);
            if (hasV && hasU && v != u) return;  // dies with the collapse
            if (skipHoldingU && hasU) return;
            sum += hasV ? NormalAfter(t, v, u) : NormalAfter(t, kEditableNone, kEditableNone);
        };
        editable_.ForEachListedTriangle(w, [&](std::uint32_t t) { add(t, false); });
        if (w == u && v != u) {
            editable_.ForEachListedTriangle(v, [&](std::uint32_t t) {
                if (editable_.triangleAlive[t] && editable_.Contains(t, v) && !editable_.Contains(t, u))
                    sum += NormalAfter(t, v, u);
            });
        }
        return sum;
    }

    bool FoldsAfter(std::uint32_t v, std::uint32_t u) {
        constexpr double kFoldedBefore = 0.3, kFoldedAfter = 0.29;
        const auto facesAway = [](const Vec3d& n, const Vec3d& s, double limit) {
            const double d = Dot(n, s);
            return d < 0.0 && d * d > limit * limit * Dot(n, n) * Dot(s, s);
        };
        const bool allNeedTest = std::clamp(settings_.planarAngleDegrees, 0.0f, 90.0f) > 53.0f;
        tested_.clear();
        const auto test = [&](std::uint32_t t) {
            if (!editable_.triangleAlive[t] || (editable_.Contains(t, v) && editable_.Contains(t, u))) return false;
            if (std::find(tested_.begin(), tested_.end(), t) != tested_.end()) return false;
            tested_.push_back(t);
            bool needed = allNeedTest;
            for (const std::uint32_t c : editable_.triangles[t]) needed = needed || flags_[c] != kFree;
            if (!needed) return false;
            Vec3d before, after;
            for (const std::uint32_t c : editable_.triangles[t]) {
                before += beforeSums_.Get(c, [&] { return SumAfter(c, c, c); });
                // v's sum after the collapse is u's.
                const std::uint32_t at = c == v ? u : c;
                after += afterSums_.Get(at, [&] { return SumAfter(at, v, u); });
            }
            return facesAway(NormalAfter(t, v, u), after, kFoldedAfter) &&
                   !facesAway(NormalAfter(t, kEditableNone, kEditableNone), before, kFoldedBefore);
        };
        afterSums_.Clear();
        bool folds = false;
        for (const std::uint32_t w : ring_) {
            editable_.ForEachListedTriangle(w, [&](std::uint32_t t) {
                if (!folds && editable_.Contains(t, w)) folds = test(t);
            });
            if (folds) break;
        }
        return folds;
    }

    // Every listed triangle of v holds v here (nothing but collapses edits the
    // mesh), so the listed ones are exactly faces_.
    void Collapse(std::uint32_t v, std::uint32_t u) {
        editable_.CollapseVertex(v, u);
        ++report_.collapses;
        touched_[v] = touched_[u] = 1;
        for (const std::uint32_t w : ring_) touched_[w] = 1;
        editable_.OneRing(u, scratch_);
        valence_[u] = static_cast<std::uint32_t>(scratch_.size());
    }

    // A stop leaves the candidates as they were, less any that collapsed.
    void Sweep(ProgressPoll& poll, float fraction) {
        std::fill(touched_.begin(), touched_.end(), 0);
        std::vector<std::uint32_t> carried;
        const std::uint32_t valenceLimit = static_cast<std::uint32_t>(std::max(3, settings_.maximumValence));
        for (const std::uint32_t v : candidates_) {
            if (!poll.Tick(fraction)) {
                if (editable_.vertexAlive[v]) carried.push_back(v);
                continue;
            }
            if (!editable_.vertexAlive[v]) continue;
            if (touched_[v]) {
                carried.push_back(v);
                continue;
            }
            if (!IsRemovableVertex(v)) {  // leaves faces_ and ring_ filled for v
                ++report_.noTarget;
                carried.push_back(v);
                continue;
            }
            std::uint32_t winner = kEditableNone;
            double best = -1.0;
            bool refused = false;
            const std::vector<std::uint32_t> ring = ring_;
            beforeSums_.Clear();
            for (const std::uint32_t u : ring) {
                if (!editable_.vertexAlive[u] || touched_[u]) continue;
                ring_ = ring;
                if (!PassesLink(v, u)) {
                    refused = true;
                    continue;
                }
                if (valence_[u] + (ring.size() - 2) > valenceLimit) {
                    ++report_.refusedValence;
                    refused = true;
                    continue;
                }
                const double height = LowestNewHeight(v, u);
                if (height < 0.0) {
                    refused = true;
                    continue;
                }
                if (height > best && FoldsAfter(v, u)) {
                    ++report_.refusedFlip;
                    refused = true;
                    continue;
                }
                if (height > best) {
                    best = height;
                    winner = u;
                }
            }
            ring_ = ring;
            if (winner == kEditableNone) {
                if (!refused) ++report_.noTarget;
                carried.push_back(v);
                continue;
            }
            Collapse(v, winner);
        }
        candidates_ = std::move(carried);
    }

    EditableMesh editable_;
    const std::vector<std::uint32_t>& regions_;
    const std::vector<std::uint8_t>& flags_;
    const SimplifySettings& settings_;
    FlatAreaSimplifyReport& report_;
    std::vector<std::uint32_t> valence_;
    std::vector<std::uint32_t> candidates_;
    std::vector<std::uint8_t> touched_;
    std::vector<std::uint32_t> stamp_;
    std::uint32_t stampValue_ = 0;
    std::vector<std::uint32_t> faces_, ring_, common_, scratch_, tested_;
    // The sums at the corners of the triangles a fold test reads, each
    // worked out once: neighbouring triangles share corners, and the sums
    // before a collapse are the same for every ring neighbour it is tried
    // onto. Those before hold from one candidate's first try to its last
    // (the mesh does not change in between), those after for one try.
    CornerSums beforeSums_, afterSums_;
};

std::vector<std::uint8_t> LockFlags(const TriangleMesh& mesh, const std::vector<std::uint32_t>& neighbours,
                                    const std::vector<std::uint32_t>& regionOfTriangle,
                                    const std::vector<std::uint8_t>* textured, FlatAreaSimplifyReport& report) {
    const std::size_t triangleCount = mesh.indices.size() / 3;
    std::vector<std::uint8_t> flags(mesh.vertices.size(), kFree);
    for (std::size_t s = 0; s < 3 * triangleCount; ++s) {
        if (neighbours[s] != kNoRegion) continue;
        flags[mesh.indices[s]] = kLocked;
        flags[mesh.indices[s - s % 3 + (s % 3 + 1) % 3]] = kLocked;
    }
    if (textured) {
        report.facesKeptForTexture =
            std::count_if(textured->begin(), textured->end(), [](std::uint8_t b) { return b != 0; });
    }
    std::vector<std::uint32_t> firstRegion(mesh.vertices.size(), kNoRegion);
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const std::uint32_t region = regionOfTriangle[t];
        const bool lock = region == kNoRegion || (textured && (*textured)[t] != 0);
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = mesh.indices[3 * t + k];
            if (lock) flags[v] = kLocked;
            if (firstRegion[v] == kNoRegion)
                firstRegion[v] = region;
            else if (firstRegion[v] != region && flags[v] == kFree)
                flags[v] = kRegionBorder;
        }
    }
    return flags;
}

}  // namespace

FlatAreaSimplifyReport SimplifyFlatAreas(TriangleMesh& mesh, const TextureCoverage* coverage,
                                         const SimplifySettings& settings, const ProgressCallback& progress) {
    FlatAreaSimplifyReport report;
    report.trianglesBefore = report.trianglesAfter = mesh.indices.size() / 3;
    report.verticesBefore = report.verticesAfter = mesh.vertices.size();
    StoreBounds(mesh, report.boundsBefore);
    StoreBounds(mesh, report.boundsAfter);
    // Reading a part of millions of triangles takes seconds before the first
    // sweep; a stop then leaves the mesh as it was.
    ProgressPoll poll(progress, "Simplifying flat areas");
    const auto stopped = [&report] {
        report.cancelled = true;
        return report;
    };
    report.volumeBefore = report.volumeAfter = MeshVolume(mesh);
    report.areaBefore = report.areaAfter = MeshArea(mesh);
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return report;
    if (!poll.Check(0.0f)) return stopped();
    const std::vector<std::uint32_t> neighbours = EdgeNeighbours(mesh);
    if (!poll.Check(0.0f)) return stopped();
    const PlanarRegions regions = FindPlanarRegions(mesh, settings, neighbours, &poll);
    if (poll.Stopped()) return stopped();
    report.planarRegions = regions.count;
    report.facesInPlanarRegions =
        static_cast<std::uint64_t>(std::count_if(regions.regionOfTriangle.begin(), regions.regionOfTriangle.end(),
                                                 [](std::uint32_t r) { return r != kNoRegion; }));
    const std::vector<std::uint8_t>* textured =
        coverage && coverage->texturedFaces.size() == report.trianglesBefore ? &coverage->texturedFaces : nullptr;
    const std::vector<std::uint8_t> flags = LockFlags(mesh, neighbours, regions.regionOfTriangle, textured, report);

    FlatAreaSimplifier simplifier(mesh, regions.regionOfTriangle, flags, settings, report);
    if (!simplifier.SetUp(poll)) return stopped();
    simplifier.Run(poll);

    const EditableMesh& edited = simplifier.Mesh();
    TriangleMesh result;
    std::vector<std::uint32_t> newIndex(edited.VertexCount(), kEditableNone);
    for (std::uint32_t v = 0; v < edited.VertexCount(); ++v) {
        if (!edited.vertexAlive[v]) continue;
        newIndex[v] = static_cast<std::uint32_t>(result.vertices.size());
        result.vertices.push_back(mesh.vertices[v]);
        report.vertexMap.push_back(v);
    }
    for (std::uint32_t t = 0; t < edited.TriangleCount(); ++t) {
        if (!edited.triangleAlive[t]) continue;
        const auto& tri = edited.triangles[t];
        if (tri[0] == tri[1] || tri[1] == tri[2] || tri[2] == tri[0]) continue;
        if (newIndex[tri[0]] == kEditableNone || newIndex[tri[1]] == kEditableNone || newIndex[tri[2]] == kEditableNone)
            continue;
        for (const std::uint32_t c : tri) result.indices.push_back(newIndex[c]);
        report.faceMap.push_back(t);
    }
    result.RecomputeBounds();
    if (!settings.preserveVertexNormals) result.RecomputeNormals();

    for (std::size_t i = 0; i < result.vertices.size(); ++i) {
        if (!(result.vertices[i].position == edited.positions[report.vertexMap[i]])) ++report.survivingVerticesMoved;
    }
    mesh = std::move(result);
    report.trianglesAfter = mesh.indices.size() / 3;
    report.verticesAfter = mesh.vertices.size();
    StoreBounds(mesh, report.boundsAfter);
    report.volumeAfter = MeshVolume(mesh);
    report.areaAfter = MeshArea(mesh);
    return report;
}

}  // namespace ridgeforge::mesh
