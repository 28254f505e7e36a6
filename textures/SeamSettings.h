// The seamless method remembered for each image ("custom\seams.json"), so an
// image opens again the way the user last made it seamless. Records are
// keyed by the image's path compared ignoring case, most recent first; an
// image with nothing stored is "Unchanged".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "textures/LibraryItems.h"

namespace ridgeforge {

struct SeamSettings {
    std::string method = "Unchanged";  // a seamless method name
    std::string parameters;            // that method's key=value text
};

struct SeamEntry {
    std::string image;  // the path as the document loaded it
    std::string method;
    std::string parameters;
};

// The stored records in file order; unknown method names read as "Unchanged".
std::vector<SeamEntry> LoadSeamSettings(const std::vector<LibraryRoot>& roots);

SeamSettings GetSeamSettingsFor(const std::vector<LibraryRoot>& roots, std::string_view image);

// Records the choice first in the file, replacing any earlier one for the
// image; "Unchanged" (or no method) forgets the image instead. False, with
// the reason when asked, when the file could not be saved (it then stays as
// it was) or the path is empty.
bool StoreSeamSettings(const std::vector<LibraryRoot>& roots, std::string_view image, const SeamSettings& settings,
                       std::string* reason = nullptr);

}  // namespace ridgeforge
