// The game list dialog: the games of the last delivered poll, waiting ones first on a
// light red background; a double-click opens a game in the browser.
#pragma once

// Opens the modal dialog IDD_GAMES owned by mainWindow; returns when it has closed.
// While a list is on screen, it fills that one afresh from currentGames and brings it
// forward instead, and returns at once. The list view class must be registered
// (InitCommonControlsEx) before the first call.
void showGameList();

// Ends the list on screen, if there is one, and says whether there was. Its modal loop
// returns as soon as the message it is handling now has been handled.
bool closeGameList();
