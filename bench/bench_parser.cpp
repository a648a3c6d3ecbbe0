// How fast the search page parser is, measured on one realistic 128 KiB result page
// against two yardsticks in the same run:
//
//   parser  parseSearchPage, including the records it allocates and destroying them;
//   floor   the least any parser of this design can do: make the lowered copy of the
//           page and scan it once with memchr (counting '<');
//   gumbo   what a scraper author would reach for: a full HTML parser (Gumbo) building
//           the document tree, then one walk over it that extracts the same games.
//
// Before anything is timed the parser's and Gumbo's results are compared field by field;
// the program stops with a message when they differ, so the two are known to do the same
// job. After the runs it prints the three rates and the two ratios.
//
//   bench_parser [benchmark flags] [page.html]      (default: the committed bench page)

#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "games/records.h"
#include "poller/lowercase.h"
#include "poller/parser.h"

namespace {

// The user whose games the page lists, as the poll cycle passes it (form-encoded).
const char* const benchUser = "Marguerite";

std::string page;
std::string loweredUser;

bool loadPage(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    page.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !page.empty();
}

std::string lowered(std::string text)
{
    lowerBytes(&text[0], text.size());
    return text;
}

bool startsWithNoCase(const char* text, const char* prefix)
{
    std::size_t n = std::strlen(prefix);
    return std::strlen(text) >= n && lowered(std::string(text, n)) == prefix;
}

bool endsWithNoCase(const char* text, const char* suffix)
{
    std::size_t length = std::strlen(text), n = std::strlen(suffix);
    return length >= n && lowered(std::string(text + length - n, n)) == suffix;
}

// Leading blanks and non-breaking spaces (U+00A0 as Gumbo decodes "&nbsp;") and
// trailing blanks removed.
std::string trimmed(const std::string& text)
{
    std::size_t start = 0;
    for (;;) {
        if (start < text.size() && (text[start] == ' ' || text[start] == '\t' ||
                                    text[start] == '\n' || text[start] == '\r')) {
            ++start;
        } else if (text.compare(start, 2, "\xC2\xA0") == 0) {
            start += 2;
        } else {
            break;
        }
    }
    std::size_t end = text.size();
    while (end > start && std::strchr(" \t\r\n", text[end - 1])) --end;
    return text.substr(start, end - start);
}

const char* attribute(const GumboNode* node, const char* name)
{
    const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, name);
    return a ? a->value : nullptr;
}

// The text of the node's first text child, or "".
std::string firstText(const GumboNode* node)
{
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        auto child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT) return child->v.text.text;
    }
    return std::string();
}

const GumboNode* firstChildElement(const GumboNode* node, GumboTag tag)
{
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        auto child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == tag) return child;
    }
    return nullptr;
}

// One walk over the document tree in document order, the way a scraper reads the
// page: after the page title, a cell of class clListeEntete opens a game type section;
// the "game in progress" icon opens a game; in a game the first link is the game's,
// the first bold span names the player to move, and every element whose onclick calls
// detailJoueur(id) is a player whose name is in its span.
struct TreeScan {
    GameList* out = nullptr;
    bool titleSeen = false;
    bool inSection = false;
    std::string gameType;
    bool inGame = false;
    bool haveLink = false;
    bool haveBold = false;
    bool myTurn = false;
    std::string link;
    std::vector<std::unique_ptr<PlayerRecord>> players;

    void finishGame()
    {
        if (inGame && haveLink && haveBold) {
            std::size_t id = link.find("?id=");
            const char* idText = id == std::string::npos ? nullptr : link.data() + id + 4;
            auto game = makeGameRecord(link.data(), link.size(), gameType, idText,
                                       link.data() + link.size(), myTurn);
            for (auto& player : players) game->players.push_back(std::move(player));
            out->push_back(std::move(game));
        }
        inGame = haveLink = haveBold = myTurn = false;
        link.clear();
        players.clear();
    }

