#include "exec/StreamRun.h"

#include "exec/ChildOutput.h"
#include "exec/Utf8Stream.h"

#include <unistd.h>

namespace veldrin {

std::optional<StreamEnd> streamChildOutput(const SpawnResult& child,
                                           const std::function<void(const QString&)>& sink,
                                           const StreamOptions& options) {
    Utf8StreamDecoder decoder;
    PumpRequest request;
    request.pid = child.pid;
    request.fd = child.readFd;
    request.drainAfterExit = options.drainAfterExit;
    request.stop = options.quitting;
    request.terminate = options.stopRun;
    request.killAfter = options.killAfter;
    request.consume = [&](QByteArrayView bytes) {
        const QString text = decoder.feed(bytes);
        if (!text.isEmpty())
            sink(text);
        return true;
    };
    const PumpResult pumped = pumpChildOutput(request);
    if (pumped.outcome == PumpResult::Outcome::stopped) {
        if (!pumped.exited && options.outlivesQuitting) {
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
    return StreamEnd{pumped.status, pumped.terminated};
}

} // namespace veldrin
