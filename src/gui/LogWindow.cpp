#include "gui/LogWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontDatabase>
#include <QMutex>
#include <QMutexLocker>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <deque>
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace veldrin {

namespace {

constexpr int windowWidth = 760;
constexpr int windowHeight = 440;
constexpr int fontPointSize = 12;
// How far each window sits from the one before: about a title bar.
constexpr int cascadeStep = 28;

// The most one turn of the event loop inserts: a character cap, and a time
// budget checked between pieces. Together they bound how long the menu bar
// waits while a chatty run floods the window, on a fast machine and on a slow
// one alike; what is left follows on the next turn.
constexpr qsizetype maxCharsPerFlush = 1024 * 1024;
constexpr qint64 flushBudgetMs = 14;
// Below this a batch always goes in whole, however slow the turn.
constexpr qsizetype minCharsPerFlush = 64 * 1024;

// Output lines per text block. The document pays for every block far more
// than for its characters, so consecutive lines share a block, separated by
// soft line breaks (U+2028) that look, wrap and copy exactly like line feeds.
constexpr int linesPerBlock = 8;

#if defined(__GLIBC__)
// A busy run grows the document's buffers to hundreds of megabytes. Once large
// blocks have been freed (an earlier big transcript), glibc slides its mmap
// threshold up to 32 MB, so a growing buffer stays on the heap that long and
// is then copied into fresh pages in one go: a stall of the main thread that
// reached 100 ms on a slow machine. With the threshold pinned, big buffers are
// mapped early and grow by remapping.
void keepLargeBuffersMapped() {
    static std::once_flag once;
    std::call_once(once, [] { mallopt(M_MMAP_THRESHOLD, 1024 * 1024); });
}
#else
void keepLargeBuffersMapped() {}
#endif

// Turns all but every linesPerBlock-th line end into a soft line break.
// Carriage returns end a line as the text view would treat them anyway (CR LF
// is one line end, even when the two arrive in different pieces).
class LineGrouper {
public:
    QString rewrite(const QString& text) {
        QString result(text.size(), Qt::Uninitialized);
        QChar* out = result.data();
        for (const QChar ch : text) {
            const char16_t c = ch.unicode();
            if (afterCarriageReturn && c == u'\n') {
                afterCarriageReturn = false;
                continue;
            }
            afterCarriageReturn = c == u'\r';
            if (c == u'\n' || c == u'\r') {
                if (++linesInBlock < linesPerBlock) {
                    *out++ = QChar::LineSeparator;
                } else {
                    *out++ = QLatin1Char('\n');
                    linesInBlock = 0;
                }
                continue;
            }
            if (c == QChar::ParagraphSeparator)
                linesInBlock = 0;
            else if (c == QChar::LineSeparator)
                ++linesInBlock;
            *out++ = ch;
        }
        result.truncate(out - result.constData());
        return result;
    }

private:
    int linesInBlock = 0;
    bool afterCarriageReturn = false;
};

} // namespace

// Pieces waiting for the main thread. append() runs on reader threads while
// the view lives on the main thread, so this is the one place where two
// threads meet. A mutex held for a few microseconds per piece (rewrite one
// read, queue or dequeue a string) is the simplest correct hand-off, and it
// lets a whole batch go over in one posted call instead of one queued call
// per piece.
class LogBuffer : public std::enable_shared_from_this<LogBuffer> {
public:
    explicit LogBuffer(ThemeAwareTextView* textView) : view(textView) {}

    // Any thread. Line ends are rewritten here, under the lock so that the
    // grouping follows the order of the pieces, and off the main thread.
    void add(const QString& text) {
        {
            QMutexLocker lock(&mutex);
            if (!text.isEmpty()) {
                QString piece = grouper.rewrite(text);
                if (!piece.isEmpty())
                    pieces.push_back(std::move(piece));
            }
            if (flushPosted)
                return;
            flushPosted = true;
        }
        postFlush();
    }

private:
    void postFlush() {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        // The posted call keeps the buffer alive, so pieces appended just
        // before the LogWindow went away still reach its window.
        QMetaObject::invokeMethod(
            app, [self = shared_from_this()] { self->flush(); }, Qt::QueuedConnection);
    }

    // Main thread. Inserts what has arrived as one edit block, so the view
    // lays out and scrolls once however many pieces it holds; stops at the
    // size cap or the time budget and leaves the rest to the next turn.
    void flush() {
        QTextCursor cursor;
        if (view) {
            // A cursor of our own leaves the user's selection alone, and
            // insertText never interprets markup. The empty format lets the
            // palette decide the colour, so a theme switch recolours old text.
            cursor = QTextCursor(view->document());
            cursor.movePosition(QTextCursor::End);
            cursor.beginEditBlock();
        }
        QElapsedTimer spent;
        spent.start();
        qsizetype room = maxCharsPerFlush;
        bool more = false;
        for (;;) {
            QString piece;
            {
                QMutexLocker lock(&mutex);
                if (pieces.empty()) {
                    flushPosted = false;
                    break;
                }
                if (room > maxCharsPerFlush - minCharsPerFlush || spent.elapsed() < flushBudgetMs)
                    piece = takeFront(room);
                if (piece.isEmpty()) {
                    more = true;
                    break;
                }
            }
            room -= piece.size();
            if (view)
                cursor.insertText(piece, QTextCharFormat());
        }
        if (view) {
            cursor.endEditBlock();
            QScrollBar* bar = view->verticalScrollBar();
            bar->setValue(bar->maximum());
        }
        if (more)
            postFlush();
    }

    // Up to `room` characters from the front of the queue. Never splits a
    // surrogate pair, so a character is never drawn in two halves.
    QString takeFront(qsizetype room) {
        QString& front = pieces.front();
        const qsizetype left = front.size() - frontOffset;
        if (left <= room) {
            QString piece = frontOffset == 0 ? std::move(front) : front.sliced(frontOffset);
            pieces.pop_front();
            frontOffset = 0;
            return piece;
        }
        qsizetype cut = room;
        if (cut > 0 && front.at(frontOffset + cut - 1).isHighSurrogate())
            --cut;
        QString piece = front.sliced(frontOffset, cut);
        frontOffset += cut;
        return piece;
    }

    QPointer<ThemeAwareTextView> view; // main thread only
    QMutex mutex;
    LineGrouper grouper;        // guarded by mutex
    std::deque<QString> pieces; // guarded by mutex
    qsizetype frontOffset = 0;  // guarded by mutex: consumed part of pieces.front()
    bool flushPosted = false;   // guarded by mutex
};

ThemeAwareTextView::ThemeAwareTextView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(fontPointSize);
    setFont(font);
    applySystemColours();
}

