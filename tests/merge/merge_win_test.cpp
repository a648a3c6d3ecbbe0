// A delivered game list on the UI thread, through the program's own window procedure:
// the waiting count, the flash timer and the sound, with the settings as the user left
// them.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/wndproc.h"
#include "games/merge.h"
#include "poller/poller.h"
#include "settings/settings.h"
#include "tray/flash.h"
#include "tray/tray.h"
#include "tests/support/hidden_main_window.h"

namespace {

class Merge : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        createHiddenMainWindow("WC_MergeTest", mainWindowProc);
    }
    static void TearDownTestSuite()
    {
        PlaySoundA(nullptr, nullptr, 0);
        clearGameList(currentGames);
        DestroyWindow(mainWindow);
    }
    void SetUp() override
    {
        clearGameList(currentGames);
        waitingCount = 0;
        KillTimer(mainWindow, FLASH_TIMER);
        drainTimer();
        std::memset(&Settings, 0, sizeof Settings);
        Settings.notifyIcon = true;
        Settings.notifySound = false;
    }
    static void drainTimer()
    {
        MSG msg;
        while (PeekMessageA(&msg, mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE)) {
        }
    }
};

GameList gamesOf(const std::vector<std::pair<const char*, bool>>& games)
{
    GameList list;
    for (const auto& g : games) {
        auto record = std::make_unique<GameRecord>();
        record->gameId = g.first;
        record->myTurn = g.second;
        list.push_back(std::move(record));
    }
    return list;
}

// Delivers a list the way the poller does: sent to mainWindow, then the poller's own
// clean-up.
void deliver(const std::vector<std::pair<const char*, bool>>& games)
{
    GameList list = gamesOf(games);
    SendMessageA(mainWindow, WM_GAMELIST, 0, reinterpret_cast<LPARAM>(&list));
    clearGameList(list);
}

double millisecondsOf(void (*call)())
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    call();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

TEST_F(Merge, NewlyWaitingGamesStartTheFlashAndNoWaitingGameStopsIt)
{
    deliver({{"1", true}, {"2", false}});
    EXPECT_EQ(waitingCount, 1);
    ASSERT_EQ(currentGames.size(), 2u);
    EXPECT_TRUE(flashTimerTicksWithin(2000)) << "the flash runs";

    deliver({{"1", false}, {"2", false}});
    EXPECT_EQ(waitingCount, 0);
    drainTimer();
    EXPECT_FALSE(flashTimerTicksWithin(4 * FLASH_PERIOD_MS)) << "the flash stopped";
}

TEST_F(Merge, TheSameWaitingGamesLeaveAStoppedFlashStopped)
{
    deliver({{"1", true}});
    ASSERT_TRUE(flashTimerTicksWithin(2000));
    // The user double-clicks the icon: the flash stops, the game still waits.
    stopFlashing();
    drainTimer();
    deliver({{"1", true}});
    EXPECT_EQ(waitingCount, 1);
    EXPECT_FALSE(flashTimerTicksWithin(4 * FLASH_PERIOD_MS));
}

TEST_F(Merge, IconFlashingOffNeverStartsTheTimer)
{
    Settings.notifyIcon = false;
    deliver({{"1", true}, {"2", true}});
    EXPECT_EQ(waitingCount, 2);
    EXPECT_FALSE(flashTimerTicksWithin(4 * FLASH_PERIOD_MS));
}

TEST_F(Merge, SoundNeitherFailsNorHoldsUpTheUiThread)
{
    // The default name of a first run, absent from the current directory, and the
    // empty name played from the module: both return at once. The very first sound of a
    // process loads Wine's audio drivers, which under the 32-bit runner can take over a
    // second; that one-time start is made before measuring.
    const double firstSoundMs = millisecondsOf([] {
        PlaySoundA(nullptr, nullptr, 0);
        PlaySoundA("", appInstance, SND_FILENAME | SND_ASYNC);
    });
    std::printf("first sound of the process: %.1f ms\n", firstSoundMs);
    const struct {
        const char* file;
    } cases[] = {{DEFAULT_SOUND_FILE}, {""}};
    for (const auto& c : cases) {
        clearGameList(currentGames);
        Settings.notifySound = true;
        std::strcpy(Settings.soundFile, c.file);
        const double ms = millisecondsOf([] { deliver({{"9", true}}); });
        EXPECT_EQ(waitingCount, 1) << "'" << c.file << "'";
        EXPECT_LT(ms, 500.0) << "merge with sound '" << c.file << "'";
        std::printf("merge with sound \"%s\": %.1f ms\n", c.file, ms);
    }

    // The calls the merge makes, on their own: accepted, and quick.
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    EXPECT_TRUE(PlaySoundA(DEFAULT_SOUND_FILE, nullptr, SND_FILENAME | SND_ASYNC));
    EXPECT_TRUE(PlaySoundA("", appInstance, SND_FILENAME | SND_ASYNC));
    QueryPerformanceCounter(&end);
    EXPECT_LT(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                  static_cast<double>(frequency.QuadPart),
              500.0);
}

TEST_F(Merge, ANullDeliveryChangesNothing)
{
    deliver({{"1", true}});
    SendMessageA(mainWindow, WM_GAMELIST, 0, 0);
    EXPECT_EQ(waitingCount, 1);
    EXPECT_EQ(currentGames.size(), 1u);
}

}  // namespace
