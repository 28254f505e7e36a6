// Validation. Triangles are joined across edges used by exactly two of them;
// a breadth-first walk over those joins gives each triangle a flip (whether it
// must be turned over to agree with where the walk started), the components,
// and orientability (a triangle reached with both flips). A closed component
// whose corrected volume is negative is turned over as a whole, so that the
// flips name the triangles that face inwards.
#include "relief/validation/ValidateMesh.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <limits>
#include <utility>

#include "text/Format.h"
#include "mesh/MeshHygiene.h"
#include "mesh/ParallelChunks.h"
#include "mesh/SortUnique.h"
#include "relief/validation/SelfIntersections.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// The triangle across each of a triangle's three edges, per index slot
// (slot 3t + k is the edge from corner k to corner k + 1), and whether the two
// run that edge in opposite directions.
struct EdgeJoins {
    std::vector<std::uint32_t> other;
    std::vector<std::uint8_t> consistent;
};

std::size_t NextSlot(std::size_t slot) { return slot % 3 == 2 ? slot - 2 : slot + 1; }

void AddEdgePoints(std::vector<Vec3f>& points, const TriangleMesh& mesh, std::uint64_t key) {
    points.push_back(mesh.vertices[key >> 32].position);
    points.push_back(mesh.vertices[key & 0xFFFFFFFFu].position);
}

// Serial passes poll once per this many items: often enough to answer a
// stop at once, rarely enough to cost nothing.
constexpr std::size_t kPollEvery = 4096;

void PollNow(std::size_t item, CancelContext* cancel) {
    if (item % kPollEvery == 0) ThrowIfStopped(cancel);
}

EdgeJoins ReadEdges(const TriangleMesh& mesh, ValidationReport& report, CancelContext* cancel) {
    const std::size_t slots = mesh.indices.size();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> uses(slots);
    for (std::size_t s = 0; s < slots; ++s) {
        uses[s] = {EdgeKey(mesh.indices[s], mesh.indices[NextSlot(s)]), static_cast<std::uint32_t>(s)};
    }
    ThrowIfStopped(cancel);
    std::sort(std::execution::par, uses.begin(), uses.end());
    ThrowIfStopped(cancel);
    EdgeJoins joins{std::vector<std::uint32_t>(slots, kNone), std::vector<std::uint8_t>(slots, 0)};
    for (std::size_t i = 0; i < slots;) {
        PollNow(i, cancel);
        std::size_t j = i + 1;
        while (j < slots && uses[j].first == uses[i].first) ++j;
        if (j - i == 1) {
            AddEdgePoints(report.openEdgePoints, mesh, uses[i].first);
        } else if (j - i > 2) {
            AddEdgePoints(report.nonManifoldEdgePoints, mesh, uses[i].first);
        } else {
            const std::uint32_t s1 = uses[i].second, s2 = uses[i + 1].second;
            const bool up1 = mesh.indices[s1] < mesh.indices[NextSlot(s1)];
            const bool up2 = mesh.indices[s2] < mesh.indices[NextSlot(s2)];
            const bool consistent = up1 != up2;
            if (!consistent) ++report.windingConflictEdges;
            joins.other[s1] = s2 / 3;
            joins.other[s2] = s1 / 3;
            joins.consistent[s1] = joins.consistent[s2] = consistent ? 1 : 0;
        }
        i = j;
    }
    return joins;
}

double TripleProduct(const Vec3f& a, const Vec3f& b, const Vec3f& c) {
    return Dot(ToDouble(a), Cross(ToDouble(b), ToDouble(c)));
}

// A body encloses no volume when all its corners lie on one plane: a lone
// triangle, an open sheet, a sheet closed by its own mirror image. (A bent
// sheet lying on its own back shares each inner edge four times, and then it
// is not one body.) Float corners put coplanar points off their plane by a
// few parts in ten million of the size, hence the share. The share alone
// would call a 20 mm cube flat once one stray corner stretches it to 1e10 mm,
// so no body thicker than a hundredth of a millimetre counts as flat.
constexpr double kFlatShare = 1e-5;
constexpr double kFlatMillimetres = 0.01;

