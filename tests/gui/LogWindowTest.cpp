// The log window on the desktop: literal text, order across threads, a
// window that outlives its run, and what its user does with it: scroll,
// stop, find, save, close; and what a screen reader finds in it and hears.
#include "gui/LogWindow.h"
#include "gui/QtAlerts.h"

#include "gui/FindBar.h"
#include "gui/RunStrip.h"

#include "Contrast.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QAccessibleBridge>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QWindow>
#include <QtPlugin>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using namespace veldrin;
using test::waitUntil;

namespace {

void closeAndReap(QWidget* window) {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// What a key does in that widget: the action it is the shortcut of.
QAction* keyAction(const QWidget* widget, const QKeySequence& keys) {
    for (QAction* action : widget->actions()) {
        if (action->shortcuts().contains(keys))
            return action;
    }
    return nullptr;
}

// Accessibility events as the platform's bridges (AT-SPI's on Linux) get them: offscreen,
// with no screen reader asking, a bridge of the test program's own hears them.
QList<std::pair<QAccessible::Event, QPointer<QObject>>>* heard = nullptr;

class RecordingBridge : public QAccessibleBridge {
public:
    void setRootObject(QAccessibleInterface*) override {}
    void notifyAccessibilityUpdate(QAccessibleEvent* event) override {
        if (heard)
            heard->append({event->type(), event->object()});
    }
};

// What the windows' alerts go through; none opens in these tests.
QtAlerts alerts;

QString numberedLines(int from, int to) {
    QString text;
    for (int i = from; i < to; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    return text;
}

} // namespace

// What a person sees of a new window, and what a screen reader says of it.
TEST(LogWindow, ATitledWindowWithANamedReadOnlyTranscriptRunStatusAndFindBar) {
    QtLogWindows windows(alerts);
    const auto log = std::static_pointer_cast<QtLogWindow>(windows.create("Run"));
    TranscriptWindow* w = log->window();
    EXPECT_FALSE(w->isVisible()) << "built, not shown";
    // Its title as the window system shows it and a screen reader says it: untrusted
    // text stays on one line, cannot turn what follows around, and is cut as in menus.
    const std::pair<QString, QString> titles[] = {
        {QStringLiteral("Offer R&D [*] — “quoted” <b>"), QStringLiteral("Offer R&D [*] — “quoted” <b>")},
        {QStringLiteral("Run \u202Eevil\nline"), QStringLiteral("\u2068Run \u202Eevil line\u202C\u2069")},
        {QString(250, QLatin1Char('x')), QString(199, QLatin1Char('x')) + QStringLiteral("…")}};
    for (const auto& [title, shown] : titles) {
        QtLogWindow titled(title, alerts);
        titled.window()->winId();
        EXPECT_EQ(titled.window()->windowHandle()->title(), shown);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(titled.window());
        EXPECT_EQ(window->role(), QAccessible::Window);
        EXPECT_EQ(window->text(QAccessible::Name), shown);
    }
    const auto name = [](QObject* o) {
        return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
    };
    // The transcript: read-only text, named, monospaced as drawn.
    QAccessibleInterface* transcript = QAccessible::queryAccessibleInterface(log->textView());
    EXPECT_EQ(transcript->role(), QAccessible::EditableText);
    EXPECT_TRUE(transcript->state().readOnly);
    EXPECT_EQ(name(log->textView()), "Transcript");
    const QFontMetricsF metrics(log->textView()->font());
    EXPECT_EQ(metrics.horizontalAdvance("W0.—"), metrics.horizontalAdvance("iiii"));
    // The strip is a status bar, the find bar a tool bar; the find field is named for
    // where it looks, and the find bar's Close is told apart from the window's.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->strip())->role(), QAccessible::StatusBar);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w->findBar())->role(), QAccessible::ToolBar);
    EXPECT_EQ(name(w->strip()), "Run status");
    EXPECT_EQ(name(w->findBar()) + "|" + name(w->findBar()->field()), "Find|Find in transcript");
    QStringList buttons;
    for (QToolButton* button : w->findChildren<QToolButton*>())
        buttons << name(button);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"Clear", "Close", "Close Find", "Find Next", "Find Previous", "Find…",
                                    "Save As…", "Stop"}));

    // On the middle of the screen, without a minimise button; the next one
    // opened while it is on screen leaves its title bar in sight.
    EXPECT_EQ(w->geometry().center(), w->screen()->availableGeometry().center());
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    w->move(w->screen()->availableGeometry().topLeft()); // so that the next fits below it
    log->show();
    const auto next = std::static_pointer_cast<QtLogWindow>(windows.create("next"));
    const QPoint offset = next->window()->geometry().topLeft() - w->geometry().topLeft();
    EXPECT_TRUE(offset.x() > 0 && offset.y() > 0) << offset.x() << "," << offset.y();
    closeAndReap(w);
}

