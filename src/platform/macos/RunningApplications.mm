// The polite quit of running applications by bundle identifier, through
// NSRunningApplication: what the application's own Quit menu item would do.
#include "platform/DesktopWorkspace.h"

#include <memory>

#import <AppKit/AppKit.h>

namespace veldrin {

namespace {

class RunningApplicationsWorkspace : public Workspace {
public:
    void terminateApplications(const QStringList& bundleIdentifiers) override {
        @autoreleasepool {
            QStringList identifiers = bundleIdentifiers;
            identifiers.removeDuplicates();
            for (const QString& identifier : identifiers) {
                NSString* wanted = identifier.toNSString();
                // Every running instance with this identifier, an empty array for
                // none; kept to exact equality, whatever the lookup's own rules.
                for (NSRunningApplication* app in
                     [NSRunningApplication runningApplicationsWithBundleIdentifier:wanted]) {
                    if (![app.bundleIdentifier isEqualToString:wanted])
                        continue;
                    // "Attempts to quit the receiver normally": NO only says the request
                    // was not sent (already gone, or we are sandboxed, which we are
                    // not). It may return before the app exits; the stop sequence's own
                    // queries, TERM and KILL follow.
                    [app terminate];
                }
            }
        }
    }

    void openFolder(const QString& path, FolderOpened done) override {
        @autoreleasepool {
            NSURL* url = [NSURL fileURLWithPath:path.toNSString() isDirectory:YES];
            if ([NSWorkspace.sharedWorkspace openURL:url])
                done(std::nullopt);
            else
                done(QStringLiteral("Finder could not open ") + path + QLatin1Char('.'));
        }
    }
};

} // namespace

std::unique_ptr<Workspace> makeWorkspace(StartProgram, std::chrono::milliseconds) {
    return std::make_unique<RunningApplicationsWorkspace>();
}

} // namespace veldrin
