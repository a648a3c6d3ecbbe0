// The notification-area icon of mainWindow: adding it, changing its image, rewriting
// its tooltip and removing it, each with a freshly built NOTIFYICONDATAA. The icon is
// kept there from trayAdd until trayRemove: when the shell refuses to add it (a shell
// that is not up, or too busy at logon), a timer tries again; when it refuses a change
// because it lost the icon, the icon is added again. UI thread only.
#pragma once

#include <windows.h>

// The icon's id among mainWindow's icons.
constexpr UINT TRAY_ICON_ID = 1;
// The shell reports mouse events on the icon with this message: wParam is TRAY_ICON_ID,
// lParam the mouse message.
constexpr UINT WM_TRAYICON = WM_USER + 10;
static_assert(WM_TRAYICON == 1034, "the tray callback message is a fixed number");

// The timer of mainWindow that tries the add again while the shell refuses it: its
// WM_TIMER id (beside FLASH_TIMER) and its period.
constexpr UINT_PTR TRAY_RETRY_TIMER = 2;
constexpr UINT TRAY_RETRY_PERIOD_MS = 3000;

// smallIcon, callback WM_TRAYICON and the tooltip of the moment: "Turnbell" until the
// first trayUpdateTip (and again after trayRemove), its count from then on.
void trayAdd();
void trayRetry();              // WM_TIMER with TRAY_RETRY_TIMER: trayAdd, unless removed
void traySetIcon(HICON icon);  // the image only; the shell copies it, so the caller may destroy it
void trayUpdateTip(int waiting);  // "Turnbell - <waiting> games waiting"; the image stays
void trayRemove();                // and no retry or change brings the icon back
