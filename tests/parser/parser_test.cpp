#include "poller/parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "poller/encode.h"
#include "poller/running.h"
#include "tests/support/allocation_hooks.h"
#include "tests/support/read_file.h"

namespace {

using namespace std::string_literals;

// The reply sits in a heap block of exactly its length, as the poll's buffer holds it
// without a terminating NUL, so that any read past its end is caught.
GameList parse(const std::string& page, const char* userName)
{
    std::unique_ptr<char[]> reply(new char[page.size()]);
    std::memcpy(reply.get(), page.data(), page.size());
    GameList games;
    parseSearchPage(reply.get(), static_cast<int>(page.size()), games, userName);
    return games;
}

const std::string title = "<h2>Recherche de parties</h2>\n";

std::string section(const std::string& gameType)
{
    return "<tr><td colspan=4 class=clListeEntete>&nbsp;&nbsp;" + gameType + "</td></tr>\n";
}

std::string player(const std::string& id, const std::string& name, bool active = false)
{
    return "<a href=\"#\" onclick=\"detailJoueur(" + id + ");return false;\"><span class=j" +
           (active ? " style=\"font-weight:bold\"" : "") + ">" + name + "</span></a>\n";
}

// A game block whose first player is the one whose turn it is.
std::string game(const std::string& id, const std::string& active, const std::string& other)
{
    return "<tr><td><img src=img/ico_encours.gif></td><td><a href=\"jeu.php?id=" + id +
           "\" title=\"t\">#" + id + "</a></td>\n<td>" + player("1" + id, active, true) +
           player("2" + id, other) + "</td></tr>\n";
}

// One line per game: "type|id|link|myTurn|name:playerId:emphasised,...".
std::string summary(const GameList& games)
{
    std::string out;
    for (const auto& g : games) {
        out += g->gameType + "|" + g->gameId + "|" + g->link + "|" + (g->myTurn ? "1" : "0") + "|";
        for (const auto& p : g->players)
            out += p->name + ":" + p->playerId + ":" + (p->emphasised ? "1" : "0") + ",";
        out += "\n";
    }
    return out;
}

std::string readTestPage(const char* name)
{
    return readFile(std::string(TURNBELL_TEST_DATA) + "/" + name);
}

// Every block of this program's operator new counts here while armed, so that a test can
// stop the poller at an exact allocation inside a parse and then tell which allocation
// made each record it got back.
namespace allocations {
bool armed = false;
std::size_t count = 0;   // allocations since arming
std::size_t stopAt = 0;  // the allocation, counted from 1, that clears pollerRunning
constexpr std::size_t capacity = 1 << 15;
const void* made[capacity];  // made[i] is the address of allocation i + 1

void record(const void* p)
{
    if (!armed) return;
    if (count < capacity) made[count] = p;
    if (++count == stopAt) pollerRunning = false;
}

// Whether p came from an allocation after the one that stopped the poller. A record
// still alive holds its address, so no later allocation can have returned it again.
bool madeAfterTheStop(const void* p)
{
    for (std::size_t i = stopAt; i < std::min(count, capacity); ++i)
        if (made[i] == p) return true;
    return false;
}
}  // namespace allocations

// Clears pollerRunning for one test and sets it again afterwards, whatever happens.
struct PollerStopped {
    PollerStopped() { pollerRunning = false; }
    ~PollerStopped() { pollerRunning = true; }
};

TEST(SearchPage, ReadsEveryGameOfASavedPage)
{
    const std::string page = readTestPage("search_fr.html");
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(summary(parse(page, "marie")),
              "\xc9"
              "checs|1201|jeu.php?id=1201|1|Marie:17:1,Bob:23:0,\n"
              "\xc9"
              "checs|1207|jeu.php?id=1207|0|Bob:23:0,Marie:17:0,Zo\xe9:41:1,\n"
              "Go 19x19|3310|jeu.php?id=3310|0|Marie:17:0,Hikaru:52:1,Lee:60:0,Ann:61:0,Cid:62:0,\n"
              "Dames|77|jeu.php?id=77|1|J\xe9r\xf4me:88:0,Marie:17:1,\n"
              "Dames|78|jeu.php?id=78|0|J\xe9r\xf4me:88:0,Marie:17:0,Nils:90:0,Olga:91:1,\n");
}

TEST(SearchPage, PagesWithoutGamesGiveNothing)
{
    for (const char* name : {"search_empty.html", "not_search.html"}) {
        const std::string page = readTestPage(name);
        ASSERT_FALSE(page.empty()) << name;
        EXPECT_TRUE(parse(page, "Marie").empty()) << name;
    }
}

TEST(SearchPage, RecognisesEitherTitle)
{
    const std::string games = section("Go") + game("5", "Ann", "Bob");
    struct Case {
        std::string page;
        std::size_t games;
    };
    const Case cases[] = {
        {title + games, 1},
        {"<h2>GAMES SEARCH</h2>" + games, 1},
        {"<h2>Games search</h2><p>Recherche de parties</p>" + games, 1},
        {"<h2>Games  search</h2>" + games, 0},
        {"<h2>Parties en cours</h2>" + games, 0},
        // A section before the title is not a section: there is none after it here.
        {games + title, 0},
        {section("Early") + game("1", "Ann", "Bob") + title + games, 1},
    };
    for (const auto& c : cases) {
        GameList found = parse(c.page, "ann");
        EXPECT_EQ(found.size(), c.games) << c.page;
        if (c.games == 1 && found.size() == 1) {
            EXPECT_EQ(found[0]->gameType, "Go");
        }
    }
}

TEST(SearchPage, MarkersMatchInAnyLetterCase)
{
    const std::string page =
        "<H2>RECHERCHE DE PARTIES</H2><TD CLASS=CLLISTEENTETE>&NBSP;&Nbsp;Go LIBRE</TD>"
        "<IMG SRC=IMG/ICO_ENCOURS.GIF><A HREF=\"Jeu.PHP?ID=77\">x</A>"
        "<A ONCLICK=\"DetailJoueur(AB7);\"><SPAN STYLE=\"Font-Weight:Bold\">Ann</SPAN>";
    EXPECT_EQ(summary(parse(page, "ANN")), "Go LIBRE|77|jeu.php?id=77|1|Ann:ab7:1,\n");
}

TEST(SearchPage, SectionWithoutGameTypeEndsThePage)
{
    const std::string first = section("Chess") + game("1", "Ann", "Bob");
    const std::string third = "class=clListeEntete>&nbsp;&nbsp;Go</td>" + game("3", "Ann", "Bob");
    const std::string broken[] = {
        "<tr><td class=clListeEntete>&nbsp;Draughts</td></tr>\n" + game("2", "Ann", "Bob") + "<td ",
        // "&nbsp;&nbsp;" but no tag after it before the next section
        "<tr><td class=clListeEntete>&nbsp;&nbsp;Draughts ",
    };
    for (const auto& second : broken) {
        GameList games = parse(title + first + second + third, "ann");
        ASSERT_EQ(games.size(), 1u) << second;
        EXPECT_EQ(games[0]->gameId, "1");
    }
    GameList games = parse(
        title + first + section("Draughts") + game("2", "Ann", "Bob") + "<td " + third, "ann");
    ASSERT_EQ(games.size(), 3u);
    EXPECT_EQ(games[2]->gameType, "Go");
}

TEST(SearchPage, LinkRule)
{
    struct Case {
        const char* anchor;
        const char* link;
        const char* id;
    };
    const Case cases[] = {
        {"href=\"jeu.php?id=42\"", "jeu.php?id=42", "42"},
        {"HREF=\"Jeu.PHP?ID=42\"", "jeu.php?id=42", "42"},
        {"href=\"p?id=12x3\"", "p?id=12x3", "12"},
        {"href=\"p?id=x12\"", "p?id=x12", ""},
        {"href=\"p?id=\"", "p?id=", ""},
        {"href=\"p.php\"", "p.php", ""},
        {"href=\"ab\"", "ab", ""},
        {"href=\"\"", "", ""},
        // One character between the quotes: the link starts at the closing quote and
        // runs to the next quote of the block.
        {"href=\"x\"", "\" title=", ""},
        {"href= \"abc\"", "", ""},
        {"href=abc\"", "bc", ""},
    };
    for (const auto& c : cases) {
        const std::string page = title + section("Go") + "<img src=img/ico_encours.gif><a " +
                                 c.anchor + " title=\"t\">x</a>" + player("1", "Ann", true);
        GameList games = parse(page, "ann");
        ASSERT_EQ(games.size(), 1u) << c.anchor;
        EXPECT_EQ(games[0]->link, c.link) << c.anchor;
        EXPECT_EQ(games[0]->gameId, c.id) << c.anchor;
    }
}

TEST(SearchPage, BlockWithoutLinkOrBoldMarkerIsSkipped)
{
    const char* broken[] = {
        "<a hre=\"jeu.php?id=9\">x</a><span style=\"font-weight:bold\">Ann</span>",
        "<a href=\"jeu.php?id=9>x</a><span style=font-weight:bold>Ann</span>",  // no closing quote
        "<a href=\"x\">x</a><span class=j style=font-weight:bold>Ann</span>",   // one-char link, no
                                                                                // quote after
        "<a href=\"jeu.php?id=9\">x</a><span style=\"font-weight:normal\">Ann</span>",
        "<a href=\"jeu.php?id=9\">x</a><span style=\"font-weight:bold\">Ann</spa>",
        "<span style=\"font-weight:bold\">Ann</span><a href=\"jeu.php?id=9\">x</a>",  // bold first
                                                                                      // is fine
    };
    for (std::size_t i = 0; i < sizeof broken / sizeof broken[0]; ++i) {
        const std::string page = title + section("Go") + "<img src=img/ico_encours.gif>" +
                                 broken[i] + game("5", "Bob", "Cid");
        GameList games = parse(page, "ann");
        const bool lastKept = i + 1 == sizeof broken / sizeof broken[0];
        ASSERT_EQ(games.size(), lastKept ? 2u : 1u) << broken[i];
        EXPECT_EQ(games.back()->gameId, "5") << broken[i];
    }
}

TEST(SearchPage, UserNameInTheBoldMarker)
{
    struct Case {
        std::string bold;
        const char* user;
        bool myTurn;
    };
    const Case cases[] = {
        {"Joanna", "ann", true},
        {"Joanna", "ANN", true},
        {"Joanna", "joannas", false},
        {"Bob", "bold", true},  // the marker's own text is searched too
        {"Bob", "", true},
        {"Ann+Lee", "Ann+Lee", true},
        {"Ann Lee", "Ann+Lee", false},
        {"J\xc9R\xd4ME", "j\xe9r\xf4me", true},
    };
    for (const auto& c : cases) {
        const std::string page = title + section("Go") + game("1", c.bold, "Zed");
        GameList games = parse(page, c.user);
        ASSERT_EQ(games.size(), 1u);
        EXPECT_EQ(games[0]->myTurn, c.myTurn) << c.bold << " / " << c.user;
    }
    // A name that stands only outside the bold stretch does not count.
    ASSERT_EQ(parse(title + section("Go") + game("1", "Bob", "Ann"), "ann").size(), 1u);
    EXPECT_FALSE(parse(title + section("Go") + game("1", "Bob", "Ann"), "ann")[0]->myTurn);
    // A bold stretch shorter than the name: "font-weight:bold" directly before "</span".
    GameList games = parse(
        title + section("Go") +
            "<img src=img/ico_encours.gif><a href=\"jj\">x</a><b style=font-weight:bold</span>"
            "joanna</span>",
        "font-weight:bold</");
    ASSERT_EQ(games.size(), 1u);
    EXPECT_FALSE(games[0]->myTurn);
}

TEST(SearchPage, EncodedUserNameMatchesOnlyTheEncodedForm)
{
    const std::string page = readTestPage("search_en.html");
    ASSERT_FALSE(page.empty());
    std::unique_ptr<char[]> encoded = urlEncodeForm("Ann Lee");
    GameList games = parse(page, encoded.get());
    ASSERT_EQ(games.size(), 3u);
    EXPECT_TRUE(games[0]->myTurn);  // bold "Ann+Lee", though a plain "ann lee" plays too
    EXPECT_FALSE(games[1]->myTurn);
    EXPECT_TRUE(games[2]->myTurn);
    EXPECT_EQ(games[2]->gameType, "Reversi");
    EXPECT_EQ(games[0]->link, "jeu.php?id=4001");
}

TEST(SearchPage, PlayerEntries)
{
    struct Case {
        std::string entries;
        std::string players;
    };
    const Case cases[] = {
        {"onclick=\"detailJoueur(AB12);\"><span class=abcdefg>Ann</span>", "Ann:ab12:0,"},
        {"onclick=\"detailJoueur(7);\"><span class=abcdefgh>Ann</span>", "Ann:7:1,"},
        // ")" after the name still ends the id
        {"onclick=\"detailJoueur(<span class=j>Bob</span>7)\"", "Bob:<span class=j>bob</span>7:0,"},
        // An entry without ")" or without "<span " ends the list; the game stays.
        {"onclick=\"detailJoueur(1)\"><span class=j>Ann</span>onclick=\"detailJoueur(2\"><span "
         "class=j>Bob</span>onclick=\"detailJoueur(3)\"><span class=j>Cid</span>",
         "Ann:1:0,"},
        {"onclick=\"detailJoueur(1)\"><span "
         "class=j>Ann</span>onclick=\"detailJoueur(2)\"><b>Bob</b>"
         "onclick=\"detailJoueur(3)\"><span class=j>Cid</span>",
         "Ann:1:0,"},
        {"onclick=\"detailJoueur(1)\"><span class=j", ""},
        {"onclick=\"detailJoueur(1)\"><span class=j>Ann", ""},
        {"onclick=\"detailJoueur(1)\"><span class=j>Ann<", "Ann:1:0,"},
        {"<span class=j>Ann</span>", ""},
    };
    for (const auto& c : cases) {
        const std::string page = title + section("Go") +
                                 "<img src=img/ico_encours.gif><a href=\"j?id=1\">x</a>"
                                 "<i style=font-weight:bold>x</span>" +
                                 c.entries;
        GameList games = parse(page, "ann");
        ASSERT_EQ(games.size(), 1u) << c.entries;
        EXPECT_EQ(summary(games), "Go|1|j?id=1|0|" + c.players + "\n") << c.entries;
    }
}

TEST(SearchPage, NulBytes)
{
    // In the game type: the type is cut there. The games of a section are looked for
    // from its start, so only a game placed before the label gets past the NUL.
    GameList typed = parse(title + "<td class=clListeEntete>" + game("1", "Ann", "Bob") +
                               "&nbsp;&nbsp;Go\0Libre</td>"s,
                           "ann");
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_EQ(typed[0]->gameType, "Go");
    EXPECT_EQ(typed[0]->players.size(), 2u);
    EXPECT_TRUE(parse(title + section("Go\0Libre"s) + game("1", "Ann", "Bob"), "ann").empty());
    // Before the title: the page is not recognised.
    EXPECT_TRUE(parse("\0"s + title + section("Go") + game("1", "Ann", "Bob"), "ann").empty());
    // In a player name: the name keeps it.
    GameList named = parse(title + section("Go") + game("1", "Ann", "Bo\0b"s), "ann");
    ASSERT_EQ(named.size(), 1u);
    ASSERT_EQ(named[0]->players.size(), 2u);
    EXPECT_EQ(named[0]->players[1]->name, "Bo\0b"s);
    // In the bold stretch: its end is not found, so the block yields no game.
    EXPECT_TRUE(parse(title + section("Go") + game("1", "An\0n"s, "Bob"), "ann").empty());
    // Between two games: no marker is found beyond it, so the first game's block runs
    // to the section end and the second game is not seen.
    GameList games = parse(title + section("Go") + game("1", "Ann", "Bob") + "\0"s +
                               game("2", "Ann", "Bob") + section("Chess") + game("3", "Ann", "Bob"),
                           "ann");
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0]->players.size(), 2u);
}

