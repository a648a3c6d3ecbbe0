// The openers hand their URLs to the shell: each ShellExecuteA call is recorded on its
// way (tests/support/shell_execute_recorder.h), and a logging browser command shows what
// reached the browser (tests/support/browser_log.h).
#include "app/links.h"
#include "games/records.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/browser_log.h"
#include "tests/support/game_lists.h"
#include "tests/support/shell_execute_recorder.h"

namespace {

// The tests are built for the built-in test site: plain HTTP on this machine.
const std::string ROOT = "http://localhost/";

class LinksTest : public ::testing::Test {
protected:
    void TearDown() override { clearGameList(currentGames); }

    // One ShellExecuteA call with the verb (null for the default one) and the URL, no
    // owner, parameters or directory, maximised; and the browser started with the URL
    // as the shell hands it on. Each opening starts its own browser process; waiting for
    // each in turn keeps the log in the order of the calls.
    void expectOpens(const std::function<void()>& open, const char* verb, const std::string& url,
                     const std::string& browserUrl = "")
    {
        const std::size_t before = log.urls().size();
        shellExecuteCalls.clear();
        open();
        ASSERT_EQ(shellExecuteCalls.size(), 1u) << url;
        const ShellExecuteCall& call = shellExecuteCalls[0];
        EXPECT_EQ(call.window, nullptr) << url;
        EXPECT_EQ(call.verb, verb ? std::optional<std::string>(verb) : std::nullopt) << url;
        EXPECT_EQ(call.file, url);
        EXPECT_EQ(call.parameters, std::nullopt) << url;
        EXPECT_EQ(call.directory, std::nullopt) << url;
        EXPECT_EQ(call.show, 3) << url << ": SW_SHOWMAXIMIZED";
        const auto urls = log.waitForUrls(before + 1);
        ASSERT_EQ(urls.size(), before + 1) << "the browser was not started for " << url;
        EXPECT_EQ(urls.back(), browserUrl.empty() ? url : browserUrl);
    }

    BrowserLog log;
};

TEST_F(LinksTest, FixedAddressesOpenInTheBrowser)
{
    expectOpens(openSiteMainPage, "open", "http://localhost/index.php");
    // The shell hands the bare host on as a URL with its root path.
    expectOpens(openHomepage, "open", "http://localhost", "http://localhost/");
}

TEST_F(LinksTest, GameLinkOpensWithoutQuotesUnderTheSiteRoot)
{
    expectOpens([] { openGameLink("\"jeu.php?id=77\""); }, nullptr, ROOT + "jeu.php?id=77");
    // An empty link hands nothing to the shell.
    shellExecuteCalls.clear();
    openGameLink("");
    EXPECT_TRUE(shellExecuteCalls.empty());
    expectOpens([] { openGameLink("jeu.php?id=5"); }, nullptr, ROOT + "jeu.php?id=5");
}

TEST_F(LinksTest, PlayNowPrefersTheFirstWaitingGame)
{
    setCurrentGames({{"1", false}, {"2", true}, {"3", true}});
    expectOpens(playNow, nullptr, ROOT + "jeu.php?id=2");
    setCurrentGames({{"4", false}, {"5", false}});
    expectOpens(playNow, nullptr, ROOT + "jeu.php?id=4");
    setCurrentGames({});
    expectOpens(playNow, "open", ROOT + "index.php?p=encours");
}

}  // namespace
