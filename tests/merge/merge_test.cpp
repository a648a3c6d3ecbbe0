// The merge of delivered poll results into the current list, over sequences of
// deliveries: who counts as newly waiting, and what the user is told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/merge.h"
#include "tests/support/game_lists.h"

namespace {

using G = GameSketch;

struct Delivery {
    std::vector<G> games;
    int waiting;
    int newlyWaiting;
    FlashDecision flash;
    SoundDecision sound;
};

struct Scenario {
    const char* name;
    bool notifyIcon;
    bool notifySound;
    const char* soundFile;
    std::vector<Delivery> deliveries;
};

constexpr bool T = true, F = false;
using FD = FlashDecision;
using SD = SoundDecision;

const char* flashName(FD d) { return d == FD::Start ? "Start" : d == FD::Stop ? "Stop" : "Leave"; }

const char* soundName(SD d)
{
    return d == SD::SoundFile ? "SoundFile" : d == SD::ModuleDefault ? "ModuleDefault" : "None";
}

TEST(MergeGames, DecidesWhatToTellTheUserOverSequencesOfDeliveries)
{
    const Scenario scenarios[] = {
        {"first delivery: every waiting game is new",
         T,
         T,
         "bell.wav",
         {{{{"1", T}, {"2", F}, {"3", T}}, 2, 2, FD::Start, SD::SoundFile}}},
        {"the same waiting games again: no news, flash left as it is",
         T,
         T,
         "bell.wav",
         {{{{"1", T}, {"2", F}}, 1, 1, FD::Start, SD::SoundFile},
          {{{"1", T}, {"2", F}}, 1, 0, FD::Leave, SD::None},
          {{{"1", T}, {"2", F}}, 1, 0, FD::Leave, SD::None}}},
        {"a game that turns to the user",
         T,
         T,
         "bell.wav",
         {{{{"1", F}, {"2", F}}, 0, 0, FD::Stop, SD::None},
          {{{"1", F}, {"2", T}}, 1, 1, FD::Start, SD::SoundFile}}},
        {"the user's turn, then not, then again: told each time",
         T,
         T,
         "bell.wav",
         {{{{"1", T}}, 1, 1, FD::Start, SD::SoundFile},
          {{{"1", F}}, 0, 0, FD::Stop, SD::None},
          {{{"1", T}}, 1, 1, FD::Start, SD::SoundFile}}},
        {"a waiting game missing from one list is new again when back",
         T,
         T,
         "bell.wav",
         {{{{"1", T}, {"2", T}}, 2, 2, FD::Start, SD::SoundFile},
          {{{"2", T}}, 1, 0, FD::Leave, SD::None},
          {{{"1", T}, {"2", T}}, 2, 1, FD::Start, SD::SoundFile}}},
        {"no game waiting stops the flash even when icon flashing is off",
         F,
         F,
         "",
         {{{{"1", F}, {"2", F}}, 0, 0, FD::Stop, SD::None}}},
        {"games without id match each other, the last previous one deciding",
         T,
         T,
         "bell.wav",
         {{{{"", T}, {"", F}}, 1, 1, FD::Start, SD::SoundFile},
          // The last id-less game before was not waiting: the mark is clear again.
          {{{"", T}}, 1, 1, FD::Start, SD::SoundFile},
          // Now it was waiting and told: both id-less games take that mark.
          {{{"", T}, {"", T}}, 2, 0, FD::Leave, SD::None}}},
        {"two delivered records with one id take the same previous mark",
         T,
         T,
         "bell.wav",
         {{{{"7", F}}, 0, 0, FD::Stop, SD::None},
          {{{"7", T}, {"7", T}}, 2, 2, FD::Start, SD::SoundFile},
          {{{"7", T}, {"7", T}}, 2, 0, FD::Leave, SD::None}}},
        {"ids are compared as text, not as numbers",
         T,
         T,
         "bell.wav",
         {{{{"7", T}}, 1, 1, FD::Start, SD::SoundFile},
          {{{"007", T}}, 1, 1, FD::Start, SD::SoundFile}}},
        {"icon off, sound on: sound only, the flash neither started nor stopped",
         F,
         T,
         "bell.wav",
         {{{{"1", T}}, 1, 1, FD::Leave, SD::SoundFile},
          {{{"1", T}, {"2", T}}, 2, 1, FD::Leave, SD::SoundFile}}},
        {"icon on, sound off: flash only",
         T,
         F,
         "bell.wav",
         {{{{"1", T}}, 1, 1, FD::Start, SD::None}}},
        {"both off: nothing for new games",
         F,
         F,
         "bell.wav",
         {{{{"1", T}}, 1, 1, FD::Leave, SD::None}}},
        {"several new games give one decision",
         T,
         T,
         "bell.wav",
         {{{{"1", T}, {"2", T}, {"3", T}, {"4", T}}, 4, 4, FD::Start, SD::SoundFile}}},
        {"an empty sound file plays the module's default",
         T,
         T,
         "",
         {{{{"1", T}}, 1, 1, FD::Start, SD::ModuleDefault}}},
        {"no sound file at all plays the module's default",
         T,
         T,
         nullptr,
         {{{{"1", T}}, 1, 1, FD::Start, SD::ModuleDefault}}},
    };

    for (const Scenario& s : scenarios) {
        GameList current;
        int step = 0;
        for (const Delivery& d : s.deliveries) {
            ++step;
            GameList delivered = gameList(d.games);
            const MergeOutcome out =
                mergeGameList(current, delivered, s.notifyIcon, s.notifySound, s.soundFile);
            EXPECT_EQ(out.waiting, d.waiting) << s.name << ", delivery " << step;
            EXPECT_EQ(out.newlyWaiting, d.newlyWaiting) << s.name << ", delivery " << step;
            EXPECT_STREQ(flashName(out.flash), flashName(d.flash))
                << s.name << ", delivery " << step;
            EXPECT_STREQ(soundName(out.sound), soundName(d.sound))
                << s.name << ", delivery " << step;
            ASSERT_EQ(current.size(), d.games.size()) << s.name;
            clearGameList(delivered);
        }
        clearGameList(current);
    }
}

TEST(MergeGames, CurrentListBecomesMarkedDeepCopiesInPageOrder)
{
    GameList current = gameList({{"5", T}, {"6", F}});
    for (auto& g : current) g->notified = true;

    GameList delivered = gameList({{"9", F}, {"6", T, "Chess", {"ann"}}, {"5", T}, {"", F}});
    delivered[1]->players.push_back(makePlayerRecord("bob", "p2", true));
    mergeGameList(current, delivered, true, true, "");

    // The carry-over writes the delivered marks: only "5" was waiting and told before.
    EXPECT_FALSE(delivered[0]->notified);
    EXPECT_FALSE(delivered[1]->notified);
    EXPECT_TRUE(delivered[2]->notified);
    EXPECT_FALSE(delivered[3]->notified);

    ASSERT_EQ(current.size(), 4u);
    const char* order[] = {"9", "6", "5", ""};
    for (std::size_t i = 0; i < current.size(); ++i) {
        EXPECT_EQ(current[i]->gameId, order[i]);
        EXPECT_TRUE(current[i]->notified) << "copy " << i << " is marked, waiting or not";
        EXPECT_EQ(current[i]->myTurn, delivered[i]->myTurn);
        EXPECT_NE(current[i].get(), delivered[i].get());
    }

    // The poller destroys its records when the merge returns: the copies stand alone.
    clearGameList(delivered);
    ASSERT_EQ(current[1]->players.size(), 2u);
    EXPECT_EQ(current[1]->players[1]->name, "bob");
    EXPECT_EQ(current[1]->players[1]->playerId, "p2");
    EXPECT_TRUE(current[1]->players[1]->emphasised);
    EXPECT_EQ(current[1]->link, "jeu.php?id=6");
    EXPECT_EQ(current[1]->gameType, "Chess");
    clearGameList(current);
}

}  // namespace
