// The poller thread: once a minute, or at once when woken, it asks the game site for
// the user's games in progress and hands every non-empty result to mainWindow.
#pragma once

#include <windows.h>

// The poller hands each non-empty GameList to mainWindow with SendMessageA and this
// message: lParam points to the list, valid until the handler returns.
constexpr UINT WM_GAMELIST = WM_USER + 11;
static_assert(WM_GAMELIST == 1035, "the delivery message is a fixed number");

// Auto-reset, created signalled: setting it makes a waiting poller poll at once.
// saveSettings() sets it; the stop sets it too. Never closed.
extern HANDLE wakeEvent;
// The poller thread; the stop waits on it. Never closed.
extern HANDLE pollerThread;

// Initialises settingsLock, creates wakeEvent, opens the internet session and starts
// the thread. Fails only when the internet session cannot be opened, after telling
// the user with a message box.
bool startPoller();

// Run by the UI thread on WM_DESTROY: clears pollerRunning, wakes the poller and waits
// a bounded time (POLLER_STOP_WAIT_MS) for it to end. While it waits it still lets
// messages sent by the poller through, so a delivery in progress cannot hold up the stop.
void stopPoller();
