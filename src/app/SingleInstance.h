#pragma once

#include <QString>

namespace veldrin {

// One Veldrin per home folder: a second one would show a second icon and run
// every background job twice. The lock is a file in the home folder, held for
// the life of the process and released by the system when it ends.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // False when another Veldrin holds the lock. A lock file that cannot be
    // made at all (a read-only home) does not stop Veldrin; `warning` says why.
    bool acquire(QString* warning);

private:
    int fd_ = -1;
};

} // namespace veldrin
