// The notification-area icon of mainWindow: adding it, changing its image, rewriting
// its tooltip and removing it. Each operation is one Shell_NotifyIconA call with a
// freshly built NOTIFYICONDATAA, and none looks at the shell's answer. UI thread only.
#pragma once

#include <windows.h>

// The icon's id among mainWindow's icons.
constexpr UINT TRAY_ICON_ID = 1;
// The shell reports mouse events on the icon with this message: wParam is TRAY_ICON_ID,
// lParam the mouse message.
constexpr UINT WM_TRAYICON = WM_USER + 10;
static_assert(WM_TRAYICON == 1034, "the tray callback message is a fixed number");

void trayAdd();                // smallIcon, the tooltip "Turnbell", callback WM_TRAYICON
void traySetIcon(HICON icon);  // the image only; the shell copies it, so the caller may destroy it
void trayUpdateTip(int waiting);  // "Turnbell - <waiting> games waiting"; the image stays
void trayRemove();
