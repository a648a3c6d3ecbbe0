// The poller thread against the real test site, each test on a thread of its own that
// runs pollerThreadProc, with a real window on the test's thread as the receiver.
// Waits are for conditions (requests seen by the site, deliveries received), bounded;
// the few checks that something does NOT happen wait a fixed bounded while for it. Each
// limit lies well between the two things it tells apart: a poll that follows at once
// (well under a second) and one that waits for the next cycle (60 s), or a thread that
// ends at once and a stop that gives up on it (10 s).
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "app/wndproc.h"
#include "games/merge.h"
#include "poller/poller.h"
#include "poller/poller_internal.h"
#include "poller/running.h"
#include "poller_test_support.h"
#include "settings/settings_win.h"
#include "tests/support/hidden_main_window.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/timer_recorder.h"

namespace {

// How long the checks for an absent request wait for it: a request that should not come
// would follow at once, as the prompt polls below do, well within it.
constexpr DWORD QUIET_MS = 1000;
// The longest wait for a poll that should follow at once rather than a minute later.
constexpr DWORD PROMPT_POLL_MS = 20000;
// The longest stop that ends the thread at once rather than giving up on it after 10 s.
constexpr double PROMPT_STOP_MS = 5000;

class PollerThread : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        preparePollCycles();
        wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        // Saves go to a settings file in a scratch folder of this program's own.
        folder.emplace("poller");
        ASSERT_TRUE(SetCurrentDirectoryA(folder->path.c_str()));
        Settings.useIniFile = true;
        lstrcpyA(Settings.soundFile, DEFAULT_SOUND_FILE);
    }

    static void TearDownTestSuite()
    {
        SetCurrentDirectoryA("C:\\");
        folder.reset();
    }

    void SetUp() override
    {
        aimPollerAtTestSite();
        setUserName("Ann Lee");
        pollerRunning = true;
        ResetEvent(wakeEvent);
        deliveryCount = 0;
        deliveredSummary.clear();
        onDelivery = nullptr;
    }

    void TearDown() override
    {
        if (pollerThread) {
            stopPoller();
            EXPECT_TRUE(waitUntil([this] { return threadHasEnded(); }, 15000));
            CloseHandle(pollerThread);
            pollerThread = nullptr;
        }
        pollerRunning = true;
    }

    void startThread()
    {
        pollerThread = CreateThread(nullptr, 0, pollerThreadProc, nullptr, 0, nullptr);
        ASSERT_NE(pollerThread, nullptr);
    }

    bool threadHasEnded() { return WaitForSingleObject(pollerThread, 0) == WAIT_OBJECT_0; }

    // Waits, without handling this thread's messages (as a window procedure busy with
    // WM_DESTROY would not), until the poller is blocked in SendMessageA delivering.
    static bool deliveryPending()
    {
        const double deadline = nowMs() + 5000;
        while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) && nowMs() < deadline)
            Sleep(10);
        return HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE;
    }

    // Runs the stop as WM_DESTROY does and returns how long it took.
    double timedStop()
    {
        const double start = nowMs();
        stopPoller();
        return nowMs() - start;
    }

    static std::optional<ScratchFolder> folder;
};

std::optional<ScratchFolder> PollerThread::folder;

TEST_F(PollerThread, ASaveDuringACycleYieldsExactlyOneMoreCycle)
{
    // Both saves come while the first cycle waits for its delivery to be received.
    setScenario(threeGamesScenario());
    onDelivery = [](GameList&) {
        if (deliveryCount > 1) return;
        saveSettings();
        saveSettings();
    };
    startThread();
    EXPECT_TRUE(waitUntil([] { return deliveryCount == 2; }, PROMPT_POLL_MS));
    EXPECT_EQ(requestCount(), 2);
    EXPECT_FALSE(waitUntil([] { return requestCount() > 2; }, QUIET_MS));
    EXPECT_EQ(deliveredSummary, std::string(THREE_GAMES_SUMMARY) + THREE_GAMES_SUMMARY);
}

