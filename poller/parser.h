// The search page parser: turns the game site's search result page into GameRecords.
//
// No HTML parser is involved. The page is lowered once; fixed marker texts are found in
// the lowered copy with two bounded searches, and each field is cut from the stretch
// between two markers, from the lowered copy (link, game id, player id) or from the
// reply as received (game type, player name). The page nests three kinds of stretch:
// sections (one per game type, after "class=cllisteentete"), game blocks (from one
// "img/ico_encours.gif" to the next) and player entries (from one
// onclick="detailjoueur( to the next).
#pragma once

#include <cstddef>

#include "games/records.h"

// The page's markers as they appear in the lowered copy.
constexpr char pageTitleMarker[] = "recherche de parties";
constexpr char pageTitleMarkerEnglish[] = "games search";
constexpr char sectionMarker[] = "class=cllisteentete";
constexpr char gameTypeMarker[] = "&nbsp;&nbsp;";
constexpr char gameMarker[] = "img/ico_encours.gif";
constexpr char linkMarker[] = "href=";
constexpr char gameIdMarker[] = "?id=";
constexpr char boldMarker[] = "font-weight:bold";
constexpr char boldEndMarker[] = "</span";
constexpr char playerMarker[] = "onclick=\"detailjoueur(";
constexpr char playerNameMarker[] = "<span ";

// A span tag around a player's name longer than this (counted from '<' through '>')
// marks the player as emphasised.
constexpr std::ptrdiff_t plainSpanTagLength = 20;

// The first occurrence of the NUL-terminated needle lying wholly within the first limit
// bytes of text, or null. The start positions are tried in order; a NUL byte at a start
// position reached before a match ends the search with none. An empty needle is found
// at text itself whatever the limit; a limit shorter than the needle finds nothing.
const char* findBounded(const char* text, const char* needle, std::ptrdiff_t limit);

// The first of the first count bytes of text equal to c, or null. NUL bytes are
// ordinary bytes here. A count of 0 or less finds nothing.
const char* findChar(const char* text, char c, std::ptrdiff_t count);

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
