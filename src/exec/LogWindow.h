#pragma once

// A titled, read-only, monospaced transcript window that only grows and always
// shows its end. append() may be called from any thread.

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

class LogWindow {
public:
    // Main thread. Builds the window (760 x 440, centred) without showing it.
    explicit LogWindow(const QString& title);
    // Main thread. A window still on screen stays there, with its transcript,
    // until the user closes it.
    ~LogWindow();
    LogWindow(const LogWindow&) = delete;
    LogWindow& operator=(const LogWindow&) = delete;

    // Main thread: order front, make key, activate the application.
    void show();
    // Any thread. Returns at once; the text is inserted on the main thread, as
    // plain text, together with everything else that arrived before that turn
    // of the event loop. Pieces from one thread keep their order.
    void append(const QString& text);

    QWidget* window() const { return window_; }
    ThemeAwareTextView* textView() const { return textView_; }
    // Main thread: what the view holds now (pending pieces not included).
    QString transcript() const;

private:
    QPointer<QWidget> window_;
    QPointer<ThemeAwareTextView> textView_;
    std::shared_ptr<LogBuffer> buffer_;
};

} // namespace veldrin
