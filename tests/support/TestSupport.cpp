#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace veldrin::test {

TempHome::TempHome() {
    oldHome_ = qgetenv("HOME");
    hadRoot_ = qEnvironmentVariableIsSet("VELDRIN_SYSTEM_ROOT");
    oldRoot_ = qgetenv("VELDRIN_SYSTEM_ROOT");
    QDir(dir_.path()).mkpath("home");
    QDir(dir_.path()).mkpath("root");
    qputenv("HOME", home().toUtf8());
    qputenv("VELDRIN_SYSTEM_ROOT", systemRoot().toUtf8());
}

TempHome::~TempHome() {
    qputenv("HOME", oldHome_);
    if (hadRoot_)
        qputenv("VELDRIN_SYSTEM_ROOT", oldRoot_);
    else
        qunsetenv("VELDRIN_SYSTEM_ROOT");
}

QString TempHome::home() const {
    return QDir(dir_.path()).filePath("home");
}
QString TempHome::systemRoot() const {
    return QDir(dir_.path()).filePath("root");
}

QString TempHome::writeScript(const QString& relativePath, const QByteArray& content) const {
    return writeFile(QDir(home()).filePath(relativePath), content, true);
}

QString writeFile(const QString& path, const QByteArray& content, bool executable) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        std::abort();
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                         QFileDevice::ExeOther);
    return path;
}

QString firstLine(int fd) {
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return QString::fromUtf8(line);
}

QString TempHome::writeController(const QByteArray& content) const {
    return writeScript("bin/veldrin", content);
}

QByteArray TempHome::readFile(const QString& relativePath) const {
    QFile f(QDir(home()).filePath(relativePath));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QByteArray recordingController(const QByteArray& body) {
    // Fields are separated by US (0x1f) and calls by RS (0x1e), so arguments
    // may hold anything, line feeds included.
    // One write per call, so that concurrent calls cannot interleave.
    return QByteArray("#!/bin/sh\n"
                      "r=$#; us=$(printf '\\037'); for a in \"$@\"; do r=\"$r$us$a\"; done\n"
                      "printf '%s\\036' \"$r\" >> \"$HOME/calls\"\n") +
           body + "\n";
}

QList<QStringList> recordedCalls(const TempHome& home) {
    QList<QStringList> calls;
    const QString all = QString::fromUtf8(home.readFile("calls"));
    for (const QString& record : all.split(QChar(0x1e), Qt::SkipEmptyParts)) {
        QStringList fields = record.split(QChar(0x1f));
        fields.removeFirst(); // the count
        calls.append(fields);
    }
    return calls;
}

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeout.count())
            return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void killProcess(qint64 pid) {
    if (pid > 1)
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

bool processAlive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.size() > close + 2 && line[close + 2] != 'Z' && line[close + 2] != 'X';
}

} // namespace veldrin::test
