// The search page parser: turns the game site's search result page into GameRecords.
#pragma once

#include "games/records.h"

// How far a parse got, for telling why a page gave no game.
struct ParseReport {
    bool searchPage = false;  // a title marker was found: it is the search result page
    int sections = 0;         // game sections whose game type was read
    int games = 0;            // games appended
};

// Parses one reply of length bytes (raw, not NUL-terminated, any byte values) and
// appends a GameRecord per game found to out, in page order. userName is the
// form-encoded user name; a game is the user's turn when the name (in any letter case)
// stands in the game's bold marker. Nothing outside [reply, reply + length) is read.
// A page that is not the search result page, or a working copy that cannot be
// allocated, appends nothing. Stops early, keeping what it has, when pollerRunning is
// cleared. When report is given, it says how far the parse got.
void parseSearchPage(const char* reply, int length, GameList& out, const char* userName,
                     ParseReport* report = nullptr);
