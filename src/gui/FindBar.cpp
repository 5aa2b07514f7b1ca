#include "gui/FindBar.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

namespace veldrin {

namespace {

QToolButton* buttonFor(QAction* action, QStyle::StandardPixmap pixmap, QWidget* parent) {
    action->setIcon(parent->style()->standardIcon(pixmap, nullptr, parent));
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    return button;
}

} // namespace

FindBar::FindBar(QPlainTextEdit* textView, QWidget* parent)
    : QWidget(parent), view(textView), edit(new QLineEdit(this)),
      next(new QAction(QStringLiteral("Find Next"), this)),
      previous(new QAction(QStringLiteral("Find Previous"), this)) {
    edit->setPlaceholderText(QStringLiteral("Find"));
    edit->setClearButtonEnabled(true);
    // Return and Shift+Return while the field has the focus.
    next->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    previous->setShortcuts(
        {QKeySequence(Qt::SHIFT | Qt::Key_Return), QKeySequence(Qt::SHIFT | Qt::Key_Enter)});
    for (QAction* action : {next, previous}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        edit->addAction(action);
    }
    connect(next, &QAction::triggered, this, [this] { findNext(false); });
    connect(previous, &QAction::triggered, this, [this] { findNext(true); });
    auto* close = new QAction(QStringLiteral("Close"), this);
    connect(close, &QAction::triggered, this, &FindBar::dismiss);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    layout->addWidget(edit, 1);
    layout->addWidget(buttonFor(previous, QStyle::SP_ArrowUp, this));
    layout->addWidget(buttonFor(next, QStyle::SP_ArrowDown, this));
    layout->addWidget(buttonFor(close, QStyle::SP_TitleBarCloseButton, this));

    // Highlighting follows what is on screen, whatever moved it; a pass per
    // turn of the event loop is enough.
    pendingHighlight.setSingleShot(true);
    pendingHighlight.setInterval(0);
    connect(&pendingHighlight, &QTimer::timeout, this, &FindBar::highlight);
    connect(edit, &QLineEdit::textChanged, this, &FindBar::highlightSoon);
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &FindBar::highlightSoon);
    connect(view->document(), &QTextDocument::contentsChanged, this, &FindBar::highlightSoon);
    view->viewport()->installEventFilter(this);
    hide();
}

void FindBar::open() {
    // A selection within one line is most likely what the user looks for.
    const QString selected = view ? view->textCursor().selectedText() : QString();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator) &&
        !selected.contains(QChar::LineSeparator))
        edit->setText(selected);
    show();
    edit->setFocus(Qt::ShortcutFocusReason);
    edit->selectAll();
    highlightSoon();
}

void FindBar::dismiss() {
    hide();
    pendingHighlight.stop();
    if (!view)
        return;
    view->setExtraSelections({});
    view->setFocus(Qt::OtherFocusReason);
}

bool FindBar::findNext(bool backward) {
    const QString needle = edit->text();
    if (!view || needle.isEmpty())
        return false;
    const QTextDocument* document = view->document();
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor found = document->find(needle, view->textCursor(), flags);
    if (found.isNull()) {
        QTextCursor otherEnd(view->document());
        if (backward)
            otherEnd.movePosition(QTextCursor::End);
        found = document->find(needle, otherEnd, flags);
    }
    if (found.isNull())
        return false;
    view->setTextCursor(found);
    view->centerCursor();
    return true;
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize)
        highlightSoon();
    return QWidget::eventFilter(watched, event);
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
