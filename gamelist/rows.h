// The game list's row decisions, free of any window. A row carries only its game's
// numeric id (gameIdNumber); every decision looks the game up again in the list it is
// given, so it follows whatever the last poll delivered.
#pragma once

#include "games/records.h"

// The game a row stands for: the first in games whose numeric id is the row's, or
// null. Ids outside the int range (row parameters are pointer-sized) find no game.
const GameRecord* gameForRow(const GameList& games, long long id);

// The order of the rows with ids id1 and id2, negative, zero or positive like strcmp:
// 0 when either id finds no game; otherwise waiting games first, then by game type
// (bytes compared unsigned, so upper case sorts before lower case and a prefix before
// the longer text), then by numeric id.
int compareRowIds(const GameList& games, long long id1, long long id2);
