#include "gui/LogBuffer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include <functional>

namespace veldrin {

namespace {

// The most one turn of the event loop inserts: a character cap, and a time
// budget checked between pieces. Together they bound how long the menu bar
// waits while a chatty run floods the window, on a fast machine and on a slow
// one alike; what is left follows on the next turn. The cap leaves room in
// the same turn for laying out the new end (several milliseconds where emoji
// and CJK text need fallback fonts) and for the document compacting its
// buffer now and then (over 10 ms for a full window).
constexpr qsizetype maxCharsPerFlush = 256 * 1024;
constexpr qint64 flushBudgetMs = 14;
// Below this a batch always goes in whole, however slow the turn.
constexpr qsizetype minCharsPerFlush = 64 * 1024;
// Qt repaints what a turn changed in the next one, which would also flush
// again. After a flush this long (compacting the document), or one that went
// on with a long line (whose end is costly to lay out and to draw), the next
// flush waits a turn so that the repaint has one of its own; otherwise the
// two share a turn, which streams ordinary text faster.
constexpr qint64 repaintApartMs = 10;

// The window keeps the end of a huge transcript (its history file keeps it
// all); the start goes half a megabyte at a time, not a few lines every turn.
// Now and then the document compacts its buffer, a copy of all it holds, in
// whichever turn fills it: about 15 ms at this size. At 8 MiB it took 25 ms,
// and a slow spell of the machine made that turn over 50 ms.
constexpr int maxShownChars = 4 * 1024 * 1024;
constexpr int dropSlack = 512 * 1024;

// Another thread's append() waits while this much is pending (a few turns'
// worth), so a flood stays in the controller's pipe rather than in memory.
constexpr qsizetype maxPendingChars = 2 * 1024 * 1024;
// ...unless the main thread has taken nothing for this long: it may be
// joining the very thread that waits (at exit) or waiting on a controller
// itself, and a reader must not hang on it. Nothing is dropped either way.
constexpr int stallLimitMs = 1000;

// Block marks (QTextBlock::userState).
constexpr int continuationState = 1; // goes on with the line of the block before
constexpr int noticeState = 2;       // the notice, not part of the transcript

// An event that runs a function where it is delivered. Posted at a low
// priority, it comes after the repaint a flush asked for, which Qt posts at
// the same priority just before.
class CallEvent : public QEvent {
public:
    explicit CallEvent(std::function<void()> f) : QEvent(kind()), call(std::move(f)) {}
    static QEvent::Type kind() {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    const std::function<void()> call;
};

class CallReceiver : public QObject {
public:
    using QObject::QObject;
    bool event(QEvent* e) override {
        if (e->type() != CallEvent::kind())
            return QObject::event(e);
        static_cast<CallEvent*>(e)->call();
        return true;
    }
};

// Main thread: runs `f` in a later turn of the event loop than the repaint
// of what the current one changed.
void callAfterRepaint(std::function<void()> f) {
    QCoreApplication* app = QCoreApplication::instance();
    static QPointer<CallReceiver> receiver;
    if (!receiver)
        receiver = new CallReceiver(app);
    QCoreApplication::postEvent(receiver, new CallEvent(std::move(f)), Qt::LowEventPriority);
}

QTextCharFormat noticeFormat() {
    QTextCharFormat format;
    format.setFontItalic(true);
    return format;
}

} // namespace

bool startDropped(const QTextDocument& document) {
    return document.firstBlock().userState() == noticeState;
}

QString transcriptOf(const QTextDocument& document) {
    QString text;
    text.reserve(document.characterCount());
    bool first = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.userState() == noticeState)
            continue;
        if (!first && block.userState() != continuationState)
            text += QLatin1Char('\n');
        first = false;
        text += block.text();
    }
    // Raw block text keeps characters such as U+00A0 that toPlainText() would
    // rewrite; only the soft line breaks go back to line feeds.
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QString earlierOutputNotice(const QString& historyFile) {
    if (historyFile.isEmpty())
        return QStringLiteral("Earlier output is not shown here.");
    return QStringLiteral("Earlier output is not shown here; the whole transcript is in ") +
           QDir::toNativeSeparators(historyFile) + QLatin1Char('.');
}

std::shared_ptr<LogBuffer> LogBuffer::create(QPlainTextEdit* view) {
    std::shared_ptr<LogBuffer> buffer(new LogBuffer(view));
    buffer->watchScrolling();
    return buffer;
}

void LogBuffer::watchScrolling() {
    QScrollBar* bar = view->verticalScrollBar();
    knownMaximum = bar->maximum();
    const std::weak_ptr<LogBuffer> weak = weak_from_this();
    // Lines laid out later (wrapping, a narrower window) keep a view that was
    // at the end there. The signal comes before the value is bounded again,
    // so the value still tells where the view was.
    QObject::connect(bar, &QScrollBar::rangeChanged, view, [weak, bar](int, int maximum) {
        const auto self = weak.lock();
        if (!self)
            return;
        if (!self->adjusting && bar->value() >= self->knownMaximum)
            bar->setValue(maximum);
        self->knownMaximum = maximum;
    });
}

void LogBuffer::add(const QString& text) {
    const QCoreApplication* app = QCoreApplication::instance();
    const bool mayWait = app && QThread::currentThread() != app->thread();
    {
        QMutexLocker lock(&mutex);
        while (mayWait && pendingChars >= maxPendingChars && !mainThreadStalled) {
            const quint64 seen = piecesTaken;
            ++waiting;
            const bool woken = roomAvailable.wait(&mutex, QDeadlineTimer(stallLimitMs));
            --waiting;
            if (!woken && piecesTaken == seen)
                mainThreadStalled = true;
        }
        // Rewritten here, under the lock so that the grouping follows the
        // order of the pieces, and off the main thread.
        const size_t before = pieces.size();
        grouper.rewrite(text, pieces);
        for (size_t i = before; i < pieces.size(); ++i)
            pendingChars += pieces[i].text.size();
        if (flushPosted)
            return;
        flushPosted = true;
    }
    postFlush();
}

bool LogBuffer::hasPending() const {
    QMutexLocker lock(&mutex);
    return !pieces.empty();
}

void LogBuffer::setHistoryFile(const QString& path) {
    historyFile = path;
    if (!view || view->document()->firstBlock().userState() != noticeState)
        return;
    QTextCursor cursor(view->document()->firstBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(earlierOutputNotice(historyFile), noticeFormat());
}

void LogBuffer::postFlush() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // The posted call keeps the buffer alive, so pieces appended just before
    // the LogWindow went away still reach its window.
    QMetaObject::invokeMethod(
        app, [self = shared_from_this()] { self->flush(); }, Qt::QueuedConnection);
}

// Main thread. The next flush, a turn after the repaint of this one's changes.
void LogBuffer::postFlushAfterRepaint() {
    callAfterRepaint([self = shared_from_this()] { self->postFlush(); });
}

// Main thread. Inserts what has arrived as one edit block, so the view lays
// out and scrolls once however many pieces it holds; stops at the size cap or
// the time budget and leaves the rest to the next turn. A window grown past
// its limit drops its start first, in a turn of its own.
void LogBuffer::flush() {
    QElapsedTimer took;
    took.start();
    QTextCursor cursor;
    // The user decides by scrolling: at the end the view follows the output,
    // anywhere else it holds still. (The view moves its scroll bar without a
    // signal, so only the bar's value at this moment tells.)
    bool atEnd = false;
    if (view) {
        atEnd = view->verticalScrollBar()->value() >= view->verticalScrollBar()->maximum();
        adjusting = true;
        if (view->document()->characterCount() > maxShownChars + dropSlack && dropStart(atEnd)) {
            followEnd(atEnd);
            adjusting = false;
            postFlushAfterRepaint(); // the whole view moved
            return;
        }
        // A cursor of our own leaves the user's selection alone, and
        // insertText never interprets markup. The empty format lets the
        // palette decide the colour, so a theme switch recolours old text.
        // Placed after the edit has begun, it lays nothing out to find its
        // place (moving it to the end lays out the block it starts in).
        cursor = QTextCursor(view->document());
        cursor.beginEditBlock();
        cursor.setPosition(view->document()->characterCount() - 1);
    }
    QElapsedTimer spent;
    spent.start();
    qsizetype room = maxCharsPerFlush;
    bool more = false;
    bool longLine = false;
    for (;;) {
        DisplayPiece piece;
        {
            QMutexLocker lock(&mutex);
            if (pieces.empty()) {
                // A window grown past its limit drops its start in the next turn.
                more = view && view->document()->characterCount() > maxShownChars + dropSlack;
                flushPosted = more;
                break;
            }
            if (room > maxCharsPerFlush - minCharsPerFlush || spent.elapsed() < flushBudgetMs)
                piece = takeFront(room);
            if (piece.text.isEmpty()) {
                more = true;
                break;
            }
            pendingChars -= piece.text.size();
            ++piecesTaken;
            mainThreadStalled = false;
            if (waiting > 0 && pendingChars < maxPendingChars)
                roomAvailable.wakeAll();
        }
        room -= piece.text.size();
        if (!view)
            continue;
        longLine = longLine || piece.continuesLine;
        if (piece.continuesLine) {
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
            cursor.block().setUserState(continuationState);
        }
        cursor.insertText(piece.text, QTextCharFormat());
    }
    if (view) {
        cursor.endEditBlock();
        followEnd(atEnd);
        adjusting = false;
    }
    if (more && (longLine || took.elapsed() >= repaintApartMs))
        postFlushAfterRepaint();
    else if (more)
        postFlush();
}

void LogBuffer::followEnd(bool atEnd) {
    if (!atEnd)
        return;
    QScrollBar* bar = view->verticalScrollBar();
    if (bar->maximum() - bar->value() <= bar->pageStep()) {
        bar->setValue(bar->maximum());
        return;
    }
    // A jump of more than a page: with the viewport's updates on, the view
    // first lays out the blocks between the old top and the new one to move
    // the pixels already drawn, pages of a long line that nobody will see.
    // With them off it only moves its top, and turning them on again
    // repaints it whole, as a jump that far needs anyway.
    QWidget* viewport = view->viewport();
    const bool updates = viewport->updatesEnabled();
    viewport->setUpdatesEnabled(false);
    bar->setValue(bar->maximum());
    viewport->setUpdatesEnabled(updates);
}

// Up to `room` characters from the front of the queue. Never splits a
// surrogate pair, so a character is never drawn in two halves.
DisplayPiece LogBuffer::takeFront(qsizetype room) {
    DisplayPiece& front = pieces.front();
    const bool continues = front.continuesLine && frontOffset == 0;
    const qsizetype left = front.text.size() - frontOffset;
    if (left <= room) {
        DisplayPiece piece{frontOffset == 0 ? std::move(front.text) : front.text.sliced(frontOffset),
                           continues};
        pieces.pop_front();
        frontOffset = 0;
        return piece;
    }
    qsizetype cut = room;
    if (cut > 0 && front.text.at(frontOffset + cut - 1).isHighSurrogate())
        --cut;
    DisplayPiece piece{front.text.sliced(frontOffset, cut), continues};
    frontOffset += cut;
    return piece;
}

// Main thread. Drops whole blocks from the start of a window that holds too
// much, leaving the notice in their place; a view the user has scrolled up
// keeps showing the same text while it is still there.
bool LogBuffer::dropStart(bool atEnd) {
    QTextDocument* document = view->document();
    const int size = document->characterCount();
    const bool noticeShown = document->firstBlock().userState() == noticeState;
    const QTextBlock first = noticeShown ? document->firstBlock().next() : document->firstBlock();
    const QTextBlock keep = document->findBlock(size - maxShownChars);
    if (keep.position() <= first.position())
        return false;

    QScrollBar* bar = view->verticalScrollBar();
    const QTextBlock top = document->findBlockByLineNumber(bar->value());
    const int topPosition = top.position();
    const int lineInTop = bar->value() - top.firstLineNumber();

    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setPosition(first.position());
    cursor.setPosition(keep.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (!noticeShown) {
        // The new first block takes the old one's mark; the old one keeps its own.
        const int state = document->firstBlock().userState();
        cursor.setPosition(0);
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        document->firstBlock().next().setUserState(state);
        cursor.setPosition(0);
        cursor.insertText(earlierOutputNotice(historyFile), noticeFormat());
        document->firstBlock().setUserState(noticeState);
    }
    cursor.endEditBlock();

    if (atEnd)
        return true;
    const int moved = size - document->characterCount();
    const int heldPosition = topPosition - moved;
    if (heldPosition < document->firstBlock().next().position()) {
        bar->setValue(0);
        return true;
    }
    const QTextBlock held = document->findBlock(heldPosition);
    bar->setValue(held.firstLineNumber() + lineInTop);
    return true;
}

} // namespace veldrin
