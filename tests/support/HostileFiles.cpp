#include "tests/support/HostileFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ridgeforge::test {

void MakeFifo(const std::filesystem::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path; }

void MakeSparseFile(const std::filesystem::path& path, std::uint64_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << path;
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(bytes)), 0);
    ::close(fd);
}

bool ReturnsWithoutWriter(const std::filesystem::path& fifo, const std::function<void()>& read) {
    std::future<void> done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready) {
        done.get();
        return true;
    }
    // Opening the writing end lets a blocked open go on; closing it again
    // gives the reader an end of file. Repeated, in case the reader opens twice.
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    done.get();
    return false;
}

}  // namespace ridgeforge::test
