#include "app/links.h"

#include <gtest/gtest.h>

#include "site_config.h"

namespace {

const std::string ROOT = std::string("http://") + TURNBELL_SITE_HOST + "/";

TEST(GameLinkUrl, QuotesGoAndRelativeLinksGetTheSiteRoot) {
    struct Case { const char* link; std::string url; } cases[] = {
        {"jeu.php?id=12", ROOT + "jeu.php?id=12"},
        {"\"jeu.php?id=12\"", ROOT + "jeu.php?id=12"},
        {"\"jeu.php?id=12", ROOT + "jeu.php?id=12"},
        {"jeu.php?id=12\"", ROOT + "jeu.php?id=12"},
        // Only one quote goes at each end.
        {"\"\"a\"\"", ROOT + "\"a\""},
        // A lone quote is empty after the first strip and opens the site root.
        {"\"", ROOT},
        {"\"\"", ROOT},
        {"http://elsewhere.example/x", "http://elsewhere.example/x"},
        {"\"http://elsewhere.example/x\"", "http://elsewhere.example/x"},
        // Anything else is prefixed: another scheme, upper case, "http://" later on,
        // a leading slash (which gives a double slash).
        {"https://a.example/", ROOT + "https://a.example/"},
        {"HTTP://a.example/", ROOT + "HTTP://a.example/"},
        {"x?u=http://a.example/", ROOT + "x?u=http://a.example/"},
        {"/index.php", ROOT + "/index.php"},
        {"http:/", ROOT + "http:/"},
    };
    for (const auto& c : cases) EXPECT_EQ(gameLinkUrl(c.link), c.url) << c.link;
}

TEST(GameLinkUrl, EmptyLinkOpensNothing) { EXPECT_EQ(gameLinkUrl(""), ""); }

TEST(FixedUrls, SiteAndHomepageAddresses) {
    EXPECT_EQ(siteRootUrl(), ROOT);
    EXPECT_EQ(siteMainPageUrl(), ROOT + "index.php");
    EXPECT_EQ(gamesInProgressUrl(), ROOT + "index.php?p=encours");
    EXPECT_EQ(homepageUrl(), std::string("http://") + TURNBELL_HOMEPAGE_HOST);
}

GameList gamesWithTurns(std::initializer_list<bool> turns) {
    GameList games;
    int n = 0;
    for (bool turn : turns) {
        const std::string link = "jeu.php?id=" + std::to_string(++n);
        games.push_back(makeGameRecord(link.data(), link.size(), "T", nullptr, nullptr, turn));
    }
    return games;
}

TEST(PlayNowGame, FirstWaitingGameElseFirstGameElseNone) {
    struct Case { std::initializer_list<bool> turns; int chosen; } cases[] = {
        {{false, true, true}, 1},
        {{true, false}, 0},
        {{false, false, false}, 0},
        {{false}, 0},
        {{false, false, true}, 2},
        {{}, -1},
    };
    for (const auto& c : cases) {
        GameList games = gamesWithTurns(c.turns);
        const GameRecord* expected = c.chosen < 0 ? nullptr : games[c.chosen].get();
        EXPECT_EQ(playNowGame(games), expected) << "expected game " << c.chosen;
    }
}

}  // namespace
