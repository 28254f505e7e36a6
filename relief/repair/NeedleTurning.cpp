// Turning away needles. A needle (three distinct corners on one line) has no
// area but cannot be dropped without opening the surface; when its long edge
// is shared with one consistently wound neighbour, flipping that edge to the
// neighbour's far corner replaces the needle and the neighbour by two
// triangles with area (the classic edge flip of Lawson's triangulation
// improvement, used here only to get rid of the zero-area one).
#include <algorithm>
#include <atomic>

#include "mesh/ParallelChunks.h"
#include "relief/repair/FixBuildingBlocks.h"

namespace ridgeforge::mesh {

namespace fixes {

namespace {

double Distance(const TriangleMesh& mesh, std::uint32_t a, std::uint32_t b) {
    return Length(ToDouble(mesh.vertices[a].position) - ToDouble(mesh.vertices[b].position));
}

bool HasNoArea(const TriangleMesh& mesh, std::uint32_t t) {
    const Vec3f n = mesh.FaceNormal(t);
    return n.x == 0.0f && n.y == 0.0f && n.z == 0.0f;
}

}  // namespace

bool IsNeedleTriangle(const TriangleMesh& mesh, std::uint32_t triangle) {
    if (!HasNoArea(mesh, triangle)) return false;
    const std::uint32_t* c = &mesh.indices[3 * std::size_t{triangle}];
    return Distance(mesh, c[0], c[1]) > 0.0 && Distance(mesh, c[1], c[2]) > 0.0 && Distance(mesh, c[2], c[0]) > 0.0;
}

std::uint64_t CountZeroAreaTriangles(const TriangleMesh& mesh) {
    std::atomic<std::uint64_t> count{0};
    ForEachChunk(mesh.TriangleCount(), kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::uint64_t found = 0;
        for (std::size_t t = begin; t < end; ++t) found += HasNoArea(mesh, static_cast<std::uint32_t>(t)) ? 1 : 0;
        count += found;
    });
    return count;
}

std::vector<std::uint32_t> ListZeroAreaTriangles(const TriangleMesh& mesh) {
    // Each chunk lists its own; the lists join in chunk order, so in triangle order.
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<std::vector<std::uint32_t>> lists((triangles + kParallelChunk - 1) / kParallelChunk);
    ForEachChunk(triangles, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        std::vector<std::uint32_t>& own = lists[begin / kParallelChunk];
        for (std::size_t t = begin; t < end; ++t) {
            if (HasNoArea(mesh, static_cast<std::uint32_t>(t))) own.push_back(static_cast<std::uint32_t>(t));
        }
    });
    std::vector<std::uint32_t> list;
    for (const std::vector<std::uint32_t>& own : lists) list.insert(list.end(), own.begin(), own.end());
    return list;
}

}  // namespace fixes

namespace {

// The triangles of one edge in a sorted edge list.
std::pair<const SortedEdge*, const SortedEdge*> EdgeRun(const std::vector<SortedEdge>& edges, std::uint64_t key) {
    const auto first = std::lower_bound(edges.begin(), edges.end(), SortedEdge{key, 0});
    auto last = first;
    while (last != edges.end() && last->first == key) ++last;
    return {edges.data() + (first - edges.begin()), edges.data() + (last - edges.begin())};
}

Vec3d Position(const TriangleMesh& mesh, std::uint32_t v) { return ToDouble(mesh.vertices[v].position); }

// Tries the turn of one needle; true when it stays.
bool TurnNeedle(TriangleMesh& mesh, const std::vector<SortedEdge>& edges, std::uint32_t t,
                std::vector<std::uint32_t>& touched) {
    std::uint32_t* tc = &mesh.indices[3 * std::size_t{t}];
    const std::uint32_t c0 = tc[0], c1 = tc[1], c2 = tc[2];
    int longest = 0;
    double best = -1.0;
    for (int k = 0; k < 3; ++k) {
        const double length = Length(Position(mesh, tc[(k + 1) % 3]) - Position(mesh, tc[k]));
        if (length > best) {
            best = length;
            longest = k;
        }
    }
    const std::uint32_t a = tc[longest], b = tc[(longest + 1) % 3], c = tc[(longest + 2) % 3];
    const auto [first, last] = EdgeRun(edges, EdgeKey(a, b));
    if (last - first != 2) return false;
    const std::uint32_t u = first->second == t ? (first + 1)->second : first->second;
    if (u == t) return false;
    std::uint32_t* uc = &mesh.indices[3 * std::size_t{u}];
    int at = -1;
    for (int k = 0; k < 3; ++k) {
        if (uc[k] == b && uc[(k + 1) % 3] == a) at = k;
    }
    if (at < 0) return false;
    const std::uint32_t o = uc[(at + 2) % 3];
    if (o == c) return false;
    for (const std::uint32_t v : {a, b, c, o}) {
        if (std::find(touched.begin(), touched.end(), v) != touched.end()) return false;
    }
    const auto [oc, ocEnd] = EdgeRun(edges, EdgeKey(o, c));
    if (oc != ocEnd) return false;
    const Vec3d n = Cross(Position(mesh, a) - Position(mesh, b), Position(mesh, o) - Position(mesh, b));
    if (n.x == 0.0 && n.y == 0.0 && n.z == 0.0) return false;
    const Vec3d n1 = Cross(Position(mesh, o) - Position(mesh, a), Position(mesh, c) - Position(mesh, a));
    const Vec3d n2 = Cross(Position(mesh, b) - Position(mesh, o), Position(mesh, c) - Position(mesh, o));
    if (!(Dot(n1, n) > 0.0) || !(Dot(n2, n) > 0.0)) return false;
    const std::uint32_t oldU[3] = {uc[0], uc[1], uc[2]};
    tc[0] = a, tc[1] = o, tc[2] = c;
    uc[0] = o, uc[1] = b, uc[2] = c;
    if (fixes::IsNeedleTriangle(mesh, t) || fixes::IsNeedleTriangle(mesh, u)) {
        tc[0] = c0, tc[1] = c1, tc[2] = c2;
        uc[0] = oldU[0], uc[1] = oldU[1], uc[2] = oldU[2];
        return false;
    }
    touched.insert(touched.end(), {a, c, b, o});
    return true;
}

}  // namespace

std::uint64_t RemoveZeroAreaTriangles(TriangleMesh& mesh) {
    if (!IsValidMesh(mesh)) return 0;
    std::uint64_t turned = 0;
    for (int pass = 0; pass < 8; ++pass) {
        std::vector<std::uint32_t> needles;
        for (std::size_t t = 0; t < mesh.TriangleCount(); ++t) {
            if (fixes::IsNeedleTriangle(mesh, static_cast<std::uint32_t>(t)))
                needles.push_back(static_cast<std::uint32_t>(t));
        }
        if (needles.empty()) break;
        const std::vector<SortedEdge> edges = BuildSortedEdgeKeys(mesh);
        std::vector<std::uint32_t> touched;
        std::uint64_t thisPass = 0;
        for (const std::uint32_t t : needles) thisPass += TurnNeedle(mesh, edges, t, touched);
        turned += thisPass;
        if (thisPass == 0) break;
    }
    return turned;
}

}  // namespace ridgeforge::mesh
