#include "relief/validation/Printability.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <optional>

#include "mesh/SortUnique.h"
#include "mesh/Connectivity.h"
#include "text/Format.h"
#include "relief/validation/LayerSlicing.h"
#include "relief/validation/internal/LayerCuts.h"
#include "relief/validation/internal/RowCrossingCuts.h"

namespace ridgeforge::mesh {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

std::string TooLargeText(double layers, double cellsPerLayer) {
    std::string text = "the part is too large to check: " + FormatLargeCount(layers) + " layers";
    if (cellsPerLayer > 0.0) text += " of " + FormatLargeCount(cellsPerLayer) + " cells";
    return text + " (the most are " + FormatCount(kMostPrintabilityLayers) + " layers, " +
           FormatCount(kMostPrintabilityCellsPerLayer) + " cells a layer and " + FormatCount(kMostPrintabilityCells) +
           " in all); a point far from the rest of the part can cause this";
}

// Per-cell classes of the view's highlights, kept for this layer and the one below.
enum : std::uint8_t { kNeedsSupport = 1, kBridging = 2, kReachingFar = 4 };
// The first cell in [from, to) of a raster row that holds `value`, or `to`.
// A raster holds only 0 and 1, so a byte search finds either.
std::int32_t FirstCellHolding(const std::uint8_t* row, std::int32_t from, std::int32_t to, std::uint8_t value) {
    if (from >= to) return to;
    const void* found = std::memchr(row + from, value, static_cast<std::size_t>(to - from));
    return found == nullptr ? to : static_cast<std::int32_t>(static_cast<const std::uint8_t*>(found) - row);
}

// Per-cell verdicts of the overhang clusters of one layer.
enum : std::uint8_t { kMarkLaidInAir = 1, kMarkBridging = 2 };

struct Region {
    std::uint64_t cells = 0, supported = 0, nearby = 0;
    double sumU = 0.0, sumV = 0.0;  // summed only for a region in the air
    float largestDistance = 0.0f;
    std::size_t farthest = 0;
    bool inAir = false, reachesFar = false;
};

class PrintabilityPass {
public:
    PrintabilityPass(const TriangleMesh& mesh, const PrintabilitySettings& settings, PrintabilityReport& report,
                     CancelContext* cancel)
        : mesh_(mesh), settings_(settings), report_(report), cancel_(cancel) {}

    void Run();

private:
    bool SetUpFrame();
    void MeasureFaces();
    void PrepareCuts();
    const PreparedLayer& CutLayer(std::uint64_t layer);
    void LabelRegions(std::uint64_t layer);
    void SumRegionCentres();
    void MeasureRegionDistances();
    void FindOverhangClusters(float h);
    void ReportRegions(float h);
    void CollectHighlights(std::uint64_t layer, float h, const PreparedLayer& cut);
    void ClassifySegments(const PreparedLayer& cut);
    // The list the segments with their midpoint in cell (x, y) join, or null.
    std::vector<std::uint32_t>* SegmentList(std::int32_t x, std::int32_t y);
    void ClassifyFlatTriangles(std::uint64_t layer);

    std::size_t Index(std::int32_t x, std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(x);
    }
    bool InGrid(std::int32_t x, std::int32_t y) const { return x >= 0 && y >= 0 && x < columns_ && y < rows_; }
    bool NearMaterial(const ScratchVector<std::uint8_t>& raster, const RasterWindow& window, std::int32_t x,
                      std::int32_t y) const;
    bool HasMarkAround(const ScratchVector<std::uint8_t>& marks, std::int32_t x, std::int32_t y,
                       std::uint8_t mark) const;
    float CentreU(std::int32_t x) const { return grid_.originU + (static_cast<float>(x) + 0.5f) * cell_; }
    float CentreV(std::int32_t y) const { return grid_.originV + (static_cast<float>(y) + 0.5f) * cell_; }
    std::int32_t ClampColumn(float u) const;
    std::int32_t ClampRow(float v) const;
    PrintabilityIssue IssueAt(float u, float v, float h, std::uint64_t cells) const;

    const TriangleMesh& mesh_;
    const PrintabilitySettings& settings_;
    PrintabilityReport& report_;
    CancelContext* cancel_;

    LayerAxes axes_;
    float layerHeight_ = 0.2f, lineWidth_ = 0.42f, lowestH_ = 0.0f, cell_ = 1.0f;
    std::uint64_t layers_ = 1, contourStride_ = 1;
    std::int32_t columns_ = 0, rows_ = 0;
    LayerGrid grid_;
    LayerBuckets buckets_;
    TriangleCopies copies_;
    std::vector<std::uint64_t> flatOffsets_;
    std::vector<std::uint32_t> flatTriangles_;
    std::vector<Point2> normals_;  // unit face normals across the build axis

    std::vector<CellOffset> disk_;
    std::int32_t diskReach_ = 0;  // the largest offset of the disk along either axis
    float minimumCells_ = 0.0f, cantileverCells_ = 0.0f, warningCells_ = 0.0f;

