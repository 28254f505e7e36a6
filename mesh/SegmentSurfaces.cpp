// Flat-surface search by greedy plane grouping: triangles are taken in index
// order and each joins the earliest plane (in order of creation) that lies
// within the angle and distance tolerances, or starts a new one.
//
// Finding "the earliest matching plane" by scanning every plane is quadratic,
// hours on a million-triangle scan. Instead each plane is entered in a hash
// grid over (unit normal, offset) in every cell that a matching triangle could
// fall in; a triangle then reads only the one cell it falls in and takes the
// earliest matching plane listed there. Match tests are
// the exact float tests of the plain scan and the cells are widened by a
// bound on their rounding, so the grouping is identical to the plain scan.
// Triangles outside the grid's assumptions (a normal far from unit length, an
// infinite offset with an infinite distance tolerance) fall back to the plain
// scan; ones that can never match anything (NaN) are kept out of both.
#include "mesh/SegmentSurfaces.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <execution>
#include <limits>

#include "mesh/PlaneSupport.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

enum class Kind : std::uint8_t { Skip, Regular, Odd, Isolated };

struct TrianglePlane {
    Vec3f normal;
    float offset = 0;
    float length = 0;  // twice the area
    Kind kind = Kind::Skip;
    std::uint64_t cell = 0;
};

struct Candidate {
    Vec3f normal;
    float offset = 0;
    double area = 0;
    Vec3d centroidSum;
};

// Open-addressing map from a 64-bit cell key to the newest entry of the
// cell's list. Key and value share a slot so that a probe touches one cache
// line; no packed key is all ones, which marks a free slot.
class CellTable {
public:
    const std::uint32_t* Find(std::uint64_t key) const {
        if (slots_.empty()) return nullptr;
        for (std::size_t i = Slot(key);; i = (i + 1) & mask_) {
            if (slots_[i].key == kFree) return nullptr;
            if (slots_[i].key == key) return &slots_[i].head;
        }
    }
    // The cell's head, made (as kNone) when the cell is new. Valid until the next call.
    std::uint32_t& FindOrAdd(std::uint64_t key) {
        if (2 * (count_ + 1) > slots_.size()) Grow();
        for (std::size_t i = Slot(key);; i = (i + 1) & mask_) {
            if (slots_[i].key == kFree) {
                slots_[i].key = key;
                ++count_;
                return slots_[i].head;
            }
            if (slots_[i].key == key) return slots_[i].head;
        }
    }
    void Prefetch(std::uint64_t key) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[Slot(key)]);
    }

private:
    static constexpr std::uint64_t kFree = ~std::uint64_t{0};
    struct SlotEntry {
        std::uint64_t key = kFree;
        std::uint32_t head = kNone;
    };
    std::size_t Slot(std::uint64_t key) const { return (key * 0x9E3779B97F4A7C15ull) >> shift_; }
    void Grow() {
        std::vector<SlotEntry> old = std::move(slots_);
        const std::size_t size = old.empty() ? 1024 : old.size() * 2;
        slots_.assign(size, SlotEntry{});
        mask_ = size - 1;
        shift_ = 64 - std::countr_zero(size);
        count_ = 0;
        for (const SlotEntry& e : old) {
            if (e.key != kFree) FindOrAdd(e.key) = e.head;
        }
    }
    std::vector<SlotEntry> slots_;
    std::size_t mask_ = 0;
    int shift_ = 64;
    std::size_t count_ = 0;
};

// The hash grid: the cell size in normal space covers the largest normal
// difference that can still pass the angle test, in offset the largest
// offset difference that can pass the distance test. A plane is entered in
// every cell that a matching triangle can fall in, so a triangle reads only
// its own cell.
class PlaneGrid {
public:
    PlaneGrid(float cosLimit, float distLimit) : distLimit_(distLimit) {
        // For normals of squared length 1 +- 1e-6, a float dot product at or
        // above cosLimit keeps the chord |n - m| below this radius.
        normalRadius_ = std::sqrt(std::max(0.0, 2.0 * (1.0 - double(cosLimit))) + 1e-5);
        normalCell_ = 2.0 * normalRadius_;
        offsetCell_ = std::max(2.0 * double(distLimit) * (1.0 + 1e-5), 1e-3);
        infiniteDistance_ = std::isinf(distLimit);
    }

    std::uint64_t Key(const Vec3f& n, float d) const {
        return Pack(NormalCoord(n.x), NormalCoord(n.y), NormalCoord(n.z), OffsetCoord(d));
    }

