// The program's own window procedure on the UI thread: a delivered game list (the waiting
// count, the flash timer and the sound, its calls recorded, none played), and what each
// request of the user through the icon and the menu does, with the settings as the user
// left them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/globals.h"
#include "app/links.h"
#include "app/wndproc.h"
#include "games/merge.h"
#include "poller/poller.h"
#include "poller/running.h"
#include "res/resource.h"
#include "settings/settings_win.h"
#include "tray/flash.h"
#include "tray/tray.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/game_lists.h"
#include "tests/support/hidden_main_window.h"
#include "tests/support/play_sound_recorder.h"
#include "tests/support/shell_execute_recorder.h"
#include "tests/support/shell_notify_recorder.h"
#include "tests/support/stored_value.h"
#include "tests/support/timer_recorder.h"

namespace {

class Merge : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appInstance = GetModuleHandleA(nullptr);
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        InitializeCriticalSection(&settingsLock);
        loadIconsAsStartupDoes();
        prepareFlash();
        createHiddenMainWindow("WC_MergeTest", mainWindowProc);
        shellExecutePassing = false;  // no browser starts
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
        std::memset(&Settings, 0, sizeof Settings);
        Settings.notifyIcon = true;
    }
};

// The flash timer's period on mainWindow: 100 ms (ten frames a second), or 0 when stopped.
UINT flashPeriod() { return runningTimerPeriod(mainWindow, FLASH_TIMER); }

// Delivers a list as the poller does: sent to mainWindow, then freed.
void deliver(const std::vector<GameSketch>& games)
{
    GameList list = gameList(games);
    SendMessageA(mainWindow, WM_GAMELIST, 0, reinterpret_cast<LPARAM>(&list));
    clearGameList(list);
}

TEST_F(Merge, NewlyWaitingGamesStartTheFlashAndNoWaitingGameStopsIt)
{
    deliver({{"1", true}, {"2", false}});
    EXPECT_EQ(waitingCount, 1);
    ASSERT_EQ(currentGames.size(), 2u);
    EXPECT_EQ(flashPeriod(), 100u) << "the flash runs";

    deliver({{"1", false}, {"2", false}});
    EXPECT_EQ(waitingCount, 0);
    EXPECT_EQ(flashPeriod(), 0u) << "the flash stopped";
}

TEST_F(Merge, TheSameWaitingGamesLeaveAStoppedFlashStopped)
{
    deliver({{"1", true}});
    ASSERT_EQ(flashPeriod(), 100u);
    // The user double-clicks the icon: the flash stops, the game still waits.
    stopFlashing();
    deliver({{"1", true}});
    EXPECT_EQ(waitingCount, 1);
    EXPECT_EQ(flashPeriod(), 0u);
}

TEST_F(Merge, IconFlashingOffNeverStartsTheTimer)
{
    Settings.notifyIcon = false;
    deliver({{"1", true}, {"2", true}});
    EXPECT_EQ(waitingCount, 2);
    EXPECT_EQ(flashPeriod(), 0u);
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

// Each request through the window procedure, as the user sees its answer: in the tray
// (its last Shell_NotifyIconA call), the pages the shell is asked to open, the game list,
// the flash timer and, at Exit, the registry. The rows run in order on the same window,
// with games 7 and 8 waiting from the first row on; Exit goes last.
TEST_F(Merge, EachRequestOfTheIconTheMenuAndThePollerDoesWhatTheUserSees)
{
    GameList delivered = gameList({{"7", true}, {"8", true}, {"9", false}});
    std::strcpy(Settings.userName, "ann");
    trayAdd();
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool flashing;  // before the request
        bool opensList;
        bool flashingAfter;
        std::string url;  // the page opened, if any
        std::string tip;  // the tooltip the tray shows last, if one is rewritten
    } rows[] = {
        {"a delivery rewrites the tooltip", WM_GAMELIST, 0, reinterpret_cast<LPARAM>(&delivered),
         false, false, true, "", "Turnbell - 2 games waiting"},
        {"Home page", WM_COMMAND, ID_HOMEPAGE, 0, false, false, false, homepageUrl(), ""},
        {"Visit site", WM_COMMAND, ID_VISITSITE, 0, false, false, false, siteMainPageUrl(), ""},
        {"Play now opens the first waiting game", WM_COMMAND, ID_PLAYNOW, 0, false, false, false,
         gameLinkUrl("jeu.php?id=7"), ""},
        {"Show game list... leaves the flash on", WM_COMMAND, ID_SHOWGAMES, 0, true, true, true, "",
         ""},
        {"a double-click stops the flash", WM_TRAYICON, TRAY_ICON_ID, WM_LBUTTONDBLCLK, true, true,
         false, "", ""},
        {"a right double-click stops it too", WM_TRAYICON, TRAY_ICON_ID, WM_RBUTTONDBLCLK, true,
         true, false, "", ""},
        {"Exit removes the icon and saves", WM_COMMAND, ID_EXIT, 0, false, false, false, "", ""},
    };
    for (const auto& row : rows) {
        row.flashing ? startFlashing() : stopFlashing();
        RegDeleteTreeA(HKEY_CURRENT_USER, SETTINGS_REGISTRY_KEY);
        shellNotifyCalls.clear();
        shellExecuteCalls.clear();
        const auto request = [&] {
            SendMessageA(mainWindow, row.message, row.wParam, row.lParam);
            return INT_PTR{0};
        };
        if (row.opensList)
            runDialog(request, {{dialogWithCaption("Games"), [](HWND list) {
                                     pressKey(GetDlgItem(list, IDC_GAMELIST), VK_ESCAPE);
                                 }}});
        else
            request();
        EXPECT_EQ(flashPeriod() != 0, row.flashingAfter) << row.what;
        EXPECT_EQ(shellExecuteCalls.size(), row.url.empty() ? 0u : 1u) << row.what;
        if (!row.url.empty() && !shellExecuteCalls.empty()) {
            EXPECT_EQ(shellExecuteCalls[0].file, row.url) << row.what;
        }
        const DWORD trayCall = shellNotifyCalls.empty() ? 0 : shellNotifyCalls.back().message;
        if (!row.tip.empty()) {
            EXPECT_EQ(trayCall, static_cast<DWORD>(NIM_MODIFY)) << row.what;
            EXPECT_EQ(std::string(shellNotifyCalls.back().data.szTip), row.tip) << row.what;
        }
        if (row.wParam == ID_EXIT) {
            EXPECT_EQ(trayCall, static_cast<DWORD>(NIM_DELETE)) << row.what;
            EXPECT_EQ(queryValue("UserName").text(), "ann") << row.what;
            EXPECT_FALSE(IsWindow(mainWindow)) << row.what;
        }
    }
    clearGameList(delivered);
    // What Exit leaves for the program's message loop, and a window for the suite's end.
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    pollerRunning = true;
    createHiddenMainWindow("WC_MergeTest", mainWindowProc);
}

}  // namespace
