#include "tray/tray.h"

#include <shellapi.h>

#include <cstdio>

#include "app/globals.h"

#if defined(_WIN32) && !defined(_WIN64)
// The full form ending with guidItem and hBalloonIcon, as the shell of Vista and later
// expects it from a 32-bit program.
static_assert(sizeof(NOTIFYICONDATAA) == 508, "NOTIFYICONDATAA must be the 508-byte form");
#endif

namespace {

bool iconWanted;  // from trayAdd until trayRemove
bool addPending;  // the shell refused the add: TRAY_RETRY_TIMER runs
// The tooltip of the moment: an icon added again, after the shell lost it, shows the
// count at once rather than "Turnbell" until the next poll.
char currentTip[sizeof NOTIFYICONDATAA::szTip] = "Turnbell";

// Every call names the icon by mainWindow and TRAY_ICON_ID and leaves zero whatever it
// does not set: no balloon, no state, no guid. NIF_MESSAGE always comes with the
// callback message.
bool notifyShell(DWORD message, UINT flags, HICON icon, const char* tip)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = mainWindow;
    data.uID = TRAY_ICON_ID;
    data.uFlags = flags;
    if (flags & NIF_MESSAGE) {
        data.uCallbackMessage = WM_TRAYICON;
    }
    data.hIcon = icon;
    lstrcpynA(data.szTip, tip, sizeof data.szTip);
    return Shell_NotifyIconA(message, &data) != FALSE;
}

// A change of the icon. When the shell refuses it, the icon may be gone (a shell that
// lost it without broadcasting "TaskbarCreated"): it is added again and the change made
// on it. While the add is refused, the retry timer brings the icon back instead.
void changeIcon(UINT flags, HICON icon, const char* tip)
{
    if (notifyShell(NIM_MODIFY, flags, icon, tip) || !iconWanted || addPending) {
        return;
    }
    trayAdd();
    if (!addPending) {
        notifyShell(NIM_MODIFY, flags, icon, tip);
    }
}

}  // namespace

void trayAdd()
{
    iconWanted = true;
    // A refused add may also mean that the icon is there already (a "TaskbarCreated" from
    // a shell that kept it): a change that the shell accepts tells.
    if (notifyShell(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, smallIcon, currentTip) ||
        notifyShell(NIM_MODIFY, NIF_MESSAGE, nullptr, "")) {
        if (addPending) {
            KillTimer(mainWindow, TRAY_RETRY_TIMER);
            addPending = false;
        }
        return;
    }
    if (!addPending) {
        addPending = SetTimer(mainWindow, TRAY_RETRY_TIMER, TRAY_RETRY_PERIOD_MS, nullptr) != 0;
    }
}

void trayRetry()
{
    if (addPending) {
        trayAdd();
    }
}

void traySetIcon(HICON icon) { changeIcon(NIF_ICON, icon, ""); }

void trayUpdateTip(int waiting)
{
    // The tooltip has no singular form. The longest count ("-2147483648") makes 37
    // bytes, well within the tooltip's 128.
    std::snprintf(currentTip, sizeof currentTip, "Turnbell - %d games waiting", waiting);
    changeIcon(NIF_MESSAGE | NIF_TIP, nullptr, currentTip);
}

void trayRemove()
{
    iconWanted = false;
    lstrcpynA(currentTip, "Turnbell", sizeof currentTip);
    if (addPending) {
        KillTimer(mainWindow, TRAY_RETRY_TIMER);
        addPending = false;
    }
    notifyShell(NIM_DELETE, 0, nullptr, "");
}
