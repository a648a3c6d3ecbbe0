// The game list's row decisions, free of any window: the order of two rows and which
// rows are drawn as waiting. A row carries only its game's numeric id (gameIdNumber);
// every decision looks the game up again in the list it is given.
#pragma once

#include "games/records.h"

// Waiting games first, then by game type (bytes compared unsigned, so upper case sorts
// before lower case, a prefix before the longer text), then by numeric id.
// Negative, zero or positive like strcmp.
int compareGames(const GameRecord& first, const GameRecord& second);

// The order of the rows with ids id1 and id2: 0 when either id finds no game in games,
// otherwise compareGames, and for two games that compare equal the sign of id1 - id2.
int compareRowIds(const GameList& games, long long id1, long long id2);

// The game a row stands for: the first in games whose numeric id is the row's, or
// null. Ids outside the int range (row parameters are pointer-sized) find no game.
const GameRecord* gameForRow(const GameList& games, long long id);

// Whether the row with this id is drawn on the waiting background: its game (the
// first with that id) exists and waits for the user.
bool isWaitingRow(const GameList& games, long long id);

// Where the Close button and the list go in a client area of clientWidth x
// clientHeight pixels: the button keeps its size in the bottom-right corner, 4 pixels
// in; the list starts 4 pixels from the left and top, reaches the right edge and ends
// 4 pixels above the button. Sizes may come out zero or negative in a tiny dialog.
struct Placement { int x, y, width, height; };
struct GameListLayout { Placement button, list; };
GameListLayout gameListLayout(int clientWidth, int clientHeight, int buttonWidth, int buttonHeight);
