#include "tray/tray.h"

#include <cstdio>
#include <cstring>

#include "app/globals.h"
#include "app/messages.h"
#include "games/merge.h"

#if defined(_WIN32) && !defined(_WIN64)
// The full form ending with guidItem and hBalloonIcon, as the shell of Vista and later
// expects it from a 32-bit program.
static_assert(sizeof(NOTIFYICONDATAA) == 508, "NOTIFYICONDATAA must be the 508-byte form");
#endif

namespace {

NOTIFYICONDATAA emptyData(HWND window)
{
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    return data;
}

} // namespace

NOTIFYICONDATAA trayAddData(HWND window, HICON icon)
{
    NOTIFYICONDATAA data = emptyData(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYICON;
    data.hIcon = icon;
    static_assert(sizeof TRAY_TIP_NAME <= sizeof data.szTip, "the name fits the tooltip");
    std::memcpy(data.szTip, TRAY_TIP_NAME, sizeof TRAY_TIP_NAME);
    return data;
}

NOTIFYICONDATAA traySetIconData(HWND window, HICON icon)
{
    NOTIFYICONDATAA data = emptyData(window);
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    return data;
}

NOTIFYICONDATAA trayTipData(HWND window, int waiting)
{
    NOTIFYICONDATAA data = emptyData(window);
    data.uFlags = NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = WM_TRAYICON;
    // snprintf truncates and terminates within the buffer; the longest count
    // ("-2147483648") gives 37 bytes, well within 128.
    std::snprintf(data.szTip, sizeof data.szTip, TRAY_TIP_FORMAT, waiting);
    return data;
}

NOTIFYICONDATAA trayRemoveData(HWND window)
{
    return emptyData(window);
}

BOOL trayNotify(DWORD message, NOTIFYICONDATAA& data)
{
    return Shell_NotifyIconA(message, &data);
}

void trayAdd()
{
    NOTIFYICONDATAA data = trayAddData(mainWindow, smallIcon);
    trayNotify(NIM_ADD, data);
}

void traySetIcon(HICON icon)
{
    NOTIFYICONDATAA data = traySetIconData(mainWindow, icon);
    trayNotify(NIM_MODIFY, data);
}

void trayUpdateTip()
{
    NOTIFYICONDATAA data = trayTipData(mainWindow, waitingCount);
    trayNotify(NIM_MODIFY, data);
}

void trayRemove()
{
    NOTIFYICONDATAA data = trayRemoveData(mainWindow);
    trayNotify(NIM_DELETE, data);
}