TEST(LogWindow, PiecesAreShownLiterallyBackToBack) {
    QtLogWindow log("Log", alerts);
    log.show();
    const QString html = QStringLiteral("<b>x</b> & <i> &amp; <a href=\"u\">l</a>");
    QString many;
    for (int i = 0; i < 500; ++i)
        many += QStringLiteral("line %1\n").arg(i);
    // CR LF is one line end even when split between two reads; a lone CR (a
    // progress counter) ends a line too.
    for (const QString& piece :
         {many, QString(), QString("dos\r"), "\nmac\r" + html, QStringLiteral("\n\U0001F680 end")})
        log.append(piece);
    const QString expected = many + "dos\nmac\n" + html + QStringLiteral("\n\U0001F680 end");
    ASSERT_TRUE(waitUntil([&] { return log.transcript() == expected; })) << log.transcript().toStdString();
    // What the user copies: the same text, markup left as characters.
    EXPECT_EQ(QTextDocumentFragment(log.textView()->document()).toPlainText(), expected);
    for (QTextBlock b = log.textView()->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_FALSE(it.fragment().charFormat().isAnchor() || it.fragment().charFormat().font().bold());
    closeAndReap(log.window());
}

TEST(LogWindow, AppendsFromTwoThreadsKeepTheirOrderAndLoseNothing) {
    QtLogWindow log("Log", alerts);
    constexpr int perThread = 3000;
    auto writer = [&](QChar tag) {
        for (int i = 0; i < perThread; ++i)
            log.append(QStringLiteral("%1%2\n").arg(tag).arg(i));
    };
    // The main thread keeps turning while the writers run.
    std::thread a(writer, QLatin1Char('A')), b(writer, QLatin1Char('B'));
    const bool whole = waitUntil([&] { return log.transcript().count(QLatin1Char('\n')) == 2 * perThread; });
    a.join();
    b.join();
    ASSERT_TRUE(whole);
    // Each writer's lines come out whole and in its own order.
    int next[2] = {0, 0};
    for (const QString& line : log.transcript().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        ASSERT_EQ(line.mid(1).toInt(), next[line.startsWith(QLatin1Char('B'))]++) << line.toStdString();
    EXPECT_EQ(next[0] + next[1], 2 * perThread);
}

TEST(LogWindow, VisibleWindowOutlivesItsLogWindowWithTheWholeTranscript) {
    auto log = std::make_unique<QtLogWindow>("Replaced run", alerts);
    log->show();
    log->append("early\n");
    ASSERT_TRUE(waitUntil([&] { return log->transcript() == "early\n"; }));
    QPointer<QWidget> window = log->window();
    QPointer<ThemeAwareTextView> view = log->textView();
    // These are still pending when the LogWindow goes.
    std::thread([&] { log->append("from a thread\n"); }).join();
    log->append("\nFinished with exit code 0.\n");
    log.reset();

    const QString all = "early\nfrom a thread\n\nFinished with exit code 0.\n";
    ASSERT_TRUE(waitUntil([&] { return view && view->toPlainText() == all; }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(window && view);
    EXPECT_TRUE(window->isVisible());

    // Closing it now frees it.
    closeAndReap(window);
    EXPECT_FALSE(window);
}

TEST(LogWindow, FollowsTheOutputOnlyAtTheEndAndKeepsTheSelection) {
    QtLogWindow log("Log", alerts);
    log.show();
    QScrollBar* bar = log.textView()->verticalScrollBar();
    log.append(numberedLines(0, 300));
    ASSERT_TRUE(waitUntil([&] { return bar->maximum() > 10 && bar->value() == bar->maximum(); }));

    // Scrolled up, with a selection: both hold while lines arrive.
    QTextCursor selection(log.textView()->document());
    selection.setPosition(20);
    selection.setPosition(40, QTextCursor::KeepAnchor);
    log.textView()->setTextCursor(selection);
    const QString selected = selection.selectedText();
    bar->setValue(10);
    const int top = log.textView()->cursorForPosition(QPoint(0, 0)).position();
    log.append(numberedLines(300, 600));
    ASSERT_TRUE(waitUntil([&] { return log.transcript() == numberedLines(0, 600); }));
    EXPECT_EQ(log.textView()->cursorForPosition(QPoint(0, 0)).position(), top);
    EXPECT_EQ(log.textView()->textCursor().selectedText(), selected);

    // Back at the end, it follows again.
    bar->setValue(bar->maximum());
    const int end = bar->maximum();
    log.append(numberedLines(600, 900));
    ASSERT_TRUE(waitUntil([&] { return log.transcript() == numberedLines(0, 900); }));
    EXPECT_GT(bar->value(), end);
    EXPECT_EQ(bar->value(), bar->maximum());
    const QWidget* viewport = log.textView()->viewport();
    const QTextCursor bottom = log.textView()->cursorForPosition(QPoint(0, viewport->height() - 4));
    EXPECT_EQ(bottom.block(), log.textView()->document()->lastBlock()) << bottom.block().text().toStdString();
    EXPECT_EQ(log.textView()->textCursor().selectedText(), selected);
    closeAndReap(log.window());
}

class RecordingBridgePlugin : public QAccessibleBridgePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QAccessibleBridgeFactoryInterface_iid FILE "RecordingBridge.json")
public:
    QAccessibleBridge* create(const QString&) override { return new RecordingBridge; }
};
Q_IMPORT_PLUGIN(RecordingBridgePlugin)

// A screen reader hears the state while the run goes on, not every second of
// its count, and is told once that it has ended.
TEST(LogWindow, TheStripTellsHowTheRunStandsOnceItEndsAndStopsItOnlyWhileItGoesOn) {
    const std::pair<RunOutcome, QString> endings[] = {
        {{RunOutcome::Kind::failed, 3, 7s}, "Failed — exit code 3 · 0:07"},
        {{RunOutcome::Kind::succeeded, 0, 65s}, "Succeeded — exit code 0 · 1:05"},
        {{RunOutcome::Kind::stopped, 15, 12s}, "Stopped — 0:12"},
    };
    QList<std::pair<QAccessible::Event, QPointer<QObject>>> events;
    for (const auto& [outcome, words] : endings) {
        QtLogWindow log("Run", alerts);
        log.show();
        RunStrip* strip = log.window()->strip();
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(strip);
        QAction* stop = keyAction(log.window(), QKeySequence(Qt::CTRL | Qt::Key_Period));
        ASSERT_TRUE(stop);
        const auto stopShown = [&] {
            const auto buttons = log.window()->findChildren<QToolButton*>();
            return stop->isEnabled() &&
                   std::any_of(buttons.begin(), buttons.end(), [&](const QToolButton* b) {
                       return b->defaultAction() == stop && b->isVisible();
                   });
        };
        EXPECT_EQ(strip->text(), "") << "no run yet";
        log.runStarted();
        EXPECT_EQ(strip->text(), "Running — 0:00");
        EXPECT_EQ(status->text(QAccessible::Description), "Running");
        EXPECT_FALSE(stopShown()) << "no Stop without a handler";
        int stops = 0;
        log.setStopHandler([&] { ++stops; });
        ASSERT_TRUE(stopShown());
        stop->trigger();
        EXPECT_EQ(stops, 1);
        heard = &events;
        if (outcome.kind == RunOutcome::Kind::failed) {
            ASSERT_TRUE(waitUntil([&] { return strip->text() == "Running — 0:01"; }, 5s));
            for (const auto& [type, object] : events)
                EXPECT_FALSE(object &&
                             (object == strip || strip->isAncestorOf(qobject_cast<QWidget*>(object))))
                    << "event " << type << " while counting";
        }

        events.clear();
        log.runEnded(outcome);
        heard = nullptr;
        EXPECT_EQ(strip->text(), words);
        EXPECT_EQ(status->text(QAccessible::Description), words);
        EXPECT_EQ(events.count({QAccessible::Alert, strip}), 1);
        EXPECT_EQ(std::count_if(events.begin(), events.end(),
                                [](const auto& e) { return e.first == QAccessible::Alert; }),
                  1);
        EXPECT_FALSE(stopShown());
        stop->trigger();
        EXPECT_EQ(stops, 1);
        closeAndReap(log.window());
    }
}

TEST(LogWindow, FindSaveAsAndCloseAreButtonsBesideStopNamedByTheirLabelsInTabOrder) {
    QtLogWindow log("Run", alerts);
    log.runStarted();
    log.setStopHandler([] {});
    log.show();
    TranscriptWindow* window = log.window();
    ASSERT_TRUE(waitUntil([&] { return log.isActive(); }));
    EXPECT_EQ(QApplication::focusWidget(), log.textView());
    // Tab from the transcript goes round: the find bar is hidden, so the strip's buttons, then back.
    QStringList names;
    QWidget* at = log.textView();
    for (int i = 0; i < 5; ++i) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(at, &tab);
        at = QApplication::focusWidget();
        names << (at == log.textView() ? "transcript"
                                       : QAccessible::queryAccessibleInterface(at)->text(QAccessible::Name));
    }
    EXPECT_EQ(names, (QStringList{"Stop", "Find…", "Save As…", "Close", "transcript"}));

    // Each does what its key does.
    const auto button = [&](const QString& label) {
        for (QToolButton* b : window->strip()->findChildren<QToolButton*>())
            if (b->text() == label)
                return b;
        return static_cast<QToolButton*>(nullptr);
    };
    EXPECT_EQ(button("Save As…")->defaultAction(), keyAction(window, QKeySequence(Qt::CTRL | Qt::Key_S)));
    EXPECT_EQ(button("Find…")->toolTip(), "Find… (Ctrl+F)");
    button("Find…")->click();
    EXPECT_TRUE(window->findBar()->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), window->findBar()->field());
    // Its focus shows as a frame, two pixels wide all round, that stands out
    // from the bar by 3:1.
    const QImage field = window->findBar()->field()->grab().toImage();
    const QRgb around = window->findBar()->palette().color(QPalette::Window).rgb();
    double weakest = 21;
    for (int in = 0; in < 2; ++in)
        for (const QPoint edge :
             {QPoint(in, field.height() / 2), QPoint(field.width() - 1 - in, field.height() / 2),
              QPoint(field.width() / 2, in), QPoint(field.width() / 2, field.height() - 1 - in)})
            weakest = std::min(weakest, test::contrast(field.pixel(edge), around));
    EXPECT_GE(weakest, 3.0);
    button("Close")->click();
    EXPECT_FALSE(window->isVisible());
    // Their texts stay when the run ends; Stop goes.
    log.runEnded({RunOutcome::Kind::succeeded, 0, 72s});
    EXPECT_EQ(window->strip()->text(), "Succeeded — exit code 0 · 1:12");
    EXPECT_TRUE(button("Find…")->isVisibleTo(window));
    EXPECT_FALSE(button("Stop")->isVisibleTo(window));
}

