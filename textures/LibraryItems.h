// The library's two homes and the items in them.
//
// Factory items (textures, presets, help pages) ship in the program's folder;
// the user's items live in "<Documents>/Ruvolta". Both are library roots, and
// an item is addressed by root, category (a relative sub-folder such as
// "textures\Stone"; "\" and "/" both separate) and file name. The roots are
// merged into one list per category in which the user's copy of a name wins,
// and a factory item is hidden by listing its name in the category's
// "_deleted.index" in the user's root, so the program's folder is never written.
//
// Names compare ignoring case (towlower, ordinal); on this case-sensitive
// file system an item is found under any case of its name. Nothing here
// throws: a missing file or folder gives an empty path, false, None or an
// empty list.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ridgeforge {

struct LibraryRoot {
    std::filesystem::path path;
    bool user = false;  // the user's writable folder (else factory items)
};

enum class ItemOrigin : std::int32_t { None = 0, User = 1, Factory = 2, Both = 3 };

// One entry of a merged listing: the name lower-cased, and as it is shown.
using MergedName = std::pair<std::string, std::string>;

// `folder`, then each component of `category`, then each of `name`; empty
// parts are skipped.
std::filesystem::path JoinPath(const std::filesystem::path& folder, std::string_view category, std::string_view name);

// True when both name the same place once resolved against the disk (or
// normalised when that fails) and compared ignoring case.
bool SamePathIgnoringCase(const std::filesystem::path& a, const std::filesystem::path& b);

// A file name every supported system accepts: control characters and
// " * / : < > ? \ | become "_", trailing dots and blanks go, and a name with
// nothing else left is "untitled".
std::string MakeSafeFileName(std::string_view name);

// (program folder, factory), then (<Documents>/Ruvolta, user); without a
// documents folder the program folder serves as the user's root too.
std::vector<LibraryRoot> LibraryRoots();
// LibraryRoots, worked out on the first call and kept for the process. The
// first call must come before other threads use it.
const std::vector<LibraryRoot>& GetUserDataFolder();

// True when the user's root is also one of the factory roots.
bool UserFolderIsFactoryFolder(const std::vector<LibraryRoot>& roots);

// The file to use for the item: the user's copy first, then the factory
// roots; an absolute name is returned as it stands; empty when the item is
// missing or hidden.
std::filesystem::path ResolveLibraryItem(const std::vector<LibraryRoot>& roots, std::string_view category,
                                         std::string_view name);

// Where the user's copy of the item is (or will be) written; its folder is
// created. An absolute name is returned as it stands; empty when there is no
// user root or the folder cannot be made.
std::filesystem::path UserItemPath(const std::vector<LibraryRoot>& roots, std::string_view category,
                                   std::string_view name);
// The reason a writer gives when UserItemPath came back empty.
inline constexpr const char* kNowhereToSave = "there is no folder for your own files";

// The merged names of the category's files with the extension ("*.png",
// ".png" and "png" alike; empty for every file), hidden items left out,
// sorted ignoring case.
std::vector<std::string> ListLibraryItems(const std::vector<LibraryRoot>& roots, std::string_view category,
                                          std::string_view extension);

// Adds the name, or respells the entry that equals it ignoring case (so the
// later root's spelling wins).
void AddLibraryItemOnce(std::vector<MergedName>& merged, std::string_view name);

// The merged sub-folder names of the category, sorted ignoring case.
std::vector<std::string> ListTextureFolders(const std::vector<LibraryRoot>& roots, std::string_view category);

// Which copies of the item exist; None when missing or hidden.
ItemOrigin LibraryItemOrigin(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name);

// Deletes the user's copy and hides any factory copy. True only when every
// step that applied succeeded and at least one of them changed something;
// when a step failed, the system's reason goes to `reason` when asked.
bool DeleteUserVersion(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name,
                       std::string* reason = nullptr);

// Brings a hidden or overridden factory item back: removes its name from the
// index and deletes the user's copy. Failures as for DeleteUserVersion.
bool DeleteFactoryItem(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name,
                       std::string* reason = nullptr);

// ---- Helpers shared with the deleted-items index and the catalogues ----

// The last root flagged as the user's, or null.
const LibraryRoot* FindUserRoot(const std::vector<LibraryRoot>& roots);

// The existing regular file for the item below `root`, found ignoring case, or empty.
std::filesystem::path FindItemFile(const std::filesystem::path& root, std::string_view category, std::string_view name);

}  // namespace ridgeforge
