#include "app/globals.h"

HINSTANCE appInstance;
HWND mainWindow;
HICON largeIcon;
HICON smallIcon;
HICON alertIcon;
UINT taskbarCreatedMsg;

void setDialogIcons(HWND dialog)
{
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
}

void bringDialogForward(HWND dialog)
{
    if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
    SetForegroundWindow(dialog);
}
