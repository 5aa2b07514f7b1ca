#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <unistd.h>

#if defined(__APPLE__)
#include <sys/proc.h>
#include <sys/sysctl.h>
#endif

namespace veldrin::test {

TempHome::TempHome() : oldHome_(qgetenv("HOME")) {
    if (qEnvironmentVariableIsSet("VELDRIN_SYSTEM_ROOT"))
        oldRoot_ = qgetenv("VELDRIN_SYSTEM_ROOT");
    QDir().mkpath(home());
    QDir().mkpath(systemRoot());
    qputenv("HOME", home().toUtf8());
    qputenv("VELDRIN_SYSTEM_ROOT", systemRoot().toUtf8());
}

TempHome::~TempHome() {
    // A test that failed half way may leave a controller script of this home
    // running, with helpers in its group: none outlives the test.
    const QByteArray path = dir_.path().toUtf8();
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number || pid == getpid())
            continue;
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains(path))
            continue;
        if (getpgid(pid) == pid && pid != getpgrp())
            ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
    qputenv("HOME", oldHome_);
    oldRoot_ ? qputenv("VELDRIN_SYSTEM_ROOT", *oldRoot_) : qunsetenv("VELDRIN_SYSTEM_ROOT");
}

QString TempHome::writeScript(const QString& relativePath, const QByteArray& content) const {
    return writeFile(home() + '/' + relativePath, content, true);
}

QByteArray TempHome::readFile(const QString& relativePath) const {
    QFile f(home() + '/' + relativePath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeFile(const QString& path, const QByteArray& content, bool executable) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        std::abort();
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

QByteArray recordingController(const QByteArray& body) {
    // Fields are separated by US (0x1f) and calls by RS (0x1e), so arguments may
    // hold anything; one write per call, so that concurrent calls cannot interleave.
    return QByteArray("#!/bin/sh\n"
                      "r=$#; us=$(printf '\\037'); for a in \"$@\"; do r=\"$r$us$a\"; done\n"
                      "printf '%s\\036' \"$r\" >> \"$HOME/calls\"\n") +
           body + "\n";
}

QList<QStringList> recordedCalls(const TempHome& home) {
    QList<QStringList> calls;
    for (const QString& record :
         QString::fromUtf8(home.readFile("calls")).split(QChar(0x1e), Qt::SkipEmptyParts))
        calls.append(record.split(QChar(0x1f)).mid(1)); // after the count
    return calls;
}

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!pred()) {
        if (deadline.hasExpired())
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
#if defined(__APPLE__)
    int query[] = {CTL_KERN, KERN_PROC, KERN_PROC_PID, static_cast<int>(pid)};
    struct kinfo_proc info {};
    size_t size = sizeof info;
    return sysctl(query, 4, &info, &size, nullptr, 0) == 0 && size > 0 && info.kp_proc.p_stat != SZOMB;
#else
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.size() > close + 2 && line[close + 2] != 'Z' && line[close + 2] != 'X';
#endif
}

} // namespace veldrin::test
