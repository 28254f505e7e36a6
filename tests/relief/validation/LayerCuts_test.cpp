#include "relief/validation/internal/LayerCuts.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "testing/StressParts.h"
#include "tests/support/TestSupport.h"

using namespace ridgeforge::mesh;

namespace {

// A box tower 0 to 8 mm up, a fan of `around` slivers about a tip on the bed
// opening to 5 mm at 2 mm up, the first two triangles of the tower twice
// more, a sliver whose lowest corner lies one float step above layer 4's
// cut (its bucket holds it, its cut misses it), and a triangle after it.
TriangleMesh Part(std::uint32_t around) {
    TriangleMesh m = ridgeforge::test::MakeBox({0, 0, 0}, {4, 3, 8});
    const auto tip = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.push_back({{12, 4, 0}, {}});
    m.vertices.push_back({{12, 4, 2}, {}});
    for (std::uint32_t j = 0; j < around; ++j) {
        const float a = 6.2831853f * static_cast<float>(j) / static_cast<float>(around);
        m.vertices.push_back({{12 + 5 * std::cos(a), 4 + 5 * std::sin(a), 2}, {}});
    }
    for (std::uint32_t j = 0; j < around; ++j) {
        const std::uint32_t r0 = tip + 2 + j, r1 = tip + 2 + (j + 1) % around;
        m.indices.insert(m.indices.end(), {tip, r1, r0, tip + 1, r0, r1});
    }
    for (int copy = 0; copy < 2; ++copy) {
        for (std::size_t k = 0; k < 6; ++k) m.indices.push_back(m.indices[k]);
    }
    const float above4 = std::nextafter((4.0f + 0.5137f) * 0.2f, 1.0f);
    const auto sliver = static_cast<std::uint32_t>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), {{{6, 1, above4}, {}}, {{7, 1, 3}, {}}, {{6, 2, 3}, {}}});
    m.indices.insert(m.indices.end(), {sliver, sliver + 1, sliver + 2});
    // After it in the same layers, so that the miss is not the layer's last.
    m.vertices.insert(m.vertices.end(), {{{8, 1, 0.5f}, {}}, {{9, 1, 3.5f}, {}}, {{8, 2, 3.5f}, {}}});
    m.indices.insert(m.indices.end(), {sliver + 3, sliver + 4, sliver + 5});
    m.RecomputeBounds();
    return m;
}

// The same triangles on every layer, in the same order, and the same
// counts before each layer (which size the kept segments and contour lines).
void ExpectSameLists(const LayerBuckets& got, const LayerBuckets& expected, std::uint64_t layers) {
    ASSERT_EQ(got.offsets, expected.offsets);
    for (std::uint64_t layer = 0; layer < layers; ++layer) {
        const std::span<const std::uint32_t> a = got.Layer(layer), b = expected.Layer(layer);
        ASSERT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "layer " << layer;
    }
}

}  // namespace

