#include "tests/support/TestSupport.h"

#include "platform/Files.h"

#include <atomic>
#include <fstream>
#include <vector>
#include <cstdlib>
#include <unistd.h>

namespace ridgeforge::test {

void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadTextFile(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes;
    platform::ReadWholeFile(path, bytes, platform::kSmallFileBytes);
    return std::string(bytes.begin(), bytes.end());
}

TempDir::TempDir(const std::string& name) {
    static std::atomic<int> counter{0};
    std::filesystem::path root;
    if (const char* base = std::getenv("RIDGEFORGE_TEST_TMP"))
        root = base;
    else
        root = std::filesystem::temp_directory_path() / "ridgeforge-tests";
    path_ = root / (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace ridgeforge::test
