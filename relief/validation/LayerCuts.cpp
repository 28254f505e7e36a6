// Each layer of a batch is one task of the chunked loop; a task polls the
// check's own cancellation context (not the published one: the check also
// runs on the user-interface thread while a run has its context published).
#include "relief/validation/internal/LayerCuts.h"

#include <algorithm>
#include <atomic>
#include <system_error>

#include "mesh/ParallelChunks.h"
#include "relief/validation/internal/LayerRuns.h"

namespace ridgeforge::mesh {
namespace {

// Light layers come many to a batch, so that handing a batch over costs
// little beside its cuts; the budget keeps heavy ones to a few.
constexpr std::uint64_t kMostBatchLayers = 4096;
// Cuts between polls of the stop within one layer.
constexpr std::uint64_t kPollEvery = 4096;
// A layer's kept segments from this size on go into the batch's block.
constexpr std::uint64_t kLongLayerBytes = std::uint64_t{64} << 10;
// Tasks the bucket fill is shared out into, at least: a few for each core;
// and the layers a run's triangles span on average from which it is shared.
constexpr std::uint64_t kFillTasks = 64;
constexpr std::uint64_t kLongSpans = 4;

// The buckets of triangles spanning the given layers, in triangle order.
LayerBuckets FillBuckets(const std::vector<LayerSpan>& spans, std::uint64_t layers, CancelContext* cancel) {
    const std::size_t triangles = spans.size();
    LayerRuns runs(triangles, layers);
    ForEachChunk(runs.Count(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t run = first; run < last; ++run) {
            if (PollCancel(cancel)) throw Stopped{};
            std::uint64_t* row = runs.Row(run);
            for (std::size_t t = runs.Begin(run); t < runs.End(run); ++t) {
                ++row[spans[t].first];
                --row[spans[t].last];  // wraps below zero and back, as a difference list may
            }
            for (std::size_t l = 1; l <= layers; ++l) row[l] += row[l - 1];
        }
    });
    std::vector<std::uint64_t> entries(runs.Count(), 0);
    for (std::size_t run = 0; run < runs.Count(); ++run)
        for (std::uint64_t l = 0; l < layers; ++l) entries[run] += runs.Row(run)[l];
    LayerBuckets buckets = runs.Place();
    // A run whose triangles span many layers each fills its places a
    // stretch of layers at a time, so that a part of few runs (a cylinder of
    // slivers, whose sides make a few runs that span every layer) still
    // keeps every core busy; a run of short spans is one task, as each
    // stretch would pass over all its triangles. A run whose triangles span
    // most of its layers is filled layer by layer, each layer's places in
    // one pass along the run; the others triangle by triangle.
    struct FillTask {
        std::size_t run;
        std::uint64_t low, high;
    };
    std::vector<FillTask> tasks;
    const std::uint64_t stretches =
        std::clamp<std::uint64_t>(kFillTasks / runs.Count(), 1, std::max<std::uint64_t>(layers, 1));
    const std::uint64_t stretch = (layers + stretches - 1) / stretches;
    for (std::size_t run = 0; run < runs.Count(); ++run) {
        if (entries[run] < kLongSpans * (runs.End(run) - runs.Begin(run))) {
            tasks.push_back({run, 0, layers});
            continue;
        }
        for (std::uint64_t low = 0; low < layers; low += stretch)
            tasks.push_back({run, low, std::min(layers, low + stretch)});
    }
    ForEachChunk(tasks.size(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t task = first; task < last; ++task) {
            if (PollCancel(cancel)) throw Stopped{};
            const auto [run, low, high] = tasks[task];
            std::uint64_t* next = runs.Row(run);
            const std::size_t begin = runs.Begin(run), end = runs.End(run);
            if (2 * entries[run] >= (end - begin) * layers) {
                for (std::uint64_t l = low; l < high; ++l) {
                    if (PollCancel(cancel)) throw Stopped{};
                    std::uint64_t at = next[l];
                    for (std::size_t t = begin; t < end; ++t) {
                        if (spans[t].first <= l && l < spans[t].last)
                            buckets.triangles[at++] = static_cast<std::uint32_t>(t);
                    }
                }
                continue;
            }
            for (std::size_t t = begin; t < end; ++t) {
                if (t % kPollEvery == 0 && PollCancel(cancel)) throw Stopped{};
                const std::uint64_t from = std::max(spans[t].first, low), to = std::min(spans[t].last, high);
                for (std::uint64_t l = from; l < to; ++l) buckets.triangles[next[l]++] = static_cast<std::uint32_t>(t);
            }
        }
    });
    return buckets;
}

}  // namespace

