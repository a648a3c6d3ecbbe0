// The search request against the real test site (tests/testsite/testsite.py), which
// tests/testsite/with-testsite.sh starts on a free port and names in TURNBELL_TESTSITE_PORT.
// Each test scripts the site's answers through its control interface, runs one fetch
// and checks both what came back and what the site received.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "poller/fetch.h"
#include "poller/poller_internal.h"
#include "poller/running.h"
#include "settings/settings_win.h"
#include "tests/support/import_slot.h"
#include "tests/support/testsite_client.h"
#include "tests/support/wait_until.h"

// What the program asks of WinINet, seen through the import slots of three of its
// functions (this file is compiled into the test program, so the linker takes its
// definitions before wininet's) and passed on: each time-out set, with its handle, as
// "receive 30000" (WinINet is given it divided by shortenTimeoutsBy); the connection the
// last request was opened from; the reply bytes read. Once stopAfterBytes are read, the
// next read starts with a stop.
struct TimeoutSet {
    HINTERNET handle;
    std::string what;
};
std::vector<TimeoutSet> timeoutsSet;
DWORD shortenTimeoutsBy = 1;
HINTERNET requestConnection;
DWORD bytesRead, stopAfterBytes;

namespace {

using SetOption = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);
using OpenRequest = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD,
                                       DWORD_PTR);
using ReadReply = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);

BOOL WINAPI recordSetOption(HINTERNET handle, DWORD option, LPVOID value, DWORD size)
{
    static const auto wininet = systemFunction<SetOption>("wininet.dll", "InternetSetOptionA");
    const char* name = option == INTERNET_OPTION_CONNECT_TIMEOUT   ? "connect "
                       : option == INTERNET_OPTION_SEND_TIMEOUT    ? "send "
                       : option == INTERNET_OPTION_RECEIVE_TIMEOUT ? "receive "
                                                                   : nullptr;
    if (!name || size != sizeof(DWORD)) return wininet(handle, option, value, size);
    timeoutsSet.push_back({handle, name + std::to_string(*static_cast<DWORD*>(value))});
    DWORD shorter = *static_cast<DWORD*>(value) / shortenTimeoutsBy;
    return wininet(handle, option, &shorter, size);
}

HINTERNET WINAPI recordOpenRequest(HINTERNET connection, LPCSTR verb, LPCSTR path, LPCSTR version,
                                   LPCSTR referrer, LPCSTR* types, DWORD flags, DWORD_PTR context)
{
    static const auto wininet = systemFunction<OpenRequest>("wininet.dll", "HttpOpenRequestA");
    requestConnection = connection;
    return wininet(connection, verb, path, version, referrer, types, flags, context);
}

BOOL WINAPI recordRead(HINTERNET request, LPVOID buffer, DWORD size, LPDWORD read)
{
    static const auto wininet = systemFunction<ReadReply>("wininet.dll", "InternetReadFile");
    if (stopAfterBytes && bytesRead >= stopAfterBytes) pollerRunning = false;
    const BOOL done = wininet(request, buffer, size, read);
    bytesRead += done ? *read : 0;
    return done;
}

// The time-outs set on the connection that the last request was opened from.
std::vector<std::string> timeoutsOfTheRequest()
{
    std::vector<std::string> set;
    for (const TimeoutSet& t : timeoutsSet)
        if (t.handle == requestConnection) set.push_back(t.what);
    return set;
}

}  // namespace

extern "C" SetOption setOptionImportSlot IMPORT_SLOT(InternetSetOptionA, 16);
SetOption setOptionImportSlot = recordSetOption;
extern "C" OpenRequest openRequestImportSlot IMPORT_SLOT(HttpOpenRequestA, 32);
OpenRequest openRequestImportSlot = recordOpenRequest;
extern "C" ReadReply readImportSlot IMPORT_SLOT(InternetReadFile, 16);
ReadReply readImportSlot = recordRead;

