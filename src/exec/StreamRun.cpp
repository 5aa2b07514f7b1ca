#include "exec/StreamRun.h"

#include "exec/ChildOutput.h"
#include "exec/Utf8Stream.h"

#include <unistd.h>

namespace veldrin {

std::optional<int> streamChildOutput(const SpawnResult& child,
                                     const std::function<void(const QString&)>& sink,
                                     std::chrono::milliseconds drainAfterExit, const StopToken& stop,
                                     bool outlivesStop) {
    Utf8StreamDecoder decoder;
    PumpRequest request;
    request.pid = child.pid;
    request.fd = child.readFd;
    request.drainAfterExit = drainAfterExit;
    request.stop = stop;
    request.consume = [&](QByteArrayView bytes) {
        const QString text = decoder.feed(bytes);
        if (!text.isEmpty())
            sink(text);
        return true;
    };
    const PumpResult pumped = pumpChildOutput(request);
    if (pumped.outcome == PumpResult::Outcome::stopped) {
        if (!pumped.exited && outlivesStop) {
            leaveOutputToADrain(child.readFd);
            return std::nullopt;
        }
        if (!pumped.exited)
            endChild(child.pid, child.readFd, std::chrono::milliseconds(0));
        close(child.readFd);
        return std::nullopt;
    }
    close(child.readFd);
    const QString rest = decoder.finish();
    if (!rest.isEmpty())
        sink(rest);
    return pumped.status;
}

} // namespace veldrin
