#pragma once

// The text a log window has yet to show, and how it goes into the view's
// document: lines grouped into few blocks, a long line cut into display
// pieces, the start dropped once the window holds too much, and the end
// followed only while the user is there.

#include "gui/LineGrouper.h"

#include <QMutex>
#include <QPointer>
#include <QString>
#include <QWaitCondition>

#include <deque>
#include <memory>

class QPlainTextEdit;
class QTextDocument;

namespace veldrin {

// What the document holds, as the run wrote it: the notice left out, a long
// line's display pieces joined again.
QString transcriptOf(const QTextDocument& document);
// Whether the document has let the start of its transcript go.
bool startDropped(const QTextDocument& document);

// The first line of a window that no longer holds the start of its transcript.
QString earlierOutputNotice(const QString& historyFile);

// Pieces waiting for the main thread. append() runs on reader threads while
// the view lives on the main thread, so this is the one place where two
// threads meet. A mutex held for a few microseconds per piece (rewrite one
// read, queue or dequeue a string) is the simplest correct hand-off, and it
// lets a whole batch go over in one posted call instead of one queued call
// per piece.
class LogBuffer : public std::enable_shared_from_this<LogBuffer> {
public:
    // Main thread.
    static std::shared_ptr<LogBuffer> create(QPlainTextEdit* view);

    // Any thread. Another thread waits here while much is still pending, so
    // that a flood is held up in its pipe rather than in memory.
    void add(const QString& text);
    // Any thread: whether text added has yet to reach the view.
    bool hasPending() const;
    // Main thread: named by the notice once the start has been dropped.
    void setHistoryFile(const QString& path);

private:
    explicit LogBuffer(QPlainTextEdit* textView) : view(textView) {}
    void watchScrolling();
    void postFlush();
    void postFlushAfterRepaint();
    void flush();
    DisplayPiece takeFront(qsizetype room);
    bool dropStart(bool atEnd); // whether it dropped anything
    void followEnd(bool atEnd);

    QPointer<QPlainTextEdit> view; // main thread only
    QString historyFile;           // main thread only
    int knownMaximum = 0;          // main thread only: of the view's scroll bar
    bool adjusting = false;        // main thread only: flush() does the scrolling

    mutable QMutex mutex;
    QWaitCondition roomAvailable;
    LineGrouper grouper;             // guarded by mutex
    std::deque<DisplayPiece> pieces; // guarded by mutex
    qsizetype frontOffset = 0;       // guarded by mutex: consumed part of pieces.front()
    qsizetype pendingChars = 0;      // guarded by mutex
    quint64 piecesTaken = 0;         // guarded by mutex: by the main thread, ever
    int waiting = 0;                 // guarded by mutex: threads waiting for room
    bool mainThreadStalled = false;  // guarded by mutex
    bool flushPosted = false;        // guarded by mutex
};

} // namespace veldrin
