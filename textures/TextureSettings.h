// The texture's placement and tone settings: how large one tile is on the
// part, where it sits and how it is turned, the tone curve (levels, gamma,
// output levels, invert), the blur and the seamless method. A plain value
// record; the height map acts on it and the project file stores it as JSON.
#pragma once

#include <cstdint>
#include <string>

#include "mesh/TileFrame.h"

namespace ridgeforge {
class JsonReader;
class JsonWriter;
}  // namespace ridgeforge

namespace ridgeforge::mesh {

// How coordinates outside one tile are folded back; stored as "repeat",
// "mirror", "clamp".
enum class WrapMode : std::int32_t { Repeat = 0, Mirror = 1, Clamp = 2 };

// Coordinates in units of one tile: [0, 1) covers the tile once.
struct TileCoordinates {
    float u = 0.0f;
    float v = 0.0f;
};

struct TextureSettings {
    float widthMillimetres = 30.0f;
    float heightMillimetres = 30.0f;
    bool lockAspect = true;
    bool tiles = true;
    WrapMode wrap = WrapMode::Repeat;
    float offsetMillimetres[2] = {0.0f, 0.0f};
    float rotationDegrees = 0.0f;
    float blackLevel = 0.0f;
    float whiteLevel = 1.0f;
    bool autoLevels = false;
    float gamma = 1.0f;
    float outputBlackLevel = 0.0f;
    float outputWhiteLevel = 1.0f;
    bool invert = false;
    float blurMillimetres = 0.0f;
    std::string seamlessMethod = "Unchanged";
    // The method's values as key=value lines.
    std::string seamlessParameters;

    // Tile coordinates of a point (mm) with these settings' offset, rotation and size.
    TileCoordinates MapToTile(float x, float y) const;

    // Every field equal, floats by ordinary equality (a NaN is never equal).
    friend bool operator==(const TextureSettings&, const TextureSettings&) = default;
};

// Tile coordinates of a texture-plane point (mm) in a frame: the offset is
// taken off, the point turned by minus the frame's rotation (so the tile turns
// by plus it on the part) and divided by the tile size (0 counts as 1). The
// clip flag is the caller's business.
TileCoordinates MapToTile(const TileFrame& frame, float x, float y);

// The JSON words of the wrap modes; nullptr for a value outside the enumeration.
const char* WrapModeWord(WrapMode mode);

}  // namespace ridgeforge::mesh

namespace ridgeforge {

// Writes the seventeen keys of the settings on the writer's current object.
void WriteTextureSettings(JsonWriter& writer, const mesh::TextureSettings& settings);
// Reads the keys that are present and well typed; everything else keeps its
// value. The method name is made canonical.
void ReadTextureSettings(JsonReader& reader, mesh::TextureSettings& settings);

}  // namespace ridgeforge
