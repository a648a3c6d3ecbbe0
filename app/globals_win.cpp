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
    // A window opened from the dialog (the open-file dialog of Browse...) takes the
    // user's answer first; without one this is the dialog itself.
    HWND front = GetLastActivePopup(dialog);
    if (front != dialog && IsIconic(front)) ShowWindow(front, SW_RESTORE);
    SetForegroundWindow(front);
}
