// One poll cycle at a time, run on the test's own thread against the real test site;
// the receiving window belongs to the same thread, so a delivery is a direct call. The
// program counts its live heap blocks (tests/support/allocation_hooks.h) to show that a
// cycle leaves none behind: not the delivered list, not its records, not the encoded
// name, on any path.
#include <gtest/gtest.h>

#include <string>

#include "poller/poller.h"
#include "poller/poller_internal.h"
#include "poller/running.h"
#include "poller_test_support.h"
#include "tests/support/allocation_hooks.h"
#include "settings/settings_win.h"

namespace {

class PollCycle : public ::testing::Test {
protected:
    static void SetUpTestSuite() { preparePollCycles(); }

    void SetUp() override
    {
        aimPollerAtTestSite();
        setUserName("Ann Lee");
        deliveryCount = 0;
        deliveredSummary.clear();
        deliveredSummary.reserve(4096);  // so recording a delivery does not count as a leak
        onDelivery = nullptr;
    }

    // Runs one cycle; returns the heap blocks it left behind.
    long pollOnceCountingBlocks()
    {
        const long before = liveBlocks;
        pollOnce();
        return liveBlocks - before;
    }
};

TEST_F(PollCycle, DeliversEveryGameOnceAndFreesTheListAfterwards)
{
    setScenario(threeGamesScenario());
    long blocksDuringDelivery = 0;
    std::string firstPlayer;
    long before = 0;
    onDelivery = [&](GameList& games) {
        blocksDuringDelivery = liveBlocks - before;
        // The records are whole while the receiver has them, and it may mark them.
        firstPlayer = games.front()->players.front()->name;
        games.front()->notified = true;
    };
    before = liveBlocks;
    pollOnce();
    EXPECT_EQ(liveBlocks - before, 0);
    EXPECT_GT(blocksDuringDelivery, 3);  // at least the three records were alive then
    EXPECT_EQ(deliveryCount, 1);
    EXPECT_EQ(deliveredSummary, THREE_GAMES_SUMMARY);
    EXPECT_EQ(firstPlayer, "Ann Lee");
    // The name went out encoded, and the page was searched for it in that form (game 101).
    EXPECT_EQ(requestCount(), 1);
    EXPECT_NE(lastRequestBody().find("&pLoginJ=Ann+Lee&"), std::string::npos);
}

TEST_F(PollCycle, AnEmptyOrFailedPollDeliversNothingAndLeavesNothing)
{
    struct Case {
        const char* what;
        std::string scenario;
        bool stopped;           // the poller is told to stop first: no request goes out
        bool noServer = false;  // a port nothing listens on: no request reaches the site
    };
    const std::string games = threeGamesScenario().substr(1);  // without the "{"
    const Case cases[] = {
        {"a result page without games", R"({"default": {"body": "nogames"}, )" + games, false},
        {"a page that is not the search page", R"({"default": {"body": "other"}, )" + games, false},
        {"status 500", R"({"default": {"status": 500}, )" + games, false},
        {"a reply of 99 bytes", R"({"default": {"body": "bytes", "size": 99}})", false},
        {"no answer within the time-out", R"({"default": {"silent": true}})", false},
        // Game 101 is whole in the first 700 bytes; game 102 is cut.
        {"the connection closed inside the second game",
         R"({"default": {"close_after": 700}, )" + games, false},
        {"a stop before the poll", threeGamesScenario(), true},
        {"no server at all", threeGamesScenario(), false, true},
    };
    for (const Case& c : cases) {
        setScenario(c.scenario);
        deliveryCount = 0;
        pollerRunning = !c.stopped;
        if (c.noServer) pollerSite.port = closedPort();
        EXPECT_EQ(pollOnceCountingBlocks(), 0) << c.what;
        pollerRunning = true;
        EXPECT_EQ(deliveryCount, 0) << c.what;
        EXPECT_EQ(requestCount(), c.stopped || c.noServer ? 0 : 1) << c.what;
    }
}

TEST_F(PollCycle, AnEmptyNameMakesNoRequest)
{
    setScenario(threeGamesScenario());
    setUserName("");
    EXPECT_EQ(pollOnceCountingBlocks(), 0);
    EXPECT_EQ(requestCount(), 0);
    EXPECT_EQ(deliveryCount, 0);
}

}  // namespace
