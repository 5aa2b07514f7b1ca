#pragma once

// A request to stop that a blocked thread can wait on: the token's descriptor
// turns readable once stop is requested, so a poll() on a child's output can
// also wake for it. Built on a pipe because std::stop_token offers no
// descriptor to wait on.

#include <memory>

namespace veldrin {

class StopSource;

class StopToken {
public:
    // A token that never stops.
    StopToken() = default;
    bool stopRequested() const;
    bool stopPossible() const { return state_ != nullptr; }
    // Readable once stop has been requested; -1 for a token that never stops,
    // and for one whose pipe could not be made (then ask stopRequested()).
    int fd() const;

private:
    friend class StopSource;
    struct State;
    explicit StopToken(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

class StopSource {
public:
    StopSource();
    StopToken token() const { return StopToken(state_); }
    // Any thread; idempotent.
    void requestStop();

private:
    std::shared_ptr<StopToken::State> state_;
};

} // namespace veldrin