TEST(LogWindow, SaveWritesTheTranscriptsBytesFromTheHistoryFileOrTheView) {
    QTemporaryDir dir;
    const QString shown = QStringLiteral("caf\u00e9 <b>&amp;</b>\u00a0\U0001F680\nend");
    const QByteArray history = "the start the window no longer holds\r\n" + shown.toUtf8();
    test::writeFile(dir.filePath("history.log"), history);
    for (const bool withHistory : {true, false}) {
        QtLogWindow log("Log", alerts);
        if (withHistory)
            log.setHistoryFile(dir.filePath("history.log"));
        log.append(shown);
        ASSERT_TRUE(waitUntil([&] { return log.transcript() == shown; }));
        const QString saved = dir.filePath("saved.txt");
        bool onlyTheEnd = true;
        ASSERT_TRUE(log.window()->saveTranscript(saved, nullptr, &onlyTheEnd));
        QFile file(saved);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), withHistory ? history : shown.toUtf8());
        EXPECT_FALSE(onlyTheEnd); // the view held it all
    }
}

TEST(LogWindow, SaveAsStartsInTheDocumentsFolderOrElseHomeWithTheRunsFileName) {
    const test::TempHome home;
    const QString runFile = "/runs/2026-12-07_141503_Veldrin Audit.log";
    EXPECT_EQ(saveAsStartPath("Veldrin Audit", runFile),
              home.home() + "/2026-12-07_141503_Veldrin Audit.log");
    ASSERT_TRUE(QDir(home.home()).mkdir("Documents"));
    EXPECT_EQ(saveAsStartPath("Veldrin Audit", runFile),
              home.home() + "/Documents/2026-12-07_141503_Veldrin Audit.log");
    EXPECT_EQ(saveAsStartPath("Offer a/b: \"x\"", QString()), home.home() + "/Documents/Offer a-b- -x-.log");
}

