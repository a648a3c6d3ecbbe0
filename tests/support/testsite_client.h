// The test site's control interface (tests/testsite/testsite.py), as the Windows tests reach it:
// over a socket of their own, so that control traffic never goes through the code under
// test. The site is the one tests/testsite/with-testsite.sh started for the test program, named
// in TURNBELL_TESTSITE_HOST and TURNBELL_TESTSITE_PORT.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

const char* siteHost();
INTERNET_PORT sitePort();

// One control exchange with the test site; returns the reply body.
std::string siteControl(const char* method, const char* path, const std::string& body = "");
// Replaces the scenario and forgets the requests so far.
void setScenario(const std::string& json);
int requestCount();
// The last request the site received, exactly as sent, and its body alone.
std::string lastRequest();
std::string lastRequestBody();

// Ann Lee's page (tests/testsite/scenarios/ann-lee.json, which the HTTPS sites serve too):
// three games in two sections. Game 101 waits for her: its bold marker holds the name as
// the request carries it ("Ann+Lee"); 102 waits for Bob, and 203, of another type, has no
// players.
const std::string& threeGamesScenario();

// A loopback port that nothing listens on.
INTERNET_PORT closedPort();
