// What the hidden main window does with each message, decided without touching
// Windows: the window procedure asks these functions and then makes the calls.
// The message numbers are Windows' own; app/wndproc_win.cpp checks them against
// <windows.h> so this header can stay free of it and be tested natively.
#pragma once

#include <cstdint>

namespace msg {
constexpr unsigned DESTROY = 0x0002;          // WM_DESTROY
constexpr unsigned COMMAND = 0x0111;          // WM_COMMAND
constexpr unsigned TIMER = 0x0113;            // WM_TIMER
constexpr unsigned LBUTTONDBLCLK = 0x0203;    // 515
constexpr unsigned RBUTTONUP = 0x0205;        // 517
constexpr unsigned RBUTTONDBLCLK = 0x0206;    // 518
constexpr unsigned TRAYICON = 0x0400 + 10;    // WM_TRAYICON
constexpr unsigned GAMELIST = 0x0400 + 11;    // WM_GAMELIST
constexpr std::uintptr_t FLASH_TIMER_ID = 1;  // FLASH_TIMER, the flash's timer id
}

enum class MainAction {
    Destroy,         // post the quit message and stop the poller
    Command,         // a menu command: see commandAction
    FlashStep,       // the flash timer ticked
    IgnoreTimer,     // some other timer: handled, nothing to do
    TrayIcon,        // a mouse event on the tray icon: see trayAction
    MergeGameList,   // the poller delivered a game list
    TaskbarCreated,  // the shell (re)started: add the tray icon again
    Default,         // DefWindowProcA
};

// taskbarCreated is the registered "TaskbarCreated" message; it is compared only once
// every fixed message has been ruled out, and a zero (a failed registration) never
// matches, so WM_NULL stays with DefWindowProcA.
MainAction mainAction(unsigned message, std::uintptr_t wParam, unsigned taskbarCreated);

enum class CommandAction {
    Exit,
    Settings,
    ShowGames,
    Homepage,
    PlayNow,
    VisitSite,
    Default,   // not one of ours: DefWindowProcA with the original arguments
};

// The command id is the low word of WM_COMMAND's wParam.
CommandAction commandAction(std::uintptr_t wParam);

enum class TrayAction {
    None,
    StopFlashShowGames,   // double-click with either button
    StopFlashShowMenu,    // right button released
};

// lParam of WM_TRAYICON carries the mouse message in its low word.
TrayAction trayAction(std::intptr_t lParam);
