// The parser's own parts; other modules use parser.h.
//
// No HTML parser is involved. The page is lowered once; the marker texts below are found
// in the lowered copy with two bounded searches, and each field is cut from the stretch
// between two markers, from the lowered copy (link, game id, player id) or from the
// reply as received (game type, player name). The page nests three kinds of stretch:
// sections (one per game type, after sectionMarker), game blocks (from one gameMarker to
// the next) and player entries (from one playerMarker to the next).
#pragma once

#include <cstddef>

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
