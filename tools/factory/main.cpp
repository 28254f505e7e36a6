// make_factory_library FOLDER: writes the presets and library images that
// ship beside the program into FOLDER (the committed copy is "library/" at
// the top of the source tree).
// make_factory_library --thumbnails PROGRAM_FOLDER: fills the thumbnail
// cache of the library images copied beside the program (a build step).
#include <cstdio>
#include <string>

#include "tools/factory/FactoryLibrary.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--thumbnails") {
        std::string error;
        const int count = ridgeforge::tools::WriteFactoryThumbnails(argv[2], error);
        if (count < 0) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER | --thumbnails PROGRAM_FOLDER\n",
                     argc > 0 ? argv[0] : "make_factory_library");
        return 2;
    }
    std::vector<std::filesystem::path> written;
    std::string error;
    if (!ridgeforge::tools::WriteFactoryLibrary(argv[1], written, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("%zu files written under %s\n", written.size(), argv[1]);
    return 0;
}
