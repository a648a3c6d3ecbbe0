#include "app/links.h"

#include <cstring>

#include "poller/redirect.h"

namespace {

bool startsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

// An IPv6 address as the host goes in brackets, as in every URL.
std::string siteRootUrl(const WebSite& site)
{
    return std::string(site.scheme) + "://" + bracketedHost(site.host) + "/";
}
std::string siteMainPageUrl(const WebSite& site) { return siteRootUrl(site) + "index.php"; }
std::string gamesInProgressUrl(const WebSite& site)
{
    return siteRootUrl(site) + "index.php?p=encours";
}
std::string homepageUrl(const WebSite& homepage)
{
    return std::string(homepage.scheme) + "://" + bracketedHost(homepage.host);
}

std::string gameLinkUrl(const std::string& link, const WebSite& site)
{
    if (link.empty()) return std::string();
    std::string url = link;
    // The parser keeps the quotes of a quoted attribute value; one at each end goes.
    if (url.front() == '"') url.erase(0, 1);
    if (!url.empty() && url.back() == '"') url.pop_back();
    // Site links are relative. Only a leading "http://" marks an absolute link (and
    // "https://" on a site that speaks HTTPS); the prefix is plain concatenation, so
    // "/x" gives a double slash after the host.
    const bool absolute = startsWith(url, "http://") ||
                          (std::strcmp(site.scheme, "https") == 0 && startsWith(url, "https://"));
    if (!absolute) url.insert(0, siteRootUrl(site));
    return url;
}
