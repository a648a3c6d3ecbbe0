#include "parse/parse_output.h"

#include <cstring>

std::string escapeField(const char* bytes, std::size_t length)
{
    static const char hexDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x20 && b <= 0x7E && b != '\\') {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += hexDigits[b >> 4];
            out += hexDigits[b & 0x0F];
        }
    }
    return out;
}

std::string escapeField(const std::string& text) { return escapeField(text.data(), text.size()); }

std::string formatParsedPage(const char* encodedUserName, const GameList& games)
{
    std::string out = "user\t" + escapeField(encodedUserName, std::strlen(encodedUserName)) + "\n";
    for (const auto& game : games) {
        out += "game\t" + escapeField(game->gameId) + "\t" + (game->myTurn ? "1" : "0") + "\t" +
               escapeField(game->gameType) + "\t" + escapeField(game->link) + "\n";
        for (const auto& player : game->players)
            out += "player\t" + escapeField(player->playerId) + "\t" +
                   (player->emphasised ? "1" : "0") + "\t" + escapeField(player->name) + "\n";
    }
    return out;
}
