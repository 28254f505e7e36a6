// Bounding-box tree: top-down median build and stack-based queries.
//
// The build splits each range at the median centroid on the widest axis of
// the centroid box (an nth-element selection, not a full sort), so every level
// costs linear time and the tree is balanced whatever the triangle sizes. Node
// storage is sized before the first node is written, which lets the
// asynchronous tasks for large halves write disjoint nodes without a lock.
#include "mesh/AabbTree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <execution>
#include <future>
#include <limits>
#include <numeric>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {

namespace {

constexpr std::uint32_t kMaxLeafTriangles = 8;
constexpr std::uint64_t kMaxDepth = 64;
// Halves at least this large are worth a thread of their own.
constexpr std::uint32_t kAsyncHalf = 65536;
constexpr std::size_t kStackSize = 128;
constexpr float kFloatHuge = 3.4e38f;

bool IsLeafRange(std::uint64_t count, std::uint64_t depth) { return count <= kMaxLeafTriangles || depth >= kMaxDepth; }

// Less-than on one centroid coordinate, with NaN ordered after every number:
// a bare `<` is no strict weak order once a NaN appears, and the selection
// could then run outside its range.
struct CentroidLess {
    const std::vector<Vec3f>& centroids;
    int axis;
    bool operator()(std::uint32_t a, std::uint32_t b) const {
        const float ka = centroids[a][axis];
        const float kb = centroids[b][axis];
        return ka < kb || (!std::isnan(ka) && std::isnan(kb));
    }
};

int WidestAxis(const Vec3f& lo, const Vec3f& hi) {
    const Vec3f extent = hi - lo;
    int axis = 0;
    if (extent.y > extent.x) axis = 1;
    if (extent.z > extent.x && extent.z > extent.y) axis = 2;
    return axis;
}

// Written out per axis: indexing a Vec3f by number is a chain of selects that
// the compiler does not always fold, and this runs for every node visited.
inline float AxisGap(float lo, float hi, float p) { return std::max(std::max(lo - p, p - hi), 0.0f); }

inline float BoxDistanceSquared(const AabbNode& node, const Vec3f& p) {
    const float dx = AxisGap(node.min.x, node.max.x, p.x);
    const float dy = AxisGap(node.min.y, node.max.y, p.y);
    const float dz = AxisGap(node.min.z, node.max.z, p.z);
    return dx * dx + dy * dy + dz * dz;
}

bool IsExcluded(std::uint32_t value, const std::uint32_t* excluded, std::size_t count) {
    return std::find(excluded, excluded + count, value) != excluded + count;
}

// True when every value from lo to hi is excluded. Stops at the first value
// that is not, so a wide range costs at most excludedCount + 1 look-ups.
bool RangeFullyExcluded(std::uint32_t lo, std::uint32_t hi, const std::uint32_t* excluded, std::size_t count) {
    if (lo > hi) return true;
    for (std::uint32_t v = lo;; ++v) {
        if (!IsExcluded(v, excluded, count)) return false;
        if (v == hi) return true;
    }
}

// The frame along which the mesh's slivers run, when boxes taken in it are
// much thinner than along the axes. A sliver is a triangle at least four
// times as long as it is wide, and the way it runs is its longest edge's;
// each counts by its length times its slenderness, so that the long thin
// sides of a rod outweigh the fans closing it. The frame's third axis is the
// principal direction of those weighted ways (power steps on their 3 x 3
// moment). A box wastes on a sliver about its middle extent (its largest is
// the sliver's length whatever the frame), so the two frames are compared
// by the sum of those. The sums are taken per chunk and added in chunk
// order, so that the frame, and with it every answer, is the same each run.
constexpr std::size_t kFrameChunk = 16384;

struct Sliver {
    Vec3d corners[3];
    Vec3d edge;  // the longest
    bool slender = false;
};

Sliver SliverAt(const TriangleMesh& mesh, std::size_t t) {
    Sliver s;
    for (int k = 0; k < 3; ++k) s.corners[k] = ToDouble(mesh.vertices[mesh.indices[3 * t + k]].position);
    const Vec3d& a = s.corners[0];
    const Vec3d& b = s.corners[1];
    const Vec3d& c = s.corners[2];
    s.edge = b - a;
    for (const Vec3d& e : {c - b, a - c}) {
        if (LengthSquared(e) > LengthSquared(s.edge)) s.edge = e;
    }
    const double length = Length(s.edge);
    s.slender = length > 0.0 && length >= 4.0 * Length(Cross(b - a, c - a)) / length;
    return s;
}

double MiddleExtent(const Sliver& s, const std::array<Vec3d, 3>& frame) {
    double extent[3];
    for (int k = 0; k < 3; ++k) {
        const double p = Dot(frame[k], s.corners[0]), q = Dot(frame[k], s.corners[1]), r = Dot(frame[k], s.corners[2]);
        extent[k] = std::max({p, q, r}) - std::min({p, q, r});
    }
    std::sort(extent, extent + 3);
    return extent[1];
}

bool ChooseSliverFrame(const TriangleMesh& mesh, std::array<Vec3f, 3>& axes) {
    const std::size_t count = mesh.TriangleCount();
    const std::size_t chunks = (count + kFrameChunk - 1) / kFrameChunk;
    using Moment = std::array<double, 9>;
    std::vector<Moment> moments(chunks, Moment{});
    ForEachChunk(count, kFrameChunk, [&](std::size_t begin, std::size_t end) {
        Moment& m = moments[begin / kFrameChunk];
        for (std::size_t t = begin; t < end; ++t) {
            const Sliver s = SliverAt(mesh, t);
            if (!s.slender) continue;
            const double length = Length(s.edge);
            const double width = Length(Cross(s.corners[1] - s.corners[0], s.corners[2] - s.corners[0])) / length;
            const double weight = std::min(length / std::max(width, 1e-12 * length), 1e4) / length;
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) m[3 * i + j] += weight * s.edge[i] * s.edge[j];
            }
        }
    });
    Moment moment{};
    for (const Moment& m : moments) {
        for (int i = 0; i < 9; ++i) moment[i] += m[i];
    }
    const auto row = [&moment](int i) { return Vec3d{moment[3 * i], moment[3 * i + 1], moment[3 * i + 2]}; };
    int start = 0;
    for (int i = 1; i < 3; ++i) {
        if (moment[4 * i] > moment[4 * start]) start = i;
    }
    Vec3d way = row(start);
    const auto unit = [](const Vec3d& v) { return v / Length(v); };
    for (int step = 0; step < 64 && Length(way) > 0.0; ++step) {
        way = unit(way);
        way = Vec3d{Dot(row(0), way), Dot(row(1), way), Dot(row(2), way)};
    }
    if (!(Length(way) > 0.0)) return false;  // no slivers
    const Vec3d z = unit(way);
    int least = 0;
    for (int i = 1; i < 3; ++i) {
        if (std::abs(z[i]) < std::abs(z[least])) least = i;
    }
    Vec3d helper;
    helper[least] = 1.0;
    const Vec3d x = unit(Cross(helper, z));
    const std::array<Vec3d, 3> turned{x, Cross(z, x), z};
    const std::array<Vec3d, 3> along{Vec3d{1, 0, 0}, Vec3d{0, 1, 0}, Vec3d{0, 0, 1}};

    std::vector<std::array<double, 2>> wastes(chunks, std::array<double, 2>{});
    ForEachChunk(count, kFrameChunk, [&](std::size_t begin, std::size_t end) {
        std::array<double, 2>& w = wastes[begin / kFrameChunk];
        for (std::size_t t = begin; t < end; ++t) {
            const Sliver s = SliverAt(mesh, t);
            if (!s.slender) continue;
            w[0] += MiddleExtent(s, along);
            w[1] += MiddleExtent(s, turned);
        }
    });
    double wasteAlong = 0.0, wasteTurned = 0.0;
    for (const auto& w : wastes) wasteAlong += w[0], wasteTurned += w[1];
    // Turned only for a large gain: on most parts the frames are near alike,
    // and the axes keep the answers (and their ties) as they were.
    if (!(wasteTurned < 0.25 * wasteAlong)) return false;
    for (int k = 0; k < 3; ++k) axes[k] = ToFloat(turned[k]);
    return true;
}

}  // namespace

