// Mesh quality, the stage clock and the report texts shared by both remeshers.
//
// Quality is measured over the distinct undirected edges and over the triangle
// aspects (longest / shortest edge); percentiles interpolate linearly between
// the two ranks around (n - 1) x fraction of the ascending values.
#include "mesh/remesh/RemeshReport.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <exception>
#include <execution>
#include <initializer_list>
#include <iomanip>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <locale>
#include <sstream>
#include <utility>

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {

double InterpolatedPercentile(const std::vector<float>& sorted, double fraction) {
    if (sorted.empty()) return 0.0;
    const std::size_t n = sorted.size();
    const double position = static_cast<double>(n - 1) * fraction;
    const auto i = static_cast<std::size_t>(position);
    const std::size_t next = std::min(i + 1, n - 1);
    const float difference = sorted[next] - sorted[i];
    return static_cast<double>(sorted[i]) + static_cast<double>(difference) * (position - static_cast<double>(i));
}

namespace {

// Runs body(t) for t in [0, n) in parallel chunks.
template <typename Body>
void ForEachParallel(std::size_t n, const Body& body) {
    ForEachChunk(n, 16384, [&body](std::size_t begin, std::size_t end) {
        for (std::size_t t = begin; t < end; ++t) body(t);
    });
}

// A buffer of values that are all written before they are read. Unlike a
// vector it is not zeroed on the calling thread first: on meshes of tens of
// millions of triangles that zeroing, and the page faults it takes, cost more
// than the parallel loops that fill the buffer.
template <typename T>
struct Buffer {
    std::unique_ptr<T[]> data;
    std::size_t size = 0;

    explicit Buffer(std::size_t n) : data(std::make_unique_for_overwrite<T[]>(n)), size(n) {}
    T* begin() const { return data.get(); }
    T* end() const { return data.get() + size; }
    T& operator[](std::size_t i) const { return data[i]; }
};

// The lengths of the distinct undirected edges, in no particular order (only
// their ranks are used). Sides are sorted by their smaller vertex into buckets
// of consecutive vertices, by a counting sort over chunks of the index list
// that needs no atomics; each bucket then groups its sides by vertex, removes
// each vertex's repeated neighbours and writes the lengths over its own sides.
// Side numbers are 32-bit wherever the index list allows it.
template <typename Side>
Buffer<float> DistinctEdgeLengthsOf(const TriangleMesh& mesh) {
    const std::size_t sides = mesh.indices.size();
    const auto sideEnds = [&mesh](std::size_t s) {
        const std::size_t t = s / 3;
        const std::uint32_t i = mesh.indices[s];
        const std::uint32_t j = mesh.indices[3 * t + (s % 3 + 1) % 3];
        return std::pair<std::uint32_t, std::uint32_t>{std::min(i, j), std::max(i, j)};
    };
    constexpr int kBucketShift = 12;
    constexpr std::size_t kBucketVertices = std::size_t{1} << kBucketShift;
    const std::size_t buckets = (mesh.vertices.size() >> kBucketShift) + 1;
    Buffer<Side> sorted(sides);
    const std::vector<std::uint64_t> bucketStart = StableBucketOrder(
        sides, buckets, [&](std::size_t s) { return sideEnds(s).first >> kBucketShift; }, sorted.begin());
    // Each bucket's distinct lengths, as float bits over the start of its sides.
    std::vector<std::uint64_t> distinct(buckets + 1, 0);
    ForEachChunk(buckets, 1, [&](std::size_t b, std::size_t) {
        const std::size_t firstVertex = b << kBucketShift;
        const std::uint64_t from = bucketStart[b];
        const std::uint64_t count = bucketStart[b + 1] - from;
        std::vector<std::uint64_t> starts(kBucketVertices + 1, 0);
        std::vector<std::uint32_t> neighbours(count);
        for (std::uint64_t i = 0; i < count; ++i) ++starts[sideEnds(sorted[from + i]).first - firstVertex + 1];
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        for (std::uint64_t i = 0; i < count; ++i) {
            const auto [low, high] = sideEnds(sorted[from + i]);
            neighbours[starts[low - firstVertex]++] = high;
        }
        // Placing advanced each start to its vertex's end.
        std::uint64_t written = 0;
        std::uint64_t begin = 0;
        for (std::size_t u = 0; u < kBucketVertices && begin < count; ++u) {
            const auto first = neighbours.begin() + static_cast<std::ptrdiff_t>(begin);
            const auto last = neighbours.begin() + static_cast<std::ptrdiff_t>(starts[u]);
            begin = starts[u];
            std::sort(first, last);
            const Vec3f& p = mesh.vertices[firstVertex + u].position;
            const auto kept = std::unique(first, last);
            for (auto it = first; it != kept; ++it) {
                sorted[from + written++] =
                    static_cast<Side>(std::bit_cast<std::uint32_t>(Length(mesh.vertices[*it].position - p)));
            }
        }
        distinct[b + 1] = written;
    });
    std::partial_sum(distinct.begin(), distinct.end(), distinct.begin());
    Buffer<float> lengths(distinct[buckets]);
    ForEachChunk(buckets, 1, [&](std::size_t b, std::size_t) {
        for (std::uint64_t i = 0; i < distinct[b + 1] - distinct[b]; ++i) {
            lengths[distinct[b] + i] = std::bit_cast<float>(static_cast<std::uint32_t>(sorted[bucketStart[b] + i]));
        }
    });
    return lengths;
}

Buffer<float> DistinctEdgeLengths(const TriangleMesh& mesh) {
    if (mesh.indices.size() <= kMaxMeshElements) return DistinctEdgeLengthsOf<std::uint32_t>(mesh);
    return DistinctEdgeLengthsOf<std::uint64_t>(mesh);
}

// The values a full ascending sort would put at the given ranks, for
// non-negative values. A two-pass radix select on the bit patterns (which
// order like the values): a parallel histogram of the upper 16 bits finds each
// rank's bucket, a second one of the lower 16 bits within those few buckets
// finds the value itself. Linear and parallel, where sorting every edge length
// is neither, and indifferent to many equal values.
std::map<std::size_t, float> ValuesAtRanks(const float* values, std::size_t n, const std::vector<std::size_t>& ranks) {
    constexpr std::size_t kBuckets = 65536;
    const auto bitsOf = [](float v) { return std::bit_cast<std::uint32_t>(v + 0.0f); };  // -0 as +0

    // Counts per bucket, summed over chunks; `select` maps a bucket to its row
    // of counts (or -1), `key` takes the bucket and the counted part of a value.
    const auto histogram = [&](std::size_t rows, const auto& row, const auto& part) {
        const std::size_t chunk = std::max<std::size_t>(std::size_t{1} << 20, n / 16 + 1);
        std::vector<std::vector<std::uint32_t>> partial((n + chunk - 1) / chunk);
        ForEachChunk(n, chunk, [&](std::size_t begin, std::size_t end) {
            std::vector<std::uint32_t>& counts = partial[begin / chunk];
            counts.assign(rows * kBuckets, 0);
            for (std::size_t i = begin; i < end; ++i) {
                const std::uint32_t bits = bitsOf(values[i]);
                const int r = row(bits);
                if (r >= 0) ++counts[static_cast<std::size_t>(r) * kBuckets + part(bits)];
            }
        });
        std::vector<std::size_t> total(rows * kBuckets, 0);
        for (const auto& counts : partial) {
            for (std::size_t i = 0; i < counts.size(); ++i) total[i] += counts[i];
        }
        return total;
    };
    // The bucket of a rank within cumulative counts, and the rank within it.
    const auto locate = [](const std::size_t* counts, std::size_t rank) {
        std::size_t bucket = 0;
        while (rank >= counts[bucket]) rank -= counts[bucket++];
        return std::pair<std::size_t, std::size_t>{bucket, rank};
    };

    const std::vector<std::size_t> upper = histogram(
        1, [](std::uint32_t) { return 0; }, [](std::uint32_t bits) { return bits >> 16; });
    std::vector<int> row(kBuckets, -1);
    std::vector<std::pair<std::size_t, std::size_t>> placed;  // (upper bucket, rank within it) per rank
    int rows = 0;
    for (const std::size_t r : ranks) {
        placed.push_back(locate(upper.data(), r));
        if (row[placed.back().first] < 0) row[placed.back().first] = rows++;
    }
    const std::vector<std::size_t> lower = histogram(
        static_cast<std::size_t>(rows), [&row](std::uint32_t bits) { return row[bits >> 16]; },
        [](std::uint32_t bits) { return bits & 0xffffu; });
    std::map<std::size_t, float> result;
    for (std::size_t k = 0; k < ranks.size(); ++k) {
        const auto [high, within] = placed[k];
        const std::size_t low = locate(lower.data() + static_cast<std::size_t>(row[high]) * kBuckets, within).first;
        result[ranks[k]] = std::bit_cast<float>(static_cast<std::uint32_t>(high << 16 | low));
    }
    return result;
}

// InterpolatedPercentile of the sorted values, from the values at its two ranks.
struct RankedPercentiles {
    std::size_t n = 0;
    std::map<std::size_t, float> at;

    RankedPercentiles(const float* values, std::size_t count, std::initializer_list<double> fractions) : n(count) {
        if (n == 0) return;
        std::vector<std::size_t> ranks = {0, n - 1};
        for (const double f : fractions) {
            const auto i = static_cast<std::size_t>(static_cast<double>(n - 1) * f);
            ranks.push_back(i);
            ranks.push_back(std::min(i + 1, n - 1));
        }
        at = ValuesAtRanks(values, n, ranks);
    }
    float First() const { return at.at(0); }
    float Last() const { return at.at(n - 1); }
    double Percentile(double fraction) const {
        const double position = static_cast<double>(n - 1) * fraction;
        const auto i = static_cast<std::size_t>(position);
        const float difference = at.at(std::min(i + 1, n - 1)) - at.at(i);
        return static_cast<double>(at.at(i)) + static_cast<double>(difference) * (position - static_cast<double>(i));
    }
};

}  // namespace

MeshQuality MeasureMeshQuality(const TriangleMesh& mesh) {
    MeshQuality quality;
    if (!IsValidMesh(mesh) || mesh.indices.empty()) return quality;
    const std::size_t triangles = mesh.indices.size() / 3;
    quality.triangles = triangles;

    // A triangle with a zero-length edge has no aspect; it is marked -1 and
    // sorts before every real aspect.
    Buffer<float> aspects(triangles);
    ForEachParallel(triangles, [&](std::size_t t) {
        float length[3];
        for (int e = 0; e < 3; ++e) {
            const Vec3f& a = mesh.vertices[mesh.indices[3 * t + e]].position;
            const Vec3f& b = mesh.vertices[mesh.indices[3 * t + (e + 1) % 3]].position;
            length[e] = Length(b - a);
        }
        const float shortest = std::min({length[0], length[1], length[2]});
        aspects[t] = shortest > 0.0f ? std::max({length[0], length[1], length[2]}) / shortest : -1.0f;
    });
    const Buffer<float> lengths = DistinctEdgeLengths(mesh);
    quality.edges = lengths.size;

    float* const aspectsEnd =
        std::remove_if(std::execution::par_unseq, aspects.begin(), aspects.end(), [](float a) { return a < 0.0f; });
    const auto aspectCount = static_cast<std::size_t>(aspectsEnd - aspects.begin());
    const RankedPercentiles edge(lengths.begin(), lengths.size, {0.01, 0.5, 0.99});
    quality.edgeMin = edge.First();
    quality.edgeMax = edge.Last();
    quality.edgeP1 = static_cast<float>(edge.Percentile(0.01));
    quality.edgeMedian = static_cast<float>(edge.Percentile(0.5));
    quality.edgeP99 = static_cast<float>(edge.Percentile(0.99));
    if (aspectCount != 0) {
        const RankedPercentiles aspect(aspects.begin(), aspectCount, {0.5});
        quality.aspectMedian = static_cast<float>(aspect.Percentile(0.5));
        quality.aspectWorst = aspect.Last();
        const auto over = static_cast<std::size_t>(
            std::count_if(std::execution::par_unseq, aspects.begin(), aspectsEnd, [](float a) { return a > 10.0f; }));
        quality.shareOverTenToOne = static_cast<double>(over) / static_cast<double>(aspectCount);
    }
    return quality;
}

void RemeshStageTimer::Begin(const std::string& name) {
    const auto now = std::chrono::steady_clock::now();
    if (!name_.empty()) {
        const double milliseconds =
            static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(now - start_).count()) / 1e6;
        auto& stages = *stages_;
        const auto found =
            std::find_if(stages.begin(), stages.end(), [this](const StageTime& s) { return s.name == name_; });
        if (found != stages.end()) {
            found->milliseconds += milliseconds;
        } else {
            stages.push_back({name_, milliseconds});
        }
    }
    name_ = name;
    start_ = now;
}

