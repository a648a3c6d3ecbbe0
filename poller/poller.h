// The poller thread: once a minute, or at once when woken, it asks the game site for
// the user's games in progress and hands every non-empty result to mainWindow.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "poller/fetch.h"

// The poller hands each non-empty GameList to mainWindow with SendMessageA and this
// message: lParam points to the list, valid until the handler returns.
constexpr UINT WM_GAMELIST = WM_USER + 11;
static_assert(WM_GAMELIST == 1035, "the delivery message is a fixed number");

// The longest wait between the end of one poll cycle and the start of the next.
constexpr DWORD POLL_INTERVAL_MS = 60000;
// How long the stop waits for the thread before shutdown goes on without it.
constexpr DWORD POLLER_STOP_WAIT_MS = 10000;

// Auto-reset, created signalled: setting it makes a waiting poller poll at once.
// saveSettings() sets it; the stop sets it too. Never closed.
extern HANDLE wakeEvent;
// The poller thread; the stop waits on it. Never closed.
extern HANDLE pollerThread;

// Initialises settingsLock, creates wakeEvent, opens the internet session and starts
// the thread. Fails only when the internet session cannot be opened, after telling
// the user with a message box.
bool startPoller();

// Polls, then waits on wakeEvent for at most POLL_INTERVAL_MS, until pollerRunning is
// cleared. The parameter is not used; the exit code is 0.
DWORD WINAPI pollerThreadProc(LPVOID parameter);

// One poll cycle: encode the user name, fetch the search page, parse it, and deliver a
// non-empty GameList to mainWindow with WM_GAMELIST. An empty name makes no request.
void pollOnce();

// Run by the UI thread on WM_DESTROY: clears pollerRunning, wakes the poller and waits
// at most POLLER_STOP_WAIT_MS for it to end. While it waits it still lets messages
// sent by the poller through, so a delivery in progress cannot hold up the stop.
void stopPoller();

// Where every poll sends its request: BUILT_IN_SITE. Tests aim the poller at the test
// site here, and nowhere else.
extern SearchSite pollerSite;