// A layer that no triangle's span starts or ends at holds the triangles of
// the layer below. The layers are taken in groups of such layers, each
// group's list filled once as if the group were one layer, and every layer
// of a group points at it. A part whose groups are more than half its
// layers keeps a list per layer, as sharing would save little.
LayerBuckets BucketTrianglesByLayerInParallel(const TriangleMesh& mesh, const LayerAxes& axes, float lowestH,
                                              float layerHeight, std::uint64_t layers, CancelContext* cancel) {
    const std::size_t triangles = mesh.TriangleCount();
    std::vector<LayerSpan> spans(triangles);
    std::vector<std::uint8_t> changes(layers + 1, 0);
    ForEachChunk(triangles, kParallelChunk, [&](std::size_t begin, std::size_t end) {
        if (PollCancel(cancel)) throw Stopped{};
        for (std::size_t t = begin; t < end; ++t) {
            Vec3f c[3];
            CornersAcross(mesh, axes, t, c);
            const float low = std::min({c[0].z, c[1].z, c[2].z}), high = std::max({c[0].z, c[1].z, c[2].z});
            const LayerSpan span = LayersCutting(low, high, lowestH, layerHeight, layers);
            spans[t] = span;
            if (span.first == span.last) continue;
            for (const std::uint64_t l : {span.first, span.last}) {
                // Stored once: every store would take the line from the other cores.
                std::atomic_ref<std::uint8_t> change(changes[l]);
                if (change.load(std::memory_order_relaxed) == 0) change.store(1, std::memory_order_relaxed);
            }
        }
    });
    std::vector<std::uint64_t> groupOf(layers, 0);
    std::uint64_t groups = layers == 0 ? 0 : 1;
    for (std::uint64_t l = 1; l < layers; ++l) {
        groups += changes[l] != 0 ? 1 : 0;
        groupOf[l] = groups - 1;
    }
    if (layers == 0 || 2 * groups > layers) return FillBuckets(spans, layers, cancel);
    for (LayerSpan& span : spans)
        span = span.first == span.last ? LayerSpan{} : LayerSpan{groupOf[span.first], groupOf[span.last - 1] + 1};
    LayerBuckets shared = FillBuckets(spans, groups, cancel);
    LayerBuckets buckets;
    buckets.offsets.assign(layers + 1, 0);
    buckets.starts.resize(layers);
    for (std::uint64_t l = 0; l < layers; ++l) {
        const std::uint64_t group = groupOf[l];
        buckets.starts[l] = shared.offsets[group];
        buckets.offsets[l + 1] = buckets.offsets[l] + (shared.offsets[group + 1] - shared.offsets[group]);
    }
    buckets.triangles = std::move(shared.triangles);
    return buckets;
}

