#pragma once

// The synchronous runner: starts a program from an argument vector, waits for
// it within a bound, and hands back its exit status and merged output.

#include <QString>
#include <QStringList>

#include <chrono>

namespace veldrin {

struct ShellResult {
    int status = 1;
    QString output;
};

// Reads the merged stdout/stderr to end of file, then reaps the child. Output
// that is not valid UTF-8 gives the empty text. A program that cannot start
// gives status 1 and the launch error's description. A child that has not
// finished within `timeout` is killed with its process group and reaped; the
// result is status 1 and "<program> did not answer within N seconds".
// Safe to call from any thread.
ShellResult shell(const QStringList& argv, std::chrono::milliseconds timeout);

QString timeoutDescription(const QString& program, std::chrono::milliseconds timeout);

} // namespace veldrin
