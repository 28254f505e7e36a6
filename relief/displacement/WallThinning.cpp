// Comparing the walls before and after a vertex-moving relief.
#include "relief/displacement/WallThinning.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iomanip>
#include <sstream>

#include "relief/displacement/Clearance.h"

namespace ridgeforge::mesh {
namespace {

bool MeshesMatch(const TriangleMesh& before, const TriangleMesh& displaced, const std::vector<float>& weights) {
    return !displaced.vertices.empty() && !displaced.indices.empty() &&
           before.vertices.size() == displaced.vertices.size() && before.indices.size() == displaced.indices.size() &&
           weights.size() == displaced.vertices.size() && IsValidMesh(before) && IsValidMesh(displaced);
}

// How far each vertex moved against its normal before the relief.
std::vector<float> InwardMoves(const TriangleMesh& before, const TriangleMesh& displaced) {
    std::vector<float> inward(before.vertices.size(), 0.0f);
    for (std::size_t v = 0; v < inward.size(); ++v) {
        const Vec3f n = Normalize(before.vertices[v].normal);
        inward[v] = -Dot(displaced.vertices[v].position - before.vertices[v].position, n);
    }
    return inward;
}

}  // namespace

WallThinningReport MeasureWallThinning(const TriangleMesh& before, const TriangleMesh& displaced,
                                       const std::vector<float>& weights, const DisplacementReport& report,
                                       float wallLineWidthMillimetres, float wallThresholdMillimetres,
                                       float wallMinimumMoveMillimetres, CancelContext* cancel) {
    const auto start = std::chrono::steady_clock::now();
    WallThinningReport out;
    if (!MeshesMatch(before, displaced, weights)) {
        out.reason = "the meshes do not match";
        return out;
    }
    if (!report.surfaceTree || report.surfaceTree->nodes.empty() ||
        report.clearance.size() != displaced.vertices.size()) {
        out.reason = "the displacement kept no clearance: one smooth region, or the clearance limit off";
        return out;
    }
    out.threshold =
        wallThresholdMillimetres > 0.0f ? wallThresholdMillimetres : std::max(0.05f, wallLineWidthMillimetres);
    const std::vector<float> inward = InwardMoves(before, displaced);
    float largest = 0.0f;
    for (const float d : inward) largest = std::max(largest, d);
    std::vector<std::uint32_t> candidates;
    for (std::size_t v = 0; v < inward.size(); ++v) {
        if (weights[v] > 0.0f && inward[v] >= wallMinimumMoveMillimetres && std::isfinite(report.clearance[v])) {
            candidates.push_back(static_cast<std::uint32_t>(v));
        }
    }
    out.measured = true;
    out.candidates = candidates.size();
    if (!candidates.empty()) {
        std::vector<ClearanceResult> results;
        MeasureClearance(before, *report.surfaceTree, candidates, inward, 2.0f * largest + out.threshold, results,
                         cancel);
        for (std::size_t i = 0; i < results.size(); ++i) {
            const ClearanceResult& r = results[i];
            if (!r.found || !(r.remaining < out.threshold)) continue;
            if (r.distance < out.threshold) {
                ++out.placesAlreadyUnder;
                continue;
            }
            ++out.placesThinned;
            const Vec3f& p = displaced.vertices[candidates[i]].position;
            out.places.push_back({p.x, p.y, p.z, std::max(0.0f, r.remaining), r.distance});
        }
    }
    if (!out.places.empty()) {
        std::stable_sort(out.places.begin(), out.places.end(),
                         [](const ThinnedPlace& a, const ThinnedPlace& b) { return a.now < b.now; });
        out.thinnestNow = out.places.front().now;
        out.thinnestBefore = out.places.front().was;
        for (const ThinnedPlace& place : out.places) out.thinnestBefore = std::min(out.thinnestBefore, place.was);
        if (out.places.size() > kListedThinPlaces) out.places.resize(kListedThinPlaces);
    }
    out.milliseconds =
        static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count()) /
        1e6;
    return out;
}

std::string FormatWallSummary(const WallThinningReport& r) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(4);
    if (!r.measured) {
        out << "walls not measured: " << r.reason;
    } else if (r.placesThinned > 0) {
        out << r.placesThinned << (r.placesThinned == 1 ? " place" : " places")
            << " where the relief thinned a wall below " << r.threshold << " mm (thinnest " << r.thinnestNow
            << " mm, was " << r.thinnestBefore << ")";
    } else if (r.placesAlreadyUnder > 0) {
        out << "no wall thinned by the relief; " << r.placesAlreadyUnder << " place(s) were under " << r.threshold
            << " mm already";
    } else {
        out << "no wall thinned below " << r.threshold << " mm";
    }
    return out.str();
}

std::string FormatWallReport(const WallThinningReport& r) {
    std::ostringstream out;
    if (!r.measured) {
        out << "Walls: not measured (" << r.reason << ")\n";
        return out.str();
    }
    out << "Walls after the relief: " << FormatWallSummary(r) << " (" << r.candidates
        << " vertices moved inward with a surface within reach, " << std::fixed << std::setprecision(0)
        << r.milliseconds << " ms)\n";
    return out.str();
}

}  // namespace ridgeforge::mesh
