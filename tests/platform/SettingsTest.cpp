// The settings store: what it keeps, and what it says when it cannot keep it.
#include "platform/qt/CoreServices.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

using namespace veldrin;

TEST(Settings, StoredChoicesComeBackAndAnUnwritableStoreSaysWhyButKeepsTheValue) {
    test::TempHome home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.home() + "/config");
    const QString file = home.home() + "/config/Veldrin/Veldrin.conf";
    EXPECT_EQ(makeSettingsDefaults()->setBool("preventIdleScreenLock", true), std::nullopt);
    EXPECT_TRUE(makeSettingsDefaults()->boolForKey("preventIdleScreenLock"));

    // A folder where the file should be: nothing can be written there.
    ASSERT_TRUE(QFile::remove(file) && QDir().mkpath(file));
    const std::unique_ptr<Defaults> defaults = makeSettingsDefaults();
    EXPECT_EQ(defaults->setBool("preventIdleScreenLock", false), "cannot write " + file);
    EXPECT_FALSE(defaults->boolForKey("preventIdleScreenLock")); // for this run
}
