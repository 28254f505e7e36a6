// Splitting the corners of non-manifold edges. Around each such edge the
// triangles are ordered by their angle about the edge; two neighbours in that
// order whose windings face each other bound one wedge of solid, so they are
// paired and stay joined (the winding pairing). For an even count the plain
// alternation of neighbours is the other candidate, taken when it agrees
// better with how the fans are already joined through ordinary edges. Each
// corner of the edge is then split into one copy per group of its fan,
// groups being fan triangles joined through two-triangle edges and the chosen
// pairs (mode 0), or through two-triangle edges alone (mode 2) when mode 0
// leaves an edge over-shared or opens one. Each copy moves a hair into its
// own group so that the copies do not coincide.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "mesh/SortUnique.h"
#include "mesh/Connectivity.h"
#include "mesh/Weld.h"
#include "relief/repair/NonManifoldEdges.h"

namespace ridgeforge::mesh {

namespace {

using nonmanifold::TrianglesOfEdge;

// FNV-1a over the eight bytes of a key.
struct KeyHash {
    std::size_t operator()(std::uint64_t key) const {
        std::uint64_t h = 14695981039346656037ull;
        for (int i = 0; i < 8; ++i) h = (h ^ ((key >> (8 * i)) & 0xFF)) * 1099511628211ull;
        return static_cast<std::size_t>(h);
    }
};

using Pairing = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
using PairingMap = std::unordered_map<std::uint64_t, Pairing, KeyHash>;

template <typename Value>
std::unordered_map<std::uint64_t, Value, KeyHash> MakeKeyMap() {
    std::unordered_map<std::uint64_t, Value, KeyHash> map;
    map.max_load_factor(1.0f);
    return map;
}

struct AngularRecord {
    float angle = 0.0f;
    std::uint32_t triangle = 0;
    bool side = false;
};

Vec3d Position(const TriangleMesh& mesh, std::uint32_t v) { return ToDouble(mesh.vertices[v].position); }

Vec3d Unit(const Vec3d& v) {
    const double length = Length(v);
    return length > 1e-12 ? v / length : Vec3d{};
}

// The triangles of edge (a, b) in their order about the edge.
std::vector<AngularRecord> OrderAboutEdge(const TriangleMesh& mesh, std::uint32_t a, std::uint32_t b,
                                          const std::vector<std::uint32_t>& triangles) {
    const Vec3d d = Unit(Position(mesh, b) - Position(mesh, a));
    const Vec3d reference = std::abs(d.x) < 0.9 ? Vec3d{1, 0, 0} : Vec3d{0, 1, 0};
    const Vec3d u = Unit(Cross(d, reference));
    const Vec3d w = Cross(d, u);
    std::vector<AngularRecord> records;
    for (const std::uint32_t t : triangles) {
        const std::uint32_t* c = &mesh.indices[3 * std::size_t{t}];
        std::uint32_t third = a;
        for (int k = 0; k < 3; ++k) {
            if (c[k] != a && c[k] != b) third = c[k];
        }
        Vec3d r = Position(mesh, third) - Position(mesh, a);
        r -= d * Dot(r, d);
        const Vec3d n = Cross(Position(mesh, c[1]) - Position(mesh, c[0]), Position(mesh, c[2]) - Position(mesh, c[0]));
        records.push_back({static_cast<float>(std::atan2(Dot(r, w), Dot(r, u))), t, Dot(Cross(d, Unit(r)), n) > 0.0});
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const AngularRecord& x, const AngularRecord& y) { return x.angle < y.angle; });
    return records;
}

struct EdgePairings {
    Pairing winding;
    Pairing alternating;
    bool hasAlternating = false;
};

EdgePairings PairAboutEdge(const std::vector<AngularRecord>& records) {
    EdgePairings p;
    const std::size_t k = records.size();
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t j = (i + 1) % k;
        if (!records[i].side && records[j].side) p.winding.emplace_back(records[i].triangle, records[j].triangle);
    }
    if (k % 2 == 0) {
        p.hasAlternating = true;
        const std::size_t s = !p.winding.empty() && p.winding.front().first == records[0].triangle ? 1 : 0;
        for (std::size_t t = s; t < k; t += 2)
            p.alternating.emplace_back(records[t].triangle, records[(t + 1) % k].triangle);
    }
    return p;
}

