#include "gui/FindBar.h"

#include "gui/FocusFrame.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>

namespace veldrin {

namespace {

// A slice of a pass reads about this much of the transcript, a few
// milliseconds' work; the rest follows on the next turns of the event loop.
// So a count never holds up typing, even in a full window (4 MiB).
constexpr int sliceChars = 512 * 1024;
// Output arriving while the bar is open is counted again after this pause
// (and after the pass under way), not on every turn it arrives in.
constexpr int recountMs = 250;

QToolButton* buttonFor(QAction* action, QStyle::StandardPixmap pixmap, QWidget* parent) {
    action->setIcon(parent->style()->standardIcon(pixmap, nullptr, parent));
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    return button;
}

// A tool bar, as browsers' find bars are, rather than the filler Qt takes a
// plain widget for.
QAccessibleInterface* accessibleBar(const QString& className, QObject* object) {
    auto* bar = qobject_cast<FindBar*>(object);
    if (bar && className == QLatin1String(FindBar::staticMetaObject.className()))
        return new QAccessibleWidget(bar, QAccessible::ToolBar);
    return nullptr;
}

} // namespace

FindBar::FindBar(QPlainTextEdit* textView, QWidget* parent)
    : QWidget(parent), view(textView), edit(new QLineEdit(this)), statusLabel(new QLabel(this)),
      next(new QAction(QStringLiteral("Find Next"), this)),
      previous(new QAction(QStringLiteral("Find Previous"), this)) {
    QAccessible::installFactory(accessibleBar); // once; later calls change nothing
    setAccessibleName(QStringLiteral("Find"));
    edit->setPlaceholderText(QStringLiteral("Find"));
    // A placeholder goes as the text is typed, and says nothing of where the
    // search looks.
    edit->setAccessibleName(QStringLiteral("Find in transcript"));
    edit->setClearButtonEnabled(true);
    for (QToolButton* clear : edit->findChildren<QToolButton*>())
        clear->setAccessibleName(QStringLiteral("Clear")); // an icon without words
    statusLabel->setTextFormat(Qt::PlainText);
    // Return and Shift+Return while the field has the focus.
    next->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    previous->setShortcuts(
        {QKeySequence(Qt::SHIFT | Qt::Key_Return), QKeySequence(Qt::SHIFT | Qt::Key_Enter)});
    for (QAction* action : {next, previous}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        edit->addAction(action);
    }
    connect(next, &QAction::triggered, this, [this] { startPass(Goal::next); });
    connect(previous, &QAction::triggered, this, [this] { startPass(Goal::previous); });
    // Not plain "Close": the window's own Close is one Tab away.
    auto* close = new QAction(QStringLiteral("Close Find"), this);
    connect(close, &QAction::triggered, this, &FindBar::dismiss);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    layout->addWidget(edit, 1);
    layout->addSpacing(6);
    layout->addWidget(statusLabel);
    layout->addSpacing(6);
    layout->addWidget(buttonFor(previous, QStyle::SP_ArrowUp, this));
    layout->addWidget(buttonFor(next, QStyle::SP_ArrowDown, this));
    layout->addWidget(buttonFor(close, QStyle::SP_TitleBarCloseButton, this));

    // Highlighting follows what is on screen, whatever moved it; a pass per
    // turn of the event loop is enough.
    pendingHighlight.setSingleShot(true);
    pendingHighlight.setInterval(0);
    connect(&pendingHighlight, &QTimer::timeout, this, &FindBar::highlight);
    pendingSlice.setSingleShot(true);
    pendingSlice.setInterval(0);
    connect(&pendingSlice, &QTimer::timeout, this, &FindBar::continuePass);
    pendingRecount.setSingleShot(true);
    pendingRecount.setInterval(recountMs);
    connect(&pendingRecount, &QTimer::timeout, this, [this] {
        if (isVisible() && pass.done)
            startPass(Goal::count);
    });
    connect(edit, &QLineEdit::textChanged, this, [this] {
        startPass(Goal::typed);
        highlightSoon();
    });
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &FindBar::highlightSoon);
    connect(view->document(), &QTextDocument::contentsChange, this, &FindBar::contentsChanged);
    view->viewport()->installEventFilter(this);
    showFocusFrame();
    hide();
}

void FindBar::open() {
    const QString before = edit->text();
    // A selection within one line is most likely what the user looks for.
    const QString selected = view ? view->textCursor().selectedText() : QString();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator) &&
        !selected.contains(QChar::LineSeparator))
        edit->setText(selected);
    show();
    edit->setFocus(Qt::ShortcutFocusReason);
    edit->selectAll();
    highlightSoon();
    if (edit->text() == before)
        startPass(Goal::count);
}

void FindBar::dismiss() {
    hide();
    pendingHighlight.stop();
    pendingSlice.stop();
    pendingRecount.stop();
    pass.done = true;
    showStatus(QString());
    if (!view)
        return;
    view->setExtraSelections({});
    view->setFocus(Qt::OtherFocusReason);
}

QString FindBar::status() const {
    return statusLabel->text();
}

void FindBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange)
        showFocusFrame();
}

// The style's own focus frame on the field is too faint to find at a glance.
void FindBar::showFocusFrame() {
    edit->setStyleSheet(focusFrameStyleSheet(QStringLiteral("QLineEdit"), palette()));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize)
        highlightSoon();
    return QWidget::eventFilter(watched, event);
}