LayerCuts::LayerCuts(const TriangleMesh& mesh, const LayerBuckets& buckets, const TriangleCopies& copies,
                     const std::vector<Point2>& normals, const LayerGrid& frame, const LayerCutSettings& settings,
                     std::vector<Vec3f, ZeroPageAllocator<Vec3f>>& contourLines)
    : mesh_(mesh),
      buckets_(buckets),
      copies_(copies),
      normals_(normals),
      gaps_(frame),
      settings_(settings),
      contourLines_(contourLines) {
    frame_.cell = frame.cell;
    frame_.originU = frame.originU;
    frame_.originV = frame.originV;
    frame_.columns = frame.columns;
    frame_.rows = frame.rows;
    settings_.contourStride = std::max<std::uint64_t>(settings_.contourStride, 1);
    if (settings_.keepSegments) SizeContourLines();
    // Only kept segments take a copy's cut from its first; without them the
    // buckets hold first copies alone.
    if (!settings_.keepSegments || copies_.first.empty()) return;
    const std::size_t n = copies_.first.size();
    copySlot_.assign(n, 0);
    for (std::size_t t = 0; t < n; ++t) {
        if (copies_.first[t] == t && copies_.copies[t] > 1)
            copySlot_[t] = static_cast<std::uint32_t>(repeatedFirsts_++);
    }
    for (std::size_t t = 0; t < n; ++t) copySlot_[t] = copySlot_[copies_.first[t]];
}

// Two points for every cut of a contour layer. The list's allocator hands
// out zeroed storage in huge pages and grows it without clearing, so that
// the few hundred megabytes a part of slivers asks for are faulted in by the
// workers that write them, not cleared first on one thread. The list grows
// batch by batch (GrowContourLines), within this capacity, so that its
// storage never moves while workers write into it.
void LayerCuts::SizeContourLines() {
    const std::uint64_t layers = buckets_.offsets.size() - 1, stride = settings_.contourStride;
    contourStart_.assign((layers + stride - 1) / stride + 1, 0);
    contourWritten_.assign(contourStart_.size() - 1, 0);
    for (std::uint64_t j = 0; j + 1 < contourStart_.size(); ++j) {
        const std::uint64_t l = j * stride;
        contourStart_[j + 1] = contourStart_[j] + 2 * (buckets_.offsets[l + 1] - buckets_.offsets[l]);
    }
    contourLines_.clear();
    contourLines_.reserve(contourStart_.back());
    contourData_ = contourLines_.data();
}

// The workers write through contourData_ below the list's size alone; the
// new room is set out past it.
void LayerCuts::GrowContourLines(std::uint64_t layerEnd) {
    if (!settings_.keepSegments) return;
    const std::uint64_t contourLayers = contourWritten_.size();
    const std::uint64_t next =
        std::min((layerEnd + settings_.contourStride - 1) / settings_.contourStride, contourLayers);
    if (contourStart_[next] > contourLines_.size()) contourLines_.resize(contourStart_[next]);
}

void LayerCuts::FinishContourLines() {
    if (contourWritten_.empty()) return;
    std::uint64_t end = 0;
    for (std::size_t j = 0; j < contourWritten_.size(); ++j) {
        if (contourStart_[j] != end) {
            std::copy_n(contourLines_.begin() + static_cast<std::ptrdiff_t>(contourStart_[j]), contourWritten_[j],
                        contourLines_.begin() + static_cast<std::ptrdiff_t>(end));
        }
        end += contourWritten_[j];
    }
    contourLines_.resize(end);
}

std::uint64_t LayerCuts::BatchEnd(std::uint64_t first, std::uint64_t layers) const {
    const std::uint64_t perSlot =
        sizeof(PreparedLayer) +
        static_cast<std::uint64_t>(std::max(0, frame_.rows)) * sizeof(std::vector<LayerCrossing>) +
        repeatedFirsts_ * sizeof(PreparedLayer::CopyCut);
    std::uint64_t end = first, bytes = 0;
    while (end < layers && end - first < kMostBatchLayers) {
        std::uint64_t need = perSlot;
        if (settings_.keepSegments) need += (buckets_.offsets[end + 1] - buckets_.offsets[end]) * sizeof(KeptSegment);
        if (end > first && bytes + need > settings_.batchBytes) break;
        bytes += need;
        ++end;
    }
    return end;
}

