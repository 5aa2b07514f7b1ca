// The log window on the desktop: literal text, order across threads, a
// window that outlives its run, and colours that follow the theme.
#include "gui/LogWindow.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

using veldrin::QtLogWindow;
using veldrin::test::waitUntil;

namespace {

// Lets every queued insertion run.
void settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void closeAndReap(QWidget* window) {
    if (window) {
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

TEST(LogWindow, IsATitledReadOnlyMonospacedWindowWithoutMinimise) {
    QtLogWindow log(QStringLiteral("Veldrin Audit — “quoted” & <b>"));
    QWidget* w = log.window();
    EXPECT_FALSE(w->isVisible()) << "built, not shown";
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Veldrin Audit — “quoted” & <b>"));
    EXPECT_EQ(w->size(), QSize(760, 440));
    EXPECT_EQ(w->geometry().center(), w->screen()->availableGeometry().center());
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(log.textView()->isReadOnly());
    EXPECT_EQ(log.textView()->font().pointSize(), 12);
    const QFontMetricsF metrics(log.textView()->font()); // monospaced as drawn
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("W0.—")), metrics.horizontalAdvance(QStringLiteral("iiii")));
    log.show();
    EXPECT_TRUE(w->isVisible());
    closeAndReap(w);
}

TEST(LogWindow, PiecesAreShownLiterallyBackToBackAndTheEndStaysInView) {
    QtLogWindow log(QStringLiteral("Log"));
    log.show();
    const QString html = QStringLiteral("<b>x</b> & <i> &amp; <a href=\"u\">l</a>");
    QString many;
    for (int i = 0; i < 500; ++i)
        many += QStringLiteral("line %1\n").arg(i);
    for (const QString& piece : {many, QString(), QStringLiteral("two"), html, QStringLiteral("\n\U0001F680\u00A0end")})
        log.append(piece);
    const QString expected = many + "two" + html + QStringLiteral("\n\U0001F680\u00A0end");
    ASSERT_TRUE(waitUntil([&] { return log.transcript() == expected; })) << log.transcript().toStdString();
    // Markup stays characters.
    for (QTextBlock b = log.textView()->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            EXPECT_FALSE(it.fragment().charFormat().isAnchor() || it.fragment().charFormat().font().bold());
    }
    // Even an empty piece brings the end back into view.
    QScrollBar* bar = log.textView()->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);
    log.append(QString());
    ASSERT_TRUE(waitUntil([&] { return bar->value() == bar->maximum() && bar->maximum() > 0; }));
    closeAndReap(log.window());
}

TEST(LogWindow, LineEndsShowAsLinesAndCopyAsLineFeeds) {
    QtLogWindow log(QStringLiteral("Log"));
    QString lines;
    for (int i = 1; i <= 40; ++i)
        lines += QStringLiteral("line %1\n").arg(i);
    log.append(lines);
    // CR LF is one line end even when split between two reads; a lone CR
    // (a progress counter) ends a line too.
    log.append(QStringLiteral("dos\r"));
    log.append(QStringLiteral("\nmac\rend"));
    const QString expected = lines + QStringLiteral("dos\nmac\nend");
    ASSERT_TRUE(waitUntil([&] { return log.transcript() == expected; }))
        << log.transcript().toStdString();

    // What the user copies: every line on its own, nothing else.
    QTextCursor all(log.textView()->document());
    all.select(QTextCursor::Document);
    EXPECT_EQ(all.selection().toPlainText(), expected);
}

TEST(LogWindow, AppendsFromTwoThreadsKeepTheirOrderAndLoseNothing) {
    QtLogWindow log(QStringLiteral("Log"));
    constexpr int perThread = 3000;
    auto writer = [&log](QChar tag) {
        for (int i = 0; i < perThread; ++i)
            log.append(QStringLiteral("%1%2\n").arg(tag).arg(i));
    };
    std::thread a(writer, QLatin1Char('A'));
    std::thread b(writer, QLatin1Char('B'));
    // The main thread keeps turning while the writers run.
    waitUntil([] { return false; }, std::chrono::milliseconds(50));
    a.join();
    b.join();
    ASSERT_TRUE(waitUntil([&] { return log.transcript().count(QLatin1Char('\n')) == 2 * perThread; }));

    int nextA = 0;
    int nextB = 0;
    const QStringList lines = log.transcript().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2 * perThread);
    for (const QString& line : lines) {
        int& next = line.startsWith(QLatin1Char('A')) ? nextA : nextB;
        ASSERT_EQ(line.mid(1).toInt(), next) << line.toStdString();
        ++next;
    }
    EXPECT_EQ(nextA, perThread);
    EXPECT_EQ(nextB, perThread);
}

TEST(LogWindow, VisibleWindowOutlivesItsLogWindowWithTheWholeTranscript) {
    auto log = std::make_unique<QtLogWindow>(QStringLiteral("Replaced run"));
    log->show();
    log->append(QStringLiteral("early\n"));
    settle();
    QPointer<QWidget> window = log->window();
    QPointer<veldrin::ThemeAwareTextView> view = log->textView();
    // These are still pending when the LogWindow goes.
    std::thread late([&] { log->append(QStringLiteral("from a thread\n")); });
    late.join();
    log->append(QStringLiteral("\nFinished with exit code 0.\n"));
    log.reset();

    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(window);
    ASSERT_TRUE(view);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(view->toPlainText(),
              QStringLiteral("early\nfrom a thread\n\nFinished with exit code 0.\n"));

    // Closing it now frees it.
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
}

TEST(LogWindow, PaletteSwitchRecoloursBackgroundAndExistingText) {
    const QPalette original = QApplication::palette();
    QtLogWindow log(QStringLiteral("Log"));
    log.show();
    log.append(QStringLiteral("written while light\n"));
    ASSERT_TRUE(waitUntil([&] { return !log.transcript().isEmpty(); }));
    QPalette dark = original;
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    QApplication::setPalette(dark);
    settle();
    EXPECT_EQ(log.textView()->palette().color(QPalette::Base), QColor(0x1e, 0x1e, 0x1e));
    EXPECT_EQ(log.textView()->palette().color(QPalette::Text), QColor(0xe6, 0xe6, 0xe6));
    // The text carries no colour of its own, so it is drawn in the new one.
    QTextCursor cursor(log.textView()->document());
    cursor.setPosition(3);
    EXPECT_FALSE(cursor.charFormat().hasProperty(QTextFormat::ForegroundBrush));
    QApplication::setPalette(original);
    closeAndReap(log.window());
}
