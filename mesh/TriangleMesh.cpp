// Basic geometry of the indexed triangle mesh.
#include "mesh/TriangleMesh.h"

#include <algorithm>
#include <cmath>
#include <execution>
#include <memory>
#include <new>
#include <numeric>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {

Vec3f Normalize(const Vec3f& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length > 1e-12f) {
        const float inv = 1.0f / length;
        return {v.x * inv, v.y * inv, v.z * inv};
    }
    return {0.0f, 0.0f, 0.0f};
}

namespace {

// Below this many elements a loop runs on the calling thread: starting the
// workers would cost more than it saves.
constexpr std::size_t kParallelElements = std::size_t{1} << 18;

// Adds the triangles' face normals into their corners in triangle order.
void AccumulateNormalsInOrder(TriangleMesh& mesh) {
    for (Vertex& v : mesh.vertices) v.normal = {0.0f, 0.0f, 0.0f};
    for (std::size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        Vertex& a = mesh.vertices[mesh.indices[i]];
        Vertex& b = mesh.vertices[mesh.indices[i + 1]];
        Vertex& c = mesh.vertices[mesh.indices[i + 2]];
        const Vec3f n = Cross(b.position - a.position, c.position - a.position);
        a.normal += n;
        b.normal += n;
        c.normal += n;
    }
}

// The same sums on all threads. Float addition is not associative, so each
// vertex must add its triangles' normals in ascending triangle order, as the
// sequential loop does. The corners are sorted, stably, into buckets of
// consecutive vertices (a counting sort over chunks of the index list, with
// no atomics); each bucket then runs the sequential loop over its own
// corners, in index order, and is the only writer of its vertices' normals.
void AccumulateNormalsInParallel(TriangleMesh& mesh) {
    const std::vector<std::uint32_t>& indices = mesh.indices;
    const std::size_t corners = indices.size();
    constexpr int kBucketShift = 14;
    const std::size_t buckets = (mesh.vertices.size() >> kBucketShift) + 1;
    // Left uninitialised: every entry is written by the scatter, whose threads
    // then also take the page faults.
    const std::unique_ptr<std::uint32_t[]> sorted(new std::uint32_t[corners]);
    const std::vector<std::uint64_t> bucketStart = StableBucketOrder(
        corners, buckets, [&](std::size_t k) { return indices[k] >> kBucketShift; }, sorted.get());
    ForEachChunk(buckets, 1, [&](std::size_t b, std::size_t) {
        const std::size_t first = b << kBucketShift;
        const std::size_t last = std::min(mesh.vertices.size(), (b + 1) << kBucketShift);
        for (std::size_t v = first; v < last; ++v) mesh.vertices[v].normal = {0.0f, 0.0f, 0.0f};
        for (std::uint64_t i = bucketStart[b]; i < bucketStart[b + 1]; ++i) {
            const std::size_t base = sorted[i] / 3 * 3;
            const Vec3f& a = mesh.vertices[indices[base]].position;
            const Vec3f& p = mesh.vertices[indices[base + 1]].position;
            const Vec3f& q = mesh.vertices[indices[base + 2]].position;
            mesh.vertices[indices[sorted[i]]].normal += Cross(p - a, q - a);
        }
    });
}

}  // namespace

bool IsValidMesh(const TriangleMesh& mesh) {
    if (mesh.indices.size() % 3 != 0) return false;
    const std::size_t n = mesh.vertices.size();
    const auto inRange = [n](std::uint32_t i) { return i < n; };
    if (mesh.indices.size() < kParallelElements) return std::all_of(mesh.indices.begin(), mesh.indices.end(), inRange);
    return std::all_of(std::execution::par_unseq, mesh.indices.begin(), mesh.indices.end(), inRange);
}