namespace {

// The body of the site's "bytes" answers: byte i is i % 251.
std::string pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

std::string bytesAnswer(int size, const std::string& extra = "")
{
    return "{\"default\": {\"body\": \"bytes\", \"size\": " + std::to_string(size) + extra + "}}";
}

const FetchTimeouts SHORT_TIMEOUTS = {2000, 1000, 1000};

struct Fetch {
    int result;
    double seconds;
};

Fetch fetchFromSite(char* buffer, const char* name, const FetchTimeouts& timeouts = SHORT_TIMEOUTS)
{
    const double start = nowMs();
    const int result = fetchSearchPage({siteHost(), sitePort(), false, timeouts}, buffer, name);
    return {result, (nowMs() - start) / 1000};
}

class FetchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        internetSession = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        InitializeCriticalSection(&settingsLock);  // for the poll, which searches for Ann
        lstrcpyA(Settings.userName, "Ann");
    }

    void SetUp() override
    {
        ASSERT_NE(sitePort(), 0) << "run under tests/testsite/with-testsite.sh";
        ASSERT_NE(internetSession, nullptr);
        siteControl("POST", "/_control/clear");
        pollerRunning = true;
        bytesRead = stopAfterBytes = 0;
        shortenTimeoutsBy = 1;
        buffer.reset(new char[REPLY_BUFFER_SIZE]);
        std::memset(buffer.get(), 0x5A, REPLY_BUFFER_SIZE);
    }

    void TearDown() override { pollerRunning = true; }

    std::string got(int count) const { return std::string(buffer.get(), count > 0 ? count : 0); }

    std::unique_ptr<char[]> buffer;
};

TEST_F(FetchTest, SearchRequestCarriesTheFormForTheEncodedName)
{
    setScenario(R"({"sections": [{"type": "Ploc", "games": [{"id": 7, "active": "Ann"}]}]})");
    // Names as the encoder leaves them: they go into the body as they stand.
    for (const char* encoded : {"Ann+Lee", "a%26b", "a%2bb", "50%=x", "Ren%e9%ff"}) {
        SCOPED_TRACE(encoded);
        siteControl("POST", "/_control/clear");
        const Fetch fetch = fetchFromSite(buffer.get(), encoded);
        EXPECT_GT(fetch.result, 0);
        EXPECT_NE(got(fetch.result).find("Recherche de parties"), std::string::npos)
            << got(fetch.result);

        const std::string body =
            std::string("pJeu=&pLoginJ=") + encoded + "&pidP=&pLibP=&pEtat=2&pPage=1";
        const std::string raw = siteControl("GET", "/_control/last");
        const std::string requestLine = "POST /index.php?p=recherche HTTP/1.0\r\n";
        EXPECT_EQ(raw.compare(0, requestLine.size(), requestLine), 0) << raw;
        EXPECT_NE(raw.find("\r\nAccept: */*\r\n"), std::string::npos) << raw;
        EXPECT_NE(raw.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
                  std::string::npos)
            << raw;
        EXPECT_NE(raw.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
                  std::string::npos)
            << raw;
        const std::size_t headerEnd = raw.find("\r\n\r\n");
        ASSERT_NE(headerEnd, std::string::npos);
        EXPECT_EQ(raw.substr(headerEnd + 4), body);
        EXPECT_EQ(requestCount(), 1);
    }
}

TEST_F(FetchTest, BodyBytesAboveAsciiReachTheSiteUnchanged)
{
    setScenario(bytesAnswer(500));
    const Fetch fetch = fetchFromSite(buffer.get(), "\xe9\x80\xff");
    EXPECT_EQ(fetch.result, 500);
    const std::string raw = siteControl("GET", "/_control/last");
    const std::string tail = "pLoginJ=\xe9\x80\xff&pidP=&pLibP=&pEtat=2&pPage=1";
    ASSERT_GE(raw.size(), tail.size());
    EXPECT_EQ(raw.substr(raw.size() - tail.size()), tail);
}

