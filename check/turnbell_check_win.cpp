// turnbell-check: one poll of the game site, made the way Turnbell makes it (the same
// settings lookup, form encoding, search request and parser), told step by step. It
// answers "why does Turnbell show nothing?": Turnbell itself stays silent when a poll
// fails.
//
//   turnbell-check [--site [http://|https://]HOST[:PORT]] [--save FILE] [--timeout SECONDS]
//                  [USER_NAME]
//
// Exit codes: 0 games found; 2 wrong usage or no user name anywhere; 3 the site could
// not be reached; 4 an HTTP status outside 200-299, a redirect not followed included; 5 a reply
// that broke off or is shorter than a page; 6 not the search page, or a search that lost its form
// on a redirect; 7 the search page lists no games for this name; 8 an HTTPS site sent the request
// on to an address that is not HTTPS; 9 the page shows the name only as typed, never in the
// form-encoded spelling that Turnbell looks for in a game's turn marker.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "games/records.h"
#include "poller/encode.h"
#include "poller/fetch.h"
#include "poller/parser.h"
#include "poller/redirect.h"
#include "settings/settings_win.h"
#include "check/console_text_win.h"

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
    NAME_NOT_ENCODED = 9,
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
    "                      http, %u for https, by default); an IPv6 address goes in\n"
    "                      brackets ([::1]:8080)\n"
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
    "  4  the site answered with an HTTP status outside 200-299 (a redirect that\n"
    "     is not followed included: too many, or to an address too long)\n"
    "  5  the reply broke off, or was shorter than the shortest page\n"
    "  6  the reply is not the game search page, or the search was sent on and lost\n"
    "     its form on the way (where the site sent the request on, the address it\n"
    "     ended at is named)\n"
    "  7  the search page lists no games for this name\n"
    "  8  the HTTPS site sent the request on to an address that is not HTTPS, which\n"
    "     Turnbell refuses\n"
    "  9  the page shows the name only as typed (\"Ann Lee\"), never as Turnbell\n"
    "     looks for it in a turn (\"Ann+Lee\"): Turnbell cannot see these turns\n";

void printUsage(FILE* out)
{
    std::fprintf(out, USAGE_FORMAT, static_cast<unsigned>(defaultSitePort(false)),
                 static_cast<unsigned>(defaultSitePort(true)),
                 BUILT_IN_SITE.timeouts.connectMs / 1000, BUILT_IN_SITE.timeouts.receiveMs / 1000);
}

// One line of output. Texts are ANSI, as everywhere in Turnbell; a console shows
// another code page, so there they go out as UTF-16 and accented names look right.
// Much of it comes from the site (game types, names, addresses): whatever could drive
// a console is shown escaped (\x1b), in whatever code page the bytes are read, so that
// a page cannot drive the console, nor a program that shows the redirected output.
void say(const std::string& line)
{
    const std::wstring text = consoleText(line, CP_ACP) + L"\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(out, &mode)) {
        DWORD written;
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

int giveUp(ExitCode code, const std::string& reason)
{
    say("no game found: " + reason);
    return code;
}

// The host of an address, or fallback when it names none.
std::string hostOf(const std::string& url, const std::string& fallback)
{
    char host[INTERNET_MAX_HOST_NAME_LENGTH];
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    if (url.empty() || !InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return fallback;
    return std::string(host, parts.dwHostNameLength);
}

// The words for a WinINet error that kept the request to host from an answer. WinINet
// under Wine reports a receive that timed out as an aborted connection (12030), so a
// connection that ended only when the request's time had run out counts as a time-out.
std::string unreachedReason(DWORD error, const std::string& host, bool ranOutOfTime)
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
        why = "the host name " + host + " is unknown";
        break;
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
        why = "the connection was closed before an answer came";
        break;
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
        why = "whether the site's certificate has been revoked could not be checked: the "
              "server that tells it did not answer (a proxy or firewall may keep it away)";
        break;
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
        why = "the site's certificate comes from an issuer this computer does not trust";
        break;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        why = "the site's certificate is made out for another host name than " + host;
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

// Whether every byte of text is one of chars, or a letter or a digit (ASCII).
bool madeOf(const std::string& text, const char* chars)
{
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && !std::strchr(chars, c)) return false;
    }
    return !text.empty();
}