TEST(LogWindow, CtrlWAndEscapeCloseTheWindowButEscapeClosesAnOpenFindBarFirst) {
    QtLogWindow log("Log", alerts);
    int stops = 0;
    log.setStopHandler([&] { ++stops; });
    log.runStarted();
    log.show();
    TranscriptWindow* window = log.window();
    ASSERT_TRUE(waitUntil([&] { return log.isActive(); }));
    keyAction(window, QKeySequence(Qt::CTRL | Qt::Key_W))->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(log.isActive());

    log.show();
    keyAction(window, QKeySequence(Qt::CTRL | Qt::Key_F))->trigger();
    ASSERT_TRUE(window->findBar()->isVisible());
    keyAction(window, QKeySequence(Qt::Key_Escape))->trigger();
    EXPECT_FALSE(window->findBar()->isVisible());
    EXPECT_TRUE(window->isVisible());
    keyAction(window, QKeySequence(Qt::Key_Escape))->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(stops, 0) << "closing never stops the run";
}

TEST(LogWindow, FindSelectsAsItIsTypedHighlightsEveryMatchAndSaysWhichOfHowMany) {
    QtLogWindow log("Log", alerts);
    log.show();
    log.append("alpha beta\nALPHA gamma\nbeta alpha\n");
    ASSERT_TRUE(waitUntil([&] { return log.transcript().endsWith("beta alpha\n"); }));
    keyAction(log.window(), QKeySequence(Qt::CTRL | Qt::Key_F))->trigger();
    FindBar* bar = log.window()->findBar();
    QLineEdit* field = bar->field();
    field->setText("Alpha");
    ASSERT_TRUE(waitUntil([&] { return log.textView()->extraSelections().size() == 3; }));
    for (const auto& highlight : log.textView()->extraSelections())
        EXPECT_EQ(highlight.cursor.selectedText().toLower(), "alpha");

    QAction* next = keyAction(field, QKeySequence(Qt::Key_Return));
    QAction* previous = keyAction(field, QKeySequence(Qt::SHIFT | Qt::Key_Return));
    const auto selected = [&] {
        return QString::number(log.textView()->textCursor().selectionStart()) + " " + bar->status();
    };
    EXPECT_EQ(selected(), "0 1 of 3");
    for (const auto& [action, shown] : {std::pair{next, "11 2 of 3"},
                                        {next, "28 3 of 3"},
                                        {next, "0 1 of 3"},
                                        {previous, "28 3 of 3"},
                                        {previous, "11 2 of 3"}}) {
        action->trigger();
        EXPECT_EQ(selected(), shown);
    }
    field->setText("Alphas");
    EXPECT_EQ(selected(), "11 No matches");
    // Output arriving is counted too.
    field->setText("beta");
    EXPECT_EQ(selected(), "23 2 of 2");
    log.append("beta\n");
    EXPECT_TRUE(waitUntil([&] { return bar->status() == "2 of 3"; })) << bar->status().toStdString();

    // A transcript of megabytes is read in slices; the count is the same.
    log.append(numberedLines(0, 200000));
    ASSERT_TRUE(waitUntil([&] { return !log.hasPendingText(); }));
    field->setText("line 1999");
    EXPECT_TRUE(waitUntil([&] { return bar->status() == "1 of 111"; })) << bar->status().toStdString();
    previous->trigger();
    EXPECT_TRUE(waitUntil([&] { return bar->status() == "111 of 111"; })) << bar->status().toStdString();
    EXPECT_EQ(log.textView()->textCursor().selectionStart(), log.transcript().lastIndexOf("line 1999"));
    keyAction(log.window(), QKeySequence(Qt::Key_Escape))->trigger();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(log.textView()->extraSelections().isEmpty());
    closeAndReap(log.window());
}

