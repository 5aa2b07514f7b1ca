// A run the user does not watch, through the real log window and D-Bus
// notifications, against a stand-in server on a private session bus.

#include "app/Harness.h"
#include "gui/LogWindow.h"
#include "platform/linux/DBusNotifications.h"
#include "support/NotificationServer.h"
#include "support/SessionBus.h"

#include <QPointer>
#include <QScrollBar>
#include <QWindow>

#include <gtest/gtest.h>

using namespace veldrin;

TEST(RunNotification, ARunFailingInAClosedWindowIsToldAndItsNotificationBringsTheWholeWindowBack) {
    test::SessionBus bus;
    ASSERT_TRUE(bus.ok());
    test::NotificationServer server;
    ASSERT_TRUE(bus.serve(&server, "org.freedesktop.Notifications", "/org/freedesktop/Notifications"));
    test::Harness h(
        "[ \"$1\" = audit ] || exit 0\necho checking\n"
        "while [ ! -f \"$HOME/release\" ]; do sleep 0.02; done\necho 'profile Alt: missing'\nexit 3",
        [](Platform& p) {
            p.logWindows = std::make_unique<QtLogWindows>(*p.alerts); // the fakes' alerts
            p.notifications = makeDBusNotifications();
        });

    h.delegate->auditProfiles();
    const QPointer<TranscriptWindow> window =
        std::static_pointer_cast<QtLogWindow>(h.delegate->runs.logWindow)->window();
    ASSERT_TRUE(window && window->windowTitle() == "Veldrin Audit");
    const auto transcript = [&] { return window ? window->textView()->toPlainText() : QString(); };
    ASSERT_TRUE(test::waitUntil([&] { return transcript() == "checking\n"; }));
    // Closed mid-run: the run goes on out of sight.
    window->close();
    EXPECT_FALSE(window->isVisible());
    // Hidden, it keeps its native window: nothing for show() to find missing.
    EXPECT_TRUE(window->windowHandle() && window->windowHandle()->handle());
    h.home.writeScript("release", "");
    ASSERT_TRUE(h.runFinished());

    ASSERT_TRUE(test::waitUntil([&] { return server.shown().size() == 1; }));
    EXPECT_EQ(server.shown()[0],
              "Veldrin|Veldrin Audit failed|Exit code 3 · 0:00\nprofile Alt: missing|default,Open");
    server.click(1, "default");
    ASSERT_TRUE(test::waitUntil([&] { return window && window->isVisible(); }));
    EXPECT_EQ(transcript(), "checking\nprofile Alt: missing\n\nFinished with exit code 3.\n");
    QScrollBar* bar = window->textView()->verticalScrollBar();
    EXPECT_TRUE(test::waitUntil([&] { return bar->value() == bar->maximum(); }));
    window->close();
}
