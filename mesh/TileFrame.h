// Placement of one texture tile in a texture plane: where its corner lies,
// how it is turned and how large it is. The displacement reads it to turn a
// point in millimetres into tile coordinates; with `clip` set the image is
// placed once instead of repeating.
#pragma once

namespace ridgeforge::mesh {

struct TileFrame {
    // When set, samples whose tile coordinates fall outside [0, 1] x [0, 1] are dropped.
    bool clip = false;
    // Position of the tile's corner in the texture plane, mm.
    float offsetMillimetres[2] = {0.0f, 0.0f};
    // Turn of the tile, degrees.
    float rotationDegrees = 0.0f;
    // Tile size, mm; a size of exactly 0 counts as 1.
    float widthMillimetres = 0.0f;
    float heightMillimetres = 0.0f;

    // The clip flag and all five floats, compared exactly (a NaN is never equal).
    friend bool operator==(const TileFrame&, const TileFrame&) = default;
};

}  // namespace ridgeforge::mesh