TEST(LogWindow, AMegabyteLineWithoutBreaksArrivesWhole) {
    QtLogWindow log("Log", alerts);
    log.show();
    QString line;
    for (int i = 0; line.size() < 1000 * 1000; ++i)
        line += QStringLiteral("%1\u00e9\U0001F680,").arg(i);
    // In reads, as a reader thread hands them over.
    std::thread reader([&] {
        for (qsizetype at = 0; at < line.size(); at += 4096)
            log.append(line.mid(at, 4096));
        log.append("\nnext\n");
    });
    const bool whole =
        waitUntil([&] { return !log.hasPendingText() && log.transcript().endsWith("next\n"); });
    reader.join();
    ASSERT_TRUE(whole);
    EXPECT_TRUE(log.transcript() == line + "\nnext\n");

    // Where a long line has spaces, the breaks it is shown with fall between words.
    QString words;
    while (words.size() < 20000)
        words += QStringLiteral("sync conflict resolved ");
    log.append(words + "\n");
    ASSERT_TRUE(waitUntil([&] { return log.transcript().endsWith(words + "\n"); }));
    int cuts = 0;
    QTextBlock last = log.textView()->document()->lastBlock();
    while (last.text().isEmpty())
        last = last.previous();
    for (QTextBlock b = last; !b.previous().text().contains(','); b = b.previous()) {
        ++cuts;
        EXPECT_TRUE(b.previous().text().endsWith(' ')) << b.previous().text().right(20).toStdString();
    }
    EXPECT_GE(cuts, 15);
    closeAndReap(log.window());
}

