// The temporary file is created with O_EXCL|O_NOFOLLOW, so neither a file nor
// a link planted at its name is ever opened; a taken name is passed over for
// another random one. While it lives it is held under an flock: a later
// save of the same target removes only leftovers it can lock,
// which are those of saves that were killed, never one still being written
// by this or another process.
#include "platform/SafeWrite.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <random>
#include <signal.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

namespace ridgeforge::platform {
namespace {

constexpr int kTemporaryNameTries = 16;
constexpr std::size_t kNumberSuffixBytes = 14;  // ".%08x.part"
constexpr std::size_t kHashBytes = 9;           // "~%08x"
constexpr const char* kReadOnlyReason = "the file is read-only";

// Test hooks: a byte limit per write (none when negative) and planned numbers.
std::atomic<std::int64_t> failAfterBytes{-1};
std::atomic<int> failErrorNumber{ENOSPC};
std::atomic<int> failRenameError{0};
std::mutex plannedMutex;
std::vector<std::uint32_t> plannedNumbers;

std::uint32_t NextNumber(std::random_device& random) {
    {
        const std::lock_guard lock(plannedMutex);
        if (!plannedNumbers.empty()) {
            const std::uint32_t number = plannedNumbers.front();
            plannedNumbers.erase(plannedNumbers.begin());
            return number;
        }
    }
    return static_cast<std::uint32_t>(random());
}

SafeWriteResult Failure(SafeWriteStep step, std::string reason) {
    SafeWriteResult result;
    result.failedStep = step;
    result.reason = std::move(reason);
    return result;
}

// Closes a descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    // The close's own error, 0 when fine.
    int Close() {
        if (fd_ < 0) return 0;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }

private:
    int fd_;
};

std::size_t NameMaxOf(const std::filesystem::path& folder) {
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : std::size_t{NAME_MAX};
}

bool IsHexName(const std::string& text, std::size_t at) {
    for (std::size_t i = at; i < at + 8; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// True for "<stem>.<8 lower-case hex digits>.part".
bool IsTemporaryName(const std::string& name, const std::string& stem) {
    return name.size() == stem.size() + kNumberSuffixBytes && name.compare(0, stem.size(), stem) == 0 &&
           name[stem.size()] == '.' && IsHexName(name, stem.size() + 1) &&
           name.compare(stem.size() + 9, 5, ".part") == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes one leftover when it is a regular file of ours that nobody holds
// locked, and the name still names the file that was locked.
void RemoveIfStale(const std::filesystem::path& path) {
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) return;
    struct stat opened {};
    if (::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != ::geteuid()) return;
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return;  // a save is writing it
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && SameFile(opened, named)) ::unlink(path.c_str());
}

void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::string& stem) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        if (IsTemporaryName(it->path().filename().string(), stem)) RemoveIfStale(it->path());
    }
}

// What is known of the file being replaced.
struct ExistingTarget {
    bool exists = false;
    struct stat info {};
};

// Refuses a target that is no regular file or that may not be written.
bool ExamineTarget(const std::filesystem::path& target, ExistingTarget& existing, std::string& reason) {
    if (::stat(target.c_str(), &existing.info) != 0) {
        if (errno == ENOENT) return true;
        reason = SystemErrorText(errno);
        return false;
    }
    existing.exists = true;
    if (S_ISDIR(existing.info.st_mode)) {
        reason = SystemErrorText(EISDIR);
        return false;
    }
    if (!S_ISREG(existing.info.st_mode)) {
        reason = "it is not a regular file";
        return false;
    }
    // A file without any write bit is read-only even to the administrator,
    // who could otherwise replace it; editors refuse it the same way.
    if ((existing.info.st_mode & 0222) == 0) {
        reason = kReadOnlyReason;
        return false;
    }
    if (::geteuid() != 0 && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        reason = SystemErrorText(errno);
        return false;
    }
    return true;
}

// Writes every byte, honouring the test hook's limit.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    const std::int64_t limit = failAfterBytes.load();
    std::size_t allowed = size;
    if (limit >= 0 && static_cast<std::uint64_t>(limit) < size) allowed = static_cast<std::size_t>(limit);
    std::size_t done = 0;
    while (done < allowed) {
        const std::size_t chunk = std::min<std::size_t>(allowed - done, std::size_t{1} << 30);
        const ssize_t put = ::write(fd, data + done, chunk);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return put < 0 ? errno : EIO;
        done += static_cast<std::size_t>(put);
    }
    return allowed < size ? failErrorNumber.load() : 0;
}

// The temporary file, open for writing and locked, with a second descriptor
// that holds the lock once the writer is closed; deleted when destroyed
// unless it was moved into place.
class Temporary {
public:
    ~Temporary() {
        if (!path_.empty()) {
            writer_.Close();
            ::unlink(path_.c_str());
        }
    }
    // False with the reason when no name could be taken.
    bool Create(const std::filesystem::path& folder, const std::string& stem, mode_t mode, std::string& reason);
    const std::filesystem::path& Path() const { return path_; }
    int Writer() const { return writer_.Get(); }
    int CloseWriter() { return writer_.Close(); }
    void Release() { path_.clear(); }

private:
    std::filesystem::path path_;
    Descriptor writer_;
    Descriptor lock_;
};

