#include "gui/RunStrip.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <chrono>

namespace veldrin {

namespace {

// Tints over the window colour: strong enough to tell at a glance, light
// enough that the system text colour stays legible in light and dark themes.
constexpr qreal tintStrength = 0.3;
const QColor failedTint(0xd9, 0x30, 0x25);
const QColor stoppedTint(0xe8, 0x9a, 0x10);
const QColor succeededTint(0x2e, 0xa0, 0x43);

QColor blend(const QColor& base, const QColor& tint, qreal share) {
    return QColor::fromRgbF(float(base.redF() * (1 - share) + tint.redF() * share),
                            float(base.greenF() * (1 - share) + tint.greenF() * share),
                            float(base.blueF() * (1 - share) + tint.blueF() * share));
}

// A status bar, where screen readers look for how things stand, not the
// border Qt takes a frame for.
QAccessibleInterface* accessibleStrip(const QString& className, QObject* object) {
    auto* strip = qobject_cast<RunStrip*>(object);
    if (strip && className == QLatin1String(RunStrip::staticMetaObject.className()))
        return new QAccessibleWidget(strip, QAccessible::StatusBar);
    return nullptr;
}

} // namespace

RunStrip::RunStrip(QWidget* parent)
    : QFrame(parent), icon(new QLabel(this)), label(new QLabel(this)), stopButton(new QToolButton(this)),
      stop(new QAction(QStringLiteral("Stop"), this)) {
    // Before anything asks for the strip's interface (the name below does):
    // Qt keeps the first one made. Once; later calls change nothing.
    QAccessible::installFactory(accessibleStrip);
    setAutoFillBackground(true);
    // Screen readers find it by this name and read how the run stands in its
    // description.
    setAccessibleName(QStringLiteral("Run status"));
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);

    stop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    stop->setToolTip(stop->text() + QStringLiteral(" (") +
                     stop->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
    connect(stop, &QAction::triggered, this, [this] {
        // The application asks before it stops anything.
        if (running && requestStop)
            requestStop();
    });
    stopButton->setDefaultAction(stop);
    stopButton->setToolButtonStyle(Qt::ToolButtonTextOnly);

    row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 6, 4);
    row->addWidget(icon);
    row->addWidget(label, 1);
    row->addWidget(stopButton);
    // As tall with the Stop button as without, so the transcript does not
    // move when the run ends.
    const QMargins margins = row->contentsMargins();
    setMinimumHeight(std::max(stopButton->sizeHint().height(), label->sizeHint().height()) + margins.top() +
                     margins.bottom());

    ticker.setSingleShot(true);
    connect(&ticker, &QTimer::timeout, this, &RunStrip::tick);
    updateStop();
}

QToolButton* RunStrip::addButtons(const QList<QAction*>& actions) {
    QToolButton* button = stopButton;
    for (QAction* action : actions) {
        button = new QToolButton(this);
        // The action's text is the label, and so the name a screen reader says.
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        row->addWidget(button);
    }
    return button;
}

void RunStrip::runStarted() {
    running = true;
    sinceStart.start();
    // Before the count starts: a label without a name of its own would tell
    // every second of it.
    tellState(QStringLiteral("Running"));
    showTone(Tone::running);
    tick();
    updateStop();
}

void RunStrip::runEnded(const RunOutcome& outcome) {
    running = false;
    ticker.stop();
    label->setText(outcomeStripText(outcome));
    tellState(label->text());
    switch (outcome.kind) {
    case RunOutcome::Kind::succeeded:
        showTone(Tone::succeeded);
        break;
    case RunOutcome::Kind::failed:
        showTone(Tone::failed);
        break;
    case RunOutcome::Kind::stopped:
        showTone(Tone::stopped);
        break;
    }
    updateStop();
    // Said once, whichever control has the focus; a screen reader then reads
    // the strip's description.
    QAccessibleEvent ended(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&ended);
}

void RunStrip::setStopHandler(std::function<void()> handler) {
    requestStop = std::move(handler);
    updateStop();
}

QString RunStrip::text() const {
    return label->text();
}

void RunStrip::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    // Our own palette change is not one of these, so this does not loop.
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::StyleChange)
        applyColours();
}

void RunStrip::tellState(const QString& words) {
    label->setAccessibleName(words);
    setAccessibleDescription(words);
}

void RunStrip::showTone(Tone shown) {
    tone = shown;
    // The words and the icon tell the outcome; the colour only repeats it.
    const QStyle::StandardPixmap pixmaps[] = {QStyle::SP_BrowserReload, QStyle::SP_DialogApplyButton,
                                              QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning};
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(pixmaps[int(tone)], nullptr, this).pixmap(size, size));
    applyColours();
}

void RunStrip::applyColours() {
    const QPalette system = QApplication::palette(this);
    const QColor window = system.color(QPalette::Window);
    QColor background = window;
    switch (tone) {
    case Tone::running:
        break;
    case Tone::succeeded:
        background = blend(window, succeededTint, tintStrength);
        break;
    case Tone::failed:
        background = blend(window, failedTint, tintStrength);
        break;
    case Tone::stopped:
        background = blend(window, stoppedTint, tintStrength);
        break;
    }
    QPalette pal = system;
    pal.setColor(QPalette::Window, background);
    setPalette(pal);
}

void RunStrip::tick() {
    const std::chrono::milliseconds elapsed(sinceStart.elapsed());
    label->setText(runningStripText(elapsed));
    // Next on the next whole second, so the count never skips one.
    ticker.start(int(1000 - elapsed.count() % 1000));
}

void RunStrip::updateStop() {
    const bool available = running && requestStop;
    stop->setEnabled(available);
    stopButton->setVisible(available);
}

} // namespace veldrin
