// The game list dialog opened for real under Wine and read back from its list view.
#include "gamelist/gamelist.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <tuple>

#include "app/globals.h"
#include "app/wndproc.h"
#include "games/records.h"
#include "res/resource.h"
#include "site_config.h"
#include "tray/tray.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/game_lists.h"
#include "tests/support/browser_log.h"
#include "tests/support/shell_execute_recorder.h"
#include "tests/support/hidden_main_window.h"

namespace {

const std::string ROOT = std::string("http://") + TURNBELL_SITE_HOST + "/";

// A row as the list view shows it: its three columns and the game id it carries.
struct Row {
    std::string id, type, players;
    LPARAM param;
    auto fields() const { return std::tie(id, type, players, param); }
    bool operator==(const Row& o) const { return fields() == o.fields(); }
};

std::ostream& operator<<(std::ostream& out, const Row& row)
{
    return out << ::testing::PrintToString(row.fields());
}

std::string itemText(HWND list, int row, int column)
{
    char text[256] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<Row> readRows(HWND list)
{
    std::vector<Row> rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        rows.push_back(
            {itemText(list, i, 0), itemText(list, i, 1), itemText(list, i, 2), item.lParam});
    }
    return rows;
}

std::vector<std::string> headerTexts(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    std::vector<std::string> texts;
    const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        HDITEMA item = {};
        item.mask = HDI_TEXT | HDI_WIDTH;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        texts.push_back(std::string(text) + "/" + std::to_string(item.cxy));
    }
    return texts;
}

// What the dialog answers to the list view's custom-draw questions for one row: the
// result of the pre-paint stage, of the row's stage, and the background it sets.
struct Drawing {
    LRESULT prepaint;
    LRESULT item;
    COLORREF background;
};

Drawing customDraw(HWND dialog, LPARAM rowParam)
{
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = GetDlgItem(dialog, IDC_GAMELIST);
    draw.nmcd.hdr.idFrom = IDC_GAMELIST;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    Drawing result;
    result.prepaint =
        SendMessageA(dialog, WM_NOTIFY, IDC_GAMELIST, reinterpret_cast<LPARAM>(&draw));
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.lItemlParam = rowParam;
    draw.clrTextBk = CLR_DEFAULT;
    result.item = SendMessageA(dialog, WM_NOTIFY, IDC_GAMELIST, reinterpret_cast<LPARAM>(&draw));
    result.background = draw.clrTextBk;
    return result;
}

// The colour the list view really paints behind a row: the list is printed into a
// bitmap and a point of the first column right of its short text is read.
COLORREF paintedRowColour(HWND list, int row)
{
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    RECT client;
    GetClientRect(list, &client);
    HDC screen = GetDC(list);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | PRF_ERASEBKGND);
    const COLORREF colour = GetPixel(memory, bounds.left + 50, (bounds.top + bounds.bottom) / 2);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(list, screen);
    return colour;
}

POINT rowCentre(HWND list, int row)
{
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
    return {bounds.left + 20, (bounds.top + bounds.bottom) / 2};
}

void doubleClick(HWND list, POINT at)
{
    const LPARAM position = MAKELPARAM(at.x, at.y);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, position);
    PostMessageA(list, WM_LBUTTONUP, 0, position);
}

RECT childRect(HWND dialog, int id)
{
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

const std::string GAMES = "Games";
// The background of a waiting game's row: red 255, green 127, blue 127.
constexpr COLORREF WAITING_ROW_COLOUR = 0x007F7FFF;

class GameListDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        appInstance = GetModuleHandleA(nullptr);
        // Two icons that differ, so that each shows where the dialog puts it.
        smallIcon = LoadIconA(nullptr, IDI_INFORMATION);
        largeIcon = LoadIconA(nullptr, IDI_WARNING);
    }
    void TearDown() override { clearGameList(currentGames); }

    // Opens the dialog as the program does and runs the steps in it.
    void run(std::vector<DialogStep> steps)
    {
        runDialog(
            [] {
                showGameList();
                return INT_PTR{0};
            },
            std::move(steps));
    }
};

const std::vector<GameSketch> MIXED = {
    {"10", false, "Chess", {"ann", "bob"}},
    {"9", false, "Chess", {"cid"}},
    {"30", false, "chess", {}},
    {"40", true, "Zebra", {"dan", "eve", "fay"}},
    {"", false, "Abc", {"gus"}},
    {"7", true, "Chess", {"hal"}},
};

