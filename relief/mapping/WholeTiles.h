// Whole tiles around a cylinder or sphere, and the zoom range of the layers
// in use.
//
// A texture wrapped around a closed circumference shows a seam unless a whole
// number of tiles fits. The fit measures how many tiles the circumference
// holds at the layer's zoom (through the layer and tile transforms, so turns
// and offsets count), rounds to the nearest whole number (an even one for a
// mirrored image, which repeats every two tiles) and gives the zoom that makes
// it exact. It applies only when the circumference runs along a tile axis.
#pragma once

#include <cstdint>

#include "relief/mapping/Projection.h"
#include "textures/TextureSettings.h"

namespace ridgeforge::mesh {

struct WholeTilesResult {
    // The side's circumference can hold whole tiles.
    bool applies = false;
    // A whole number of tiles was found.
    bool fitted = false;
    // Tiles around after fitting.
    std::int32_t tileCount = 0;
    // Tiles around at the current zoom.
    float tilesAround = 0.0f;
    // The layer's zoom (1 when not above 0).
    float zoom = 1.0f;
    // The zoom that makes `tileCount` tiles fit.
    float fittedZoom = 1.0f;
    float tileLengthMillimetres = 0.0f;
    float fittedTileLengthMillimetres = 0.0f;
};

// The fit of side `side`: the cylinder's wall (side 0) or a sphere side that
// is not a pole; the default result for anything else.
WholeTilesResult WholeTilesFit(const Projection& projection, const TextureSettings& texture, int side);

// The projection with the fit applied: a sphere scales all six layers by the
// first side that applies, other types set the wall layer's zoom.
Projection ProjectionWithWholeTiles(const Projection& projection, const TextureSettings& texture);

// The largest zoom, and the smallest zoom above 0, over the layers in use
// (box and sphere: enabled sides; plane: layer 4; cylinder: 0, 4, 5 as their
// wall and caps are on); 1 when no layer in use has a zoom above 0.
float LargestLayerZoom(const Projection& projection);
float SmallestLayerZoom(const Projection& projection);

}  // namespace ridgeforge::mesh
