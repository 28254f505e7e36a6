// Procedural presets: a named set of parameter values for one procedural
// texture, kept as "<name>.rgpreset" (JSON) with a 120 x 120 grey thumbnail
// "<name>.bmp" beside it, in the library category "procedural\<texture>".
// Factory presets ship beside the program; the user's are saved in the
// user's root, and a user copy of a name wins.
//
// Older presets were key=value text opening with "Ridgeforge preset 1";
// they are still read. A failed load leaves the texture's values as they were.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "textures/procedural/ProceduralTexture.h"
#include "textures/LibraryItems.h"

namespace ridgeforge {

inline constexpr std::int32_t kPresetThumbnailSize = 120;

struct PresetEntry {
    std::string name;  // file name without ".rgpreset"
    ItemOrigin origin = ItemOrigin::None;
    std::filesystem::path presetPath;
    std::filesystem::path thumbnailPath;  // may be empty
    bool userCopy = false;                // origin User or Both
};

// The file-safe base name; a trailing ".rgpreset" (any case) is dropped.
std::string PresetBaseName(std::string_view name);

// "procedural\" + the file-safe texture name.
std::string PresetCategory(std::string_view textureName);

// The texture's presets in library order; presets that do not resolve are left out.
std::vector<PresetEntry> ListPresets(const std::vector<LibraryRoot>& roots, std::string_view textureName);

bool LoadPreset(const std::filesystem::path& path, mesh::procedural::ProceduralTexture& texture,
                std::string* error = nullptr);

// Saves the texture's values as the user's preset, then its thumbnail. A
// preset whose thumbnail fails stays saved, but the call reports the failure.
bool SavePreset(const std::vector<LibraryRoot>& roots, const mesh::procedural::ProceduralTexture& texture,
                std::string_view presetName, std::filesystem::path* savedPath = nullptr, std::string* error = nullptr);

// The texture rendered at 120 x 120 as grey bytes, top row first.
std::vector<std::uint8_t> RenderThumbnail(const mesh::procedural::ProceduralTexture& texture);

}  // namespace ridgeforge
