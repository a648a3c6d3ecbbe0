// Sees every SetTimer and KillTimer call of the program and passes it on. A test program
// that compiles timer_recorder.cpp into itself (not through a library) defines the import
// slots of both; the linker takes those definitions before user32's, so every call from
// the program's code lands here first. A test reads from it which timers run, and at what
// period, instead of waiting for their ticks.
#pragma once

#include <windows.h>

#include <vector>

struct TimerCall {
    bool set;  // SetTimer; otherwise KillTimer
    HWND window;
    UINT_PTR id;
    UINT periodMs;  // SetTimer only
};

// The calls so far, oldest first.
extern std::vector<TimerCall> timerCalls;

// The period of the timer with that id on that window, as last set, or 0 when it was
// never set or has been killed since.
UINT runningTimerPeriod(HWND window, UINT_PTR id);
