#include "textures/LibraryCategory.h"

#include <algorithm>
#include <system_error>

#include "platform/CaseInsensitivePath.h"
#include "textures/DeletedIndex.h"
#include "text/TextCase.h"

namespace ridgeforge {

LibraryCategory::LibraryCategory(const std::vector<LibraryRoot>& roots, std::string_view category) {
    folders_.reserve(roots.size());
    for (const LibraryRoot& root : roots) {
        Folder folder;
        folder.path = platform::MatchPathIgnoringCase(root.path, JoinPath({}, category, {}));
        folder.user = root.user;
        std::error_code ec;
        std::filesystem::directory_iterator it(folder.path, ec);
        const std::filesystem::directory_iterator end;
        for (; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            std::error_code typeError;
            folder.regular[name] = it->is_regular_file(typeError);
            std::string& first = folder.byLower[LowerCased(name)];
            if (first.empty() || name < first) first = std::move(name);
        }
        folders_.push_back(std::move(folder));
    }
    for (auto it = folders_.rbegin(); it != folders_.rend() && user_ == nullptr; ++it) {
        if (it->user) user_ = &*it;
    }
    userIsFactoryFolder_ = UserFolderIsFactoryFolder(roots);
    deleted_ = ReadDeletedIndex(roots, category);
}

std::filesystem::path LibraryCategory::Find(const Folder& folder, std::string_view name) const {
    const std::string key(name);
    auto exact = folder.regular.find(key);
    if (exact == folder.regular.end()) {
        const auto variant = folder.byLower.find(LowerCased(name));
        if (variant == folder.byLower.end()) return {};
        exact = folder.regular.find(variant->second);
    }
    if (exact == folder.regular.end() || !exact->second) return {};
    return folder.path / exact->first;
}

bool LibraryCategory::IsDeleted(std::string_view name) const {
    return std::find(deleted_.begin(), deleted_.end(), LowerCased(name)) != deleted_.end();
}

std::filesystem::path LibraryCategory::Resolve(std::string_view name) const {
    if (name.empty() || IsDeleted(name)) return {};
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
        std::filesystem::path found = Find(*it, name);
        if (!found.empty()) return found;
    }
    return {};
}

ItemOrigin LibraryCategory::Origin(std::string_view name) const {
    if (name.empty() || IsDeleted(name)) return ItemOrigin::None;
    const bool user = user_ != nullptr && !Find(*user_, name).empty();
    if (userIsFactoryFolder_) return user ? ItemOrigin::User : ItemOrigin::None;
    for (const Folder& folder : folders_) {
        if (!folder.user && !Find(folder, name).empty()) return user ? ItemOrigin::Both : ItemOrigin::Factory;
    }
    return user ? ItemOrigin::User : ItemOrigin::None;
}

}  // namespace ridgeforge
