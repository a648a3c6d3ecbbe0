// Shared pieces of the poller tests: a real window standing in for mainWindow; the wait
// that keeps its messages flowing is tests/support/wait_until.h, and the test site is
// reached through tests/support/testsite_client.h.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>

#include "games/records.h"
#include "tests/support/testsite_client.h"
#include "tests/support/wait_until.h"

// What the receiver records for threeGamesScenario() (see deliveredSummary).
extern const char THREE_GAMES_SUMMARY[];

// What startPoller sets up for a poll cycle, without the thread: the settings lock, the
// internet session, and a receiver window as mainWindow.
void preparePollCycles();

// Points the poll cycle at the test site, with short time-outs.
void aimPollerAtTestSite(DWORD receiveTimeoutMs = 1500);

// The user name, changed under settingsLock as the settings dialog does.
void setUserName(const char* name);

// A hidden top-level window that receives WM_GAMELIST; it becomes mainWindow. Every
// delivery is counted and summarised into deliveredSummary as
// "type|id|T or F|players;" per game, and onDelivery (when set) sees the list while
// the poller waits.
HWND createReceiverWindow();
extern int deliveryCount;
extern std::string deliveredSummary;
extern std::function<void(GameList&)> onDelivery;