void ThemeAwareTextView::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
        applySystemColours();
        break;
    default:
        break;
    }
}

void ThemeAwareTextView::applySystemColours() {
    const QPalette system = QApplication::palette();
    QPalette pal = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Text}) {
            pal.setBrush(group, role, system.brush(group, role));
        }
    }
    // Setting the palette raises another PaletteChange; stop once it holds.
    if (pal == palette())
        return;
    setPalette(pal);
}

QtLogWindow::QtLogWindow(const QString& title, const QWidget* previous) {
    keepLargeBuffersMapped();
    auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    // Closing only hides the window while a LogWindow refers to it.
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    // Qt reads "[*]" in a title as the unsaved-changes mark; doubled, it shows
    // as itself (an "Offer" title carries a project's name).
    window->setWindowTitle(QString(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));

    auto* view = new ThemeAwareTextView(window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view);

    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, windowWidth, windowHeight);
    // Centred; or, while the previous window is on screen, cascaded below and
    // right of it (from the top left corner again where there is no room), so
    // that a new run never hides the last one exactly.
    const QSize size(windowWidth, windowHeight);
    QRect frame = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area);
    if (previous && previous->isVisible()) {
        frame = QRect(previous->geometry().topLeft() + QPoint(cascadeStep, cascadeStep), size);
        if (!area.contains(frame))
            frame.moveTopLeft(area.topLeft());
    }
    window->setGeometry(frame);

    window_ = window;
    textView_ = view;
    buffer_ = std::make_shared<LogBuffer>(view);
}

QtLogWindow::~QtLogWindow() {
    if (!window_)
        return;
    if (window_->isVisible()) {
        // The user still reads it: it goes when they close it.
        window_->setAttribute(Qt::WA_DeleteOnClose, true);
    } else {
        // Later rather than now: the last reference may be dropped from
        // inside one of the window's own event handlers.
        window_->deleteLater();
    }
}

void QtLogWindow::show() {
    if (!window_)
        return;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void QtLogWindow::append(const QString& text) {
    buffer_->add(text);
}

QString QtLogWindow::transcript() const {
    if (!textView_)
        return {};
    // The raw text keeps characters such as U+00A0 that toPlainText() would
    // rewrite; only the line and block separators go back to line feeds.
    QString text = textView_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

std::shared_ptr<LogWindow> QtLogWindows::create(const QString& title) {
    auto window = std::make_shared<QtLogWindow>(title, previous_.data());
    previous_ = window->window();
    return window;
}

} // namespace veldrin
