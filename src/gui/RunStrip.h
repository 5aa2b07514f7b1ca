#pragma once

// The strip above a log window's transcript that tells how its run stands:
// "Running — M:SS", counting, with a Stop button while the run can be
// stopped; then the outcome in words, with an icon and a colour of its own.
// The window's own commands stand at its end as buttons.
//
// Assistive technology hears the state, not every second of the count, and
// the end of the run once.

#include "base/RunOutcome.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QTimer>

#include <functional>

class QAction;
class QHBoxLayout;
class QLabel;
class QToolButton;

namespace veldrin {

class RunStrip : public QFrame {
    Q_OBJECT
public:
    // Without words until the run starts.
    explicit RunStrip(QWidget* parent = nullptr);
    // A button after Stop for each action, labelled with its text; the last one made.
    QToolButton* addButtons(const QList<QAction*>& actions);

    void runStarted();
    void runEnded(const RunOutcome& outcome);
    // What Stop calls; without one there is no Stop.
    void setStopHandler(std::function<void()> requestStop);

    QString text() const;
    // The Stop button's action, with its shortcut Ctrl+. (Cmd+. on macOS):
    // enabled only while the run goes on and a handler is set.
    QAction* stopAction() const { return stop; }

protected:
    void changeEvent(QEvent* event) override;

private:
    enum class Tone { running, succeeded, failed, stopped };
    // What assistive technology is told, without the count.
    void tellState(const QString& words);
    void showTone(Tone shown);
    void applyColours();
    void tick();
    void updateStop();

    QLabel* icon;
    QLabel* label;
    QToolButton* stopButton;
    QHBoxLayout* row;
    QAction* stop;
    QTimer ticker;
    QElapsedTimer sinceStart;
    std::function<void()> requestStop;
    Tone tone = Tone::running;
    bool running = false;
};

} // namespace veldrin