// Every layer of a small part cut in batches of a few layers, some light
// (cut as asked) and some heavy (cut on the workers), against each layer cut
// plainly: every triangle of its bucket sliced on its own, in order, each
// copy filling the raster and keeping its segment like any triangle. The
// fan of 6,000 has layers long enough to keep their segments in the batch's
// block, the fan of 600 in each slot's own list.
TEST(LayerCuts, BatchesMatchEachLayerCutPlainly) {
    for (const std::uint32_t around : {600u, 6000u}) {
        SCOPED_TRACE(around);
        const TriangleMesh m = Part(around);
        const LayerAxes axes = AxesAcross(2);
        const float layerHeight = 0.2f;
        const std::uint64_t layers = 40;
        const LayerBuckets buckets = BucketTrianglesByLayer(m, axes, 0.0f, layerHeight, layers);
        const LayerBuckets parallel = BucketTrianglesByLayerInParallel(m, axes, 0.0f, layerHeight, layers, nullptr);
        ExpectSameLists(parallel, buckets, layers);
        EXPECT_FALSE(parallel.starts.empty());  // a handful of groups of layers, each sharing one list

        std::vector<Point2> normals(m.TriangleCount());
        for (std::size_t t = 0; t < m.TriangleCount(); ++t) {
            Vec3f c[3];
            CornersAcross(m, axes, t, c);
            const Vec3f n = Normalize(Cross(c[1] - c[0], c[2] - c[0]));
            normals[t] = {n.x, n.y};
        }
        LayerGrid frame;
        frame.cell = 0.25f;
        frame.originU = -0.5f;
        frame.originV = -1.5f;
        frame.columns = 76;
        frame.rows = 46;
        const TriangleCopies copies = FindTriangleCopies(m);
        ASSERT_EQ(copies.CopiesOf(0), 3u);

        for (std::uint64_t stride : {1u, 3u}) {
            LayerCutSettings settings;
            settings.axes = axes;
            settings.layerHeight = layerHeight;
            settings.keepSegments = true;
            settings.contourStride = stride;
            // A few layers of the fan, more above it.
            settings.batchBytes = around == 600 ? 40000 : 400000;
            settings.parallelCuts = 1500;  // the fan's layers go to the workers
            std::vector<Vec3f, ZeroPageAllocator<Vec3f>> contour;
            LayerCuts cuts(m, buckets, copies, normals, frame, settings, contour);
            std::vector<Vec3f> expectedContour;
            std::uint64_t end = 0;
            for (std::uint64_t layer = 0; layer < layers; ++layer) {
                if (layer >= end) end = cuts.NextBatch(layer, layers, nullptr);
                PreparedLayer& cut = cuts.Layer(layer, nullptr);
                const float h = (static_cast<float>(layer) + 0.5137f) * layerHeight;
                LayerGrid plain = frame;
                plain.crossings.assign(static_cast<std::size_t>(frame.rows), {});
                std::vector<KeptSegment> segments;
                std::vector<std::pair<std::int32_t, std::int32_t>> cells;
                for (std::uint64_t i = buckets.offsets[layer]; i < buckets.offsets[layer + 1]; ++i) {
                    const std::uint32_t t = buckets.triangles[i];
                    Vec3f c[3];
                    CornersAcross(m, axes, t, c);
                    Point2 p0, p1;
                    if (!SliceTriangle(c, h, normals[t], p0, p1)) continue;
                    AddScanlineCrossings(plain, p0, p1);
                    const auto cell = [&](float at, float origin, std::int32_t count) {
                        const float index = std::floor((at - origin) / frame.cell);
                        return static_cast<std::int32_t>(std::clamp(index, 0.0f, static_cast<float>(count - 1)));
                    };
                    segments.push_back({t, 0.5f * (p0.u + p1.u), 0.5f * (p0.v + p1.v)});
                    cells.emplace_back(cell(segments.back().u, frame.originU, frame.columns),
                                       cell(segments.back().v, frame.originV, frame.rows));
                    if (layer % stride == 0)
                        expectedContour.insert(expectedContour.end(), {{p0.u, p0.v, h}, {p1.u, p1.v, h}});
                }
                // A contour layer reads them off its contour points.
                EXPECT_EQ(cut.cutPoints != nullptr, layer % stride == 0) << layer;
                ASSERT_EQ(cut.SegmentCount(), segments.size()) << layer;
                for (std::size_t k = 0; k < segments.size(); ++k) {
                    const KeptSegment s = cut.Segment(k, axes);
                    EXPECT_EQ(s.triangle, segments[k].triangle) << layer << " " << k;
                    EXPECT_EQ(s.u, segments[k].u) << layer << " " << k;
                    EXPECT_EQ(s.v, segments[k].v) << layer << " " << k;
                    EXPECT_EQ(ClampedColumn(frame, s.u), cells[k].first) << layer << " " << k;
                    EXPECT_EQ(ClampedRow(frame, s.v), cells[k].second) << layer << " " << k;
                }
                std::vector<std::uint8_t> raster, plainRaster;
                FillLayerRaster(cut.grid, raster);
                FillLayerRaster(plain, plainRaster);
                EXPECT_EQ(raster, plainRaster) << layer;
            }
            cuts.FinishContourLines();
            EXPECT_TRUE(std::equal(contour.begin(), contour.end(), expectedContour.begin(), expectedContour.end()))
                << stride;
        }
    }
}

