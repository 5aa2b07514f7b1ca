// The log window on the desktop: literal text, order across threads, and a
// window that outlives its run.
#include "gui/LogWindow.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace veldrin;
using test::waitUntil;

namespace {

void closeAndReap(QWidget* window) {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(LogWindow, IsATitledReadOnlyMonospacedWindowWithoutMinimise) {
    QtLogWindows windows;
    const auto log = std::static_pointer_cast<QtLogWindow>(windows.create("Offer R&D [*] — “quoted” <b>"));
    QWidget* w = log->window();
    EXPECT_FALSE(w->isVisible()) << "built, not shown";
    w->winId(); // the title the window system gets
    EXPECT_EQ(w->windowHandle()->title(), "Offer R&D [*] — “quoted” <b>");
    EXPECT_EQ(w->size(), QSize(760, 440));
    EXPECT_EQ(w->geometry().center(), w->screen()->availableGeometry().center());
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(log->textView()->isReadOnly());
    EXPECT_EQ(log->textView()->font().pointSize(), 12);
    const QFontMetricsF metrics(log->textView()->font()); // monospaced as drawn
    EXPECT_EQ(metrics.horizontalAdvance("W0.—"), metrics.horizontalAdvance("iiii"));

    // While one is on screen, the next sits a title bar below and right of it.
    w->move(w->screen()->availableGeometry().topLeft()); // so that the next fits below it
    log->show();
    const auto next = std::static_pointer_cast<QtLogWindow>(windows.create("next"));
    EXPECT_EQ(next->window()->geometry().topLeft(), w->geometry().topLeft() + QPoint(28, 28));
    closeAndReap(w);
}

TEST(LogWindow, PiecesAreShownLiterallyBackToBackAndTheEndStaysInView) {
    QtLogWindow log("Log");
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
    // Even an empty piece brings the end back into view.
    QScrollBar* bar = log.textView()->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);
    log.append(QString());
    ASSERT_TRUE(waitUntil([&] { return bar->value() == bar->maximum() && bar->maximum() > 0; }));
    closeAndReap(log.window());
}

TEST(LogWindow, AppendsFromTwoThreadsKeepTheirOrderAndLoseNothing) {
    QtLogWindow log("Log");
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
    auto log = std::make_unique<QtLogWindow>("Replaced run");
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
