#include "app/links.h"

#include <gtest/gtest.h>

#include "site_config.h"

namespace {

const std::string ROOT = std::string("http://") + TURNBELL_SITE_HOST + "/";

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
    for (const auto& c : cases) EXPECT_EQ(gameLinkUrl(c.link), c.url) << c.link;
}

TEST(GameLinkUrl, EmptyLinkOpensNothing) { EXPECT_EQ(gameLinkUrl(""), ""); }

TEST(FixedUrls, SiteAndHomepageAddresses)
{
    EXPECT_EQ(siteRootUrl(), ROOT);
    EXPECT_EQ(siteMainPageUrl(), ROOT + "index.php");
    EXPECT_EQ(gamesInProgressUrl(), ROOT + "index.php?p=encours");
    EXPECT_EQ(homepageUrl(), std::string("http://") + TURNBELL_HOMEPAGE_HOST);
}

}  // namespace
