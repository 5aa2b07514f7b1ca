#pragma once

// The find bar under a log window's transcript: a field whose text is
// highlighted wherever it shows in the view; Return selects the next match,
// Shift+Return the previous one, both going round at the ends.

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QAction;
class QLineEdit;
class QPlainTextEdit;

namespace veldrin {

class FindBar : public QWidget {
    Q_OBJECT
public:
    // Hidden until opened.
    FindBar(QPlainTextEdit* view, QWidget* parent);

    // Shows the bar with its field focused and its text selected.
    void open();
    // Hides the bar, drops the highlights and gives the focus back to the view.
    void dismiss();
    // Selects the next (or previous) match and scrolls it into view; false when there is none.
    bool findNext(bool backward = false);

    QLineEdit* field() const { return edit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void highlightSoon();
    void highlight();

    QPointer<QPlainTextEdit> view;
    QLineEdit* edit;
    QAction* next;
    QAction* previous;
    QTimer pendingHighlight;
};

} // namespace veldrin
