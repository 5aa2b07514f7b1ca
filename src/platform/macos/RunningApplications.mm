// The polite quit of running applications by bundle identifier, through
// NSWorkspace: what the application's own Quit menu item would do.
#include "platform/Workspace.h"

#include <memory>

#import <AppKit/AppKit.h>

namespace veldrin {

namespace {

class RunningApplicationsWorkspace : public Workspace {
public:
    void terminateApplications(const QStringList& bundleIdentifiers) override {
        @autoreleasepool {
            NSMutableSet<NSString*>* wanted = [NSMutableSet set];
            for (const QString& identifier : bundleIdentifiers)
                [wanted addObject:identifier.toNSString()];
            for (NSRunningApplication* app in NSWorkspace.sharedWorkspace.runningApplications) {
                NSString* identifier = app.bundleIdentifier;
                if (identifier && [wanted containsObject:identifier])
                    [app terminate]; // the answer says only that the request was sent
            }
        }
    }

    std::optional<QString> openFolder(const QString& path) override {
        @autoreleasepool {
            NSURL* url = [NSURL fileURLWithPath:path.toNSString() isDirectory:YES];
            if ([NSWorkspace.sharedWorkspace openURL:url])
                return std::nullopt;
            return QStringLiteral("Finder could not open ") + path;
        }
    }
};

} // namespace

std::unique_ptr<Workspace> makeRunningApplicationsWorkspace() {
    return std::make_unique<RunningApplicationsWorkspace>();
}

} // namespace veldrin