// The diagonal of the box round the triangles' corners.
double Across(const TriangleMesh& mesh, const std::vector<std::uint32_t>& triangles) {
    Vec3d low = ToDouble(mesh.vertices[mesh.indices[3 * std::size_t{triangles[0]}]].position), high = low;
    for (std::uint32_t t : triangles) {
        for (std::size_t k = 0; k < 3; ++k) {
            const Vec3d p = ToDouble(mesh.vertices[mesh.indices[3 * std::size_t{t} + k]].position);
            low = Min(low, p);
            high = Max(high, p);
        }
    }
    return Length(high - low);
}

// Every corner within a small share of the size from the plane of the
// largest triangle; a body of triangles without area is flat as well.
bool IsFlat(const TriangleMesh& mesh, const std::vector<std::uint32_t>& triangles) {
    const auto corner = [&mesh](std::uint32_t t, std::size_t k) {
        return ToDouble(mesh.vertices[mesh.indices[3 * std::size_t{t} + k]].position);
    };
    Vec3d normal{}, origin = corner(triangles[0], 0);
    double largest = 0.0;
    for (std::uint32_t t : triangles) {
        const Vec3d n = Cross(corner(t, 1) - corner(t, 0), corner(t, 2) - corner(t, 0));
        if (const double area = Length(n); area > largest) {
            largest = area;
            normal = n / area;
            origin = corner(t, 0);
        }
    }
    if (!(largest > 0.0)) return true;
    const double limit = std::min(kFlatShare * Across(mesh, triangles), kFlatMillimetres);
    for (std::uint32_t t : triangles) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (std::abs(Dot(corner(t, k) - origin, normal)) > limit) return false;
        }
    }
    return true;
}

// Components, orientability and the triangles to turn over.
void OrientComponents(const TriangleMesh& mesh, const EdgeJoins& joins, ValidationReport& report,
                      CancelContext* cancel) {
    const std::size_t n = mesh.TriangleCount();
    report.componentOfTriangle.assign(n, kNone);
    std::vector<std::uint8_t> flip(n, 0);
    std::vector<std::uint32_t> members;
    for (std::size_t start = 0; start < n; ++start) {
        PollNow(start, cancel);
        if (report.componentOfTriangle[start] != kNone) continue;
        const auto component = static_cast<std::uint32_t>(report.componentCount++);
        members.assign(1, static_cast<std::uint32_t>(start));
        report.componentOfTriangle[start] = component;
        bool closed = true;
        for (std::size_t q = 0; q < members.size(); ++q) {
            PollNow(q + 1, cancel);
            const std::uint32_t t = members[q];
            for (std::size_t s = 3 * std::size_t{t}; s < 3 * std::size_t{t} + 3; ++s) {
                const std::uint32_t u = joins.other[s];
                if (u == kNone) {
                    closed = false;
                    continue;
                }
                const std::uint8_t wanted = joins.consistent[s] ? flip[t] : !flip[t];
                if (report.componentOfTriangle[u] == kNone) {
                    report.componentOfTriangle[u] = component;
                    flip[u] = wanted;
                    members.push_back(u);
                } else if (flip[u] != wanted) {
                    report.orientable = false;
                }
            }
        }
        if (!closed) {
            if (IsFlat(mesh, members)) ++report.bodiesWithoutVolume;
            continue;
        }
        double volume = 0.0;
        for (std::uint32_t t : members) {
            const Vec3f& a = mesh.vertices[mesh.indices[3 * std::size_t{t}]].position;
            const Vec3f& b = mesh.vertices[mesh.indices[3 * std::size_t{t} + 1]].position;
            const Vec3f& c = mesh.vertices[mesh.indices[3 * std::size_t{t} + 2]].position;
            volume += flip[t] ? TripleProduct(a, c, b) : TripleProduct(a, b, c);
        }
        if (IsFlat(mesh, members)) ++report.bodiesWithoutVolume;
        if (volume / 6.0 < 0.0) {
            for (std::uint32_t t : members) flip[t] = !flip[t];
        }
    }
    for (std::size_t t = 0; t < n; ++t) {
        if (!flip[t]) continue;
        report.reversedTriangles.push_back(static_cast<std::uint32_t>(t));
        for (int k = 0; k < 3; ++k)
            report.reversedTrianglePoints.push_back(mesh.vertices[mesh.indices[3 * t + k]].position);
    }
}

