// turnbell-check against the test site: one case per exit code, each checked by its
// code and by the line that gives the reason, plus the settings lookup and --save.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/support/read_file.h"
#include "check/console_text_win.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/testsite_client.h"

namespace {

// Ann Lee's games; the same without the closing brace, for more members after them.
const std::string GAMES = threeGamesScenario();
const std::string GAMES_OPEN = GAMES.substr(0, GAMES.size() - 1);

class Check : public ::testing::Test {
protected:
    void SetUp() override
    {
        site = "--site " + std::string(siteHost()) + ":" + std::to_string(sitePort()) + " ";
    }
    void TearDown() override { DeleteFileA((folder + "\\reply.bin").c_str()); }
    void writeSettings(const std::string& userName)
    {
        std::ofstream(folder + "\\Turnbell.ini", std::ios::binary)
            << "[Turnbell]\r\nUsername=" << userName << "\r\n";
    }
    const ScratchFolder scratch{"check"};
    const std::string& folder = scratch.path;
    std::string site;
};

TEST_F(Check, EachOutcomeGivesItsExitCodeAndItsReason)
{
    const std::string here = "http://" + std::string(siteHost()) + ":" + std::to_string(sitePort());
    const std::string closed = std::to_string(closedPort());
    const struct {
        const char* what;
        std::string scenario;
        std::string arguments;  // after --site, unless they name a site of their own
        DWORD exitCode;
        std::string line;
    } cases[] = {
        {"games, one waiting", GAMES, "\"Ann Lee\"", 0, "  101  Ploc  Ann Lee, Bob  your turn\r\n"},
        // The page shows the name as typed, never as Turnbell looks for it in a turn.
        {"the name as typed in a turn marker",
         R"({"sections": [{"type": "Ploc", "games": [{"id": 101, "active": "Ann Lee", "players": [{"id": 18, "name": "Bob"}]}]}]})",
         "\"Ann Lee\"", 9, "as \"Ann Lee\", but Turnbell looks for it as \"Ann+Lee\""},
        {"the name as typed among the players",
         R"({"sections": [{"type": "Ploc", "games": [{"id": 102, "active": "Bob", "players": [{"id": 17, "name": "ann lee"}]}]}]})",
         "\"Ann Lee\"", 9, "Turnbell cannot see your turns on this page"},
        {"a 500 status", R"({"default": {"status": 500}})", "Ann", 4,
         "no game found: the site answered with HTTP status 500, not a page"},
        {"a 99-byte reply", R"({"default": {"body": "bytes", "size": 99}})", "Ann", 5,
         "no game found: the reply has 99 bytes, fewer than the 100 of the shortest page"},
        {"not the search page", R"({"default": {"body": "other"}})", "Ann", 6,
         "no game found: the reply is not the game search page"},
        {"a search page without games", GAMES_OPEN + R"(, "default": {"body": "nogames"}})", "Ann",
         7,
         "no game found: the search page lists no games for this name (its game sections hold "
         "none)"},
        {"no server", GAMES, "--site 127.0.0.1:" + closed + " Ann", 3,
         "no game found: the site could not be reached: the connection was refused"},
        {"a stalled server", R"({"default": {"silent": true}})", "--timeout 1 Ann", 3,
         "no game found: the site could not be reached: no answer within the time allowed"},
        {"no user name anywhere", GAMES, "", 2, "no game found: there is no user name"},
        // WinINet follows a plain site's redirects itself: as a GET after a 302, and
        // under Wine as a POST without its body after a 307 too. Either way the site
        // there is asked for nobody, as a real site would be.
        {"sent on to another address that serves the games (307)",
         GAMES_OPEN +
             R"(, "responses": [{"status": 307, "headers": [["Location", "/moved/index.php?p=recherche"]]}]})",
         "\"Ann Lee\"", 6,
         "the site sent the request on to " + here +
             "/moved/index.php?p=recherche\r\nthe site answered: HTTP 200"},
        {"sent on to another address that serves the games (302)",
         GAMES_OPEN +
             R"(, "responses": [{"status": 302, "headers": [["Location", "/moved/index.php?p=recherche"]]}]})",
         "\"Ann Lee\"", 6,
         "no game found: the search was sent on to " + here +
             "/moved/index.php?p=recherche and lost its form (the user name) on the way"},
        {"sent on to a host that does not exist",
         R"({"default": {"status": 302, "headers": [["Location", "http://no-such-host.invalid/"]]}})",
         "Ann", 3,
         "the site sent the request on to http://no-such-host.invalid/\r\nno game found: the site "
         "could not be reached: the host name no-such-host.invalid is unknown"},
        {"sent on to a page that is not the search page",
         R"({"default": {"status": 302, "headers": [["Location", "/index.php"]]}})", "Ann", 6,
         "not the game search page: it holds neither \"Recherche de parties\" nor \"Games "
         "search\"; it came from " +
             here + "/index.php, where the site sent the request on"},
        {"a reply longer than Turnbell reads", R"({"default": {"body": "bytes", "size": 200000}})",
         "Ann", 6,
         "HTTP 200, 131072 bytes\r\nTurnbell reads only the first 131072 bytes of a reply (the "
         "site sent more): what follows is about those\r\n"},
        {"control bytes from the site",
         R"({"sections": [{"type": "Ploc\u001b[2J\u007f", "games": [{"id": 101, "active": "Ann", "players": [{"id": 17, "name": "Ann\u0007"}]}]}]})",
         "Ann", 0, "  101  Ploc\\x1b[2J\\x7f  Ann\\x07  your turn\r\n"},
        {"--help, alone", GAMES, "--help", 0,
         "usage: turnbell-check [--site [http://|https://]HOST"},
        {"a time-out of more than an hour", GAMES, "--timeout 3601 Ann", 2, "usage:"},
        {"a time-out of no time", GAMES, "--timeout 0 Ann", 2, "usage:"},
        {"a port with letters after it", GAMES, "--site localhost:80abc Ann", 2, "usage:"},
        {"a second colon", GAMES, "--site a:b:80 Ann", 2, "usage:"},
        {"a slash", GAMES, "--site localhost/x Ann", 2, "usage:"},
        {"a blank", GAMES, "--site \"local host\" Ann", 2, "usage:"},
        // The site refuses a Host header without the brackets, as real servers do.
        {"an IPv6 address", GAMES, "--site [::1]:" + std::to_string(sitePort()) + " \"Ann Lee\"", 0,
         "  101  Ploc  Ann Lee, Bob  your turn\r\n"},
        {"the last --site decides the scheme", GAMES,
         "--site https://127.0.0.1:1 " + site + "\"Ann Lee\"", 0, "scheme: http (plain HTTP)"},
        {"a reply that breaks off",
         R"({"default": {"body": "bytes", "size": 5000, "close_after": 3000}})", "Ann", 5,
         "no game found: the reply broke off after 3000 bytes of the 5000 it announced"},
    };
    writeSettings("");
    for (const auto& c : cases) {
        setScenario(c.scenario);
        const bool ownSite = c.arguments.compare(0, 6, "--site") == 0 || c.arguments == "--help";
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

// --save keeps exactly the bytes that Turnbell reads, and nothing when no page came.
TEST_F(Check, SaveKeepsExactlyTheBytesTurnbellReads)
{
    const std::string earlier = "an earlier reply";
    const struct {
        const char* what;
        const char* scenario;
        std::size_t saved;  // 0: the earlier file stays as it was
        const char* line;
    } cases[] = {
        {"a reply", R"({"default": {"body": "bytes", "size": 5000}})", 5000,
         "saved the 5000 bytes of the reply to reply.bin"},
        {"a reply longer than Turnbell reads", R"({"default": {"body": "bytes", "size": 200000}})",
         131072,
         "saved the first 131072 bytes of the reply to reply.bin: the site sent more, which "
         "Turnbell does not read"},
        {"a reply that is exactly as long as Turnbell reads",
         R"({"default": {"body": "bytes", "size": 131072}})", 131072,
         "saved the first 131072 bytes of the reply to reply.bin\r\n"},
        {"a reply with an error status", R"({"default": {"status": 500}})", 0,
         "nothing saved to reply.bin: Turnbell does not read the page of a reply with HTTP "
         "status 500"},
    };
    for (const auto& c : cases) {
        setScenario(c.scenario);
        std::ofstream(folder + "\\reply.bin", std::ios::binary) << earlier;
        const ProgramRun run =
            runProgram(TURNBELL_CHECK_EXE, site + "--save reply.bin Ann", folder);
        EXPECT_NE(run.output.find(c.line), std::string::npos) << c.what << "\n" << run.output;
        const std::string saved = readFile(folder + "\\reply.bin");
        std::string expected(c.saved, '\0');
        for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(i % 251);
        EXPECT_TRUE(saved == (c.saved ? expected : earlier))
            << c.what << ": " << saved.size() << " bytes in the file";
    }
}

// Whatever the ANSI code page makes of the site's bytes, nothing that reaches the
// console can drive it: under 1252 five undefined bytes widen to C1 controls, under
// 65001 (UTF-8) the pair C2 9B is the one-character CSI.
TEST(ConsoleText, NoControlReachesTheConsoleInCodePages1252And65001)
{
    const struct {
        const char* bytes;
        const wchar_t* in1252;
        const wchar_t* in65001;
    } cases[] = {
        {"Ploc\x1b[2J\x7f\t", L"Ploc\\x1b[2J\\x7f\t", L"Ploc\\x1b[2J\\x7f\t"},
        {"\x81\x8d\x8f\x90\x9d", L"\\x81\\x8d\\x8f\\x90\\x9d", L"\ufffd\ufffd\ufffd\ufffd\ufffd"},
        {"\xc2\x9b", L"\u00c2\u203a", L"\\x9b"},
        {"\xc3\x89"
         "checs \x80",
         L"\u00c3\u2030checs \u20ac", L"\u00c9checs \ufffd"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(consoleText(c.bytes, 1252), c.in1252) << c.bytes;
        EXPECT_EQ(consoleText(c.bytes, CP_UTF8), c.in65001) << c.bytes;
    }
}

}  // namespace