std::uint64_t LayerCuts::NextBatch(std::uint64_t first, std::uint64_t layers, CancelContext* cancel) {
    const int next = 1 - current_;
    if (startedFirst_ != first) {
        Start(next, first, layers, cancel);
        // While it is cut, room for the batch after it.
        if (batchEnd_[next] < layers) GrowContourLines(BatchEnd(batchEnd_[next], layers));
    }
    if (pending_.valid()) pending_.get();  // rethrows the first exception of the batch
    current_ = next;
    startedFirst_ = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t end = batchEnd_[current_];
    if (end < layers) {
        Start(1 - current_, end, layers, cancel);
        if (batchEnd_[1 - current_] < layers) GrowContourLines(BatchEnd(batchEnd_[1 - current_], layers));
    }
    return end;
}

void LayerCuts::Start(int set, std::uint64_t first, std::uint64_t layers, CancelContext* cancel) {
    const std::uint64_t end = BatchEnd(first, layers);
    const auto count = static_cast<std::size_t>(end - first);
    // A light batch is cut layer by layer as the analysis asks, into one
    // slot that light batches share, as a part without slivers always was:
    // handing it over would cost more than its cuts.
    const bool light = buckets_.offsets[end] - buckets_.offsets[first] < settings_.parallelCuts;
    const auto setUp = [this](PreparedLayer& slot) {
        slot.grid = frame_;
        slot.grid.crossings.assign(static_cast<std::size_t>(std::max(0, frame_.rows)), {});
        slot.copyCuts.assign(repeatedFirsts_, {});
    };
    std::vector<PreparedLayer>& slots = slots_[set];
    if (light && lightSlot_.grid.crossings.empty()) setUp(lightSlot_);
    while (!light && slots.size() < count) setUp(slots.emplace_back());
    batchFirst_[set] = first;
    batchEnd_[set] = end;
    lightBatch_[set] = light;
    startedFirst_ = first;
    GrowContourLines(end);
    if (light) return;
    // A batch of long layers keeps its segments in one block in huge pages:
    // a part of slivers has tens of thousands of cuts a layer, tens of
    // megabytes a batch, and a list per layer that size took its pages from
    // the C library a small page at a time, or not, depending on what the
    // process had freed before. Shorter layers keep a list per slot, well
    // within what the C library hands back from check to check, where a
    // block would be fresh pages every time.
    KeptSegment* block = nullptr;
    std::uint64_t longest = 0;
    for (std::uint64_t layer = first; layer < end; ++layer) {
        if (layer % settings_.contourStride != 0)  // a contour layer keeps no segments
            longest = std::max(longest, buckets_.offsets[layer + 1] - buckets_.offsets[layer]);
    }
    if (settings_.keepSegments && longest * sizeof(KeptSegment) >= kLongLayerBytes) {
        const std::uint64_t cuts = buckets_.offsets[end] - buckets_.offsets[first];
        std::vector<KeptSegment, ZeroPageAllocator<KeptSegment>>& room = segmentRoom_[set];
        if (room.size() < cuts) {
            room = {};
            room.resize(cuts);
        }
        block = room.data();
    }
    const auto cutAll = [this, &slots, first, count, block, cancel] {
        ForEachChunk(count, 1, [&](std::size_t begin, std::size_t stop) {
            for (std::size_t k = begin; k < stop; ++k) {
                const std::uint64_t layer = first + k;
                KeptSegment* own = block != nullptr ? block + (buckets_.offsets[layer] - buckets_.offsets[first])
                                                    : OwnRoom(slots[k], layer);
                Cut(layer, slots[k], own, cancel);
            }
        });
    };
    try {
        pending_ = std::async(std::launch::async, cutAll);
    } catch (const std::system_error&) {
        // No thread to hand the batch to (a process at its thread limit): it
        // is cut here, still on every core of the pool, just not alongside
        // the analysis.
        cutAll();
    }
}

PreparedLayer& LayerCuts::Layer(std::uint64_t layer, CancelContext* cancel) {
    if (!lightBatch_[current_]) return slots_[current_][static_cast<std::size_t>(layer - batchFirst_[current_])];
    Cut(layer, lightSlot_, OwnRoom(lightSlot_, layer), cancel);
    return lightSlot_;
}

