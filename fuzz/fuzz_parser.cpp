// libFuzzer target for the search page parser.
//
// Input layout: the first byte gives the length (0-31) of the user name that follows
// it; the rest is the reply. The name is form-encoded as a poll does, and the reply is
// copied into a heap block of exactly its size, so that a read past its end trips
// AddressSanitizer. Each input also checks findBounded against the plain one-position-
// at-a-time search for one of the page markers, and that the parse's report agrees with
// the games it appended to a list that already held one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "games/records.h"
#include "poller/encode.h"
#include "poller/parser.h"
#include "poller/parser_internal.h"
#include "poller/reply.h"

namespace {

// A poll never reads more of the reply than this.
constexpr std::size_t replyLimit = REPLY_BUFFER_SIZE;

const char* const markers[] = {
    pageTitleMarker,  pageTitleMarkerEnglish,
    sectionMarker,    gameTypeMarker,
    gameMarker,       linkMarker,
    gameIdMarker,     boldMarker,
    boldEndMarker,    playerMarker,
    playerNameMarker, "",
};

std::ptrdiff_t plainFindBounded(const char* text, const char* needle, std::ptrdiff_t limit)
{
    const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(std::strlen(needle));
    if (m == 0) return 0;
    for (std::ptrdiff_t i = 0; i <= limit - m; ++i) {
        if (text[i] == '\0') return -1;
        std::ptrdiff_t k = 0;
        while (k < m && text[i + k] == needle[k]) ++k;
        if (k == m) return i;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::size_t nameLength = data[0] % 32 < size - 1 ? data[0] % 32 : size - 1;
    std::string name(reinterpret_cast<const char*>(data) + 1, nameLength);
    name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
    const std::size_t replyLength =
        size - 1 - nameLength > replyLimit ? replyLimit : size - 1 - nameLength;

    std::unique_ptr<char[]> reply(new char[replyLength]);
    if (replyLength) std::memcpy(reply.get(), data + 1 + nameLength, replyLength);

    std::unique_ptr<char[]> encoded = urlEncodeForm(name.c_str());
    if (!encoded) return 0;
    GameList games;
    games.push_back(std::make_unique<GameRecord>());
    const GameRecord* const held = games.front().get();
    ParseReport report;
    parseSearchPage(reply.get(), static_cast<int>(replyLength), games, encoded.get(), &report);
    // The record held stays first, and the report never disagrees with the result: it
    // counts the games appended, and a page without the title, or without a section,
    // appended none.
    const int appended = static_cast<int>(games.size()) - 1;
    if (games.front().get() != held || report.games != appended ||
        (!report.searchPage && (report.sections != 0 || appended != 0)) ||
        (report.sections == 0 && appended != 0))
        __builtin_trap();
    clearGameList(games);

    const char* needle = markers[data[0] / 32 % (sizeof markers / sizeof markers[0])];
    const std::ptrdiff_t limit = static_cast<std::ptrdiff_t>(replyLength);
    const char* found = findBounded(reply.get(), needle, limit);
    if ((found ? found - reply.get() : -1) != plainFindBounded(reply.get(), needle, limit))
        __builtin_trap();
    return 0;
}
