// Reads at an offset from a file opened once, as the parallel STL read uses them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include <unistd.h>

#include "platform/Files.h"
#include "tests/support/HostileFiles.h"
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

TEST(InputFile, AFifoIsRefusedWithoutWaitingForAWriter) {
    test::TempDir dir("input-fifo");
    const auto fifo = dir / "fifo.png";
    test::MakeFifo(fifo);
    std::string openError, streamError, readError;
    bool opened = true, streamed = true, read = true;
    std::vector<std::uint8_t> bytes{1, 2, 3};
    EXPECT_TRUE(test::ReturnsWithoutWriter(fifo, [&] {
        opened = InputFile::Open(fifo, &openError).IsOpen();
        const int fd = OpenRegularFile(fifo);
        if (fd >= 0) ::close(fd);
        std::FILE* stream = OpenRegularFileStream(fifo, &streamError);
        streamed = stream != nullptr;
        if (stream) std::fclose(stream);
        read = ReadWholeFile(fifo, bytes, kSmallFileBytes, &readError);
    }));
    EXPECT_FALSE(opened);
    EXPECT_FALSE(streamed);
    EXPECT_FALSE(read);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(openError, "Invalid argument");
    EXPECT_EQ(streamError, "Invalid argument");
    EXPECT_EQ(readError, "Invalid argument");

    // A regular file still opens, and a stream on it reads from the start.
    test::WriteTextFile(dir / "plain.txt", "abc");
    std::FILE* stream = OpenRegularFileStream(dir / "plain.txt");
    ASSERT_NE(stream, nullptr);
    char text[4] = {};
    EXPECT_EQ(std::fread(text, 1, 3, stream), 3u);
    EXPECT_STREQ(text, "abc");
    std::fclose(stream);
}

TEST(InputFile, AWholeReadRefusesAFileOverItsCapBeforeReading) {
    test::TempDir dir("input-cap");
    test::WriteTextFile(dir / "ten.txt", "0123456789");
    std::vector<std::uint8_t> bytes;
    std::string error;
    // Both sides of the cap: exactly ten bytes is read, nine is refused.
    ASSERT_TRUE(ReadWholeFile(dir / "ten.txt", bytes, 10, &error)) << error;
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    EXPECT_FALSE(ReadWholeFile(dir / "ten.txt", bytes, 9, &error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(error, "File too large");

    // A sparse gigabyte is refused by its size: nothing is allocated or read,
    // so this takes no time and no memory.
    test::MakeSparseFile(dir / "huge.rgpreset", std::uint64_t{1} << 30);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadWholeFile(dir / "huge.rgpreset", bytes, kSmallFileBytes, &error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(error, "File too large");

    EXPECT_FALSE(ReadWholeFile(dir.Path(), bytes, kSmallFileBytes, &error));
    EXPECT_EQ(error, "Is a directory");
    EXPECT_FALSE(ReadWholeFile(dir / "missing", bytes, kSmallFileBytes, &error));
    EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace ridgeforge::platform
