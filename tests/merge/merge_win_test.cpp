// A delivered game list on the UI thread, through the program's own window procedure:
// the waiting count, the flash timer and the sound (its calls recorded, none played),
// with the settings as the user left them.
#include <gtest/gtest.h>

#include <windows.h>

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
#include "tests/support/play_sound_recorder.h"

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

TEST_F(Merge, ANewlyWaitingGamePlaysTheSoundOnceAsTheSettingsSay)
{
    const struct {
        const char* what;
        bool notifySound;
        const char* file;
        bool plays;
        bool withModule;  // the empty name goes with the program's module
    } cases[] = {
        {"a sound file", true, "C:\\sounds\\bell.wav", true, false},
        {"the first run's default", true, "sheepbaa.wav", true, false},
        {"no sound file", true, "", true, true},
        {"sound off", false, "sheepbaa.wav", false, false},
    };
    for (const auto& c : cases) {
        clearGameList(currentGames);
        Settings.notifySound = c.notifySound;
        std::strcpy(Settings.soundFile, c.file);
        playSoundCalls.clear();
        deliver({{"9", true}, {"8", true}});
        deliver({{"9", true}, {"8", true}});  // nothing newly waits: no second sound
        EXPECT_EQ(waitingCount, 2) << c.what;
        if (!c.plays) {
            EXPECT_TRUE(playSoundCalls.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(playSoundCalls.size(), 1u) << c.what;
        const PlaySoundCall& call = playSoundCalls[0];
        EXPECT_TRUE(call.named) << c.what;
        EXPECT_EQ(call.name, c.file) << c.what;
        EXPECT_EQ(call.module, c.withModule ? appInstance : nullptr) << c.what;
        EXPECT_EQ(call.flags, 0x20001u) << c.what << ": SND_FILENAME | SND_ASYNC";
    }
}

TEST_F(Merge, ANullDeliveryChangesNothing)
{
    deliver({{"1", true}});
    SendMessageA(mainWindow, WM_GAMELIST, 0, 0);
    EXPECT_EQ(waitingCount, 1);
    EXPECT_EQ(currentGames.size(), 1u);
}

}  // namespace
