// The one-time move of the user's files from the folder of an earlier
// release ("<Documents>/Ridgeforge") into the current one
// ("<Documents>/Ruvolta"), run at start-up.
//
// Files already present in the new folder are never replaced: such entries
// stay in the old folder, which is then kept for the user to check. No
// record is kept of having run; once the old folder is gone there is nothing
// to move. Nothing here throws: a folder that cannot be read counts as
// entries that could not be moved.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ridgeforge {

// Moves the entries of `source` into `target`, merging folders that exist in
// both; an entry that cannot be moved is copied (and stays) or counted as failed.
void CopyFolderTree(const std::filesystem::path& source, const std::filesystem::path& target, std::int64_t& moved,
                    std::int64_t& failed);

// The message for the log ("Your files moved from ..."), empty when there
// was nothing to move.
std::string MigrateUserFolder(const std::filesystem::path& documents);

}  // namespace ridgeforge
