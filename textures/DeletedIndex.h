// The deleted-items index: the names of factory items the user has hidden,
// one file "_deleted.index" per category in the user's root.
//
// The file is ISO-8859-1 text (one byte per character, so only characters up
// to U+00FF fit), one lower-cased name a line, lines ending in CR LF. It is
// read afresh on every query, so a deletion shows in the next listing.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "textures/LibraryItems.h"

namespace ridgeforge {

inline constexpr std::string_view kDeletedIndexName = "_deleted.index";

// "<user root>/<category>/_deleted.index", or empty without a user root.
std::filesystem::path DeletedIndexPath(const std::vector<LibraryRoot>& roots, std::string_view category);

// The names in file order, lower-cased (UTF-8); empty when there is no index.
std::vector<std::string> ReadDeletedIndex(const std::vector<LibraryRoot>& roots, std::string_view category);

// Replaces the index with the names; an empty list deletes it. False, with
// the reason when asked, when a name does not fit the file's encoding or
// holds a line break (the index is then left as it was) or the file cannot
// be written or deleted.
bool WriteDeletedIndex(const std::vector<LibraryRoot>& roots, std::string_view category,
                       const std::vector<std::string>& names, std::string* reason = nullptr);

// True when the name, lower-cased, is listed.
bool IsItemDeleted(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name);

}  // namespace ridgeforge
