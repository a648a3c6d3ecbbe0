// The notification-area icon of mainWindow: adding it, changing its image, rewriting
// its tooltip and removing it. UI thread only.
//
// Each operation is one Shell_NotifyIconA call with a freshly built NOTIFYICONDATAA.
// The builders below are pure so that the exact structure of every call can be
// inspected; the operations pass what they build straight to the shell and do not
// look at its answer.
#pragma once

#include <windows.h>
#include <shellapi.h>

// The tooltip with no count yet: the icon as it is added.
constexpr char TRAY_TIP_NAME[] = "Turnbell";
// The tooltip after every merge; it has no singular form.
constexpr char TRAY_TIP_FORMAT[] = "Turnbell - %d games waiting";

// The structures, zeroed and then filled: the full NOTIFYICONDATAA, owner window and
// TRAY_ICON_ID, plus what each operation sets.
NOTIFYICONDATAA trayAddData(HWND window, HICON icon);       // NIM_ADD: message, icon, "Turnbell"
NOTIFYICONDATAA traySetIconData(HWND window, HICON icon);   // NIM_MODIFY: icon only
NOTIFYICONDATAA trayTipData(HWND window, int waiting);      // NIM_MODIFY: message and count tip
NOTIFYICONDATAA trayRemoveData(HWND window);                // NIM_DELETE

// Shell_NotifyIconA itself; the four operations below ignore its result.
BOOL trayNotify(DWORD message, NOTIFYICONDATAA& data);

void trayAdd();                  // smallIcon, "Turnbell", callback WM_TRAYICON
void traySetIcon(HICON icon);    // the shell copies the image: the caller may destroy it
void trayUpdateTip();            // "Turnbell - %d games waiting" with waitingCount
void trayRemove();
