// Private messages, timer and tray ids of the hidden main window.
#pragma once

#include <windows.h>

// The shell reports mouse events on the tray icon with this message:
// wParam is TRAY_ICON_ID, lParam the mouse message.
constexpr UINT WM_TRAYICON = WM_USER + 10;   // 1034
// The poller thread hands over its GameList with SendMessageA: lParam points to it,
// valid until the handler returns.
constexpr UINT WM_GAMELIST = WM_USER + 11;   // 1035
static_assert(WM_TRAYICON == 1034 && WM_GAMELIST == 1035, "message numbers are fixed");

constexpr UINT TRAY_ICON_ID = 1;
constexpr UINT_PTR FLASH_TIMER = 1;
constexpr UINT FLASH_PERIOD_MS = 100;
