#include "tools/parse_output.h"

#include <cstring>

namespace {

// Writes the bytes that keep() refuses as \x and two lower-case hex digits.
template <typename Keep> std::string escapeBytes(const char* bytes, std::size_t length, Keep keep)
{
    static const char hexDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (keep(b)) {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += hexDigits[b >> 4];
            out += hexDigits[b & 0x0F];
        }
    }
    return out;
}

}  // namespace

std::string escapeField(const char* bytes, std::size_t length)
{
    return escapeBytes(bytes, length,
                       [](unsigned char b) { return b >= 0x20 && b <= 0x7E && b != '\\'; });
}

std::string escapeField(const std::string& text) { return escapeField(text.data(), text.size()); }

std::string escapeControlBytes(const std::string& text)
{
    return escapeBytes(text.data(), text.size(),
                       [](unsigned char b) { return (b >= 0x20 || b == '\t') && b != 0x7F; });
}

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
