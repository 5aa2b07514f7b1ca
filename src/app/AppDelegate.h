#pragma once

// The one object that holds the application's state, one small struct per
// subsystem, and whose operations are the application's: launch, the sync
// state, streamed runs, the menu and its actions. Every field is read and
// written on the main thread only.

#include "app/Platform.h"
#include "appcontrol/AppControlState.h"
#include "bridge/BridgeState.h"
#include "bridge/ClaudeBridge.h"
#include "cloud/CloudState.h"
#include "cloud/CloudStatus.h"
#include "cloud/Offering.h"
#include "exec/ControllerCommands.h"
#include "exec/ControllerJob.h"
#include "history/HistoryState.h"
#include "history/RunHistory.h"
#include "menu/SyncState.h"
#include "power/IdleLock.h"
#include "power/Lid.h"
#include "power/LidState.h"
#include "runs/RunState.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace veldrin {

struct AppProcessAnswer;
struct CloudModel;
struct ConfirmedOperation;
struct MaintenanceOperation;
struct MenuEntry;
struct Profile;

// The period of the timer that recomputes the sync state.
inline constexpr std::chrono::milliseconds refreshInterval = std::chrono::seconds(5);

// The status item, its timer and the state its tint shows.
struct IndicatorState {
    std::unique_ptr<StatusItem> statusItem;
    std::unique_ptr<RepeatingTimer> timer;
    SyncState state = SyncState::ready;
    // Why the last app-processes query gave no answer, when it gave none.
    std::optional<QString> appProcessFailure;
    // The app-processes query in flight; there is never more than one.
    std::shared_ptr<BackgroundWork::Task> appProcessQuery;
    // The pause or resume in flight; a second one waits for it to end.
    std::shared_ptr<BackgroundWork::Task> pauseSwitch;
    // When an opening of a host's menu last asked the controller.
    std::optional<Instant> lastOpeningQuery;
    QString toolTip; // as last set
};

// A tray host's openings ask the controller this often at most, however
// often the host opens the menu.
inline constexpr std::chrono::milliseconds openingQuerySpacing = std::chrono::seconds(1);
// How long after launch Veldrin looks for a tray that shows its icon, and,
// where a tray is there without showing it, how much longer it waits for it.
inline constexpr std::chrono::milliseconds trayLookDelay = std::chrono::seconds(10);
inline constexpr std::chrono::milliseconds trayLookAgainDelay = std::chrono::seconds(50);

class AppDelegate : public QObject, public MenuDelegate {
    Q_OBJECT
public:
    struct LaunchOptions {
        bool statusItem = true; // off for --print-menu
        bool timers = true;     // the two repeating timers and the delayed bridge run
    };

    // How long the controller gets. Tests shorten them.
    struct Limits {
        QueryLimits appProcesses = controllerArgs::quickQuery;
        QueryLimits pauseSwitch = controllerArgs::quickQuery;
        // The longest the main thread waits for a controller: a menu opening or
        // the pause switch that would wait longer goes on without the answer.
        std::chrono::milliseconds mainThreadWait = std::chrono::seconds(2);
        // How long a streamed run's window keeps reading after the controller
        // exited, for output a helper of it still holds.
        std::chrono::milliseconds drainAfterExit = std::chrono::seconds(2);
        QueryLimits claudeBridge = claudeBridge::limits;
        QueryLimits cloudStatus = cloudStatusLimits;
        QueryLimits chatList = chatListLimits;
        QueryLimits lid = lidCommandLimits;
        // The user's stop: KILL this long after TERM.
        std::chrono::milliseconds stopKillAfter = std::chrono::seconds(5);
        HistoryLimits history;
        // Streamed runs and the background Claude sync go on when Veldrin
        // quits; the demo, whose controller lives in its sandbox, ends them.
        bool runsOutliveVeldrin = true;
    };

