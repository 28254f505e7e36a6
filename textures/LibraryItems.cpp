#include "textures/LibraryItems.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "text/Utf8.h"
#include "platform/CaseInsensitivePath.h"
#include "platform/Files.h"
#include "platform/KnownFolders.h"
#include "textures/DeletedIndex.h"
#include "text/TextCase.h"

namespace ridgeforge {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The text's parts between separators, empty parts dropped.
void AppendComponents(std::filesystem::path& path, std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        if (end > start) path /= std::string(text.substr(start, end - start));
        start = end + 1;
    }
}

// A root path ("/..."), a share ("\\server") or a drive path ("C:\...")
// names a file outside the library.
bool IsAbsoluteName(std::string_view name) {
    if (!name.empty() && IsSeparator(name.front())) return true;
    return name.size() >= 3 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
           name[1] == ':' && IsSeparator(name[2]);
}

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool IsFolder(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

// The category's folder below the root, spelled as on disk.
std::filesystem::path CategoryFolder(const std::filesystem::path& root, std::string_view category) {
    return platform::MatchPathIgnoringCase(root, JoinPath({}, category, {}));
}

// The extension without "*" and "." in front, lower-cased.
std::string BareExtension(std::string_view extension) {
    if (!extension.empty() && extension.front() == '*') extension.remove_prefix(1);
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    return LowerCased(extension);
}

bool HasExtension(const std::filesystem::path& file, const std::string& bare) {
    if (bare.empty()) return true;
    std::string own = file.extension().string();
    if (!own.empty() && own.front() == '.') own.erase(0, 1);
    return LowerCased(own) == bare;
}

void SortMerged(std::vector<MergedName>& merged) {
    // Keys are already lower-cased, so byte order of the UTF-8 keys is code point order.
    std::sort(merged.begin(), merged.end(), [](const MergedName& a, const MergedName& b) { return a.first < b.first; });
}

std::vector<std::string> ShownNames(const std::vector<MergedName>& merged) {
    std::vector<std::string> names;
    names.reserve(merged.size());
    for (const MergedName& entry : merged) names.push_back(entry.second);
    return names;
}

bool AnyFactoryRootHolds(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name) {
    for (const LibraryRoot& root : roots) {
        if (!root.user && !FindItemFile(root.path, category, name).empty()) return true;
    }
    return false;
}

}  // namespace

std::filesystem::path JoinPath(const std::filesystem::path& folder, std::string_view category, std::string_view name) {
    std::filesystem::path path = folder;
    AppendComponents(path, category);
    AppendComponents(path, name);
    return path;
}

bool SamePathIgnoringCase(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ecA;
    std::error_code ecB;
    std::filesystem::path ca = std::filesystem::weakly_canonical(a, ecA);
    std::filesystem::path cb = std::filesystem::weakly_canonical(b, ecB);
    if (ecA || ecB) {
        ca = a.lexically_normal();
        cb = b.lexically_normal();
    }
    // "/a/b/" and "/a/b" are the same folder.
    if (!ca.has_filename() && ca.has_relative_path()) ca = ca.parent_path();
    if (!cb.has_filename() && cb.has_relative_path()) cb = cb.parent_path();
    return LowerCased(ca.string()) == LowerCased(cb.string());
}

std::string MakeSafeFileName(std::string_view name) {
    std::wstring wide = WideFromUtf8(name);
    std::size_t kept = 0;
    for (wchar_t& c : wide) {
        const bool replaced = c < 32 || c == L'"' || c == L'*' || c == L'/' || c == L':' || c == L'<' || c == L'>' ||
                              c == L'?' || c == L'\\' || c == L'|';
        if (replaced)
            c = L'_';
        else if (c != L' ' && c != L'.')
            ++kept;
    }
    while (!wide.empty() && (wide.back() == L'.' || wide.back() == L' ')) wide.pop_back();
    if (wide.empty() || kept == 0) return "untitled";
    return Utf8FromWide(wide);
}

std::vector<LibraryRoot> LibraryRoots() {
    std::vector<LibraryRoot> roots;
    const std::filesystem::path program = platform::ExecutableFolder();
    if (!program.empty()) roots.push_back({program, false});
    const std::filesystem::path documents = platform::DocumentsFolder();
    const std::filesystem::path user = documents.empty() ? program : JoinPath(documents, "Ruvolta", {});
    if (!user.empty()) roots.push_back({user, true});
    return roots;
}

const std::vector<LibraryRoot>& GetUserDataFolder() {
    static const std::vector<LibraryRoot> roots = LibraryRoots();
    return roots;
}

const LibraryRoot* FindUserRoot(const std::vector<LibraryRoot>& roots) {
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
        if (it->user) return &*it;
    }
    return nullptr;
}

std::filesystem::path FindItemFile(const std::filesystem::path& root, std::string_view category,
                                   std::string_view name) {
    if (name.empty()) return {};
    const std::filesystem::path path = platform::MatchPathIgnoringCase(root, JoinPath({}, category, name));
    return IsRegularFile(path) ? path : std::filesystem::path();
}

bool UserFolderIsFactoryFolder(const std::vector<LibraryRoot>& roots) {
    const LibraryRoot* user = FindUserRoot(roots);
    if (user == nullptr) return false;
    for (const LibraryRoot& root : roots) {
        if (!root.user && SamePathIgnoringCase(root.path, user->path)) return true;
    }
    return false;
}

std::filesystem::path ResolveLibraryItem(const std::vector<LibraryRoot>& roots, std::string_view category,
                                         std::string_view name) {
    if (name.empty()) return {};
    if (IsAbsoluteName(name)) return std::filesystem::path(std::string(name));
    if (IsItemDeleted(roots, category, name)) return {};
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
        std::filesystem::path found = FindItemFile(it->path, category, name);
        if (!found.empty()) return found;
    }
    return {};
}

