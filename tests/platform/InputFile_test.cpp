// Reads at an offset from a file opened once, as the parallel STL read uses them.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/Files.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge::platform {
namespace {

TEST(InputFile, ReadsAtOffsetsAndStopsAtTheEnd) {
    test::TempDir dir("input-file");
    std::vector<std::uint8_t> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    ASSERT_TRUE(WriteWholeFile(dir / "data.bin", bytes.data(), bytes.size()));

    const InputFile file = InputFile::Open(dir / "data.bin");
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 1000u);
    std::vector<std::uint8_t> part(300, 0);
    ASSERT_EQ(file.ReadAt(613, part.data(), 300), std::optional<std::size_t>(300));
    EXPECT_TRUE(std::equal(part.begin(), part.end(), bytes.begin() + 613));
    // Past the end: only what is there.
    std::fill(part.begin(), part.end(), 0);
    ASSERT_EQ(file.ReadAt(950, part.data(), 300), std::optional<std::size_t>(50));
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + 50, bytes.begin() + 950));
    EXPECT_EQ(file.ReadAt(1000, part.data(), 10), std::optional<std::size_t>(0));

    std::string error;
    EXPECT_FALSE(InputFile::Open(dir.Path(), &error).IsOpen());
    EXPECT_EQ(error, "Is a directory");
    EXPECT_FALSE(InputFile::Open(dir / "missing.bin", &error).IsOpen());
    EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace ridgeforge::platform
