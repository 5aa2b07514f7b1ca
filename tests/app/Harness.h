#pragma once

// An AppDelegate on fake platform effects, against a real controller script in
// a temporary HOME.

#include "app/AppDelegate.h"
#include "demo/Demo.h"

#include "support/Fakes.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace veldrin::test {

// The demo's sandbox in this home: the simulated controller, pmset and sudo,
// the stand-in app bundles, the data folders.
inline void installSimulator(const TempHome& home) {
    QString error;
    EXPECT_TRUE(layOutSandbox(home.home(), home.systemRoot(), &error)) << error.toStdString();
}

struct Harness {
    TempHome home;
    FakePlatform fakes;
    std::unique_ptr<AppDelegate> delegate;

    // `body` is the controller's sh script after it has recorded its arguments;
    // `real` may put real pieces in place of some of the fakes.
    explicit Harness(const QByteArray& body = "exit 0", const std::function<void(Platform&)>& real = {}) {
        home.writeController(recordingController(body));
        Platform platform = fakes.make();
        if (real)
            real(platform);
        delegate = std::make_unique<AppDelegate>(std::move(platform));
    }
    // The status item, as launch would make it.
    FakeStatusItem& statusItem() {
        delegate->indicator.statusItem = delegate->platform().statusBar->createStatusItem();
        delegate->indicator.statusItem->setMenuDelegate(delegate.get());
        return *fakes.statusItem;
    }
    // The controller's calls, without the cloud status refreshes that go on in the background.
    QList<QStringList> calls() const {
        QList<QStringList> calls = recordedCalls(home);
        calls.removeAll({"cloud", "status"});
        return calls;
    }
    // Waits until the run has been handed back.
    bool runFinished() {
        return waitUntil([&] { return !delegate->runs.activeProcess; }, std::chrono::seconds(20));
    }
    QString transcript() const { return fakes.lastWindow() ? fakes.lastWindow()->transcript() : QString(); }
    // A run as one going on would be, with nothing of its own running.
    std::shared_ptr<Run> runGoingOn() {
        if (!history)
            history = std::make_unique<HistoryWriter>(home.home() + "/other-runs");
        return std::make_shared<Run>("Veldrin Audit", fakes.now, fakes.monotonicNow,
                                     history->begin("Veldrin Audit", fakes.now),
                                     std::make_shared<FakeLogWindow>("Veldrin Audit"));
    }
    std::unique_ptr<HistoryWriter> history;
};

} // namespace veldrin::test