    // Each raster with the window outside which all its cells are 0: a
    // layer's work follows its material, not the whole frame. The frame's
    // arrays are the thread's scratch storage, kept from check to check: the
    // wide frame of a part lying across the diagonal (336,000 cells) had
    // its megabytes faulted in anew by every check.
    ScratchVector<std::uint8_t> current_, previous_, twoBelow_;
    RasterWindow currentWindow_, previousWindow_, twoBelowWindow_;
    ScratchVector<std::uint8_t> classes_, classesBelow_, marks_, visited_;
    bool classesUsed_ = false, classesBelowUsed_ = false;
    RasterWindow classesWindow_, classesBelowWindow_;
    struct RowRun {
        std::int32_t begin, end, row, label;  // cells begin to end - 1 of one row
    };
    void MarkSupport(std::uint64_t layer, const RowRun& run, Region& r);
    std::vector<RowRun> runs_;
    ScratchVector<std::int32_t> labels_;
    std::vector<std::int32_t> parents_, regionOf_;
    std::vector<float> distance_;
    std::vector<Region> regions_;
    std::vector<std::size_t> clusterCells_, markedCells_, contacts_, stack_;
    std::int32_t boxX0_ = 0, boxY0_ = 0, boxX1_ = 0, boxY1_ = 0;  // the unsupported cells
    bool anyMarks_ = false;
    // Last: a batch still being cut reads the members above.
    std::optional<LayerCuts> cuts_;
    std::uint64_t preparedEnd_ = 0;  // the layers before it have been cut
};

}  // namespace

std::vector<CellOffset> DiskOffsets(float radiusCells) {
    std::vector<CellOffset> offsets;
    if (!(radiusCells >= 0.0f)) return offsets;
    const auto reach = static_cast<std::int32_t>(std::ceil(std::min(radiusCells, 4096.0f)));
    const float limit = radiusCells * radiusCells;
    for (std::int32_t dy = -reach; dy <= reach; ++dy) {
        for (std::int32_t dx = -reach; dx <= reach; ++dx) {
            if (static_cast<float>(dx * dx + dy * dy) <= limit) offsets.push_back({dx, dy});
        }
    }
    return offsets;
}

void AddCellQuad(const LayerAxes& axes, float u, float v, float cell, float h, std::vector<Vec3f>& quads) {
    const Vec3f a = ModelPoint(axes, u, v, h), b = ModelPoint(axes, u + cell, v, h);
    const Vec3f c = ModelPoint(axes, u + cell, v + cell, h), d = ModelPoint(axes, u, v + cell, h);
    quads.insert(quads.end(), {a, b, c, a, c, d});
}

bool HasCellOrNeighbour(std::int64_t column, std::int64_t row, std::int64_t layer,
                        const std::vector<std::uint64_t>& sortedKeys) {
    if (layer < 0) return false;
    for (std::int64_t dy = -1; dy <= 1; ++dy) {
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            const std::int64_t c = column + dx, r = row + dy;
            if (c < 0 || r < 0) continue;
            const std::uint64_t key = PackCellKey(static_cast<std::uint64_t>(c), static_cast<std::uint64_t>(r),
                                                  static_cast<std::uint64_t>(layer));
            if (std::binary_search(sortedKeys.begin(), sortedKeys.end(), key)) return true;
        }
    }
    return false;
}

PrintabilityReport CheckPrintability(const TriangleMesh& mesh, const PrintabilitySettings& settings,
                                     CancelContext* cancel) {
    PrintabilityReport report;
    if (mesh.indices.empty() || mesh.vertices.empty() || !mesh.boundsValid || !IsValidMesh(mesh)) return report;
    if (!IsFinite(mesh.boundsMin) || !IsFinite(mesh.boundsMax)) return report;
    const auto start = std::chrono::steady_clock::now();
    PrintabilityPass(mesh, settings, report, cancel).Run();
    report.elapsedMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return report;
}