    void element(const GumboNode* node)
    {
        const GumboElement& e = node->v.element;
        const char* cls = attribute(node, "class");
        if (titleSeen && cls && lowered(cls) == "cllisteentete") {
            finishGame();
            inSection = true;
            gameType = trimmed(firstText(node));
            return;
        }
        if (!inSection) return;
        if (e.tag == GUMBO_TAG_IMG) {
            const char* src = attribute(node, "src");
            if (src && endsWithNoCase(src, "img/ico_encours.gif")) {
                finishGame();
                inGame = true;
            }
            return;
        }
        if (!inGame) return;
        if (e.tag == GUMBO_TAG_A && !haveLink) {
            if (const char* href = attribute(node, "href")) {
                link = lowered(href);
                haveLink = true;
            }
        }
        if (e.tag == GUMBO_TAG_SPAN && !haveBold) {
            const char* style = attribute(node, "style");
            if (style && lowered(style).find("font-weight:bold") != std::string::npos) {
                haveBold = true;
                myTurn = lowered(firstText(node)).find(loweredUser) != std::string::npos;
            }
        }
        const char* onclick = attribute(node, "onclick");
        if (onclick && startsWithNoCase(onclick, "detailjoueur(")) {
            const char* idStart = onclick + std::strlen("detailjoueur(");
            const char* idEnd = std::strchr(idStart, ')');
            if (!idEnd) return;
            const GumboNode* span = firstChildElement(node, GUMBO_TAG_SPAN);
            if (!span) return;
            players.push_back(makePlayerRecord(firstText(span),
                                               lowered(std::string(idStart, idEnd)),
                                               attribute(span, "style") != nullptr));
        }
    }

    void walk(const GumboNode* node)
    {
        if (node->type == GUMBO_NODE_TEXT) {
            if (!titleSeen) {
                std::string text = lowered(node->v.text.text);
                titleSeen = text.find("recherche de parties") != std::string::npos ||
                            text.find("games search") != std::string::npos;
            }
            return;
        }
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) return;
        if (node->type == GUMBO_NODE_ELEMENT) element(node);
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i)
            walk(static_cast<const GumboNode*>(children.data[i]));
    }
};