TEST(SearchPage, ReplyEndingInsideTheLastBlockIsReadUpToItsEnd)
{
    const std::string full =
        title + section("Go") + game("1", "Ann", "Bob") + game("2", "Bob", "Ann");
    // Cut the page at every length: nothing may be read past the cut (the reply's heap
    // block ends there), and the first game is whole once its block is.
    const std::size_t secondBlock = full.rfind("<tr><td><img");
    for (std::size_t length = 0; length <= full.size(); ++length) {
        GameList games = parse(full.substr(0, length), "ann");
        if (length >= secondBlock + 28) {
            ASSERT_GE(games.size(), 1u) << length;
            EXPECT_EQ(games[0]->players.size(), 2u) << length;
        }
    }
    const std::string cut = full.substr(0, full.rfind("</span></a>") + 1);  // ends at "<"
    GameList games = parse(cut, "ann");
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[1]->players.size(), 2u);
    EXPECT_EQ(games[1]->players[1]->name, "Ann");

    const std::string page = readTestPage("search_truncated.html");
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(summary(parse(page, "marie")), "Go 9x9|10|jeu.php?id=10|0|Marie:1:0,Bob:2:1,\n"
                                             "Go 9x9|11|jeu.php?id=11|1|Marie:1:1,Bob:2:0,\n");
}

