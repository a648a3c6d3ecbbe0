#include "app/links.h"

#include "site_config.h"

namespace {

const char HTTP_PREFIX[] = "http://";
constexpr std::size_t HTTP_PREFIX_LENGTH = sizeof HTTP_PREFIX - 1;

}  // namespace

std::string siteRootUrl() { return std::string(HTTP_PREFIX) + TURNBELL_SITE_HOST + "/"; }
std::string siteMainPageUrl() { return siteRootUrl() + "index.php"; }
std::string gamesInProgressUrl() { return siteRootUrl() + "index.php?p=encours"; }
std::string homepageUrl() { return std::string(HTTP_PREFIX) + TURNBELL_HOMEPAGE_HOST; }

std::string gameLinkUrl(const std::string& link)
{
    if (link.empty()) return std::string();
    std::string url = link;
    // The parser keeps the quotes of a quoted attribute value; one at each end goes.
    if (url.front() == '"') url.erase(0, 1);
    if (!url.empty() && url.back() == '"') url.pop_back();
    // Site links are relative. Only a leading "http://" marks an absolute link; the
    // prefix is plain concatenation, so "/x" gives a double slash after the host.
    if (url.compare(0, HTTP_PREFIX_LENGTH, HTTP_PREFIX) != 0) url.insert(0, siteRootUrl());
    return url;
}
