// Shared by the tray and merge tests: the hidden window that stands in for the
// program's mainWindow, and a wait for the flash timer's ticks on it.
#pragma once

#include <windows.h>

#include "app/globals.h"
#include "tray/flash.h"

// Registers a window class with the given procedure (a plain one by default) and creates
// mainWindow as the program does: a zero-sized WS_POPUP top-level window that is never
// shown. appInstance must be set.
inline void createHiddenMainWindow(const char* className, WNDPROC procedure = DefWindowProcA)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = appInstance;
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
    mainWindow = CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 appInstance, nullptr);
}

// True when a FLASH_TIMER tick for mainWindow arrives within the given time.
inline bool flashTimerTicksWithin(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageA(&msg, mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            if (msg.wParam == FLASH_TIMER) return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_TIMER);
    }
    return false;
}
