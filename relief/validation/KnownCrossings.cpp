// The memory is one mesh and its list. Two meshes are the same to the search
// when a one-to-one map between their vertex numbers carries every corner of
// the first onto the same corner of the second at the same position: one
// pass over the corners that builds the map both ways and stops at the first
// corner that does not fit.
#include "relief/validation/KnownCrossings.h"

#include <bit>
#include <limits>

#include "mesh/SortUnique.h"
#include "relief/validation/SelfIntersections.h"

namespace ridgeforge::mesh {

struct KnownCrossingsScope::Memory {
    std::vector<std::uint32_t> indices;
    std::vector<Vec3f> positions;
    std::vector<std::uint32_t> crossings;
};

namespace {

thread_local KnownCrossingsScope* innermost = nullptr;

constexpr std::uint32_t kUnmapped = std::numeric_limits<std::uint32_t>::max();

// Bit for bit, so that -0 and +0, or two NaNs, never pass for each other.
bool SameBits(const Vec3f& a, const Vec3f& b) {
    return std::bit_cast<std::uint32_t>(a.x) == std::bit_cast<std::uint32_t>(b.x) &&
           std::bit_cast<std::uint32_t>(a.y) == std::bit_cast<std::uint32_t>(b.y) &&
           std::bit_cast<std::uint32_t>(a.z) == std::bit_cast<std::uint32_t>(b.z);
}

bool SameToTheSearch(const KnownCrossingsScope::Memory& known, const TriangleMesh& mesh) {
    if (known.indices.size() != mesh.indices.size() || !IsValidMesh(mesh)) return false;
    std::vector<std::uint32_t> toMesh(known.positions.size(), kUnmapped);
    std::vector<std::uint32_t> toKnown(mesh.vertices.size(), kUnmapped);
    for (std::size_t k = 0; k < mesh.indices.size(); ++k) {
        const std::uint32_t a = known.indices[k];
        const std::uint32_t b = mesh.indices[k];
        if (toMesh[a] == b && toKnown[b] == a) continue;
        if (toMesh[a] != kUnmapped || toKnown[b] != kUnmapped) return false;
        if (!SameBits(known.positions[a], mesh.vertices[b].position)) return false;
        toMesh[a] = b;
        toKnown[b] = a;
    }
    return true;
}

}  // namespace

KnownCrossingsScope::KnownCrossingsScope() : outer_(innermost) { innermost = this; }

KnownCrossingsScope::~KnownCrossingsScope() { innermost = outer_; }

std::vector<std::uint32_t> CrossingTriangles(const TriangleMesh& mesh, bool* stoppedEarly) {
    KnownCrossingsScope* scope = innermost;
    if (scope != nullptr && scope->memory_ && SameToTheSearch(*scope->memory_, mesh)) {
        ++scope->recalled_;
        if (stoppedEarly != nullptr) *stoppedEarly = false;
        return scope->memory_->crossings;
    }
    bool stopped = false;
    std::vector<std::uint32_t> crossings = SelfIntersectingTriangles(mesh, nullptr, &stopped);
    SortUnique(crossings);
    if (!stopped) RememberCrossings(mesh, crossings);
    if (stoppedEarly != nullptr) *stoppedEarly = stopped;
    return crossings;
}

void RememberCrossings(const TriangleMesh& mesh, const std::vector<std::uint32_t>& crossings) {
    KnownCrossingsScope* scope = innermost;
    if (scope == nullptr) return;
    scope->memory_.reset();
    if (!IsValidMesh(mesh)) return;
    auto memory = std::make_unique<KnownCrossingsScope::Memory>();
    memory->indices = mesh.indices;
    memory->positions.resize(mesh.vertices.size());
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) memory->positions[v] = mesh.vertices[v].position;
    memory->crossings = crossings;
    scope->memory_ = std::move(memory);
}

}  // namespace ridgeforge::mesh
