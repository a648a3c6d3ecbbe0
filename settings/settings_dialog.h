// The settings dialog (IDD_SETTINGS): edits a copy of Settings in its controls and
// writes them back only on OK. Each closing, OK or Cancel, saves the settings, which
// wakes the poller.
#pragma once

#include <windows.h>

// Opens the modal dialog owned by mainWindow and returns when it has closed. The caller
// makes sure that no other dialog of the program is open (bringSettingsForward,
// closeGameList): two dialogs on the same settings would each write their own values
// over the other's.
void showSettings();

// While the dialog is open: brings forward the window the user must answer first (the
// dialog, or the open-file dialog of its Browse...), restored if minimised, and says
// true. False when no settings dialog is open.
bool bringSettingsForward();

// The dialog's procedure, for DialogBoxParamA(appInstance, IDD_SETTINGS, owner,
// settingsDialogProc, 0); the dialog ends with 1 after OK and 2 after Cancel.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