TEST(LogWindow, AHugeTranscriptKeepsItsEndAfterANoticeThatNamesTheHistoryFile) {
    QtLogWindow log("Log", alerts);
    const QString lines = numberedLines(0, 1200 * 1000); // over 12 million characters
    log.append(lines);
    ASSERT_TRUE(waitUntil([&] { return !log.hasPendingText(); }));
    const QString kept = log.transcript();
    EXPECT_TRUE(kept.size() > 4'000'000 && kept.size() < 5'000'000) << kept.size();
    EXPECT_TRUE(lines.endsWith(kept));
    EXPECT_TRUE(kept.startsWith("line "));
    const QTextBlock notice = log.textView()->document()->firstBlock();
    EXPECT_EQ(notice.text(), "Earlier output is not shown here.");
    log.setHistoryFile("/runs/sync.log");
    EXPECT_EQ(notice.text(), "Earlier output is not shown here; the whole transcript is in /runs/sync.log.");
    EXPECT_EQ(log.transcript(), kept);
    // That file gone, Save As writes what the window holds and says it is only the end.
    QTemporaryDir dir;
    bool onlyTheEnd = false;
    ASSERT_TRUE(log.window()->saveTranscript(dir.filePath("saved.txt"), nullptr, &onlyTheEnd));
    EXPECT_TRUE(onlyTheEnd);
    EXPECT_EQ(QFileInfo(dir.filePath("saved.txt")).size(), kept.toUtf8().size());
}

#include "LogWindowTest.moc"