// 1 for an equilateral triangle, towards 0 as it thins; 0 without extent.
double TriangleQuality(const Vec3f& a, const Vec3f& b, const Vec3f& c) {
    const Vec3d ab = ToDouble(b) - ToDouble(a), ac = ToDouble(c) - ToDouble(a), bc = ToDouble(c) - ToDouble(b);
    const double squares = LengthSquared(ab) + LengthSquared(ac) + LengthSquared(bc);
    if (!(squares > 0.0)) return 0.0;
    return Length(Cross(ab, ac)) * 0.5 * 6.928203 / squares;
}

// Chunks measure in parallel; their counts add up and their degenerate
// corners join in chunk order, so in triangle order.
void MeasureTriangles(const TriangleMesh& mesh, float sliverThreshold, ValidationReport& report,
                      CancelContext* cancel) {
    struct Found {
        std::uint64_t slivers = 0;
        std::uint64_t degenerate = 0;
        std::vector<Vec3f> points;
    };
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<Found> chunks((triangles + kParallelChunk - 1) / kParallelChunk);
    ForEachChunk(triangles, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        ThrowIfStopped(cancel);
        Found& found = chunks[begin / kParallelChunk];
        for (std::size_t t = begin; t < end; ++t) {
            const Vec3f& a = mesh.vertices[mesh.indices[3 * t]].position;
            const Vec3f& b = mesh.vertices[mesh.indices[3 * t + 1]].position;
            const Vec3f& c = mesh.vertices[mesh.indices[3 * t + 2]].position;
            const double quality = TriangleQuality(a, b, c);
            if (quality > 0.0 && mesh.FaceNormal(t) != Vec3f{}) {
                if (static_cast<double>(sliverThreshold) > quality) ++found.slivers;
            } else {
                ++found.degenerate;
                found.points.insert(found.points.end(), {a, b, c});
            }
        }
    });
    for (const Found& found : chunks) {
        report.sliverTriangles += found.slivers;
        report.degenerateTriangles += found.degenerate;
        report.degenerateTrianglePoints.insert(report.degenerateTrianglePoints.end(), found.points.begin(),
                                               found.points.end());
    }
}

std::uint64_t CountUnreferencedVertices(const TriangleMesh& mesh) {
    std::vector<std::uint8_t> used(mesh.vertices.size(), 0);
    for (std::uint32_t i : mesh.indices) used[i] = 1;
    return static_cast<std::uint64_t>(std::count(used.begin(), used.end(), std::uint8_t{0}));
}

