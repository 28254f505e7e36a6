// What the texture section shows of the document's texture, without a
// window: the small grey preview (every step-th pixel through the levels,
// at most about 110 pixels along the longer side; a procedural texture's
// 120 x 120 render), the 2 x 2 tiling when the tile repeats (mirrored for
// "Mirror"), and the title, subtitle, grid key and tab that say where the
// texture came from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/string.h>

#include "textures/HeightMap.h"

namespace ridgeforge {

struct PreviewImage {
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows from the top
    int width = 0;
    int height = 0;
    bool Empty() const { return pixels.empty(); }
};

// Opaque grey of a byte.
inline std::uint32_t GreyPixel(std::uint8_t v) { return 0xFF000000u + v * 0x010101u; }
// A height in 0..1 (clamped) as a rounded byte.
std::uint8_t LevelByte(float value);

// Every step-th sampled value through the levels; step max(1, ceil(longer / 110)).
// Empty when the map has no usable image.
PreviewImage ImagePreview(const mesh::HeightMap& map);
// A 120 x 120 grey render through the map's levels.
PreviewImage RenderedPreview(const std::vector<std::uint8_t>& grey, const mesh::HeightMap& map);
// The preview repeated 2 x 2; with `mirror` the right half runs backwards
// and the bottom half upside down.
PreviewImage TilePreview(const PreviewImage& preview, bool mirror);
// The preview fitted into `area` without changing its shape, centred.
wxRect LetterboxRect(const wxRect& area, int width, int height);

// Where the document's texture comes from and what the section says of it.
struct TextureStatus {
    wxString title;
    wxString subtitle;
    wxString key;         // the grid key of the texture
    wxString selectName;  // the category or procedural texture to choose
    int targetTab = -1;   // -1: stay on the current tab
};

inline constexpr int kTexturesTab = 0;
inline constexpr int kProceduralTab = 1;
inline constexpr int kCustomTab = 2;

// No texture (both empty): "No texture". A procedural texture by its name
// and preset; an image by its path: a library image when the folder two
// levels up is "textures" (any case), the user's own when `isCustom`, else
// an image from disk.
TextureStatus NoTextureStatus();
TextureStatus ProceduralStatus(const std::string& name, const std::wstring& presetName);
TextureStatus ImageStatus(const std::string& mapName, const std::wstring& path, bool isCustom);

// The grid key of an image: its full path lower-cased.
wxString ImageKey(const std::string& utf8Path);
// The grid key of a preset.
wxString PresetKey(const wxString& textureName, const wxString& presetName);

}  // namespace ridgeforge
