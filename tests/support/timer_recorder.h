// Sees every SetTimer and KillTimer call of the program and passes it on: a test program
// that compiles timer_recorder.cpp into itself (not through a library) defines both import
// slots, which the linker takes before user32's. A test reads from it which timers run,
// and at what period, instead of waiting for their ticks.
#pragma once

#include <windows.h>

// The period of the timer with that id on that window, as last set, or 0 when it was
// never set or has been killed since.
UINT runningTimerPeriod(HWND window, UINT_PTR id);
