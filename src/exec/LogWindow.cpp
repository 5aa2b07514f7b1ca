#include "exec/LogWindow.h"

#include <QApplication>
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
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace veldrin {

namespace {

constexpr int windowWidth = 760;
constexpr int windowHeight = 440;
constexpr int fontPointSize = 12;

// The most one turn of the event loop inserts. Inserting costs roughly in
// proportion to the text, so this bounds how long the menu bar can be kept
// waiting while a chatty run floods the window; the rest follows on the next
// turn.
static const qsizetype maxCharsPerFlush = qEnvironmentVariableIntValue("CAP") ? qEnvironmentVariableIntValue("CAP") : 256 * 1024;

// Output lines per text block. The document pays for every block far more
// than for its characters, so consecutive lines share a block, separated by
// soft line breaks (U+2028) that look, wrap and copy exactly like line feeds.
static const int linesPerBlock = qEnvironmentVariableIntValue("K") ? qEnvironmentVariableIntValue("K") : 16;

#if defined(__GLIBC__)
// A busy run grows the document's buffers to hundreds of megabytes. Under
// glibc's sliding mmap threshold those buffers live on the heap and every
// doubling copies them into fresh pages at once, stalling the main thread
// for tens of milliseconds; as separate mappings they grow in place.
void keepLargeBuffersMapped() {
    static std::once_flag once;
    std::call_once(once, [] { mallopt(M_MMAP_THRESHOLD, 1024 * 1024); });
}
#else
void keepLargeBuffersMapped() {}
#endif

// Turns all but every linesPerBlock-th line end into a soft line break.
// Carriage returns end a line as the text view would treat them anyway (CR LF
// is one line end, even when the two arrive in different flushes).
class LineGrouper {
public:
    void rewrite(QString& text) {
        QChar* out = text.data();
        const QChar* in = out;
        const QChar* const end = in + text.size();
        for (; in != end; ++in) {
            const char16_t c = in->unicode();
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
            *out++ = *in;
        }
        text.truncate(out - text.constData());
    }

private:
    int linesInBlock = 0;
    bool afterCarriageReturn = false;
};

void insertAtEnd(QPlainTextEdit* view, const QString& text) {
    if (!text.isEmpty()) {
        // A cursor of our own leaves the user's selection alone, and
        // insertText never interprets markup. The empty format lets the
        // palette decide the colour, so a theme switch recolours old text too.
        QTextCursor cursor(view->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text, QTextCharFormat());
    }
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(bar->maximum());
}

} // namespace

// Pieces waiting for the main thread. append() runs on reader threads while
// the view lives on the main thread, so this is the one place where two
// threads meet; a mutex held only to queue or dequeue whole strings is the
// simplest correct hand-off, and it lets a whole batch go over in one posted
// call instead of one queued call per piece.
class LogBuffer : public std::enable_shared_from_this<LogBuffer> {
public:
    explicit LogBuffer(ThemeAwareTextView* view) : view(view) {}

    // Any thread.
    void add(const QString& text) {
        {
            QMutexLocker lock(&mutex);
            if (!text.isEmpty())
                pieces.push_back(text);
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

    // Main thread.
    void flush() {
        std::vector<QString> taken;
        bool more = false;
        {
            QMutexLocker lock(&mutex);
            qsizetype room = maxCharsPerFlush;
            while (!pieces.empty() && room > 0) {
                QString& front = pieces.front();
                const qsizetype left = front.size() - frontOffset;
                if (left <= room) {
                    taken.push_back(frontOffset == 0 ? std::move(front) : front.sliced(frontOffset));
                    pieces.pop_front();
                    frontOffset = 0;
                    room -= left;
                    continue;
                }
                qsizetype cut = room;
                // Never split a surrogate pair between two insertions.
                if (front.at(frontOffset + cut - 1).isHighSurrogate())
                    --cut;
                if (cut > 0) {
                    taken.push_back(front.sliced(frontOffset, cut));
                    frontOffset += cut;
                }
                break;
            }
            more = !pieces.empty();
            flushPosted = more;
        }
        QString chunk;
        if (taken.size() == 1) {
            chunk = std::move(taken.front());
        } else {
            qsizetype total = 0;
            for (const QString& piece : taken)
                total += piece.size();
            chunk.reserve(total);
            for (const QString& piece : taken)
                chunk += piece;
        }
        grouper.rewrite(chunk);
        if (view)
            insertAtEnd(view, chunk);
        if (more)
            postFlush();
    }

    QPointer<ThemeAwareTextView> view; // main thread only
    LineGrouper grouper;               // main thread only
    QMutex mutex;
    std::deque<QString> pieces;  // guarded by mutex
    qsizetype frontOffset = 0;   // guarded by mutex: consumed part of pieces.front()
    bool flushPosted = false;    // guarded by mutex
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

LogWindow::LogWindow(const QString& title) {
    keepLargeBuffersMapped();
    auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    // Closing only hides the window while a LogWindow refers to it.
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(title);

    auto* view = new ThemeAwareTextView(window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view);

    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, windowWidth, windowHeight);
    window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                            QSize(windowWidth, windowHeight), area));

    window_ = window;
    textView_ = view;
    buffer_ = std::make_shared<LogBuffer>(view);
}

LogWindow::~LogWindow() {
    if (!window_)
        return;
    if (window_->isVisible()) {
        // The user still reads it: it goes when they close it.
        window_->setAttribute(Qt::WA_DeleteOnClose, true);
    } else {
        // Later, so that a flush already queued finds a clean pointer.
        window_->deleteLater();
    }
}

void LogWindow::show() {
    if (!window_)
        return;
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void LogWindow::append(const QString& text) { buffer_->add(text); }

QString LogWindow::transcript() const {
    if (!textView_)
        return {};
    // The raw text keeps characters such as U+00A0 that toPlainText() would
    // rewrite; only the line and block separators go back to line feeds.
    QString text = textView_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace veldrin
