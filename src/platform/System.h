#pragma once

// The few things the operating system itself does differently: one
// implementation for Linux (platform/linux/System.cpp) and one for macOS
// (platform/macos/System.cpp), the build picks one. Nothing else in the
// program asks which system it is on.

#include <QString>

#include <cstdint>
#include <optional>

#include <spawn.h>
#include <sys/types.h>

namespace veldrin {

// A pipe whose ends are closed on exec, and do not block if asked. False,
// with errno set, when the system has no descriptors left.
bool openPipe(int fds[2], bool nonBlocking = false);

// Settings for posix_spawn that leave the child no descriptor of ours but
// those `actions` name and its standard input, and start it in a session of
// its own (`newSession`) or in a process group of its own.
void isolateSpawn(posix_spawn_file_actions_t* actions, short* flags, bool newSession);

// A descriptor that turns readable once the child `pid` has exited, for the
// caller to close; -1 where the system gives none, and then the exit is
// polled for. It may turn readable a moment before waitpid() can reap.
int openExitWatch(pid_t pid);

// A busy run grows a log window's buffers to tens of megabytes. Once large
// blocks have been freed (an earlier big transcript), glibc slides its mmap
// threshold up to 32 MB, so a growing buffer stays on the heap that long and
// is then copied into fresh pages in one go: a stall of the main thread that
// reached 100 ms on a slow machine. This pins the threshold, so big buffers
// are mapped early and grow by remapping. Once is enough; other allocators
// need nothing.
void keepLargeAllocationsMapped();

// The folder where each run's output is kept: ~/.local/state/veldrin/runs
// (or under $XDG_STATE_HOME), ~/Library/Logs/Veldrin on macOS.
QString runHistoryFolder();

// What tells one version of a file from another without reading it: which
// file it is, its size, and when it was last written and last changed (in
// nanoseconds since the epoch). Replacing a file, or writing to it, changes
// its stamp. None when the file cannot be looked at.
struct FileStamp {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0, modifiedNs = 0, changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> fileStamp(const QString& path);

// libplist reads and writes <real> values with the C library's atof and
// printf, which follow the process locale: under a locale with a decimal
// comma "27.5" would read as 27. Within this scope the calling thread alone
// uses the "C" locale for numbers.
class CNumericLocale {
public:
    CNumericLocale();
    ~CNumericLocale();
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    void* c_ = nullptr;
    void* previous_ = nullptr;
};

} // namespace veldrin
