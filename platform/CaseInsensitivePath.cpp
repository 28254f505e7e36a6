#include "platform/CaseInsensitivePath.h"

#include <string>
#include <system_error>

#include "mesh/TextCase.h"

namespace ridgeforge::platform {

std::filesystem::path FindEntryIgnoringCase(const std::filesystem::path& folder, const std::filesystem::path& name) {
    if (name.empty()) return {};
    std::error_code ec;
    const std::filesystem::path exact = folder / name;
    if (std::filesystem::exists(std::filesystem::symlink_status(exact, ec))) return exact;

    const std::string wanted = name.string();
    std::string best;
    std::filesystem::directory_iterator it(folder, ec);
    const std::filesystem::directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (!EqualsIgnoreCase(candidate, wanted)) continue;
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
