// Shared by the tests of the tray, the merge, the dialogs and a long run: the hidden
// window that stands in for the program's mainWindow, and the icons as startup loads them.
#pragma once

#include <windows.h>

#include <utility>

#include "app/globals.h"
#include "res/resource.h"
#include "tray/flash.h"

// What startup does before prepareFlash: the small icon size, then the shared icons, the
// large one first (Wine's shared-icon cache then hands out that 32 x 32 icon for the
// small size too). appInstance must be set.
inline void loadIconsAsStartupDoes()
{
    const auto load = [](int id, int width, int height) {
        return static_cast<HICON>(
            LoadImageA(appInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, LR_SHARED));
    };
    smallIconWidth = GetSystemMetrics(SM_CXSMICON);
    smallIconHeight = GetSystemMetrics(SM_CYSMICON);
    largeIcon = load(IDI_MAIN, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    smallIcon = load(IDI_MAIN, smallIconWidth, smallIconHeight);
    alertIcon = load(IDI_ALERT, smallIconWidth, smallIconHeight);
}

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

// The icons a dialog shows: in its caption (small) and for Alt+Tab (big).
inline std::pair<HICON, HICON> dialogIcons(HWND dialog)
{
    return {reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0)),
            reinterpret_cast<HICON>(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0))};
}