TEST_F(GameListDialog, WaitingGamesFirstThenByTypeAndNumericIdUnderTheThreeColumns)
{
    const struct {
        const char* what;
        std::vector<GameSketch> games;
        std::vector<Row> rows;
    } cases[] = {
        {"mixed games",
         MIXED,
         {{"7", "Chess", "hal", 7},
          {"40", "Zebra", "dan, eve, fay", 40},
          {"", "Abc", "gus", 0},
          {"9", "Chess", "cid", 9},
          {"10", "Chess", "ann, bob", 10},
          {"30", "chess", "", 30}}},
        {"no games", {}, {}},
    };
    for (const auto& c : cases) {
        setCurrentGames(c.games);
        std::vector<Row> rows = {{"x", "x", "x", 1}};
        std::vector<std::string> headers;
        run({{dialogWithCaption(GAMES), [&](HWND dialog) {
                  rows = readRows(GetDlgItem(dialog, IDC_GAMELIST));
                  headers = headerTexts(GetDlgItem(dialog, IDC_GAMELIST));
                  clickButton(dialog, IDCANCEL);
              }}});
        EXPECT_EQ(rows, c.rows) << c.what;
        EXPECT_EQ(headers, (std::vector<std::string>{"Game ID/60", "Game Type/150", "Players/250"}))
            << c.what;
    }
}

TEST_F(GameListDialog, WaitingRowsArePaintedLightRed)
{
    setCurrentGames(MIXED);
    std::vector<Drawing> drawings;
    std::vector<COLORREF> painted;
    run({{dialogWithCaption(GAMES), [&](HWND dialog) {
              HWND list = GetDlgItem(dialog, IDC_GAMELIST);
              for (const Row& row : readRows(list))
                  drawings.push_back(customDraw(dialog, row.param));
              for (std::size_t i = 0; i < drawings.size(); ++i)
                  painted.push_back(paintedRowColour(list, int(i)));
              clickButton(dialog, IDCANCEL);
          }}});
    ASSERT_EQ(drawings.size(), 6u);
    ASSERT_EQ(painted.size(), 6u);
    const COLORREF plain = GetSysColor(COLOR_WINDOW);
    ASSERT_NE(plain, WAITING_ROW_COLOUR);
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        const bool waiting = i < 2;
        EXPECT_EQ(drawings[i].prepaint, CDRF_NOTIFYITEMDRAW) << "row " << i;
        EXPECT_EQ(drawings[i].item, CDRF_DODEFAULT) << "row " << i;
        EXPECT_EQ(drawings[i].background, waiting ? WAITING_ROW_COLOUR : CLR_DEFAULT)
            << "row " << i;
        EXPECT_EQ(painted[i], waiting ? WAITING_ROW_COLOUR : plain) << "row " << i;
    }
}

TEST_F(GameListDialog, RowsFollowTheGamesOfTheLatestPoll)
{
    setCurrentGames(MIXED);
    std::vector<Row> rowsAfter;
    std::vector<Drawing> drawings;
    run({{dialogWithCaption(GAMES), [&](HWND dialog) {
              // A poll arrives while the list is open: game 7 has gone, the game
              // without id now waits.
              setCurrentGames({{"", true, "Abc", {"gus"}}, {"40", false, "Zebra", {}}});
              rowsAfter = readRows(GetDlgItem(dialog, IDC_GAMELIST));
              for (LPARAM id : {7, 0, 40}) drawings.push_back(customDraw(dialog, id));
              clickButton(dialog, IDCANCEL);
          }}});
    EXPECT_EQ(rowsAfter.size(), 6u) << "the rows are a snapshot";
    ASSERT_EQ(drawings.size(), 3u);
    EXPECT_EQ(drawings[0].background, CLR_DEFAULT) << "a game that left is drawn plain";
    EXPECT_EQ(drawings[1].background, WAITING_ROW_COLOUR);
    EXPECT_EQ(drawings[2].background, CLR_DEFAULT);
}

TEST_F(GameListDialog, DoubleClickOpensTheRowsGameAndKeepsTheDialogOpen)
{
    BrowserLog log;
    setCurrentGames(MIXED);
    shellExecuteCalls.clear();
    std::size_t calls = 0;
    bool openAfterClicks = false;
    run({{dialogWithCaption(GAMES),
          [&](HWND dialog) {
              HWND list = GetDlgItem(dialog, IDC_GAMELIST);
              RECT client;
              GetClientRect(list, &client);
              doubleClick(list, rowCentre(list, 3));  // game 9
              // Below the last row: no game there.
              doubleClick(list, {20, client.bottom - 5});
          }},
         {dialogWithCaption(GAMES), [&](HWND dialog) {
              // Both double-clicks have been handled: the shell was asked once.
              calls = shellExecuteCalls.size();
              log.waitForUrls(1);
              openAfterClicks = IsWindowVisible(dialog) != FALSE;
              clickButton(dialog, IDCANCEL);
          }}});
    EXPECT_EQ(calls, 1u);
    EXPECT_TRUE(openAfterClicks);
    EXPECT_EQ(log.urls(), std::vector<std::string>{ROOT + "jeu.php?id=9"});
}

