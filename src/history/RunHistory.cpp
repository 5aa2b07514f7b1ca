#include "history/RunHistory.h"

#include "history/PastRuns.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <QThread>
#include <utility>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace veldrin {

// What the writer thread works through. The records share it, so that one
// outliving the writer only finds its pieces dropped.
struct HistoryQueue {
    struct Piece {
        enum class Kind { open, write, finish } kind;
        std::shared_ptr<RunRecord> record;
        QByteArray bytes; // for finish, the outcome record
        RunOutcome outcome{};
    };

    HistoryQueue(QString dir, HistoryLimits l) : folder(std::move(dir)), limits(l) {}

    void enqueue(Piece piece) {
        const QCoreApplication* app = QCoreApplication::instance();
        const bool mainThread = !app || QThread::currentThread() == app->thread();
        std::unique_lock lock(mutex);
        if (!mainThread)
            changed.wait(lock, [&] { return ending || pending < limits.pendingBytes; });
        if (ending)
            return;
        pending += piece.bytes.size();
        ++enqueued;
        queue.push_back(std::move(piece));
        changed.notify_all();
    }

    void flush() {
        std::unique_lock lock(mutex);
        const std::uint64_t target = enqueued;
        changed.wait(lock, [&] { return written >= target; });
    }

    // Works through the queue, and once ending, through what is left.
    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return ending || !queue.empty(); });
            if (queue.empty())
                return;
            Piece piece = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            write(piece);
            const qsizetype size = piece.bytes.size();
            piece = {};
            lock.lock();
            pending -= size;
            ++written;
            changed.notify_all();
        }
    }

    void write(const Piece& piece) {
        RunRecord& record = *piece.record;
        const auto it = files.find(&record);
        if (piece.kind == Piece::Kind::finish) {
            const QString path = record.path();
            if (it != files.end())
                files.erase(it); // closed: its lock goes
            writeOutcome(record, piece.outcome);
            prune(path); // its size is known now
            return;
        }
        if (piece.kind == Piece::Kind::open)
            return open(record);
        if (it == files.end())
            return; // never opened, or failed
        errno = 0;
        if (it->second->write(piece.bytes) != piece.bytes.size()) {
            // The system's reason ("No space left on device") where Qt has none of its own.
            const int error = errno;
            fail(record,
                 record.path() + QStringLiteral(": ") +
                     (error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : it->second->errorString()));
            files.erase(it);
        }
    }

    // The file made for the record when the run began.
    void open(RunRecord& record) {
        const int fd = std::exchange(record.fd_, -1);
        if (fd < 0)
            return fail(record, record.why_);
        auto file = std::make_unique<QFile>();
        // Unbuffered: each piece goes to the file as it comes.
        if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return fail(record, record.path() + QStringLiteral(": ") + file->errorString());
        }
        {
            const std::lock_guard recordLock(record.mutex_);
            record.opened_ = true;
        }
        files.emplace(&record, std::move(file));
        prune({});
    }

    // Beside the transcript, once it is complete: how the run ended, and
    // whether all of it reached the disk.
    void writeOutcome(RunRecord& record, RunOutcome outcome) {
        if (!record.started())
            return;
        outcome.savedWhole = outcome.savedWhole && record.saved();
        QSaveFile file(outcomeFileOf(record.path()));
        const QByteArray bytes = outcomeRecord(outcome);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            fail(record, outcomeFileOf(record.path()) + QStringLiteral(": ") + file.errorString());
    }

    // The run goes on unrecorded; standard error hears of it once.
    void fail(RunRecord& record, const QString& why) {
        {
            const std::lock_guard recordLock(record.mutex_);
            record.failed_ = true;
        }
        if (!warned) {
            warned = true;
            std::fprintf(stderr, "veldrin: cannot write the run history (%s); runs go on unrecorded\n",
                         qUtf8Printable(why));
        }
    }

    // The oldest first; only history files count and go (each with its
    // outcome file), never another file that happens to be in the folder.
    // Runs still being written stay, by this Veldrin or another (their files
    // are locked); so do the newest, even alone past the size (its window
    // may name it as the one place that holds it whole), and the run that
    // just ended, whatever the clock said when it began.
    void prune(const QString& justEnded) {
        const QList<HistoryFile> saved = historyFiles(folder);
        qint64 total = 0;
        for (const HistoryFile& file : saved)
            total += file.size;
        qsizetype count = saved.size();
        for (const HistoryFile& file : saved) {
            if ((count <= limits.runs && total <= limits.bytes) || &file == &saved.back())
                break;
            if (file.path == justEnded || beingWritten(file.path) || !removeUnlessLocked(file.path))
                continue;
            --count;
            total -= file.size;
        }
        removeStrayOutcomes();
    }

    bool beingWritten(const QString& path) const {
        return std::any_of(files.begin(), files.end(),
                           [&](const auto& f) { return f.first->path() == path; });
    }

    // Unless a Veldrin writes it (and holds its lock): removed with its outcome.
    static bool removeUnlessLocked(const QString& path) {
        const QByteArray name = QFile::encodeName(path);
        const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        const bool removed = free && ::unlink(name.constData()) == 0;
        ::close(fd);
        if (removed)
            QFile::remove(outcomeFileOf(path));
        return removed;
    }

    // The outcome file of a run whose transcript has gone (the user removed it).
    void removeStrayOutcomes() {
        for (const QFileInfo& file :
             QDir(folder).entryInfoList({QStringLiteral("*.outcome")}, QDir::Files | QDir::NoSymLinks)) {
            const QString log = file.absoluteFilePath().chopped(8) + QStringLiteral(".log");
            if (parseHistoryFileName(QFileInfo(log).fileName()) && !QFileInfo::exists(log))
                QFile::remove(file.absoluteFilePath());
        }
    }

    const QString folder;
    const HistoryLimits limits;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Piece> queue;
    qint64 pending = 0;
    std::uint64_t enqueued = 0, written = 0;
    bool ending = false;
    bool warned = false;                                      // writer thread only
    std::map<const RunRecord*, std::unique_ptr<QFile>> files; // writer thread only: runs being written
    std::thread thread;
};

