#include "ui/dialogs/ProceduralDialogRules.h"

#include <algorithm>

#include "ui/dialogs/ParameterRows.h"
#include "textures/procedural/TextureRegistry.h"
#include "text/TextCase.h"
#include "textures/GreyBmp.h"
#include "textures/Presets.h"

namespace ridgeforge {
namespace {

std::string TableCell(std::string text) {
    for (char& c : text)
        if (c == '|') c = '/';
    std::string cell;
    cell.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        cell += text[i] == '\n' || text[i] == '\r' ? ' ' : text[i];
    }
    return cell;
}

std::vector<std::uint32_t> GreyBytesToPixels(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> pixels(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint32_t grey = bytes[i];
        pixels[i] = 0xFF000000u | (grey << 16) | (grey << 8) | grey;
    }
    return pixels;
}

void AttachThumbnail(PresetItem& item, const mesh::procedural::ProceduralTexture& texture) {
    std::vector<std::uint8_t> grey;
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!item.thumbnailPath.empty() && ReadGreyBmp(item.thumbnailPath, grey, width, height) && width == height &&
        width > 0) {
        item.thumbnail = GreyBytesToPixels(grey);
        item.thumbnailSide = width;
        return;
    }
    auto copy = mesh::procedural::CreateTexture(texture.Name());
    if (copy == nullptr || !LoadPreset(item.presetPath, *copy)) return;
    item.thumbnail = GreyBytesToPixels(RenderThumbnail(*copy));
    item.thumbnailSide = kPresetThumbnailSize;
}

bool UserOnly(const PresetItem& item) { return item.origin == ItemOrigin::User; }

}  // namespace

PreviewTiling TilingFor(int tileCount) {
    PreviewTiling tiling;
    tiling.tiles = std::clamp(tileCount, 1, 3);
    tiling.tile = std::max(32, 512 / tiling.tiles);
    tiling.size = tiling.tiles * tiling.tile;
    return tiling;
}

std::vector<std::uint32_t> RenderProceduralPreview(const mesh::procedural::ProceduralTexture& texture, int tileCount,
                                                   int& size) {
    const PreviewTiling tiling = TilingFor(tileCount);
    const std::vector<float> heights = texture.RenderHeightMap(tiling.tile, tiling.tile);
    size = 0;
    if (heights.size() != static_cast<std::size_t>(tiling.tile) * tiling.tile) return {};
    size = tiling.size;
    std::vector<std::uint32_t> tileRow(static_cast<std::size_t>(tiling.tile) * tiling.tile);
    for (std::size_t i = 0; i < heights.size(); ++i) tileRow[i] = GreyPixel(heights[i]);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y) {
        const std::uint32_t* source = tileRow.data() + static_cast<std::size_t>(y % tiling.tile) * tiling.tile;
        std::uint32_t* target = pixels.data() + static_cast<std::size_t>(y) * size;
        for (int t = 0; t < tiling.tiles; ++t) std::copy(source, source + tiling.tile, target + t * tiling.tile);
    }
    return pixels;
}

std::string TileableNote(bool tileable) {
    return tileable ? "This texture is tileable."
                    : "This pattern does not repeat: one tile is laid over the whole model.";
}

std::string ParameterHelpTable(const mesh::procedural::ProceduralTexture& texture) {
    std::string table = "\n\n### " + std::string(texture.Name()) + "\n\n| Setting | Meaning |\n|:--|:--|\n";
    // The help pane draws a table cell as written, so bold markers round the
    // label would show as asterisks.
    for (const auto& definition : texture.Parameters())
        table += "| " + TableCell(definition.label) + " | " + TableCell(definition.help) + " |\n";
    return table;
}

void SortPresetItems(std::vector<PresetItem>& items) {
    std::stable_sort(items.begin(), items.end(), [](const PresetItem& a, const PresetItem& b) {
        if (UserOnly(a) != UserOnly(b)) return !UserOnly(a);
        return LowerCased(a.name) < LowerCased(b.name);
    });
}

std::size_t FirstUserOnlyIndex(const std::vector<PresetItem>& items) {
    const auto first = std::find_if(items.begin(), items.end(), UserOnly);
    return static_cast<std::size_t>(first - items.begin());
}

std::vector<PresetItem> LoadPresetItems(const std::vector<LibraryRoot>& roots,
                                        const mesh::procedural::ProceduralTexture& texture) {
    std::vector<PresetItem> items;
    for (PresetEntry& entry : ListPresets(roots, texture.Name())) {
        PresetItem item;
        item.name = std::move(entry.name);
        item.origin = entry.origin;
        item.presetPath = std::move(entry.presetPath);
        item.thumbnailPath = std::move(entry.thumbnailPath);
        item.userCopy = entry.userCopy;
        AttachThumbnail(item, texture);
        items.push_back(std::move(item));
    }
    SortPresetItems(items);
    return items;
}

std::optional<std::string> SavePresetQuestion(const std::vector<LibraryRoot>& roots,
                                              const mesh::procedural::ProceduralTexture& texture,
                                              const std::vector<PresetItem>& items, const std::string& enteredName) {
    const std::string file = PresetBaseName(enteredName) + ".rgpreset";
    if (ResolveLibraryItem(roots, PresetCategory(texture.Name()), file).empty()) return std::nullopt;
    const std::string safe = LowerCased(MakeSafeFileName(enteredName));
    const auto match =
        std::find_if(items.begin(), items.end(), [&](const PresetItem& item) { return LowerCased(item.name) == safe; });
    if (match != items.end() && match->origin == ItemOrigin::Factory)
        return "A factory preset called \"" + enteredName +
               "\" already exists.\n\nSave yours under the same name? Yours will be used instead, and deleting yours "
               "brings the factory one back.";
    return "A preset called \"" + enteredName + "\" already exists.\n\nReplace it?";
}

std::string DeletePresetQuestion(const PresetItem& item) {
    if (item.origin == ItemOrigin::Both)
        return "Delete your version of \"" + item.name + "\"?\n\nThe factory preset comes back.";
    return "Delete the preset \"" + item.name + "\"?";
}

bool DeletePresetFiles(const std::vector<LibraryRoot>& roots, const mesh::procedural::ProceduralTexture& texture,
                       const PresetItem& item, std::string* reason) {
    const std::string category = PresetCategory(texture.Name());
    const std::string base = PresetBaseName(item.name);
    const std::string file = base + ".rgpreset";
    const ItemOrigin origin = LibraryItemOrigin(roots, category, file);
    if (origin != ItemOrigin::User && origin != ItemOrigin::Both) return false;
    // The thumbnail goes first, so that a failure leaves the preset whole.
    // It has nothing to delete when it was never written; only a step that
    // failed gives a reason.
    const std::string thumbnail = base + ".bmp";
    std::string thumbnailReason;
    if (origin == ItemOrigin::User)
        DeleteUserVersion(roots, category, thumbnail, &thumbnailReason);
    else
        DeleteFactoryItem(roots, category, thumbnail, &thumbnailReason);
    if (!thumbnailReason.empty()) {
        if (reason) *reason = thumbnailReason;
        return false;
    }
    return origin == ItemOrigin::User ? DeleteUserVersion(roots, category, file, reason)
                                      : DeleteFactoryItem(roots, category, file, reason);
}

}  // namespace ridgeforge
