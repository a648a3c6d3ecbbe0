#include "games/records.h"

#include <climits>

GameList currentGames;

std::unique_ptr<GameRecord> makeGameRecord(const char* link, std::size_t linkLength,
                                           std::string gameType, const char* idText,
                                           const char* idEnd, bool myTurn)
{
    auto game = std::make_unique<GameRecord>();
    game->link.assign(link, linkLength);
    game->gameType = std::move(gameType);
    if (idText) {
        const char* end = idText;
        while (end < idEnd && *end >= '0' && *end <= '9') ++end;
        game->gameId.assign(idText, end);
    }
    game->myTurn = myTurn;
    return game;
}

std::unique_ptr<PlayerRecord> makePlayerRecord(std::string name, std::string playerId,
                                               bool emphasised)
{
    auto player = std::make_unique<PlayerRecord>();
    player->name = std::move(name);
    player->playerId = std::move(playerId);
    player->emphasised = emphasised;
    return player;
}

std::unique_ptr<GameRecord> copyGameRecord(const GameRecord& source)
{
    auto copy = std::make_unique<GameRecord>();
    copy->link = source.link;
    copy->gameType = source.gameType;
    copy->gameId = source.gameId;
    for (const auto& player : source.players)
        copy->players.push_back(std::make_unique<PlayerRecord>(*player));
    copy->myTurn = source.myTurn;
    copy->notified = source.notified;
    return copy;
}

void clearGameList(GameList& list)
{
    for (auto& game : list) game.reset();
    list.clear();
}

int gameIdNumber(const std::string& gameId)
{
    long long value = 0;
    for (char c : gameId) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value >= INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

GameRecord* findGameById(const GameList& list, int id)
{
    for (const auto& game : list)
        if (gameIdNumber(game->gameId) == id) return game.get();
    return nullptr;
}

std::string joinPlayerNames(const GameRecord& game)
{
    std::string text;
    for (const auto& player : game.players) {
        if (!text.empty()) text += ", ";
        text += player->name;
    }
    return text;
}
