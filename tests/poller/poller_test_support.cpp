#include "poller_test_support.h"

#include <gtest/gtest.h>

#include "app/globals.h"
#include "poller/poller.h"
#include "poller/poller_internal.h"
#include "settings/settings_win.h"
#include "tests/support/hidden_main_window.h"

const char THREE_GAMES_SUMMARY[] = "Ploc|101|T|Ann Lee, Bob;Ploc|102|F|Bob, Ann Lee;Quarto|203|F|;";

int deliveryCount;
std::string deliveredSummary;
std::function<void(GameList&)> onDelivery;

namespace {

LRESULT CALLBACK receiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_GAMELIST) return DefWindowProcA(window, message, wParam, lParam);
    GameList& games = *reinterpret_cast<GameList*>(lParam);
    ++deliveryCount;
    for (const auto& game : games) {
        deliveredSummary += game->gameType + "|" + game->gameId + "|" + (game->myTurn ? "T" : "F") +
                            "|" + joinPlayerNames(*game) + ";";
    }
    if (onDelivery) onDelivery(games);
    return 0;
}

}  // namespace

void preparePollCycles()
{
    InitializeCriticalSection(&settingsLock);
    internetSession = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(internetSession, nullptr);
    ASSERT_NE(createReceiverWindow(), nullptr);
}

void aimPollerAtTestSite(DWORD receiveTimeoutMs)
{
    pollerSite = {siteHost(), sitePort(), false, {2000, 2000, receiveTimeoutMs}};
}

void setUserName(const char* name)
{
    EnterCriticalSection(&settingsLock);
    lstrcpynA(Settings.userName, name, USER_NAME_SIZE);
    LeaveCriticalSection(&settingsLock);
}

HWND createReceiverWindow()
{
    appInstance = GetModuleHandleA(nullptr);
    createHiddenMainWindow("TurnbellTestReceiver", receiverProc);
    return mainWindow;
}
