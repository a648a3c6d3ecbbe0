// Game lists as the tests write them: each game by its id, whether it waits for the user,
// its type and its players (an empty type and none, unless given).
#pragma once

#include <string>
#include <vector>

#include "games/records.h"

struct GameSketch {
    const char* id;
    bool myTurn;
    const char* type = "";
    std::vector<const char*> players = {};
};

// The records as the parser makes them, each with the link "jeu.php?id=<id>".
inline GameList gameList(const std::vector<GameSketch>& games)
{
    GameList list;
    for (const auto& sketch : games) {
        const std::string link = std::string("jeu.php?id=") + sketch.id;
        const char* id = link.c_str() + link.find('=') + 1;
        list.push_back(makeGameRecord(link.data(), link.size(), sketch.type, id,
                                      link.data() + link.size(), sketch.myTurn));
        for (const char* name : sketch.players)
            list.back()->players.push_back(makePlayerRecord(name, "p", false));
    }
    return list;
}

// Those games as the last poll's, in place of any before.
inline void setCurrentGames(const std::vector<GameSketch>& games)
{
    clearGameList(currentGames);
    currentGames = gameList(games);
}