std::uint64_t AabbTree::CountNodes(std::uint32_t triangleCount, std::uint64_t depth) {
    // Halving keeps the sizes of one level within two neighbouring values, so
    // the count is found level by level in logarithmic time instead of by a
    // walk over every node (the build asks for it at every inner node).
    struct Group {
        std::uint64_t size;
        std::uint64_t count;
    };
    std::array<Group, 4> level{};
    std::size_t groups = 1;
    level[0] = {triangleCount, 1};
    std::uint64_t total = 0;
    for (;; ++depth) {
        std::array<Group, 4> next{};
        std::size_t nextGroups = 0;
        const auto add = [&](std::uint64_t size, std::uint64_t count) {
            for (std::size_t i = 0; i < nextGroups; ++i) {
                if (next[i].size == size) {
                    next[i].count += count;
                    return;
                }
            }
            next[nextGroups++] = {size, count};
        };
        for (std::size_t i = 0; i < groups; ++i) {
            total += level[i].count;
            if (IsLeafRange(level[i].size, depth)) continue;
            add(level[i].size - level[i].size / 2, level[i].count);
            add(level[i].size / 2, level[i].count);
        }
        if (nextGroups == 0) return total;
        level = next;
        groups = nextGroups;
    }
}

void AabbTree::Build(const TriangleMesh& mesh, TreeFrame boxes) {
    nodes.clear();
    nodeValueMin.clear();
    nodeValueMax.clear();
    triangleOrder.clear();
    std::vector<Vec3f>().swap(centroids);
    depth = 0;
    turned = false;
    frame = {Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{0, 0, 1}};
    if (!IsValidMesh(mesh)) return;
    const std::uint32_t n = static_cast<std::uint32_t>(mesh.TriangleCount());
    if (n == 0) return;
    if (boxes == TreeFrame::kAlongSlivers) turned = ChooseSliverFrame(mesh, frame);

    triangleOrder.resize(n);
    std::iota(triangleOrder.begin(), triangleOrder.end(), 0u);
    centroids.resize(n);
    std::for_each(std::execution::par_unseq, triangleOrder.begin(), triangleOrder.end(), [&](std::uint32_t t) {
        const Vec3f& a = mesh.vertices[mesh.indices[3 * std::size_t{t}]].position;
        const Vec3f& b = mesh.vertices[mesh.indices[3 * std::size_t{t} + 1]].position;
        const Vec3f& c = mesh.vertices[mesh.indices[3 * std::size_t{t} + 2]].position;
        centroids[t] = InFrame((a + b + c) * 0.33333334f);
    });
    nodes.assign(CountNodes(n, 0), AabbNode{});
    try {
        depth = BuildRange(mesh, 0, 0, n, 0);
    } catch (...) {
        // A half-written tree has zeroed nodes whose children point back at
        // the root; a query on it would never end. Leave an empty tree.
        nodes.clear();
        triangleOrder.clear();
        std::vector<Vec3f>().swap(centroids);
        depth = 0;
        throw;
    }
    std::vector<Vec3f>().swap(centroids);
}