    explicit AppDelegate(Platform platform, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Lifecycle.
    void applicationDidFinishLaunching(const LaunchOptions& options);
    void applicationWillTerminate();

    // Menu. An opening looks at the apps first (waiting mainThreadWait at
    // most); rebuildMenu shows the fields as they stand. An opening of a
    // tray host's copy waits for nothing: its checks' answers reach the host
    // as changes. While an alert of Veldrin's is open, a chosen item brings
    // the alert to the front and does nothing else.
    void menuWillOpen(StatusMenu& menu) override;
    void menuOpening() override;
    void rebuildMenu(StatusMenu& menu) override;
    void perform(Action action, const QVariant& representedObject) override;
    // Opens the status menu where the user can reach it (a second launch,
    // veldrin --menu).
    void openStatusMenu();
    // --print-menu: the menu right after launch, once the launch's checks have
    // answered or an opening's wait is over; what has not answered shows as pending.
    void openMenuAfterLaunch(StatusMenu& menu);

    // Sync state. refresh never waits for the controller: the answer is
    // applied when it comes. refreshNow has it before it returns, or after
    // mainThreadWait the reason it has none.
    void refresh();
    void refreshNow();

    // Streamed controller runs into a new log window; at most one at a time.
    void runController(const QStringList& arguments, const QString& title);

    // Stops the three Codex apps (polite quit, TERM, KILL), reporting into
    // `run`; `completion` gets the identifiers still listed at the end, on
    // the main thread, while the delegate exists. Returns at once.
    void stopChatGPTProcesses(const std::shared_ptr<Run>& run,
                              std::function<void(const QStringList& survivors)> completion);
    void repairProjects(const Profile& profile);
    void openInteractiveCloudCommand(const QString& subcommand);

    // Background work started by refresh and launch.
    void refreshCloudStatus(bool force);
    void refreshLidKeepAwake(bool force);
    void applyLidKeepAwakeState(std::optional<bool> value);
    void runClaudeBridgeInBackground();
    void setPreventIdleScreenLock(bool enabled);
    // True while work that launch started has not been handed back yet.
    bool launchWorkPending() const;

    QString appVersionLabel() const;
    Platform& platform() { return platform_; }

    // Menu actions, one operation for each (the list is in menu/MenuEntry.h).
#define VELDRIN_PLAIN_ACTION(name) void name();
#define VELDRIN_OBJECT_ACTION(name) void name(const QVariant& representedObject);
    VELDRIN_MENU_ACTIONS(VELDRIN_PLAIN_ACTION, VELDRIN_OBJECT_ACTION)
#undef VELDRIN_PLAIN_ACTION
#undef VELDRIN_OBJECT_ACTION

    // The application's state, by subsystem.
    IndicatorState indicator;
    RunState runs;
    AppControlState appControl;
    CloudState cloud;
    IdleLockState idleLock;
    LidState lid;
    BridgeState bridge;
    HistoryState history;

    Limits limits;

private:
    // The one way to work off the main thread: `job` gets the stop token and
    // answers a value, which `finish` (a member, or a callable taking the
    // delegate first) gets on the main thread, unless the delegate is gone by
    // then. Whatever the job holds is released with the hand-back, on the
    // main thread: a log window it writes to never dies on a worker.
    template <class Job, class Finish>
    std::shared_ptr<BackgroundWork::Task> inBackground(Job job, Finish finish) {
        auto held = std::make_shared<Job>(std::move(job));
        // Work that starts or ends changes what the menu shows (busy flags, answers).
        menuMayHaveChanged();
        return platform_.work->start(
            [self = QPointer<AppDelegate>(this), held, finish](const StopToken& stop) mutable {
                auto result = (*held)(stop);
                return BackgroundWork::HandBack(
                    [self = std::move(self), held = std::move(held), finish, result = std::move(result)] {
                        if (!self)
                            return;
                        std::invoke(finish, *self, result);
                        self->menuMayHaveChanged();
                    });
            });
    }

    void run(const ControllerJob& job);
    void runConfirmed(const ConfirmedOperation& operation);
    void runMaintenance(const MaintenanceOperation& operation);
    bool busyWithApps() const;
    std::shared_ptr<Run> openStopWindow(const QString& title, const QString& firstLine);
    void finishStopWindow(const std::shared_ptr<Run>& run, const QString& lastLine, bool succeeded);
    void finishClaudeBridgeRun(const ShellResult& result);
    void applyCloudModel(const CloudModel& model);
    void applyLidReading(const LidReading& reading);
    void finishLidChange(bool desired, const ShellResult& change, const ShellResult& reading);
    void offerChatFrom(const QString& profile, const ChatListing& listing);
    std::optional<SyncState> stateWithoutAskingTheController() const;
    void startAppProcessQuery();
    void applyAppProcessAnswer(const AppProcessAnswer& answer);
    void showState(SyncState state, const std::optional<QString>& failure);
    // What the menu shows may have changed: a tray host's copy is updated.
    void menuMayHaveChanged();
    // No tray shows the icon: the user is told how to get one, once.
    void lookForTray(bool lastLook);
    void startDueChecks();
    void finishControllerRun(const std::shared_ptr<Run>& run);
    void confirmStop(const std::shared_ptr<Run>& run);
    // A run with its window, recorded in the history and listed in Recent
    // Runs, its strip running; once it has ended, finishRun tells the desktop
    // if the user is not watching.
    std::shared_ptr<Run> openRun(const QString& title);
    void finishRun(const std::shared_ptr<Run>& run);
    HistoryWriter& historyWriter();
    void loadPastRuns();
    void keepRecentRuns();
    // What Recent Runs lists: this session's runs, then saved ones, newest first.
    QList<RecentRun> recentRuns() const;
    // A run's transcript in a window of its own, read from its file.
    void showSavedRun(const QString& path, const QString& title, const std::optional<RunOutcome>& outcome);
    // The version label, the status line, and the run going on with its time.
    void showToolTip();

    Platform platform_;
    std::unique_ptr<HistoryWriter> historyWriter_;
};

} // namespace veldrin
