#include "gamelist/rows.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

int compareGames(const GameRecord& first, const GameRecord& second)
{
    if (first.myTurn != second.myTurn) return first.myTurn ? -1 : 1;
    const std::string& a = first.gameType;
    const std::string& b = second.gameType;
    // memcmp compares unsigned bytes, whatever the signedness of char.
    const int bytes = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (bytes != 0) return bytes < 0 ? -1 : 1;
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return 0;
}

}  // namespace

// Row ids come from gameIdNumber and so fit an int; anything else finds no game.
const GameRecord* gameForRow(const GameList& games, long long id)
{
    if (id < INT_MIN || id > INT_MAX) return nullptr;
    return findGameById(games, static_cast<int>(id));
}

int compareRowIds(const GameList& games, long long id1, long long id2)
{
    const GameRecord* first = gameForRow(games, id1);
    const GameRecord* second = gameForRow(games, id2);
    if (!first || !second) return 0;
    if (int order = compareGames(*first, *second)) return order;
    // Only the sign matters to the sort, and a sign cannot overflow an int.
    return (id1 > id2) - (id1 < id2);
}
