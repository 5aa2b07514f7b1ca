#pragma once

// The log window on the desktop: a plain window around a read-only,
// monospaced text view, 760 x 440, with the run's strip above the transcript
// and a find bar below it.

#include "platform/LogWindows.h"

#include <QKeySequence>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;

namespace veldrin {

class Alerts;
class FindBar;
class LogBuffer;
class RunStrip;

// Where Save As… starts: the user's documents folder, or the home folder
// where there is none, and the history file's name (else one made of the title).
QString saveAsStartPath(const QString& title, const QString& historyFile);

// The transcript view: re-applies the system text colours when the palette
// switches between light and dark, so text already shown stays legible.
class ThemeAwareTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ThemeAwareTextView(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applySystemColours();
};

// The window itself. It holds everything its actions need, so that Find,
// Save As… and Close keep working after its LogWindow has gone.
class TranscriptWindow : public QWidget {
    Q_OBJECT
public:
    // Its alerts (a save that failed) go through `alerts`, which outlives it.
    TranscriptWindow(const QString& title, Alerts& alerts);

    ThemeAwareTextView* textView() const { return view; }
    RunStrip* strip() const { return runStrip; }
    FindBar* findBar() const { return bar; }
    void setHistoryFile(const QString& path) { historyFile = path; }
    // Writes the transcript to `path`, byte for byte (UTF-8): a copy of the
    // history file when there is one, since it holds the whole transcript
    // even when the view keeps only its end; else what the view holds, and
    // `onlyTheEnd` says whether that has let the start go.
    bool saveTranscript(const QString& path, QString* error = nullptr, bool* onlyTheEnd = nullptr) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addShortcut(const QString& text, const QKeySequence& keys, const std::function<void()>& run);
    void saveAs();
    void showContextMenu(const QPoint& at);

    ThemeAwareTextView* view;
    RunStrip* runStrip;
    FindBar* bar;
    QList<QAction*> menuActions; // offered in the transcript's context menu
    const QString plainTitle;    // as given, without the doubled marks
    Alerts& alerts;
    QString historyFile;
};

class QtLogWindow : public LogWindow {
public:
    // Main thread. Builds the window without showing it: 760 x 440, centred,
    // or cascaded from `previous` while that is on screen.
    QtLogWindow(const QString& title, Alerts& alerts, const QWidget* previous = nullptr);
    // Main thread. A window still on screen stays there, with its transcript,
    // until the user closes it.
    ~QtLogWindow() override;
    QtLogWindow(const QtLogWindow&) = delete;
    QtLogWindow& operator=(const QtLogWindow&) = delete;

    void show() override;
    // The text is inserted on the main thread, as plain text, together with
    // everything else that arrived before that turn of the event loop.
    void append(const QString& text) override;
    void runStarted() override;
    void runEnded(const RunOutcome& outcome) override;
    void setStopHandler(std::function<void()> requestStop) override;
    void setHistoryFile(const QString& path) override;
    bool isActive() const override;

    TranscriptWindow* window() const { return window_; }
    ThemeAwareTextView* textView() const { return window_ ? window_->textView() : nullptr; }
    // Main thread: what the view holds now (pending pieces not included).
    QString transcript() const;
    // Any thread: whether appended text has yet to reach the view.
    bool hasPendingText() const;

private:
    QPointer<TranscriptWindow> window_;
    std::shared_ptr<LogBuffer> buffer_;
};

class QtLogWindows : public LogWindows {
public:
    // The windows' alerts go through `alerts`, the application's own, so
    // that it knows of them (a menu choice while one is open waits).
    explicit QtLogWindows(Alerts& alerts) : alerts_(alerts) {}
    std::shared_ptr<LogWindow> create(const QString& title) override;

private:
    Alerts& alerts_;
    QPointer<QWidget> previous_; // the window made last, while it exists
};

} // namespace veldrin
