// Replacing a file so that its path only ever holds the old file or the
// complete new one: every file the program saves goes through here.
//
// The bytes go to a sibling "<name>.<8 hex digits>.part", created exclusively
// and never through a link, locked while it lives, written, synced and
// closed; an optional check reads it; then it is renamed over the target and
// the folder is synced. A target that is a link keeps the link: the file it
// points at is replaced, and the temporary lies beside that file. The new
// file gets the old one's permission bits; a read-only target is refused.
// Every failure deletes the temporary file and names the system's reason,
// a file larger than the process may write ("File too large") among them.
// Temporaries left by a killed save of the same target (our name pattern, a
// regular file of ours that no save holds locked) are removed first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ridgeforge::platform {

// Where a safe write stopped.
enum class SafeWriteStep {
    None,     // it did not fail
    Create,   // the target is refused, or no temporary file could be made
    Write,    // writing, syncing or closing the temporary file failed
    Check,    // the caller's check refused the written file
    Replace,  // the rename over the target failed
};

struct SafeWriteResult {
    bool ok = false;
    SafeWriteStep failedStep = SafeWriteStep::None;
    // The system's text ("No space left on device") or the check's reason.
    std::string reason;
};

// Reads the complete temporary file before it replaces the target; false
// (with a reason) keeps the old file.
using SafeWriteCheck = std::function<bool(const std::filesystem::path& temporary, std::string& reason)>;

SafeWriteResult WriteFileSafely(const std::filesystem::path& target, const void* data, std::size_t size,
                                const SafeWriteCheck& check = {});

// The message with the reason put in: "Saving failed." and "Disk full" give
// "Saving failed: Disk full.", a message without a final period gets ": reason".
std::string WithReason(const std::string& message, const std::string& reason);

// The temporary name's part before ".<8 hex digits>.part" for a target whose
// links are already followed: the file name itself, or, when the whole name
// would pass `nameMax` bytes, its first bytes (whole UTF-8 characters) and
// "~" with eight hex digits of a hash of the full name.
std::string TemporaryNameStem(const std::string& fileName, std::size_t nameMax);

// Makes a write past the process's file size limit (ulimit -f) fail with
// EFBIG instead of ending the process with SIGXFSZ, whose default action
// kills it. Keeps a handler someone else installed. The program calls it at
// start-up; every safe write calls it again before it writes.
void IgnoreFileSizeSignal();

// ---- Test hooks -----------------------------------------------------------
// Each safe write fails with `errorNumber` once it has written `bytes` bytes.
void FailSafeWritesAfter(std::uint64_t bytes, int errorNumber);
// The numbers of the next temporary names, used in order before random ones.
void UseTemporaryNumbers(std::vector<std::uint32_t> numbers);
// Each safe write's last step, the rename over the target, fails with
// `errorNumber` (0: renames work again).
void FailSafeWriteRenames(int errorNumber);
// Undoes every hook.
void ClearSafeWriteHooks();

}  // namespace ridgeforge::platform
