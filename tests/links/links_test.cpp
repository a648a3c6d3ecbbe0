#include "app/links.h"

#include <gtest/gtest.h>

namespace {

const WebSite PLAIN_SITE = {"http", "localhost"};
const std::string ROOT = "http://localhost/";

TEST(GameLinkUrl, QuotesGoAndRelativeLinksGetTheSiteRoot)
{
    struct Case {
        const char* link;
        std::string url;
    } cases[] = {
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
    for (const auto& c : cases) EXPECT_EQ(gameLinkUrl(c.link, PLAIN_SITE), c.url) << c.link;
}

TEST(GameLinkUrl, EmptyLinkOpensNothing) { EXPECT_EQ(gameLinkUrl("", PLAIN_SITE), ""); }

TEST(FixedUrls, SiteAndHomepageAddressesTakeTheirScheme)
{
    const WebSite plain = {"http", "games.example"};
    const WebSite secure = {"https", "games.example"};
    const struct {
        std::string built;
        std::string expected;
    } cases[] = {
        {siteRootUrl(plain), "http://games.example/"},
        {siteRootUrl(secure), "https://games.example/"},
        {siteMainPageUrl(plain), "http://games.example/index.php"},
        {siteMainPageUrl(secure), "https://games.example/index.php"},
        {gamesInProgressUrl(plain), "http://games.example/index.php?p=encours"},
        {gamesInProgressUrl(secure), "https://games.example/index.php?p=encours"},
        {homepageUrl({"http", "www.example"}), "http://www.example"},
        {homepageUrl({"https", "www.example"}), "https://www.example"},
        {gameLinkUrl("jeu.php?id=7", plain), "http://games.example/jeu.php?id=7"},
        {gameLinkUrl("jeu.php?id=7", secure), "https://games.example/jeu.php?id=7"},
        // On an HTTPS site its own absolute links stay as they are; on a plain one only
        // "http://" is absolute, as ever.
        {gameLinkUrl("https://games.example/j?id=7", secure), "https://games.example/j?id=7"},
        {gameLinkUrl("https://games.example/j?id=7", plain),
         "http://games.example/https://games.example/j?id=7"},
        {gameLinkUrl("http://old.example/j", secure), "http://old.example/j"},
        // An IPv6 address as the host is bracketed in every address built from it.
        {siteMainPageUrl({"http", "::1"}), "http://[::1]/index.php"},
        {gameLinkUrl("jeu.php?id=7", {"http", "::1"}), "http://[::1]/jeu.php?id=7"},
        {homepageUrl({"http", "::1"}), "http://[::1]"},
        // The tests are built for the built-in test site: plain HTTP on this machine.
        {siteRootUrl(), "http://localhost/"},
        {homepageUrl(), "http://localhost"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.built, c.expected);
}

}  // namespace
