#include "tools/factory/FactoryLibrary.h"

#include <png.h>

#include <cmath>
#include <system_error>

#include "platform/SafeWrite.h"
#include "textures/procedural/TextureRegistry.h"
#include "textures/Presets.h"
#include "textures/TextureLibrary.h"
#include "textures/ThumbnailCache.h"
#include "tools/factory/FactoryImages.h"
#include "tools/factory/FactoryPresets.h"

namespace ridgeforge::tools {
namespace {

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<png_byte>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// libpng reports errors by a long jump; everything it needs lives in here so
// that no object with a destructor is skipped. The file is made in memory
// and then saved whole.
bool WritePngRows(std::vector<png_byte>& file, const std::vector<png_byte>& bytes, int size) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &file, AppendPngBytes, FlushNothing);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 16, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(size) * 2;
    for (int y = 0; y < size; ++y) png_write_row(png, bytes.data() + static_cast<std::size_t>(y) * stride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool WritePresets(const std::filesystem::path& folder, std::vector<std::filesystem::path>& written,
                  std::string& error) {
    const std::vector<LibraryRoot> roots = {{folder, true}};
    for (const FactoryPreset& preset : FactoryPresets()) {
        auto texture = mesh::procedural::CreateTexture(preset.texture);
        if (texture == nullptr) {
            error = "no pattern called " + preset.texture;
            return false;
        }
        texture->ResetToDefaults();
        for (const auto& [key, value] : preset.values) {
            if (!texture->SetValue(key, value)) {
                error = preset.texture + " has no setting " + key;
                return false;
            }
        }
        std::filesystem::path saved;
        std::string problem;
        if (!SavePreset(roots, *texture, preset.name, &saved, &problem)) {
            error = preset.texture + " / " + preset.name + ": " + problem;
            return false;
        }
        written.push_back(saved);
        written.push_back(std::filesystem::path(saved).replace_extension(".bmp"));
    }
    return true;
}

bool WriteImages(const std::filesystem::path& folder, std::vector<std::filesystem::path>& written,
                 std::string& error) {
    for (const FactoryImage& image : FactoryImages()) {
        const std::filesystem::path path = folder / "textures" / image.category / (image.name + ".png");
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (!WriteGreyPng16(path, image.draw(kFactoryImageSize), kFactoryImageSize, error)) return false;
        written.push_back(path);
    }
    return true;
}

}  // namespace

bool WriteGreyPng16(const std::filesystem::path& path, const std::vector<float>& heights, int size,
                    std::string& error) {
    if (size < 1 || heights.size() != static_cast<std::size_t>(size) * static_cast<std::size_t>(size)) {
        error = path.string() + ": the image has the wrong number of heights";
        return false;
    }
    std::vector<png_byte> bytes(heights.size() * 2);
    for (std::size_t i = 0; i < heights.size(); ++i) {
        const float h = std::isfinite(heights[i]) ? std::fmin(std::fmax(heights[i], 0.0f), 1.0f) : 0.0f;
        const auto v = static_cast<unsigned>(std::lround(h * 65535.0f));
        bytes[2 * i] = static_cast<png_byte>(v >> 8);  // PNG is big-endian
        bytes[2 * i + 1] = static_cast<png_byte>(v & 0xFF);
    }
    std::vector<png_byte> file;
    if (!WritePngRows(file, bytes, size)) {
        error = path.string() + ": could not be encoded";
        return false;
    }
    const platform::SafeWriteResult saved = platform::WriteFileSafely(path, file.data(), file.size());
    if (!saved.ok) error = path.string() + ": could not be written: " + saved.reason;
    return saved.ok;
}

bool WriteFactoryLibrary(const std::filesystem::path& folder, std::vector<std::filesystem::path>& written,
                         std::string& error) {
    return WritePresets(folder, written, error) && WriteImages(folder, written, error);
}

int WriteFactoryThumbnails(const std::filesystem::path& programFolder, std::string& error) {
    std::error_code ec;
    std::filesystem::remove_all(programFolder / "thumbnails", ec);
    // The program's folder as the only root, and the one written to.
    const std::vector<LibraryRoot> roots = {{programFolder, true}};
    int count = 0;
    for (const std::string& category : ListTextureFolders(roots, "textures")) {
        for (const TextureLibraryImage& image : ListLibraryImages(roots, category)) {
            std::vector<std::uint8_t> pixels;
            std::int32_t size = 0;
            if (!GetThumbnail(roots, image.path, pixels, size)) {
                error = image.path.string() + ": no thumbnail could be made";
                return -1;
            }
            ++count;
        }
    }
    return count;
}

}  // namespace ridgeforge::tools
