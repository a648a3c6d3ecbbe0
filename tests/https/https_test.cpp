// The search request over HTTPS against test sites that differ only in their
// certificate or in where they send the search on (tests/https/with-tls-sites.sh): only
// the trusted certificate made out for the site, and a redirect to another such site,
// give the page; every other one, and a redirect to plain HTTP, fails the poll, which
// then changes nothing, and turnbell-check says in its own words what is wrong. The
// plain site sends the search back on to the trusted HTTPS site, so that a client that
// went there would still end with the games: nothing may ever reach it. One more site,
// with the trusted certificate, is scripted by each test that needs other answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "poller/poller.h"
#include "poller/poller_internal.h"
#include "poller/running.h"
#include "tests/poller/poller_test_support.h"
#include "settings/settings_win.h"
#include "tests/support/import_slot.h"
#include "tests/support/run_program.h"

namespace {

// Set, the next request sent goes out with a stop: through the import slot of
// HttpSendRequestA (defined at the end: this file is compiled into the test program, so
// the linker takes it before wininet's), the stop lands while that request is on its way.
bool stopWithTheNextSend = false;

using SendRequest = BOOL(WINAPI*)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD);

BOOL WINAPI sendWithStop(HINTERNET request, LPCSTR headers, DWORD length, LPVOID body, DWORD size)
{
    static const auto wininet = systemFunction<SendRequest>("wininet.dll", "HttpSendRequestA");
    if (stopWithTheNextSend) pollerRunning = stopWithTheNextSend = false;
    return wininet(request, headers, length, body, size);
}

INTERNET_PORT portOf(const char* variable)
{
    const char* port = std::getenv(variable);
    return port ? static_cast<INTERNET_PORT>(std::atoi(port)) : 0;
}

// The certificates name "localhost": Wine does not match an address against them.
SearchSite secureSite(const char* variable)
{
    return {"localhost", portOf(variable), true, {5000, 5000, 5000}};
}

// One control exchange with the scripted site: its control interface speaks HTTPS too,
// so it goes through WinINet, which trusts the test CA here.
std::string scriptedSiteControl(const char* method, const char* path, const std::string& body = "")
{
    static const HINTERNET session =
        InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(session, "localhost", portOf("TURNBELL_TLS_SCRIPTED"),
                                            nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestA(
        connection, method, path, nullptr, nullptr, nullptr,
        INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    std::string reply;
    if (HttpSendRequestA(request, nullptr, 0, const_cast<char*>(body.data()),
                         static_cast<DWORD>(body.size()))) {
        char chunk[4096];
        DWORD read = 0;
        while (InternetReadFile(request, chunk, sizeof chunk, &read) && read > 0) {
            reply.append(chunk, read);
        }
    } else {
        ADD_FAILURE() << "the scripted HTTPS site cannot be reached: error " << GetLastError();
    }
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    return reply;
}

// A 307 from the scripted site, for every search, to location.
std::string redirectTo(const std::string& location)
{
    return R"({"default": {"status": 307, "headers": [["Location", ")" + location + R"("]]}})";
}

class Https : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        preparePollCycles();
        ASSERT_NE(portOf("TURNBELL_TLS_TRUSTED"), 0) << "run under tests/https/with-tls-sites.sh";
        setScenario(R"({"default": {"status": 307, "headers": [["Location", "https://localhost:)" +
                    std::to_string(portOf("TURNBELL_TLS_TRUSTED")) +
                    R"(/index.php?p=recherche"]]}})");
    }
    void TearDown() override { EXPECT_EQ(requestCount(), 0) << "a request reached plain HTTP"; }
};

