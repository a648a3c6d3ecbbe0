#include "gamelist/rows.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::unique_ptr<GameRecord> game(const char* id, const char* type, bool myTurn)
{
    return makeGameRecord("x", 1, type, id, id + std::strlen(id), myTurn);
}

int sign(int value) { return (value > 0) - (value < 0); }

TEST(CompareRowIds, WaitingFirstThenTypeBytes)
{
    // Game 1 of the first type against game 2 of the second: an equal pair falls back to
    // the ids, so 1 before 2.
    struct Case {
        const char* typeA;
        bool turnA;
        const char* typeB;
        bool turnB;
        int order;
    } cases[] = {
        {"Zebra", true, "Abc", false, -1},
        {"Abc", false, "Zebra", true, 1},
        {"Abc", true, "Abc", true, -1},
        {"Chess", false, "chess", false, -1},  // upper case before lower case
        {"chess", false, "Chess", false, 1},
        {"Go", false, "Gomoku", false, -1},  // a prefix first
        {"Gomoku", false, "Go", false, 1},
        {"", false, "A", false, -1},
        {"\xe9t\xe9", false, "zoo", false, 1},  // bytes above 0x7f are unsigned
        {"zoo", false, "\xe9t\xe9", false, -1},
        {"Same", false, "Same", false, -1},
    };
    for (const auto& c : cases) {
        GameList games;
        games.push_back(game("1", c.typeA, c.turnA));
        games.push_back(game("2", c.typeB, c.turnB));
        EXPECT_EQ(sign(compareRowIds(games, 1, 2)), c.order) << c.typeA << " / " << c.typeB;
    }
}

TEST(CompareRowIds, LooksBothGamesUpAndBreaksTiesByNumericId)
{
    GameList games;
    games.push_back(game("10", "Chess", false));
    games.push_back(game("9", "Chess", false));
    games.push_back(game("", "Chess", false));
    games.push_back(game("5", "Abc", true));
    games.push_back(game("2147483647", "Chess", false));
    struct Case {
        long long id1, id2;
        int order;
    } cases[] = {
        {9, 10, -1},         {10, 9, 1},           {10, 10, 0},
        {0, 9, -1},          {5, 0, -1},            // waiting beats a smaller id
        {0, 5, 1},           {2147483647, 0, 1},    // no overflow at the ends of the id range
        {0, 2147483647, -1}, {77, 9, 0},            // a game that has gone compares equal
        {9, 77, 0},          {4294967305LL, 9, 0},  // beyond int: no game (not 9 by truncation)
    };
    for (const auto& c : cases)
        EXPECT_EQ(sign(compareRowIds(games, c.id1, c.id2)), c.order) << c.id1 << " vs " << c.id2;
}

// Which game an id finds is findGameById's (records_test); a row adds the int range.
TEST(GameForRow, FindsTheGameByIdAndNoneBeyondInt)
{
    GameList games;
    games.push_back(game("3", "A", false));
    games.push_back(game("8", "A", true));
    EXPECT_EQ(gameForRow(games, 8), games[1].get());
    EXPECT_EQ(gameForRow(games, 4294967304LL), nullptr) << "beyond int, not 8 by truncation";
}

}  // namespace
