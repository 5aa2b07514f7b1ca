#include "platform/DesktopWorkspace.h"

#include "platform/StopToken.h"

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <poll.h>
#include <sys/wait.h>
#include <thread>

namespace veldrin {

namespace {

// How often a running xdg-open is looked at, before and after the answer.
constexpr std::chrono::milliseconds answerInterval(20);
constexpr std::chrono::milliseconds reapInterval(1000);

// The exit code, or for a program killed by a signal, that signal's number.
int exitCode(int waitStatus) {
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    return WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 1;
}

// What xdg-open's exit status says, in words, or nothing for success.
std::optional<QString> openFailure(int status, const QString& folder) {
    switch (status) {
    case 0:
        return std::nullopt;
    case 3: // "A required tool could not be found"
        return QStringLiteral("No file manager was found to show ") + folder + QLatin1Char('.');
    case 4: // "The action failed"
        return QStringLiteral("The file manager could not open ") + folder + QLatin1Char('.');
    default:
        return QStringLiteral("The folder ") + folder +
               QStringLiteral(" could not be opened (xdg-open exit code ") + QString::number(status) +
               QStringLiteral(").");
    }
}

class DesktopWorkspace : public Workspace {
public:
    DesktopWorkspace(StartProgram startProgram, std::chrono::milliseconds bound)
        : start(std::move(startProgram)), openBound(bound) {}
    ~DesktopWorkspace() override {
        // A file manager xdg-open still waits for stays open: it runs in a
        // session of its own, and only the waiting ends.
        quitting.requestStop();
        for (Opener& opener : openers)
            opener.thread.join();
    }

    void terminateApplications(const QStringList&) override {}

    void openFolder(const QString& path, FolderOpened done) override {
        forgetFinished();
        const QString folder = QDir::toNativeSeparators(path);
        const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (program.isEmpty()) {
            done(QStringLiteral("No file manager could be started to show ") + folder +
                 QStringLiteral(": xdg-open is not installed."));
            return;
        }
        // QDesktopServices would answer as soon as xdg-open has started, even
        // where it then finds nothing to open the folder with: its exit status
        // is what tells, so it is awaited, off the main thread.
        Opener& opener = openers.emplace_back();
        opener.thread = std::thread(
            [this, &opener, program, path, folder, done = std::move(done), stop = quitting.token()] {
                wait(program, path, folder, stop, [this, &done](const std::optional<QString>& failure) {
                    QMetaObject::invokeMethod(
                        &mainThread, [done, failure] { done(failure); }, Qt::QueuedConnection);
                });
                opener.finished = true;
            });
    }

private:
    struct Opener {
        std::thread thread;
        std::atomic<bool> finished = false;
    };

    // On the opener's thread: starts xdg-open and answers once, when it ends
    // or when the bound has passed; waits on to reap it, until Veldrin quits.
    void wait(const QString& program, const QString& path, const QString& folder, const StopToken& stop,
              const std::function<void(const std::optional<QString>&)>& answer) const {
        int error = 0;
        const pid_t pid = start({program, path}, &error);
        if (pid < 0)
            return answer(QStringLiteral("No file manager could be started to show ") + folder +
                          QStringLiteral(": ") + program + QStringLiteral(": ") +
                          QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.'));
        QElapsedTimer waited;
        waited.start();
        bool answered = false;
        while (!stop.stopRequested()) {
            int status = 0;
            const pid_t reaped = waitpid(pid, &status, WNOHANG);
            if (reaped == pid || (reaped < 0 && errno != EINTR)) {
                if (!answered)
                    answer(reaped == pid ? openFailure(exitCode(status), folder) : std::nullopt);
                return;
            }
            // Still running past the bound: most likely the file manager it
            // started in its foreground, which has shown the folder.
            if (!answered && waited.hasExpired(openBound.count())) {
                answer(std::nullopt);
                answered = true;
            }
            // Asked often at first, for a prompt answer; then now and then.
            pollfd quit{stop.fd(), POLLIN, 0};
            ::poll(&quit, quit.fd >= 0 ? 1 : 0, int((answered ? reapInterval : answerInterval).count()));
        }
    }

    void forgetFinished() {
        openers.remove_if([](Opener& opener) {
            if (!opener.finished)
                return false;
            opener.thread.join();
            return true;
        });
    }

    const StartProgram start;
    const std::chrono::milliseconds openBound;
    QObject mainThread; // context of the answers, dropped with it
    StopSource quitting;
    std::list<Opener> openers;
};

} // namespace

std::unique_ptr<Workspace> makeWorkspace(StartProgram start, std::chrono::milliseconds openBound) {
    return std::make_unique<DesktopWorkspace>(std::move(start), openBound);
}

} // namespace veldrin
