#include "app/wndproc.h"

#include "app/dispatch.h"
#include "app/globals.h"
#include "app/links.h"
#include "app/messages.h"
#include "gamelist/gamelist.h"
#include "games/merge.h"
#include "poller/poller.h"
#include "poller/running.h"
#include "res/resource.h"
#include "settings/settings_dialog.h"
#include "settings/settings_win.h"
#include "tray/flash.h"
#include "tray/tray.h"

// app/dispatch.h spells the message numbers out so that it needs no <windows.h>.
static_assert(msg::DESTROY == WM_DESTROY && msg::COMMAND == WM_COMMAND && msg::TIMER == WM_TIMER,
              "window message numbers");
static_assert(msg::LBUTTONDBLCLK == WM_LBUTTONDBLCLK && msg::RBUTTONUP == WM_RBUTTONUP &&
                  msg::RBUTTONDBLCLK == WM_RBUTTONDBLCLK,
              "mouse message numbers");
static_assert(msg::TRAYICON == WM_TRAYICON && msg::GAMELIST == WM_GAMELIST, "private messages");
static_assert(msg::FLASH_TIMER_ID == FLASH_TIMER, "flash timer id");

namespace {

// WM_DESTROY: the quit message ends the message loop once this handler returns; the
// poller is told to stop first so that shutdown does not poll again.
void onDestroy()
{
    PostQuitMessage(0);
    stopPoller();
}

// The dialog edits Settings itself; whichever button closed it, the settings are saved,
// and saving wakes the poller, so a poll with the new name follows at once.
void openSettings()
{
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_SETTINGS), mainWindow, settingsDialogProc, 0);
    saveSettings();
}

LRESULT onCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (commandAction(wParam)) {
    case CommandAction::Exit:
        DestroyWindow(mainWindow);
        return 0;
    case CommandAction::Settings:
        openSettings();
        return 0;
    case CommandAction::ShowGames:
        showGameList();   // from the menu the flash goes on
        return 0;
    case CommandAction::Homepage:
        openHomepage();
        return 0;
    case CommandAction::PlayNow:
        playNow();
        return 0;
    case CommandAction::VisitSite:
        openSiteMainPage();
        return 0;
    case CommandAction::Default:
        break;
    }
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

// Any reaction of the user on the icon counts as noticing it: the flash stops.
void onTrayIcon(LPARAM lParam)
{
    switch (trayAction(lParam)) {
    case TrayAction::StopFlashShowGames:
        stopFlashing();
        showGameList();
        break;
    case TrayAction::StopFlashShowMenu:
        stopFlashing();
        showTrayMenu();
        break;
    case TrayAction::None:
        break;
    }
}

}  // namespace

void showTrayMenu()
{
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDR_TRAYMENU));
    if (!menu) {
        return;
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the foreground the menu would stay open when the user clicks elsewhere.
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, mainWindow, nullptr);
    // A notification-area menu needs its owner to get a message once it has closed, or
    // the next right-click may show the menu only for an instant.
    PostMessageA(mainWindow, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (mainAction(message, wParam, taskbarCreatedMsg)) {
    case MainAction::Destroy:
        onDestroy();
        return 0;
    case MainAction::Command:
        return onCommand(window, wParam, lParam);
    case MainAction::FlashStep:
        flashStep();
        return 0;
    case MainAction::IgnoreTimer:
        return 0;
    case MainAction::TrayIcon:
        onTrayIcon(lParam);
        return 0;
    case MainAction::MergeGameList:
        // Once the stop has begun, a list still on its way is not merged: no sound, flash
        // or tooltip on a window that is going away. The poller frees it all the same.
        if (pollerRunning) {
            mergeGameList(reinterpret_cast<GameList*>(lParam));
        }
        return 0;
    case MainAction::TaskbarCreated:
        trayAdd();   // the shell restarted and lost the icon
        return 0;
    case MainAction::Default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
