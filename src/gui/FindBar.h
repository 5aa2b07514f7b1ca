#pragma once

// The find bar under a log window's transcript: a field whose text is
// highlighted wherever it shows in the view, and selected as it is typed;
// Return selects the next match, Shift+Return the previous one, both going
// round at the ends. Beside the field it says "N of M" for the selected match,
// or "No matches".

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QAction;
class QLabel;
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

    QLineEdit* field() const { return edit; }
    // "N of M", "No matches", or while nothing is selected "M matches"; empty
    // before the first count of a text.
    QString status() const;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a pass over the transcript is for.
    enum class Goal {
        typed,    // select the first match from the selection's start on
        next,     // select the first match after the selection
        previous, // select the last match before the selection
        count,    // only count, the selection being the current match if it is one
    };
    // One pass: every block once, from the anchor's block to the end and round
    // from the start, in slices, so that no keystroke costs more than one.
    struct Pass {
        QString needle;
        Goal goal = Goal::count;
        int anchor = 0;
        int startBlock = 0; // position of the block the pass began with
        int next = 0;       // position of the next block to read
        bool wrapped = false;
        bool done = true;
        int total = 0;
        int beforeAnchor = 0;      // matches starting before the anchor
        int atOrAfter = -1;        // the first match starting at the anchor or after it
        int lastBefore = -1;       // the last match starting before it
        int first = -1, last = -1; // in the whole transcript
        bool selected = false;     // its match is selected already
    };

    void showFocusFrame();
    void startPass(Goal goal);
    void continuePass();
    void finishPass();
    void select(int position);
    void showStatus(const QString& text);
    void contentsChanged(int position, int removed, int added);
    void highlightSoon();
    void highlight();

    QPointer<QPlainTextEdit> view;
    QLineEdit* edit;
    QLabel* statusLabel;
    QAction* next;
    QAction* previous;
    QTimer pendingHighlight;
    QTimer pendingSlice;   // the rest of a pass, on the next turns
    QTimer pendingRecount; // after new output, at most this often
    Pass pass;
    bool stale = false; // the transcript changed since the pass began
};

} // namespace veldrin