    void Insert(const Vec3f& m, float e, std::uint32_t candidate) {
        std::int64_t lo[4], hi[4];
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = NormalCoord(m[axis] - normalRadius_);
            hi[axis] = NormalCoord(m[axis] + normalRadius_);
        }
        // Covers the float subtraction's rounding and that of the double sums here.
        const double reach = double(distLimit_) * (1.0 + 1e-5) + std::fabs(double(e)) * 1e-12 + 1e-37;
        lo[3] = OffsetCoord(double(e) - reach);
        hi[3] = OffsetCoord(double(e) + reach);
        // Usually 16 cells; their slots are fetched together before any is used.
        std::uint64_t keys[81];
        int count = 0;
        for (std::int64_t x = lo[0]; x <= hi[0]; ++x)
            for (std::int64_t y = lo[1]; y <= hi[1]; ++y)
                for (std::int64_t z = lo[2]; z <= hi[2]; ++z)
                    for (std::int64_t o = lo[3]; o <= hi[3]; ++o) {
                        keys[count] = Pack(x, y, z, o);
                        table_.Prefetch(keys[count++]);
                    }
        const auto plane = static_cast<std::uint32_t>(planes_.size());
        planes_.push_back({m, e, candidate});
        for (int i = 0; i < count; ++i) {
            std::uint32_t& head = table_.FindOrAdd(keys[i]);
            entries_.push_back({plane, head});
            head = static_cast<std::uint32_t>(entries_.size() - 1);
        }
    }

    // The earliest plane of the cell that `accept` takes, or kNone. Lists run
    // newest first, so the last one taken is the earliest.
    template <typename Accept>
    std::uint32_t EarliestIn(std::uint64_t key, Accept&& accept) const {
        const std::uint32_t* head = table_.Find(key);
        std::uint32_t found = kNone;
        for (std::uint32_t e = head ? *head : kNone; e != kNone; e = entries_[e].next) {
            const Plane& plane = planes_[entries_[e].plane];
            if (accept(plane.normal, plane.offset)) found = plane.candidate;
        }
        return found;
    }
    void Prefetch(std::uint64_t key) const { table_.Prefetch(key); }

private:
    struct Entry {
        std::uint32_t plane;
        std::uint32_t next;
    };
    struct Plane {
        Vec3f normal;
        float offset;
        std::uint32_t candidate;
    };
    static constexpr std::int64_t kNormalBias = 2048;
    static constexpr std::int64_t kOffsetBias = std::int64_t{1} << 27;

    std::int64_t NormalCoord(double v) const {
        return static_cast<std::int64_t>(std::floor(std::clamp(v / normalCell_, -2000.0, 2000.0)));
    }
    std::int64_t OffsetCoord(double v) const {
        if (infiniteDistance_) return 0;
        const double limit = double(kOffsetBias - 2);
        return static_cast<std::int64_t>(std::floor(std::clamp(v / offsetCell_, -limit, limit)));
    }
    static std::uint64_t Pack(std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t o) {
        return std::uint64_t(x + kNormalBias) | (std::uint64_t(y + kNormalBias) << 12) |
               (std::uint64_t(z + kNormalBias) << 24) | (std::uint64_t(o + kOffsetBias) << 36);
    }

    float distLimit_;
    double normalRadius_ = 0, normalCell_ = 1, offsetCell_ = 1;
    bool infiniteDistance_ = false;
    CellTable table_;
    std::vector<Entry> entries_;
    std::vector<Plane> planes_;
};

TrianglePlane MeasureTriangle(const Vec3f& a, const Vec3f& b, const Vec3f& c, float cosLimit, float distLimit) {
    TrianglePlane plane;
    const Vec3f cr = Cross(b - a, c - a);
    plane.length = Length(cr);
    if (!(plane.length > 0)) return plane;
    plane.normal = cr / plane.length;
    plane.offset = Dot(plane.normal, a);
    const Vec3d n = ToDouble(plane.normal);
    if (std::isnan(cosLimit) || !IsFinite(plane.normal) || std::isnan(plane.offset) ||
        (std::isinf(plane.offset) && !std::isinf(distLimit))) {
        plane.kind = Kind::Isolated;  // every match test with it fails
    } else if (std::isinf(plane.offset) || std::fabs(Dot(n, n) - 1.0) > 1e-6) {
        plane.kind = Kind::Odd;
    } else {
        plane.kind = Kind::Regular;
    }
    return plane;
}

struct Grouping {
    std::vector<Candidate> candidates;
    std::vector<std::uint32_t> owner;  // candidate of each triangle, kNone when passed over
};

