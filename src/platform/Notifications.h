#pragma once

// Desktop notifications: a summary and a body, shown by the desktop's own
// notification service, and a click on one answered.

#include <QString>

#include <functional>
#include <memory>

namespace veldrin {

struct Notification {
    QString summary;
    QString body; // plain text: shown as it stands, never as markup
};

class Notifications {
public:
    virtual ~Notifications() = default;
    // Main thread. Shows `notification`; `activate` runs on the main thread
    // when the user clicks it. Where the desktop offers no notifications,
    // nothing happens but one line on standard error the first time.
    virtual void notify(const Notification& notification, std::function<void()> activate) = 0;
};

// The system's own: the notification centre on macOS (platform/macos), the
// freedesktop service on Linux (platform/linux/DBusNotifications.h).
std::unique_ptr<Notifications> makeSystemNotifications();

} // namespace veldrin