void gumboExtract(const std::string& html, GameList& out)
{
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    TreeScan scan;
    scan.out = &out;
    scan.walk(output->document);
    scan.finishGame();
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

void parserExtract(const std::string& html, GameList& out)
{
    parseSearchPage(html.data(), static_cast<int>(html.size()), out, benchUser);
}

// Stops the program with a message unless both extractions found the same games with
// the same ids, links, turn flags, game types and players.
void checkSameGames()
{
    GameList fromParser, fromGumbo;
    parserExtract(page, fromParser);
    gumboExtract(page, fromGumbo);
    auto fail = [&](std::size_t index, const char* what, const std::string& a,
                    const std::string& b) {
        std::fprintf(stderr,
                     "parser and Gumbo disagree at game %zu (%s): parser \"%s\", Gumbo \"%s\"\n",
                     index, what, a.c_str(), b.c_str());
        std::exit(2);
    };
    if (fromParser.size() != fromGumbo.size())
        fail(0, "number of games", std::to_string(fromParser.size()),
             std::to_string(fromGumbo.size()));
    if (fromParser.empty()) {
        std::fprintf(stderr, "no games found on the page: nothing to compare\n");
        std::exit(2);
    }
    std::size_t waiting = 0, players = 0;
    for (std::size_t i = 0; i < fromParser.size(); ++i) {
        const GameRecord& p = *fromParser[i];
        const GameRecord& g = *fromGumbo[i];
        if (p.gameId != g.gameId) fail(i, "gameId", p.gameId, g.gameId);
        if (p.link != g.link) fail(i, "link", p.link, g.link);
        if (p.myTurn != g.myTurn)
            fail(i, "myTurn", p.myTurn ? "true" : "false", g.myTurn ? "true" : "false");
        if (trimmed(p.gameType) != g.gameType) fail(i, "gameType", p.gameType, g.gameType);
        if (p.players.size() != g.players.size())
            fail(i, "number of players", std::to_string(p.players.size()),
                 std::to_string(g.players.size()));
        for (std::size_t k = 0; k < p.players.size(); ++k) {
            if (p.players[k]->playerId != g.players[k]->playerId)
                fail(i, "playerId", p.players[k]->playerId, g.players[k]->playerId);
            if (p.players[k]->name != g.players[k]->name)
                fail(i, "player name", p.players[k]->name, g.players[k]->name);
        }
        waiting += p.myTurn;
        players += p.players.size();
    }
    std::printf("page: %zu bytes, %zu games (%zu waiting for %s), %zu players; "
                "parser and Gumbo agree\n",
                page.size(), fromParser.size(), waiting, benchUser, players);
}

void benchParser(benchmark::State& state)
{
    for (auto _ : state) {
        GameList list;
        parserExtract(page, list);
        benchmark::DoNotOptimize(list.size());
        clearGameList(list);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}

void benchFloor(benchmark::State& state)
{
    const std::size_t n = page.size();
    for (auto _ : state) {
        std::unique_ptr<char[]> copy(new char[n]);
        benchmark::DoNotOptimize(copy.get());
        std::memcpy(copy.get(), page.data(), n);
        lowerBytes(copy.get(), n);
        std::size_t tags = 0;
        const char* at = copy.get();
        const char* end = at + n;
        while ((at = static_cast<const char*>(std::memchr(at, '<', end - at))) != nullptr) {
            ++tags;
            ++at;
        }
        benchmark::DoNotOptimize(tags);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

void benchGumbo(benchmark::State& state)
{
    for (auto _ : state) {
        GameList list;
        gumboExtract(page, list);
        benchmark::DoNotOptimize(list.size());
        clearGameList(list);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(page.size()));
}

// The console table as usual, plus each benchmark's CPU time per iteration (in
// seconds) for the summary: the median of the repetitions when there are several,
// otherwise the best run.
class RateReporter : public benchmark::ConsoleReporter {
public:
    explicit RateReporter(bool color) : ConsoleReporter(color ? OO_ColorTabular : OO_Tabular) {}

    double seconds(const std::string& name) const
    {
        auto median = medians.find(name);
        if (median != medians.end()) return median->second;
        auto best = bests.find(name);
        return best != bests.end() ? best->second : 0.0;
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            double t = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medians[name] = t;
            } else {
                auto found = bests.find(name);
                if (found == bests.end() || t < found->second) bests[name] = t;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::map<std::string, double> medians, bests;
};

// A reporter of our own does not follow --benchmark_color, so the flag is read here:
// colour on a terminal unless the flag says otherwise.
bool wantColor(int argc, char** argv)
{
    bool color = isatty(fileno(stdout));
    const char flag[] = "--benchmark_color=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], flag, sizeof flag - 1) != 0) continue;
        std::string value = argv[i] + sizeof flag - 1;
        color = value == "true" || value == "yes" || value == "1" || (value == "auto" && color);
    }
    return color;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool color = wantColor(argc, argv);
    benchmark::Initialize(&argc, argv);
    const char* path = argc > 1 ? argv[1] : TURNBELL_BENCH_PAGE;
    if (argc > 2 || !loadPage(path)) {
        std::fprintf(stderr, "usage: %s [benchmark flags] [page.html]\ncannot read %s\n", argv[0],
                     path);
        return 1;
    }
    loweredUser = lowered(benchUser);
    checkSameGames();

    benchmark::RegisterBenchmark("parser", benchParser)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("floor", benchFloor)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("gumbo", benchGumbo)->Unit(benchmark::kMicrosecond);
    RateReporter reporter(color);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto rate = [&](const char* name) -> double {
        double t = reporter.seconds(name);
        return t > 0 ? page.size() / t / 1e6 : 0.0;
    };
    double parserRate = rate("parser"), floorRate = rate("floor"), gumboRate = rate("gumbo");
    std::printf("\n");
    for (auto [name, value] : {std::pair<const char*, double>{"parser", parserRate},
                               {"floor", floorRate},
                               {"gumbo", gumboRate}}) {
        if (value > 0) std::printf("%-7s %10.1f MB/s (10^6 bytes per CPU second)\n", name, value);
    }
    if (parserRate > 0 && gumboRate > 0) {
        double speedUp = parserRate / gumboRate;
        std::printf("parser vs Gumbo: %.1fx faster (target: at least 20x) %s\n", speedUp,
                    speedUp >= 20 ? "met" : "MISSED");
    }
    if (parserRate > 0 && floorRate > 0) {
        double slowDown = floorRate / parserRate;
        std::printf("parser vs floor: %.1fx slower (target: at most 8x) %s\n", slowDown,
                    slowDown <= 8 ? "met" : "MISSED");
    }
    return 0;
}