// What the grouping reads: the corners and edges as they were when the call began.
struct StartState {
    std::vector<std::uint32_t> indices;
    std::vector<SortedEdge> edges;
    VertexAdjacency adjacency;
};

// The triangles at v, ascending, each once.
std::vector<std::uint32_t> FanOf(const StartState& s, std::uint32_t v) {
    std::vector<std::uint32_t> fan(s.adjacency.vertexTriangles.begin() + s.adjacency.vertexTriangleOffsets[v],
                                   s.adjacency.vertexTriangles.begin() + s.adjacency.vertexTriangleOffsets[v + 1]);
    SortUnique(fan);
    return fan;
}

std::size_t FanPosition(const std::vector<std::uint32_t>& fan, std::uint32_t t) {
    const auto it = std::lower_bound(fan.begin(), fan.end(), t);
    return it != fan.end() && *it == t ? static_cast<std::size_t>(it - fan.begin()) : fan.size();
}

void Join(std::vector<std::uint32_t>& parent, const std::vector<std::uint32_t>& fan, std::uint32_t x, std::uint32_t y) {
    const std::size_t px = FanPosition(fan, x), py = FanPosition(fan, y);
    if (px == fan.size() || py == fan.size()) return;
    const std::uint32_t rx = FindRoot(parent, static_cast<std::uint32_t>(px));
    const std::uint32_t ry = FindRoot(parent, static_cast<std::uint32_t>(py));
    if (rx != ry) parent[std::max(rx, ry)] = std::min(rx, ry);
}

// Union-find over v's fan (by fan position): two-triangle edges at v always
// join; over-shared edges join their chosen pairs in mode 0 and nothing in
// mode 2. Returns the root of every fan position.
std::vector<std::uint32_t> GroupFanAtVertex(const StartState& s, std::uint32_t v, const std::vector<std::uint32_t>& fan,
                                            int mode, const PairingMap* pairings) {
    std::vector<std::uint32_t> parent(fan.size());
    for (std::size_t i = 0; i < fan.size(); ++i) parent[i] = static_cast<std::uint32_t>(i);
    for (const std::uint32_t t : fan) {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t w = s.indices[3 * std::size_t{t} + k];
            if (w == v) continue;
            const std::vector<std::uint32_t> users = TrianglesOfEdge(s.edges, EdgeKey(v, w));
            if (users.size() == 2) {
                Join(parent, fan, users[0], users[1]);
            } else if (users.size() >= 3 && mode == 0 && pairings != nullptr) {
                const auto found = pairings->find(EdgeKey(v, w));
                if (found == pairings->end()) continue;
                for (const auto& [x, y] : found->second) Join(parent, fan, x, y);
            }
        }
    }
    for (std::size_t i = 0; i < fan.size(); ++i) parent[i] = FindRoot(parent, static_cast<std::uint32_t>(i));
    return parent;
}

std::size_t GroupCount(const std::vector<std::uint32_t>& roots) {
    std::size_t groups = 0;
    for (std::size_t i = 0; i < roots.size(); ++i) groups += roots[i] == i;
    return groups;
}

// The fan groups at v through two-triangle edges alone.
std::vector<std::uint32_t> FanGroupsAtVertex(const StartState& s, std::uint32_t v,
                                             const std::vector<std::uint32_t>& fan) {
    return GroupFanAtVertex(s, v, fan, 2, nullptr);
}

