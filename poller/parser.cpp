#include "poller/parser.h"
#include "poller/parser_internal.h"

#include <cstring>
#include <memory>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "poller/lowercase.h"
#include "poller/running.h"

namespace {

// The first occurrence of needle (length bytes, length >= 1) wholly inside
// [text, text + limit), ignoring NUL bytes: a scan for the needle's
// first byte, comparing the whole needle wherever it turns up.
const char* findNeedleByFirstByte(const char* text, std::size_t limit, const char* needle,
                                  std::size_t length)
{
    if (limit < length) return nullptr;
    const char* scan = text;
    const char* const lastStart = text + (limit - length);
    while (scan <= lastStart) {
        const void* hit =
            std::memchr(scan, needle[0], static_cast<std::size_t>(lastStart - scan) + 1);
        if (!hit) return nullptr;
        const char* start = static_cast<const char*>(hit);
        if (std::memcmp(start + 1, needle + 1, length - 1) == 0) return start;
        scan = start + 1;
    }
    return nullptr;
}

// The same search, sixteen start positions at a time where SSE2 is at hand: a position
// is a candidate when both the needle's first and last bytes line up there, which
// markers in HTML rarely do by chance; only candidates are compared in full. The start
// positions that do not fill a group of sixteen go to the byte-wise search.
const char* findNeedle(const char* text, std::size_t limit, const char* needle, std::size_t length)
{
    std::size_t start = 0;
#ifdef __SSE2__
    if (length >= 2) {
        const std::size_t starts = limit - length + 1;
        const __m128i first = _mm_set1_epi8(needle[0]);
        const __m128i last = _mm_set1_epi8(needle[length - 1]);
        // Both loads end at or before text + limit: start + 15 + length - 1 < limit.
        for (; start + 16 <= starts; start += 16) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + start));
            const __m128i tails =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + start + length - 1));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last))));
            while (mask != 0) {
                const char* candidate = text + start + static_cast<unsigned>(__builtin_ctz(mask));
                if (std::memcmp(candidate + 1, needle + 1, length - 2) == 0) return candidate;
                mask &= mask - 1;
            }
        }
    }
#endif
    return findNeedleByFirstByte(text + start, limit - start, needle, length);
}

// Offsets into the lowered copy: the needle within [from, to), or -1.
std::ptrdiff_t findIn(const char* lowered, std::ptrdiff_t from, std::ptrdiff_t to,
                      const char* needle)
{
    if (from > to) return -1;
    const char* found = findBounded(lowered + from, needle, to - from);
    return found ? found - lowered : -1;
}

std::ptrdiff_t findCharIn(const char* lowered, std::ptrdiff_t from, std::ptrdiff_t to, char c)
{
    if (from >= to) return -1;
    const char* found = findChar(lowered + from, c, to - from);
    return found ? found - lowered : -1;
}

constexpr std::ptrdiff_t lengthOf(const char* marker)
{
    std::ptrdiff_t n = 0;
    while (marker[n]) ++n;
    return n;
}

bool keepGoing() { return pollerRunning.load(std::memory_order_relaxed); }

// The game of one block [block, blockEnd), without its players, or null when the block
// lacks the link, the bold marker or the end of the bold marker's span.
std::unique_ptr<GameRecord> gameFromBlock(const char* lowered, std::ptrdiff_t block,
                                          std::ptrdiff_t blockEnd, const char* loweredUserName,
                                          const std::string& gameType)
{
    const std::ptrdiff_t href = findIn(lowered, block, blockEnd, linkMarker);
    if (href < 0) return nullptr;

    // The link normally starts after href=" (the opening quote is stepped over without
    // looking at it) and ends at the next double quote. When that quote comes one byte
    // after the start, the link instead starts at that quote and runs to the one after.
    std::ptrdiff_t linkStart = href + lengthOf(linkMarker) + 1;
    std::ptrdiff_t linkEnd = findCharIn(lowered, linkStart, blockEnd, '"');
    if (linkEnd < 0) return nullptr;
    if (linkEnd == linkStart + 1) {
        linkStart = linkEnd;
        linkEnd = findCharIn(lowered, linkStart + 1, blockEnd, '"');
        if (linkEnd < 0) return nullptr;
    }

    const std::ptrdiff_t bold = findIn(lowered, block, blockEnd, boldMarker);
    if (bold < 0) return nullptr;
    const std::ptrdiff_t boldEnd = findIn(lowered, bold, blockEnd, boldEndMarker);
    if (boldEnd < 0) return nullptr;
    // The bold marker's own text belongs to the stretch the user name is looked for in.
    const bool myTurn = findBounded(lowered + bold, loweredUserName, boldEnd - bold) != nullptr;

    const std::ptrdiff_t id = findIn(lowered, linkStart, linkEnd, gameIdMarker);
    const char* idText = id >= 0 ? lowered + id + lengthOf(gameIdMarker) : nullptr;
    return makeGameRecord(lowered + linkStart, static_cast<std::size_t>(linkEnd - linkStart),
                          gameType, idText, lowered + linkEnd, myTurn);
}

