// Tile mapping of the texture settings and their JSON form. The angle is
// formed in float arithmetic in a fixed order so that every caller (view,
// displacement, tests) lands on the same tile coordinates bit for bit.
#include "textures/TextureSettings.h"

#include <cmath>
#include <string>

#include "mesh/Json.h"
#include "textures/seamless/SeamlessMethod.h"

namespace ridgeforge::mesh {

TileCoordinates MapToTile(const TileFrame& frame, float x, float y) {
    x -= frame.offsetMillimetres[0];
    y -= frame.offsetMillimetres[1];
    if (frame.rotationDegrees != 0.0f) {
        const float a = frame.rotationDegrees * 3.1415927f / 180.0f;
        const float c = std::cos(a);
        const float s = std::sin(a);
        const float turnedX = x * c + y * s;
        const float turnedY = y * c - x * s;
        x = turnedX;
        y = turnedY;
    }
    const float w = frame.widthMillimetres == 0.0f ? 1.0f : frame.widthMillimetres;
    const float h = frame.heightMillimetres == 0.0f ? 1.0f : frame.heightMillimetres;
    return {x / w, y / h};
}

TileCoordinates TextureSettings::MapToTile(float x, float y) const {
    TileFrame frame;
    frame.clip = false;
    frame.offsetMillimetres[0] = offsetMillimetres[0];
    frame.offsetMillimetres[1] = offsetMillimetres[1];
    frame.rotationDegrees = rotationDegrees;
    frame.widthMillimetres = widthMillimetres;
    frame.heightMillimetres = heightMillimetres;
    return mesh::MapToTile(frame, x, y);
}

const char* WrapModeWord(WrapMode mode) {
    switch (mode) {
        case WrapMode::Repeat:
            return "repeat";
        case WrapMode::Mirror:
            return "mirror";
        case WrapMode::Clamp:
            return "clamp";
    }
    return nullptr;
}

}  // namespace ridgeforge::mesh

namespace ridgeforge {

void WriteTextureSettings(JsonWriter& writer, const mesh::TextureSettings& s) {
    JsonSetFloat(writer, "widthMillimetres", s.widthMillimetres);
    JsonSetFloat(writer, "heightMillimetres", s.heightMillimetres);
    JsonSetBool(writer, "lockAspect", s.lockAspect);
    JsonSetBool(writer, "tiles", s.tiles);
    if (const char* word = mesh::WrapModeWord(s.wrap)) {
        JsonSetString(writer, "wrap", word);
    } else {
        JsonSetInteger(writer, "wrap", static_cast<std::int32_t>(s.wrap));
    }
    JsonSetVec2(writer, "offsetMillimetres", s.offsetMillimetres[0], s.offsetMillimetres[1]);
    JsonSetFloat(writer, "rotationDegrees", s.rotationDegrees);
    JsonSetFloat(writer, "blackLevel", s.blackLevel);
    JsonSetFloat(writer, "whiteLevel", s.whiteLevel);
    JsonSetBool(writer, "autoLevels", s.autoLevels);
    JsonSetFloat(writer, "gamma", s.gamma);
    JsonSetFloat(writer, "outputBlackLevel", s.outputBlackLevel);
    JsonSetFloat(writer, "outputWhiteLevel", s.outputWhiteLevel);
    JsonSetBool(writer, "invert", s.invert);
    JsonSetFloat(writer, "blurMillimetres", s.blurMillimetres);
    JsonSetString(writer, "seamlessMethod", s.seamlessMethod);
    JsonSetString(writer, "seamlessParameters", s.seamlessParameters);
}

void ReadTextureSettings(JsonReader& reader, mesh::TextureSettings& s) {
    JsonGetFloat(reader, "widthMillimetres", s.widthMillimetres);
    JsonGetFloat(reader, "heightMillimetres", s.heightMillimetres);
    JsonGetBool(reader, "lockAspect", s.lockAspect);
    JsonGetBool(reader, "tiles", s.tiles);
    // Only the exact words count: a number could name a mode that does not exist.
    std::string wrapWord;
    if (JsonGetString(reader, "wrap", wrapWord)) {
        for (mesh::WrapMode mode : {mesh::WrapMode::Repeat, mesh::WrapMode::Mirror, mesh::WrapMode::Clamp}) {
            if (wrapWord == mesh::WrapModeWord(mode)) {
                s.wrap = mode;
            }
        }
    }
    JsonGetVec2(reader, "offsetMillimetres", s.offsetMillimetres[0], s.offsetMillimetres[1]);
    JsonGetFloat(reader, "rotationDegrees", s.rotationDegrees);
    JsonGetFloat(reader, "blackLevel", s.blackLevel);
    JsonGetFloat(reader, "whiteLevel", s.whiteLevel);
    JsonGetBool(reader, "autoLevels", s.autoLevels);
    JsonGetFloat(reader, "gamma", s.gamma);
    JsonGetFloat(reader, "outputBlackLevel", s.outputBlackLevel);
    JsonGetFloat(reader, "outputWhiteLevel", s.outputWhiteLevel);
    JsonGetBool(reader, "invert", s.invert);
    JsonGetFloat(reader, "blurMillimetres", s.blurMillimetres);
    JsonGetString(reader, "seamlessMethod", s.seamlessMethod);
    JsonGetString(reader, "seamlessParameters", s.seamlessParameters);
    s.seamlessMethod = mesh::seamless::CanonicalMethodName(s.seamlessMethod);
}

}  // namespace ridgeforge
