// Shared by the library tests.
#pragma once

#include <filesystem>
#include <vector>

#include "tests/support/TestSupport.h"
#include "textures/LibraryItems.h"

namespace ridgeforge::test {

// A factory folder and a separate user folder, as an installed program has.
struct TwoRoots {
    TempDir dir;
    std::filesystem::path factory = dir / "program";
    std::filesystem::path user = dir / "Documents/Ruvolta";
    std::vector<LibraryRoot> roots{{factory, false}, {user, true}};
    TwoRoots() {
        std::filesystem::create_directories(factory);
        std::filesystem::create_directories(user);
    }
};

}  // namespace ridgeforge::test
