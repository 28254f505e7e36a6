#include "relief/repair/ExportCleanup.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <numeric>
#include <utility>

#include "mesh/Connectivity.h"
#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {

namespace {

Vec3d At(const TriangleMesh& mesh, std::uint32_t v) { return ToDouble(mesh.vertices[v].position); }

// Whether triangle t, seen through the current roots, has zero area or (with
// a tolerance above 0) an edge no longer than the tolerance. A triangle whose
// roots already repeat has collapsed and is no candidate.
bool IsWeldCandidate(const TriangleMesh& mesh, std::vector<std::uint32_t>& parent, std::size_t t, double tolerance) {
    const std::uint32_t a = FindRoot(parent, mesh.indices[3 * t]), b = FindRoot(parent, mesh.indices[3 * t + 1]),
                        c = FindRoot(parent, mesh.indices[3 * t + 2]);
    if (a == b || b == c || a == c) return false;
    const Vec3d pa = At(mesh, a), pb = At(mesh, b), pc = At(mesh, c);
    if (!(Length(Cross(pb - pa, pc - pa)) > 0.0)) return true;
    if (!(tolerance > 0.0)) return false;
    return Length(pb - pa) <= tolerance || Length(pc - pb) <= tolerance || Length(pa - pc) <= tolerance;
}

// The root of v without shortening the path, so that threads may share the table.
std::uint32_t RootOf(const std::vector<std::uint32_t>& parent, std::uint32_t v) {
    while (parent[v] != v) v = parent[v];
    return v;
}

// IsWeldCandidate for any triangle, looked at in parallel. Roots are found
// without shortening paths; the roots, all that later steps read, are the same.
bool AnyWeldCandidate(const TriangleMesh& mesh, const std::vector<std::uint32_t>& parent, double tolerance) {
    std::atomic<bool> found{false};
    ForEachChunk(mesh.TriangleCount(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end && !found.load(std::memory_order_relaxed); ++t) {
            const std::uint32_t a = RootOf(parent, mesh.indices[3 * t]), b = RootOf(parent, mesh.indices[3 * t + 1]),
                                c = RootOf(parent, mesh.indices[3 * t + 2]);
            if (a == b || b == c || a == c) continue;
            const Vec3d pa = At(mesh, a), pb = At(mesh, b), pc = At(mesh, c);
            const bool candidate =
                !(Length(Cross(pb - pa, pc - pa)) > 0.0) ||
                (tolerance > 0.0 &&
                 (Length(pb - pa) <= tolerance || Length(pc - pb) <= tolerance || Length(pa - pc) <= tolerance));
            if (candidate) found = true;
        }
    });
    return found;
}

// The vertices joined so far, as one circular list per class (next[v] is the
// class member after v), so that a class is walked from its root and two
// classes are spliced into one in constant time.
struct WeldClasses {
    VertexRows<std::uint32_t> triangles;  // each input vertex's triangles
    std::vector<std::uint32_t> next;
    std::vector<std::uint8_t> crowded;  // roots found with too many triangles to walk
};

// A class with more triangles around it than this is left as it is: walking
// it for each of its short edges would cost the square of its size. Classes
// only grow, so a class found crowded stays so and is not walked again.
constexpr std::size_t kMostTrianglesAround = 1024;

// The roots next to class `root` through live triangles (those whose three
// roots differ), and the third roots of the live triangles that also hold
// `other`. False when the class has too many triangles to walk.
bool RingOf(const TriangleMesh& mesh, std::vector<std::uint32_t>& parent, WeldClasses& classes, std::uint32_t root,
            std::uint32_t other, std::vector<std::uint32_t>& ring, std::vector<std::uint32_t>* apexes) {
    ring.clear();
    if (classes.crowded[root] != 0) return false;
    std::size_t visited = 0;
    std::uint32_t v = root;
    do {
        for (std::uint32_t i = classes.triangles.offsets[v]; i < classes.triangles.offsets[v + 1]; ++i) {
            if (++visited > kMostTrianglesAround) {
                classes.crowded[root] = 1;
                return false;
            }
            const std::size_t t = classes.triangles.entries[i];
            const std::uint32_t c[3] = {FindRoot(parent, mesh.indices[3 * t]),
                                        FindRoot(parent, mesh.indices[3 * t + 1]),
                                        FindRoot(parent, mesh.indices[3 * t + 2])};
            if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2]) continue;
            // Exactly one corner is the root: v's own, since the three differ.
            const int at = c[0] == root ? 0 : c[1] == root ? 1 : 2;
            const std::uint32_t p = c[(at + 1) % 3], q = c[(at + 2) % 3];
            ring.push_back(p);
            ring.push_back(q);
            if (apexes != nullptr && (p == other || q == other)) apexes->push_back(p == other ? q : p);
        }
        v = classes.next[v];
    } while (v != root);
    std::sort(ring.begin(), ring.end());
    ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
    return true;
}

