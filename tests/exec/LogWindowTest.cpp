#include "exec/LogWindow.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QFontInfo>
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

using veldrin::LogWindow;
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
    LogWindow log(QStringLiteral("Veldrin Audit — “quoted” & <b>"));
    QWidget* w = log.window();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->isVisible()) << "built, not shown";
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Veldrin Audit — “quoted” & <b>"));
    EXPECT_EQ(w->size(), QSize(760, 440));
    EXPECT_EQ(w->geometry().center(), w->screen()->availableGeometry().center());
    EXPECT_FALSE(w->testAttribute(Qt::WA_DeleteOnClose));

    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));

    auto* view = log.textView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_FALSE(view->isUndoRedoEnabled());
    EXPECT_EQ(view->font().pointSize(), 12);
    // Monospaced as drawn: narrow and wide glyphs advance alike.
    const QFontMetricsF metrics(view->font());
    for (QChar c : QStringLiteral("W0.—"))
        EXPECT_EQ(metrics.horizontalAdvance(c), metrics.horizontalAdvance(QLatin1Char('i')))
            << QFontInfo(view->font()).family().toStdString();

    log.show();
    EXPECT_TRUE(w->isVisible());
    closeAndReap(w);
}

TEST(LogWindow, PiecesAreShownLiterallyAndBackToBack) {
    LogWindow log(QStringLiteral("Log"));
    log.show();
    const QString html = QStringLiteral("<b>x</b> & <i> &amp; <a href=\"u\">l</a>");
    log.append(QStringLiteral("one\n"));
    log.append(QString());
    log.append(QStringLiteral("two"));
    log.append(QStringLiteral("\nthree\n\n"));
    log.append(html);
    log.append(QStringLiteral("\ncaf\u00E9 \u2192 \U0001F680\u00A0end"));
    const QString expected = QStringLiteral("one\ntwo\nthree\n\n") + html +
                             QStringLiteral("\ncaf\u00E9 \u2192 \U0001F680\u00A0end");
    ASSERT_TRUE(waitUntil([&] { return log.transcript() == expected; }))
        << log.transcript().toStdString();

    // Markup stays characters: nothing bold, italic or anchored.
    for (QTextBlock b = log.textView()->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            EXPECT_FALSE(f.isAnchor());
            EXPECT_FALSE(f.font().bold());
            EXPECT_FALSE(f.font().italic());
        }
    }
    closeAndReap(log.window());
}

TEST(LogWindow, EmptyAppendKeepsTextAndScrollsToEnd) {
    LogWindow log(QStringLiteral("Log"));
    log.show();
    QString many;
    for (int i = 0; i < 500; ++i)
        many += QStringLiteral("line %1\n").arg(i);
    log.append(many);
    QScrollBar* bar = log.textView()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return log.transcript() == many; }));
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    log.append(QString());
    ASSERT_TRUE(waitUntil([&] { return bar->value() == bar->maximum(); }));
    EXPECT_EQ(log.transcript(), many);
    closeAndReap(log.window());
}

TEST(LogWindow, WhatArrivesBeforeOneTurnIsInsertedOnce) {
    LogWindow log(QStringLiteral("Log"));
    QTextDocument* doc = log.textView()->document();
    int insertions = 0;
    QObject::connect(doc, &QTextDocument::contentsChange,
                     [&](int, int, int added) { insertions += added > 0 ? 1 : 0; });
    QString expected;
    for (int i = 0; i < 300; ++i) {
        const QString piece = QStringLiteral("piece %1\n").arg(i);
        log.append(piece);
        expected += piece;
    }
    settle();
    EXPECT_EQ(log.transcript(), expected);
    EXPECT_EQ(insertions, 1);
}

TEST(LogWindow, HugeBurstIsSplitButNeverInsideASurrogatePair) {
    // Lines of four-byte characters, 101 code units each: wherever a burst is
    // cut by length, one of the two offsets puts a pair across the cut.
    for (const QString& prefix : {QString(), QStringLiteral("x")}) {
        LogWindow log(QStringLiteral("Log"));
        QTextDocument* doc = log.textView()->document();
        int insertions = 0;
        int brokenPairs = 0;
        QObject::connect(doc, &QTextDocument::contentsChange, [&](int, int, int added) {
            if (added == 0)
                return;
            ++insertions;
            const QString text = doc->toRawText();
            if (!text.isEmpty() && text.back().isHighSurrogate())
                ++brokenPairs;
        });
        QString line;
        for (int i = 0; i < 50; ++i)
            line += QStringLiteral("\U0001F600");
        line += QLatin1Char('\n');
        QString expected = prefix;
        while (expected.size() < 2'500'000)
            expected += line;
        log.append(expected);
        ASSERT_TRUE(waitUntil([&] { return log.transcript().size() == expected.size(); }));
        EXPECT_TRUE(log.transcript() == expected);
        EXPECT_GT(insertions, 1) << "one burst should not be one long insertion";
        EXPECT_EQ(brokenPairs, 0) << "prefix " << prefix.size();
    }
}

TEST(LogWindow, LineEndsShowAsLinesAndCopyAsLineFeeds) {
    LogWindow log(QStringLiteral("Log"));
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
    LogWindow log(QStringLiteral("Log"));
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
    auto log = std::make_unique<LogWindow>(QStringLiteral("Replaced run"));
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
    LogWindow log(QStringLiteral("Log"));
    log.show();
    log.append(QStringLiteral("written while light\n"));
    ASSERT_TRUE(waitUntil([&] { return !log.transcript().isEmpty(); }));
    auto* view = log.textView();

    QPalette dark = original;
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    QApplication::setPalette(dark);
    settle();

    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        EXPECT_EQ(view->palette().color(group, QPalette::Base), QColor(0x1e, 0x1e, 0x1e));
        EXPECT_EQ(view->palette().color(group, QPalette::Text), QColor(0xe6, 0xe6, 0xe6));
    }
    // Text carries no colour of its own, so it is drawn in the new text colour.
    QTextCursor cursor(view->document());
    cursor.setPosition(3);
    EXPECT_FALSE(cursor.charFormat().hasProperty(QTextFormat::ForegroundBrush));

    QApplication::setPalette(original);
    settle();
    closeAndReap(log.window());
}
