#include "platform/Files.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ridgeforge::platform {
namespace {

void SetError(std::string* error, int errorNumber) {
    if (error) *error = SystemErrorText(errorNumber);
}

// Opens without waiting and keeps the descriptor only for a regular file;
// `size` is its size when opened.
int OpenRegular(const std::filesystem::path& path, std::uint64_t& size, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        SetError(error, errno);
        return -1;
    }
    struct stat info {};
    const bool examined = ::fstat(fd, &info) == 0;
    if (!examined || !S_ISREG(info.st_mode)) {
        SetError(error, !examined ? errno : S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        ::close(fd);
        return -1;
    }
    // Regular files ignore the flag, but whoever reads on should see plain blocking reads.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

}  // namespace

std::string SystemErrorText(int errorNumber) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("Unknown error");
}

std::optional<std::uint64_t> FileSize(const std::filesystem::path& path, std::string* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        SetError(error, errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        SetError(error, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

int OpenRegularFile(const std::filesystem::path& path, std::string* error) {
    std::uint64_t size = 0;
    return OpenRegular(path, size, error);
}

std::FILE* OpenRegularFileStream(const std::filesystem::path& path, std::string* error) {
    const int fd = OpenRegularFile(path, error);
    if (fd < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        SetError(error, errno);
        ::close(fd);
    }
    return stream;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::uint64_t maxBytes,
                   std::string* error) {
    bytes.clear();
    const InputFile file = InputFile::Open(path, error);
    if (!file.IsOpen()) return false;
    if (file.Size() > maxBytes) {
        SetError(error, EFBIG);
        return false;
    }
    try {
        bytes.resize(static_cast<std::size_t>(file.Size()));
    } catch (const std::bad_alloc&) {
        SetError(error, ENOMEM);
        return false;
    }
    // A file that shrank meanwhile gives what is left; one that grew, what it held when opened.
    const std::optional<std::size_t> got = file.ReadAt(0, bytes.data(), bytes.size(), error);
    if (!got) {
        bytes.clear();
        return false;
    }
    bytes.resize(*got);
    return true;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

InputFile::InputFile(InputFile&& other) noexcept : fd_(other.fd_), size_(other.size_) { other.fd_ = -1; }

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        size_ = other.size_;
        other.fd_ = -1;
    }
    return *this;
}

InputFile InputFile::Open(const std::filesystem::path& path, std::string* error) {
    std::uint64_t size = 0;
    const int fd = OpenRegular(path, size, error);
    if (fd < 0) return {};
    return InputFile(fd, size);
}

std::optional<std::size_t> InputFile::ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t length,
                                             std::string* error) const {
    std::size_t done = 0;
    while (done < length) {
        const std::size_t chunk = std::min<std::size_t>(length - done, std::size_t{1} << 30);
        const ssize_t got = ::pread(fd_, out + done, chunk, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            SetError(error, errno);
            return std::nullopt;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

OutputFile::OutputFile(OutputFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

OutputFile OutputFile::CreateExclusive(const std::filesystem::path& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) SetError(error, errno);
    return OutputFile(fd);
}

OutputFile OutputFile::CreateOrTruncate(const std::filesystem::path& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) SetError(error, errno);
    return OutputFile(fd);
}

bool OutputFile::Write(const void* data, std::size_t size, std::string* error) {
    if (fd_ < 0) {
        SetError(error, EBADF);
        return false;
    }
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const std::size_t chunk = std::min<std::size_t>(size, std::size_t{1} << 30);
        const ssize_t put = ::write(fd_, p, chunk);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            SetError(error, put < 0 ? errno : EIO);
            return false;
        }
        p += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool OutputFile::Flush(std::string* error) {
    if (fd_ < 0 || ::fsync(fd_) != 0) {
        SetError(error, fd_ < 0 ? EBADF : errno);
        return false;
    }
    return true;
}

bool OutputFile::Close(std::string* error) {
    if (fd_ < 0) return true;
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::filesystem::path& path, const void* data, std::size_t size, std::string* error) {
    OutputFile file = OutputFile::CreateOrTruncate(path, error);
    return file.IsOpen() && file.Write(data, size, error) && file.Flush(error) && file.Close(error);
}

std::filesystem::path FollowLinks(const std::filesystem::path& path) {
    // The system gives up after 40 links; so does this.
    constexpr int kMostLinks = 40;
    std::filesystem::path current = path;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, ec)) || ec) break;
        const std::filesystem::path target = std::filesystem::read_symlink(current, ec);
        if (ec) break;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current;
}

bool SyncParentFolder(const std::filesystem::path& path) {
    // The rename happened where a link points, so that is the folder to sync.
    std::filesystem::path folder = AbsolutePath(FollowLinks(path)).parent_path();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool RemoveFile(const std::filesystem::path& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

std::filesystem::path AbsolutePath(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute;
}

}  // namespace ridgeforge::platform
