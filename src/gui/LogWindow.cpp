#include "gui/LogWindow.h"

#include "base/BoundedFile.h"
#include "gui/FindBar.h"
#include "gui/LogBuffer.h"
#include "gui/RunStrip.h"
#include "menu/TitleText.h"
#include "platform/Alerts.h"
#include "platform/System.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace veldrin {

namespace {

constexpr int windowWidth = 760;
constexpr int windowHeight = 440;
constexpr int fontPointSize = 12;
// How far each window sits from the one before: about a title bar.
constexpr int cascadeStep = 28;

// A title as the window system shows it. Titles carry untrusted text (a
// project's name, a saved run's file name): it is shown as a menu shows it,
// one line, its bidirectional text isolated, cut at 200 characters. Qt reads
// "[*]" as the unsaved-changes mark; doubled, it shows as itself.
QString windowTitleFor(const QString& title) {
    return menuTitle(untrustedText(title)).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

// A window to assistive technology (named by its title, as Qt names
// windows), not the filler Qt takes a plain widget for.
QAccessibleInterface* accessibleWindow(const QString& className, QObject* object) {
    auto* widget = qobject_cast<TranscriptWindow*>(object);
    if (widget && className == QLatin1String(TranscriptWindow::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

QString saveAsStartPath(const QString& title, const QString& historyFile) {
    // The history file's name, or the title without the characters file
    // systems refuse.
    QString name = QFileInfo(historyFile).fileName();
    if (name.isEmpty()) {
        name = title.simplified();
        for (QChar& ch : name) {
            if (ch.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(ch))
                ch = QLatin1Char('-');
        }
        name = (name.isEmpty() ? QStringLiteral("log") : name) + QStringLiteral(".log");
    }
    // A dialog offered a folder that does not exist falls back to the current
    // directory, which for a program started from a terminal is anywhere.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QDir folder(!documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath());
    return folder.filePath(name);
}

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

TranscriptWindow::TranscriptWindow(const QString& title, Alerts& shownAlerts)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint),
      view(new ThemeAwareTextView(this)), runStrip(new RunStrip(this)), bar(new FindBar(view, this)),
      plainTitle(title), alerts(shownAlerts) {
    QAccessible::installFactory(accessibleWindow); // once; later calls change nothing
    // Closing only hides the window while a LogWindow refers to it (see
    // closeEvent), and never stops the run.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(windowTitleFor(title));
    view->setAccessibleName(QStringLiteral("Transcript"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(runStrip);
    layout->addWidget(view, 1);
    layout->addWidget(bar);

    addAction(runStrip->stopAction());
    const QList<QAction*> commands = {
        addShortcut(QStringLiteral("Find…"), QKeySequence(Qt::CTRL | Qt::Key_F), [this] { bar->open(); }),
        addShortcut(QStringLiteral("Save As…"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { saveAs(); }),
        addShortcut(QStringLiteral("Close"), QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); })};
    menuActions = QList<QAction*>{runStrip->stopAction()} + commands;
    // In sight as buttons too. Tab goes through them, then the transcript
    // (which has the focus first), then the find bar.
    setTabOrder(runStrip->addButtons(commands), view);
    view->setFocus(Qt::OtherFocusReason);
    // Escape closes the find bar first, then the window.
    addShortcut(QString(), QKeySequence(Qt::Key_Escape), [this] {
        if (bar->isVisible())
            bar->dismiss();
        else
            close();
    });

    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &TranscriptWindow::showContextMenu);
}

void TranscriptWindow::closeEvent(QCloseEvent* event) {
    if (testAttribute(Qt::WA_DeleteOnClose)) {
        QWidget::closeEvent(event);
        return;
    }
    // Hidden rather than closed, whether by Close or by the window manager: a
    // closed top-level window loses its native window, and a later show() must
    // find the same window, transcript and all, ready to map again.
    event->ignore();
    hide();
}

QAction* TranscriptWindow::addShortcut(const QString& text, const QKeySequence& keys,
                                       const std::function<void()>& run) {
    auto* action = new QAction(text, this);
    action->setShortcut(keys);
    action->setToolTip(text + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
                       QLatin1Char(')'));
    connect(action, &QAction::triggered, this, run);
    addAction(action);
    return action;
}

bool TranscriptWindow::saveTranscript(const QString& path, QString* error, bool* onlyTheEnd) const {
    QSaveFile out(path);
    bool written = out.open(QIODevice::WriteOnly);
    QFile history;
    if (onlyTheEnd)
        *onlyTheEnd = false;
    if (written && !historyFile.isEmpty() && openRegularFile(history, historyFile)) {
        // In slices: a history file can be far larger than the window.
        QByteArray slice(1024 * 1024, Qt::Uninitialized);
        for (qint64 n = 0; written && (n = history.read(slice.data(), slice.size())) != 0;)
            written = n > 0 && out.write(slice.constData(), n) == n;
        if (!written && error)
            *error = history.error() != QFileDevice::NoError ? history.errorString() : out.errorString();
    } else if (written) {
        const QByteArray text = transcriptOf(*view->document()).toUtf8();
        written = out.write(text) == text.size();
        if (onlyTheEnd)
            *onlyTheEnd = startDropped(*view->document());
    }
    if (written && out.commit())
        return true;
    if (error && error->isEmpty())
        *error = out.errorString();
    out.cancelWriting();
    return false;
}

void TranscriptWindow::saveAs() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As…"),
                                                      saveAsStartPath(plainTitle, historyFile));
    QString error;
    bool onlyTheEnd = false;
    if (path.isEmpty())
        return;
    if (saveTranscript(path, &error, &onlyTheEnd)) {
        // The history file has gone (pruned, moved): the window holds the end alone.
        if (onlyTheEnd)
            alerts.runModal({AlertStyle::informational,
                             QStringLiteral("Only the end of the transcript was saved."),
                             QStringLiteral("Its history file is no longer there, so ") +
                                 QDir::toNativeSeparators(path) +
                                 QStringLiteral(" holds what this window still shows."),
                             {QStringLiteral("OK")},
                             std::nullopt});
        return;
    }
    AlertRequest failure;
    failure.message = QStringLiteral("The transcript could not be saved.");
    failure.informativeText = QDir::toNativeSeparators(path) + QStringLiteral(": ") + error;
    failure.buttons = {QStringLiteral("OK")};
    alerts.runModal(failure);
}

void TranscriptWindow::showContextMenu(const QPoint& at) {
    const std::unique_ptr<QMenu> menu(view->createStandardContextMenu());
    menu->addSeparator();
    for (QAction* action : menuActions) {
        if (action->isEnabled())
            menu->addAction(action);
    }
    menu->exec(view->viewport()->mapToGlobal(at));
}

QtLogWindow::QtLogWindow(const QString& title, Alerts& alerts, const QWidget* previous) {
    keepLargeAllocationsMapped();
    auto* window = new TranscriptWindow(title, alerts);

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
    buffer_ = LogBuffer::create(window->textView());
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

void QtLogWindow::runStarted() {
    if (window_)
        window_->strip()->runStarted();
}

void QtLogWindow::runEnded(const RunOutcome& outcome) {
    if (window_)
        window_->strip()->runEnded(outcome);
}

void QtLogWindow::setStopHandler(std::function<void()> requestStop) {
    if (window_)
        window_->strip()->setStopHandler(std::move(requestStop));
}

void QtLogWindow::setHistoryFile(const QString& path) {
    buffer_->setHistoryFile(path);
    if (window_)
        window_->setHistoryFile(path);
}

bool QtLogWindow::isActive() const {
    return window_ && window_->isVisible() && window_->isActiveWindow();
}

QString QtLogWindow::transcript() const {
    return window_ ? transcriptOf(*window_->textView()->document()) : QString();
}

bool QtLogWindow::hasPendingText() const {
    return buffer_->hasPending();
}

std::shared_ptr<LogWindow> QtLogWindows::create(const QString& title) {
    auto window = std::make_shared<QtLogWindow>(title, alerts_, previous_.data());
    previous_ = window->window();
    return window;
}

} // namespace veldrin
