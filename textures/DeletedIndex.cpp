// The index is converted by hand between ISO-8859-1 bytes and UTF-8: each
// byte is the character of that code. Wide streams in the C locale would
// stop at the first byte of 0x80 or above.
#include "textures/DeletedIndex.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "text/Utf8.h"
#include "platform/CaseInsensitivePath.h"
#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "text/TextCase.h"

namespace ridgeforge {
namespace {

std::string NameFromLatin1(std::string_view line) {
    std::wstring wide;
    wide.reserve(line.size());
    for (const char c : line) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return LowerCased(Utf8FromWide(wide));
}

// False when a character does not fit one byte, or would break the line structure.
bool AppendLatin1Line(std::string& out, std::string_view name) {
    for (const wchar_t c : WideFromUtf8(name)) {
        if (c > 0xFF || c == L'\r' || c == L'\n') return false;
        out += static_cast<char>(static_cast<unsigned char>(c));
    }
    out += "\r\n";
    return true;
}

// The index in the category's folder as spelled on disk. The file's own name
// is always written in this spelling, so only the folders need matching, and
// a listing does not scan the folder for each of its items.
std::filesystem::path IndexFile(const LibraryRoot& user, std::string_view category) {
    return platform::MatchPathIgnoringCase(user.path, JoinPath({}, category, {})) / kDeletedIndexName;
}

}  // namespace

std::filesystem::path DeletedIndexPath(const std::vector<LibraryRoot>& roots, std::string_view category) {
    const LibraryRoot* user = FindUserRoot(roots);
    if (user == nullptr) return {};
    return JoinPath(user->path, category, kDeletedIndexName);
}

std::vector<std::string> ReadDeletedIndex(const std::vector<LibraryRoot>& roots, std::string_view category) {
    std::vector<std::string> names;
    const LibraryRoot* user = FindUserRoot(roots);
    if (user == nullptr) return names;
    const std::filesystem::path path = IndexFile(*user, category);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return names;
    std::vector<std::uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes, platform::kSmallFileBytes)) return names;

    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
        if (!line.empty()) names.push_back(NameFromLatin1(line));
        start = end + 1;
    }
    return names;
}

bool WriteDeletedIndex(const std::vector<LibraryRoot>& roots, std::string_view category,
                       const std::vector<std::string>& names, std::string* reason) {
    const LibraryRoot* user = FindUserRoot(roots);
    if (user == nullptr) {
        if (reason) *reason = kNowhereToSave;
        return false;
    }
    const std::filesystem::path path = IndexFile(*user, category);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);

    if (names.empty()) {
        // An index that stays would keep hiding the items it names.
        if (platform::RemoveFile(path)) return true;
        if (reason) *reason = platform::SystemErrorText(errno);
        return false;
    }
    // Encode everything before touching the file, so a name that cannot be
    // stored leaves the old index whole.
    std::string text;
    for (const std::string& name : names) {
        if (!AppendLatin1Line(text, name)) {
            if (reason) *reason = "the name \"" + name + "\" cannot be stored in the list of deleted items";
            return false;
        }
    }
    const platform::SafeWriteResult saved = platform::WriteFileSafely(path, text.data(), text.size());
    if (!saved.ok && reason) *reason = saved.reason;
    return saved.ok;
}

bool IsItemDeleted(const std::vector<LibraryRoot>& roots, std::string_view category, std::string_view name) {
    const std::vector<std::string> names = ReadDeletedIndex(roots, category);
    return std::find(names.begin(), names.end(), LowerCased(name)) != names.end();
}

}  // namespace ridgeforge