void AddFindings(const ValidationOptions& options, ValidationReport& r) {
    if (r.edges.nonManifoldEdges > 0) {
        r.AddProblem(FormatCount(r.edges.nonManifoldEdges) + " edges are shared by more than two triangles.",
                     "Displacement moves each vertex along one normal, and a branching edge has no single surface "
                     "to be normal to. Repair splits them where two solids touch along an edge; what it leaves "
                     "needs fixing in the modelling tool.");
    }
    if (!r.orientable) {
        r.AddProblem("The surface cannot be given a consistent inside and outside.",
                     "No arrangement of face windings works everywhere on this mesh, so outward displacement is "
                     "not defined. This needs fixing in the modelling tool.");
    }
    if (r.bodiesWithoutVolume > 0) {
        r.AddProblem(FormatCount(r.bodiesWithoutVolume) + " bodies enclose no volume.",
                     "A print needs a solid, and these are flat, or two sides lying on each other. Repair cannot "
                     "give them a thickness; that needs the modelling tool.");
    }
    if (r.degenerateTriangles > 0) {
        r.AddCaution(FormatCount(r.degenerateTriangles) + " triangles enclose no area.",
                     "Repair removes them. They contribute nothing and break normal calculation.");
    }
    if (r.windingConflictEdges > 0) {
        r.AddCaution(FormatCount(r.reversedTriangles.size()) + " triangles are wound the wrong way round.",
                     "Repair reorients them. Left alone, displacement pushes them inwards while their neighbours "
                     "move outwards.");
    }
    if (r.insideOut) {
        r.AddCaution("The mesh is inside out: its normals point inwards.",
                     "Repair flips it. Left alone, outward displacement would carve into the model.");
    }
    if (r.edges.openBoundaryEdges > 0) {
        r.AddCaution(FormatCount(r.edges.openBoundaryEdges) + " edges are open: the mesh is not a closed solid.",
                     "Displacement still works, but the open border moves with the surface and the result may not "
                     "be watertight enough to slice. Repair closes small gaps where triangles are missing; holes "
                     "in the design are surfaces of their own and are not touched.");
    }
    if (r.duplicateTriangles > 0) {
        r.AddCaution(FormatCount(r.duplicateTriangles) + " triangles repeat the same three corners.",
                     "Repair removes them. Duplicates make edges look non-manifold and are displaced twice.");
    }
    if (r.sliverTriangles > 0 && !options.displacedResult) {
        r.AddCaution(FormatCount(r.sliverTriangles) + " triangles are slivers.",
                     "Their corners share almost the same normal, so displacement barely separates them. "
                     "Remeshing before displacement gives a better result.");
    }
    if (r.selfIntersectingTriangles > 0 && options.displacedResult) {
        r.AddCaution(FormatCount(r.selfIntersectingTriangles) + " triangles pass through others.",
                     "Where the relief folded or met itself. Save STL's \"Fix self-intersections\" resolves them "
                     "when the file is written, and its report says if any are left.");
    }
    if (r.selfIntersectingTriangles > 0 && !options.displacedResult) {
        r.AddCaution(FormatCount(r.selfIntersectingTriangles) + " triangles already pass through others.",
                     "The model is printable only if the slicer resolves this. Displacement will not improve it "
                     "and may make it worse.");
    }
    if (r.unreferencedVertices > 0) {
        r.AddCaution(FormatCount(r.unreferencedVertices) + " vertices belong to no triangle.",
                     "Repair drops them. They are harmless but inflate the file.");
    }
    if (r.stoppedEarly) {
        r.advice.push_back("The self-intersection search was stopped early on this mesh, so that result is unknown.");
    }
}

}  // namespace

void CheckSelfIntersections(const TriangleMesh& mesh, const ValidationOptions& options, ValidationReport& report,
                            CancelContext* cancel) {
    std::vector<std::uint32_t> hits;
    bool stopped = false;
    FindSelfIntersections(mesh, nullptr, options.selfIntersectionLimit, hits, stopped, cancel);
    if (stopped) {
        report.stoppedEarly = true;
        return;
    }
    report.selfIntersectingList = hits;
    SortUnique(report.selfIntersectingList);
    report.selfIntersectingTriangles = report.selfIntersectingList.size();
    report.selfIntersectionHits = std::move(hits);
    report.selfIntersectionsSearched = true;
}

ValidationReport ValidateMesh(const TriangleMesh& mesh, const ValidationOptions& options, CancelContext* cancel) {
    ThrowIfStopped(cancel);
    ValidationReport report;
    if (!IsValidMesh(mesh)) {
        report.verdict = ValidationVerdict::Unsuitable;
        report.problems.push_back("The mesh has indices that do not refer to a vertex.");
        return report;
    }
    report.triangleCount = mesh.TriangleCount();
    report.vertexCount = mesh.vertices.size();
    report.edges = EdgeStatistics(mesh);
    ThrowIfStopped(cancel);
    report.duplicateTriangles = CountDuplicateTriangles(mesh);
    ThrowIfStopped(cancel);
    if (report.triangleCount == 0) {
        report.verdict = ValidationVerdict::Unsuitable;
        report.problems.push_back("The mesh contains no triangles.");
        return report;
    }
    report.unreferencedVertices = CountUnreferencedVertices(mesh);
    const EdgeJoins joins = ReadEdges(mesh, report, cancel);
    OrientComponents(mesh, joins, report, cancel);
    MeasureTriangles(mesh, options.sliverThreshold, report, cancel);
    ThrowIfStopped(cancel);
    report.closed = report.edges.openBoundaryEdges == 0 && report.edges.nonManifoldEdges == 0;
    report.signedVolume = mesh.SignedVolume();
    report.insideOut =
        report.closed && report.orientable && report.windingConflictEdges == 0 && report.signedVolume < 0.0f;
    if (options.checkSelfIntersections) CheckSelfIntersections(mesh, options, report, cancel);
    AddFindings(options, report);
    return report;
}

}  // namespace ridgeforge::mesh
