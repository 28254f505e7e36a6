// The printability check's layer cuts, made a batch of layers at a time on
// every core ahead of the layer-by-layer region analysis, which then takes
// each prepared layer in order. The next batch is cut while the analysis
// works through the one before, so the two overlap.
//
// The cut of one layer needs nothing of any other: each batch slot holds a
// layer's own crossing lists and its kept segments (triangle order, a copy of
// one triangle taking its first's cut). A contour layer writes its contour
// points straight into the report's list, sized up front for every cut the
// layer buckets hold, from where the layers before it leave off; the few a
// cut that misses its triangle leaves unused are closed up at the end. It
// keeps no segments of its own (see PreparedLayer). A batch takes layers
// while their cuts' segments would fit a memory budget, counted alike on
// every layer, so a part of long slivers, whose every triangle spans every
// layer, is cut on all cores without holding all its layers at once. Two
// sets of slots take turns: one being read, the other being cut.
//
// Needs: the mesh, the per-layer triangle buckets (first copies only when
// segments are not kept), the copies, the face normals across the build axis
// and the layer frame. Gives: per layer of the batch, its prepared cut.
// A stop asked of the cancellation context throws `Stopped`, also from the
// batch's workers (the first exception is rethrown once all have ended).
#pragma once

#include <cstdint>
#include <future>
#include <limits>
#include <span>
#include <vector>

#include "mesh/CancellableLoop.h"
#include "mesh/TriangleMesh.h"
#include "mesh/ZeroPageAllocator.h"
#include "relief/validation/LayerSlicing.h"
#include "relief/validation/internal/RowCrossingCuts.h"

namespace ridgeforge::mesh {

// BucketTrianglesByLayer on every core: the same lists, each in triangle
// order, one list shared by each group of layers that hold the same
// triangles (LayerBuckets::starts) where the groups are at most half the
// layers. The triangles are split into runs; each run counts its cuts per
// layer (as a difference list over its triangles' layer spans), the counts
// give each run its place in every layer, and the runs then fill their places
// at once. A stop asked of `cancel` throws `Stopped`.
LayerBuckets BucketTrianglesByLayerInParallel(const TriangleMesh& mesh, const LayerAxes& axes, float lowestH,
                                              float layerHeight, std::uint64_t layers, CancelContext* cancel);

// A triangle cut on one layer, by its cut's midpoint. Its cell is looked up
// only on a layer with something to highlight, which most layers lack.
struct KeptSegment {
    std::uint32_t triangle = 0;
    float u = 0.0f, v = 0.0f;
};

// A layer's cuts, in bucket order. A contour layer keeps only its cut
// triangles, and each cut's midpoint is read off its two contour points: a
// part of slivers has millions of cuts, and a segment of each written again
// beside its points cost a third more memory written. Its triangles are the
// bucket's own, or a list of their own where a cut missed its triangle.
// Other layers keep a segment a cut.
struct PreparedLayer {
    LayerGrid grid;                               // the frame with this layer's crossing lists
    std::span<const KeptSegment> segments;        // in the cuts' own room, till the slot is cut again
    std::vector<KeptSegment> room;                // that room, in a batch of short layers
    std::span<const std::uint32_t> cutTriangles;  // a contour layer's
    const Vec3f* cutPoints = nullptr;             // its contour points, two a cut; null on other layers
    std::vector<std::uint32_t> triangleRoom;      // its own list of triangles

    std::size_t SegmentCount() const { return cutPoints != nullptr ? cutTriangles.size() : segments.size(); }
    // The k-th cut's triangle and midpoint, as the cut worked it out.
    KeptSegment Segment(std::size_t k, const LayerAxes& axes) const {
        if (cutPoints == nullptr) return segments[k];
        const Vec3f& p0 = cutPoints[2 * k];
        const Vec3f& p1 = cutPoints[2 * k + 1];
        return {cutTriangles[k], 0.5f * (p0[axes.u] + p1[axes.u]), 0.5f * (p0[axes.v] + p1[axes.v])};
    }

