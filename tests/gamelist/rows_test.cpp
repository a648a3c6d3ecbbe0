#include "gamelist/rows.h"

#include <gtest/gtest.h>

#include "tests/support/game_lists.h"

namespace {

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
        const GameList games = gameList({{"1", c.turnA, c.typeA}, {"2", c.turnB, c.typeB}});
        EXPECT_EQ(sign(compareRowIds(games, 1, 2)), c.order) << c.typeA << " / " << c.typeB;
    }
}

TEST(CompareRowIds, LooksBothGamesUpAndBreaksTiesByNumericId)
{
    const GameList games = gameList(
        {{"10", false}, {"9", false}, {"", false}, {"5", true, "Abc"}, {"2147483647", false}});
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
    const GameList games = gameList({{"3", false}, {"8", true}});
    EXPECT_EQ(gameForRow(games, 8), games[1].get());
    EXPECT_EQ(gameForRow(games, 4294967304LL), nullptr) << "beyond int, not 8 by truncation";
}

}  // namespace
