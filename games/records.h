// Game records: what the program knows about the user's games in progress.
//
// A GameList owns its GameRecords and a GameRecord owns its PlayerRecords, through
// std::unique_ptr, so a record can be neither leaked nor shared between two lists.
// The poller thread builds a fresh list per poll; the UI thread keeps deep copies of
// the last delivered one in currentGames.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

struct PlayerRecord {
    std::string name;      // display name, in the page's letter case
    std::string playerId;  // text between the player marker and ")", lower case
    bool emphasised = false;
};

using PlayerList = std::deque<std::unique_ptr<PlayerRecord>>;

struct GameRecord {
    std::string link;       // as cut from the search page, lower case
    std::string gameType;   // label of the page section, in the page's letter case
    std::string gameId;     // decimal digits only, or empty
    PlayerList players;     // page order
    bool myTurn = false;    // the game waits for the user's move
    bool notified = false;  // the user has already been told about it
};

using GameList = std::deque<std::unique_ptr<GameRecord>>;

// The UI thread's list: the last delivered poll result, in page order.
extern GameList currentGames;

// A new record from the pieces the parser cut out. idText points just after "?id="
// (or is null when the link has none); the id is the run of '0'..'9' there, read at
// most up to idEnd. The record has no players and is not notified.
std::unique_ptr<GameRecord> makeGameRecord(const char* link, std::size_t linkLength,
                                           std::string gameType, const char* idText,
                                           const char* idEnd, bool myTurn);

std::unique_ptr<PlayerRecord> makePlayerRecord(std::string name, std::string playerId,
                                               bool emphasised);

// A copy that shares nothing with its source, players included.
std::unique_ptr<GameRecord> copyGameRecord(const GameRecord& source);

void clearGameList(GameList& list);

// gameId read as a signed decimal integer: empty reads as 0, a run of digits beyond
// INT_MAX reads as INT_MAX. Rows of the game list carry this number.
int gameIdNumber(const std::string& gameId);

// The first record of the list whose numeric id equals id, or null.
GameRecord* findGameById(const GameList& list, int id);

// The players' names in order, ", " before a name whenever the text so far is not empty.
std::string joinPlayerNames(const GameRecord& game);
