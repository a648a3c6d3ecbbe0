// The hidden main window. It owns the tray icon, the flash timer and the dialogs, and
// receives the poller's game lists.
#pragma once

#include <windows.h>

// The window class of mainWindow, registered by startup().
constexpr char MAIN_WINDOW_CLASS[] = "WC_Turnbell_Main";

// Hands each message of mainWindow to its handler; everything it does not handle goes
// to DefWindowProcA.
LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
