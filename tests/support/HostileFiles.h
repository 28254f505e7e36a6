// Files that a reader must refuse without waiting or reading: a FIFO with
// no writer, and a large file that takes no disk space.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace ridgeforge::test {

// Makes a FIFO at the path (the test fails when it cannot).
void MakeFifo(const std::filesystem::path& path);

// Makes a sparse file of the given size: no data is written.
void MakeSparseFile(const std::filesystem::path& path, std::uint64_t bytes);

// Runs `read`, which is handed the FIFO at `fifo`; true when it returned by
// itself within a few seconds. A read still waiting then is released by
// opening and closing the FIFO's writing end, so a blocking reader fails the
// test instead of hanging it.
bool ReturnsWithoutWriter(const std::filesystem::path& fifo, const std::function<void()>& read);

}  // namespace ridgeforge::test