std::uint32_t AabbTree::BuildRange(const TriangleMesh& mesh, std::uint32_t node, std::uint32_t first,
                                   std::uint32_t count, std::uint32_t level) {
    AabbNode& out = nodes[node];
    const auto begin = triangleOrder.begin() + first;
    const auto end = begin + count;

    if (IsLeafRange(count, level)) {
        Vec3f lo{kFloatHuge, kFloatHuge, kFloatHuge};
        Vec3f hi{-kFloatHuge, -kFloatHuge, -kFloatHuge};
        for (auto it = begin; it != end; ++it) {
            for (int corner = 0; corner < 3; ++corner) {
                const Vec3f p = InFrame(mesh.vertices[mesh.indices[3 * std::size_t{*it} + corner]].position);
                lo = Min(lo, p);
                hi = Max(hi, p);
            }
        }
        if (turned) {
            // Turning rounds the corners and the query points alike; the
            // margin keeps a box from passing over a triangle by a rounding.
            const float pad = 1e-6f * std::max({std::abs(lo.x), std::abs(lo.y), std::abs(lo.z), std::abs(hi.x),
                                                std::abs(hi.y), std::abs(hi.z)});
            lo = lo - Vec3f{pad, pad, pad};
            hi = hi + Vec3f{pad, pad, pad};
        }
        out.min = lo;
        out.max = hi;
        out.firstTriangle = first;
        out.triangleCount = count;
        return level + 1;
    }

    Vec3f centroidLo{kFloatHuge, kFloatHuge, kFloatHuge};
    Vec3f centroidHi{-kFloatHuge, -kFloatHuge, -kFloatHuge};
    for (auto it = begin; it != end; ++it) {
        centroidLo = Min(centroidLo, centroids[*it]);
        centroidHi = Max(centroidHi, centroids[*it]);
    }
    const std::uint32_t half = count / 2;
    std::nth_element(begin, begin + half, end, CentroidLess{centroids, WidestAxis(centroidLo, centroidHi)});

    const std::uint32_t firstChild = node + 1;
    const std::uint32_t secondChild = node + 1 + static_cast<std::uint32_t>(CountNodes(half, std::uint64_t{level} + 1));
    out.secondChild = secondChild;
    out.triangleCount = 0;

    std::uint32_t firstLevels = 0;
    std::uint32_t secondLevels = 0;
    if (half >= kAsyncHalf) {
        auto task =
            std::async(std::launch::async, [&] { return BuildRange(mesh, firstChild, first, half, level + 1); });
        secondLevels = BuildRange(mesh, secondChild, first + half, count - half, level + 1);
        firstLevels = task.get();
    } else {
        firstLevels = BuildRange(mesh, firstChild, first, half, level + 1);
        secondLevels = BuildRange(mesh, secondChild, first + half, count - half, level + 1);
    }

    // The corner box of a range is the union of its children's boxes; taking
    // it here saves a pass over the corners of every triangle at every level.
    out.min = Min(nodes[firstChild].min, nodes[secondChild].min);
    out.max = Max(nodes[firstChild].max, nodes[secondChild].max);
    return std::max(firstLevels, secondLevels);
}