Grouping GroupTriangles(const TriangleMesh& mesh, float cosLimit, float distLimit) {
    const auto matches = [&](const TrianglePlane& t, const Vec3f& normal, float offset) {
        return Dot(t.normal, normal) >= cosLimit && std::fabs(offset - t.offset) <= distLimit;
    };
    const auto corner = [&](std::size_t t, int k) { return mesh.vertices[mesh.indices[3 * t + k]].position; };

    PlaneGrid grid(cosLimit, distLimit);
    const std::size_t triangleCount = mesh.TriangleCount();
    std::vector<TrianglePlane> planes(triangleCount);
    Grouping result;
    std::vector<std::uint32_t>& owner = result.owner;
    owner.resize(triangleCount);
    for (std::size_t t = 0; t < triangleCount; ++t) owner[t] = static_cast<std::uint32_t>(t);
    std::for_each(std::execution::par_unseq, owner.begin(), owner.end(), [&](std::uint32_t t) {
        planes[t] = MeasureTriangle(corner(t, 0), corner(t, 1), corner(t, 2), cosLimit, distLimit);
        if (planes[t].kind == Kind::Regular) planes[t].cell = grid.Key(planes[t].normal, planes[t].offset);
    });

    // The grouping itself is sequential: which plane a triangle joins depends
    // on every earlier triangle.
    std::vector<Candidate>& candidates = result.candidates;
    std::vector<std::uint32_t> oddCandidates;  // those outside the grid, ascending
    for (std::size_t t = 0; t < triangleCount; ++t) {
        const TrianglePlane& p = planes[t];
        owner[t] = kNone;
        if (t + 16 < triangleCount) grid.Prefetch(planes[t + 16].cell);
        if (p.kind == Kind::Skip) continue;
        const auto matchesTriangle = [&](const Vec3f& normal, float offset) { return matches(p, normal, offset); };
        std::uint32_t found = kNone;
        if (p.kind == Kind::Regular) {
            found = grid.EarliestIn(p.cell, matchesTriangle);
            for (std::uint32_t c : oddCandidates) {
                if (c >= found) break;
                if (matchesTriangle(candidates[c].normal, candidates[c].offset)) found = c;
            }
        } else if (p.kind == Kind::Odd) {
            for (std::uint32_t c = 0; c < candidates.size() && found == kNone; ++c) {
                if (matchesTriangle(candidates[c].normal, candidates[c].offset)) found = c;
            }
        }
        if (found == kNone) {
            found = static_cast<std::uint32_t>(candidates.size());
            candidates.push_back({p.normal, p.offset, 0.0, {}});
            if (p.kind == Kind::Regular)
                grid.Insert(p.normal, p.offset, found);
            else if (p.kind == Kind::Odd)
                oddCandidates.push_back(found);
        }
        owner[t] = found;
        Candidate& c = candidates[found];
        const double half = double(p.length) / 2.0;
        c.area += half;
        c.centroidSum += (ToDouble(corner(t, 0)) + ToDouble(corner(t, 1)) + ToDouble(corner(t, 2))) * (half / 3.0);
    }
    return result;
}

// The candidates of at least the minimum area that the part can stand on: no
// vertex lies in front of the plane beyond the tolerance.
std::vector<Surface> StandableSurfaces(const TriangleMesh& mesh, const Grouping& grouping, float minimumArea,
                                       float distLimit) {
    const std::vector<Candidate>& candidates = grouping.candidates;
    std::vector<std::uint32_t> large;
    for (std::uint32_t c = 0; c < candidates.size(); ++c) {
        if (candidates[c].area >= double(minimumArea)) large.push_back(c);
    }
    if (large.empty()) return {};
    std::vector<Vec3f> positions(mesh.vertices.size());
    std::transform(mesh.vertices.begin(), mesh.vertices.end(), positions.begin(),
                   [](const Vertex& v) { return v.position; });
    const PlaneSupport support(positions);
    std::vector<std::uint8_t> keep(large.size(), 0);
    std::vector<std::size_t> order(large.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::for_each(std::execution::par, order.begin(), order.end(), [&](std::size_t i) {
        const Candidate& c = candidates[large[i]];
        keep[i] = support.AllBehind(c.normal, c.offset, distLimit) ? 1 : 0;
    });

    std::vector<std::uint32_t> surfaceOf(candidates.size(), kNone);
    std::vector<Surface> surfaces;
    for (std::size_t i = 0; i < large.size(); ++i) {
        if (!keep[i]) continue;
        const Candidate& c = candidates[large[i]];
        surfaceOf[large[i]] = static_cast<std::uint32_t>(surfaces.size());
        Surface s;
        s.normal = c.normal;
        s.offset = c.offset;
        s.area = static_cast<float>(c.area);
        s.centroid = ToFloat(c.centroidSum * (1.0 / c.area));
        surfaces.push_back(std::move(s));
    }
    const std::vector<std::uint32_t>& owner = grouping.owner;
    for (std::size_t t = 0; t < owner.size(); ++t) {
        if (owner[t] != kNone && surfaceOf[owner[t]] != kNone)
            surfaces[surfaceOf[owner[t]]].triangles.push_back(static_cast<std::uint32_t>(t));
    }
    return surfaces;
}

}  // namespace

std::vector<Surface> SegmentSurfaces(const TriangleMesh& mesh, const SurfaceSearchSettings& settings) {
    if (!IsValidMesh(mesh) || mesh.TriangleCount() == 0) return {};
    const float cosLimit = std::cos(settings.angleTolerance * 3.1415927f / 180.0f);
    const float distLimit = std::max(0.0f, settings.distanceTolerance);
    std::vector<Surface> surfaces =
        StandableSurfaces(mesh, GroupTriangles(mesh, cosLimit, distLimit), settings.minimumArea, distLimit);
    // Stable, so equal areas keep the order in which their planes were found.
    std::stable_sort(surfaces.begin(), surfaces.end(),
                     [](const Surface& a, const Surface& b) { return a.area > b.area; });
    return surfaces;
}

}  // namespace ridgeforge::mesh
