// The text that the maintainer's tools print of what came from the site.
// turnbell-parse prints a parsed page one record per line, fields separated by a single
// tab, every byte outside 0x20-0x7E (and the backslash) written as \x and two
// lower-case hex digits, so that each line is plain printable ASCII.
#pragma once

#include <cstddef>
#include <string>

#include "games/records.h"

std::string escapeField(const char* bytes, std::size_t length);
std::string escapeField(const std::string& text);

// "user\t<encoded name>\n", then per game "game\t<id>\t<0|1>\t<type>\t<link>\n",
// each followed by its players' "player\t<id>\t<0|1>\t<name>\n".
std::string formatParsedPage(const char* encodedUserName, const GameList& games);