RunRecord::RunRecord(std::shared_ptr<HistoryQueue> queue, QString path, int fd, QString why)
    : queue_(std::move(queue)), path_(std::move(path)), fd_(fd), why_(std::move(why)) {}

RunRecord::~RunRecord() {
    if (fd_ >= 0) // never handed over: the writer had ended
        ::close(fd_);
}

void RunRecord::append(const QString& text) {
    if (text.isEmpty())
        return;
    {
        const std::lock_guard lock(mutex_);
        partialLine_ += text;
        const qsizetype end = partialLine_.lastIndexOf(QLatin1Char('\n'));
        if (end >= 0) {
            // The last complete line that is not blank, looked for from the end.
            for (qsizetype stop = end; stop >= 0;) {
                const qsizetype start =
                    stop == 0 ? 0 : partialLine_.lastIndexOf(QLatin1Char('\n'), stop - 1) + 1;
                const QStringView line = QStringView(partialLine_).mid(start, stop - start);
                if (!line.trimmed().isEmpty()) {
                    lastLine_ = line.toString();
                    break;
                }
                stop = start - 1;
            }
            partialLine_.remove(0, end + 1);
        }
        // Only the end of an endless line can become the last line.
        if (partialLine_.size() > 4096)
            partialLine_ = partialLine_.right(4096);
    }
    queue_->enqueue({HistoryQueue::Piece::Kind::write, shared_from_this(), text.toUtf8()});
}

bool RunRecord::saved() const {
    const std::lock_guard lock(mutex_);
    return !failed_;
}

bool RunRecord::started() const {
    const std::lock_guard lock(mutex_);
    return opened_;
}

QString RunRecord::lastLine() const {
    const std::lock_guard lock(mutex_);
    return partialLine_.trimmed().isEmpty() ? lastLine_ : partialLine_;
}

void RunRecord::finish(const RunOutcome& outcome) {
    queue_->enqueue({HistoryQueue::Piece::Kind::finish, shared_from_this(), {}, outcome});
}

HistoryWriter::HistoryWriter(QString folder, HistoryLimits limits)
    : folder_(folder), queue_(std::make_shared<HistoryQueue>(std::move(folder), limits)) {
    queue_->thread = std::thread([queue = queue_.get()] { queue->run(); });
}

HistoryWriter::~HistoryWriter() {
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->ending = true;
    }
    queue_->changed.notify_all();
    queue_->thread.join();
}

std::shared_ptr<RunRecord> HistoryWriter::begin(const QString& title, TimePoint started) {
    // Runs that start within one second are numbered from the second on, so
    // that their order survives in their names. The name is taken here, by
    // making the file (locked at once): another Veldrin writing to the same
    // folder takes the next number instead.
    const qint64 second =
        QDateTime::fromMSecsSinceEpoch(started.time_since_epoch().count()).toSecsSinceEpoch();
    HistoryFileName name{started, second == lastSecond_ ? lastSequence_ + 1 : 1, fileNameTitle(title)};
    QString path;
    int fd = -1;
    QString why;
    if (!QDir().mkpath(folder_))
        why = QStringLiteral("cannot make the folder ") + folder_;
    for (int attempt = 0; why.isEmpty() && attempt < 1000; ++attempt, ++name.sequence) {
        path = folder_ + QLatin1Char('/') + historyFileName(name);
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0644);
        if (fd >= 0) {
            ::flock(fd, LOCK_SH);
            break;
        }
        if (errno != EEXIST)
            why = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    if (fd >= 0) {
        lastSecond_ = second;
        lastSequence_ = name.sequence;
    } else if (why.isEmpty()) {
        why = path + QStringLiteral(": every name of its second is taken");
    }
    auto record = std::make_shared<RunRecord>(
        queue_, path.isEmpty() ? folder_ + QLatin1Char('/') + historyFileName(name) : path, fd, why);
    queue_->enqueue({HistoryQueue::Piece::Kind::open, record, {}});
    return record;
}

void HistoryWriter::flush() {
    queue_->flush();
}

QString fileNameTitle(const QString& title) {
    // A file name holds 255 bytes: the title keeps to 200 of them in UTF-8,
    // and never ends inside a character.
    QString name;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < title.size() && i < 100;) {
        const qsizetype length = title[i].isHighSurrogate() && i + 1 < title.size() ? 2 : 1;
        const qsizetype encoded = QStringView(title).mid(i, length).toUtf8().size();
        if (bytes + encoded > 200 || i + length > 100)
            break;
        bytes += encoded;
        name += QStringView(title).mid(i, length);
        i += length;
    }
    for (QChar& c : name) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
            c == QLatin1Char(':') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char('_');
    }
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return name;
}

} // namespace veldrin
