// Sees every Shell_NotifyIconA call of the program as the shell receives it, and passes
// it on to the shell. A test program that compiles shell_notify_recorder.cpp into itself
// (not through a library) defines the import slot of Shell_NotifyIconA; the linker takes
// that definition before the one in shell32's import library, so every call from the
// program's code lands here first.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <vector>

struct ShellNotifyCall {
    DWORD message;                       // NIM_ADD, NIM_MODIFY, NIM_DELETE
    NOTIFYICONDATAA data;                // the structure as passed
    BOOL result;                         // what the shell answered
    std::vector<std::uint32_t> colours;  // a passed icon as the system draws it (RGB only),
    std::vector<bool> transparent;       // and its mask: both bottom-up, small icon size
};

// The calls so far, oldest first. While recording is off, calls only pass through (and
// allocate nothing here).
extern std::vector<ShellNotifyCall> shellNotifyCalls;
extern bool shellNotifyRecording;
// While above 0, a NIM_ADD does not reach the shell: it is answered FALSE, as a shell
// that is not up yet answers, and the count goes down by one.
extern int shellNotifyRefusedAdds;

// An icon's colours and mask at the given size, read the same way.
std::vector<std::uint32_t> drawnColours(HICON icon, int width, int height);
std::vector<bool> transparentPixels(HICON icon, int width, int height);
