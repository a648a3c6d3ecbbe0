// The poller as startup starts it: startPoller() once per process, so this program holds
// the one test that follows its thread from the start to the stop.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "poller/poller.h"
#include "poller/running.h"
#include "poller_test_support.h"
#include "settings/settings_win.h"
#include "tests/support/import_slot.h"
#include "tests/support/scratch_folder.h"

namespace {

// The poller's waits on wakeEvent, seen through the import slot of WaitForSingleObject:
// this file is compiled into the test program, so the linker takes its definition of the
// slot before kernel32's, and every call from the program's code lands here first. The
// wait numbered minutePassesAt does not wait: the minute passes at once, and the wait
// ends as a real one ends when no wake came, with WAIT_TIMEOUT.
using WaitFunction = DWORD(WINAPI*)(HANDLE, DWORD);
std::atomic<WaitFunction> systemWait{nullptr};
std::atomic<int> wakeWaits{0};
std::atomic<DWORD> lastWakeWaitMs{0};
std::atomic<int> minutePassesAt{0};

DWORD WINAPI recordWait(HANDLE handle, DWORD timeoutMs)
{
    if (!systemWait)
        systemWait = systemFunction<WaitFunction>("kernel32.dll", "WaitForSingleObject");
    if (!handle || handle != wakeEvent) return systemWait.load()(handle, timeoutMs);
    lastWakeWaitMs = timeoutMs;
    return systemWait.load()(handle, ++wakeWaits == minutePassesAt ? 0 : timeoutMs);
}

}  // namespace

extern "C" WaitFunction waitImportSlot IMPORT_SLOT(WaitForSingleObject, 8);
WaitFunction waitImportSlot = recordWait;

namespace {

TEST(StartedPoller, PollsTwiceAtStartThenOnEveryWakeOrMinuteAndEndsAtOnceWhenStoppedWhileWaiting)
{
    ASSERT_NE(createReceiverWindow(), nullptr);
    const ScratchFolder folder("poller-start");
    ASSERT_TRUE(SetCurrentDirectoryA(folder.path.c_str()));
    // As loadSettings leaves them for a user with a settings file.
    std::strcpy(Settings.userName, "Ann Lee");
    std::strcpy(Settings.soundFile, DEFAULT_SOUND_FILE);
    Settings.useIniFile = true;
    aimPollerAtTestSite();
    setScenario(threeGamesScenario());

    // Both polls at start come well before a minute has passed.
    ASSERT_TRUE(startPoller());
    ASSERT_NE(pollerThread, nullptr);
    EXPECT_TRUE(waitUntil([] { return deliveryCount == 2; }, 20000));
    EXPECT_EQ(requestCount(), 2);
    // Then the thread waits for a wake, a minute at most, and no poll comes meanwhile.
    EXPECT_TRUE(waitUntil([] { return wakeWaits == 2; }, 5000));
    EXPECT_EQ(lastWakeWaitMs, 60000u);
    EXPECT_FALSE(waitUntil([] { return requestCount() > 2; }, 1000));

    // A save wakes it: the poll comes long before the minute is over. Then a minute
    // passes without a wake (the third wait times out at once), and it polls again.
    minutePassesAt = 3;
    saveSettings();
    EXPECT_TRUE(waitUntil([] { return deliveryCount == 4; }, 20000));
    EXPECT_EQ(requestCount(), 4);
    EXPECT_EQ(deliveredSummary, std::string(THREE_GAMES_SUMMARY) + THREE_GAMES_SUMMARY +
                                    THREE_GAMES_SUMMARY + THREE_GAMES_SUMMARY);

    // Stopped while it waits, it ends at once, not when the stop gives up (10 s).
    ASSERT_TRUE(waitUntil([] { return wakeWaits == 4; }, 5000));
    EXPECT_EQ(lastWakeWaitMs, 60000u);
    const double start = nowMs();
    stopPoller();
    const double stopMs = nowMs() - start;
    EXPECT_EQ(WaitForSingleObject(pollerThread, 0), WAIT_OBJECT_0);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeThread(pollerThread, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_LT(stopMs, 5000);
    EXPECT_EQ(requestCount(), 4);
    std::printf("[ measured ] stop while waiting: %.0f ms\n", stopMs);

    SetCurrentDirectoryA("C:\\");
}

}  // namespace
