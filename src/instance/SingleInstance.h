#pragma once

#include <QString>

#include <optional>

namespace veldrin {

// One Veldrin per home folder: a second one would show a second icon and run
// every background job twice. The lock is a file in the home folder's cache,
// held for the life of the process and released by the system when it ends.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    enum class Outcome { acquired, heldByAnother, unusable };
    // Takes the lock. A lock that cannot be taken at all (a read-only cache,
    // a folder or a symbolic link in its place) is `unusable`: Veldrin cannot
    // tell whether another one runs, so it does not start; `problem` names the
    // file or folder that failed and the system's reason.
    Outcome acquire(QString* problem);

private:
    int fd_ = -1;
};

} // namespace veldrin
