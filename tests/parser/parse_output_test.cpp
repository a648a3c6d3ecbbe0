#include "parse/parse_output.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

// A field keeps only printable ASCII.
TEST(ParseOutput, EscapesEverythingButPrintableAscii)
{
    struct Case {
        std::string bytes;
        const char* printed;
    };
    const Case cases[] = {
        {"Go 19x19", "Go 19x19"},
        {"~ !", "~ !"},
        {"a\\b", "a\\x5cb"},
        {"\t\n\r", "\\x09\\x0a\\x0d"},
        {"\0\x1f\x7f"s, "\\x00\\x1f\\x7f"},
        {"\x1b[2J", "\\x1b[2J"},
        {"\xc9"
         "checs",
         "\\xc9checs"},
        {"\xff", "\\xff"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(escapeField(c.bytes), c.printed);
}

TEST(ParseOutput, OneLinePerRecordInListOrder)
{
    GameList games;
    const char link[] = "jeu.php?id=12";
    games.push_back(makeGameRecord(link, sizeof link - 1, "Go\tLibre", link + 11, link + 13, true));
    games[0]->players.push_back(makePlayerRecord("Zo\xe9", "7", false));
    games[0]->players.push_back(makePlayerRecord("Bob", "8", true));
    games.push_back(makeGameRecord("x", 1, "", nullptr, nullptr, false));
    EXPECT_EQ(formatParsedPage("Ann+Lee", games), "user\tAnn+Lee\n"
                                                  "game\t12\t1\tGo\\x09Libre\tjeu.php?id=12\n"
                                                  "player\t7\t0\tZo\\xe9\n"
                                                  "player\t8\t1\tBob\n"
                                                  "game\t\t0\t\tx\n");
    EXPECT_EQ(formatParsedPage("%26", GameList()), "user\t%26\n");
}

}  // namespace
