#include "games/records.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

std::unique_ptr<GameRecord> gameWithId(const char* linkWithId, bool myTurn = false)
{
    const char* id = std::strstr(linkWithId, "?id=");
    return makeGameRecord(linkWithId, std::strlen(linkWithId), "Chess", id ? id + 4 : nullptr,
                          linkWithId + std::strlen(linkWithId), myTurn);
}

std::unique_ptr<GameRecord> gameWithPlayers(std::vector<std::string> names)
{
    auto game = gameWithId("x");
    for (auto& name : names) game->players.push_back(makePlayerRecord(name, "id", false));
    return game;
}

TEST(GameRecord, IdIsTheDigitRunAfterTheIdMarker)
{
    struct Case {
        const char* link;
        const char* id;
    } cases[] = {
        {"jeu.php?id=1234x5", "1234"}, {"jeu.php?id=42", "42"}, {"jeu.php?id=x12", ""},
        {"jeu.php?id=", ""},           {"jeu.php", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(gameWithId(c.link)->gameId, c.id) << c.link;
}

TEST(GameRecord, IdStopsAtTheGivenEndEvenAmongDigits)
{
    const char text[] = "?id=123456";
    auto game = makeGameRecord(text, 6, "T", text + 4, text + 6, false);
    EXPECT_EQ(game->link, "?id=12");
    EXPECT_EQ(game->gameId, "12");
}

TEST(GameRecord, NewRecordHasNoPlayersAndIsNotNotified)
{
    for (bool myTurn : {false, true}) {
        auto game = gameWithId("a?id=1", myTurn);
        EXPECT_TRUE(game->players.empty());
        EXPECT_FALSE(game->notified);
        EXPECT_EQ(game->myTurn, myTurn);
        EXPECT_EQ(game->gameType, "Chess");
    }
}

TEST(GameRecord, DeepCopySurvivesItsSource)
{
    auto source = gameWithPlayers({"ann", "bob", "cid"});
    source->players[1]->emphasised = true;
    source->myTurn = true;
    source->notified = true;
    auto copy = copyGameRecord(*source);
    const PlayerRecord* firstSourcePlayer = source->players[0].get();
    source.reset();
    ASSERT_EQ(copy->players.size(), 3u);
    EXPECT_NE(copy->players[0].get(), firstSourcePlayer);
    EXPECT_EQ(copy->players[0]->name, "ann");
    EXPECT_EQ(copy->players[2]->name, "cid");
    EXPECT_TRUE(copy->players[1]->emphasised);
    EXPECT_TRUE(copy->myTurn);
    EXPECT_TRUE(copy->notified);
    EXPECT_EQ(copy->link, "x");
}

TEST(GameRecord, JoinPlayerNames)
{
    struct Case {
        std::vector<std::string> names;
        const char* joined;
    } cases[] = {
        {{}, ""},
        {{"ann"}, "ann"},
        {{"ann", "bob", "cid"}, "ann, bob, cid"},
        {{"", "bob"}, "bob"},  // no separator while the text is still empty
        {{"ann", "", "cid"}, "ann, , cid"},
    };
    for (const auto& c : cases) EXPECT_EQ(joinPlayerNames(*gameWithPlayers(c.names)), c.joined);
}

TEST(GameRecord, NumericIdReadsLikeASignedInteger)
{
    EXPECT_EQ(gameIdNumber(""), 0);
    EXPECT_EQ(gameIdNumber("000"), 0);
    EXPECT_EQ(gameIdNumber("0042"), 42);
    EXPECT_EQ(gameIdNumber("2147483647"), INT_MAX);
    EXPECT_EQ(gameIdNumber("2147483648"), INT_MAX);
    EXPECT_EQ(gameIdNumber("99999999999999999999999"), INT_MAX);
}

class CurrentGames : public ::testing::Test {
protected:
    void TearDown() override { clearGameList(currentGames); }
};

TEST_F(CurrentGames, FindGameByIdTakesTheFirstMatch)
{
    EXPECT_EQ(findGameById(currentGames, 7), nullptr);
    currentGames.push_back(gameWithId("a?id=7"));
    currentGames.push_back(gameWithId("b?id=007"));
    currentGames.push_back(gameWithId("c"));
    currentGames.push_back(gameWithId("d?id=000"));
    currentGames.push_back(gameWithId("e?id=3", false));
    currentGames.push_back(gameWithId("f?id=3", true));  // waiting, but not the first
    currentGames.push_back(gameWithId("g?id=8", true));
    const struct {
        int id;
        const char* link;  // of the game found, null for none
    } cases[] = {
        {7, "a?id=7"}, {0, "c"}, {3, "e?id=3"}, {8, "g?id=8"}, {4, nullptr},
    };
    for (const auto& c : cases) {
        const GameRecord* found = findGameById(currentGames, c.id);
        if (!c.link) {
            EXPECT_EQ(found, nullptr) << c.id;
            continue;
        }
        ASSERT_NE(found, nullptr) << c.id;
        EXPECT_EQ(found->link, c.link) << c.id;
    }
}

TEST_F(CurrentGames, ClearDestroysEveryRecord)
{
    currentGames.push_back(gameWithPlayers({"ann", "bob"}));
    currentGames.push_back(gameWithPlayers({"cid"}));
    clearGameList(currentGames);
    EXPECT_TRUE(currentGames.empty());
    EXPECT_EQ(findGameById(currentGames, 0), nullptr);
}

}  // namespace
