#pragma once

// The one object that holds the application's state. Its operations are spread
// over the subsystem folders, one source file per subsystem. Every field is
// read and written on the main thread only.

#include "app/SyncState.h"
#include "cloud/CloudProfileState.h"
#include "platform/Platform.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

class QMenu;

namespace veldrin {

class LogWindow;
struct MenuEntry;

// The controller run in progress: the process started by runController.
struct ControllerProcess {
    pid_t pid = -1;
    QStringList arguments;
};

class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct LaunchOptions {
        bool statusItem = true;  // off for --print-menu
        bool timers = true;      // the two repeating timers and the delayed bridge run
    };

    explicit AppDelegate(Platform platform, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Lifecycle.
    void applicationDidFinishLaunching(const LaunchOptions& options);
    void applicationWillTerminate();

    // Menu.
    void menuWillOpen(QMenu* menu);
    void rebuildMenu(QMenu* menu);
    // What an opening shows: refresh first, then the three Info.plist reads.
    std::vector<MenuEntry> currentMenuEntries();

    // Sync state, app discovery, pause.
    void refresh();
    QStringList appProcessLines();
    QStringList appProcessIDs();

    // Streamed controller runs into a new log window; at most one at a time.
    void runController(const QStringList& arguments, const QString& title);

    // Background work started by refresh and launch.
    void refreshCloudStatus(bool force);
    void refreshLidKeepAwake(bool force);
    void runClaudeBridgeInBackground();
    void setPreventIdleScreenLock(bool enabled);
    // True while work that launch started has not been handed back yet.
    bool launchWorkPending() const;

    Platform& platform() { return platform_; }

public Q_SLOTS:
    // Menu actions, by the names the menu model uses.
    void syncNow();
    void importIntoClaudeNow();
    void syncClaudeNow();
    void closeClaudeAndSync();
    void quitClaude();
    void syncAllNow();
    void updateAllApps();
    void auditProfiles();
    void showSyncLogs();
    void showCloudStatus();
    void runCloudCycleNow();
    void openCloudLogin();
    void togglePreventIdleScreenLock();
    void toggleLidKeepAwake();
    void setCloudMode(const QVariant& representedObject);
    void offerCloudProject(const QVariant& representedObject);
    void offerCloudChat(const QVariant& representedObject);
    void quitAllChatGPTProcesses();
    void repairPrimary();
    void repairAlt();
    void repairTri();
    void fixUnreadableChats();
    void resolveRolloutConflicts();
    void togglePause();

public:
    // The application's state, in declaration order. Main thread only.
    std::unique_ptr<StatusItem> statusItem;
    std::unique_ptr<RepeatingTimer> timer;
    SyncState state = SyncState::ready;
    std::shared_ptr<ControllerProcess> activeProcess;
    bool isQuittingApps = false;
    std::shared_ptr<LogWindow> logWindow;
    std::optional<QString> cloudDeviceName;
    std::map<QString, CloudProfileState> cloudProfiles;
    std::map<QString, qint64> cloudTransfers;
    std::optional<QString> cloudError;
    bool cloudRefreshing = false;
    TimePoint lastCloudRefresh = distantPast;
    std::optional<ActivityToken> idleDisplayActivity;
    std::optional<ActivityToken> lidSystemActivity;
    std::optional<bool> lidKeepAwakeEnabled;
    bool lidKeepAwakeChanging = false;
    std::optional<QString> lidKeepAwakeError;
    TimePoint lastLidKeepAwakeRefresh = distantPast;
    std::unique_ptr<RepeatingTimer> claudeBridgeTimer;
    bool claudeBridgeRunning = false;
    QString claudeBridgeStatus = QStringLiteral("not run yet");
    const double claudeBridgeInterval = 600.0;
    const QString preventIdleScreenLockKey = QStringLiteral("preventIdleScreenLock");
    const QString lidKeepAwakeManagedKey = QStringLiteral("lidKeepAwakeManaged");

    // Main-thread end of a streamed run: clears activeProcess, refreshes.
    void finishControllerRun(const std::shared_ptr<ControllerProcess>& process);

private:
    Platform platform_;
};

} // namespace veldrin
