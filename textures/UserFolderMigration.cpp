#include "textures/UserFolderMigration.h"

#include <system_error>
#include <vector>

#include "platform/FolderMoves.h"
#include "textures/LibraryItems.h"

namespace ridgeforge {
namespace {

bool IsFolder(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool Exists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

void CopyFolderTree(const std::filesystem::path& source, const std::filesystem::path& target, std::int64_t& moved,
                    std::int64_t& failed) {
    std::error_code ec;
    std::filesystem::create_directories(target, ec);

    // Listed in full first: moving entries while iterating could skip or repeat some.
    std::vector<std::filesystem::path> entries;
    if (!platform::ListFolderEntries(source, entries)) {
        // The user's files must not stop the program from starting; the folder
        // is left where it is and reported as not moved.
        ++failed;
        return;
    }
    for (const std::filesystem::path& entry : entries) {
        const std::filesystem::path destination = target / entry.filename();
        if (!Exists(destination)) {
            if (platform::MoveEntry(entry, destination) || platform::CopyEntryRecursively(entry, destination)) {
                ++moved;
            } else {
                ++failed;
            }
        } else if (IsFolder(destination) && IsFolder(entry)) {
            CopyFolderTree(entry, destination, moved, failed);
        }
    }
    std::filesystem::remove(source, ec);  // only succeeds when empty
}

std::string MigrateUserFolder(const std::filesystem::path& documents) {
    if (documents.empty()) return {};
    const std::filesystem::path oldFolder = JoinPath(documents, "Ridgeforge", {});
    const std::filesystem::path newFolder = JoinPath(documents, "Ruvolta", {});
    if (!IsFolder(oldFolder)) return {};

    std::int64_t moved = 0;
    std::int64_t failed = 0;
    CopyFolderTree(oldFolder, newFolder, moved, failed);

    // The old thumbnail cache is only a cache: the new folder builds its own.
    std::error_code ec;
    std::filesystem::remove_all(oldFolder / "thumbnails", ec);
    std::filesystem::remove(oldFolder, ec);

    if (moved == 0 && failed == 0) return {};
    std::string message = "Your files moved from " + oldFolder.string() + " to " + newFolder.string() + ".";
    if (Exists(oldFolder)) {
        message += " Some stayed in the old folder";
        if (failed != 0) message += " (" + std::to_string(failed) + " could not be moved)";
        message += "; it can be deleted once you have checked it.";
    }
    return message;
}

}  // namespace ridgeforge
