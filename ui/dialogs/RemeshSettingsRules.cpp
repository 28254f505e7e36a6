#include "ui/dialogs/RemeshSettingsRules.h"

#include <algorithm>
#include <cmath>

#include "text/Format.h"
#include "text/NumberText.h"

namespace ridgeforge {
namespace {

using mesh::DisplacementDirection;

std::string General(double value, int digits = 6) { return FormatGeneral(value, digits); }

const char* const kSafestSentence =
    "Outward only cannot thin a wall or cut through a thin model, which is why it is the safest for printing.";

std::string AutomaticExplanation(const mesh::HeightMap* map, DisplacementDirection direction) {
    if (!HasHeightMapData(map)) return "Automatic: worked out from the texture once there is one.";
    switch (direction) {
        case DisplacementDirection::Outward:
            return "Automatic: from the image's darkest, so the whole relief grows out of the surface.";
        case DisplacementDirection::Inward:
            return "Automatic: from the image's lightest, so the whole relief is cut into the surface.";
        default:
            break;
    }
    if (map->neutralHeight.has_value())
        return "Automatic: at the texture's own surface, which stays where it is - the ground of dots or tread "
               "plate, the tops of knurling.";
    return "Automatic: at 0.5, so the texture moves out and in alike.";
}

}  // namespace

float ReadTriangleSize(float typed, float previous) {
    if (!(typed <= kMaximumFieldMillimetres)) return previous;
    return std::max(typed, kMinimumTriangleSize);
}

float ReadStrength(float typed, float previous) {
    return typed >= 0.0f && typed <= kMaximumFieldMillimetres ? typed : previous;
}

std::uint64_t ReadTriangleLimit(float typedMillions) {
    const double millions =
        std::clamp(static_cast<double>(typedMillions), kSmallestTriangleLimit / 1e6, kLargestTriangleLimit / 1e6);
    return static_cast<std::uint64_t>(std::llround(millions * 1e6));
}

std::uint64_t ReadDisplayLimit(float typedMillions) {
    return typedMillions > 0.0f ? ReadTriangleLimit(typedMillions) : 0;
}

float LimitInMillions(std::uint64_t triangles) { return static_cast<float>(static_cast<double>(triangles) / 1e6); }

float ReadMidLevel(float typed) { return std::clamp(typed, 0.0f, 1.0f); }
float ReadPlanarTolerance(float typed) { return std::clamp(typed, kSmallestPlanarTolerance, kLargestPlanarTolerance); }
float ReadDetailLevel(float typed) { return std::clamp(typed, kSmallestDetailLevel, kLargestDetailLevel); }

bool HasPart(const mesh::TriangleMesh* part) {
    return part != nullptr && !part->vertices.empty() && part->indices.size() >= 3;
}

bool HasHeightMapData(const mesh::HeightMap* map) {
    return map != nullptr && map->width >= 1 && map->height >= 1 && !map->pixels.empty();
}

std::string ReliefEstimateText(const mesh::TriangleMesh* part, const mesh::RemeshSettings& settings,
                               float sizeMillimetres, float limitMillions) {
    if (!HasPart(part)) return "Open a part to see how many triangles the relief makes.";
    mesh::RemeshSettings contour = settings;
    contour.method = mesh::kRemeshContour;
    contour.targetEdgeMillimetres = std::max(sizeMillimetres, kMinimumTriangleSize);
    const mesh::RemeshEstimate estimate = mesh::EstimateRemesh(*part, contour);
    const std::uint64_t expected = mesh::ReliefTriangleCount(estimate.expectedTotal);
    std::string text =
        "About " + FormatCount(expected) + " triangles at " + General(contour.targetEdgeMillimetres) + " mm";
    if (estimate.raisedCellMillimetres > 0.0f)
        text += " (made at " + FormatMillimetres(estimate.raisedCellMillimetres) + " mm, the finest this part allows)";
    text += ".";
    // The limit as a whole count, as it is stored: 1.3 million is not exact as a float.
    const double limit = std::round(static_cast<double>(limitMillions) * 1e6);
    if (static_cast<double>(expected) > limit)
        text += " Over the triangle limit of " + General(limitMillions) + " million: Process would refuse it.";
    return text;
}

std::string RemeshInputEstimateText(const mesh::TriangleMesh* part, const mesh::RemeshSettings& settings,
                                    mesh::RemeshMethod method, float sizeMillimetres, std::uint64_t triangleLimit,
                                    bool* overLimit) {
    if (overLimit != nullptr) *overLimit = false;
    if (!HasPart(part)) return std::string();
    mesh::RemeshSettings chosen = settings;
    chosen.method = method;
    chosen.targetEdgeMillimetres = std::max(sizeMillimetres, kMinimumTriangleSize);
    const mesh::RemeshEstimate estimate = mesh::EstimateRemesh(*part, chosen);
    const std::string count = "About " + FormatCount(estimate.expectedTotal) + " triangles from " +
                              FormatCount(part->indices.size() / 3) + ".";
    // The document refuses such a run, as Process does; the dialog says so first.
    if (triangleLimit != 0 && estimate.expectedTotal > triangleLimit) {
        if (overLimit != nullptr) *overLimit = true;
        return count + " Over the triangle limit of " + FormatCount(triangleLimit) +
               ": a larger triangle size makes fewer.";
    }
    return count + " The result replaces the part as loaded; open the file again to get the original back.";
}

std::optional<float> AutomaticMidLevel(const mesh::HeightMap* map, DisplacementDirection direction) {
    if (!HasHeightMapData(map)) return std::nullopt;
    switch (direction) {
        case DisplacementDirection::Outward:
            return map->LevelledPercentile(0.01f);
        case DisplacementDirection::Inward:
            return map->LevelledPercentile(0.99f);
        default:
            break;
    }
    if (map->neutralHeight.has_value()) return map->ApplyLevels(*map->neutralHeight);
    return 0.5f;
}

std::string MidLevelExplanation(bool automatic, const mesh::HeightMap* map, DisplacementDirection direction) {
    if (!automatic) return kSafestSentence;
    return AutomaticExplanation(map, direction) + " " + kSafestSentence;
}

DisplacementDirection DirectionFromItem(int item) {
    if (item == 1) return DisplacementDirection::Outward;
    if (item == 2) return DisplacementDirection::Inward;
    return DisplacementDirection::Centred;
}

mesh::RemeshMethod RemeshMethodFromItem(int item) { return item == 0 ? mesh::kRemeshIsotropic : mesh::kRemeshContour; }

}  // namespace ridgeforge
