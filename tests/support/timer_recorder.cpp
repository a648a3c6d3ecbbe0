#include "tests/support/timer_recorder.h"
#include "tests/support/import_slot.h"

#include <vector>

namespace {

// Each call as a set (with its period) or a kill (period 0), oldest first.
struct TimerCall {
    HWND window;
    UINT_PTR id;
    UINT periodMs;
};
std::vector<TimerCall> timerCalls;

using SetTimerFunction = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);
using KillTimerFunction = BOOL(WINAPI*)(HWND, UINT_PTR);

UINT_PTR WINAPI recordSetTimer(HWND window, UINT_PTR id, UINT periodMs, TIMERPROC procedure)
{
    static const auto system = systemFunction<SetTimerFunction>("user32.dll", "SetTimer");
    const UINT_PTR result = system(window, id, periodMs, procedure);
    if (window) timerCalls.push_back({window, id, periodMs});
    return result;
}

BOOL WINAPI recordKillTimer(HWND window, UINT_PTR id)
{
    static const auto system = systemFunction<KillTimerFunction>("user32.dll", "KillTimer");
    if (window) timerCalls.push_back({window, id, 0});
    return system(window, id);
}

}  // namespace

extern "C" SetTimerFunction setTimerImportSlot IMPORT_SLOT(SetTimer, 16);
SetTimerFunction setTimerImportSlot = recordSetTimer;
extern "C" KillTimerFunction killTimerImportSlot IMPORT_SLOT(KillTimer, 8);
KillTimerFunction killTimerImportSlot = recordKillTimer;

UINT runningTimerPeriod(HWND window, UINT_PTR id)
{
    for (auto call = timerCalls.rbegin(); call != timerCalls.rend(); ++call)
        if (call->window == window && call->id == id) return call->periodMs;
    return 0;
}
