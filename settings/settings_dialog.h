// The settings dialog (IDD_SETTINGS): edits a copy of Settings in its controls and
// writes them back only on OK. The caller saves the settings after it returns.
#pragma once

#include <windows.h>

// Opened with DialogBoxParamA(appInstance, IDD_SETTINGS, mainWindow, settingsDialogProc, 0);
// the dialog ends with 1 after OK and 2 after Cancel.
INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
