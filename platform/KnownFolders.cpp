// The user-dirs file is a shell fragment written by xdg-user-dirs-update:
// lines of NAME="value" where the value is either an absolute path or
// "$HOME/..." (the only substitution the format allows). Quotes may be
// escaped with a backslash. Anything else on the line is ignored, as the
// reference reader does.
#include "platform/KnownFolders.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/Files.h"

namespace ridgeforge::platform {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The value of `XDG_DOCUMENTS_DIR="..."` on one line, with $HOME expanded;
// empty when the line is something else or the value is unusable.
std::string DocumentsEntry(std::string_view line, const std::string& home) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    constexpr std::string_view key = "XDG_DOCUMENTS_DIR";
    if (line.substr(0, key.size()) != key) return {};
    line.remove_prefix(key.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() != '=') return {};
    line.remove_prefix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() != '"') return {};
    line.remove_prefix(1);

    std::string value;
    bool closed = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            value += line[++i];
        } else if (c == '"') {
            closed = true;
            break;
        } else {
            value += c;
        }
    }
    if (!closed) return {};

    constexpr std::string_view homeWord = "$HOME";
    if (value.compare(0, homeWord.size(), homeWord) == 0 &&
        (value.size() == homeWord.size() || value[homeWord.size()] == '/')) {
        if (home.empty()) return {};
        value = home + value.substr(homeWord.size());
    }
    // A relative value would depend on the current folder: not a location.
    if (value.empty() || value.front() != '/') return {};
    return value;
}

std::string UserDirsDocuments(const std::string& home) {
    std::filesystem::path config = Environment("XDG_CONFIG_HOME");
    if (config.empty() || !config.is_absolute()) {
        if (home.empty()) return {};
        config = std::filesystem::path(home) / ".config";
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(config / "user-dirs.dirs", bytes, kSmallFileBytes)) return {};
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    // The last assignment wins, as it would when the shell sources the file.
    std::string found;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string value = DocumentsEntry(line, home);
        if (!value.empty()) found = std::move(value);
        start = end + 1;
    }
    return found;
}

// Without the trailing separator a value such as "$HOME/Docs/" would keep.
std::filesystem::path CleanFolder(const std::filesystem::path& folder) {
    std::filesystem::path clean = folder.lexically_normal();
    if (!clean.has_filename() && clean.has_relative_path()) clean = clean.parent_path();
    return clean;
}

}  // namespace

std::filesystem::path ExecutableFolder() {
    std::error_code ec;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || executable.empty() || !executable.is_absolute()) return {};
    return executable.parent_path();
}

std::filesystem::path DocumentsFolder() {
    const std::string home = Environment("HOME");
    const std::string fromUserDirs = UserDirsDocuments(home);
    if (!fromUserDirs.empty()) return CleanFolder(fromUserDirs);
    if (home.empty() || home.front() != '/') return {};
    return CleanFolder(std::filesystem::path(home) / "Documents");
}

}  // namespace ridgeforge::platform