// The reply's status, length and framing decide what a fetch gives: the bytes intact, or
// -1 for no page. Only statuses from 200 to 299 count (each accepted one here carries a
// body: a 204 reply has none in HTTP, so whether a client reads bytes sent after one is up
// to the client). A reply that breaks off is no page: a game missing from its bytes would
// count as newly waiting once a whole page brought it back. A reply that announces no
// length ends where the connection closes; so does one whose Content-Length is no plain
// number, or disagrees with another Content-Length.
TEST_F(FetchTest, ReplyLengthDecidesTheCountAndTheBytesArriveIntact)
{
    const struct {
        const char* label;
        int size;
        const char* answer;
        int expected;
    } cases[] = {
        {"status 199", 500, R"("status": 199)", -1},
        {"status 200", 500, R"("status": 200)", 500},
        {"status 202", 500, R"("status": 202)", 500},
        {"status 299", 500, R"("status": 299)", 500},
        {"status 300", 500, R"("status": 300)", -1},
        {"status 404", 500, R"("status": 404)", -1},
        {"status 500", 500, R"("status": 500)", -1},
        {"99 bytes is too short", 99, R"("framing": "length")", -1},
        {"empty reply", 0, R"("framing": "length")", -1},
        {"exactly 100 bytes", 100, R"("framing": "length")", 100},
        {"exactly the buffer", REPLY_BUFFER_SIZE, R"("framing": "length")", REPLY_BUFFER_SIZE},
        {"longer than the buffer", 200000, R"("framing": "length")", REPLY_BUFFER_SIZE},
        {"chunked", 70000, R"("framing": "chunked")", 70000},
        {"chunked, longer than the buffer", 200000, R"("framing": "chunked")", REPLY_BUFFER_SIZE},
        {"HTTP/1.0 without length", 5000, R"("framing": "close")", 5000},
        {"HTTP/1.0 without length, 99 bytes", 99, R"("framing": "close")", -1},
        {"a slow drip is read to the end", 1000, R"("drip": {"bytes": 100, "interval": 0.05})",
         1000},
        {"closed mid-body", 5000, R"("close_after": 3000)", -1},
        {"closed after 100 bytes", 5000, R"("close_after": 100)", -1},
        {"closed mid-body without length", 5000, R"("close_after": 3000, "framing": "close")",
         3000},
        {"a length of -1", 5000, R"("framing": "close", "headers": [["Content-Length", "-1"]])",
         5000},
        {"two lengths that disagree", 5000,
         R"("framing": "close", "headers": [["Content-Length", "9000"], ["Content-Length", "5000"]])",
         5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::memset(buffer.get(), 0x5A, REPLY_BUFFER_SIZE);
        setScenario(bytesAnswer(c.size, std::string(", ") + c.answer));
        const Fetch fetch = fetchFromSite(buffer.get(), "Ann");
        EXPECT_EQ(fetch.result, c.expected);
        if (c.expected > 0) {
            EXPECT_TRUE(got(fetch.result) == pattern(c.expected));
        }
    }
}

TEST_F(FetchTest, LocalhostReachesASiteOnTheIpv4Loopback)
{
    // A plain build's site host is "localhost"; the test site listens on 127.0.0.1.
    setScenario(bytesAnswer(500));
    const int result =
        fetchSearchPage({"localhost", sitePort(), false, SHORT_TIMEOUTS}, buffer.get(), "Ann");
    EXPECT_EQ(result, 500);
    const std::string log = siteControl("GET", "/_control/log");
    EXPECT_NE(log.find("\"client\": \"127.0.0.1\""), std::string::npos) << log;
    EXPECT_NE(siteControl("GET", "/_control/last").find("\r\nHost: localhost:"), std::string::npos);
}

TEST_F(FetchTest, NoServerListeningFailsAtOnce)
{
    const double start = nowMs();
    const int result =
        fetchSearchPage({"127.0.0.1", closedPort(), false, SHORT_TIMEOUTS}, buffer.get(), "Ann");
    EXPECT_EQ(result, -1);
    EXPECT_LT(nowMs() - start, 5000);
}

// However far the reply got, a stall is given up after the receive time-out, and the
// poll fails: the bytes before a stall mid-body are no page either.
TEST_F(FetchTest, StalledServerIsGivenUpAfterTheReceiveTimeout)
{
    struct Case {
        const char* label;
        const char* answer;
    } cases[] = {
        {"no answer at all", R"({"default": {"silent": true}})"},
        {"stalls after the headers",
         R"({"default": {"body": "bytes", "size": 5000, "stall_after": 0}})"},
        {"stalls mid-body", R"({"default": {"body": "bytes", "size": 5000, "stall_after": 2000}})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        setScenario(c.answer);
        const Fetch fetch = fetchFromSite(buffer.get(), "Ann", {2000, 1000, 1000});
        EXPECT_EQ(fetch.result, -1);
        EXPECT_GE(fetch.seconds, 0.9);
        EXPECT_LT(fetch.seconds, 6.0);
        std::printf("[ measured ] %s: gave up after %.2f s (receive time-out 1 s)\n", c.label,
                    fetch.seconds);
    }
}

// A poll asks with the built-in time-outs, set on the connection its request is opened
// from, where WinINet takes them: 60 s to connect, 30 s to send and 30 s to receive,
// close to what WinINet on Windows gives up after by itself. Passed on a hundred times
// shorter, they end a silent site's stall after 0.3 s: a time-out missing (under Wine,
// none means for ever), or set where the request does not take it, leaves the poll hanging.
TEST_F(FetchTest, APollGivesUpOnASilentSiteAfterTheBuiltInTimeouts)
{
    pollerSite.host = siteHost();  // the built-in site, at the test site's address
    pollerSite.port = sitePort();
    setScenario(threeGamesScenario());
    EXPECT_GT(fetchSearchPage(pollerSite, buffer.get(), "Ann"), 0);
    setScenario(R"({"default": {"silent": true}})");
    timeoutsSet.clear();
    shortenTimeoutsBy = 100;
    static std::atomic<bool> polled;
    polled = false;
    const double start = nowMs();
    std::thread poll([] {
        pollOnce();
        polled = true;
    });
    const bool gaveUp = waitUntil([] { return polled.load(); }, 10000);
    std::printf("[ measured ] a poll of a silent site: %.0f ms\n", nowMs() - start);
    gaveUp ? poll.join() : poll.detach();
    EXPECT_TRUE(gaveUp) << "the poll still waits for the silent site after 10 s";
    EXPECT_EQ(requestCount(), 1);
    EXPECT_EQ(timeoutsOfTheRequest(),
              (std::vector<std::string>{"connect 60000", "send 30000", "receive 30000"}));
}

TEST_F(FetchTest, StopDuringTheReadKeepsTheEarlierReads)
{
    // The site sends 400 bytes at once and the next 400 every 3 s. The stop comes once
    // the first 400 are read, with the next read, so that read returns late bytes, which
    // are dropped. It ends then, about 3 s from the start, not with the whole reply after 12 s.
    setScenario(bytesAnswer(2000, R"(, "drip": {"bytes": 400, "interval": 3.0})"));
    stopAfterBytes = 400;
    const Fetch fetch = fetchFromSite(buffer.get(), "Ann", {2000, 10000, 10000});
    pollerRunning = true;
    EXPECT_EQ(fetch.result, 400);
    EXPECT_TRUE(got(fetch.result) == pattern(400));
    EXPECT_LT(fetch.seconds, 7.5);
}

TEST_F(FetchTest, ABodyThatDoesNotFitTheBufferIsNotSent)
{
    setScenario(bytesAnswer(500));
    const std::string huge(REPLY_BUFFER_SIZE, 'x');
    EXPECT_EQ(fetchFromSite(buffer.get(), huge.c_str()).result, -1);
    EXPECT_EQ(requestCount(), 0);
}

}  // namespace