std::filesystem::path UserItemPath(const std::vector<LibraryRoot>& roots, std::string_view category,
                                   std::string_view name) {
    if (name.empty()) return {};
    if (IsAbsoluteName(name)) return std::filesystem::path(std::string(name));
    const LibraryRoot* user = FindUserRoot(roots);
    if (user == nullptr) return {};
    // An existing copy under another case is the one to replace, not a twin to add.
    const std::filesystem::path path = platform::MatchPathIgnoringCase(user->path, JoinPath({}, category, name));
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (!IsFolder(path.parent_path())) return {};
    return path;
}

void AddLibraryItemOnce(std::vector<MergedName>& merged, std::string_view name) {
    std::string key = LowerCased(name);
    for (MergedName& entry : merged) {
        if (entry.first == key) {
            entry.second = std::string(name);
            return;
        }
    }
    merged.emplace_back(std::move(key), std::string(name));
}

std::vector<std::string> ListLibraryItems(const std::vector<LibraryRoot>& roots, std::string_view category,
                                          std::string_view extension) {
    const std::string bare = BareExtension(extension);
    std::vector<MergedName> merged;
    for (const LibraryRoot& root : roots) {
        const std::filesystem::path folder = CategoryFolder(root.path, category);
        std::vector<std::string> files;
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec);
        const std::filesystem::directory_iterator end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) continue;
            std::string file = it->path().filename().string();
            if (LowerCased(file) == kDeletedIndexName || !HasExtension(it->path(), bare)) continue;
            files.push_back(std::move(file));
        }
        // Two spellings of one name can only meet in one folder on a
        // case-sensitive disk; byte order makes the spelling shown stable.
        std::sort(files.begin(), files.end());
        for (const std::string& file : files) AddLibraryItemOnce(merged, file);
    }
    const std::vector<std::string> deleted = ReadDeletedIndex(roots, category);
    std::erase_if(merged, [&](const MergedName& entry) {
        return std::find(deleted.begin(), deleted.end(), entry.first) != deleted.end();
    });
    SortMerged(merged);
    return ShownNames(merged);
}

std::vector<std::string> ListTextureFolders(const std::vector<LibraryRoot>& roots, std::string_view category) {
    std::vector<MergedName> merged;
    for (const LibraryRoot& root : roots) {
        const std::filesystem::path folder = CategoryFolder(root.path, category);
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec);
        const std::filesystem::directory_iterator end;
        std::vector<std::string> subfolders;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (it->is_directory(typeError)) subfolders.push_back(it->path().filename().string());
        }
        std::sort(subfolders.begin(), subfolders.end());
        for (const std::string& subfolder : subfolders) AddLibraryItemOnce(merged, subfolder);
    }
    SortMerged(merged);
    return ShownNames(merged);
}

ItemOrigin LibraryItemOrigin(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name) {
    if (name.empty() || IsItemDeleted(roots, category, name)) return ItemOrigin::None;
    const LibraryRoot* userRoot = FindUserRoot(roots);
    const bool user = userRoot != nullptr && !FindItemFile(userRoot->path, category, name).empty();
    if (UserFolderIsFactoryFolder(roots)) return user ? ItemOrigin::User : ItemOrigin::None;
    if (AnyFactoryRootHolds(roots, category, name)) return user ? ItemOrigin::Both : ItemOrigin::Factory;
    return user ? ItemOrigin::User : ItemOrigin::None;
}

namespace {

// Deletes the user's copy of an item, if there is one, and says so through
// `removed`; false when a copy is there and stays on disk.
bool RemoveUserCopy(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name,
                    bool& removed, std::string* reason) {
    const LibraryRoot* userRoot = FindUserRoot(roots);
    const std::filesystem::path userCopy =
        userRoot != nullptr ? FindItemFile(userRoot->path, category, name) : std::filesystem::path();
    if (userCopy.empty()) return true;
    std::error_code ec;
    if (!std::filesystem::remove(userCopy, ec) || ec) {
        if (reason) *reason = ec ? ec.message() : platform::SystemErrorText(ENOENT);
        return false;
    }
    removed = true;
    return true;
}

}  // namespace

bool DeleteUserVersion(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name,
                       std::string* reason) {
    if (name.empty()) return false;
    bool changed = false;
    // A copy that stays on disk must not be reported as deleted, nor hidden
    // behind the index where the user could no longer see it.
    if (!RemoveUserCopy(roots, category, name, changed, reason)) return false;
    if (UserFolderIsFactoryFolder(roots) || !AnyFactoryRootHolds(roots, category, name)) return changed;

    std::vector<std::string> names = ReadDeletedIndex(roots, category);
    const std::string key = LowerCased(name);
    if (std::find(names.begin(), names.end(), key) != names.end()) return changed;
    names.push_back(key);
    return WriteDeletedIndex(roots, category, names, reason);
}

bool DeleteFactoryItem(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name,
                       std::string* reason) {
    if (name.empty() || UserFolderIsFactoryFolder(roots) || !AnyFactoryRootHolds(roots, category, name)) return false;
    bool changed = false;
    std::vector<std::string> names = ReadDeletedIndex(roots, category);
    const std::string key = LowerCased(name);
    if (std::erase(names, key) > 0) {
        // Still listed, the item would stay hidden whatever happens below.
        if (!WriteDeletedIndex(roots, category, names, reason)) return false;
        changed = true;
    }
    if (!RemoveUserCopy(roots, category, name, changed, reason)) return false;
    return changed;
}

}  // namespace ridgeforge