KeptSegment* LayerCuts::OwnRoom(PreparedLayer& slot, std::uint64_t layer) const {
    if (!settings_.keepSegments || layer % settings_.contourStride == 0) return nullptr;
    const std::size_t cuts = buckets_.offsets[layer + 1] - buckets_.offsets[layer];
    if (slot.room.size() < cuts) slot.room.resize(cuts);
    return slot.room.data();
}

void LayerCuts::Cut(std::uint64_t layer, PreparedLayer& out, KeptSegment* room, CancelContext* cancel) {
    if (PollCancel(cancel)) throw Stopped{};
    std::size_t kept = 0;
    const float h = LayerCutHeight(settings_.lowestH, settings_.layerHeight, layer);
    const bool keep = settings_.keepSegments;
    const LayerAxes& axes = settings_.axes;
    // The contour layer's own stretch of the contour lines, or null.
    Vec3f* points = nullptr;
    const std::uint64_t contourLayer = keep ? layer / settings_.contourStride : 0;
    if (keep && layer % settings_.contourStride == 0) points = contourData_ + contourStart_[contourLayer];
    const std::span<const std::uint32_t> bucket = buckets_.Layer(layer);
    Vec3f* const firstPoint = points;
    // Whether a contour layer's cut missed a triangle: its cut triangles are
    // then listed, those before the miss being the bucket's.
    bool listed = false;
    const auto missed = [&](std::size_t i) {
        if (points == nullptr || listed) return;
        listed = true;
        out.triangleRoom.assign(bucket.begin(), bucket.begin() + static_cast<std::ptrdiff_t>(i));
    };
    const auto keepCut = [&](std::uint32_t t, Point2 p0, Point2 p1, float u, float v) {
        if (points != nullptr) {
            *points++ = ModelPoint(axes, p0.u, p0.v, h);
            *points++ = ModelPoint(axes, p1.u, p1.v, h);
            if (listed) out.triangleRoom.push_back(t);
        } else {
            room[kept] = {t, u, v};
        }
        ++kept;
    };
    for (std::size_t i = 0; i < bucket.size(); ++i) {
        if (i % kPollEvery == kPollEvery - 1 && PollCancel(cancel)) throw Stopped{};
        const std::uint32_t t = bucket[i];
        if (copies_.FirstOf(t) != t) {
            // Its first, earlier in the layer, was cut here or not at all.
            const PreparedLayer::CopyCut& copy = out.copyCuts[copySlot_[t]];
            if (copy.layer != layer) {
                missed(i);
                continue;
            }
            keepCut(t, copy.p0, copy.p1, copy.u, copy.v);
            continue;
        }
        Vec3f c[3];
        CornersAcross(mesh_, axes, t, c);
        Point2 p0, p1;
        if (!SliceTriangle(c, h, normals_[t], p0, p1)) {
            missed(i);
            continue;
        }
        const std::uint32_t copies = copies_.CopiesOf(t);
        if (keep) {
            const float u = 0.5f * (p0.u + p1.u), v = 0.5f * (p0.v + p1.v);
            keepCut(t, p0, p1, u, v);
            if (copies > 1) out.copyCuts[copySlot_[t]] = {layer, p0, p1, u, v};
        }
        if (!gaps_.SameGap(p0.v, p1.v))
            AddScanlineCrossings(out.grid, gaps_, p0, p1, static_cast<std::int32_t>(copies));
    }
    out.cutPoints = firstPoint;
    if (firstPoint != nullptr) {
        out.segments = {};
        out.cutTriangles = listed ? std::span<const std::uint32_t>(out.triangleRoom) : bucket.first(kept);
        contourWritten_[contourLayer] = 2 * kept;
    } else {
        out.segments = {room, kept};
        out.cutTriangles = {};
    }
}

}  // namespace ridgeforge::mesh
