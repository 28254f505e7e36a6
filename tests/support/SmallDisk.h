// A small memory file system (tmpfs) mounted on a new folder for one test,
// to fill up for real.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace ridgeforge::test {

// Unmounted when the object goes away. Mounting needs the administrator's
// rights: without them Mounted() is false.
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& at, std::size_t kilobytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
    bool mounted_ = false;
};

}  // namespace ridgeforge::test
