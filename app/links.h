// Every way out of the program into the web browser: one game's page, "Play now" and
// the three fixed addresses. The URLs are built by pure functions (links.cpp); the
// openers hand them to the shell (links_win.cpp).
#pragma once

#include <string>

#include "site_config.h"

// A web site as the program addresses it: its scheme ("http" or "https") and host (a
// name, or an IPv6 address without brackets, which every URL built here brackets).
struct WebSite {
    const char* scheme;
    const char* host;
};
// The game site and the maker's homepage, as built in.
constexpr WebSite GAME_SITE = {TURNBELL_SITE_SCHEME, TURNBELL_SITE_HOST};
constexpr WebSite HOMEPAGE = {TURNBELL_HOMEPAGE_SCHEME, TURNBELL_HOMEPAGE_HOST};

// The URL a game link opens: surrounding double quotes dropped (one at each end at
// most), and anything that is not already absolute put after the site root
// "<scheme>://<site host>/" by plain concatenation. Absolute is a link that starts
// with "http://", or with "https://" on a site reached over HTTPS. Empty when the link
// itself is empty, which opens nothing.
std::string gameLinkUrl(const std::string& link, const WebSite& site = GAME_SITE);

// The fixed addresses.
std::string siteRootUrl(const WebSite& site = GAME_SITE);         // <scheme>://<host>/
std::string siteMainPageUrl(const WebSite& site = GAME_SITE);     // ...index.php
std::string gamesInProgressUrl(const WebSite& site = GAME_SITE);  // ...index.php?p=encours
std::string homepageUrl(const WebSite& homepage = HOMEPAGE);      // <scheme>://<host>, no path

// Openers (UI thread). The browser is whatever the shell associates with the URL.
void openGameLink(const std::string& link);
// The first game of currentGames that waits for the user, else the first game of all,
// else the games-in-progress page.
void playNow();
void openSiteMainPage();
void openHomepage();
