// The texture library's catalogues: the grey images of one category
// ("textures\<category>" in every library root, the user's copy first) and
// the user's own list of images ("custom\images.json", most recent first).
// Every call reads the files afresh; writes always go to the user's root.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "textures/LibraryItems.h"
#include "text/TextCase.h"

namespace ridgeforge {

struct TextureLibraryImage {
    std::string name;            // file name without its extension
    std::filesystem::path path;  // the user's copy when there is one
    ItemOrigin origin = ItemOrigin::None;
};

// ".png", ".jpg", ".jpeg", ".tif", ".tiff", ".bmp", in that order.
const std::vector<std::string>& TextureImageExtensions();

// The category's images, sorted by name ignoring case.
std::vector<TextureLibraryImage> ListLibraryImages(const std::vector<LibraryRoot>& roots, std::string_view category);

// The user's own images, in file order; a missing or malformed list is empty.
std::vector<std::string> LoadCustomImages(const std::vector<LibraryRoot>& roots);
// False, with the reason when asked, when the list could not be saved; the
// earlier list then stays as it was.
bool SaveCustomImages(const std::vector<LibraryRoot>& roots, const std::vector<std::string>& images,
                      std::string* reason = nullptr);
// Puts the path first, dropping entries equal to it ignoring case, and saves.
bool AddCustomImage(const std::vector<LibraryRoot>& roots, std::string_view path, std::string* reason = nullptr);

}  // namespace ridgeforge