bool Temporary::Create(const std::filesystem::path& folder, const std::string& stem, mode_t mode,
                       std::string& reason) {
    std::random_device random;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        char suffix[kNumberSuffixBytes + 1];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", NextNumber(random));
        const std::filesystem::path name = folder / (stem + suffix);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            reason = SystemErrorText(errno);
            return false;
        }
        writer_.Reset(fd);
        // Another save may have taken this name for a leftover between the
        // open and the lock, and deleted it; then another name is tried.
        // Where locks are not supported no save can delete the file either.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            writer_.Close();
            continue;
        }
        struct stat created {};
        struct stat named {};
        if (::fstat(fd, &created) != 0 || ::lstat(name.c_str(), &named) != 0 || !SameFile(created, named)) {
            writer_.Close();
            continue;
        }
        // The lock belongs to the open file, so this copy keeps it after the
        // writer is closed, until the file is in place.
        lock_.Reset(::dup(fd));
        path_ = name;
        return true;
    }
    reason = SystemErrorText(EEXIST);
    return false;
}

// Gives the new file the old one's owner (where allowed) and permission bits.
void CopyOwnerAndMode(int fd, const ExistingTarget& existing) {
    if (!existing.exists) return;
    const struct stat& old = existing.info;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only the administrator may give a file away; the group may still be ours to set.
        [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    ::fchmod(fd, old.st_mode & 0777);
}

// The rename over the target, honouring the test hook.
int RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (const int injected = failRenameError.load(); injected != 0) return injected;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

void IgnoreFileSizeSignal() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

std::string TemporaryNameStem(const std::string& fileName, std::size_t nameMax) {
    if (fileName.size() + kNumberSuffixBytes <= nameMax) return fileName;
    // FNV-1a of the whole name tells apart long names that begin alike.
    std::uint32_t hash = 2166136261u;
    for (const char c : fileName) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    const std::size_t room = nameMax > kNumberSuffixBytes + kHashBytes ? nameMax - kNumberSuffixBytes - kHashBytes : 0;
    std::size_t keep = std::min(room, fileName.size());
    // Back up to the start of a UTF-8 character.
    while (keep > 0 && keep < fileName.size() && (static_cast<unsigned char>(fileName[keep]) & 0xC0) == 0x80) --keep;
    char tail[kHashBytes + 1];
    std::snprintf(tail, sizeof tail, "~%08x", hash);
    return fileName.substr(0, keep) + tail;
}

SafeWriteResult WriteFileSafely(const std::filesystem::path& target, const void* data, std::size_t size,
                                const SafeWriteCheck& check) {
    IgnoreFileSizeSignal();
    const std::filesystem::path file = FollowLinks(target);
    std::string reason;
    ExistingTarget existing;
    if (!ExamineTarget(file, existing, reason)) return Failure(SafeWriteStep::Create, reason);

    const std::filesystem::path folder = file.parent_path();
    const std::string stem = TemporaryNameStem(file.filename().string(), NameMaxOf(folder));
    RemoveStaleTemporaries(folder, stem);
    // Over an old file it is made private, then takes the old file's owner and
    // bits before a byte is written: never more open than what it replaces.
    Temporary temporary;
    if (!temporary.Create(folder.empty() ? "." : folder, stem, existing.exists ? 0600 : 0666, reason))
        return Failure(SafeWriteStep::Create, reason);
    CopyOwnerAndMode(temporary.Writer(), existing);

    int error = WriteAll(temporary.Writer(), static_cast<const std::uint8_t*>(data), size);
    if (error == 0 && ::fsync(temporary.Writer()) != 0) error = errno;
    // A close error can mean lost data on network file systems.
    const int closeError = temporary.CloseWriter();
    if (error == 0) error = closeError;
    if (error != 0) return Failure(SafeWriteStep::Write, SystemErrorText(error));

    if (check && !check(temporary.Path(), reason)) return Failure(SafeWriteStep::Check, reason);

    if (const int renameError = RenameOver(temporary.Path(), file); renameError != 0)
        return Failure(SafeWriteStep::Replace, SystemErrorText(renameError));
    temporary.Release();
    // The move itself must survive a crash, not only the file's contents.
    SyncParentFolder(file);
    SafeWriteResult result;
    result.ok = true;
    return result;
}

std::string WithReason(const std::string& message, const std::string& reason) {
    if (reason.empty()) return message;
    if (!message.empty() && message.back() == '.') return message.substr(0, message.size() - 1) + ": " + reason + ".";
    return message + ": " + reason;
}

void FailSafeWritesAfter(std::uint64_t bytes, int errorNumber) {
    failErrorNumber = errorNumber;
    failAfterBytes = static_cast<std::int64_t>(bytes);
}

void UseTemporaryNumbers(std::vector<std::uint32_t> numbers) {
    const std::lock_guard lock(plannedMutex);
    plannedNumbers = std::move(numbers);
}

void FailSafeWriteRenames(int errorNumber) { failRenameError = errorNumber; }

void ClearSafeWriteHooks() {
    failAfterBytes = -1;
    failRenameError = 0;
    failErrorNumber = ENOSPC;
    UseTemporaryNumbers({});
}

}  // namespace ridgeforge::platform