namespace {

void WriteQuality(std::ostream& out, const MeshQuality& q) {
    out << std::setprecision(4) << q.triangles << " triangles, edges " << q.edgeMin << " / " << q.edgeP1 << " / "
        << q.edgeMedian << " / " << q.edgeP99 << " / " << q.edgeMax << " mm (min, 1%, median, 99%, max), aspect median "
        << std::setprecision(2) << q.aspectMedian << ", worst " << q.aspectWorst << ", over 10:1 "
        << q.shareOverTenToOne * 100.0 << "%";
}

}  // namespace

std::string FormatMeshQuality(const MeshQuality& quality) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed;
    WriteQuality(out, quality);
    return out.str();
}

std::string FormatRemeshReport(const RemeshReport& r) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::fixed << std::setprecision(4);
    if (!r.failure.empty()) {
        // A run that produced nothing usable shows why instead of a "N -> 0" line.
        out << "Remesh failed: " << r.failure << "\n";
        out << "  before: ";
        WriteQuality(out, r.qualityBefore);
    } else {
        out << (r.cancelled ? "Remesh cancelled: " : "Remesh: ");
        if (!r.contoured) {
            out << r.trianglesBefore << " -> " << r.trianglesAfter << " triangles, " << r.splits << " splits, "
                << r.collapses << " collapses, " << r.flips << " flips\n";
        } else {
            out << r.trianglesBefore << " -> " << r.trianglesAfter << " triangles by dual contouring, cell "
                << r.cellMillimetres << " mm";
            if (r.cellRaised) out << " (the finest this part's size allows)";
            if (r.strayBodiesRemoved != 0) {
                out << ", " << r.strayBodiesRemoved << " stray bodies the part did not have removed ("
                    << r.strayBodyTriangles << " triangles)";
            }
            if (r.thinPlaces != 0) out << ", " << r.thinPlaces << " places thinner than the cell";
            if (r.holeGridLines != 0) out << ", the part is open (" << r.holeGridLines << " grid lines through a hole)";
            out << "\n";
        }
        out << "  deviation from the original surface: " << r.deviationMillimetres << " mm\n";
        out << "  before: ";
        WriteQuality(out, r.qualityBefore);
        out << "\n  after:  ";
        WriteQuality(out, r.qualityAfter);
    }
    if (!r.stages.empty()) {
        out << std::setprecision(0) << "\n  time:";
        for (const StageTime& stage : r.stages) out << " " << stage.name << " " << stage.milliseconds << " ms;";
    }
    return out.str();
}

}  // namespace ridgeforge::mesh