TEST_F(GameListDialog, ResizingKeepsCloseInTheCornerAndTheListFillsTheRest)
{
    setCurrentGames(MIXED);
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{700, 500}, {420, 260}, {900, 300}};
    struct Seen {
        RECT client, button, list;
    };
    std::vector<Seen> seen;
    RECT firstButton = {};
    run({{dialogWithCaption(GAMES), [&](HWND dialog) {
              firstButton = childRect(dialog, IDCANCEL);
              for (const Size& size : sizes) {
                  SetWindowPos(dialog, nullptr, 0, 0, size.width, size.height,
                               SWP_NOMOVE | SWP_NOZORDER);
                  Seen s;
                  GetClientRect(dialog, &s.client);
                  s.button = childRect(dialog, IDCANCEL);
                  s.list = childRect(dialog, IDC_GAMELIST);
                  seen.push_back(s);
              }
              clickButton(dialog, IDCANCEL);
          }}});
    ASSERT_EQ(seen.size(), 3u);
    const int bw = firstButton.right - firstButton.left, bh = firstButton.bottom - firstButton.top;
    EXPECT_GT(bw, 0);
    // The first layout already put the button in the corner of the opening size.
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const Seen& s = seen[i];
        EXPECT_EQ(s.button.right - s.button.left, bw) << i;
        EXPECT_EQ(s.button.bottom - s.button.top, bh) << i;
        EXPECT_EQ(s.button.right, s.client.right - 4) << i;
        EXPECT_EQ(s.button.bottom, s.client.bottom - 4) << i;
        EXPECT_EQ(s.list.left, 4) << i;
        EXPECT_EQ(s.list.top, 4) << i;
        EXPECT_EQ(s.list.right, s.client.right) << i;
        EXPECT_EQ(s.list.bottom, s.button.top - 4) << i;
    }
    EXPECT_NE(seen[0].client.right, seen[1].client.right);
}

// Each way ends the dialog: the list returns (a dialog left open would hang the test).
TEST_F(GameListDialog, CloseEscapeAndCaptionCloseEachEndTheDialog)
{
    setCurrentGames(MIXED);
    int way = 0;
    for (const auto& close : closingWithoutOk(IDC_GAMELIST)) {
        SCOPED_TRACE(way++);
        run({{dialogWithCaption(GAMES), close}});
    }
}

// The list went behind other windows, or was minimised, and a poll brought a game that
// newly waits. The user asks for the list again: from the icon with either button and
// from the menu. The list, owned by the program's window, comes forward with the games of
// now, the new one first; no second one opens on top of it, and one Escape closes it.
// It shows the program's icons in its caption and for Alt+Tab.
TEST_F(GameListDialog, ASecondRequestBringsTheOpenListForwardWithTheLatestGames)
{
    setCurrentGames(MIXED);
    createHiddenMainWindow("WC_GameListRequests", mainWindowProc);
    std::size_t open = 0;
    bool inFront = false;
    HWND owner = nullptr;
    std::pair<HICON, HICON> icons;
    std::vector<Row> rows;
    runDialog(
        [] {
            SendMessageA(mainWindow, WM_TRAYICON, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
            return INT_PTR{0};
        },
        {{dialogWithCaption(GAMES),
          [&](HWND dialog) {
              owner = GetWindow(dialog, GW_OWNER);
              icons = dialogIcons(dialog);
              ShowWindow(dialog, SW_MINIMIZE);
              setCurrentGames({{"10", false, "Chess", {"ann"}}, {"50", true, "Chess", {"ivy"}}});
              PostMessageA(mainWindow, WM_TRAYICON, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
              PostMessageA(mainWindow, WM_TRAYICON, TRAY_ICON_ID, WM_RBUTTONDBLCLK);
              PostMessageA(mainWindow, WM_COMMAND, ID_SHOWGAMES, 0);
          }},
         {dialogWithCaptionOnceHandled(GAMES, mainWindow), [&](HWND dialog) {
              open = dialogsWithCaption(GAMES).size();
              inFront = !IsIconic(dialog) && GetForegroundWindow() == dialog;
              rows = readRows(GetDlgItem(dialog, IDC_GAMELIST));
              if (open == 1)
                  pressKey(GetDlgItem(dialog, IDC_GAMELIST), VK_ESCAPE);
              else
                  cancelEveryDialog();
          }}});
    EXPECT_EQ(owner, mainWindow);
    EXPECT_EQ(open, 1u);
    EXPECT_EQ(icons, std::make_pair(smallIcon, largeIcon));
    EXPECT_TRUE(inFront) << "restored and in front";
    EXPECT_EQ(rows, (std::vector<Row>{{"50", "Chess", "ivy", 50}, {"10", "Chess", "ann", 10}}));
    EXPECT_TRUE(dialogsWithCaption(GAMES).empty());
    mainWindow = nullptr;  // its procedure would stop the poller and quit if destroyed
}

}  // namespace
