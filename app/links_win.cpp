// The shell side of the site links: each URL goes to whatever browser the shell
// associates with it, and is forgotten. Failures leave no trace.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/links.h"
#include "games/records.h"

namespace {

// The fixed addresses use the "open" verb, a game link the default verb.
void shellOpen(const char* verb, const std::string& url)
{
    ShellExecuteA(nullptr, verb, url.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

}  // namespace

void openGameLink(const std::string& link)
{
    const std::string url = gameLinkUrl(link);
    if (url.empty()) return;
    // The shell may hand the URL to a COM server. The apartment is entered once per
    // call and never left: the UI thread stays single-threaded for its whole life.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    shellOpen(nullptr, url);
}

void playNow()
{
    for (const auto& game : currentGames) {
        if (game->myTurn) {
            openGameLink(game->link);
            return;
        }
    }
    if (currentGames.empty())
        shellOpen("open", gamesInProgressUrl());
    else
        openGameLink(currentGames.front()->link);
}

void openSiteMainPage() { shellOpen("open", siteMainPageUrl()); }
void openHomepage() { shellOpen("open", homepageUrl()); }
