// One category of the library read in a single pass, for listings that
// resolve every item: each root's folder is listed once and the deleted-items
// index read once, and then each item's file and origin are looked up in
// memory. The answers are those of ResolveLibraryItem and LibraryItemOrigin
// (the same exact-name-first, case-insensitive rule); asking those for each
// item instead would list a folder on every miss, quadratic in its size.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "textures/LibraryItems.h"

namespace ridgeforge {

class LibraryCategory {
public:
    LibraryCategory(const std::vector<LibraryRoot>& roots, std::string_view category);

    // As ResolveLibraryItem for a plain (not absolute) name.
    std::filesystem::path Resolve(std::string_view name) const;
    // As LibraryItemOrigin.
    ItemOrigin Origin(std::string_view name) const;

private:
    struct Folder {
        std::filesystem::path path;
        bool user = false;
        std::unordered_map<std::string, bool> regular;         // on-disk name -> is a regular file
        std::unordered_map<std::string, std::string> byLower;  // lower-cased -> first on-disk name in byte order
    };
    // The item's file in one folder, found as FindItemFile finds it, or empty.
    std::filesystem::path Find(const Folder& folder, std::string_view name) const;
    bool IsDeleted(std::string_view name) const;

    std::vector<Folder> folders_;
    const Folder* user_ = nullptr;
    bool userIsFactoryFolder_ = false;
    std::vector<std::string> deleted_;
};

}  // namespace ridgeforge
