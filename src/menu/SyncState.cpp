#include "menu/SyncState.h"

#include "menu/TitleText.h"

namespace veldrin {

QString statusLine(SyncState state, const std::optional<QString>& appProcessFailure) {
    switch (state) {
    case SyncState::ready:
        return QStringLiteral("Ready — click Sync Now");
    case SyncState::paused:
        return QStringLiteral("Sync is paused");
    case SyncState::blocked:
        if (appProcessFailure)
            return QStringLiteral("Cannot sync — ") + untrustedText(*appProcessFailure);
        return QStringLiteral("Cannot sync — ChatGPT is running");
    case SyncState::working:
        return QStringLiteral("Working…");
    }
    return {};
}

} // namespace veldrin
