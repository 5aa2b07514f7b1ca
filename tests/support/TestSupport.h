#pragma once

// Shared helpers for the test programs: a temporary HOME, executable scripts
// written into it, and waiting on the Qt event loop.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << "{\"" << texts.join("\", \"").toStdString() << "\"}";
}

namespace veldrin::test {

// Points HOME (and VELDRIN_SYSTEM_ROOT) at fresh temporary folders for the
// lifetime of the object and restores both afterwards.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString home() const { return dir_.filePath("home"); } // no trailing slash
    QString systemRoot() const { return dir_.filePath("root"); }
    // Writes an executable file at home()/relativePath (folders made as needed).
    QString writeScript(const QString& relativePath, const QByteArray& content) const;
    QString writeController(const QByteArray& content) const { return writeScript("bin/veldrin", content); }
    QByteArray readFile(const QString& relativePath) const;

private:
    QTemporaryDir dir_;
    QByteArray oldHome_;
    std::optional<QByteArray> oldRoot_;
};

// Writes `content` at `path` (folders made as needed), executable or not.
QString writeFile(const QString& path, const QByteArray& content, bool executable = false);
// The first line a child prints on its output pipe, without the line feed.
QString firstLine(int fd);

// A controller script that records every argument vector it receives (in
// $HOME/calls) and then runs `body` (sh).
QByteArray recordingController(const QByteArray& body = {});
// The argument vectors recorded so far, in call order.
QList<QStringList> recordedCalls(const TempHome& home);

// Runs the Qt event loop until pred() holds or the timeout passes; returns pred().
bool waitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Kills that one process; an identifier that is not one process's (0, -1, a
// file read too early) is left alone rather than signalling a whole group.
void killProcess(qint64 pid);

// True while a process of that id exists and has not exited (zombies count as gone).
bool processAlive(qint64 pid);

} // namespace veldrin::test