void AabbTree::ComputeNodeValueRange(std::uint32_t node, const std::vector<std::uint32_t>& values) {
    // Values that do not cover every triangle would be read past their end.
    if (node >= nodes.size() || values.size() < triangleOrder.size()) return;
    if (nodeValueMin.size() != nodes.size()) nodeValueMin.assign(nodes.size(), 0);
    if (nodeValueMax.size() != nodes.size()) nodeValueMax.assign(nodes.size(), 0);
    ComputeValueRangeBelow(node, values);
}

void AabbTree::ComputeValueRangeBelow(std::uint32_t node, const std::vector<std::uint32_t>& values) {
    const AabbNode& n = nodes[node];
    if (n.triangleCount > 0) {
        std::uint32_t lo = std::numeric_limits<std::uint32_t>::max();
        std::uint32_t hi = 0;
        for (std::uint32_t i = n.firstTriangle; i < n.firstTriangle + n.triangleCount; ++i) {
            lo = std::min(lo, values[triangleOrder[i]]);
            hi = std::max(hi, values[triangleOrder[i]]);
        }
        nodeValueMin[node] = lo;
        nodeValueMax[node] = hi;
        return;
    }
    const std::uint32_t first = node + 1;
    ComputeValueRangeBelow(first, values);
    ComputeValueRangeBelow(n.secondChild, values);
    nodeValueMin[node] = std::min(nodeValueMin[first], nodeValueMin[n.secondChild]);
    nodeValueMax[node] = std::max(nodeValueMax[first], nodeValueMax[n.secondChild]);
}

RayHit AabbTree::Raycast(const Ray& ray, const TriangleMesh& mesh, float maxDistance) const {
    RayHit result;
    if (nodes.empty() || mesh.indices.size() != 3 * triangleOrder.size()) return result;

    // Boxes beyond the limit are passed over like boxes beyond a hit.
    float best = maxDistance < kFloatHuge ? maxDistance : kFloatHuge;
    const Ray boxRay = turned ? Ray{InFrame(ray.origin), InFrame(ray.direction)} : ray;
    std::array<std::uint32_t, kStackSize> stack;
    std::size_t size = 0;
    stack[size++] = 0;
    while (size > 0) {
        const AabbNode& node = nodes[stack[--size]];
        float entry = 0.0f;
        if (!RayIntersectsBox(boxRay, node.min, node.max, best, entry) || entry > best) continue;
        if (node.triangleCount == 0) {
            if (size + 2 <= kStackSize) {
                // The second child is popped first.
                stack[size++] = static_cast<std::uint32_t>(&node - nodes.data()) + 1;
                stack[size++] = node.secondChild;
            }
            continue;
        }
        for (std::uint32_t i = node.firstTriangle; i < node.firstTriangle + node.triangleCount; ++i) {
            const std::uint32_t t = triangleOrder[i];
            const std::size_t base = 3 * std::size_t{t};
            const RayHit hit = IntersectRayTriangle(ray, mesh.vertices[mesh.indices[base]].position,
                                                    mesh.vertices[mesh.indices[base + 1]].position,
                                                    mesh.vertices[mesh.indices[base + 2]].position);
            if (hit.hit && hit.distance < best) {
                best = hit.distance;
                result = hit;
                result.triangle = static_cast<std::int32_t>(t);
            }
        }
    }
    return result;
}

