// The game list dialog. Its rows are a snapshot of currentGames taken when the user asks
// for the list; each row carries only its game's numeric id, so the colour and the
// double-click look the game up again and follow whatever the last poll delivered.
#include <windows.h>
#include <commctrl.h>

#include "app/globals.h"
#include "app/links.h"  // a game opens as from "Play now": one place turns links into URLs
#include "gamelist/gamelist.h"
#include "gamelist/rows.h"
#include "games/records.h"
#include "res/resource.h"

namespace {

// Background of the rows whose game waits for the user: red 255, green 127, blue 127.
constexpr COLORREF WAITING_ROW_COLOUR = RGB(255, 127, 127);
static_assert(WAITING_ROW_COLOUR == 0x007F7FFF, "COLORREF keeps red in the low byte");

struct Column {
    const char* header;
    int width;
};
const Column COLUMNS[] = {{"Game ID", 60}, {"Game Type", 150}, {"Players", 250}};

// The list on screen, from its initialisation until it is closed, or null.
HWND shownList;

void insertColumns(HWND list)
{
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<char*>(COLUMNS[i].header);
        column.cx = COLUMNS[i].width;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void setSubItemText(HWND list, int row, int subItem, const std::string& text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// Every game is inserted at the top; the sort puts the rows in their order afterwards.
void insertRow(HWND list, const GameRecord& game)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.pszText = const_cast<char*>(game.gameId.c_str());
    item.lParam = gameIdNumber(game.gameId);
    const int row =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    setSubItemText(list, row, 1, game.gameType);
    setSubItemText(list, row, 2, joinPlayerNames(game));
}

// Puts the Close button, at its own size, into the bottom-right corner, 4 pixels in;
// the list starts 4 pixels from the left and top, reaches the right edge itself and
// ends 4 pixels above the button.
BOOL layoutGameList(HWND dialog)
{
    constexpr int MARGIN = 4;
    HWND button = GetDlgItem(dialog, IDCANCEL);
    HWND list = GetDlgItem(dialog, IDC_GAMELIST);
    RECT buttonRect, client;
    GetWindowRect(button, &buttonRect);
    GetClientRect(dialog, &client);
    const int buttonWidth = buttonRect.right - buttonRect.left;
    const int buttonHeight = buttonRect.bottom - buttonRect.top;
    MoveWindow(button, client.right - buttonWidth - MARGIN, client.bottom - buttonHeight - MARGIN,
               buttonWidth, buttonHeight, TRUE);
    MoveWindow(list, MARGIN, MARGIN, client.right - MARGIN,
               client.bottom - buttonHeight - 3 * MARGIN, TRUE);
    return TRUE;
}

// LVM_SORTITEMS comparator over the rows' numeric game ids.
int CALLBACK compareGameRows(LPARAM lParam1, LPARAM lParam2, LPARAM)
{
    return compareRowIds(currentGames, lParam1, lParam2);
}

// One row per game of currentGames, in the list's order: waiting games first.
void fillRows(HWND list)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (const auto& game : currentGames) insertRow(list, *game);
    SendMessageA(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(compareGameRows));
}

void initGameList(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_GAMELIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    insertColumns(list);
    fillRows(list);
    setDialogIcons(dialog);
    layoutGameList(dialog);
}

// A dialog procedure hands a notification's result back through DWLP_MSGRESULT, which
// is pointer-sized: SetWindowLongPtrA keeps it right on 64-bit Windows too.
BOOL notifyResult(HWND dialog, LRESULT result)
{
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

// Asks for a notification per row, and paints the rows of waiting games light red.
BOOL onCustomDraw(HWND dialog, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return notifyResult(dialog, CDRF_NOTIFYITEMDRAW);
    case CDDS_ITEMPREPAINT:
        if (const GameRecord* game = gameForRow(currentGames, draw->nmcd.lItemlParam)) {
            if (game->myTurn) draw->clrTextBk = WAITING_ROW_COLOUR;
        }
        return notifyResult(dialog, CDRF_DODEFAULT);
    default:
        return notifyResult(dialog, CDRF_DODEFAULT);
    }
}

// Opens the game under the mouse; a click below the last row (item -1) finds no row.
BOOL onDoubleClick(HWND dialog, const NMITEMACTIVATE* activate)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = activate->iItem;
    if (!SendMessageA(GetDlgItem(dialog, IDC_GAMELIST), LVM_GETITEMA, 0,
                      reinterpret_cast<LPARAM>(&item)))
        return TRUE;
    if (const GameRecord* game = gameForRow(currentGames, item.lParam)) openGameLink(game->link);
    return TRUE;
}

BOOL onNotify(HWND dialog, NMHDR* header)
{
    switch (header->code) {
    case NM_CUSTOMDRAW:
        return onCustomDraw(dialog, reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_DBLCLK:
        return onDoubleClick(dialog, reinterpret_cast<NMITEMACTIVATE*>(header));
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK gameListDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        shownList = dialog;
        initGameList(dialog);
        return TRUE;
    case WM_SIZE:
        return layoutGameList(dialog);
    case WM_NOTIFY:
        return onNotify(dialog, reinterpret_cast<NMHDR*>(lParam));
    case WM_COMMAND:
        // The Close button, Escape and the caption's close button all arrive as IDCANCEL.
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
        EndDialog(dialog, 0);
        shownList = nullptr;
        return TRUE;
    case WM_DESTROY:  // also when it goes with mainWindow at exit, without a Close
        if (dialog == shownList) shownList = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void showGameList()
{
    if (shownList) {
        // Asked for again, the list shows the games of this moment, as a new one would.
        fillRows(GetDlgItem(shownList, IDC_GAMELIST));
        bringDialogForward(shownList);
        return;
    }
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_GAMES), mainWindow, gameListDialogProc, 0);
}

bool closeGameList()
{
    if (!shownList) return false;
    EndDialog(shownList, 0);
    shownList = nullptr;
    return true;
}
