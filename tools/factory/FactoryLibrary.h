// Writes the factory library, the files that ship beside the program:
// "procedural/<pattern>/<preset>.rgpreset" with its 120 x 120 thumbnail
// "<preset>.bmp", and "textures/<category>/<image>.png" as 16-bit grey.
// The same program always writes the same bytes, so the committed copy can
// be checked against a fresh one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ridgeforge::tools {

// The side of every library image in pixels.
inline constexpr int kFactoryImageSize = 256;

// Heights in [0, 1] as a 16-bit grey PNG (maximum compression, no time
// stamp or other varying chunk). False with a message when it fails.
bool WriteGreyPng16(const std::filesystem::path& path, const std::vector<float>& heights, int size, std::string& error);

// Writes every preset and image under `folder`; the file paths written, or
// an error message.
bool WriteFactoryLibrary(const std::filesystem::path& folder, std::vector<std::filesystem::path>& written,
                         std::string& error);

// Fills the thumbnail cache of the library images beside the program
// ("thumbnails" in the program's folder, emptied first), so that the
// texture browser opens its categories without decoding an image. The
// cache is keyed by each image's path and time, so it is made after the
// images were copied there. The number of thumbnails, or -1 with a message.
int WriteFactoryThumbnails(const std::filesystem::path& programFolder, std::string& error);

}  // namespace ridgeforge::tools
