// The rules behind the procedural texture dialog, apart from its windows:
// the tiled preview, the help table of the parameters, the preset list with
// its order and thumbnails, and what saving and deleting a preset ask and do.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "textures/procedural/ProceduralTexture.h"
#include "textures/LibraryItems.h"

namespace ridgeforge {

// One tile's side and the whole preview's for a tile count (clamped to 1..3):
// 512 / tiles, at least 32, and tiles times that.
struct PreviewTiling {
    int tiles = 1;
    int tile = 512;
    int size = 512;
};
PreviewTiling TilingFor(int tileCount);

// The texture rendered at one tile and laid tiles x tiles as opaque grey
// pixels, `size` x `size`, top row first.
std::vector<std::uint32_t> RenderProceduralPreview(const mesh::procedural::ProceduralTexture& texture, int tileCount,
                                                   int& size);

// The note under the tile choice.
std::string TileableNote(bool tileable);

// What follows the "procedural" help page: a heading with the texture's name
// and a Markdown table of every parameter's label and help text.
std::string ParameterHelpTable(const mesh::procedural::ProceduralTexture& texture);

struct PresetItem {
    std::string name;
    ItemOrigin origin = ItemOrigin::None;
    std::filesystem::path presetPath;
    std::filesystem::path thumbnailPath;
    bool userCopy = false;
    std::vector<std::uint32_t> thumbnail;  // opaque grey pixels, square
    int thumbnailSide = 0;                 // 0: none
};

// Factory presets (and the user's copies of them) first, then the user's
// own; each group by lower-cased name.
void SortPresetItems(std::vector<PresetItem>& items);
// The number of items before the first one that is only the user's.
std::size_t FirstUserOnlyIndex(const std::vector<PresetItem>& items);

// The texture's presets, sorted, each with its thumbnail: the ".bmp" beside
// it when it reads as a square, else rendered from the preset (not saved).
std::vector<PresetItem> LoadPresetItems(const std::vector<LibraryRoot>& roots,
                                        const mesh::procedural::ProceduralTexture& texture);

// The question before saving under `enteredName`, or nothing when no preset
// of that name exists.
std::optional<std::string> SavePresetQuestion(const std::vector<LibraryRoot>& roots,
                                              const mesh::procedural::ProceduralTexture& texture,
                                              const std::vector<PresetItem>& items, const std::string& enteredName);

// The question before deleting the item.
std::string DeletePresetQuestion(const PresetItem& item);

// Deletes the user's copy of the preset (its thumbnail too): a user-only
// preset goes, one with a factory copy gets the factory copy back. False
// when there was nothing of the user's to delete, or when a file or the list
// of deleted items could not be changed (then with the system's reason in
// `reason`; a thumbnail that could not be deleted keeps the preset).
bool DeletePresetFiles(const std::vector<LibraryRoot>& roots, const mesh::procedural::ProceduralTexture& texture,
                       const PresetItem& item, std::string* reason = nullptr);

}  // namespace ridgeforge