int PairingAgreement(const Pairing& pairing, const std::vector<std::uint32_t>& fanLow,
                     const std::vector<std::uint32_t>& rootsLow, const std::vector<std::uint32_t>& fanHigh,
                     const std::vector<std::uint32_t>& rootsHigh) {
    const auto same = [](const std::vector<std::uint32_t>& fan, const std::vector<std::uint32_t>& roots,
                         std::uint32_t x, std::uint32_t y) {
        const std::size_t px = FanPosition(fan, x), py = FanPosition(fan, y);
        return px < fan.size() && py < fan.size() && roots[px] == roots[py];
    };
    int agreement = 0;
    for (const auto& [x, y] : pairing) agreement += same(fanHigh, rootsHigh, x, y) + same(fanLow, rootsLow, x, y);
    return agreement;
}

// Every group but the first fan triangle's gets a copy of v; returns the
// copies with the fan root of their group.
std::vector<std::pair<std::uint32_t, std::uint32_t>> GiveGroupsOwnVertex(TriangleMesh& mesh, std::uint32_t v,
                                                                         const std::vector<std::uint32_t>& fan,
                                                                         const std::vector<std::uint32_t>& roots) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> copies;
    auto copyOf = MakeKeyMap<std::uint32_t>();
    for (std::size_t i = 0; i < fan.size(); ++i) {
        if (roots[i] == roots[0]) continue;
        auto [it, added] = copyOf.try_emplace(roots[i], static_cast<std::uint32_t>(mesh.vertices.size()));
        if (added) {
            const Vertex record = mesh.vertices[v];
            mesh.vertices.push_back(record);
            copies.emplace_back(it->second, roots[i]);
        }
        for (int k = 0; k < 3; ++k) {
            std::uint32_t& corner = mesh.indices[3 * std::size_t{fan[i]} + k];
            if (corner == v) corner = it->second;
        }
    }
    return copies;
}

bool HasCorners(const TriangleMesh& mesh, std::uint32_t t, std::uint32_t x, std::uint32_t y) {
    const std::uint32_t* c = &mesh.indices[3 * std::size_t{t}];
    const auto has = [c](std::uint32_t v) { return c[0] == v || c[1] == v || c[2] == v; };
    return has(x) && has(y);
}

// Every edge from v's place in a fan triangle must end up used twice, or
// once where it was open to begin with.
bool IsFanSplitSound(const TriangleMesh& mesh, const StartState& s, std::uint32_t v,
                     const std::vector<std::uint32_t>& fan) {
    for (const std::uint32_t t : fan) {
        for (int j = 0; j < 3; ++j) {
            if (s.indices[3 * std::size_t{t} + j] != v) continue;
            const std::uint32_t x = mesh.indices[3 * std::size_t{t} + j];
            for (const int other : {(j + 1) % 3, (j + 2) % 3}) {
                const std::uint32_t y = mesh.indices[3 * std::size_t{t} + other];
                std::size_t count = 0;
                for (const std::uint32_t f : fan) count += HasCorners(mesh, f, x, y);
                if (count == 2) continue;
                const std::uint32_t startCorner = s.indices[3 * std::size_t{t} + other];
                if (count == 1 && TrianglesOfEdge(s.edges, EdgeKey(v, startCorner)).size() == 1) continue;
                return false;
            }
        }
    }
    return true;
}

// Moves a copy a little towards the starting corners of its group.
void NudgeCopy(TriangleMesh& mesh, const StartState& s, std::uint32_t v, std::uint32_t copy, std::uint32_t root,
               const std::vector<std::uint32_t>& fan, const std::vector<std::uint32_t>& roots, float tolerance) {
    const Vec3d p = Position(mesh, v);
    Vec3d sum;
    std::size_t count = 0;
    double nearest = std::numeric_limits<float>::max();
    for (std::size_t i = 0; i < fan.size(); ++i) {
        if (roots[i] != root) continue;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t w = s.indices[3 * std::size_t{fan[i]} + k];
            if (w == v) continue;
            sum += Position(mesh, w);
            ++count;
            nearest = std::min(nearest, Length(Position(mesh, w) - p));
        }
    }
    if (count == 0) return;
    const Vec3d towards = sum / static_cast<double>(count) - p;
    const double distance = Length(towards);
    const double step = std::max(10.0 * tolerance, std::min(0.1 * nearest, 0.002));
    if (distance > 0.0 && step > 0.0) mesh.vertices[copy].position = ToFloat(p + towards * (step / distance));
}

