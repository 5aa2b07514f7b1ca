#pragma once

// The synchronous runner: starts a program from an argument vector, waits for
// it within a time bound and an output cap, and hands back its exit status and
// merged output.

#include "platform/StopToken.h"

#include <QString>
#include <QStringList>

#include <chrono>

namespace veldrin {

struct QueryLimits {
    std::chrono::milliseconds timeout;
    qsizetype outputCap; // bytes
    // Once the program has exited, how long a helper it left holding the
    // output may keep the answer waiting.
    std::chrono::milliseconds drainAfterExit = std::chrono::seconds(2);
    // A program past a limit gets TERM, and KILL this much later if it is
    // still there (time to finish writing); without a grace KILL comes at once.
    std::chrono::milliseconds termGrace{0};
    // A program still running when stop is requested (Veldrin quitting) is
    // killed, or with this set left to finish on its own, its output drained.
    bool outlivesStop = false;
};

enum class ShellFailure {
    none,          // the program ran; its status is real
    couldNotStart, // the output is the launch error's description
    noAnswer,      // not finished within the time bound; killed
    tooMuchOutput, // printed more than the cap; killed
    stopped,       // the application is quitting; killed, or left running where it outlives that
};

struct ShellResult {
    int status = 1;
    QString output;
    ShellFailure failure = ShellFailure::none;
};

// What to make of output that is not valid UTF-8: the empty text, or the text
// with U+FFFD in place of each bad sequence.
enum class InvalidUtf8 { empty, replace };

// Reads the merged stdout/stderr until the program has exited (and its output
// has ended, or the drain time has passed). A program that cannot start gives
// status 1 and the launch error's description; one that breaks a limit, or is
// still running when `stop` is requested, is ended with its process group
// (see termGrace and outlivesStop) and gives status 1 with a description of
// what happened. Safe to call from any thread.
ShellResult shell(const QStringList& argv, const QueryLimits& limits, const StopToken& stop = {},
                  InvalidUtf8 invalid = InvalidUtf8::empty);

// "<program> did not answer within N seconds"
QString noAnswerDescription(const QString& program, std::chrono::milliseconds bound);

} // namespace veldrin
