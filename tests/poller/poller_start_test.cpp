// The poller as startup starts it: startPoller() once per process, so this program holds
// the one test that follows its thread from the start to the stop.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "poller/poller.h"
#include "poller/running.h"
#include "poller_test_support.h"
#include "settings/settings_win.h"

namespace {

TEST(StartedPoller, PollsTwiceAtStartThenOnEveryWakeAndEndsAtOnceWhenStoppedWhileWaiting)
{
    ASSERT_NE(createReceiverWindow(), nullptr);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder =
        std::string(temp) + "turnbell-poller-start-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    // As loadSettings leaves them for a user with a settings file.
    std::strcpy(Settings.userName, "Ann Lee");
    std::strcpy(Settings.soundFile, DEFAULT_SOUND_FILE);
    Settings.useIniFile = true;
    aimPollerAtTestSite();
    setScenario(THREE_GAMES_SCENARIO);

    ASSERT_TRUE(startPoller());
    ASSERT_NE(pollerThread, nullptr);
    EXPECT_TRUE(waitUntil([] { return deliveryCount == 2; }, 10000));
    EXPECT_EQ(requestCount(), 2);
    // The next regular cycle is a minute away.
    EXPECT_FALSE(waitUntil([] { return requestCount() > 2; }, 1500));

    saveSettings();
    EXPECT_TRUE(waitUntil([] { return deliveryCount == 3; }, 5000));
    EXPECT_EQ(requestCount(), 3);
    EXPECT_EQ(deliveredSummary,
              std::string(THREE_GAMES_SUMMARY) + THREE_GAMES_SUMMARY + THREE_GAMES_SUMMARY);

    // Give the thread its wait, then stop it.
    EXPECT_FALSE(waitUntil([] { return requestCount() > 3; }, 500));
    const double start = nowMs();
    stopPoller();
    const double stopMs = nowMs() - start;
    EXPECT_EQ(WaitForSingleObject(pollerThread, 0), WAIT_OBJECT_0);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeThread(pollerThread, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_LT(stopMs, 1000);
    EXPECT_EQ(requestCount(), 3);
    std::printf("[ measured ] stop while waiting: %.0f ms\n", stopMs);

    SetCurrentDirectoryA("C:\\");
    DeleteFileA((folder + "\\Turnbell.ini").c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