TEST_F(Https, OnlyATrustedCertificateForTheSiteGivesThePage)
{
    const std::string trusted = std::to_string(portOf("TURNBELL_TLS_TRUSTED"));
    const std::string scripted = std::to_string(portOf("TURNBELL_TLS_SCRIPTED"));
    const std::string search = "/index.php?p=recherche";
    const struct {
        const char* what;
        const char* site;
        std::vector<DWORD> errors;  // what WinINet may answer
        DWORD checkExit;
        std::string checkLine;
        std::string scenario = "";  // the scripted site's
    } cases[] = {
        {"trusted", "TURNBELL_TLS_TRUSTED", {0}, 0, "  101  Ploc  Ann Lee, Bob  your turn"},
        // Wine answers 12057 (revocation) for an incomplete chain: "" is the code's own line.
        {"from an untrusted CA",
         "TURNBELL_TLS_UNTRUSTED",
         {ERROR_INTERNET_SEC_CERT_REV_FAILED, ERROR_INTERNET_INVALID_CA},
         3,
         ""},
        {"for another host",
         "TURNBELL_TLS_WRONGHOST",
         {ERROR_INTERNET_SEC_CERT_CN_INVALID},
         3,
         "the site's certificate is made out for another host name than localhost"},
        {"expired",
         "TURNBELL_TLS_EXPIRED",
         {ERROR_INTERNET_SEC_CERT_DATE_INVALID},
         3,
         "the site's certificate has expired"},
        {"sent on to plain HTTP",
         "TURNBELL_TLS_TO_HTTP",
         {ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
         8,
         "no game found: the site sent the request on to http://localhost:" +
             std::to_string(portOf("TURNBELL_TESTSITE_PORT")) +
             "/index.php?p=recherche, which is not HTTPS: refused"},
        // The trusted site lists the games only for a search that kept its form.
        {"sent on to another HTTPS address",
         "TURNBELL_TLS_TO_HTTPS",
         {0},
         0,
         "the site sent the request on to https://localhost:" + trusted + search +
             "\r\nthe site answered: HTTP 200"},
        // A failure after a redirect names the host where it happened.
        {"sent on to a host that does not exist",
         "TURNBELL_TLS_SCRIPTED",
         {ERROR_INTERNET_NAME_NOT_RESOLVED},
         3,
         "the site sent the request on to https://no-such-host.invalid" + search +
             "\r\nno game found: the site could not be reached: the host name "
             "no-such-host.invalid is unknown",
         redirectTo("https://no-such-host.invalid" + search)},
        {"sent on to an address that the certificate does not name",
         "TURNBELL_TLS_SCRIPTED",
         {ERROR_INTERNET_SEC_CERT_CN_INVALID},
         3,
         "the site's certificate is made out for another host name than 127.0.0.1",
         redirectTo("https://127.0.0.1:" + trusted + search)},
        {"sent on a sixth time",
         "TURNBELL_TLS_SCRIPTED",
         {0},
         4,
         "the site sent the request on to https://localhost:" + scripted + search +
             "\r\nthe site answered: HTTP 307, 0 bytes\r\nthe site sends the request elsewhere: " +
             search +
             "\r\nno game found: too many redirects: Turnbell followed 5, and the site sent "
             "the request on once more, to " +
             search,
         redirectTo(search)},
        {"sent on to an address too long to follow",
         "TURNBELL_TLS_SCRIPTED",
         {0},
         4,
         "the site sends the request elsewhere: (an address of 3001 characters, too long to "
         "follow: at most 2083)",
         redirectTo("/" + std::string(3000, 'a'))},
    };
    std::vector<char> buffer(REPLY_BUFFER_SIZE);
    for (const auto& c : cases) {
        if (!c.scenario.empty()) {
            EXPECT_EQ(scriptedSiteControl("POST", "/_control/scenario", c.scenario), "ok\n");
        }
        const SearchSite site = secureSite(c.site);
        const SearchOutcome outcome = sendSearchRequest(site, buffer.data(), "Ann+Lee");
        std::printf("[ measured ] %s: error %lu, status %lu, %d bytes\n", c.what,
                    static_cast<unsigned long>(outcome.error),
                    static_cast<unsigned long>(outcome.status), outcome.bytes);
        EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), outcome.error), c.errors.end())
            << c.what << ": error " << outcome.error;
        const int count = fetchSearchPage(site, buffer.data(), "Ann+Lee");
        if (c.checkExit == 0) {
            ASSERT_GT(count, 0) << c.what;
            EXPECT_NE(std::string(buffer.data(), count).find("Recherche de parties"),
                      std::string::npos)
                << c.what;
        } else {
            EXPECT_EQ(count, -1) << c.what;
        }
        const ProgramRun run = runProgram(
            TURNBELL_CHECK_EXE,
            "--site https://localhost:" + std::to_string(site.port) + " \"Ann Lee\"", ".");
        EXPECT_EQ(run.exitCode, c.checkExit) << c.what << "\n" << run.output;
        EXPECT_NE(run.output.find("scheme: https"), std::string::npos) << c.what << "\n"
                                                                       << run.output;
        const std::string line =
            !c.checkLine.empty() ? c.checkLine
            : outcome.error == ERROR_INTERNET_SEC_CERT_REV_FAILED
                ? "whether the site's certificate has been revoked could not be checked"
                : "the site's certificate comes from an issuer this computer does not trust";
        EXPECT_NE(run.output.find(line), std::string::npos) << c.what << "\n" << run.output;
    }
}

// A stop while the first request is on its way ends the search there, though the site
// sends it on: the request the redirect points to never goes out.
TEST_F(Https, AStopBetweenRedirectsSendsNothingMore)
{
    ASSERT_EQ(
        scriptedSiteControl("POST", "/_control/scenario", redirectTo("/index.php?p=recherche")),
        "ok\n");
    scriptedSiteControl("POST", "/_control/clear");
    std::vector<char> buffer(REPLY_BUFFER_SIZE);
    stopWithTheNextSend = true;
    const SearchOutcome outcome =
        sendSearchRequest(secureSite("TURNBELL_TLS_SCRIPTED"), buffer.data(), "Ann+Lee");
    pollerRunning = true;
    EXPECT_EQ(outcome.error, static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
    EXPECT_EQ(scriptedSiteControl("GET", "/_control/count"), "1");
}

TEST_F(Https, ARefusedCertificateOrAFallBackToPlainHttpChangesNothing)
{
    setUserName("Ann Lee");
    deliveryCount = 0;
    for (const char* refused :
         {"TURNBELL_TLS_UNTRUSTED", "TURNBELL_TLS_WRONGHOST", "TURNBELL_TLS_TO_HTTP"}) {
        pollerSite = secureSite(refused);
        pollOnce();
        EXPECT_EQ(deliveryCount, 0) << refused;
    }
    for (const char* delivering : {"TURNBELL_TLS_TRUSTED", "TURNBELL_TLS_TO_HTTPS"}) {
        deliveredSummary.clear();
        pollerSite = secureSite(delivering);
        pollOnce();
        EXPECT_EQ(deliveredSummary, THREE_GAMES_SUMMARY) << delivering;
    }
    EXPECT_EQ(deliveryCount, 2);
}

}  // namespace

extern "C" SendRequest sendImportSlot IMPORT_SLOT(HttpSendRequestA, 20);
SendRequest sendImportSlot = sendWithStop;
