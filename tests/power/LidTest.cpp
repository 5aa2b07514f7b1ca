// The lid setting as the pmset listing tells it. (The Tools submenu's lines
// are checked through the application, tests/app/PowerTest.cpp.)
#include "power/Lid.h"

#include <gtest/gtest.h>

using namespace veldrin;

TEST(Lid, SleepDisabledIsTheFirstMatchingLinesLastPiece) {
    const std::pair<QString, std::optional<bool>> cases[] = {
        {"Settings:\n SleepDisabled\t\t1\n", true},
        {"disablesleep 0", false},
        {"SLEEPDISABLED 1", true},
        {"SleepDisabled 2", std::nullopt},
        {"SleepDisabled", std::nullopt},
        {"SleepDisabled 1.0", std::nullopt},
        {"sleep 1\nstandby 0", std::nullopt},
        {"\n\nSleepDisabled 0\nSleepDisabled 1", false},
        {"SleepDisabledX 1\nSleepDisabled 1", true},
    };
    for (const auto& [listing, value] : cases)
        EXPECT_EQ(parseSleepDisabled(listing), value) << listing.toStdString();
    EXPECT_EQ(lidFailureDetail({1, ""}, {0, " \n"}),
              "pmset exited with status 1; verification exited with status 0.");
}
