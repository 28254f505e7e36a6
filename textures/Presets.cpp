#include "textures/Presets.h"

#include <cmath>
#include <system_error>

#include "mesh/Json.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "textures/GreyBmp.h"
#include "textures/LibraryCategory.h"
#include "text/TextCase.h"

namespace ridgeforge {
namespace {

constexpr std::string_view kExtension = ".rgpreset";
constexpr std::string_view kFormat = "Ridgeforge preset";
constexpr std::string_view kTextHeader = "Ridgeforge preset 1";
constexpr std::int64_t kFirstUnreadableVersion = 3;

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string MismatchText(const std::string& fileTexture, const char* textureName) {
    return "a preset for " + (fileTexture.empty() ? std::string("no texture") : fileTexture) + ", not " + textureName;
}

std::string_view TrimLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

// The JSON form; the texture is changed only once every check has passed.
bool LoadJsonPreset(const JsonReader& root, mesh::procedural::ProceduralTexture& texture, std::string* error) {
    std::string format;
    JsonGetString(root, "format", format);
    if (format != kFormat) {
        SetError(error, "not a Ruvolta preset");
        return false;
    }
    // Only a JSON integer is a version; anything else reads as 0 and is accepted.
    if (const nlohmann::json* version = root.Find("version"); version != nullptr) {
        const bool tooNew =
            version->is_number_unsigned()
                ? version->get<std::uint64_t>() >= static_cast<std::uint64_t>(kFirstUnreadableVersion)
                : version->is_number_integer() && version->get<std::int64_t>() >= kFirstUnreadableVersion;
        if (tooNew) {
            SetError(error, "a preset from a newer Ruvolta");
            return false;
        }
    }
    std::string fileTexture;
    JsonGetString(root, "texture", fileTexture);
    if (fileTexture != texture.Name()) {
        SetError(error, MismatchText(fileTexture, texture.Name()));
        return false;
    }
    texture.ResetToDefaults();
    const nlohmann::json* parameters = root.Find("parameters");
    if (parameters != nullptr && parameters->is_object()) texture.FromJson(root.At(parameters));
    return true;
}

bool LoadTextPreset(const std::filesystem::path& path, mesh::procedural::ProceduralTexture& texture,
                    std::string* error) {
    std::vector<std::uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes, platform::kSmallFileBytes)) {
        SetError(error, "could not open the preset");
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t end = text.find('\n');
    if (TrimLineEnd(text.substr(0, end)) != kTextHeader) {
        SetError(error, "not a Ruvolta preset");
        return false;
    }
    std::string fileTexture;
    constexpr std::string_view textureKey = "texture=";
    while (end != std::string_view::npos) {
        const std::size_t start = end + 1;
        end = text.find('\n', start);
        const std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (line.substr(0, textureKey.size()) == textureKey) {
            fileTexture = std::string(TrimLineEnd(line.substr(textureKey.size())));
            break;
        }
    }
    if (fileTexture != texture.Name()) {
        SetError(error, MismatchText(fileTexture, texture.Name()));
        return false;
    }
    texture.ResetToDefaults();
    texture.ParseValues(text);
    return true;
}

}  // namespace

std::string PresetBaseName(std::string_view name) {
    std::string base = MakeSafeFileName(name);
    if (base.size() > kExtension.size() &&
        LowerCased(std::string_view(base).substr(base.size() - kExtension.size())) == kExtension) {
        base = MakeSafeFileName(std::string_view(base).substr(0, base.size() - kExtension.size()));
    }
    return base;
}

std::string PresetCategory(std::string_view textureName) { return "procedural\\" + MakeSafeFileName(textureName); }

std::vector<PresetEntry> ListPresets(const std::vector<LibraryRoot>& roots, std::string_view textureName) {
    const std::string category = PresetCategory(textureName);
    const LibraryCategory lookup(roots, category);
    std::vector<PresetEntry> presets;
    for (const std::string& item : ListLibraryItems(roots, category, kExtension)) {
        PresetEntry entry;
        entry.presetPath = lookup.Resolve(item);
        if (entry.presetPath.empty()) continue;
        entry.name = std::filesystem::path(item).stem().string();
        entry.origin = lookup.Origin(item);
        entry.thumbnailPath = lookup.Resolve(entry.name + ".bmp");
        entry.userCopy = entry.origin == ItemOrigin::User || entry.origin == ItemOrigin::Both;
        presets.push_back(std::move(entry));
    }
    return presets;
}

bool LoadPreset(const std::filesystem::path& path, mesh::procedural::ProceduralTexture& texture, std::string* error) {
    const JsonReader root = JsonReader::Open(path);
    if (!root.IsEmpty() && root.node->is_object()) return LoadJsonPreset(root, texture, error);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        SetError(error, "could not open the preset");
        return false;
    }
    return LoadTextPreset(path, texture, error);
}

bool SavePreset(const std::vector<LibraryRoot>& roots, const mesh::procedural::ProceduralTexture& texture,
                std::string_view presetName, std::filesystem::path* savedPath, std::string* error) {
    const std::string base = PresetBaseName(presetName);
    const std::string category = PresetCategory(texture.Name());
    const std::filesystem::path path = UserItemPath(roots, category, base + std::string(kExtension));
    if (path.empty()) {
        SetError(error, "there is nowhere to save presets");
        return false;
    }
    const JsonWriter writer = JsonWriter::NewDocument();
    writer.SetString("format", kFormat);
    writer.SetInt("version", 2);
    writer.SetString("texture", texture.Name());
    texture.ToJson(writer.Object("parameters"));
    std::string reason;
    if (!SaveJsonFile(writer, path, &reason)) {
        SetError(error, platform::WithReason("could not write the preset", reason));
        return false;
    }
    const std::filesystem::path thumbnail = UserItemPath(roots, category, base + ".bmp");
    if (thumbnail.empty() || !WriteGreyBmp(thumbnail, RenderThumbnail(texture), kPresetThumbnailSize, &reason)) {
        SetError(error, platform::WithReason("saved, but the thumbnail could not be written", reason));
        return false;
    }
    if (savedPath) *savedPath = path;
    return true;
}

std::vector<std::uint8_t> RenderThumbnail(const mesh::procedural::ProceduralTexture& texture) {
    const std::vector<float> heights = texture.RenderHeightMap(kPresetThumbnailSize, kPresetThumbnailSize);
    std::vector<std::uint8_t> grey(heights.size());
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const float h = heights[i] >= 0.0f ? (heights[i] <= 1.0f ? heights[i] : 1.0f) : 0.0f;  // NaN gives 0
        grey[i] = static_cast<std::uint8_t>(std::lround(h * 255.0f));
    }
    return grey;
}

}  // namespace ridgeforge
