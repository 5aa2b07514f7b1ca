#pragma once

// The log window on the desktop: a plain window around a read-only,
// monospaced text view, 760 x 440.

#include "platform/LogWindow.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

namespace veldrin {

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

class LogBuffer;

class QtLogWindow : public LogWindow {
public:
    // Main thread. Builds the window without showing it: 760 x 440, centred,
    // or cascaded from `previous` while that is on screen.
    explicit QtLogWindow(const QString& title, const QWidget* previous = nullptr);
    // Main thread. A window still on screen stays there, with its transcript,
    // until the user closes it.
    ~QtLogWindow() override;
    QtLogWindow(const QtLogWindow&) = delete;
    QtLogWindow& operator=(const QtLogWindow&) = delete;

    void show() override;
    // The text is inserted on the main thread, as plain text, together with
    // everything else that arrived before that turn of the event loop.
    void append(const QString& text) override;
    void runStarted() override {}
    void runEnded(const RunOutcome&) override {}
    void setStopHandler(std::function<void()>) override {}
    void setHistoryFile(const QString&) override {}
    bool isActive() const override { return window_ && window_->isActiveWindow(); }

    QWidget* window() const { return window_; }
    ThemeAwareTextView* textView() const { return textView_; }
    // Main thread: what the view holds now (pending pieces not included).
    QString transcript() const;

private:
    QPointer<QWidget> window_;
    QPointer<ThemeAwareTextView> textView_;
    std::shared_ptr<LogBuffer> buffer_;
};

class QtLogWindows : public LogWindows {
public:
    std::shared_ptr<LogWindow> create(const QString& title) override;

private:
    QPointer<QWidget> previous_; // the window made last, while it exists
};

} // namespace veldrin
