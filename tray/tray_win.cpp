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

// Every call names the icon by mainWindow and TRAY_ICON_ID and leaves zero whatever it
// does not set: no balloon, no state, no guid. NIF_MESSAGE always comes with the
// callback message.
void notifyShell(DWORD message, UINT flags, HICON icon, const char* tip)
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
    Shell_NotifyIconA(message, &data);
}

}  // namespace

void trayAdd() { notifyShell(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, smallIcon, "Turnbell"); }

void traySetIcon(HICON icon) { notifyShell(NIM_MODIFY, NIF_ICON, icon, ""); }

void trayUpdateTip(int waiting)
{
    // The tooltip has no singular form. The longest count ("-2147483648") makes 37
    // bytes, well within the tooltip's 128.
    char tip[sizeof NOTIFYICONDATAA::szTip];
    std::snprintf(tip, sizeof tip, "Turnbell - %d games waiting", waiting);
    notifyShell(NIM_MODIFY, NIF_MESSAGE | NIF_TIP, nullptr, tip);
}

void trayRemove() { notifyShell(NIM_DELETE, 0, nullptr, ""); }
