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
constexpr std::uint32_t kRangeWorthAStopLook = 16384;
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

// A triangle's corners in double, in a frame (rows of axes), with its
// longest edge, which the frame choice and the cutting both measure by.
struct FramedTriangle {
    Vec3d p[3];
    int a = 0, b = 1;  // the longest edge, from p[a] to p[b]
    Vec3d Edge() const { return p[b] - p[a]; }
    // Twice the area over the longest edge; infinite or not a number without length.
    double Width() const { return Length(Cross(p[1] - p[0], p[2] - p[0])) / Length(Edge()); }
};

constexpr std::array<Vec3f, 3> kAxes{Vec3f{1, 0, 0}, Vec3f{0, 1, 0}, Vec3f{0, 0, 1}};
constexpr std::array<Vec3d, 3> kAxesInDouble{Vec3d{1, 0, 0}, Vec3d{0, 1, 0}, Vec3d{0, 0, 1}};

FramedTriangle Framed(const TriangleMesh& mesh, std::size_t t, const std::array<Vec3f, 3>& frame) {
    FramedTriangle f;
    for (int k = 0; k < 3; ++k) {
        const Vec3d q = ToDouble(mesh.vertices[mesh.indices[3 * t + k]].position);
        f.p[k] = {Dot(ToDouble(frame[0]), q), Dot(ToDouble(frame[1]), q), Dot(ToDouble(frame[2]), q)};
    }
    for (const auto& [a, b] : {std::pair{1, 2}, std::pair{2, 0}}) {
        if (LengthSquared(f.p[b] - f.p[a]) > LengthSquared(f.p[f.b] - f.p[f.a])) f.a = a, f.b = b;
    }
    return f;
}

