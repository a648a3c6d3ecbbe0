#include "app/wndproc.h"

#include <mmsystem.h>

#include "app/globals.h"
#include "app/links.h"
#include "app/startup.h"
#include "gamelist/gamelist.h"
#include "games/merge.h"
#include "poller/poller.h"
#include "poller/running.h"
#include "res/resource.h"
#include "settings/settings_dialog.h"
#include "settings/settings_win.h"
#include "tray/flash.h"
#include "tray/tray.h"

namespace {

// Shows the tray menu at the mouse position; the chosen command comes back to the
// window procedure as WM_COMMAND. Shows nothing when the menu cannot be loaded.
void showTrayMenu()
{
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDR_TRAYMENU));
    if (!menu) {
        return;
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    // Without the foreground the menu would stay open when the user clicks elsewhere.
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, mainWindow,
                   nullptr);
    // A notification-area menu needs its owner to get a message once it has closed, or
    // the next right-click may show the menu only for an instant.
    PostMessageA(mainWindow, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

// WM_DESTROY: the quit message ends the message loop once this returns. What the user
// sees ends first: the icon goes, the settings are saved and the one-copy name is given
// up; only then is the poller waited for, which takes seconds when a poll hangs. The
// poller is told to stop before the save, whose wake must not make it poll again.
void onDestroy()
{
    PostQuitMessage(0);
    pollerRunning = false;
    shutdown();
    stopPoller();
}

// One dialog of ours at a time, each opened from the main message loop. A dialog opened
// from another's modal loop would leave the other's keys dead (a modal loop hands keys
// to its own dialog only), and the outer one could not take a file chosen in its
// Browse... until the inner one had closed.
//
// While the settings are open nothing else opens: the window the user must answer
// first comes forward. Asked for again, an open game list shows the games of now.
void requestGameList()
{
    if (bringSettingsForward()) return;
    showGameList();
}

// An open game list holds nothing the user could lose, so it goes, and the settings
// open once its loop has returned to the main one.
void requestSettings()
{
    if (bringSettingsForward()) return;
    if (closeGameList()) {
        PostMessageA(mainWindow, WM_COMMAND, ID_SETTINGS, 0);
        return;
    }
    showSettings();  // saves as it closes, whichever button closed it
}

// A command of the tray menu; false for an id that is not one of ours.
bool onCommand(WORD id)
{
    switch (id) {
    case ID_EXIT:
        DestroyWindow(mainWindow);
        return true;
    case ID_SETTINGS:
        requestSettings();
        return true;
    case ID_SHOWGAMES:
        requestGameList();  // from the menu the flash goes on
        return true;
    case ID_HOMEPAGE:
        openHomepage();
        return true;
    case ID_PLAYNOW:
        playNow();
        return true;
    case ID_VISITSITE:
        openSiteMainPage();
        return true;
    default:
        return false;
    }
}

// A mouse event on the tray icon. Any reaction of the user on the icon counts as
// noticing it: the flash stops.
void onTrayIcon(UINT mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
        stopFlashing();
        requestGameList();
        break;
    case WM_RBUTTONUP:
        stopFlashing();
        showTrayMenu();
        break;
    default:
        break;
    }
}

// WM_GAMELIST: the poller's list, valid until this returns. It becomes currentGames,
// and the user is told as the settings ask. Once the stop has begun, a list still on
// its way is not merged: no sound, flash or tooltip on a window that is going away
// (the poller frees it all the same).
void onGameList(GameList* delivered)
{
    if (!delivered || !pollerRunning) {
        return;
    }
    // Only the UI thread writes Settings, and this runs on it: no lock needed.
    const MergeOutcome outcome = mergeGameList(currentGames, *delivered, Settings.notifyIcon,
                                               Settings.notifySound, Settings.soundFile);
    waitingCount = outcome.waiting;
    switch (outcome.flash) {
    case FlashDecision::Start:
        startFlashing();
        break;
    case FlashDecision::Stop:
        stopFlashing();
        break;
    case FlashDecision::Leave:
        break;
    }
    // SND_ASYNC: PlaySoundA returns at once and the sound plays on. Without a file the
    // module instance goes with the empty name, and the system picks what to play.
    switch (outcome.sound) {
    case SoundDecision::SoundFile:
        PlaySoundA(soundFileToPlay(Settings.soundFile).c_str(), nullptr, SND_FILENAME | SND_ASYNC);
        break;
    case SoundDecision::ModuleDefault:
        PlaySoundA("", appInstance, SND_FILENAME | SND_ASYNC);
        break;
    case SoundDecision::None:
        break;
    }
    trayUpdateTip(waitingCount);
}

}  // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_COMMAND:
        if (onCommand(LOWORD(wParam))) {
            return 0;
        }
        break;  // not ours: DefWindowProcA with the original arguments
    case WM_TIMER:
        if (wParam == FLASH_TIMER) {
            flashStep();
        } else if (wParam == TRAY_RETRY_TIMER) {
            trayRetry();
        }
        return 0;  // any other timer is not ours and is ignored
    case WM_TRAYICON:
        onTrayIcon(LOWORD(lParam));
        return 0;
    case WM_GAMELIST:
        onGameList(reinterpret_cast<GameList*>(lParam));
        return 0;
    default:
        // The shell restarted and lost the icon. A registered message is never one of
        // the fixed ones above; a failed registration (0) must not take WM_NULL, which
        // the tray menu posts. Once Exit has removed the icon (the broadcast may come
        // while the stop waits for the poller), it stays away.
        if (message == taskbarCreatedMsg && taskbarCreatedMsg != 0) {
            if (pollerRunning) {
                trayAdd();
            }
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
