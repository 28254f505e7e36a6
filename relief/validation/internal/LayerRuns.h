// Bucketing triangles by layer on every core, in triangle order within each
// layer: the triangles are split into runs, each run counts its entries per
// layer, the counts give each run its place in every layer, and the runs then
// fill their places at once. The table of counts holds a row per run, so the
// runs are kept few enough that runs times layers stays small.
//
// Needs: the triangle and layer counts, and each run's counts written into
// its row. Gives: the buckets' offsets and a list sized for every entry, and
// in each row the place of the run's first entry in every layer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "relief/validation/LayerSlicing.h"

namespace ridgeforge::mesh {

class LayerRuns {
public:
    LayerRuns(std::size_t triangles, std::uint64_t layers);

    std::size_t Count() const { return count_; }
    std::size_t Begin(std::size_t run) const { return run * size_; }
    std::size_t End(std::size_t run) const { return std::min(triangles_, (run + 1) * size_); }
    // Per layer, then one more for a difference list's end: counts, then places.
    std::uint64_t* Row(std::size_t run) { return places_.data() + run * width_; }

    // Turns every row's counts into its places; the buckets come sized.
    LayerBuckets Place();

private:
    std::size_t triangles_ = 0, size_ = 1, count_ = 1, width_ = 1;
    std::uint64_t layers_ = 0;
    std::vector<std::uint64_t> places_;
};

}  // namespace ridgeforge::mesh
