#include "platform/CaseInsensitivePath.h"

#include <cwctype>
#include <string>
#include <string_view>
#include <system_error>

#include "text/TextCase.h"

namespace ridgeforge::platform {
namespace {

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// The shared rule, without widening when both names are plain ASCII: a
// folder is scanned whole for every miss, so this runs once per entry.
bool SameNameIgnoringCase(std::string_view a, bool aAscii, std::string_view b) {
    if (aAscii && IsAscii(b)) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::towlower(static_cast<unsigned char>(a[i])) != std::towlower(static_cast<unsigned char>(b[i])))
                return false;
        }
        return true;
    }
    return EqualsIgnoringCase(a, b);
}

}  // namespace

std::filesystem::path FindEntryIgnoringCase(const std::filesystem::path& folder, const std::filesystem::path& name) {
    if (name.empty()) return {};
    std::error_code ec;
    const std::filesystem::path exact = folder / name;
    if (std::filesystem::exists(std::filesystem::symlink_status(exact, ec))) return exact;

    const std::string wanted = name.string();
    const bool wantedAscii = IsAscii(wanted);
    std::string best;
    std::filesystem::directory_iterator it(folder, ec);
    const std::filesystem::directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (!SameNameIgnoringCase(wanted, wantedAscii, candidate)) continue;
        if (best.empty() || candidate < best) best = std::move(candidate);
    }
    if (best.empty()) return {};
    return folder / best;
}

std::filesystem::path MatchPathIgnoringCase(const std::filesystem::path& base, const std::filesystem::path& relative) {
    std::filesystem::path result = base;
    bool matching = true;
    for (const std::filesystem::path& part : relative) {
        if (part.empty() || part == "/") continue;
        if (matching && part != "." && part != "..") {
            const std::filesystem::path found = FindEntryIgnoringCase(result, part);
            if (!found.empty()) {
                result = found;
                continue;
            }
            matching = false;
        }
        result /= part;
    }
    return result;
}

}  // namespace ridgeforge::platform
