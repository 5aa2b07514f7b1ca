#pragma once

// The Claude and sync-all operations that make the controller quit or close
// applications: each asks first in a warning alert.

#include "exec/ControllerJob.h"
#include "platform/Alerts.h"

namespace veldrin {

struct ConfirmedOperation {
    AlertRequest confirmation;
    ControllerJob job;
    // Sync-all also closes the Codex apps, so it waits for a stop sequence to end.
    bool refusedWhileQuittingApps = false;
};

namespace confirmedOperations {

inline ConfirmedOperation closeClaudeAndSync() {
    return {
        confirmation(QStringLiteral("Quit Claude and sync with Codex?"),
                     QStringLiteral("This quits the Claude app, exports chats to each project's .veldrin "
                                    "folder, imports Codex chats into the Claude Code sidebar, and reopens "
                                    "Claude. Claude Code sessions running inside the app stop when it quits; "
                                    "terminal claude sessions are not affected. Nothing is force-killed and "
                                    "no Codex profile is changed."),
                     QStringLiteral("Quit Claude and Sync")),
        {{QStringLiteral("claude"), QStringLiteral("close-sync")},
         QStringLiteral("Quit Claude, Sync & Reopen")}};
}

inline ConfirmedOperation quitClaude() {
    return {
        confirmation(QStringLiteral("Quit the Claude app?"),
                     QStringLiteral("This only quits Claude. Nothing is synced and Claude is not reopened. "
                                    "Claude Code sessions running inside the app stop; terminal claude "
                                    "sessions are not affected."),
                     QStringLiteral("Quit Claude")),
        {{QStringLiteral("claude"), QStringLiteral("quit")}, QStringLiteral("Quit Claude")}};
}

inline ConfirmedOperation syncAllNow() {
    return {
        confirmation(QStringLiteral("Close apps and sync everything between Codex and Claude Code?"),
                     QStringLiteral("This closes ChatGPT (Primary, Alt, Tri) and Claude, syncs every "
                                    "project, chat and session both ways, then reopens the apps that were "
                                    "open. Claude Code sessions running inside the Claude app stop when it "
                                    "closes; terminal claude sessions are not affected."),
                     QStringLiteral("Close Apps and Sync All")),
        {{QStringLiteral("sync-all")}, QStringLiteral("Sync All — Codex ↔ Claude Code")},
        true};
}

} // namespace confirmedOperations

} // namespace veldrin
