// The game list dialog: the games of the last delivered poll, waiting ones first on a
// light red background; a double-click opens a game in the browser.
#pragma once

#include <windows.h>

// Background of the rows whose game waits for the user: red 255, green 127, blue 127.
constexpr COLORREF WAITING_ROW_COLOUR = RGB(255, 127, 127);
static_assert(WAITING_ROW_COLOUR == 0x007F7FFF, "COLORREF keeps red in the low byte");

// Opens the modal dialog IDD_GAMES owned by mainWindow; returns when it has closed.
// The list view class must be registered (InitCommonControlsEx) before the first call.
void showGameList();

INT_PTR CALLBACK gameListDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the Close button into the bottom-right corner and lets the list fill the rest.
BOOL layoutGameList(HWND dialog);

// LVM_SORTITEMS comparator over the rows' numeric game ids; lParamSort is unused.
int CALLBACK compareGameRows(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);