// The player entries of one game block [blockStart, blockEnd), appended to game.players.
void parsePlayers(GameRecord& game, const char* reply, const char* lowered,
                  std::ptrdiff_t blockStart, std::ptrdiff_t blockEnd)
{
    const std::ptrdiff_t markerLength = lengthOf(playerMarker);
    std::ptrdiff_t marker = findIn(lowered, blockStart, blockEnd, playerMarker);
    while (marker >= 0) {
        if (!keepGoing()) return;
        const std::ptrdiff_t entry = marker + markerLength;
        const std::ptrdiff_t next = findIn(lowered, entry, blockEnd, playerMarker);
        const std::ptrdiff_t entryEnd = next >= 0 ? next : blockEnd;

        const std::ptrdiff_t idEnd = findCharIn(lowered, entry, entryEnd, ')');
        if (idEnd < 0) return;
        const std::ptrdiff_t span = findIn(lowered, entry, entryEnd, playerNameMarker);
        if (span < 0) return;
        const std::ptrdiff_t tagEnd = findCharIn(lowered, span, entryEnd, '>');
        if (tagEnd < 0) return;
        const std::ptrdiff_t nameEnd = findCharIn(lowered, tagEnd + 1, entryEnd, '<');
        if (nameEnd < 0) return;

        const bool emphasised = tagEnd - span + 1 > plainSpanTagLength;
        game.players.push_back(makePlayerRecord(std::string(reply + tagEnd + 1, reply + nameEnd),
                                                std::string(lowered + entry, lowered + idEnd),
                                                emphasised));
        marker = next;
    }
}

// The game blocks of one section [sectionStart, sectionStart + sectionLength), appended
// to out with the section's game type.
void parseGameSection(const char* reply, const char* lowered, std::ptrdiff_t sectionStart,
                      std::ptrdiff_t sectionLength, GameList& out, const char* loweredUserName,
                      const std::string& gameType)
{
    const std::ptrdiff_t sectionEnd = sectionStart + sectionLength;
    std::ptrdiff_t block = findIn(lowered, sectionStart, sectionEnd, gameMarker);
    while (block >= 0) {
        if (!keepGoing()) return;
        const std::ptrdiff_t next =
            findIn(lowered, block + lengthOf(gameMarker), sectionEnd, gameMarker);
        const std::ptrdiff_t blockEnd = next >= 0 ? next : sectionEnd;
        if (auto game = gameFromBlock(lowered, block, blockEnd, loweredUserName, gameType)) {
            parsePlayers(*game, reply, lowered, block, blockEnd);
            out.push_back(std::move(game));
        }
        block = next;
    }
}

}  // namespace

const char* findBounded(const char* text, const char* needle, std::ptrdiff_t limit)
{
    const std::size_t length = std::strlen(needle);
    if (length == 0) return text;
    if (limit < static_cast<std::ptrdiff_t>(length)) return nullptr;
    const char* match = findNeedle(text, static_cast<std::size_t>(limit), needle, length);
    // The needle holds no NUL, so a NUL never lies inside a match; one at any earlier
    // start position would have ended the search before the match was reached.
    if (!match || std::memchr(text, '\0', static_cast<std::size_t>(match - text))) return nullptr;
    return match;
}

const char* findChar(const char* text, char c, std::ptrdiff_t count)
{
    if (count <= 0) return nullptr;
    return static_cast<const char*>(std::memchr(text, c, static_cast<std::size_t>(count)));
}

namespace {

// The page: its title, then section after section.
void parsePage(const char* reply, int length, GameList& out, const char* userName,
               ParseReport& seen)
{
    if (!reply || length <= 0 || !userName) return;
    const std::ptrdiff_t size = length;

    std::unique_ptr<char[]> loweredCopy(new (std::nothrow) char[static_cast<std::size_t>(size)]);
    const std::size_t userLength = std::strlen(userName);
    std::unique_ptr<char[]> loweredUserName(new (std::nothrow) char[userLength + 1]);
    if (!loweredCopy || !loweredUserName) return;
    std::memcpy(loweredCopy.get(), reply, static_cast<std::size_t>(size));
    lowerBytes(loweredCopy.get(), static_cast<std::size_t>(size));
    std::memcpy(loweredUserName.get(), userName, userLength + 1);
    lowerBytes(loweredUserName.get(), userLength);
    const char* lowered = loweredCopy.get();

    std::ptrdiff_t title = findIn(lowered, 0, size, pageTitleMarker);
    if (title < 0) title = findIn(lowered, 0, size, pageTitleMarkerEnglish);
    if (title < 0) return;
    seen.searchPage = true;

    const std::ptrdiff_t sectionMarkerLength = lengthOf(sectionMarker);
    std::ptrdiff_t section = findIn(lowered, title, size, sectionMarker);
    while (section >= 0) {
        const std::ptrdiff_t text = section + sectionMarkerLength;
        const std::ptrdiff_t next = findIn(lowered, text, size, sectionMarker);
        const std::ptrdiff_t textEnd = next >= 0 ? next : size;

        // The section's game type stands between "&nbsp;&nbsp;" and the next tag. A
        // section without it ends the whole page.
        const std::ptrdiff_t nbsp = findIn(lowered, text, textEnd, gameTypeMarker);
        if (nbsp < 0) return;
        const std::ptrdiff_t typeStart = nbsp + lengthOf(gameTypeMarker);
        const std::ptrdiff_t typeEnd = findCharIn(lowered, typeStart, textEnd, '<');
        if (typeEnd < 0) return;
        const char* typeText = reply + typeStart;
        const void* nul =
            std::memchr(typeText, '\0', static_cast<std::size_t>(typeEnd - typeStart));
        const std::string gameType(typeText, nul ? static_cast<const char*>(nul) : reply + typeEnd);

        ++seen.sections;
        parseGameSection(reply, lowered, text, textEnd - text, out, loweredUserName.get(),
                         gameType);
        if (!keepGoing()) return;
        section = next;
    }
}

}  // namespace

void parseSearchPage(const char* reply, int length, GameList& out, const char* userName,
                     ParseReport* report)
{
    ParseReport seen;
    const std::size_t before = out.size();
    parsePage(reply, length, out, userName, seen);
    seen.games = static_cast<int>(out.size() - before);
    if (report) *report = seen;
}
