// Moving and copying folder entries for the one-time move of the user's
// files into a new data folder.
//
// A move is a rename when source and target share a file system. A regular
// file (or link) on another file system is copied and the source deleted
// afterwards; a folder on another file system is not moved (the caller then
// copies it and leaves the original in place). Nothing here throws.
#pragma once

#include <filesystem>
#include <vector>

namespace ridgeforge::platform {

// Moves the file, link or folder `from` to `to`, replacing a file at `to`.
// True when `from` is gone and `to` holds it.
bool MoveEntry(const std::filesystem::path& from, const std::filesystem::path& to);

// Copies the file, link or whole folder `from` to `to` (links as links,
// existing files overwritten). True when everything was copied.
bool CopyEntryRecursively(const std::filesystem::path& from, const std::filesystem::path& to);

// Every entry of the folder, read before the caller changes anything; false
// when the folder cannot be listed completely.
bool ListFolderEntries(const std::filesystem::path& folder, std::vector<std::filesystem::path>& entries);

}  // namespace ridgeforge::platform
