// Shared by the tray and merge tests: waits, dispatching nothing else, for a tick of the
// flash timer on mainWindow.
#pragma once

#include <windows.h>

#include "app/globals.h"
#include "app/messages.h"

// True when a FLASH_TIMER tick for mainWindow arrives within the given time.
inline bool flashTimerTicksWithin(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG msg;
        while (PeekMessageA(&msg, mainWindow, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            if (msg.wParam == FLASH_TIMER)
                return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_TIMER);
    }
    return false;
}