// --site [http://|https://]HOST[:PORT]: a host name or an IPv4 address, or an IPv6
// address in brackets, and a port of digits. Anything else (a second colon, a "/", a
// blank) is no site. Each --site decides everything anew: a scheme it does not name is
// the built-in one.
bool readSite(std::string text, Options& options)
{
    options.secure = BUILT_IN_SITE.secure;
    for (const char* scheme : {"http://", "https://"}) {
        const std::size_t length = std::strlen(scheme);
        if (text.compare(0, length, scheme) == 0) {
            options.secure = length == 8;
            text.erase(0, length);
        }
    }
    std::string port;
    if (text.compare(0, 1, "[") == 0) {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) return false;
        options.host = text.substr(1, close - 1);
        const std::string rest = text.substr(close + 1);
        if (!rest.empty() && (rest[0] != ':' || rest.size() == 1)) return false;
        if (!rest.empty()) port = rest.substr(1);
        if (!madeOf(options.host, ":.") || options.host.find(':') == std::string::npos)
            return false;
    } else {
        const std::size_t colon = text.find(':');
        options.host = text.substr(0, colon);
        if (colon != std::string::npos) {
            port = text.substr(colon + 1);
            if (port.empty()) return false;
        }
        if (!madeOf(options.host, ".-_")) return false;
    }
    options.port = defaultSitePort(options.secure);
    if (!port.empty()) {
        const long number = wholeNumber(port.c_str(), 1, 65535);
        if (number < 0) return false;
        options.port = static_cast<INTERNET_PORT>(number);
    }
    return true;
}

