// turnbell-check: one poll of the game site, made the way Turnbell makes it (the same
// settings lookup, form encoding, search request and parser), told step by step. It
// answers "why does Turnbell show nothing?": Turnbell itself stays silent when a poll
// fails.
//
//   turnbell-check [--site [http://|https://]HOST[:PORT]] [--save FILE] [--timeout SECONDS]
//                  [USER_NAME]
//
// Exit codes: 0 games found; 2 wrong usage or no user name anywhere; 3 the site could
// not be reached; 4 an HTTP status outside 200-299; 5 a reply shorter than a page;
// 6 not the search page; 7 the search page lists no games for this name; 8 an HTTPS
// site sent the request on to plain HTTP.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "games/records.h"
#include "poller/encode.h"
#include "poller/fetch.h"
#include "poller/parser.h"
#include "settings/settings_win.h"
#include "tools/parse_output.h"

namespace {

enum ExitCode {
    GAMES_FOUND = 0,
    WRONG_USAGE = 2,
    NOT_REACHED = 3,
    HTTP_ERROR = 4,
    TOO_SHORT = 5,
    NOT_SEARCH_PAGE = 6,
    NO_GAMES = 7,
    PLAIN_HTTP_REFUSED = 8,
};

// A printf format: the default ports and Turnbell's own waits come from the request.
const char USAGE_FORMAT[] =
    "usage: turnbell-check [--site [http://|https://]HOST[:PORT]] [--save FILE]\n"
    "                      [--timeout SECONDS] [USER_NAME]\n"
    "\n"
    "Makes one check of the game site the way Turnbell does, and says step by step what\n"
    "happened. Run it from the folder Turnbell starts in: without USER_NAME it takes the\n"
    "user name from Turnbell.ini there, or else from the registry, as Turnbell does.\n"
    "\n"
    "  --site HOST[:PORT]  ask this host instead of the built-in site, over the built-in\n"
    "                      scheme unless http:// or https:// comes first (port %u for\n"
    "                      http, %u for https, by default)\n"
    "  --save FILE         write the bytes of the site's reply that Turnbell reads to FILE\n"
    "  --timeout SECONDS   give up after this long at each step, 1 to 3600 (default: as\n"
    "                      Turnbell, %lu s to connect and %lu s for each send and receive)\n"
    "  --help              this text\n"
    "\n"
    "Exit codes:\n"
    "  0  games were found\n"
    "  2  wrong usage, or no user name anywhere\n"
    "  3  the site could not be reached (refused, timed out, unknown host, a\n"
    "     certificate that is refused)\n"
    "  4  the site answered with an HTTP status outside 200-299\n"
    "  5  the reply was shorter than the shortest page\n"
    "  6  the reply is not the game search page (where the site sent the request on,\n"
    "     the address it ended at is named)\n"
    "  7  the search page lists no games for this name\n"
    "  8  the HTTPS site sent the request on to plain HTTP, which Turnbell refuses\n";

void printUsage(FILE* out)
{
    std::fprintf(out, USAGE_FORMAT, static_cast<unsigned>(defaultSitePort(false)),
                 static_cast<unsigned>(defaultSitePort(true)),
                 BUILT_IN_SITE.timeouts.connectMs / 1000, BUILT_IN_SITE.timeouts.receiveMs / 1000);
}

// One line of output. Texts are ANSI, as everywhere in Turnbell; a console shows
// another code page, so there they go out as UTF-16 and accented names look right.
// Much of it comes from the site (game types, names, addresses): its control bytes are
// shown escaped (\x1b), so that a page cannot drive the console.
void say(const std::string& line)
{
    const std::string text = escapeControlBytes(line) + "\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(out, &mode)) {
        const int length =
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                            length);
        DWORD written;
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
}

int giveUp(ExitCode code, const std::string& reason)
{
    say("no game found: " + reason);
    return code;
}

// The words for a WinINet error that kept the request from an answer. WinINet under Wine
// reports a receive that timed out as an aborted connection (12030), so a connection
// that ended only when the time allowed had run out counts as a time-out.
std::string unreachedReason(DWORD error, const char* host, bool ranOutOfTime)
{
    if ((error == ERROR_INTERNET_CONNECTION_ABORTED || error == ERROR_INTERNET_CONNECTION_RESET) &&
        ranOutOfTime) {
        error = ERROR_INTERNET_TIMEOUT;
    }
    std::string why;
    switch (error) {
    case ERROR_INTERNET_CANNOT_CONNECT:
        why = "the connection was refused: nothing answers at that address and port";
        break;
    case ERROR_INTERNET_TIMEOUT:
        why = "no answer within the time allowed: the site or the network is stalled";
        break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
        why = std::string("the host name ") + host + " is unknown";
        break;
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
        why = "the connection was closed before an answer came";
        break;
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
        why = "the site's certificate comes from an issuer this computer does not trust";
        break;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        why = std::string("the site's certificate is made out for another host name than ") + host;
        break;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        why = "the site's certificate has expired, or is not valid yet";
        break;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
        why = "no secure connection could be agreed with the site";
        break;
    default:
        why = "the request failed";
        break;
    }
    return "the site could not be reached: " + why + " (error " + std::to_string(error) + ")";
}