TEST(SearchPage, StoppedPollerCreatesNoFurtherGames)
{
    const std::string page = readTestPage("search_fr.html");
    ASSERT_FALSE(page.empty());
    {
        PollerStopped stopped;
        EXPECT_TRUE(parse(page, "marie").empty());
    }
    EXPECT_TRUE(pollerRunning);
    EXPECT_EQ(parse(page, "marie").size(), 5u);
}

TEST(SearchPage, StopDuringTheParseKeepsAPrefixOfTheGames)
{
    // A long page; the poller is stopped at the stopAt-th allocation of the parse. What
    // was read by then is kept in page order, and no record is made after the stop.
    std::string page = title;
    for (int s = 0; s < 20; ++s) {
        page += section("Type" + std::to_string(s));
        for (int g = 0; g < 100; ++g) page += game(std::to_string(s * 100 + g), "Ann", "Bob");
    }
    const std::string full = summary(parse(page, "ann"));
    ASSERT_EQ(std::count(full.begin(), full.end(), '\n'), 2000);
    std::unique_ptr<char[]> reply(new char[page.size()]);
    std::memcpy(reply.get(), page.data(), page.size());

    // Every allocation of the first games, whatever it is for, then some further on:
    // at a section's start (game 100), and well inside the page.
    std::vector<std::size_t> stops;
    for (std::size_t n = 1; n <= 40; ++n) stops.push_back(n);
    for (std::size_t n : {490u, 500u, 510u, 3333u, 6000u}) stops.push_back(n);
    for (std::size_t stopAt : stops) {
        GameList games;
        allocations::count = 0;
        allocations::stopAt = stopAt;
        allocations::armed = true;
        onAllocation = allocations::record;
        parseSearchPage(reply.get(), static_cast<int>(page.size()), games, "ann");
        allocations::armed = false;
        const bool stopped = !pollerRunning;
        pollerRunning = true;
        ASSERT_TRUE(stopped) << stopAt;
        ASSERT_LE(allocations::count, allocations::capacity) << stopAt;  // all of them seen

        EXPECT_LT(games.size(), 2000u) << stopAt;
        for (const auto& g : games) {
            EXPECT_FALSE(allocations::madeAfterTheStop(g.get())) << stopAt << " game " << g->gameId;
            for (const auto& p : g->players)
                EXPECT_FALSE(allocations::madeAfterTheStop(p.get()))
                    << stopAt << " game " << g->gameId << " player " << p->name;
        }
        if (games.empty()) continue;
        // Every game but the last is whole; the last may have fewer players.
        const std::string partial = summary(games);
        const std::size_t lastLine = partial.rfind('\n', partial.size() - 2);
        const std::string whole =
            lastLine == std::string::npos ? "" : partial.substr(0, lastLine + 1);
        EXPECT_EQ(full.compare(0, whole.size(), whole), 0) << stopAt;
        const GameRecord& last = *games.back();
        EXPECT_EQ(last.gameId, std::to_string(games.size() - 1)) << stopAt;
        ASSERT_LE(last.players.size(), 2u);
        for (std::size_t k = 0; k < last.players.size(); ++k)
            EXPECT_EQ(last.players[k]->name, k == 0 ? "Ann" : "Bob");
    }
}

}  // namespace
