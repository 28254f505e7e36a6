#include "tests/support/SmallDisk.h"

#include <sys/mount.h>

namespace ridgeforge::test {

SmallDisk::SmallDisk(const std::filesystem::path& at, std::size_t kilobytes) : path_(at) {
    std::filesystem::create_directories(at);
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

}  // namespace ridgeforge::test
