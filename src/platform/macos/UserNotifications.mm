// Notifications through the system's notification centre (UserNotifications).
// The centre knows an app by its bundle: outside Veldrin.app asking for it
// raises an Objective-C exception, so nothing is asked of it there. Inside,
// permission is asked when the first notification is due ("the first time
// your app makes this authorization request, the system prompts the user";
// later requests answer at once with the user's choice), and each
// notification is posted only once the answer allows it. macOS may refuse a
// bundle that is only ad-hoc signed ("Notifications are not allowed for this
// application"). Whatever stops them, standard error hears why once and
// Veldrin runs on without.
#include "platform/Notifications.h"

#include <QString>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#import <Foundation/Foundation.h>
#import <UserNotifications/UserNotifications.h>

namespace veldrin {
namespace {
// Clicks waiting for their notification, by identifier; main thread only.
std::map<QString, std::function<void()>>& pendingClicks() {
    static std::map<QString, std::function<void()>> clicks;
    return clicks;
}

void sayOnce(const char* why) {
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        std::fprintf(stderr, "veldrin: no desktop notifications: %s\n", why);
}
} // namespace
} // namespace veldrin

@interface VeldrinNotificationDelegate : NSObject <UNUserNotificationCenterDelegate>
@end

@implementation VeldrinNotificationDelegate
// Shown as a banner even while Veldrin is the active application.
- (void)userNotificationCenter:(UNUserNotificationCenter*)center
       willPresentNotification:(UNNotification*)notification
         withCompletionHandler:(void (^)(UNNotificationPresentationOptions))completionHandler {
    completionHandler(UNNotificationPresentationOptionBanner | UNNotificationPresentationOptionList);
}

// The default action is a click on the notification itself; whichever thread
// the centre calls on, the click is answered on the main queue.
- (void)userNotificationCenter:(UNUserNotificationCenter*)center
    didReceiveNotificationResponse:(UNNotificationResponse*)response
             withCompletionHandler:(void (^)(void))completionHandler {
    const QString identifier = QString::fromNSString(response.notification.request.identifier);
    const bool clicked = [response.actionIdentifier isEqualToString:UNNotificationDefaultActionIdentifier];
    dispatch_async(dispatch_get_main_queue(), ^{
      auto& clicks = veldrin::pendingClicks();
      const auto it = clicks.find(identifier);
      if (it == clicks.end())
          return;
      const std::function<void()> activate = it->second;
      clicks.erase(it);
      if (clicked && activate)
          activate();
    });
    completionHandler();
}
@end

namespace veldrin {

namespace {

class UserNotifications : public Notifications {
public:
    UserNotifications() {
        if (!NSBundle.mainBundle.bundleIdentifier)
            sayOnce("not started from its application bundle");
    }

    void notify(const Notification& notification, std::function<void()> activate) override {
        if (!NSBundle.mainBundle.bundleIdentifier)
            return;
        @autoreleasepool {
            UNUserNotificationCenter* center = UNUserNotificationCenter.currentNotificationCenter;
            if (!delegate_) {
                delegate_ = [[VeldrinNotificationDelegate alloc] init];
                center.delegate = delegate_; // the centre holds its delegate weakly
            }
            UNMutableNotificationContent* content = [[UNMutableNotificationContent alloc] init];
            content.title = notification.summary.toNSString(); // the centre shows plain text
            content.body = notification.body.toNSString();
            NSString* identifier = [NSUUID UUID].UUIDString;
            const QString key = QString::fromNSString(identifier);
            pendingClicks()[key] = std::move(activate);
            UNNotificationRequest* request = [UNNotificationRequest requestWithIdentifier:identifier
                                                                                  content:content
                                                                                  trigger:nil];
            [center requestAuthorizationWithOptions:(UNAuthorizationOptionAlert | UNAuthorizationOptionSound)
                                  completionHandler:^(BOOL granted, NSError* error) {
                                    if (granted) {
                                        [center addNotificationRequest:request withCompletionHandler:nil];
                                        return;
                                    }
                                    sayOnce(error ? error.localizedDescription.UTF8String
                                                  : "not allowed in System Settings");
                                    dispatch_async(dispatch_get_main_queue(), ^{
                                      pendingClicks().erase(key);
                                    });
                                  }];
        }
    }

private:
    VeldrinNotificationDelegate* delegate_ = nil;
};

} // namespace

std::unique_ptr<Notifications> makeSystemNotifications() {
    return std::make_unique<UserNotifications>();
}

} // namespace veldrin
