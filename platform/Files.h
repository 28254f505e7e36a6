// Thin file layer over POSIX and std::filesystem: whole-file reads, exclusive
// and truncating creation and durable writes. Files the program saves are
// replaced through platform/SafeWrite.h instead.
// Every failure is a false or empty result with the operating system's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ridgeforge::platform {

// The operating system's message for an errno value.
std::string SystemErrorText(int errorNumber);

// Size in bytes of a regular file, or nothing when it cannot be examined
// (then, when asked, the operating system's text).
std::optional<std::uint64_t> FileSize(const std::filesystem::path& path, std::string* error = nullptr);

// The most a settings-like file (a project, a preset, an index, a list kept
// in the library, a help page) may hold: far above any the program writes,
// far below what would stall the program to read.
inline constexpr std::uint64_t kSmallFileBytes = std::uint64_t{64} << 20;

// Opens a regular file for reading and nothing else: the open never waits
// (a FIFO with no writer would block a plain open for ever), and the file
// type is checked on the open descriptor, so nothing can be swapped in
// between the check and the read. Returns the descriptor (blocking reads
// again) or -1 with, when asked, the operating system's text.
int OpenRegularFile(const std::filesystem::path& path, std::string* error = nullptr);

// The same as a stdio stream for reading, or null; the caller closes it.
std::FILE* OpenRegularFileStream(const std::filesystem::path& path, std::string* error = nullptr);

// Reads the whole of a regular file (in a loop: one read returns at most
// about 2 GiB). A file larger than `maxBytes` is refused by its size before
// anything is allocated or read ("File too large"). On failure returns
// false and, when asked, the operating system's text.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::uint64_t maxBytes,
                   std::string* error = nullptr);

// A regular file open for reading; closes when destroyed. Reads name their
// offset and move no shared position, so several threads may read parts of
// one file at once.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Fails for anything but a regular file.
    static InputFile Open(const std::filesystem::path& path, std::string* error = nullptr);

    bool IsOpen() const { return fd_ >= 0; }
    // The size when opened.
    std::uint64_t Size() const { return size_; }
    // Reads up to `length` bytes from `offset` (retrying short reads and
    // interruptions); returns how many were read, fewer only at the end of
    // the file, or nothing on an error.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t length,
                                      std::string* error = nullptr) const;

private:
    InputFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// A file open for writing; closes (without syncing) when destroyed.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates a new file; fails when the name already exists.
    static OutputFile CreateExclusive(const std::filesystem::path& path, std::string* error = nullptr);
    // Creates the file or empties an existing one.
    static OutputFile CreateOrTruncate(const std::filesystem::path& path, std::string* error = nullptr);

    bool IsOpen() const { return fd_ >= 0; }
    // Writes every byte (retrying short writes and interruptions).
    bool Write(const void* data, std::size_t size, std::string* error = nullptr);
    // Pushes the data to the disk (fsync).
    bool Flush(std::string* error = nullptr);
    bool Close(std::string* error = nullptr);

private:
    explicit OutputFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Writes the bytes to a new or emptied file, flushes and closes it.
bool WriteWholeFile(const std::filesystem::path& path, const void* data, std::size_t size,
                    std::string* error = nullptr);

// The file a path finally names: a symbolic link is followed, link by link
// (a relative link is read from the link's own folder), to the first name
// that is no link; a path that is no link comes back as given. A loop, or a
// chain longer than the system follows, gives the last name reached.
std::filesystem::path FollowLinks(const std::filesystem::path& path);

// Makes a completed rename durable by syncing the folder that holds `path`
// (or, for a link, the file it points at).
bool SyncParentFolder(const std::filesystem::path& path);

// Deletes a file; true when it is gone (or was never there).
bool RemoveFile(const std::filesystem::path& path);

// The path made absolute against the current folder, or the path as given when that fails.
std::filesystem::path AbsolutePath(const std::filesystem::path& path);

}  // namespace ridgeforge::platform