void FindBar::startPass(Goal goal) {
    pendingSlice.stop();
    stale = false;
    pass = Pass();
    pass.needle = edit->text();
    if (!view || pass.needle.isEmpty()) {
        showStatus(QString());
        return;
    }
    pass.goal = goal;
    const QTextCursor cursor = view->textCursor();
    pass.anchor = goal == Goal::next ? cursor.selectionEnd() : cursor.selectionStart();
    pass.startBlock = pass.next = view->document()->findBlock(pass.anchor).position();
    pass.done = false;
    // The first slice at once: a small transcript is done with in it.
    continuePass();
}

// Case-insensitive, within a block, as the highlights are.
void FindBar::continuePass() {
    if (!view || pass.done)
        return;
    const QString& needle = pass.needle;
    QTextBlock block = view->document()->findBlock(pass.next);
    for (int read = 0; read < sliceChars;) {
        if (!block.isValid() && !pass.wrapped) {
            pass.wrapped = true;
            block = view->document()->begin();
        }
        if (pass.wrapped && (!block.isValid() || block.position() >= pass.startBlock))
            return finishPass();
        const QString text = block.text();
        for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive)) {
            const int position = block.position() + int(at);
            ++pass.total;
            pass.first = pass.first < 0 ? position : std::min(pass.first, position);
            pass.last = std::max(pass.last, position);
            if (position < pass.anchor) {
                ++pass.beforeAnchor;
                pass.lastBefore = std::max(pass.lastBefore, position);
            } else if (pass.atOrAfter < 0) {
                // Before the pass wraps, in order: the first one seen is the one.
                pass.atOrAfter = position;
                if (pass.goal == Goal::typed || pass.goal == Goal::next) {
                    select(position);
                    pass.selected = true;
                }
            }
        }
        read += int(text.size()) + 1;
        block = block.next();
    }
    pass.next = block.isValid() ? block.position() : view->document()->characterCount();
    pendingSlice.start();
}

void FindBar::finishPass() {
    pass.done = true;
    if (stale)
        pendingRecount.start();
    if (pass.total == 0)
        return showStatus(QStringLiteral("No matches"));
    int current = 0;
    switch (pass.goal) {
    case Goal::typed:
    case Goal::next:
        // Round from the end to the first match.
        if (pass.atOrAfter < 0)
            select(pass.first);
        current = pass.atOrAfter < 0 ? 1 : pass.beforeAnchor + 1;
        break;
    case Goal::previous:
        select(pass.lastBefore < 0 ? pass.last : pass.lastBefore);
        current = pass.lastBefore < 0 ? pass.total : pass.beforeAnchor;
        break;
    case Goal::count: {
        const QTextCursor cursor = view->textCursor();
        if (pass.atOrAfter == pass.anchor &&
            cursor.selectionEnd() - cursor.selectionStart() == pass.needle.size())
            current = pass.beforeAnchor + 1;
        break;
    }
    }
    if (current > 0)
        showStatus(QStringLiteral("%1 of %2").arg(current).arg(pass.total));
    else
        showStatus(pass.total == 1 ? QStringLiteral("1 match")
                                   : QStringLiteral("%1 matches").arg(pass.total));
}

void FindBar::select(int position) {
    QTextCursor match(view->document());
    match.setPosition(position);
    match.setPosition(position + int(pass.needle.size()), QTextCursor::KeepAnchor);
    view->setTextCursor(match);
    view->centerCursor();
}

void FindBar::showStatus(const QString& text) {
    statusLabel->setText(text);
}

void FindBar::contentsChanged(int, int removed, int) {
    highlightSoon();
    if (!isVisible() || edit->text().isEmpty())
        return;
    // Text removed (the start dropped, the notice rewritten) moves what the
    // pass has counted: it begins again, its match kept if it has one.
    if (!pass.done && removed > 0)
        return startPass(pass.selected ? Goal::count : pass.goal);
    // Text added at the end is counted in a while.
    stale = true;
    if (pass.done && !pendingRecount.isActive())
        pendingRecount.start();
}

void FindBar::highlightSoon() {
    if (isVisible())
        pendingHighlight.start();
}

// Every match on screen, case-insensitive as Return finds them. Only what is
// on screen: a huge transcript may hold millions of matches, and each
// highlight is a cursor the document updates on every insertion.
void FindBar::highlight() {
    if (!view)
        return;
    QList<QTextEdit::ExtraSelection> matches;
    const QString needle = edit->text();
    if (isVisible() && !needle.isEmpty()) {
        QTextCharFormat format;
        QColor background = view->palette().color(QPalette::Highlight);
        background.setAlpha(96);
        format.setBackground(background);
        const QRect area = view->viewport()->rect();
        const QTextBlock last = view->cursorForPosition(area.bottomRight()).block();
        for (QTextBlock block = view->cursorForPosition(area.topLeft()).block(); block.isValid();
             block = block.next()) {
            const QString text = block.text();
            for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
                 at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive)) {
                QTextCursor match(block);
                match.setPosition(block.position() + int(at));
                match.setPosition(block.position() + int(at + needle.size()), QTextCursor::KeepAnchor);
                matches.append({match, format});
            }
            if (block == last)
                break;
        }
    }
    view->setExtraSelections(matches);
}

} // namespace veldrin
