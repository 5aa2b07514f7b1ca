// Notifications through the system's notification centre (UserNotifications).
// The centre needs the application's bundle identifier: run from its bundle,
// Veldrin asks once for permission to alert; without a bundle, or without
// permission, nothing is shown and standard error says so once.
#include "platform/Notifications.h"

#include <QString>

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

// A click on a notification calls back on the main queue.
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
        // The centre exists only for an application with a bundle identifier.
        if (!NSBundle.mainBundle.bundleIdentifier) {
            std::fputs("veldrin: no desktop notifications: not started from its application bundle\n",
                       stderr);
            return;
        }
        delegate_ = [[VeldrinNotificationDelegate alloc] init];
        UNUserNotificationCenter* center = UNUserNotificationCenter.currentNotificationCenter;
        center.delegate = delegate_;
        [center requestAuthorizationWithOptions:(UNAuthorizationOptionAlert | UNAuthorizationOptionSound)
                              completionHandler:^(BOOL granted, NSError* error) {
                                if (!granted)
                                    std::fprintf(stderr, "veldrin: no desktop notifications: %s\n",
                                                 error ? error.localizedDescription.UTF8String
                                                       : "not allowed in System Settings");
                              }];
    }

    void notify(const Notification& notification, std::function<void()> activate) override {
        if (!delegate_)
            return;
        @autoreleasepool {
            UNMutableNotificationContent* content = [[UNMutableNotificationContent alloc] init];
            content.title = notification.summary.toNSString(); // the centre shows plain text
            content.body = notification.body.toNSString();
            NSString* identifier = [NSUUID UUID].UUIDString;
            pendingClicks()[QString::fromNSString(identifier)] = std::move(activate);
            UNNotificationRequest* request = [UNNotificationRequest requestWithIdentifier:identifier
                                                                                  content:content
                                                                                  trigger:nil];
            [UNUserNotificationCenter.currentNotificationCenter addNotificationRequest:request
                                                                 withCompletionHandler:nil];
        }
    }

private:
    VeldrinNotificationDelegate* delegate_ = nil;
};

} // namespace

std::unique_ptr<Notifications> makeUserNotifications() {
    return std::make_unique<UserNotifications>();
}

} // namespace veldrin
