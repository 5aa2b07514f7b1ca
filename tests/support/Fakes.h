#pragma once

// Fakes for the platform effects: status item, log windows, defaults, clock,
// timers, activities, alerts, the workspace and pauses. They record into one
// FakePlatform, which must outlive the delegate. Background work is the real
// thing: jobs run on threads and hand back through the event loop.

#include "app/Platform.h"

#include <QMutex>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace veldrin::test {

// The entries one opening set.
struct CapturedMenu : StatusMenu {
    void setEntries(const std::vector<MenuEntry>& shown) override { entries = shown; }
    const MenuEntry* find(Action action) const {
        const auto it = std::ranges::find(entries, action, &MenuEntry::action);
        return it == entries.end() ? nullptr : &*it;
    }
    std::vector<MenuEntry> entries;
};

// A log window that keeps its transcript; append() may come from any thread.
struct FakeLogWindow : LogWindow {
    explicit FakeLogWindow(QString t) : title(std::move(t)) {}
    void show() override { shown = true; }
    void append(const QString& text) override {
        const QMutexLocker lock(&mutex_);
        text_ += text;
    }
    QString transcript() const {
        const QMutexLocker lock(&mutex_);
        return text_;
    }
    void runStarted() override { strip = "running"; }
    void runEnded(const RunOutcome& outcome) override { strip = outcomeStripText(outcome); }
    void setStopHandler(std::function<void()> stop) override { requestStop = std::move(stop); }
    void setHistoryFile(const QString& path) override { historyFile = path; }
    bool isActive() const override { return active; }
    const QString title;
    bool shown = false;
    bool active = false; // what isActive answers
    QString strip;       // "running", then the outcome's strip text
    QString historyFile;
    std::function<void()> requestStop; // the window's Stop, while it has one

private:
    mutable QMutex mutex_;
    QString text_;
};

struct FakeStatusItem : StatusItem {
    explicit FakeStatusItem(QStringList& platformEvents) : events(platformEvents) {}
    bool hasButton() const override { return true; }
    void setToolTip(const QString& text) override { events << "toolTip:" + text; }
    void setIndicator(SyncState state) override {
        indicators.push_back(state);
        events << "indicator";
    }
    void setMenuDelegate(MenuDelegate* d) override {
        delegate = d;
        events << "menu";
    }
    void menuChanged() override { ++menuChanges; }
    void openMenu() override { events << "openMenu"; }
    std::optional<bool> shown() const override { return trayShown; }
    bool trayPresent() const override { return trayThere; }
    // What a click on the icon shows.
    CapturedMenu open() const {
        CapturedMenu menu;
        delegate->menuWillOpen(menu);
        return menu;
    }

    QStringList& events; // the platform's
    std::vector<SyncState> indicators;
    MenuDelegate* delegate = nullptr;
    int menuChanges = 0;
    std::optional<bool> trayShown = true; // what shown() answers
    bool trayThere = true;                // what trayPresent() answers
};

struct FakePlatform {
    // In order: "statusItem", "toolTip:…", "menu", "indicator", "read:key",
    // "write:key=true", "repeat:5000", "after:20000", "begin:option:reason",
    // "end:id", "beep", "raiseAlert", "openMenu". Timers never fire by themselves.
    QStringList events;
    // The delayed calls scheduled so far; runDelayed fires those of one delay.
    std::vector<std::pair<std::chrono::milliseconds, std::function<void()>>> delayed;
    void runDelayed(std::chrono::milliseconds delay) {
        auto due = std::exchange(delayed, {});
        for (auto& [after, call] : due) {
            if (after == delay)
                call();
            else
                delayed.emplace_back(after, std::move(call));
        }
    }
    FakeStatusItem* statusItem = nullptr;
    std::vector<std::shared_ptr<FakeLogWindow>> windows;
    std::map<QString, bool> defaults;
    // What a write to the defaults answers (why the store could not keep it).
    std::optional<QString> defaultsWriteProblem;
    // What the desktop answers to a display activity (why it refused).
    std::optional<QString> activityRefusal;
    // Both clocks move together, and only when the test says so.
    TimePoint now = TimePoint{} + std::chrono::hours(24 * 365 * 56);
    Instant monotonicNow = Instant{} + std::chrono::hours(1);
    void advance(std::chrono::milliseconds by) {
        now += by;
        monotonicNow += by;
    }
    std::vector<std::uint64_t> heldActivities;
    // Every alert shown, and the answers given to them in turn; with none
    // left, an alert goes away without a button.
    std::vector<AlertRequest> alerts;
    std::deque<AlertResponse> alertAnswers;
    // Runs once, while the next alert is open.
    std::function<void()> whileAlertShows;
    QList<QStringList> terminateRequests; // the workspace's polite quits
    // Every notification shown, with what a click on it does.
    std::vector<std::pair<Notification, std::function<void()>>> notifications;
    // The pauses taken, in milliseconds; they last this share of their
    // length (none by default).
    double sleepScale = 0;
    QList<qint64> sleeps() const {
        const QMutexLocker lock(&sleepMutex);
        return sleptMs;
    }
    mutable QMutex sleepMutex;
    QList<qint64> sleptMs;

    Platform make();
    std::shared_ptr<FakeLogWindow> lastWindow() const { return windows.empty() ? nullptr : windows.back(); }
};

} // namespace veldrin::test
