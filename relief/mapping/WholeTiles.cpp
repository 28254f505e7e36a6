// Whole-tile fit and layer zoom range.
#include "relief/mapping/WholeTiles.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "relief/mapping/CageFrame.h"
#include "relief/mapping/ProjectToTexture.h"

namespace ridgeforge::mesh {
namespace {

float UsableZoom(float zoom) { return zoom > 0.0f ? zoom : 1.0f; }

// The radius round which side `side` wraps, or 0 when the fit does not apply.
float WrapRadius(const Projection& p, int side) {
    if (p.type == ProjectionType::Cylinder) {
        return side == 0 && p.cylinder.wholeTiles && p.cylinder.sideEnabled ? CylinderRadius(p) : 0.0f;
    }
    if (p.type == ProjectionType::Sphere) {
        if (side < 0 || side >= kSideCount || !p.box.sideEnabled[side] || !p.sphere.wholeTiles) return 0.0f;
        if (BoxSideFrame(side, AxisIndex(p.sphere.axis)).onAxis != 0) return 0.0f;
        return 0.5f * std::max({p.cage.size.x, p.cage.size.y, p.cage.size.z});
    }
    return 0.0f;
}

// Which layers the mapping reads.
std::array<bool, kSideCount> LayersInUse(const Projection& p) {
    std::array<bool, kSideCount> used{};
    switch (p.type) {
        case ProjectionType::Box:
        case ProjectionType::Sphere:
            used = p.box.sideEnabled;
            break;
        case ProjectionType::Plane:
            used[4] = true;
            break;
        case ProjectionType::Cylinder:
            used[0] = p.cylinder.sideEnabled;
            used[4] = p.cylinder.topCapEnabled;
            used[5] = p.cylinder.bottomCapEnabled;
            break;
    }
    return used;
}

}  // namespace

WholeTilesResult WholeTilesFit(const Projection& projection, const TextureSettings& texture, int side) {
    WholeTilesResult result;
    const float radius = WrapRadius(projection, side);
    const float circumference = kTwoPi * radius;
    if (!(circumference > 0.0f) || !texture.tiles || !(texture.widthMillimetres > 0.0f) ||
        !(texture.heightMillimetres > 0.0f)) {
        return result;
    }
    result.applies = true;
    result.zoom = UsableZoom(projection.layer[side].zoom);
    result.fittedZoom = result.zoom;
    const SideUv a = SideTileUv(projection, side, 0.0f, 0.0f);
    const SideUv b = SideTileUv(projection, side, circumference, 0.0f);
    const TileCoordinates ta = texture.MapToTile(a.u, a.v);
    const TileCoordinates tb = texture.MapToTile(b.u, b.v);
    const float dx = tb.u - ta.u, dy = tb.v - ta.v;
    const float around = std::sqrt(dx * dx + dy * dy);
    result.tilesAround = around;
    // An infinite count, or one past the integer range, has no whole number of tiles.
    if (!(around > 0.0f) || !(around < 1e9f)) return result;
    result.tileLengthMillimetres = circumference / around;
    result.fittedTileLengthMillimetres = result.tileLengthMillimetres;
    if (std::min(std::fabs(dx), std::fabs(dy)) > around * 0.0001f) return result;
    const long step = texture.seamlessMethod == "Mirror" ? 2 : 1;
    const long count = std::max(step, std::lround(around / static_cast<float>(step)) * step);
    result.tileCount = static_cast<std::int32_t>(count);
    result.fitted = true;
    result.fittedZoom = around * result.zoom / static_cast<float>(count);
    result.fittedTileLengthMillimetres = circumference / static_cast<float>(count);
    return result;
}

Projection ProjectionWithWholeTiles(const Projection& projection, const TextureSettings& texture) {
    Projection out = projection;
    if (projection.type == ProjectionType::Sphere) {
        for (int side = 0; side < kSideCount; ++side) {
            const WholeTilesResult fit = WholeTilesFit(projection, texture, side);
            if (!fit.applies) continue;
            if (fit.fitted) {
                const float scale = fit.fittedZoom / fit.zoom;
                for (ProjectionLayer& layer : out.layer) layer.zoom = UsableZoom(layer.zoom) * scale;
            }
            break;
        }
        return out;
    }
    const WholeTilesResult fit = WholeTilesFit(projection, texture, 0);
    if (fit.fitted) out.layer[0].zoom = fit.fittedZoom;
    return out;
}

float LargestLayerZoom(const Projection& projection) {
    const std::array<bool, kSideCount> used = LayersInUse(projection);
    float largest = 0.0f;
    for (int i = 0; i < kSideCount; ++i) {
        if (used[i] && projection.layer[i].zoom > largest) largest = projection.layer[i].zoom;
    }
    return largest > 0.0f ? largest : 1.0f;
}

float SmallestLayerZoom(const Projection& projection) {
    const std::array<bool, kSideCount> used = LayersInUse(projection);
    float smallest = 0.0f;
    for (int i = 0; i < kSideCount; ++i) {
        const float zoom = projection.layer[i].zoom;
        if (used[i] && zoom > 0.0f && (smallest == 0.0f || zoom < smallest)) smallest = zoom;
    }
    return smallest > 0.0f ? smallest : 1.0f;
}

}  // namespace ridgeforge::mesh