void TriangleMesh::RecomputeBounds() {
    boundsMin = boundsMax = {0.0f, 0.0f, 0.0f};
    boundsValid = false;
    if (vertices.empty()) return;
    // Min and Max keep the later of equal values (+0 and -0) and pass a NaN
    // on in an order-dependent way; folding chunk results in chunk order gives
    // the sequential answer for numbers, and a NaN anywhere falls back to the
    // sequential fold.
    const auto fold = [this](std::size_t begin, std::size_t end, Vec3f& low, Vec3f& high) {
        low = high = vertices[begin].position;
        for (std::size_t i = begin; i < end; ++i) {
            low = Min(low, vertices[i].position);
            high = Max(high, vertices[i].position);
        }
    };
    const std::size_t n = vertices.size();
    bool folded = false;
    if (n >= kParallelElements) {
        constexpr std::size_t kChunk = 65536;
        struct Range {
            Vec3f low, high;
            bool withoutNaN = true;
        };
        std::vector<Range> ranges((n + kChunk - 1) / kChunk);
        ForEachChunk(n, kChunk, [&](std::size_t begin, std::size_t end) {
            Range& r = ranges[begin / kChunk];
            fold(begin, end, r.low, r.high);
            for (std::size_t i = begin; i < end && r.withoutNaN; ++i) {
                const Vec3f& p = vertices[i].position;
                r.withoutNaN = !(std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z));
            }
        });
        if (std::all_of(ranges.begin(), ranges.end(), [](const Range& r) { return r.withoutNaN; })) {
            boundsMin = ranges.front().low;
            boundsMax = ranges.front().high;
            for (const Range& r : ranges) {
                boundsMin = Min(boundsMin, r.low);
                boundsMax = Max(boundsMax, r.high);
            }
            folded = true;
        }
    }
    if (!folded) fold(0, n, boundsMin, boundsMax);
    boundsValid = true;
}

void TriangleMesh::RecomputeNormals() {
    if (!IsValidMesh(*this)) {
        for (Vertex& v : vertices) v.normal = {0.0f, 0.0f, 0.0f};
        return;
    }
    bool summed = false;
    if (indices.size() >= kParallelElements && indices.size() <= kMaxMeshElements) {
        try {
            AccumulateNormalsInParallel(*this);
            summed = true;
        } catch (const std::bad_alloc&) {
            // The corner lists did not fit; the sequential sums need no memory.
        }
    }
    if (!summed) AccumulateNormalsInOrder(*this);
    if (vertices.size() < kParallelElements) {
        for (Vertex& v : vertices) v.normal = Normalize(v.normal);
    } else {
        ForEachChunk(vertices.size(), 65536, [this](std::size_t begin, std::size_t end) {
            for (std::size_t v = begin; v < end; ++v) vertices[v].normal = Normalize(vertices[v].normal);
        });
    }
}

Vec3f TriangleMesh::FaceNormal(std::uint64_t t) const {
    if (t >= indices.size() / 3) return {};
    const std::uint32_t ia = indices[3 * t], ib = indices[3 * t + 1], ic = indices[3 * t + 2];
    const std::size_t n = vertices.size();
    if (ia >= n || ib >= n || ic >= n) return {};
    const Vec3f& a = vertices[ia].position;
    return Normalize(Cross(vertices[ib].position - a, vertices[ic].position - a));
}

float TriangleMesh::SurfaceArea() const {
    if (!IsValidMesh(*this)) return 0.0f;
    float area = 0.0f;
    for (std::size_t i = 0; i < indices.size(); i += 3) {
        const Vec3f& a = vertices[indices[i]].position;
        const Vec3f n = Cross(vertices[indices[i + 1]].position - a, vertices[indices[i + 2]].position - a);
        area += 0.5f * Length(n);
    }
    return area;
}

float TriangleMesh::SignedVolume() const {
    if (!IsValidMesh(*this)) return 0.0f;
    double sum = 0.0;
    for (std::size_t i = 0; i < indices.size(); i += 3) {
        const Vec3d a = ToDouble(vertices[indices[i]].position);
        const Vec3d b = ToDouble(vertices[indices[i + 1]].position);
        const Vec3d c = ToDouble(vertices[indices[i + 2]].position);
        sum += Dot(a, Cross(b, c));
    }
    return static_cast<float>(sum / 6.0);
}

float MedianEdgeLength(const TriangleMesh& mesh) {
    if (mesh.indices.size() < 3 || mesh.vertices.empty()) return 0.0f;
    const std::size_t triangles = mesh.indices.size() / 3;
    const std::size_t step = std::max<std::size_t>(triangles / 40001, 1);
    const std::size_t n = mesh.vertices.size();
    std::vector<float> lengths;
    lengths.reserve(3 * (triangles / step + 1));
    for (std::size_t t = 0; t < triangles; t += step) {
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t i = mesh.indices[3 * t + e];
            const std::uint32_t j = mesh.indices[3 * t + (e + 1) % 3];
            if (i >= n || j >= n) continue;
            const float length = Length(mesh.vertices[j].position - mesh.vertices[i].position);
            if (length > 0.0f) lengths.push_back(length);
        }
    }
    if (lengths.empty()) return 0.0f;
    const auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
    std::nth_element(lengths.begin(), middle, lengths.end());
    return *middle;
}

}  // namespace ridgeforge::mesh