// The link condition on the mesh as the joins so far have made it: the edge
// (k, r) lies on exactly two live triangles, whose third corners differ and
// are the only vertices next to both ends. Two common neighbours alone are
// not enough: one of them may be a vertex that shares no triangle with the
// edge (a third face meeting its ends), and the join would then leave an
// edge with three or four triangles.
bool MayJoin(const TriangleMesh& mesh, std::vector<std::uint32_t>& parent, WeldClasses& classes, std::uint32_t k,
             std::uint32_t r, std::vector<std::uint32_t>& ringK, std::vector<std::uint32_t>& ringR) {
    std::vector<std::uint32_t> apexes;
    if (!RingOf(mesh, parent, classes, k, r, ringK, &apexes) || !RingOf(mesh, parent, classes, r, k, ringR, nullptr))
        return false;
    if (apexes.size() != 2 || apexes[0] == apexes[1]) return false;
    std::vector<std::uint32_t> common;
    std::set_intersection(ringK.begin(), ringK.end(), ringR.begin(), ringR.end(), std::back_inserter(common));
    std::sort(apexes.begin(), apexes.end());
    return common == apexes;
}

// One weld pass in triangle order; returns the joins made.
std::uint64_t WeldPass(const TriangleMesh& mesh, std::vector<std::uint32_t>& parent, WeldClasses& classes,
                       double tolerance, ExportCleanupReport& report) {
    std::vector<std::uint32_t> ringK, ringR;
    std::uint64_t joins = 0;
    for (std::size_t t = 0; t < mesh.TriangleCount(); ++t) {
        if (!IsWeldCandidate(mesh, parent, t, tolerance)) continue;
        const std::uint32_t corner[3] = {FindRoot(parent, mesh.indices[3 * t]),
                                         FindRoot(parent, mesh.indices[3 * t + 1]),
                                         FindRoot(parent, mesh.indices[3 * t + 2])};
        int shortest = 0;
        double best = Length(At(mesh, corner[1]) - At(mesh, corner[0]));
        for (int e = 1; e < 3; ++e) {
            const double length = Length(At(mesh, corner[(e + 1) % 3]) - At(mesh, corner[e]));
            if (length < best) best = length, shortest = e;
        }
        const std::uint32_t k = corner[shortest], r = corner[(shortest + 1) % 3];
        if (MayJoin(mesh, parent, classes, k, r, ringK, ringR)) {
            parent[r] = k;
            std::swap(classes.next[k], classes.next[r]);
            ++joins;
        } else {
            ++report.collapsesRefused;
        }
    }
    return joins;
}

bool HasZeroAreaOrShortEdge(const TriangleMesh& mesh, std::size_t t, double tolerance) {
    const Vec3d a = At(mesh, mesh.indices[3 * t]), b = At(mesh, mesh.indices[3 * t + 1]),
                c = At(mesh, mesh.indices[3 * t + 2]);
    if (!(Length(Cross(b - a, c - a)) > 0.0)) return true;
    return tolerance > 0.0 && (Length(b - a) <= tolerance || Length(c - b) <= tolerance || Length(a - c) <= tolerance);
}

// Rebuild when no vertex joined another and no triangle repeats a corner:
// the mesh stays as it is and every vertex and triangle is its own origin.
bool KeepAsItIs(TriangleMesh& mesh, ExportCleanupReport& report) {
    std::atomic<bool> repeats{false};
    ForEachChunk(mesh.TriangleCount(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const std::uint32_t a = mesh.indices[3 * t], b = mesh.indices[3 * t + 1], c = mesh.indices[3 * t + 2];
            if (a == b || b == c || a == c) repeats = true;
        }
    });
    if (repeats) return false;
    report.vertexOrigins.resize(mesh.vertices.size());
    std::iota(report.vertexOrigins.begin(), report.vertexOrigins.end(), 0u);
    report.triangleOrigins.resize(mesh.TriangleCount());
    std::iota(report.triangleOrigins.begin(), report.triangleOrigins.end(), 0u);
    return true;
}

