// The hidden main window: its window procedure and the tray popup menu.
#pragma once

#include <windows.h>

// The window class of mainWindow, registered by startup().
constexpr char MAIN_WINDOW_CLASS[] = "WC_Turnbell_Main";

// Routes each message of mainWindow to one handler; everything it does not handle
// goes to DefWindowProcA.
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the tray menu at the mouse position; the chosen command comes back to
// mainWindowProc as WM_COMMAND. Shows nothing when the menu cannot be loaded.
void showTrayMenu();