TEST_F(PollerThread, AnEmptyNamePollsNothingUntilANameIsSaved)
{
    setScenario(threeGamesScenario());
    setUserName("");
    SetEvent(wakeEvent);  // as at start: two cycles back to back, both without a request
    startThread();
    EXPECT_FALSE(waitUntil([] { return requestCount() > 0; }, QUIET_MS));

    setUserName("Ann Lee");
    const double saved = nowMs();
    saveSettings();
    EXPECT_TRUE(waitUntil([] { return deliveryCount == 1; }, PROMPT_POLL_MS));
    const double toDelivery = nowMs() - saved;
    EXPECT_EQ(requestCount(), 1);
    EXPECT_NE(lastRequestBody().find("&pLoginJ=Ann+Lee&"), std::string::npos);
    std::printf("[ measured ] save to delivery: %.0f ms\n", toDelivery);
}

// A stop while the thread is blocked ends it once what blocks it returns, never when the
// stop gives up on it (10 s): nothing interrupts a blocked request.
TEST_F(PollerThread, AStopEndsTheThreadOnceWhatBlocksItReturns)
{
    const struct {
        const char* what;
        DWORD receiveTimeoutMs;
        std::string scenario;
        bool delivering;  // stopped while the delivery waits for this thread's window
        double runMs;     // the thread runs at least this long from its start
        int deliveries;
    } rows[] = {
        // The site never answers: the fetch gives up after its receive time-out.
        {"during a stalled fetch (1500 ms time-out)", 1500, R"({"default": {"silent": true}})",
         false, 1400, 0},
        // 100 000 bytes at 1000 every 0.4 s would take 40 s to arrive.
        {"while reading (0.4 s between chunks)", 5000,
         R"({"default": {"body": "bytes", "size": 100000, "drip": {"bytes": 1000, "interval": 0.4}}})",
         false, 0, 0},
        // The poller blocks in SendMessageA until the stop's wait lets the delivery through.
        {"with a delivery pending", 1500, threeGamesScenario(), true, 0, 1},
    };
    for (const auto& row : rows) {
        aimPollerAtTestSite(row.receiveTimeoutMs);
        setScenario(row.scenario);
        deliveryCount = 0;
        deliveredSummary.clear();
        const double started = nowMs();
        startThread();
        ASSERT_TRUE(row.delivering ? deliveryPending()
                                   : waitUntil([] { return requestCount() == 1; }, 5000))
            << row.what;
        ASSERT_EQ(deliveryCount, 0) << row.what;
        const double stopMs = timedStop();
        EXPECT_TRUE(threadHasEnded()) << row.what;
        EXPECT_GT(nowMs() - started, row.runMs) << row.what;
        EXPECT_LT(stopMs, row.runMs + PROMPT_STOP_MS) << row.what;
        EXPECT_EQ(requestCount(), 1) << row.what;
        EXPECT_EQ(deliveryCount, row.deliveries) << row.what;
        EXPECT_EQ(deliveredSummary, row.deliveries ? THREE_GAMES_SUMMARY : "") << row.what;
        std::printf("[ measured ] stop %s: %.0f ms\n", row.what, stopMs);
        CloseHandle(pollerThread);
        pollerThread = nullptr;
        pollerRunning = true;
    }
}

TEST_F(PollerThread, AListDeliveredDuringTheStopIsNotMerged)
{
    // The program's own window procedure receives the list, with the flash and the sound on;
    // game 101 waits for the user.
    const HWND receiver = mainWindow;
    appInstance = GetModuleHandleA(nullptr);
    createHiddenMainWindow("TurnbellTestMainWindow", mainWindowProc);
    ASSERT_NE(mainWindow, nullptr);
    Settings.notifyIcon = true;
    Settings.notifySound = true;
    setScenario(threeGamesScenario());
    startThread();
    ASSERT_TRUE(deliveryPending());

    timedStop();
    // The thread has its list back (and has freed it); nothing of it reached the screen.
    EXPECT_TRUE(threadHasEnded());
    EXPECT_TRUE(currentGames.empty());
    EXPECT_EQ(waitingCount, 0);
    EXPECT_EQ(runningTimerPeriod(mainWindow, FLASH_TIMER), 0u) << "the flash never started";
    mainWindow = receiver;  // the window stays: destroying it would stop the poller again
}

}  // namespace
