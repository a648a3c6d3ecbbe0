// Every way out of the program into the web browser: one game's page, "Play now" and
// the three fixed addresses. The URLs are built by pure functions (links.cpp); the
// openers hand them to the shell (links_win.cpp).
#pragma once

#include <string>

// The URL a game link opens: surrounding double quotes dropped (one at each end at
// most), and anything that does not start with "http://" put after the site root
// "http://<site host>/" by plain concatenation. Empty when the link itself is empty,
// which opens nothing.
std::string gameLinkUrl(const std::string& link);

// The fixed addresses.
std::string siteRootUrl();         // http://<site host>/
std::string siteMainPageUrl();     // http://<site host>/index.php
std::string gamesInProgressUrl();  // http://<site host>/index.php?p=encours
std::string homepageUrl();         // http://<homepage host>, no path

// Openers (UI thread). The browser is whatever the shell associates with http URLs.
void openGameLink(const std::string& link);
// The first game of currentGames that waits for the user, else the first game of all,
// else the games-in-progress page.
void playNow();
void openSiteMainPage();
void openHomepage();