namespace {

void PrintabilityPass::Run() {
    if (!SetUpFrame()) return;
    MeasureFaces();
    PrepareCuts();
    const std::size_t cells = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
    previous_.assign(cells, 0);
    twoBelow_.assign(cells, 0);
    labels_.assign(cells, -1);
    distance_.assign(cells, -1.0f);
    visited_.assign(cells, 0);
    marks_.assign(cells, 0);
    if (settings_.collectHighlights) {
        classes_.assign(cells, 0);
        classesBelow_.assign(cells, 0);
    }
    for (std::uint64_t layer = 0; layer < layers_; ++layer) {
        ThrowIfStopped(cancel_);
        const float h = LayerCutHeight(lowestH_, layerHeight_, layer);
        const PreparedLayer& cut = CutLayer(layer);
        LabelRegions(layer);
        MeasureRegionDistances();
        FindOverhangClusters(h);
        ReportRegions(h);
        if (settings_.collectHighlights) CollectHighlights(layer, h, cut);
        std::swap(twoBelow_, previous_);
        std::swap(previous_, current_);
        std::swap(twoBelowWindow_, previousWindow_);
        std::swap(previousWindow_, currentWindow_);
    }
    cuts_->FinishContourLines();
    SortUnique(report_.needsSupportTriangles);
    SortUnique(report_.reachingFarTriangles);
    SortUnique(report_.bridgingTriangles);
    std::vector<std::uint32_t> bridging;
    std::set_difference(report_.bridgingTriangles.begin(), report_.bridgingTriangles.end(),
                        report_.needsSupportTriangles.begin(), report_.needsSupportTriangles.end(),
                        std::back_inserter(bridging));
    report_.bridgingTriangles = std::move(bridging);
    std::sort(report_.needsSupportKeys.begin(), report_.needsSupportKeys.end());
    std::sort(report_.reachingFarKeys.begin(), report_.reachingFarKeys.end());
    std::sort(report_.bridgingKeys.begin(), report_.bridgingKeys.end());
    report_.checked = true;
}

bool PrintabilityPass::SetUpFrame() {
    axes_ = AxesAcross(settings_.buildAxis);
    layerHeight_ = std::max(settings_.layerHeightMillimetres, 0.01f);
    lineWidth_ = std::max(settings_.lineWidthMillimetres, 0.05f);
    const float lowU = mesh_.boundsMin[axes_.u], lowV = mesh_.boundsMin[axes_.v];
    const float extentU = mesh_.boundsMax[axes_.u] - lowU, extentV = mesh_.boundsMax[axes_.v] - lowV;
    const float extentH = mesh_.boundsMax[axes_.h] - mesh_.boundsMin[axes_.h];
    lowestH_ = mesh_.boundsMin[axes_.h];
    // Divided in floats as ever, then held in a double: a far stray point
    // makes counts no integer type holds.
    const double layerCount = std::max(1.0, static_cast<double>(std::ceil(extentH / layerHeight_)));
    if (!(layerCount <= static_cast<double>(kMostPrintabilityLayers))) {
        report_.refusal = TooLargeText(layerCount, 0.0);
        return false;
    }
    layers_ = static_cast<std::uint64_t>(layerCount);
    // A chosen cell size keeps the same caps as the automatic one (about 4
    // million cells a layer, 200 million in all): a tiny cell would otherwise
    // run for hours or exhaust memory.
    const double c0 = lineWidth_ * 0.25;
    const double w = extentU + 2.0 * c0, d = extentV + 2.0 * c0;
    const double caps = std::max(std::sqrt(w * d / 4.0e6), std::sqrt(static_cast<double>(layers_) * w * d / 2.0e8));
    const double chosen = settings_.cellMillimetres > 0.0f ? settings_.cellMillimetres : c0;
    cell_ = static_cast<float>(std::max(chosen, caps));
    // The caps bound the cells inside the part's box; the border around it
    // can still multiply them for a long, thin box, such as one stray point
    // far to the side of the part makes.
    const double columnCount = std::ceil(extentU / cell_) + 2.0, rowCount = std::ceil(extentV / cell_) + 2.0;
    if (!(columnCount * rowCount <= static_cast<double>(kMostPrintabilityCellsPerLayer)) ||
        !(columnCount * rowCount * layerCount <= static_cast<double>(kMostPrintabilityCells))) {
        report_.refusal = TooLargeText(layerCount, columnCount * rowCount);
        return false;
    }
    columns_ = static_cast<std::int32_t>(columnCount);
    rows_ = static_cast<std::int32_t>(rowCount);
    grid_.cell = cell_;
    grid_.originU = lowU - cell_;
    grid_.originV = lowV - cell_;
    grid_.columns = columns_;
    grid_.rows = rows_;

    report_.layers = layers_;
    report_.cellsPerLayer = static_cast<std::uint64_t>(columns_) * static_cast<std::uint64_t>(rows_);
    report_.cellMillimetres = cell_;
    report_.originU = grid_.originU;
    report_.originV = grid_.originV;
    report_.buildAxis = axes_.h;

    const float growth = std::max(settings_.supportGrowthLineWidths, 0.0f);
    disk_ = DiskOffsets((growth * lineWidth_ + cell_ * 0.5f) / cell_);
    for (const CellOffset& o : disk_) diskReach_ = std::max({diskReach_, std::abs(o.dx), std::abs(o.dy)});
    minimumCells_ = settings_.minimumAreaSquareMillimetres / (cell_ * cell_);
    cantileverCells_ = settings_.cantileverMillimetres / cell_;
    warningCells_ = settings_.warningMillimetres / cell_;
    contourStride_ = std::max<std::uint64_t>(1, layers_ / std::max<std::uint64_t>(1, settings_.contourLayerDivisor));
    return true;
}

void PrintabilityPass::MeasureFaces() {
    const std::size_t triangles = mesh_.TriangleCount();
    normals_.assign(triangles, {});
    const float downward = -std::cos(settings_.supportAngleDegrees * 3.14159265f / 180.0f);
    std::vector<std::uint32_t> flatLayer;
    if (settings_.collectHighlights) {
        flatOffsets_.assign(layers_ + 1, 0);
        flatLayer.assign(triangles, std::numeric_limits<std::uint32_t>::max());
    }
    double total = 0.0, flat = 0.0;
    for (std::size_t t = 0; t < triangles; ++t) {
        if (t % 4096 == 0) ThrowIfStopped(cancel_);
        Vec3f c[3];
        CornersAcross(mesh_, axes_, t, c);
        const float low = std::min({c[0].z, c[1].z, c[2].z}), high = std::max({c[0].z, c[1].z, c[2].z});
        if (settings_.collectHighlights) {
            const LayerSpan span = LayersCutting(low, high, lowestH_, layerHeight_, layers_);
            if (span.first == span.last) {
                const double l = std::floor(static_cast<double>((low - lowestH_) / layerHeight_));
                flatLayer[t] = static_cast<std::uint32_t>(std::clamp(l, 0.0, static_cast<double>(layers_ - 1)));
                ++flatOffsets_[flatLayer[t] + 1];
            }
        }
        const Vec3f n = Cross(c[1] - c[0], c[2] - c[0]);
        const Vec3f unit = Normalize(n);
        if (unit == Vec3f{}) continue;
        normals_[t] = {unit.x, unit.y};
        const float area = 0.5f * Length(n);
        total += area;
        if (unit.z < downward && high - lowestH_ > 0.5f * layerHeight_) flat += area;
    }
    report_.totalAreaSquareMillimetres = static_cast<float>(total);
    report_.downwardFlatAreaSquareMillimetres = static_cast<float>(flat);
    if (!settings_.collectHighlights) return;
    for (std::uint64_t l = 0; l < layers_; ++l) flatOffsets_[l + 1] += flatOffsets_[l];
    flatTriangles_.resize(flatOffsets_[layers_]);
    std::vector<std::uint64_t> next(flatOffsets_.begin(), flatOffsets_.end() - 1);
    for (std::size_t t = 0; t < triangles; ++t) {
        if (flatLayer[t] != std::numeric_limits<std::uint32_t>::max()) {
            flatTriangles_[next[flatLayer[t]]++] = static_cast<std::uint32_t>(t);
        }
    }
}

// Copies of one triangle are cut once. Without highlights only the cuts that
// can fill a cell are taken; with them every triangle keeps its segment, a
// copy taking its first's, in triangle order as ever.
void PrintabilityPass::PrepareCuts() {
    copies_ = FindTriangleCopies(mesh_);
    LayerCutSettings cutSettings;
    cutSettings.axes = axes_;
    cutSettings.lowestH = lowestH_;
    cutSettings.layerHeight = layerHeight_;
    cutSettings.keepSegments = settings_.collectHighlights;
    cutSettings.contourStride = contourStride_;
    buckets_ = settings_.collectHighlights
                   ? BucketTrianglesByLayerInParallel(mesh_, axes_, lowestH_, layerHeight_, layers_, cancel_)
                   : BucketRowCrossingCuts(mesh_, axes_, copies_, grid_, lowestH_, layerHeight_, layers_, cancel_);
    cuts_.emplace(mesh_, buckets_, copies_, normals_, grid_, cutSettings, report_.contourLinePoints);
}

// The layers are cut a batch ahead on every core; the raster is filled here,
// in layer order, from the layer's own crossings.
const PreparedLayer& PrintabilityPass::CutLayer(std::uint64_t layer) {
    if (layer >= preparedEnd_) preparedEnd_ = cuts_->NextBatch(layer, layers_, cancel_);
    PreparedLayer& cut = cuts_->Layer(layer, cancel_);
    FillLayerRaster(cut.grid, current_, currentWindow_);
    return cut;
}

// Material within the support disk of a cell. A cell farther than the disk
// from the raster's window has none there, whatever the disk: under a plate
// laid over a gap every cell of the plate asks, and the layer below is empty.
bool PrintabilityPass::NearMaterial(const ScratchVector<std::uint8_t>& raster, const RasterWindow& window,
                                    std::int32_t x, std::int32_t y) const {
    if (window.Empty() || x < window.columnBegin - diskReach_ || x >= window.columnEnd + diskReach_ ||
        y < window.rowBegin - diskReach_ || y >= window.rowEnd + diskReach_)
        return false;
    if (raster[Index(x, y)]) return true;
    for (const CellOffset& o : disk_) {
        const std::int32_t nx = x + o.dx, ny = y + o.dy;
        if (InGrid(nx, ny) && raster[Index(nx, ny)]) return true;
    }
    return false;
}

// Two-pass labelling of 8-connected regions; the final numbers follow each
// region's first cell in row-major order.
void PrintabilityPass::LabelRegions(std::uint64_t layer) {
    // Only the last layer's runs hold labels and distances.
    for (const RowRun& run : runs_) {
        const std::size_t first = Index(run.begin, run.row), last = Index(run.end, run.row);
        std::fill(labels_.begin() + static_cast<std::ptrdiff_t>(first),
                  labels_.begin() + static_cast<std::ptrdiff_t>(last), -1);
        std::fill(distance_.begin() + static_cast<std::ptrdiff_t>(first),
                  distance_.begin() + static_cast<std::ptrdiff_t>(last), -1.0f);
    }
    parents_.clear();
    // The first pass works on runs of material along each row: a run joins
    // every run of the row above that touches it, corners included. The
    // regions are the same as cell by cell, and so are their final numbers,
    // which follow each region's first cell.
    runs_.clear();
    std::size_t above = 0, aboveEnd = 0;  // the row above's runs in runs_
    const RasterWindow& window = currentWindow_;
    for (std::int32_t y = window.rowBegin; y < window.rowEnd; ++y) {
        const std::size_t rowStart = runs_.size();
        const std::uint8_t* row = current_.data() + Index(0, y);
        std::int32_t x = window.columnBegin;
        while (true) {
            const std::int32_t begin = FirstCellHolding(row, x, window.columnEnd, 1);
            if (begin == window.columnEnd) break;
            x = FirstCellHolding(row, begin, window.columnEnd, 0);
            std::int32_t label = -1;
            while (above < aboveEnd && runs_[above].end < begin) ++above;  // ends left of begin - 1
            for (std::size_t k = above; k < aboveEnd && runs_[k].begin <= x; ++k) {
                const std::int32_t other = FindRoot(parents_, runs_[k].label);
                if (label < 0) {
                    label = other;
                } else if (other != label) {
                    const std::int32_t a = std::min(label, other), b = std::max(label, other);
                    parents_[static_cast<std::size_t>(b)] = a;
                    label = a;
                }
            }
            if (label < 0) {
                label = static_cast<std::int32_t>(parents_.size());
                parents_.push_back(label);
            }
            runs_.push_back({begin, x, y, label});
        }
        above = rowStart;
        aboveEnd = runs_.size();
    }
    // The second pass goes run by run, in row-major order like the cells, so
    // its cost follows the runs wherever the layer below covers them.
    regions_.clear();
    regionOf_.assign(parents_.size(), -1);
    boxX0_ = columns_, boxY0_ = rows_, boxX1_ = 0, boxY1_ = 0;
    for (RowRun& run : runs_) {
        const std::size_t first = Index(run.begin, run.row), last = Index(run.end, run.row);
        std::int32_t& region = regionOf_[static_cast<std::size_t>(FindRoot(parents_, run.label))];
        if (region < 0) {
            region = static_cast<std::int32_t>(regions_.size());
            regions_.emplace_back();
        }
        run.label = region;
        std::fill(labels_.begin() + static_cast<std::ptrdiff_t>(first),
                  labels_.begin() + static_cast<std::ptrdiff_t>(last), region);
        Region& r = regions_[static_cast<std::size_t>(region)];
        r.cells += static_cast<std::uint64_t>(run.end - run.begin);
        MarkSupport(layer, run, r);
    }
    SumRegionCentres();
}

// A cell with material right below is supported whatever its neighbours
// hold; the stretches of those are found many cells a step, and only the
// cells between them look around.
void PrintabilityPass::MarkSupport(std::uint64_t layer, const RowRun& run, Region& r) {
    const std::int32_t y = run.row;
    const std::uint8_t* below = previous_.data() + Index(0, y);
    float* distance = distance_.data() + Index(0, y);
    if (layer == 0) {
        std::fill(distance + run.begin, distance + run.end, 0.0f);
        r.supported += static_cast<std::uint64_t>(run.end - run.begin);
        return;
    }
    std::int32_t x = run.begin;
    while (x < run.end) {
        const std::int32_t open = FirstCellHolding(below, x, run.end, 0);
        std::fill(distance + x, distance + open, 0.0f);
        r.supported += static_cast<std::uint64_t>(open - x);
        x = open;
        if (x == run.end) break;
        if (NearMaterial(previous_, previousWindow_, x, y)) {
            ++r.supported;
            distance[x++] = 0.0f;
            continue;
        }
        if (NearMaterial(twoBelow_, twoBelowWindow_, x, y)) ++r.nearby;
        distance[x] = kInfinity;
        boxX0_ = std::min(boxX0_, x), boxY0_ = std::min(boxY0_, y);
        boxX1_ = std::max(boxX1_, x + 1), boxY1_ = std::max(boxY1_, y + 1);
        ++x;
    }
}

// Only a region in the air is reported at its centre. Its cells are summed
// in row-major order, the order the sum has always taken, so the centre
// rounds the same.
void PrintabilityPass::SumRegionCentres() {
    for (const RowRun& run : runs_) {
        Region& r = regions_[static_cast<std::size_t>(run.label)];
        if (r.supported != 0 || r.nearby != 0) continue;
        for (std::int32_t x = run.begin; x < run.end; ++x) {
            r.sumU += CentreU(x);
            r.sumV += CentreV(run.row);
        }
    }
}

void PrintabilityPass::MeasureRegionDistances() {
    if (boxX1_ <= boxX0_) return;
    // Distances spread only from supported cells: with none in the layer
    // (a plate over a gap) every unsupported cell stays unreached.
    const bool anySupport =
        std::any_of(regions_.begin(), regions_.end(), [](const Region& r) { return r.supported != 0; });
    if (anySupport) PropagateSupportDistance(distance_, columns_, rows_, boxX0_, boxY0_, boxX1_, boxY1_, cancel_);
    for (std::int32_t y = boxY0_; y < boxY1_; ++y) {
        for (std::int32_t x = boxX0_; x < boxX1_; ++x) {
            const std::size_t i = Index(x, y);
            if (!(distance_[i] > 0.0f)) continue;
            Region& r = regions_[static_cast<std::size_t>(labels_[i])];
            if (distance_[i] > r.largestDistance) {
                r.largestDistance = distance_[i];
                r.farthest = i;
            }
        }
    }
}

PrintabilityIssue PrintabilityPass::IssueAt(float u, float v, float h, std::uint64_t cells) const {
    const Vec3f p = ModelPoint(axes_, u, v, h);
    PrintabilityIssue issue;
    issue.x = p.x, issue.y = p.y, issue.z = p.z;
    issue.heightAboveBed = h - lowestH_;
    issue.areaSquareMillimetres = static_cast<float>(cells) * cell_ * cell_;
    return issue;
}

void PrintabilityPass::FindOverhangClusters(float h) {
    for (std::size_t i : markedCells_) visited_[i] = marks_[i] = 0;
    markedCells_.clear();
    anyMarks_ = false;
    const auto columns = static_cast<std::size_t>(columns_);
    for (std::int32_t y = boxY0_; y < boxY1_; ++y) {
        for (std::int32_t x = boxX0_; x < boxX1_; ++x) {
            const std::size_t seed = Index(x, y);
            if (!(distance_[seed] > 0.0f) || visited_[seed]) continue;
            const Region& region = regions_[static_cast<std::size_t>(labels_[seed])];
            if (region.supported == 0 && region.nearby == 0) continue;
            // Flood the 8-connected unsupported cells.
            clusterCells_.clear();
            stack_.assign(1, seed);
            visited_[seed] = 1;
            markedCells_.push_back(seed);
            double sumU = 0.0, sumV = 0.0;
            float largest = 0.0f;
            while (!stack_.empty()) {
                const std::size_t i = stack_.back();
                stack_.pop_back();
                clusterCells_.push_back(i);
                const auto cx = static_cast<std::int32_t>(i % columns), cy = static_cast<std::int32_t>(i / columns);
                sumU += CentreU(cx);
                sumV += CentreV(cy);
                if (std::isfinite(distance_[i])) largest = std::max(largest, distance_[i]);
                for (std::int32_t dy = -1; dy <= 1; ++dy) {
                    for (std::int32_t dx = -1; dx <= 1; ++dx) {
                        if (!InGrid(cx + dx, cy + dy)) continue;
                        const std::size_t n = Index(cx + dx, cy + dy);
                        if (visited_[n] || !(distance_[n] > 0.0f)) continue;
                        visited_[n] = 1;
                        markedCells_.push_back(n);
                        stack_.push_back(n);
                    }
                }
            }
            const std::uint64_t n = clusterCells_.size();
            report_.unsupportedAreaSquareMillimetres += static_cast<float>(n) * cell_ * cell_;
            if (static_cast<float>(n) < minimumCells_) continue;
            // Contacts across the cluster's 4-neighbour border.
            contacts_.clear();
            std::uint64_t air = 0;
            for (std::size_t i : clusterCells_) {
                const auto cx = static_cast<std::int32_t>(i % columns), cy = static_cast<std::int32_t>(i / columns);
                const CellOffset around[4] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
                for (const CellOffset& o : around) {
                    if (!InGrid(cx + o.dx, cy + o.dy) || !current_[Index(cx + o.dx, cy + o.dy)]) {
                        ++air;
                    } else if (distance_[Index(cx + o.dx, cy + o.dy)] == 0.0f) {
                        contacts_.push_back(Index(cx + o.dx, cy + o.dy));
                    }
                }
            }
            const std::uint64_t material = contacts_.size();
            // The separate supports the cluster touches: 8-connected groups of contacts.
            std::sort(contacts_.begin(), contacts_.end());
            contacts_.erase(std::unique(contacts_.begin(), contacts_.end()), contacts_.end());
            std::vector<std::uint8_t> grouped(contacts_.size(), 0);
            std::uint64_t groups = 0;
            for (std::size_t k = 0; k < contacts_.size() && groups < 2; ++k) {
                if (grouped[k]) continue;
                ++groups;
                std::vector<std::size_t> open{k};
                grouped[k] = 1;
                while (!open.empty()) {
                    const std::size_t i = contacts_[open.back()];
                    open.pop_back();
                    const auto cx = static_cast<std::int32_t>(i % columns), cy = static_cast<std::int32_t>(i / columns);
                    for (std::int32_t dy = -1; dy <= 1; ++dy) {
                        for (std::int32_t dx = -1; dx <= 1; ++dx) {
                            if (!InGrid(cx + dx, cy + dy)) continue;
                            const auto it =
                                std::lower_bound(contacts_.begin(), contacts_.end(), Index(cx + dx, cy + dy));
                            if (it == contacts_.end() || *it != Index(cx + dx, cy + dy)) continue;
                            const auto j = static_cast<std::size_t>(it - contacts_.begin());
                            if (!grouped[j]) grouped[j] = 1, open.push_back(j);
                        }
                    }
                }
            }
            const std::uint64_t all = material + air;
            const bool bridge =
                groups >= 2 || (all > 0 && static_cast<double>(material) >= 0.85 * static_cast<double>(all));
            // An overhang held from one side only is a cantilever: its region's
            // reach past the layer below grades it against the cantilever and
            // warning distances, so it is no finding of its own here.
            if (!bridge) continue;
            const float span = 2.0f * largest * cell_;
            PrintabilityIssue issue = IssueAt(static_cast<float>(sumU / static_cast<double>(n)),
                                              static_cast<float>(sumV / static_cast<double>(n)), h, n);
            const bool shortBridge = bridge && span <= settings_.shortBridgeMillimetres;
            issue.reachMillimetres = shortBridge ? span : largest * cell_;
            (shortBridge ? report_.shortBridges : report_.laidInAir).push_back(issue);
            for (std::size_t i : clusterCells_) marks_[i] = shortBridge ? kMarkBridging : kMarkLaidInAir;
            anyMarks_ = true;
        }
    }
}

void PrintabilityPass::ReportRegions(float h) {
    for (Region& r : regions_) {
        const auto n = static_cast<double>(r.cells);
        if (r.supported == 0 && r.nearby == 0) {
            r.inAir = true;
            report_.featuresInAir.push_back(
                IssueAt(static_cast<float>(r.sumU / n), static_cast<float>(r.sumV / n), h, r.cells));
            continue;
        }
        const float d = r.largestDistance;
        if (!(d > 0.0f) || !std::isfinite(d)) continue;
        report_.longestReachMillimetres = std::max(report_.longestReachMillimetres, d * cell_);
        if (d > warningCells_) {
            r.reachesFar = true;
            const auto columns = static_cast<std::size_t>(columns_);
            PrintabilityIssue issue = IssueAt(CentreU(static_cast<std::int32_t>(r.farthest % columns)),
                                              CentreV(static_cast<std::int32_t>(r.farthest / columns)), h, r.cells);
            issue.reachMillimetres = d * cell_;
            issue.supportedAreaSquareMillimetres = static_cast<float>(r.supported) * cell_ * cell_;
            report_.farReaches.push_back(issue);
        } else if (d > cantileverCells_) {
            ++report_.layersPastCantilever;
        }
    }
}

std::int32_t PrintabilityPass::ClampColumn(float u) const { return ClampedColumn(grid_, u); }

std::int32_t PrintabilityPass::ClampRow(float v) const { return ClampedRow(grid_, v); }

bool PrintabilityPass::HasMarkAround(const ScratchVector<std::uint8_t>& marks, std::int32_t x, std::int32_t y,
                                     std::uint8_t mark) const {
    for (std::int32_t dy = -1; dy <= 1; ++dy) {
        for (std::int32_t dx = -1; dx <= 1; ++dx) {
            if (InGrid(x + dx, y + dy) && (marks[Index(x + dx, y + dy)] & mark)) return true;
        }
    }
    return false;
}

void PrintabilityPass::CollectHighlights(std::uint64_t layer, float h, const PreparedLayer& cut) {
    // classes_ takes over the raster of two layers down.
    std::swap(classes_, classesBelow_);
    std::swap(classesUsed_, classesBelowUsed_);
    std::swap(classesWindow_, classesBelowWindow_);
    if (classesUsed_) {
        for (std::int32_t y = classesWindow_.rowBegin; y < classesWindow_.rowEnd; ++y)
            std::fill(classes_.begin() + static_cast<std::ptrdiff_t>(Index(classesWindow_.columnBegin, y)),
                      classes_.begin() + static_cast<std::ptrdiff_t>(Index(classesWindow_.columnEnd, y)),
                      std::uint8_t{0});
    }
    classesUsed_ = false;
    classesWindow_ = currentWindow_;
    const bool flagged = anyMarks_ || std::any_of(regions_.begin(), regions_.end(),
                                                  [](const Region& r) { return r.inAir || r.reachesFar; });
    if (flagged) {
        for (std::int32_t y = currentWindow_.rowBegin; y < currentWindow_.rowEnd; ++y) {
            for (std::int32_t x = currentWindow_.columnBegin; x < currentWindow_.columnEnd; ++x) {
                const std::size_t i = Index(x, y);
                if (!current_[i]) continue;
                const Region& r = regions_[static_cast<std::size_t>(labels_[i])];
                std::uint8_t cls = 0;
                if (r.inAir || marks_[i] == kMarkLaidInAir) cls |= kNeedsSupport;
                if (r.reachesFar && distance_[i] > cantileverCells_) cls |= kReachingFar;
                if (marks_[i] == kMarkBridging) cls |= kBridging;
                if (cls == 0) continue;
                classes_[i] = cls;
                classesUsed_ = true;
                const float u = grid_.originU + static_cast<float>(x) * cell_;
                const float v = grid_.originV + static_cast<float>(y) * cell_;
                const std::uint64_t key =
                    PackCellKey(static_cast<std::uint64_t>(x), static_cast<std::uint64_t>(y), layer);
                if (cls & kNeedsSupport) {
                    AddCellQuad(axes_, u, v, cell_, h, report_.needsSupportQuads);
                    report_.needsSupportKeys.push_back(key);
                }
                if (cls & kReachingFar) {
                    AddCellQuad(axes_, u, v, cell_, h, report_.reachingFarQuads);
                    report_.reachingFarKeys.push_back(key);
                }
                if (cls & kBridging) {
                    AddCellQuad(axes_, u, v, cell_, h, report_.bridgingQuads);
                    report_.bridgingKeys.push_back(key);
                }
            }
        }
        ClassifySegments(cut);
    }
    if (classesUsed_ || classesBelowUsed_) ClassifyFlatTriangles(layer);
}

// A segment's list follows from its midpoint's cell alone, and the segments
// of a fan or of copies come in runs on one cell: a run is looked up once.
void PrintabilityPass::ClassifySegments(const PreparedLayer& cut) {
    std::int32_t lastX = -1, lastY = -1;
    std::vector<std::uint32_t>* list = nullptr;
    for (std::size_t k = 0; k < cut.SegmentCount(); ++k) {
        const KeptSegment s = cut.Segment(k, axes_);
        const std::int32_t x = ClampColumn(s.u), y = ClampRow(s.v);
        if (x != lastX || y != lastY) {
            lastX = x, lastY = y;
            list = SegmentList(x, y);
        }
        if (list != nullptr) list->push_back(s.triangle);
    }
}

std::vector<std::uint32_t>* PrintabilityPass::SegmentList(std::int32_t x, std::int32_t y) {
    std::int64_t found = labels_[Index(x, y)] >= 0 ? static_cast<std::int64_t>(Index(x, y)) : -1;
    for (std::int32_t dy = -1; dy <= 1 && found < 0; ++dy) {
        for (std::int32_t dx = -1; dx <= 1 && found < 0; ++dx) {
            if (InGrid(x + dx, y + dy) && labels_[Index(x + dx, y + dy)] >= 0) {
                found = static_cast<std::int64_t>(Index(x + dx, y + dy));
            }
        }
    }
    if (found < 0) return nullptr;
    const Region& r = regions_[static_cast<std::size_t>(labels_[static_cast<std::size_t>(found)])];
    if (r.inAir) return &report_.needsSupportTriangles;
    if (r.reachesFar && distance_[static_cast<std::size_t>(found)] > cantileverCells_) {
        return &report_.reachingFarTriangles;
    }
    if (HasMarkAround(marks_, x, y, kMarkLaidInAir)) return &report_.needsSupportTriangles;
    if (HasMarkAround(marks_, x, y, kMarkBridging)) return &report_.bridgingTriangles;
    return nullptr;
}

void PrintabilityPass::ClassifyFlatTriangles(std::uint64_t layer) {
    for (std::uint64_t k = flatOffsets_[layer]; k < flatOffsets_[layer + 1]; ++k) {
        const std::uint32_t t = flatTriangles_[k];
        Vec3f c[3];
        CornersAcross(mesh_, axes_, t, c);
        const std::int32_t x = ClampColumn((c[0].x + c[1].x + c[2].x) / 3.0f);
        const std::int32_t y = ClampRow((c[0].y + c[1].y + c[2].y) / 3.0f);
        const auto around = [&](std::uint8_t cls) {
            return HasMarkAround(classes_, x, y, cls) || HasMarkAround(classesBelow_, x, y, cls);
        };
        if (around(kNeedsSupport)) {
            report_.needsSupportTriangles.push_back(t);
        } else if (around(kBridging)) {
            report_.bridgingTriangles.push_back(t);
        }
    }
}

}  // namespace

}  // namespace ridgeforge::mesh