// Parts whose runs of triangles are filled layer by layer (a cylinder's
// sides spanning every layer) and triangle by triangle (its fanned caps, a
// sphere's rings), in several runs, with fewer and more layers than the fill
// has tasks: the same buckets as bucketing triangle by triangle on one thread.
TEST(LayerCuts, ParallelBucketsMatchThePlainOnes) {
    const LayerAxes axes = AxesAcross(2);
    const TriangleMesh parts[] = {
        ridgeforge::test::MakeFanCappedRod(5.0f, 20.0f, 6000, {0, 0, 1}),  // 24,000 triangles: two runs
        ridgeforge::test::MakeFanCappedRod(5.0f, 20.0f, 6000, {1, 0, 1}),  // leaning: the sides span part of it
        ridgeforge::test::MakeRingSphereOf(40000, 10.0f),
        ridgeforge::test::MakeFanCappedRod(5.0f, 20.0f, 200, {0, 0, 1}),  // one run
    };
    for (const TriangleMesh& m : parts) {
        const float low = m.boundsMin.z;
        for (const std::uint64_t layers :
             {std::uint64_t{1}, std::uint64_t{7}, std::uint64_t{100}, std::uint64_t{250}}) {
            const float layerHeight = (m.boundsMax.z - low) / static_cast<float>(layers);
            const LayerBuckets plain = BucketTrianglesByLayer(m, axes, low, layerHeight, layers);
            const LayerBuckets parallel = BucketTrianglesByLayerInParallel(m, axes, low, layerHeight, layers, nullptr);
            ASSERT_FALSE(plain.triangles.empty()) << layers;
            SCOPED_TRACE(std::to_string(m.TriangleCount()) + " triangles, " + std::to_string(layers) + " layers");
            ExpectSameLists(parallel, plain, layers);
        }
    }
    // Layers that no side starts or ends in share one list: the upright
    // cylinder's sides span every layer; a rod stood on a wider one changes
    // once, at the step, where the lower sides end and the upper start; a
    // short rod beside a tall one changes where the short one's sides end
    // and nothing starts. A sphere's rings start and end in every layer.
    TriangleMesh stepped = ridgeforge::test::MakeFanCappedRod(5.0f, 10.0f, 300, {0, 0, 1});
    TriangleMesh beside = ridgeforge::test::MakeFanCappedRod(5.0f, 20.0f, 300, {0, 0, 1});
    TriangleMesh upper = ridgeforge::test::MakeFanCappedRod(2.0f, 10.0f, 200, {0, 0, 1});
    const float rodLow = upper.boundsMin.z;
    for (Vertex& v : upper.vertices) v.position.z += 10.0f - rodLow;
    ridgeforge::test::AppendMesh(stepped, upper);
    for (Vertex& v : upper.vertices) v.position += Vec3f{20.0f, 0.0f, -10.0f};
    ridgeforge::test::AppendMesh(beside, upper);
    stepped.RecomputeBounds();
    beside.RecomputeBounds();
    const std::pair<const TriangleMesh*, std::size_t> shared[] = {
        {&parts[0], 12000}, {&stepped, 600 + 400}, {&beside, (600 + 400) + 600}};
    for (const auto& [m, entries] : shared) {
        const LayerBuckets plain = BucketTrianglesByLayer(*m, axes, m->boundsMin.z, 0.2f, 100);
        const LayerBuckets parallel = BucketTrianglesByLayerInParallel(*m, axes, m->boundsMin.z, 0.2f, 100, nullptr);
        ExpectSameLists(parallel, plain, 100);
        EXPECT_EQ(parallel.triangles.size(), entries) << m->TriangleCount();
    }
    const float sphereLow = parts[2].boundsMin.z;
    const LayerBuckets rings = BucketTrianglesByLayerInParallel(parts[2], axes, sphereLow, 0.2f, 100, nullptr);
    EXPECT_TRUE(rings.starts.empty());
    ExpectSameLists(rings, BucketTrianglesByLayer(parts[2], axes, sphereLow, 0.2f, 100), 100);
}
