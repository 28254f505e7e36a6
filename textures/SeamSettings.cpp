#include "textures/SeamSettings.h"

#include <system_error>

#include "mesh/Json.h"
#include "textures/seamless/SeamlessMethod.h"
#include "text/TextCase.h"

namespace ridgeforge {
namespace {

std::string StringMember(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return {};
    return it->get<std::string>();
}

}  // namespace

std::vector<SeamEntry> LoadSeamSettings(const std::vector<LibraryRoot>& roots) {
    std::vector<SeamEntry> entries;
    const std::filesystem::path path = ResolveLibraryItem(roots, "custom", "seams.json");
    if (path.empty()) return entries;
    const JsonReader root = JsonReader::Open(path);
    if (root.IsEmpty() || !root.node->is_object()) return entries;
    const nlohmann::json* list = root.Find("images");
    if (list == nullptr || !list->is_array()) return entries;
    for (const nlohmann::json& element : *list) {
        if (!element.is_object()) continue;  // all three fields empty: never taken
        SeamEntry entry;
        entry.image = Utf8FromWide(WideFromUtf8(StringMember(element, "image")));
        entry.method = mesh::seamless::CanonicalMethodName(StringMember(element, "method"));
        entry.parameters = StringMember(element, "parameters");
        if (!entry.image.empty() && !entry.method.empty()) entries.push_back(std::move(entry));
    }
    return entries;
}

SeamSettings GetSeamSettingsFor(const std::vector<LibraryRoot>& roots, std::string_view image) {
    const std::string key = LowerCased(image);
    for (SeamEntry& entry : LoadSeamSettings(roots)) {
        if (LowerCased(entry.image) == key) return SeamSettings{std::move(entry.method), std::move(entry.parameters)};
    }
    return SeamSettings{};
}

bool StoreSeamSettings(const std::vector<LibraryRoot>& roots, std::string_view image, const SeamSettings& settings,
                       std::string* reason) {
    if (image.empty()) return false;
    std::vector<SeamEntry> entries = LoadSeamSettings(roots);
    const std::string key = LowerCased(image);
    std::erase_if(entries, [&](const SeamEntry& entry) { return LowerCased(entry.image) == key; });
    if (!settings.method.empty() && settings.method != "Unchanged") {
        entries.insert(entries.begin(), SeamEntry{std::string(image), settings.method, settings.parameters});
    }

    const std::filesystem::path target = UserItemPath(roots, "custom", "seams.json");
    if (target.empty()) {
        if (reason) *reason = kNowhereToSave;
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    const JsonWriter writer = JsonWriter::NewDocument();
    const JsonWriter list = writer.Array("images");
    for (const SeamEntry& entry : entries) {
        const JsonWriter record = list.AppendObject();
        record.SetString("image", Utf8FromWide(WideFromUtf8(entry.image)));
        record.SetString("method", entry.method);
        record.SetString("parameters", entry.parameters);
    }
    return SaveJsonFile(writer, target, reason);
}

}  // namespace ridgeforge
