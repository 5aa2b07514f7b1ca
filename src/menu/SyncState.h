#pragma once

#include <QString>

#include <optional>

namespace veldrin {

// What the indicator tells at a glance: whether a sync can start now.
enum class SyncState { ready, paused, blocked, working };

// The menu's status line. `appProcessFailure` is why the controller gave no
// list of running apps; blocked then says so instead of blaming ChatGPT.
QString statusLine(SyncState state, const std::optional<QString>& appProcessFailure = std::nullopt);

} // namespace veldrin
