// The search request over HTTPS against test sites that differ only in their
// certificate or in where they send the search on (tests/https/with-tls-sites.sh): only
// the trusted certificate made out for the site, and a redirect to another such site,
// give the page; every other one, and a redirect to plain HTTP, fails the poll, which
// then changes nothing, and turnbell-check says in its own words what is wrong. The
// plain site sends the search back on to the trusted HTTPS site, so that a client that
// went there would still end with the games: nothing may ever reach it.
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
#include "tests/support/run_program.h"

namespace {

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
    const struct {
        const char* what;
        const char* site;
        std::vector<DWORD> errors;  // what WinINet may answer
        DWORD checkExit;
        std::string checkLine;
    } cases[] = {
        {"trusted", "TURNBELL_TLS_TRUSTED", {0}, 0, "  101  Ploc  Ann Lee, Bob  your turn"},
        {"from an untrusted CA",
         "TURNBELL_TLS_UNTRUSTED",
         {ERROR_INTERNET_SEC_CERT_REV_FAILED, ERROR_INTERNET_INVALID_CA},
         3,
         "the site's certificate comes from an issuer this computer does not trust"},
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
         "the site sent the request on to https://localhost:" +
             std::to_string(portOf("TURNBELL_TLS_TRUSTED")) +
             "/index.php?p=recherche\r\nthe site answered: HTTP 200"},
    };
    std::vector<char> buffer(REPLY_BUFFER_SIZE);
    for (const auto& c : cases) {
        const SearchSite site = secureSite(c.site);
        const SearchOutcome outcome = sendSearchRequest(site, buffer.data(), "Ann+Lee");
        std::printf("[ measured ] %s: error %lu, status %lu, %d bytes\n", c.what,
                    static_cast<unsigned long>(outcome.error),
                    static_cast<unsigned long>(outcome.status), outcome.bytes);
        EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), outcome.error), c.errors.end())
            << c.what << ": error " << outcome.error;
        const int count = fetchSearchPage(site, buffer.data(), "Ann+Lee");
        if (c.errors[0] == 0) {
            ASSERT_GT(count, 0) << c.what;
            EXPECT_NE(std::string(buffer.data(), count).find("Recherche de parties"),
                      std::string::npos);
        } else {
            EXPECT_EQ(count, -1) << c.what;
        }
        const ProgramRun run = runProgram(
            TURNBELL_CHECK_EXE,
            "--site https://localhost:" + std::to_string(site.port) + " \"Ann Lee\"", ".");
        EXPECT_EQ(run.exitCode, c.checkExit) << c.what << "\n" << run.output;
        EXPECT_NE(run.output.find("scheme: https"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(c.checkLine), std::string::npos) << c.what << "\n" << run.output;
    }
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
        EXPECT_EQ(deliveredSummary, "Ploc|101|T|Ann Lee, Bob;Ploc|102|F|Bob;") << delivering;
    }
    EXPECT_EQ(deliveryCount, 2);
}

}  // namespace