// Splits one corner in the first mode that gives a sound split; returns the copies made.
std::uint64_t SplitCorner(TriangleMesh& mesh, const StartState& s, std::uint32_t v, const PairingMap& pairings,
                          float tolerance) {
    const std::vector<std::uint32_t> fan = FanOf(s, v);
    std::vector<std::uint32_t> saved;
    for (const std::uint32_t t : fan)
        saved.insert(saved.end(), mesh.indices.begin() + 3 * t, mesh.indices.begin() + 3 * t + 3);
    const std::size_t savedCount = mesh.vertices.size();
    for (const int mode : {0, 2}) {
        const std::vector<std::uint32_t> roots = GroupFanAtVertex(s, v, fan, mode, &pairings);
        if (GroupCount(roots) < 2) continue;
        const auto copies = GiveGroupsOwnVertex(mesh, v, fan, roots);
        if (IsFanSplitSound(mesh, s, v, fan)) {
            for (const auto& [copy, root] : copies) NudgeCopy(mesh, s, v, copy, root, fan, roots, tolerance);
            return copies.size();
        }
        for (std::size_t i = 0; i < fan.size(); ++i) {
            std::copy(saved.begin() + 3 * i, saved.begin() + 3 * i + 3, mesh.indices.begin() + 3 * std::size_t{fan[i]});
        }
        mesh.vertices.resize(savedCount);
    }
    return 0;
}

}  // namespace

std::uint64_t SplitNonManifoldEdges(TriangleMesh& mesh) {
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return 0;
    const float tolerance = AutomaticWeldTolerance(mesh);
    StartState s;
    s.edges = BuildSortedEdgeKeys(mesh);
    std::vector<std::uint32_t> toSplit;
    auto pairings = MakeKeyMap<Pairing>();
    auto alternatives = MakeKeyMap<Pairing>();
    for (std::size_t begin = 0; begin < s.edges.size();) {
        std::size_t end = begin + 1;
        while (end < s.edges.size() && s.edges[end].first == s.edges[begin].first) ++end;
        if (end - begin >= 3) {
            const std::uint64_t key = s.edges[begin].first;
            const auto a = static_cast<std::uint32_t>(key >> 32), b = static_cast<std::uint32_t>(key & 0xFFFFFFFFu);
            toSplit.insert(toSplit.end(), {a, b});
            std::vector<std::uint32_t> triangles;
            for (std::size_t i = begin; i < end; ++i) triangles.push_back(s.edges[i].second);
            EdgePairings p = PairAboutEdge(OrderAboutEdge(mesh, a, b, triangles));
            pairings[key] = std::move(p.winding);
            if (p.hasAlternating) alternatives[key] = std::move(p.alternating);
        }
        begin = end;
    }
    if (toSplit.empty()) return 0;
    SortUnique(toSplit);
    s.adjacency = BuildVertexAdjacency(mesh);
    s.indices = mesh.indices;

    for (auto& [key, alternating] : alternatives) {
        const auto a = static_cast<std::uint32_t>(key >> 32), b = static_cast<std::uint32_t>(key & 0xFFFFFFFFu);
        const std::vector<std::uint32_t> fanA = FanOf(s, a), fanB = FanOf(s, b);
        const std::vector<std::uint32_t> rootsA = FanGroupsAtVertex(s, a, fanA), rootsB = FanGroupsAtVertex(s, b, fanB);
        Pairing& winding = pairings[key];
        if (PairingAgreement(alternating, fanA, rootsA, fanB, rootsB) >
            PairingAgreement(winding, fanA, rootsA, fanB, rootsB)) {
            winding = std::move(alternating);
        }
    }

    std::uint64_t copies = 0;
    for (const std::uint32_t v : toSplit) copies += SplitCorner(mesh, s, v, pairings, tolerance);
    return copies;
}

}  // namespace ridgeforge::mesh