// Keeps the roots in index order and the triangles whose corners stay distinct.
void Rebuild(TriangleMesh& mesh, std::vector<std::uint32_t>& parent, ExportCleanupReport& report) {
    std::vector<std::uint32_t> newIndex(mesh.vertices.size());
    std::vector<Vertex> vertices;
    for (std::uint32_t v = 0; v < mesh.vertices.size(); ++v) {
        if (parent[v] != v) continue;
        newIndex[v] = static_cast<std::uint32_t>(vertices.size());
        vertices.push_back(mesh.vertices[v]);
        report.vertexOrigins.push_back(v);
    }
    report.verticesMerged = mesh.vertices.size() - vertices.size();
    std::vector<std::uint32_t> indices;
    indices.reserve(mesh.indices.size());
    for (std::size_t t = 0; t < mesh.TriangleCount(); ++t) {
        const std::uint32_t a = newIndex[FindRoot(parent, mesh.indices[3 * t])];
        const std::uint32_t b = newIndex[FindRoot(parent, mesh.indices[3 * t + 1])];
        const std::uint32_t c = newIndex[FindRoot(parent, mesh.indices[3 * t + 2])];
        if (a == b || b == c || a == c) {
            ++report.collapsedTrianglesDropped;
            continue;
        }
        indices.insert(indices.end(), {a, b, c});
        report.triangleOrigins.push_back(static_cast<std::uint32_t>(t));
    }
    mesh.vertices = std::move(vertices);
    mesh.indices = std::move(indices);
}

void FillSmallHoles(TriangleMesh& mesh, const ExportCleanupOptions& options, ExportCleanupReport& report) {
    std::uint64_t untraced = 0;
    float untracedAcross = 0.0f;
    const std::vector<BoundaryLoop> loops = FindBoundaryLoops(mesh, untraced, &untracedAcross);
    report.holesLeftOpen += untraced;
    report.largestOpenHoleMillimetres = std::max(report.largestOpenHoleMillimetres, untracedAcross);
    for (const BoundaryLoop& loop : loops) {
        if (loop.acrossMillimetres > options.maximumHoleMillimetres &&
            loop.widthMillimetres > options.maximumSlitWidthMillimetres) {
            ++report.holesLeftOpen;
            report.largestOpenHoleMillimetres = std::max(report.largestOpenHoleMillimetres, loop.acrossMillimetres);
            continue;
        }
        const std::uint64_t added = FillHole(mesh, loop);
        report.triangleOrigins.insert(report.triangleOrigins.end(), added, report.triangleOrigins[loop.triangle]);
        ++report.holesFilled;
        report.fillTriangles += added;
        report.largestFilledHoleMillimetres = std::max(report.largestFilledHoleMillimetres, loop.acrossMillimetres);
    }
}

}  // namespace

ExportCleanupReport CleanupForExport(TriangleMesh& mesh, float toleranceMillimetres,
                                     const ExportCleanupOptions& options) {
    ExportCleanupReport report;
    report.toleranceMillimetres = toleranceMillimetres;
    if (mesh.vertices.empty() || !IsValidMesh(mesh)) return report;
    const double tolerance = options.weldCollapsedTriangles ? toleranceMillimetres : 0.0;

    std::vector<std::uint32_t> parent(mesh.vertices.size());
    for (std::uint32_t v = 0; v < parent.size(); ++v) parent[v] = v;
    std::uint64_t joined = 0;
    if (AnyWeldCandidate(mesh, parent, tolerance)) {
        WeldClasses classes;
        classes.triangles = BuildVertexTriangles(TriangleCorners(mesh));
        classes.next = parent;
        classes.crowded.assign(parent.size(), 0);
        for (std::uint32_t pass = 1; pass <= 8; ++pass) {
            const std::uint64_t joins = WeldPass(mesh, parent, classes, tolerance, report);
            joined += joins;
            report.passes = pass;
            if (joins == 0 || !AnyWeldCandidate(mesh, parent, tolerance)) break;
        }
    }
    if (joined != 0 || !KeepAsItIs(mesh, report)) Rebuild(mesh, parent, report);
    std::atomic<std::uint64_t> left{0};
    ForEachChunk(mesh.TriangleCount(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t found = 0;
        for (std::size_t t = begin; t < end; ++t) found += HasZeroAreaOrShortEdge(mesh, t, tolerance) ? 1 : 0;
        left += found;
    });
    report.zeroAreaTrianglesLeft = left;
    if (options.fillHoles) FillSmallHoles(mesh, options, report);

    if (report.verticesMerged != 0 || report.collapsedTrianglesDropped != 0 || report.fillTriangles != 0) {
        mesh.RecomputeNormals();
        mesh.RecomputeBounds();
    } else {
        report.vertexOrigins.clear();
        report.vertexOrigins.shrink_to_fit();
        report.triangleOrigins.clear();
        report.triangleOrigins.shrink_to_fit();
    }
    return report;
}

}  // namespace ridgeforge::mesh
