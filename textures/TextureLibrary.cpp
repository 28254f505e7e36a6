#include "textures/TextureLibrary.h"

#include <algorithm>
#include <system_error>

#include "mesh/Json.h"
#include "textures/LibraryCategory.h"

namespace ridgeforge {

const std::vector<std::string>& TextureImageExtensions() {
    static const std::vector<std::string> extensions = {".png", ".jpg", ".jpeg", ".tif", ".tiff", ".bmp"};
    return extensions;
}

std::vector<TextureLibraryImage> ListLibraryImages(const std::vector<LibraryRoot>& roots, std::string_view category) {
    const std::string folder = "textures\\" + std::string(category);
    const LibraryCategory lookup(roots, folder);
    std::vector<TextureLibraryImage> images;
    for (const std::string& extension : TextureImageExtensions()) {
        for (const std::string& item : ListLibraryItems(roots, folder, extension)) {
            TextureLibraryImage image;
            image.path = lookup.Resolve(item);
            if (image.path.empty()) continue;
            image.name = std::filesystem::path(item).stem().string();
            image.origin = lookup.Origin(item);
            images.push_back(std::move(image));
        }
    }
    std::sort(images.begin(), images.end(), [](const TextureLibraryImage& a, const TextureLibraryImage& b) {
        return LessIgnoringCase(a.name, b.name);
    });
    return images;
}

std::vector<std::string> LoadCustomImages(const std::vector<LibraryRoot>& roots) {
    std::vector<std::string> images;
    const std::filesystem::path path = ResolveLibraryItem(roots, "custom", "images.json");
    if (path.empty()) return images;
    const JsonReader root = JsonReader::Open(path);
    if (root.IsEmpty() || !root.node->is_object()) return images;
    const nlohmann::json* list = root.Find("images");
    if (list == nullptr || !list->is_array()) return images;
    for (const nlohmann::json& element : *list) {
        if (!element.is_string()) continue;
        // Through the wide form, so broken UTF-8 is mended the way every name is.
        std::string image = Utf8FromWide(WideFromUtf8(element.get_ref<const std::string&>()));
        if (!image.empty()) images.push_back(std::move(image));
    }
    return images;
}

bool SaveCustomImages(const std::vector<LibraryRoot>& roots, const std::vector<std::string>& images,
                      std::string* reason) {
    const std::filesystem::path target = UserItemPath(roots, "custom", "images.json");
    if (target.empty()) {
        if (reason) *reason = kNowhereToSave;
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    const JsonWriter writer = JsonWriter::NewDocument();
    nlohmann::json* list = writer.Array("images").Node();
    if (list == nullptr) return false;
    for (const std::string& image : images) list->push_back(Utf8FromWide(WideFromUtf8(image)));
    return SaveJsonFile(writer, target, reason);
}

bool AddCustomImage(const std::vector<LibraryRoot>& roots, std::string_view path, std::string* reason) {
    std::vector<std::string> images = LoadCustomImages(roots);
    std::erase_if(images, [&](const std::string& image) { return EqualsIgnoringCase(image, path); });
    images.insert(images.begin(), std::string(path));
    return SaveCustomImages(roots, images, reason);
}

}  // namespace ridgeforge
