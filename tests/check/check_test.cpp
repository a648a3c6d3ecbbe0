// turnbell-check against the test site: one case per exit code, each checked by its
// code and by the line that gives the reason, plus the settings lookup and --save.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/run_program.h"
#include "tests/support/testsite_client.h"

namespace {

// Ann Lee's game 101 waits for her; 102 waits for Bob.
const char GAMES[] = R"({"sections": [{"type": "Ploc", "games": [
    {"id": 101, "active": "Ann+Lee", "players": [{"id": 17, "name": "Ann Lee"}, {"id": 18, "name": "Bob"}]},
    {"id": 102, "active": "Bob", "players": [{"id": 18, "name": "Bob"}]}]}]})";

class Check : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "turnbell-check-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        site = "--site " + std::string(siteHost()) + ":" + std::to_string(sitePort()) + " ";
    }
    void TearDown() override
    {
        DeleteFileA((folder + "\\Turnbell.ini").c_str());
        DeleteFileA((folder + "\\reply.bin").c_str());
        RemoveDirectoryA(folder.c_str());
    }
    void writeSettings(const std::string& userName)
    {
        std::ofstream(folder + "\\Turnbell.ini", std::ios::binary)
            << "[Turnbell]\r\nUsername=" << userName << "\r\n";
    }
    std::string folder;
    std::string site;
};

TEST_F(Check, EachOutcomeGivesItsExitCodeAndItsReason)
{
    const struct {
        const char* what;
        std::string scenario;
        std::string arguments;  // after --site, unless they name a site of their own
        DWORD exitCode;
        const char* line;
    } cases[] = {
        {"games, one waiting", GAMES, "\"Ann Lee\"", 0, "  101  Ploc  Ann Lee, Bob  your turn\r\n"},
        {"a 500 status", R"({"default": {"status": 500}})", "Ann", 4,
         "no game found: the site answered with HTTP status 500, not a page"},
        {"a 99-byte reply", R"({"default": {"body": "bytes", "size": 99}})", "Ann", 5,
         "no game found: the reply has 99 bytes, fewer than the 100 of the shortest page"},
        {"not the search page", R"({"default": {"body": "other"}})", "Ann", 6,
         "no game found: the reply is not the game search page"},
        {"a search page without games",
         std::string(GAMES, sizeof GAMES - 2) + R"(, "default": {"body": "nogames"}})", "Ann", 7,
         "no game found: the search page lists no games for this name (its game sections hold "
         "none)"},
        {"no server", GAMES, "--site 127.0.0.1:" + std::to_string(closedPort()) + " Ann", 3,
         "no game found: the site could not be reached: the connection was refused"},
        {"a stalled server", R"({"default": {"silent": true}})", "--timeout 1 Ann", 3,
         "no game found: the site could not be reached: no answer within the time allowed"},
        {"no user name anywhere", GAMES, "", 2, "no game found: there is no user name"},
        {"a redirect to HTTPS",
         R"({"default": {"status": 301, "headers": [["Location", "https://localhost/index.php?p=recherche"]]}})",
         "Ann", 4, "no game found: this site wants HTTPS: build with TURNBELL_SITE_SCHEME=https"},
    };
    writeSettings("");
    for (const auto& c : cases) {
        setScenario(c.scenario);
        const bool ownSite = c.arguments.compare(0, 6, "--site") == 0;
        const ProgramRun run =
            runProgram(TURNBELL_CHECK_EXE, (ownSite ? "" : site) + c.arguments, folder);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << "\n" << run.output;
        EXPECT_NE(run.output.find(c.line), std::string::npos) << c.what << "\n" << run.output;
    }
}

TEST_F(Check, WithoutANameItTakesTurnbellsOwnFromTheSettingsFile)
{
    setScenario(GAMES);
    writeSettings("Ann Lee");
    const ProgramRun run = runProgram(TURNBELL_CHECK_EXE, site, folder);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("user name: \"Ann Lee\", from " + folder + "\\Turnbell.ini"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("sent as: Ann+Lee"), std::string::npos) << run.output;
    EXPECT_NE(lastRequestBody().find("&pLoginJ=Ann+Lee&"), std::string::npos);
}

TEST_F(Check, SaveWritesTheExactReplyBytes)
{
    setScenario(R"({"default": {"body": "bytes", "size": 5000}})");
    const ProgramRun run = runProgram(TURNBELL_CHECK_EXE, site + "--save reply.bin Ann", folder);
    EXPECT_EQ(run.exitCode, 6u) << run.output;
    std::ifstream in(folder + "\\reply.bin", std::ios::binary);
    std::ostringstream saved;
    saved << in.rdbuf();
    std::string expected(5000, '\0');
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(i % 251);
    EXPECT_TRUE(saved.str() == expected) << saved.str().size() << " bytes saved";
}

}  // namespace
