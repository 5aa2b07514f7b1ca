#include "exec/Shell.h"

#include "exec/ChildOutput.h"
#include "exec/Spawn.h"
#include "exec/Utf8Stream.h"

#include <QByteArray>
#include <QStringDecoder>

#include <unistd.h>

namespace veldrin {

namespace {

QString decode(const QByteArray& bytes, InvalidUtf8 invalid) {
    if (invalid == InvalidUtf8::replace) {
        Utf8StreamDecoder decoder;
        QString text = decoder.feed(bytes);
        return text + decoder.finish();
    }
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

} // namespace

QString noAnswerDescription(const QString& program, std::chrono::milliseconds bound) {
    return program + QStringLiteral(" did not answer within ") + QString::number(bound.count() / 1000.0) +
           QStringLiteral(" seconds");
}

ShellResult shell(const QStringList& argv, const QueryLimits& limits, const StopToken& stop,
                  InvalidUtf8 invalid) {
    const QString program = argv.value(0);
    const SpawnResult child = spawnWithPipe(argv);
    if (!child.started())
        return {1, launchErrorDescription(program, child.error), ShellFailure::couldNotStart};

    QByteArray output;
    PumpRequest request;
    request.pid = child.pid;
    request.fd = child.readFd;
    request.deadline = std::chrono::steady_clock::now() + limits.timeout;
    request.drainAfterExit = limits.drainAfterExit;
    request.stop = stop;
    request.consume = [&](QByteArrayView bytes) {
        output.append(bytes);
        return output.size() <= limits.outputCap;
    };
    const PumpResult pumped = pumpChildOutput(request);

    using Outcome = PumpResult::Outcome;
    if (pumped.outcome == Outcome::finished) {
        close(child.readFd);
        return {pumped.status, decode(output, invalid), ShellFailure::none};
    }
    if (pumped.outcome == Outcome::stopped && !pumped.exited && limits.outlivesStop) {
        leaveOutputToADrain(child.readFd);
        return {1, program + QStringLiteral(" was left running because Veldrin is quitting"),
                ShellFailure::stopped};
    }
    // A helper left behind after the exit is not ours to end; the program
    // itself, still running, is.
    if (!pumped.exited)
        endChild(child.pid, child.readFd,
                 pumped.outcome == Outcome::stopped ? std::chrono::milliseconds(0) : limits.termGrace, stop);
    close(child.readFd);
    switch (pumped.outcome) {
    case Outcome::refused:
        return {1,
                program + QStringLiteral(" printed more than ") + QString::number(limits.outputCap) +
                    QStringLiteral(" bytes"),
                ShellFailure::tooMuchOutput};
    case Outcome::stopped:
        return {1, program + QStringLiteral(" was stopped because Veldrin is quitting"),
                ShellFailure::stopped};
    case Outcome::deadline:
    case Outcome::finished:
        break;
    }
    return {1, noAnswerDescription(program, limits.timeout), ShellFailure::noAnswer};
}

} // namespace veldrin
