// Finding a file by a name that may differ in case from the one on disk.
//
// The library compares item names ignoring case (towlower, ordinal), but
// Linux file names are case-sensitive: an item saved as "Rock.png" must
// still be found, replaced and deleted when asked for as "rock.PNG". Each
// component below the base folder is looked up exactly first; only when that
// name does not exist is the folder listed for an entry equal ignoring case
// (the first such entry in byte order, so the choice is stable).
#pragma once

#include <filesystem>

namespace ridgeforge::platform {

// `base` / `relative` with every component that exists on disk in some case
// spelled as it is on disk. From the first component that exists in no case,
// the rest is appended as given, so the result is also where a new item with
// that name should be created. `base` itself is used as given.
std::filesystem::path MatchPathIgnoringCase(const std::filesystem::path& base, const std::filesystem::path& relative);

// The entry of `folder` whose name equals `name` ignoring case (the exact
// name when it exists), or empty when there is none or the folder cannot be read.
std::filesystem::path FindEntryIgnoringCase(const std::filesystem::path& folder, const std::filesystem::path& name);

}  // namespace ridgeforge::platform
