// The openers hand their URLs to the shell; a logging browser command shows what
// arrived (tests/links/browser_log.h).
#include "app/links.h"
#include "games/records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "site_config.h"
#include "tests/support/browser_log.h"

namespace {

const std::string ROOT = std::string("http://") + TURNBELL_SITE_HOST + "/";

void setCurrentGames(std::initializer_list<std::pair<const char*, bool>> games)
{
    clearGameList(currentGames);
    for (const auto& game : games)
        currentGames.push_back(makeGameRecord(game.first, std::strlen(game.first), "T", nullptr,
                                              nullptr, game.second));
}

class LinksTest : public ::testing::Test {
protected:
    void TearDown() override { clearGameList(currentGames); }

    // Each opening starts its own browser process; waiting for each in turn keeps
    // the log in the order of the calls.
    void expectOpens(const std::function<void()>& open, const std::string& url)
    {
        const std::size_t before = log.urls().size();
        open();
        const auto urls = log.waitForUrls(before + 1);
        ASSERT_EQ(urls.size(), before + 1) << "the browser was not started for " << url;
        EXPECT_EQ(urls.back(), url);
    }

    BrowserLog log;
};

TEST_F(LinksTest, FixedAddressesOpenInTheBrowser)
{
    expectOpens(openSiteMainPage, ROOT + "index.php");
    // The shell hands the bare host on as a URL with its root path.
    expectOpens(openHomepage, std::string("http://") + TURNBELL_HOMEPAGE_HOST + "/");
}

TEST_F(LinksTest, GameLinkOpensWithoutQuotesUnderTheSiteRoot)
{
    expectOpens([] { openGameLink("\"jeu.php?id=77\""); }, ROOT + "jeu.php?id=77");
    // An empty link starts nothing: the next opening is the only new entry.
    expectOpens(
        [] {
            openGameLink("");
            openGameLink("jeu.php?id=5");
        },
        ROOT + "jeu.php?id=5");
}

TEST_F(LinksTest, PlayNowPrefersTheFirstWaitingGame)
{
    setCurrentGames({{"jeu.php?id=1", false}, {"jeu.php?id=2", true}, {"jeu.php?id=3", true}});
    expectOpens(playNow, ROOT + "jeu.php?id=2");
    setCurrentGames({{"jeu.php?id=4", false}, {"jeu.php?id=5", false}});
    expectOpens(playNow, ROOT + "jeu.php?id=4");
    setCurrentGames({});
    expectOpens(playNow, ROOT + "index.php?p=encours");
}

}  // namespace