ClosestHit AabbTree::ClosestPoint(const TriangleMesh& mesh, const Vec3f& point, const std::uint32_t* excluded,
                                  std::size_t excludedCount, const TriangleSkipPredicate& skip,
                                  float maxDistance) const {
    ClosestHit result;
    if (nodes.empty() || mesh.indices.size() != 3 * triangleOrder.size()) return result;

    const bool useRanges = excluded != nullptr && excludedCount != 0 && nodeValueMin.size() == nodes.size() &&
                           nodeValueMax.size() == nodes.size();
    // Only points strictly closer than the limit count; a limit of 1e19 or
    // more (or NaN) means none, and a negative one admits nothing.
    double best = 1e300;
    if (maxDistance < 1e19f) {
        best = maxDistance > 0.0f ? double{maxDistance} * double{maxDistance} : 0.0;
    }
    const Vec3d p = ToDouble(point);
    const Vec3f boxPoint = InFrame(point);

    // Each entry carries its box distance so that it is not worked out twice.
    std::array<std::uint32_t, kStackSize> stack;
    std::array<float, kStackSize> stackDistance;
    std::size_t size = 0;
    stack[size] = 0;
    stackDistance[size++] = BoxDistanceSquared(nodes[0], boxPoint);
    while (size > 0) {
        --size;
        const std::uint32_t index = stack[size];
        if (double{stackDistance[size]} >= best) continue;
        if (useRanges) {
            const std::uint32_t lo = nodeValueMin[index];
            const std::uint32_t hi = nodeValueMax[index];
            if (std::uint32_t(hi - lo + 1u) <= excludedCount && RangeFullyExcluded(lo, hi, excluded, excludedCount)) {
                continue;
            }
        }
        const AabbNode& node = nodes[index];
        if (node.triangleCount == 0) {
            if (size + 2 > kStackSize) continue;
            const std::uint32_t first = index + 1;
            const float firstDistance = BoxDistanceSquared(nodes[first], boxPoint);
            const float secondDistance = BoxDistanceSquared(nodes[node.secondChild], boxPoint);
            // The nearer child goes on top; on a tie the second child is visited first.
            if (secondDistance > firstDistance) {
                stack[size] = node.secondChild;
                stackDistance[size++] = secondDistance;
                stack[size] = first;
                stackDistance[size++] = firstDistance;
            } else {
                stack[size] = first;
                stackDistance[size++] = firstDistance;
                stack[size] = node.secondChild;
                stackDistance[size++] = secondDistance;
            }
            continue;
        }
        // Start the corner loads of the whole leaf before the arithmetic: on a
        // large mesh nearly every leaf visited is a cache miss, and waiting for
        // one triangle at a time would leave the loads in series.
        for (std::uint32_t i = node.firstTriangle; i < node.firstTriangle + node.triangleCount; ++i) {
            const std::size_t base = 3 * std::size_t{triangleOrder[i]};
            for (int k = 0; k < 3; ++k) __builtin_prefetch(&mesh.vertices[mesh.indices[base + k]]);
        }
        for (std::uint32_t i = node.firstTriangle; i < node.firstTriangle + node.triangleCount; ++i) {
            const std::uint32_t t = triangleOrder[i];
            if (skip && skip(t)) continue;
            const std::size_t base = 3 * std::size_t{t};
            const Vec3d q = ClosestPointOnTriangle(p, ToDouble(mesh.vertices[mesh.indices[base]].position),
                                                   ToDouble(mesh.vertices[mesh.indices[base + 1]].position),
                                                   ToDouble(mesh.vertices[mesh.indices[base + 2]].position));
            const double d = LengthSquared(q - p);
            if (d < best) {
                best = d;
                result.found = true;
                result.point = ToFloat(q);
                result.triangle = static_cast<std::int32_t>(t);
            }
        }
    }
    if (result.found) result.distance = static_cast<float>(std::sqrt(best));
    return result;
}

}  // namespace ridgeforge::mesh
