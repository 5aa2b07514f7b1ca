#pragma once

// The few things the operating system itself does differently: one
// implementation for Linux (platform/linux/System.cpp) and one for macOS
// (platform/macos/System.cpp), the build picks one. Nothing else in the
// program asks which system it is on.

#include <QByteArray>
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

// When the process `pid` started, in the system's own units; none where it
// cannot be told. With the process id it names one process for good: an id
// is reused, a start time with it is not.
std::optional<QByteArray> processStartTime(pid_t pid);

// This program's own file, with links resolved; none where the system cannot
// say.
std::optional<QByteArray> executableFile();

// Keeps the settings in files below `folder`, which XDG_CONFIG_HOME already
// names, instead of the system's own store: for a sandbox whose settings must
// not reach the user's. On Linux the settings are such files already; on
// macOS they would go to the user's defaults domain wherever HOME points.
void keepSettingsBelow(const QString& folder);

// What starts a program at login: a LaunchAgent on macOS, an XDG autostart
// entry elsewhere. Writing either is plain file work, done alike everywhere.
enum class LoginStart { launchAgent, xdgAutostart };
LoginStart loginStart();

// How a command line made for a shell runs in a new terminal window:
// Terminal, told through osascript, on macOS; the desktop's terminal emulator
// elsewhere.
enum class TerminalWindow { appleScript, terminalEmulator };
TerminalWindow terminalWindow();

// Whether the process at the other end of the connected local socket `fd`
// runs as this user.
bool peerIsThisUser(int fd);

// A connected socket whose other end has gone must not raise SIGPIPE at the
// next write: on macOS the socket `fd` is told so once (SO_NOSIGPIPE); on
// Linux each send says so itself.
void keepSocketFromSignalling(int fd);

// send() that answers EPIPE instead of raising SIGPIPE when the other end has
// gone, where the system has a flag for that (MSG_NOSIGNAL).
ssize_t sendWithoutSignal(int fd, const QByteArray& data);

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
