#include "ui/workflow/TexturePreview.h"

#include <algorithm>
#include <filesystem>

#include "text/PathText.h"
#include "text/TextCase.h"
#include "text/Utf8.h"

namespace ridgeforge {

std::uint8_t LevelByte(float value) {
    const float v = std::clamp(value, 0.0f, 1.0f);
    return static_cast<std::uint8_t>(v * 255.0f + 0.5f);
}

PreviewImage ImagePreview(const mesh::HeightMap& map) {
    PreviewImage preview;
    const int w = map.width;
    const int h = map.height;
    if (w < 1 || h < 1 || map.pixels.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) return preview;
    const int longer = std::max(w, h);
    const int step = std::max(1, (longer + 109) / 110);
    preview.width = std::max(1, w / step);
    preview.height = std::max(1, h / step);
    preview.pixels.resize(static_cast<std::size_t>(preview.width) * static_cast<std::size_t>(preview.height));
    for (int y = 0; y < preview.height; ++y) {
        const float* row = map.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(step) * w;
        std::uint32_t* out = preview.pixels.data() + static_cast<std::size_t>(y) * preview.width;
        for (int x = 0; x < preview.width; ++x)
            out[x] = GreyPixel(LevelByte(map.ApplyLevels(row[static_cast<std::size_t>(x) * step])));
    }
    return preview;
}

PreviewImage RenderedPreview(const std::vector<std::uint8_t>& grey, const mesh::HeightMap& map) {
    PreviewImage preview;
    if (grey.size() != 120u * 120u) return preview;
    preview.width = preview.height = 120;
    preview.pixels.reserve(grey.size());
    for (const std::uint8_t b : grey) preview.pixels.push_back(GreyPixel(LevelByte(map.ApplyLevels(b / 255.0f))));
    return preview;
}

PreviewImage TilePreview(const PreviewImage& preview, bool mirror) {
    if (preview.Empty()) return preview;
    const int w = preview.width;
    const int h = preview.height;
    PreviewImage tiled;
    tiled.width = 2 * w;
    tiled.height = 2 * h;
    tiled.pixels.resize(static_cast<std::size_t>(tiled.width) * static_cast<std::size_t>(tiled.height));
    for (int y = 0; y < tiled.height; ++y) {
        const int sy = mirror && y >= h ? h - 1 - (y % h) : y % h;
        for (int x = 0; x < tiled.width; ++x) {
            const int sx = mirror && x >= w ? w - 1 - (x % w) : x % w;
            tiled.pixels[static_cast<std::size_t>(y) * tiled.width + x] =
                preview.pixels[static_cast<std::size_t>(sy) * w + sx];
        }
    }
    return tiled;
}

wxRect LetterboxRect(const wxRect& area, int width, int height) {
    if (width <= 0 || height <= 0) return area;
    if (width >= height) {
        const int h = area.width * height / width;
        return {area.x, area.y + (area.height - h) / 2, area.width, h};
    }
    const int w = area.height * width / height;
    return {area.x + (area.width - w) / 2, area.y, w, area.height};
}

TextureStatus NoTextureStatus() { return {"No texture", "Choose one below, or load an image.", {}, {}, -1}; }

TextureStatus ProceduralStatus(const std::string& name, const std::wstring& presetName) {
    TextureStatus status;
    status.title = wxString::FromUTF8(name);
    status.subtitle = presetName.empty() ? wxString("Procedural, edited settings")
                                         : wxString("Procedural preset: ") + wxString(presetName);
    status.key = PresetKey(status.title, wxString(presetName));
    status.selectName = status.title;
    status.targetTab = kProceduralTab;
    return status;
}

TextureStatus ImageStatus(const std::string& mapName, const std::wstring& path, bool isCustom) {
    TextureStatus status;
    status.title = wxString::FromUTF8(mapName);
    const std::filesystem::path file = PathFromWide(path);
    const std::filesystem::path folder = file.parent_path();
    if (!path.empty() && EqualsIgnoringCase(folder.parent_path().filename().string(), "textures")) {
        status.subtitle = "Textures > " + wxString(WideFromPath(folder.filename()));
        status.selectName = wxString(WideFromPath(folder.filename()));
        status.targetTab = kTexturesTab;
    } else if (!path.empty() && isCustom) {
        status.subtitle = "Your image: " + wxString(WideFromPath(folder));
        status.targetTab = kCustomTab;
    } else {
        status.subtitle = "Image from disk";
    }
    status.key = path.empty() ? wxString() : ImageKey(Utf8FromWide(path));
    return status;
}

wxString ImageKey(const std::string& utf8Path) { return wxString(WideFromUtf8(LowerCased(utf8Path))); }

wxString PresetKey(const wxString& textureName, const wxString& presetName) { return textureName + "|" + presetName; }

}  // namespace ridgeforge
