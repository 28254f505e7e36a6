#include "platform/FolderMoves.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace ridgeforge::platform {

bool MoveEntry(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) return false;

    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::symlink_status(from, ec);
    if (ec || std::filesystem::is_directory(status)) return false;
    if (!CopyEntryRecursively(from, to)) return false;
    if (std::filesystem::remove(from, ec) && !ec) return true;
    // The source could not be deleted: undo the copy so the entry is not in two places.
    std::filesystem::remove(to, ec);
    return false;
}

bool CopyEntryRecursively(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::copy(from, to,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks |
                              std::filesystem::copy_options::overwrite_existing,
                          ec);
    return !ec;
}

bool ListFolderEntries(const std::filesystem::path& folder, std::vector<std::filesystem::path>& entries) {
    entries.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    const std::filesystem::directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
    return !ec;
}

}  // namespace ridgeforge::platform
