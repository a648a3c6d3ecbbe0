// The UI handles, each set once by startup on the UI thread and only read afterwards.
// The tray, the flash, the dialogs and the poller's delivery read them: the one edge
// from those modules up into app, kept because these handles belong to the whole
// process and exist before any of those modules runs.
#pragma once

#include <windows.h>

extern HINSTANCE appInstance;
extern HWND mainWindow;
extern HICON largeIcon;  // IDI_MAIN at the large system icon size
extern HICON smallIcon;  // IDI_MAIN at the small size: the tray image
extern HICON alertIcon;  // IDI_ALERT at the small size: only the flash reads it
extern UINT taskbarCreatedMsg;

// Gives a dialog the program's icons: smallIcon in its caption, largeIcon for Alt+Tab.
void setDialogIcons(HWND dialog);

// Shows an open dialog to the user again, in front and restored if it was minimised, or
// the window opened from it that waits for the user's answer: what a request to open a
// dialog does while one is open, rather than open a second one on top of it.
void bringDialogForward(HWND dialog);