// The middle of the extents of the triangle's box, with its corners taken
// along the rows of `frame`.
double MiddleExtent(const FramedTriangle& f, const std::array<Vec3d, 3>& frame) {
    double extent[3];
    for (int k = 0; k < 3; ++k) {
        const double p = Dot(frame[k], f.p[0]), q = Dot(frame[k], f.p[1]), r = Dot(frame[k], f.p[2]);
        extent[k] = std::max({p, q, r}) - std::min({p, q, r});
    }
    std::sort(extent, extent + 3);
    return extent[1];
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

bool IsSliver(const FramedTriangle& f) {
    const double length = Length(f.Edge());
    return length > 0.0 && length >= 4.0 * f.Width();
}

bool ChooseSliverFrame(const TriangleMesh& mesh, std::array<Vec3f, 3>& axes) {
    const std::size_t count = mesh.TriangleCount();
    const std::size_t chunks = (count + kFrameChunk - 1) / kFrameChunk;
    using Moment = std::array<double, 9>;
    std::vector<Moment> moments(chunks, Moment{});
    ForEachChunk(count, kFrameChunk, [&](std::size_t begin, std::size_t end) {
        Moment& m = moments[begin / kFrameChunk];
        for (std::size_t t = begin; t < end; ++t) {
            const FramedTriangle f = Framed(mesh, t, kAxes);
            if (!IsSliver(f)) continue;
            const Vec3d edge = f.Edge();
            const double length = Length(edge);
            const double weight = std::min(length / std::max(f.Width(), 1e-12 * length), 1e4) / length;
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) m[3 * i + j] += weight * edge[i] * edge[j];
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

    std::vector<std::array<double, 2>> wastes(chunks, std::array<double, 2>{});
    ForEachChunk(count, kFrameChunk, [&](std::size_t begin, std::size_t end) {
        std::array<double, 2>& w = wastes[begin / kFrameChunk];
        for (std::size_t t = begin; t < end; ++t) {
            const FramedTriangle f = Framed(mesh, t, kAxes);
            if (!IsSliver(f)) continue;
            w[0] += MiddleExtent(f, kAxesInDouble);
            w[1] += MiddleExtent(f, turned);
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

// A triangle's box in the frame is loose when its middle extent is more
// than 64 times the triangle's width: then it is cut across its longest
// edge into slabs about four widths long, at most kMostPieces. Only
// slivers that extreme (the fans of a part of thousands of segments) are
// cut: which of several equally near triangles a query meets first depends
// on the tree, and where a remeshed vertex slides at a crease follows it,
// so ordinary parts keep the tree they had.
constexpr double kLoose = 64.0;
constexpr std::uint32_t kMostPieces = 8;

std::uint32_t WantedPieces(const FramedTriangle& f) {
    const double length = Length(f.Edge());
    const double width = f.Width();
    const double middle = MiddleExtent(f, kAxesInDouble);  // f is in the frame already
    if (!(length > 0.0) || !(middle > kLoose * width)) return 1;
    return static_cast<std::uint32_t>(std::min(double{kMostPieces}, std::ceil(middle / (4.0 * width))));
}

// Widens a box by a millionth of its largest coordinate: what rounding its
// corners to floats, or turning them, may cost it.
template <class V>
void Pad(V& low, V& high) {
    using Scalar = decltype(low.x);
    const Scalar pad = static_cast<Scalar>(1e-6) * std::max({std::abs(low.x), std::abs(low.y), std::abs(low.z),
                                                             std::abs(high.x), std::abs(high.y), std::abs(high.z)});
    low = low - V{pad, pad, pad};
    high = high + V{pad, pad, pad};
}

// The box of the triangle's part between s0 and s1, s running from 0 at one
// end of the longest edge to 1 at the other (the third corner lies between,
// opposite the largest angle). The outer slabs reach on without limit, so
// that the pieces cover the whole triangle whatever the rounding. Each cut
// is worked out from the edge's corners in one order, so neighbouring
// slabs meet at the same point.
void SlabBox(const FramedTriangle& f, double s0, double s1, Vec3d& low, Vec3d& high) {
    const Vec3d edge = f.Edge();
    const double scale = 1.0 / LengthSquared(edge);
    double s[3];
    for (int k = 0; k < 3; ++k) s[k] = Dot(f.p[k] - f.p[f.a], edge) * scale;
    low = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
           std::numeric_limits<double>::infinity()};
    high = Vec3d{} - low;
    const auto take = [&](const Vec3d& q) {
        for (int k = 0; k < 3; ++k) low[k] = std::min(low[k], q[k]), high[k] = std::max(high[k], q[k]);
    };
    for (int k = 0; k < 3; ++k) {
        if (s[k] >= s0 && s[k] <= s1) take(f.p[k]);
        int i = k, j = (k + 1) % 3;
        if (s[i] > s[j]) std::swap(i, j);
        for (const double cut : {s0, s1}) {
            if (std::isfinite(cut) && s[i] < cut && cut < s[j])
                take(f.p[i] + (f.p[j] - f.p[i]) * ((cut - s[i]) / (s[j] - s[i])));
        }
    }
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

void AabbTree::Build(const TriangleMesh& mesh, TreeBoxes boxes, CancelContext* cancel) {
    Clear();
    if (!IsValidMesh(mesh)) return;
    const std::uint32_t n = static_cast<std::uint32_t>(mesh.TriangleCount());
    if (n == 0) return;
    try {
        meshTriangles = n;
        std::vector<std::uint32_t> pieceTriangle;
        if (boxes == TreeBoxes::kFitted) {
            turned = ChooseSliverFrame(mesh, frame);
            pieceTriangle = CutPieces(mesh);
        }
        const auto references = static_cast<std::uint32_t>(pieceTriangle.empty() ? n : pieceTriangle.size());
        triangleOrder.resize(references);
        std::iota(triangleOrder.begin(), triangleOrder.end(), 0u);
        if (pieceTriangle.empty()) {
            centroids.resize(n);
            std::for_each(std::execution::par_unseq, triangleOrder.begin(), triangleOrder.end(), [&](std::uint32_t t) {
                const Vec3f& a = mesh.vertices[mesh.indices[3 * std::size_t{t}]].position;
                const Vec3f& b = mesh.vertices[mesh.indices[3 * std::size_t{t} + 1]].position;
                const Vec3f& c = mesh.vertices[mesh.indices[3 * std::size_t{t} + 2]].position;
                centroids[t] = InFrame((a + b + c) * 0.33333334f);
            });
        }
        nodes.assign(CountNodes(references, 0), AabbNode{});
        depth = BuildRange(mesh, 0, 0, references, 0, cancel);
        if (!pieceTriangle.empty()) {
            for (std::uint32_t& reference : triangleOrder) reference = pieceTriangle[reference];
        }
    } catch (...) {
        // A half-written tree has zeroed nodes whose children point back at
        // the root; a query on it would never end. Leave an empty tree.
        Clear();
        throw;
    }
    std::vector<Vec3f>().swap(centroids);
    std::vector<Vec3f>().swap(pieceLow_);
    std::vector<Vec3f>().swap(pieceHigh_);
}

void AabbTree::Clear() {
    nodes.clear();
    nodeValueMin.clear();
    nodeValueMax.clear();
    triangleOrder.clear();
    std::vector<Vec3f>().swap(centroids);
    std::vector<Vec3f>().swap(pieceLow_);
    std::vector<Vec3f>().swap(pieceHigh_);
    depth = 0;
    meshTriangles = 0;
    turned = false;
    frame = kAxes;
}

// Cuts the loose triangles into pieces, filling the pieces' boxes and
// centres (in the frame) and returning each piece's triangle; nothing when
// no triangle is loose. The pieces of the loosest are capped together, so
// that a part of slivers takes at most about four more pieces a triangle.
std::vector<std::uint32_t> AabbTree::CutPieces(const TriangleMesh& mesh) {
    const std::size_t count = mesh.TriangleCount();
    std::vector<std::uint8_t> wanted(count);
    constexpr std::size_t kChunk = 16384;
    ForEachChunk(count, kChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t)
            wanted[t] = static_cast<std::uint8_t>(WantedPieces(Framed(mesh, t, frame)));
    });
    std::array<std::uint64_t, kMostPieces + 1> ofSize{};
    for (const std::uint8_t w : wanted) ++ofSize[w];
    if (ofSize[1] == count) return {};
    const std::uint64_t budget = std::min<std::uint64_t>(4 * std::uint64_t{count} + 65536, 0x7FFFFFFFu);
    std::uint32_t cap = kMostPieces;
    const auto total = [&ofSize](std::uint32_t most) {
        std::uint64_t sum = 0;
        for (std::uint32_t w = 1; w <= kMostPieces; ++w) sum += ofSize[w] * std::min(w, most);
        return sum;
    };
    while (cap > 1 && total(cap) > budget) cap /= 2;
    if (cap == 1) return {};

    std::vector<std::uint32_t> first(count + 1, 0);
    for (std::size_t t = 0; t < count; ++t) first[t + 1] = first[t] + std::min<std::uint32_t>(wanted[t], cap);
    std::vector<std::uint32_t> pieceTriangle(first[count]);
    pieceLow_.resize(first[count]);
    pieceHigh_.resize(first[count]);
    centroids.resize(first[count]);
    ForEachChunk(count, kChunk, [&](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) {
            const FramedTriangle f = Framed(mesh, t, frame);
            const std::uint32_t pieces = first[t + 1] - first[t];
            for (std::uint32_t i = 0; i < pieces; ++i) {
                const double inf = std::numeric_limits<double>::infinity();
                const double s0 = i == 0 ? -inf : static_cast<double>(i) / pieces;
                const double s1 = i + 1 == pieces ? inf : static_cast<double>(i + 1) / pieces;
                Vec3d low, high;
                SlabBox(f, s0, s1, low, high);
                const std::uint32_t r = first[t] + i;
                pieceTriangle[r] = static_cast<std::uint32_t>(t);
                centroids[r] = ToFloat((low + high) * 0.5);
                Pad(low, high);
                pieceLow_[r] = ToFloat(low);
                pieceHigh_[r] = ToFloat(high);
            }
        }
    });
    return pieceTriangle;
}

std::uint32_t AabbTree::BuildRange(const TriangleMesh& mesh, std::uint32_t node, std::uint32_t first,
                                   std::uint32_t count, std::uint32_t level, CancelContext* cancel) {
    AabbNode& out = nodes[node];
    const auto begin = triangleOrder.begin() + first;
    const auto end = begin + count;

    if (IsLeafRange(count, level)) {
        Vec3f lo{kFloatHuge, kFloatHuge, kFloatHuge};
        Vec3f hi{-kFloatHuge, -kFloatHuge, -kFloatHuge};
        if (!pieceLow_.empty()) {
            for (auto it = begin; it != end; ++it) {
                lo = Min(lo, pieceLow_[*it]);
                hi = Max(hi, pieceHigh_[*it]);
            }
        } else {
            for (auto it = begin; it != end; ++it) {
                for (int corner = 0; corner < 3; ++corner) {
                    const Vec3f p = InFrame(mesh.vertices[mesh.indices[3 * std::size_t{*it} + corner]].position);
                    lo = Min(lo, p);
                    hi = Max(hi, p);
                }
            }
        }
        if (turned && pieceLow_.empty()) {
            // Turning rounds the corners and the query points alike; the
            // margin keeps a box from passing over a triangle by a rounding.
            Pad(lo, hi);
        }
        out.min = lo;
        out.max = hi;
        out.firstTriangle = first;
        out.triangleCount = count;
        return level + 1;
    }

    // A tree of millions of triangles takes a second on two CPUs; the ranges
    // too small to take a millisecond are not worth a look at the clock.
    if (count >= kRangeWorthAStopLook && AskCancelByClock(cancel)) throw Stopped{};
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
        std::future<std::uint32_t> task =
            StartOrDefer([&] { return BuildRange(mesh, firstChild, first, half, level + 1, cancel); });
        secondLevels = BuildRange(mesh, secondChild, first + half, count - half, level + 1, cancel);
        firstLevels = task.get();
    } else {
        firstLevels = BuildRange(mesh, firstChild, first, half, level + 1, cancel);
        secondLevels = BuildRange(mesh, secondChild, first + half, count - half, level + 1, cancel);
    }

    // The corner box of a range is the union of its children's boxes; taking
    // it here saves a pass over the corners of every triangle at every level.
    out.min = Min(nodes[firstChild].min, nodes[secondChild].min);
    out.max = Max(nodes[firstChild].max, nodes[secondChild].max);
    return std::max(firstLevels, secondLevels);
}

void AabbTree::ComputeNodeValueRange(std::uint32_t node, const std::vector<std::uint32_t>& values) {
    // Values that do not cover every triangle would be read past their end.
    if (node >= nodes.size() || values.size() < meshTriangles) return;
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
    if (nodes.empty() || mesh.indices.size() != 3 * std::size_t{meshTriangles}) return result;

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
    if (nodes.empty() || mesh.indices.size() != 3 * std::size_t{meshTriangles}) return result;

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
