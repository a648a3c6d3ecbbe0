// A bounded wait for a condition that keeps this thread's messages flowing meanwhile.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

// Milliseconds since some fixed point, for measuring.
inline double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Handles this thread's messages until condition() holds or timeoutMs have passed.
// Returns whether the condition held.
inline bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const double deadline = nowMs() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition()) return true;
        if (nowMs() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}
