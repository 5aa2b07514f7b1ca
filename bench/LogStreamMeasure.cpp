#include "LogStreamMeasure.h"

#include "exec/Utf8Stream.h"
#include "gui/LogWindow.h"
#include "gui/QtAlerts.h"
#include "history/RunHistory.h"

#include <QAbstractEventDispatcher>
#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace veldrin::bench {

namespace {

constexpr qsizetype readSize = 4096;

class Generator {
public:
    // No carriage returns: the view shows them as line breaks, which would
    // not be byte-exact.
    // Ends with `end`: a line feed, or a space to keep one line going.
    void appendLine(QByteArray& out, char end = '\n') {
        static const char* const words[] = {"sync",
                                            "copied",
                                            "files",
                                            "~/.codex-alt",
                                            "\xE2\x80\x94",
                                            "caf\xC3\xA9",
                                            "na\xC3\xAFve",
                                            "\xE2\x86\x94",
                                            "\xE2\x86\x92",
                                            "\xC2\xB7",
                                            "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                            "\xF0\x9F\x9A\x80",
                                            "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
                                            "<b>bold?</b>",
                                            "&amp;",
                                            "rollout",
                                            "conflict",
                                            "resolved",
                                            "\xE2\x88\x91",
                                            "\xC2\xA0",
                                            "ok",
                                            "warning:",
                                            "0x7f3a",
                                            "\xE2\x80\xA6"};
        constexpr std::uint32_t wordCount = sizeof(words) / sizeof(words[0]);
        out += '[';
        out += QByteArray::number(line++);
        out += "] ";
        const std::uint32_t n = 3 + next() % 20;
        for (std::uint32_t i = 0; i < n; ++i) {
            out += words[next() % wordCount];
            out += ' ';
        }
        out += end;
    }

private:
    std::uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    std::uint32_t state = 20240611u;
    std::uint64_t line = 0;
};

double seconds(const timeval& tv) {
    return double(tv.tv_sec) + tv.tv_usec / 1e6;
}

// The peak resident memory of this process: VmHWM, because ru_maxrss keeps
// the parent's peak across the exec that started this process.
double peakResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() * 1024 / megabyte;
    }
    return 0;
}

using Sink = std::function<void(const QString&)>;

// Streams the file, `repeats` times over, through cat and `sink` (called on
// the reader thread), and runs the event loop until `shown` says the view
// holds all of it.
Result streamThrough(const QString& file, int repeats, const Sink& sink, const std::function<bool()>& shown) {
    Result result;
    result.bytes = QFileInfo(file).size() * repeats;

    QElapsedTimer clock;
    clock.start();
    std::vector<std::string> argv{"/bin/cat"};
    for (int i = 0; i < repeats; ++i)
        argv.push_back(QFile::encodeName(file).toStdString());
    const auto child = spawnWithPipe(argv, true);
    if (!child) {
        std::fprintf(stderr, "could not start /bin/cat: %s\n", std::strerror(errno));
        return result;
    }
    std::atomic<bool> readerDone = false;
    std::thread reader([fd = child->second, &sink, &readerDone] {
        Utf8StreamDecoder decoder;
        char buf[readSize];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            sink(decoder.feed(QByteArrayView(buf, n)));
        }
        const QString rest = decoder.finish();
        if (!rest.isEmpty())
            sink(rest);
        ::close(fd);
        readerDone = true;
    });

    // Every turn of the event loop starts with aboutToBlock, so the longest
    // time between two of them is the longest the loop could not look at
    // input or paint. The 1 ms timer keeps the loop turning when it would
    // otherwise sleep; its own longest gap is reported too, a coarser figure,
    // since Qt runs timers at most every other turn while posted events keep
    // coming.
    QEventLoop loop;
    QElapsedTimer sinceTurn;
    double longestTurn = 0;
    const auto turns =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&] {
            longestTurn = std::max(longestTurn, sinceTurn.nsecsElapsed() / 1e6);
            sinceTurn.restart();
        });
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QElapsedTimer sinceTick;
    double longestTick = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestTick = std::max(longestTick, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
        if (readerDone && shown())
            loop.quit();
    });
    rusage before{};
    ::getrusage(RUSAGE_THREAD, &before);
    tick.start();
    sinceTick.start();
    sinceTurn.start();
    loop.exec();
    result.seconds = clock.nsecsElapsed() / 1e9;
    rusage after{};
    ::getrusage(RUSAGE_THREAD, &after);
    QObject::disconnect(turns);
    result.longestStretchMs = longestTurn;
    result.longestTimerGapMs = longestTick;
    result.busyShare = (seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
                        seconds(before.ru_stime)) /
                       result.seconds;
    result.pageFaults = after.ru_minflt - before.ru_minflt;
    result.peakResidentMb = peakResidentMb();

    reader.join();
    int status = 0;
    ::waitpid(child->first, &status, 0);
    return result;
}

