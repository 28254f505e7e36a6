#include "relief/validation/SlicedPreview.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "text/Format.h"

namespace ridgeforge::mesh {

namespace {

constexpr double kMostSkinCells = 16e6, kMostSkinCellsAlong = 65536.0;

struct PreviewFrame {
    LayerAxes axes;
    float layerHeight = 0.2f, beadWidth = 0.42f, lowestH = 0.0f;
    std::uint64_t layers = 1;
    LayerBuckets buckets;
    std::vector<Point2> normals;  // unit face normals across the build axis
};

float CutHeight(const PreviewFrame& frame, std::uint64_t layer) {
    return frame.lowestH + (static_cast<float>(layer) + kLayerCutOffset) * frame.layerHeight;
}

void CutLayer(const TriangleMesh& mesh, const PreviewFrame& frame, std::uint64_t layer,
              std::vector<Segment2>& segments) {
    segments.clear();
    const float h = CutHeight(frame, layer);
    for (const std::uint32_t t : frame.buckets.Layer(layer)) {
        Vec3f c[3];
        CornersAcross(mesh, frame.axes, t, c);
        Segment2 s;
        if (SliceTriangle(c, h, frame.normals[t], s.start, s.end)) segments.push_back(s);
    }
}

// Runs of cells in each row where `covered(column, row)` holds, each as one
// skin quad; `covered` holds nowhere outside `window`.
template <typename Covered>
void AddSkinRuns(const LayerGrid& grid, const RasterWindow& window, const LayerAxes& axes, float h, bool facingUp,
                 std::uint64_t layer, const Covered& covered, SlicedPreview& preview) {
    for (std::int32_t row = window.rowBegin; row < window.rowEnd; ++row) {
        for (std::int32_t c = window.columnBegin; c < window.columnEnd;) {
            if (!covered(c, row)) {
                ++c;
                continue;
            }
            std::int32_t last = c;
            while (last + 1 < window.columnEnd && covered(last + 1, row)) ++last;
            AddSkinRun(grid, axes, c, last, row, h, facingUp, preview.mesh);
            preview.skinTriangles += 2;
            c = last + 1;
        }
    }
    preview.triangleLayer.resize(preview.mesh.TriangleCount(), static_cast<std::uint32_t>(layer));
}

// Top and bottom skins of the drawn layers: where a drawn layer covers cells
// the drawn layer before did not (facing down), and the reverse (facing up).
void AddSkins(const TriangleMesh& mesh, const PreviewFrame& frame, std::uint64_t step, SlicedPreview& preview) {
    LayerGrid grid;
    const float lowU = mesh.boundsMin[frame.axes.u], lowV = mesh.boundsMin[frame.axes.v];
    // Half a bead, coarsened only where that would pass 16 million cells (a
    // part about 840 mm square) or 65,536 along one side (13.7 m): the skins
    // of such a part are seen from far enough not to tell, and a stray point
    // far out cannot size the raster, nor the work on it, past reason.
    const double extentU = static_cast<double>(mesh.boundsMax[frame.axes.u]) - lowU;
    const double extentV = static_cast<double>(mesh.boundsMax[frame.axes.v]) - lowV;
    grid.cell = static_cast<float>(
        std::max({static_cast<double>(std::max(0.05f, frame.beadWidth * 0.5f)),
                  std::sqrt(extentU * extentV / kMostSkinCells), std::max(extentU, extentV) / kMostSkinCellsAlong}));
    grid.originU = lowU - grid.cell;
    grid.originV = lowV - grid.cell;
    grid.columns = static_cast<std::int32_t>(std::ceil((mesh.boundsMax[frame.axes.u] - lowU) / grid.cell)) + 2;
    grid.rows = static_cast<std::int32_t>(std::ceil((mesh.boundsMax[frame.axes.v] - lowV) / grid.cell)) + 2;
    grid.crossings.assign(static_cast<std::size_t>(grid.rows), {});
    const auto columns = static_cast<std::size_t>(grid.columns);
    std::vector<std::uint8_t> current, before(columns * static_cast<std::size_t>(grid.rows), 0);
    // Where each raster may hold material: a part lying across the diagonal
    // has small sections in a wide frame.
    RasterWindow currentWindow, beforeWindow;
    const auto both = [](const RasterWindow& a, const RasterWindow& b) {
        if (a.Empty()) return b;
        if (b.Empty()) return a;
        return RasterWindow{std::min(a.columnBegin, b.columnBegin), std::max(a.columnEnd, b.columnEnd),
                            std::min(a.rowBegin, b.rowBegin), std::max(a.rowEnd, b.rowEnd)};
    };
    std::vector<Segment2> segments;
    std::uint64_t lastDrawn = 0;
    const RowLines lines(grid);
    for (std::uint64_t layer = 0; layer < frame.layers; layer += step) {
        CutLayer(mesh, frame, layer, segments);
        for (const Segment2& s : segments) AddScanlineCrossings(grid, lines, s.start, s.end);
        FillLayerRaster(grid, current, currentWindow);
        const RasterWindow changed = both(currentWindow, beforeWindow);
        const float h = frame.lowestH + static_cast<float>(layer) * frame.layerHeight;
        const auto at = [&](const std::vector<std::uint8_t>& r, std::int32_t c, std::int32_t row) {
            return r[static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(c)] != 0;
        };
        AddSkinRuns(
            grid, changed, frame.axes, h, false, layer,
            [&](std::int32_t c, std::int32_t row) { return at(current, c, row) && !at(before, c, row); }, preview);
        AddSkinRuns(
            grid, changed, frame.axes, h, true, layer,
            [&](std::int32_t c, std::int32_t row) { return at(before, c, row) && !at(current, c, row); }, preview);
        std::swap(before, current);
        std::swap(beforeWindow, currentWindow);
        lastDrawn = layer;
    }
    const float top = frame.lowestH + static_cast<float>(frame.layers) * frame.layerHeight;
    AddSkinRuns(
        grid, beforeWindow, frame.axes, top, true, lastDrawn,
        [&](std::int32_t c, std::int32_t row) {
            return before[static_cast<std::size_t>(row) * columns + static_cast<std::size_t>(c)] != 0;
        },
        preview);
}

std::string OrdinalSuffix(std::uint64_t k) {
    if (k % 100 >= 11 && k % 100 <= 13) return "th";
    switch (k % 10) {
        case 1:
            return "st";
        case 2:
            return "nd";
        case 3:
            return "rd";
        default:
            return "th";
    }
}

}  // namespace

SlicedPreview BuildSlicedPreview(const TriangleMesh& mesh, const SlicedPreviewSettings& settings) {
    SlicedPreview preview;
    if (mesh.vertices.empty() || mesh.indices.empty() || !mesh.boundsValid || !IsValidMesh(mesh)) return preview;
    if (!IsFinite(mesh.boundsMin) || !IsFinite(mesh.boundsMax)) return preview;
    const auto start = std::chrono::steady_clock::now();

    PreviewFrame frame;
    frame.axes = AxesAcross(settings.buildAxis);
    frame.layerHeight = std::max(settings.layerHeightMillimetres, 0.01f);
    frame.beadWidth = std::max(settings.beadWidthMillimetres, 0.05f);
    frame.lowestH = mesh.boundsMin[frame.axes.h];
    const float extentH = mesh.boundsMax[frame.axes.h] - frame.lowestH;
    // Divided in floats as ever, then held in a double: a far stray point
    // makes counts no integer type holds.
    const double layerCount = std::max(1.0, static_cast<double>(std::ceil(extentH / frame.layerHeight)));
    if (!(layerCount <= static_cast<double>(kMostLayers))) {
        preview.refusal = "the part is too tall to preview: " + FormatLargeCount(layerCount) +
                          " layers (the most are " + FormatCount(kMostLayers) +
                          "); a point far from the rest of the part can cause this";
        return preview;
    }
    frame.layers = static_cast<std::uint64_t>(layerCount);
    frame.buckets = BucketTrianglesByLayer(mesh, frame.axes, frame.lowestH, frame.layerHeight, frame.layers);
    frame.normals.resize(mesh.TriangleCount());
    for (std::size_t t = 0; t < frame.normals.size(); ++t) {
        Vec3f c[3];
        CornersAcross(mesh, frame.axes, t, c);
        const Vec3f n = Normalize(Cross(c[1] - c[0], c[2] - c[0]));
        frame.normals[t] = {n.x, n.y};
    }
    preview.layers = frame.layers;

    std::vector<std::vector<Chain>> chains(frame.layers);
    std::vector<Segment2> segments;
    std::uint64_t total = 0;
    for (std::uint64_t layer = 0; layer < frame.layers; ++layer) {
        CutLayer(mesh, frame, layer, segments);
        preview.cutsBeforeSimplifying += segments.size();
        ChainSegments(segments, chains[layer]);
        for (Chain& chain : chains[layer]) {
            ++(chain.closed ? preview.outlines : preview.openChains);
            SimplifyChain(chain, settings.chainToleranceMillimetres);
            if (chain.closed && chain.points.size() < 3) chain.points.clear();
            if (!chain.points.empty()) total += chain.closed ? chain.points.size() : chain.points.size() - 1;
        }
    }
    const std::uint64_t budget = std::max<std::uint64_t>(settings.drawBudget, 1000);
    preview.drawStep = std::max<std::uint64_t>(1, (total + budget - 1) / budget);
    const std::uint64_t step = preview.drawStep;

    const float halfSlab = static_cast<float>(step) * 0.5f * frame.layerHeight;
    for (std::uint64_t layer = 0; layer < frame.layers; layer += step) {
        const float middle =
            frame.lowestH + (static_cast<float>(layer) + static_cast<float>(step) * 0.5f) * frame.layerHeight;
        for (const Chain& chain : chains[layer]) {
            AddBeadWall(chain, middle, halfSlab, frame.beadWidth * 0.5f, frame.axes, preview.mesh,
                        preview.beadSegments);
        }
        ++preview.drawnLayers;
        preview.triangleLayer.resize(preview.mesh.TriangleCount(), static_cast<std::uint32_t>(layer));
    }
    if (settings.drawSkins) AddSkins(mesh, frame, step, preview);
    preview.mesh.RecomputeBounds();
    preview.elapsedMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return preview;
}

std::string FormatSlicedPreviewReport(const SlicedPreview& preview) {
    if (!preview.refusal.empty()) return "Sliced preview: not made: " + preview.refusal + "\n";
    std::string text = "Sliced preview: " + std::to_string(preview.layers) + " layers";
    if (preview.drawStep > 1) {
        // English ordinals: 21st, 22nd, 23rd, but 11th, 12th and 13th.
        text += ", every " + std::to_string(preview.drawStep) + OrdinalSuffix(preview.drawStep) + " drawn (" +
                std::to_string(preview.drawnLayers) + ", each as tall as " + std::to_string(preview.drawStep) + ")";
    }
    text += "; " + std::to_string(preview.outlines) + " outlines";
    if (preview.openChains != 0) text += " and " + std::to_string(preview.openChains) + " open chains";
    char elapsed[64];
    std::snprintf(elapsed, sizeof elapsed, "%.0f", preview.elapsedMilliseconds);
    text += ", " + std::to_string(preview.beadSegments) + " bead segments (" +
            std::to_string(preview.cutsBeforeSimplifying) + " cuts before simplifying), " +
            std::to_string(preview.skinTriangles) + " skin triangles, " + std::to_string(preview.mesh.TriangleCount()) +
            " triangles in all, " + elapsed + " ms\n";
    return text;
}

}  // namespace ridgeforge::mesh
