// Writes each procedural pattern at its defaults as a 256 x 256 grey PNG
// into the folder given on the command line, so that a person can look at
// them side by side. Usage: tool_ProceduralPictures <folder>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "textures/procedural/TextureRegistry.h"

namespace {

using namespace ridgeforge::mesh::procedural;

bool WriteGreyPng(const std::filesystem::path& path, const std::vector<float>& heights, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float h = heights[static_cast<std::size_t>(y) * width + x];
            row[x] = static_cast<png_byte>(std::lround(h * 255.0f));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);

    std::vector<std::unique_ptr<ProceduralTexture>> patterns;
    for (const std::string& name : TextureNames()) patterns.push_back(CreateTexture(name));

    constexpr int size = 256;
    int failures = 0;
    for (const auto& pattern : patterns) {
        std::string name = pattern->Name();
        for (char& c : name)
            if (c == ' ') c = '_';
        const std::filesystem::path path = folder / (name + ".png");
        const std::vector<float> heights = pattern->RenderHeightMap(size, size);
        if (heights.size() != static_cast<std::size_t>(size) * size || !WriteGreyPng(path, heights, size, size)) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", path.c_str());
    }
    return failures == 0 ? 0 : 1;
}