struct Options {
    const char* userName = nullptr;
    const char* saveFile = nullptr;
    std::string host = BUILT_IN_SITE.host;
    INTERNET_PORT port = BUILT_IN_SITE.port;
    bool secure = BUILT_IN_SITE.secure;
    FetchTimeouts timeouts = BUILT_IN_SITE.timeouts;
};

// A whole number from low to high written in digits alone, or -1.
long wholeNumber(const char* text, long low, long high)
{
    long value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9' || value > high) return -1;
        value = value * 10 + (*p - '0');
    }
    return *text && value >= low && value <= high ? value : -1;
}

// False for arguments that make no sense.
bool readArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--site" && hasValue) {
            options.host = argv[++i];
            for (const char* scheme : {"http://", "https://"}) {
                const std::size_t length = std::strlen(scheme);
                if (options.host.compare(0, length, scheme) == 0) {
                    options.secure = length == 8;
                    options.host.erase(0, length);
                }
            }
            options.port = defaultSitePort(options.secure);
            const std::size_t colon = options.host.rfind(':');
            if (colon != std::string::npos) {
                const long port = wholeNumber(options.host.c_str() + colon + 1, 1, 65535);
                if (port < 0) return false;
                options.port = static_cast<INTERNET_PORT>(port);
                options.host.erase(colon);
            }
            if (options.host.empty()) return false;
        } else if (argument == "--save" && hasValue) {
            options.saveFile = argv[++i];
        } else if (argument == "--timeout" && hasValue) {
            const long seconds = wholeNumber(argv[++i], 1, 3600);
            if (seconds < 0) return false;
            const DWORD ms = static_cast<DWORD>(seconds) * 1000;
            options.timeouts = {ms, ms, ms};
        } else if (argument.compare(0, 2, "--") == 0 || options.userName) {
            return false;
        } else {
            options.userName = argv[i];
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        printUsage(stdout);
        return GAMES_FOUND;
    }
    Options options;
    if (!readArguments(argc, argv, options)) {
        printUsage(stderr);
        return WRONG_USAGE;
    }

    // The user name: from the command line, or from Turnbell's own settings.
    say("turnbell-check: one check of the game site, made the way Turnbell makes it");
    std::string from = "from the command line";
    if (options.userName) {
        lstrcpynA(Settings.userName, options.userName, USER_NAME_SIZE);
    } else {
        loadSettings();
        char path[SETTINGS_PATH_SIZE];
        from = Settings.useIniFile && findSettingsFile(path)
                   ? std::string("from ") + path
                   : std::string("from the registry (HKEY_CURRENT_USER\\") + SETTINGS_REGISTRY_KEY +
                         ")";
    }
    if (Settings.userName[0] == '\0') {
        say("user name: none " + from);
        return giveUp(WRONG_USAGE, "there is no user name: give one here, or enter it in "
                                   "Turnbell's settings");
    }
    say(std::string("user name: \"") + Settings.userName + "\", " + from);
    std::unique_ptr<char[]> encoded = urlEncodeForm(Settings.userName);
    if (!encoded) return giveUp(WRONG_USAGE, "out of memory");
    say(std::string("sent as: ") + encoded.get());

    const char* scheme = options.secure ? "https" : "http";
    const std::string port = options.port == defaultSitePort(options.secure)
                                 ? std::string()
                                 : ":" + std::to_string(options.port);
    const std::string asked = std::string(scheme) + "://" + options.host + port + SEARCH_PATH;
    say(std::string("scheme: ") + scheme +
        (options.secure ? " (HTTPS: the site's certificate is checked)" : " (plain HTTP)"));
    say("asking: " + asked);
    say("waiting for the site: at most " + std::to_string(options.timeouts.connectMs / 1000) +
        " s to connect, then " + std::to_string(options.timeouts.receiveMs / 1000) +
        " s for each send and each receive...");

    internetSession = InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!internetSession) {
        return giveUp(NOT_REACHED, "the internet functions of Windows cannot be opened");
    }
    const SearchSite site = {options.host.c_str(), options.port, options.secure, options.timeouts};
    std::unique_ptr<char[]> reply(new char[REPLY_BUFFER_SIZE]);
    const ULONGLONG started = GetTickCount64();
    const SearchOutcome outcome = sendSearchRequest(site, reply.get(), encoded.get(), true);
    const ULONGLONG elapsedMs = GetTickCount64() - started;
    const DWORD shortestTimeoutMs = std::min(
        options.timeouts.connectMs, std::min(options.timeouts.sendMs, options.timeouts.receiveMs));
    const bool full = outcome.bytes == REPLY_BUFFER_SIZE;
    const std::string limit = std::to_string(REPLY_BUFFER_SIZE);

    if (options.saveFile && outcome.bytes == 0) {
        say(std::string("nothing saved to ") + options.saveFile +
            ": no page came with the reply (a file of that name is left as it was)");
    } else if (options.saveFile) {
        FILE* file = std::fopen(options.saveFile, "wb");
        const bool saved =
            file && std::fwrite(reply.get(), 1, static_cast<std::size_t>(outcome.bytes), file) ==
                        static_cast<std::size_t>(outcome.bytes);
        if (file) std::fclose(file);
        const std::string what = full ? "first " + limit : std::to_string(outcome.bytes);
        const char* more =
            full && outcome.moreBytes ? ": the site sent more, which Turnbell does not read" : "";
        say(saved ? "saved the " + what + " bytes of the reply to " + options.saveFile + more
                  : std::string("could not write ") + options.saveFile);
    }
    // Where the reply came from, when the site sent the request on (WinINet follows a
    // redirect, in Turnbell as here).
    const bool sentOn = !outcome.url.empty() && outcome.url != asked;
    if (outcome.error == ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR) {
        return giveUp(PLAIN_HTTP_REFUSED, "the site sent the request on to plain HTTP (" +
                                              outcome.url +
                                              "): refused, Turnbell reads this site only over "
                                              "HTTPS");
    }
    if (outcome.error != 0) {
        const bool ranOutOfTime = elapsedMs + 100 >= shortestTimeoutMs;
        return giveUp(NOT_REACHED, unreachedReason(outcome.error, site.host, ranOutOfTime));
    }
    if (sentOn) say("the site sent the request on to " + outcome.url);
    say("the site answered: HTTP " + std::to_string(outcome.status) + ", " +
        std::to_string(outcome.bytes) + " bytes");
    if (full) {
        say("Turnbell reads only the first " + limit + " bytes of a reply" +
            (outcome.moreBytes ? " (the site sent more)" : "") + ": what follows is about those");
    }
    if (outcome.status / 100 == 3) {
        say("the site sends the request elsewhere: " +
            (outcome.location.empty() ? std::string("(no address given)") : outcome.location));
    }
    if (!isSuccessStatus(outcome.status)) {
        return giveUp(HTTP_ERROR, "the site answered with HTTP status " +
                                      std::to_string(outcome.status) + ", not a page");
    }
    if (outcome.bytes < MIN_REPLY_SIZE) {
        return giveUp(TOO_SHORT, "the reply has " + std::to_string(outcome.bytes) +
                                     " bytes, fewer than the " + std::to_string(MIN_REPLY_SIZE) +
                                     " of the shortest page");
    }

    GameList games;
    ParseReport report;
    parseSearchPage(reply.get(), outcome.bytes, games, encoded.get(), &report);
    if (!report.searchPage) {
        return giveUp(NOT_SEARCH_PAGE, "the reply is not the game search page: it holds neither "
                                       "\"Recherche de parties\" nor \"Games search\"" +
                                           (sentOn ? std::string("; it came from ") + outcome.url +
                                                         ", where the site sent the request on"
                                                   : std::string()));
    }
    say("this is the game search page, with " + std::to_string(report.sections) + " game sections");
    if (report.sections == 0) {
        return giveUp(NO_GAMES, "the search page lists no games for this name (it has no game "
                                "section)");
    }
    if (games.empty()) {
        return giveUp(NO_GAMES, "the search page lists no games for this name (its game "
                                "sections hold none)");
    }
    int waiting = 0;
    for (const auto& game : games) waiting += game->myTurn;
    say(std::to_string(games.size()) + " games, " + std::to_string(waiting) + " waiting for " +
        Settings.userName + ":");
    for (const auto& game : games) {
        say("  " + game->gameId + "  " + game->gameType + "  " + joinPlayerNames(*game) +
            (game->myTurn ? "  your turn" : ""));
    }
    say("Turnbell sees these games: the bell turns green when one starts waiting for you.");
    clearGameList(games);
    return GAMES_FOUND;
}