    // The cut of a first copy on this slot's layer, for its copies to take,
    // by the copy slot of its first.
    struct CopyCut {
        std::uint64_t layer = std::numeric_limits<std::uint64_t>::max();
        Point2 p0, p1;
        float u = 0.0f, v = 0.0f;  // the midpoint
    };
    std::vector<CopyCut> copyCuts;
};

struct LayerCutSettings {
    LayerAxes axes;
    float lowestH = 0.0f, layerHeight = 0.2f;
    bool keepSegments = false;                           // the segments and contour points, for highlights
    std::uint64_t contourStride = 1;                     // contour points on every stride-th layer
    std::uint64_t batchBytes = std::uint64_t{32} << 20;  // the cuts' segments and slots one batch may hold
    std::uint64_t parallelCuts = 32768;  // a batch of fewer cuts is cut layer by layer on the calling thread
};

class LayerCuts {
public:
    // All references must outlive this. `frame` is copied without its
    // crossing lists. With kept segments `contourLines` (empty) is sized for
    // the contour points of every cut the buckets hold.
    LayerCuts(const TriangleMesh& mesh, const LayerBuckets& buckets, const TriangleCopies& copies,
              const std::vector<Point2>& normals, const LayerGrid& frame, const LayerCutSettings& settings,
              std::vector<Vec3f, ZeroPageAllocator<Vec3f>>& contourLines);

    // Waits till the layers from `first` on that the memory budget allows (at
    // least one, at most up to `layers`) are cut, makes them the current
    // batch and starts cutting the batch after them; returns the layer after
    // the current batch. `first` is 0 or the end returned before.
    std::uint64_t NextBatch(std::uint64_t first, std::uint64_t layers, CancelContext* cancel);
    // A layer of the current batch, cut now when the batch is light; a
    // layer's slot may be taken by the next layer of the batch.
    PreparedLayer& Layer(std::uint64_t layer, CancelContext* cancel);
    // Once every layer is cut: closes up the contour lines' unused room.
    void FinishContourLines();

private:
    void SizeContourLines();
    void GrowContourLines(std::uint64_t layerEnd);
    std::uint64_t BatchEnd(std::uint64_t first, std::uint64_t layers) const;
    void Start(int set, std::uint64_t first, std::uint64_t layers, CancelContext* cancel);
    void Cut(std::uint64_t layer, PreparedLayer& out, KeptSegment* room, CancelContext* cancel);
    // The slot's own room for the layer's kept segments; null without them.
    KeptSegment* OwnRoom(PreparedLayer& slot, std::uint64_t layer) const;

    const TriangleMesh& mesh_;
    const LayerBuckets& buckets_;
    const TriangleCopies& copies_;
    const std::vector<Point2>& normals_;
    const RowLineGaps gaps_;  // the frame's, for every layer
    LayerGrid frame_;
    LayerCutSettings settings_;
    std::vector<std::uint32_t> copySlot_;  // per triangle: its first's slot among the repeated firsts
    std::size_t repeatedFirsts_ = 0;
    std::vector<Vec3f, ZeroPageAllocator<Vec3f>>& contourLines_;
    Vec3f* contourData_ = nullptr;  // its storage, reserved once
    // Per contour layer: where its points start in contourLines_, and how many it wrote.
    std::vector<std::uint64_t> contourStart_, contourWritten_;
    std::vector<PreparedLayer> slots_[2];
    PreparedLayer lightSlot_;
    // The kept segments of each set's batch of long layers, a stretch per
    // layer as the buckets lie.
    std::vector<KeptSegment, ZeroPageAllocator<KeptSegment>> segmentRoom_[2];
    std::uint64_t batchFirst_[2] = {}, batchEnd_[2] = {};
    bool lightBatch_[2] = {};
    int current_ = 0;
    std::uint64_t startedFirst_ = std::numeric_limits<std::uint64_t>::max();  // the batch in the other set
    // The batch being cut; last, so that it is waited for before anything
    // it writes goes.
    std::future<void> pending_;
};

}  // namespace ridgeforge::mesh
