#include "base/StopToken.h"

#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace veldrin {

struct StopToken::State {
    std::atomic<bool> stopped{false};
    int fds[2] = {-1, -1};

    State() {
#if defined(__linux__)
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            fds[0] = fds[1] = -1;
#else
        if (pipe(fds) != 0) {
            fds[0] = fds[1] = -1;
            return;
        }
        for (int fd : fds) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);
            fcntl(fd, F_SETFL, O_NONBLOCK);
        }
#endif
    }
    ~State() {
        for (int fd : fds) {
            if (fd >= 0)
                close(fd);
        }
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
};

bool StopToken::stopRequested() const {
    return state_ && state_->stopped.load();
}

int StopToken::fd() const {
    return state_ ? state_->fds[0] : -1;
}

StopSource::StopSource() : state_(std::make_shared<StopToken::State>()) {}

void StopSource::requestStop() {
    if (state_->stopped.exchange(true))
        return;
    if (state_->fds[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = write(state_->fds[1], &byte, 1);
    }
}

} // namespace veldrin