// Frees the window and its document now rather than in a later event loop.
void dispose(std::unique_ptr<QtLogWindow> log) {
    log->window()->close();
    log.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The last `bytes` bytes of the file.
QByteArray fileEnd(const QString& file, qsizetype bytes) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly) || bytes > in.size() || !in.seek(in.size() - bytes))
        return {};
    return in.read(bytes);
}

} // namespace

QByteArray Result::toLine() const {
    char line[256];
    std::snprintf(line, sizeof line, "RESULT %lld %.6f %.3f %.3f %.4f %ld %.1f %d\n",
                  static_cast<long long>(bytes), seconds, longestStretchMs, longestTimerGapMs, busyShare,
                  pageFaults, peakResidentMb, exact ? 1 : 0);
    return line;
}

std::optional<Result> Result::fromLine(const QByteArray& line) {
    Result r;
    long long bytes = 0;
    int exact = 0;
    if (std::sscanf(line.constData(), "RESULT %lld %lf %lf %lf %lf %ld %lf %d", &bytes, &r.seconds,
                    &r.longestStretchMs, &r.longestTimerGapMs, &r.busyShare, &r.pageFaults, &r.peakResidentMb,
                    &exact) != 8)
        return std::nullopt;
    r.bytes = bytes;
    r.exact = exact != 0;
    return r;
}

QByteArray generateText(qsizetype bytes) {
    QByteArray out;
    out.reserve(bytes + 1024);
    Generator gen;
    while (out.size() < bytes)
        gen.appendLine(out);
    return out;
}

QByteArray generateLine(qsizetype bytes) {
    QByteArray out;
    out.reserve(bytes + 1024);
    Generator gen;
    while (out.size() < bytes)
        gen.appendLine(out, ' ');
    return out;
}

std::optional<std::pair<pid_t, int>> spawnWithPipe(const std::vector<std::string>& argv, bool withStderr) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (withStderr)
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        errno = rc;
        return std::nullopt;
    }
    return std::make_pair(pid, fds[0]);
}

Result measure(Handover handover, const QString& file, int repeats) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};

    QtAlerts alerts; // none opens here
    // Warm up as a running application would be: fonts, including the
    // fallbacks for the emoji and CJK in the text, loaded and cached.
    {
        auto log = std::make_unique<QtLogWindow>(QStringLiteral("Warm-up"), alerts);
        log->show();
        log->append(QString::fromUtf8(in.read(65536)));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        // The window lays out only what it shows; every line of the sample
        // laid out once loads the fallbacks for all the characters in it.
        const QTextDocument* document = log->textView()->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            document->documentLayout()->blockBoundingRect(block);
        dispose(std::move(log));
    }

    auto log = std::make_unique<QtLogWindow>(QStringLiteral("Benchmark"), alerts);
    log->show();
    QtLogWindow* w = log.get();
    QPlainTextEdit* view = w->textView();
    Sink sink;
    std::function<bool()> shown;
    QTemporaryDir historyFolder;
    std::optional<HistoryWriter> history;
    std::shared_ptr<RunRecord> record;
    if (handover == Handover::WithHistory) {
        history.emplace(historyFolder.path());
        record = history->begin(
            QStringLiteral("Benchmark"),
            std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now()));
        sink = [w, record](const QString& piece) {
            w->append(piece);
            record->append(piece);
        };
        shown = [w] { return !w->hasPendingText(); };
    } else if (handover == Handover::Batched) {
        sink = [w](const QString& piece) { w->append(piece); };
        shown = [w] { return !w->hasPendingText(); };
    } else {
        // Same window and view; only the hand-over differs.
        sink = [view](const QString& piece) {
            QMetaObject::invokeMethod(
                view,
                [view, piece] {
                    QTextCursor cursor(view->document());
                    cursor.movePosition(QTextCursor::End);
                    cursor.insertText(piece);
                    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
                },
                Qt::QueuedConnection);
        };
        in.seek(0);
        const qsizetype expectedChars = QString::fromUtf8(in.readAll()).size() * repeats;
        shown = [view, expectedChars] { return view->document()->characterCount() - 1 >= expectedChars; };
    }
    in.close();
    Result result = streamThrough(file, repeats, sink, shown);
    bool recorded = true;
    if (history) {
        // The run is over once its file is complete too.
        QElapsedTimer flushing;
        flushing.start();
        record->finish({});
        history->flush();
        result.seconds += double(flushing.nsecsElapsed()) / 1e9;
        QFile saved(record->path()), source(file);
        recorded = record->saved() && saved.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly);
        for (int i = 0; recorded && i < repeats; ++i) {
            source.seek(0);
            while (recorded && !source.atEnd()) {
                const QByteArray piece = source.read(1 << 20);
                recorded = saved.read(piece.size()) == piece;
            }
        }
        recorded = recorded && saved.atEnd();
    }
    const QByteArray kept = w->transcript().toUtf8();
    const bool whole = kept.size() == result.bytes;
    const bool notice = view->document()->firstBlock().text().startsWith(QStringLiteral("Earlier output"));
    result.exact = (whole || notice) && fileEnd(file, kept.size()) == kept && recorded;
    dispose(std::move(log));
    return result;
}

} // namespace veldrin::bench
