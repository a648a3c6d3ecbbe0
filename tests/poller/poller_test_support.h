// Shared pieces of the poller tests: the test site's control interface (over a socket of
// its own, so control traffic never goes through the code under test), a real window
// standing in for mainWindow, and a wait that keeps the window's messages flowing.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>

#include "games/records.h"

// A page with three games in two sections. Game 101 waits for "Ann Lee": its bold marker
// holds the name as the request carries it ("Ann+Lee"). Game 203 has no players.
extern const char THREE_GAMES_SCENARIO[];
// What the receiver records for that page (see deliveredSummary).
extern const char THREE_GAMES_SUMMARY[];

// One control exchange with the test site; returns the reply body.
std::string siteControl(const char* method, const char* path, const std::string& body = "");
void setScenario(const std::string& json);  // also forgets the requests so far
int requestCount();
// The body of the last request the site received, exactly as sent.
std::string lastRequestBody();

// Points the poll cycle at the test site, with short time-outs.
void aimPollerAtTestSite(DWORD receiveTimeoutMs = 1500);
// A loopback port that nothing listens on.
INTERNET_PORT closedPort();

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

// Handles this thread's messages until condition() holds or timeoutMs have passed.
// Returns whether the condition held.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Milliseconds since some fixed point, for measuring.
double nowMs();
