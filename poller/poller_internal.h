// The poller's own parts; other modules use poller.h.
#pragma once

#include <windows.h>

#include "poller/fetch.h"

// The longest wait between the end of one poll cycle and the start of the next.
constexpr DWORD POLL_INTERVAL_MS = 60000;
// How long the stop waits for the thread before shutdown goes on without it.
constexpr DWORD POLLER_STOP_WAIT_MS = 10000;

// Where every poll sends its request: BUILT_IN_SITE unless set otherwise.
extern SearchSite pollerSite;

// Polls, then waits on wakeEvent for at most POLL_INTERVAL_MS, until pollerRunning is
// cleared. The parameter is not used; the exit code is 0.
DWORD WINAPI pollerThreadProc(LPVOID parameter);

// One poll cycle: encode the user name, fetch the search page, parse it, and deliver a
// non-empty GameList to mainWindow with WM_GAMELIST. An empty name makes no request.
void pollOnce();
