// Where an HTTPS site's redirect sends the search: only ever to another https://
// address, read against the address that answered as a browser reads it.
#include "poller/redirect.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SecureRedirect, FollowsOnlyHttpsAddressesReadAgainstTheAnsweringOne)
{
    const SiteAddress from = {"games.example.org", 443, "/a/index.php?p=recherche"};
    const struct {
        const char* location;
        RedirectTarget target;
        const char* url;  // where a followed redirect goes
    } cases[] = {
        {"https://b.example.org:8443/x/index.php?p=recherche", RedirectTarget::Follow,
         "https://b.example.org:8443/x/index.php?p=recherche"},
        {"HTTPS://b.example.org/y", RedirectTarget::Follow, "https://b.example.org/y"},
        {"https://b.example.org", RedirectTarget::Follow, "https://b.example.org/"},
        {"https://b.example.org?p=recherche", RedirectTarget::Follow,
         "https://b.example.org/?p=recherche"},
        {"https://b.example.org:/y#top", RedirectTarget::Follow, "https://b.example.org/y"},
        {"https://ann@b.example.org/y", RedirectTarget::Follow, "https://b.example.org/y"},
        {"https://[::1]:8443/y", RedirectTarget::Follow, "https://[::1]:8443/y"},
        {"//c.example.org/z", RedirectTarget::Follow, "https://c.example.org/z"},
        {"/moved/index.php?p=recherche", RedirectTarget::Follow,
         "https://games.example.org/moved/index.php?p=recherche"},
        {"moved.php?p=recherche", RedirectTarget::Follow,
         "https://games.example.org/a/moved.php?p=recherche"},
        {"?p=ailleurs", RedirectTarget::Follow, "https://games.example.org/a/index.php?p=ailleurs"},
        {"  https://b.example.org/y \t", RedirectTarget::Follow, "https://b.example.org/y"},
        {"http://games.example.org/index.php?p=recherche", RedirectTarget::NotHttps, ""},
        {"HTTP://games.example.org/", RedirectTarget::NotHttps, ""},
        {"ftp://games.example.org/", RedirectTarget::NotHttps, ""},
        {"javascript:alert(1)", RedirectTarget::NotHttps, ""},
        {"games.example.org:8080/x", RedirectTarget::NotHttps, ""},
        {"", RedirectTarget::Unusable, ""},
        {"https://", RedirectTarget::Unusable, ""},
        {"https:/x", RedirectTarget::Unusable, ""},
        {"https://b.example.org:99999/", RedirectTarget::Unusable, ""},
        {"https://b.example.org:0/", RedirectTarget::Unusable, ""},
        {"https://b.example.org:44a/", RedirectTarget::Unusable, ""},
        {"https://[::1/x", RedirectTarget::Unusable, ""},
    };
    for (const auto& c : cases) {
        SiteAddress to = {"unchanged", 1, "/unchanged"};
        EXPECT_EQ(resolveSecureRedirect(from, c.location, to), c.target) << c.location;
        if (c.target == RedirectTarget::Follow) {
            EXPECT_EQ(secureUrl(to), c.url) << c.location;
        } else {
            EXPECT_EQ(secureUrl(to), "https://unchanged:1/unchanged") << c.location;
        }
    }
}

}  // namespace