// False for arguments that make no sense.
bool readArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--site" && hasValue) {
            if (!readSite(argv[++i], options)) return false;
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
    const std::string asked =
        std::string(scheme) + "://" + bracketedHost(options.host) + port + SEARCH_PATH;
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
    const SearchOutcome outcome = sendSearchRequest(site, reply.get(), encoded.get(), true);
    const DWORD shortestTimeoutMs = std::min(
        options.timeouts.connectMs, std::min(options.timeouts.sendMs, options.timeouts.receiveMs));
    const bool full = outcome.bytes == REPLY_BUFFER_SIZE;
    const std::string limit = std::to_string(REPLY_BUFFER_SIZE);

    if (options.saveFile) {
        const std::string nothing = std::string("nothing saved to ") + options.saveFile + ": ";
        const char* kept = " (a file of that name is left as it was)";
        if (outcome.status == 0) {
            say(nothing + "no reply came" + kept);
        } else if (!isSuccessStatus(outcome.status)) {
            say(nothing + "Turnbell does not read the page of a reply with HTTP status " +
                std::to_string(outcome.status) + kept);
        } else if (outcome.bytes == 0) {
            say(nothing + "the reply held no page" + kept);
        } else {
            FILE* file = std::fopen(options.saveFile, "wb");
            const bool saved =
                file && std::fwrite(reply.get(), 1, static_cast<std::size_t>(outcome.bytes),
                                    file) == static_cast<std::size_t>(outcome.bytes);
            if (file) std::fclose(file);
            const std::string what =
                full ? "first " + limit + " bytes of the reply"
                     : std::to_string(outcome.bytes) +
                           (outcome.cut ? " bytes that came before the reply broke off"
                                        : " bytes of the reply");
            const char* more = full && outcome.moreBytes
                                   ? ": the site sent more, which Turnbell does not read"
                                   : "";
            say(saved ? "saved the " + what + " to " + options.saveFile + more
                      : std::string("could not write ") + options.saveFile);
        }
    }
    // Where the site sent the request on: every address, for an HTTPS site, whose
    // redirects are followed one by one; the last one, for a plain site, whose
    // redirects WinINet follows by itself.
    for (const std::string& address : outcome.redirects) {
        say("the site sent the request on to " + address);
    }
    if (outcome.error == ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR) {
        return giveUp(
            PLAIN_HTTP_REFUSED,
            "the site sent the request on to " + outcome.location +
                ", which is not HTTPS: refused, Turnbell reads this site only over HTTPS");
    }
    if (outcome.error != 0) {
        // Judged by the request that failed: the ones before it may have taken a while.
        const bool ranOutOfTime = outcome.requestMs + 100 >= shortestTimeoutMs;
        return giveUp(NOT_REACHED,
                      unreachedReason(outcome.error, hostOf(outcome.url, site.host), ranOutOfTime));
    }
    say("the site answered: HTTP " + std::to_string(outcome.status) + ", " +
        std::to_string(outcome.bytes) + " bytes");
    if (full) {
        say("Turnbell reads only the first " + limit + " bytes of a reply" +
            (outcome.moreBytes ? " (the site sent more)" : "") + ": what follows is about those");
    }
    if (outcome.status / 100 == 3) {
        // An address too long for a URL is not followed, nor shown.
        say("the site sends the request elsewhere: " +
            (outcome.location.empty() ? std::string("(no address given)")
             : outcome.location.size() < INTERNET_MAX_URL_LENGTH
                 ? outcome.location
                 : "(an address of " + std::to_string(outcome.location.size()) +
                       " characters, too long to follow: at most " +
                       std::to_string(INTERNET_MAX_URL_LENGTH - 1) + ")"));
    }
    if (outcome.tooManyRedirects) {
        return giveUp(HTTP_ERROR, "too many redirects: Turnbell followed " +
                                      std::to_string(outcome.redirects.size()) +
                                      ", and the site sent the request on once more, to " +
                                      outcome.location);
    }
    if (!isSuccessStatus(outcome.status)) {
        return giveUp(HTTP_ERROR, "the site answered with HTTP status " +
                                      std::to_string(outcome.status) + ", not a page");
    }
    if (outcome.cut) {
        const std::string announced =
            outcome.announcedBytes
                ? " of the " + std::to_string(outcome.announcedBytes) + " it announced"
                : std::string();
        return giveUp(TOO_SHORT, "the reply broke off after " + std::to_string(outcome.bytes) +
                                     " bytes" + announced +
                                     ": Turnbell takes nothing from a cut reply");
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
        return giveUp(NOT_SEARCH_PAGE,
                      "the reply is not the game search page: it holds neither "
                      "\"Recherche de parties\" nor \"Games search\"" +
                          (outcome.redirects.empty() ? std::string()
                                                     : "; it came from " + outcome.url +
                                                           ", where the site sent the request on"));
    }
    say("this is the game search page, with " + std::to_string(report.sections) + " game sections");
    // A search sent on without its form is a search for nobody: the page there lists no
    // games whatever the name.
    if ((report.sections == 0 || games.empty()) && outcome.formLost) {
        return giveUp(NOT_SEARCH_PAGE, "the search was sent on to " + outcome.redirects.back() +
                                           " and lost its form (the user name) on the way, so "
                                           "the page there lists no games: the site has moved");
    }
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
    // Turnbell looks for the form-encoded name in a game's turn marker. A page that
    // shows the name only as typed never matches: no turn would ever ring the bell.
    bool shownAsTyped = false;
    if (waiting == 0 && std::strcmp(encoded.get(), Settings.userName) != 0) {
        GameList typed;
        parseSearchPage(reply.get(), outcome.bytes, typed, Settings.userName);
        for (const auto& game : typed) shownAsTyped = shownAsTyped || game->myTurn;
        clearGameList(typed);
        for (const auto& game : games) {
            for (const auto& player : game->players) {
                shownAsTyped =
                    shownAsTyped || lstrcmpiA(player->name.c_str(), Settings.userName) == 0;
            }
        }
    }
    clearGameList(games);
    if (shownAsTyped) {
        say(std::string("the page shows the name as \"") + Settings.userName +
            "\", but Turnbell looks for it as \"" + encoded.get() +
            "\" in a game's turn marker, and it is in none: Turnbell cannot see your turns on "
            "this page");
        return NAME_NOT_ENCODED;
    }
    say("Turnbell sees these games: the bell turns green when one starts waiting for you.");
    return GAMES_FOUND;
}
