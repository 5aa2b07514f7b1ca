#include "platform/StopToken.h"

#include "platform/System.h"

#include <atomic>
#include <unistd.h>

namespace veldrin {

struct StopToken::State {
    std::atomic<bool> stopped{false};
    int fds[2] = {-1, -1};

    State() {
        if (!openPipe(fds, true))
            fds[0] = fds[1] = -1;
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
