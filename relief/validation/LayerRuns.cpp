// A run is at least a parallel chunk of triangles, and there are at most 64
// runs, fewer where the layers are many.
#include "relief/validation/internal/LayerRuns.h"

#include "mesh/ParallelChunks.h"

namespace ridgeforge::mesh {
namespace {

constexpr std::uint64_t kMostRuns = 64;
constexpr std::uint64_t kMostRunCounts = std::uint64_t{1} << 21;

}  // namespace

LayerRuns::LayerRuns(std::size_t triangles, std::uint64_t layers) : triangles_(triangles), layers_(layers) {
    const std::uint64_t mostRuns = std::clamp<std::uint64_t>(kMostRunCounts / (layers + 1), 1, kMostRuns);
    size_ = std::max<std::size_t>(kParallelChunk, (triangles + mostRuns - 1) / mostRuns);
    count_ = std::max<std::size_t>(1, (triangles + size_ - 1) / size_);
    width_ = static_cast<std::size_t>(layers + 1);
    places_.assign(count_ * width_, 0);
}

LayerBuckets LayerRuns::Place() {
    LayerBuckets buckets;
    buckets.offsets.assign(width_, 0);
    std::uint64_t total = 0;
    for (std::size_t l = 0; l < layers_; ++l) {
        buckets.offsets[l] = total;
        for (std::size_t run = 0; run < count_; ++run) {
            const std::uint64_t count = places_[run * width_ + l];
            places_[run * width_ + l] = total;
            total += count;
        }
    }
    buckets.offsets[layers_] = total;
    buckets.triangles.resize(total);
    return buckets;
}

}  // namespace ridgeforge::mesh
