#include "poller/fetch.h"

#include <cstdio>
#include <cstring>

#include "poller/redirect.h"
#include "poller/running.h"
#include "site_config.h"

HINTERNET internetSession = nullptr;
const SearchSite BUILT_IN_SITE = {TURNBELL_SITE_HOST, defaultSitePort(TURNBELL_SITE_SECURE != 0),
                                  TURNBELL_SITE_SECURE != 0, DEFAULT_FETCH_TIMEOUTS};

namespace {

const char SEARCH_BODY_FORMAT[] = "pJeu=&pLoginJ=%s&pidP=&pLibP=&pEtat=2&pPage=1";
// WinINet puts the version text into the request line as it stands, so it must be
// the full "HTTP/1.0": a bare "1.0" makes a request line that servers refuse (400).
const char REQUEST_VERSION[] = "HTTP/1.0";
const char FORM_CONTENT_TYPE[] = "Content-Type: application/x-www-form-urlencoded";
// An HTTPS site's redirects are followed at most this often; a further redirect stands
// as the reply, and so does one whose Location is too long for a URL.
constexpr int MAX_REDIRECTS = 5;

void setTimeout(HINTERNET handle, DWORD option, DWORD milliseconds)
{
    InternetSetOptionA(handle, option, &milliseconds, sizeof(milliseconds));
}

// The length a reply announced, or 0 when it announced none. A length counts only
// when it is written in digits alone, fits a DWORD and is the same in every
// Content-Length header; anything else ("-1", "12abc", two different values) announces
// nothing, and the reply is read to its end. Read as a number, WinINet would give "-1"
// as 4294967295, and every reply would look cut.
DWORD announcedLength(HINTERNET request)
{
    DWORD announced = 0;
    for (DWORD index = 0;;) {
        char text[32];
        DWORD size = sizeof text;
        const DWORD asked = index;
        if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index))
            return GetLastError() == ERROR_HTTP_HEADER_NOT_FOUND ? announced : 0;
        unsigned long long value = 0;
        for (DWORD i = 0; i < size; ++i) {
            if (text[i] < '0' || text[i] > '9') return 0;
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (value > MAXDWORD) return 0;
        }
        if (size == 0 || (asked > 0 && value != announced)) return 0;
        announced = static_cast<DWORD>(value);
        if (index == asked) return announced;  // an index that does not move ends the walk
    }
}

// Reads the reply into buffer until it ends, the buffer is full, a read fails or the
// poller is told to stop; returns the number of bytes read. The bytes of a read that
// returns after the stop are not counted. A reply that breaks off, through a failed
// read or short of the Content-Length it announced, is marked cut, unless the stop
// ended the read (a reply on its way during the stop is never delivered anyway).
// Each read asks only for what has already arrived: a blocking read of the whole
// remaining space would wait for the buffer to fill, so a stop would not be seen
// until the reply ended.
int readReply(HINTERNET request, char* buffer, bool tellMoreBytes, SearchOutcome& outcome)
{
    outcome.announcedBytes = announcedLength(request);
    char* position = buffer;
    DWORD remaining = REPLY_BUFFER_SIZE;
    bool failed = false;
    bool stopped = false;
    while (remaining > 0) {
        DWORD available = 0;
        DWORD bytesRead = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0) ||
            !InternetReadFile(request, position, available < remaining ? available : remaining,
                              &bytesRead)) {
            failed = true;
            break;
        }
        if (!pollerRunning) {
            stopped = true;
            break;
        }
        if (bytesRead == 0) break;
        position += bytesRead;
        remaining -= bytesRead;
    }
    const int count = static_cast<int>(position - buffer);
    outcome.cut =
        !stopped && remaining > 0 && (failed || static_cast<DWORD>(count) < outcome.announcedBytes);
    if (tellMoreBytes && remaining == 0) {
        char extra;
        DWORD extraRead = 0;
        outcome.moreBytes = InternetReadFile(request, &extra, 1, &extraRead) && extraRead == 1;
    }
    return count;
}

// The request's address: where it goes before it is sent, and where its reply came
// from, after any redirect WinINet followed, once it has been.
std::string requestUrl(HINTERNET request)
{
    char url[INTERNET_MAX_URL_LENGTH];
    DWORD size = sizeof url;
    if (!InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &size)) return std::string();
    return std::string(url, strnlen(url, sizeof url));
}

// The reply's Location header, whatever its length.
std::string locationOf(HINTERNET request)
{
    std::string location(INTERNET_MAX_URL_LENGTH, '\0');
    DWORD size = static_cast<DWORD>(location.size());
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, &location[0], &size, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::string();
        location.resize(size);  // size now counts the NUL too
        if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, &location[0], &size, nullptr))
            return std::string();
    }
    location.resize(size);
    return location;
}

bool isRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One request of the search, from its connection to its status: the form POSTed (with
// the body in buffer) or, after a redirect that drops it, a GET. openedUrl is the
// address the request was opened for. False when a WinINet call failed; GetLastError()
// then says why. The handles are the caller's to close, whatever the result.
bool sendOne(const SearchSite& site, const SiteAddress& address, bool post, char* buffer,
             int bodyLength, HINTERNET& connection, HINTERNET& request, std::string& openedUrl,
             DWORD& status)
{
    // An IPv6 address goes in brackets: WinINet writes the host into the Host header as
    // it is given here, and "Host: ::1:8080" is refused by real servers.
    connection = InternetConnectA(internetSession, bracketedHost(address.host).c_str(),
                                  address.port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) return false;
    // Set on the connection: WinINet under Wine ignores them on the session, and the
    // request handle takes them from here.
    setTimeout(connection, INTERNET_OPTION_CONNECT_TIMEOUT, site.timeouts.connectMs);
    setTimeout(connection, INTERNET_OPTION_SEND_TIMEOUT, site.timeouts.sendMs);
    setTimeout(connection, INTERNET_OPTION_RECEIVE_TIMEOUT, site.timeouts.receiveMs);

    const char* acceptTypes[] = {"*/*", nullptr};
    // Over HTTPS WinINet checks the certificate; no flag here ever switches that off,
    // and a certificate it refuses fails the request like any other error. An HTTPS
    // site's redirects are not WinINet's to follow: the caller follows them.
    DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_UI;
    if (site.secure) flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;
    request = HttpOpenRequestA(connection, post ? "POST" : "GET", address.path.c_str(),
                               REQUEST_VERSION, nullptr, acceptTypes, flags, 0);
    if (!request) return false;
    openedUrl = requestUrl(request);
    if (post)
        HttpAddRequestHeadersA(request, FORM_CONTENT_TYPE, static_cast<DWORD>(-1),
                               HTTP_ADDREQ_FLAG_REPLACE | HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    DWORD statusSize = sizeof(status);
    return HttpSendRequestA(request, nullptr, 0, post ? buffer : nullptr,
                            post ? static_cast<DWORD>(bodyLength) : 0) &&
           HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &statusSize, nullptr);
}

}  // namespace

SearchOutcome sendSearchRequest(const SearchSite& site, char* buffer, const char* encodedName,
                                bool tellMoreBytes)
{
    SearchOutcome outcome;
    // The body is written into the reply buffer, where it stays until a reply of 200-299
    // is read over it, so that a redirect can send it again; one that does not fit is
    // not sent.
    const int bodyLength =
        std::snprintf(buffer, REPLY_BUFFER_SIZE, SEARCH_BODY_FORMAT, encodedName);
    if (bodyLength < 0 || bodyLength >= REPLY_BUFFER_SIZE) {
        outcome.error = ERROR_INSUFFICIENT_BUFFER;
        return outcome;
    }
    SiteAddress address = {site.host, site.port, SEARCH_PATH};
    bool post = true;
    for (int hops = 0;; ++hops) {
        // A stop ends the search before its next request, as it ends a read: nothing
        // goes out after it, and a chain of redirects cannot hold up the exit.
        if (!pollerRunning) {
            outcome.error = ERROR_INTERNET_OPERATION_CANCELLED;
            return outcome;
        }
        HINTERNET connection = nullptr;
        HINTERNET request = nullptr;
        DWORD status = 0;
        std::string openedUrl;
        bool followed = false;
        const ULONGLONG started = GetTickCount64();
        if (!sendOne(site, address, post, buffer, bodyLength, connection, request, openedUrl,
                     status)) {
            outcome.error = GetLastError();
        }
        outcome.requestMs = static_cast<DWORD>(GetTickCount64() - started);
        if (request) {
            outcome.url = requestUrl(request);
            if (!site.secure && outcome.url != openedUrl) {
                // WinINet followed the plain site's redirects itself.
                outcome.redirects.push_back(outcome.url);
                outcome.formLost = true;
            }
        }
        if (outcome.error == 0) {
            const std::string location = status / 100 == 3 ? locationOf(request) : std::string();
            const bool followable = site.secure && isRedirect(status) && !location.empty() &&
                                    location.size() < INTERNET_MAX_URL_LENGTH;
            if (followable && hops == MAX_REDIRECTS) {
                outcome.tooManyRedirects = true;
            } else if (followable) {
                switch (resolveSecureRedirect(address, location, address)) {
                case RedirectTarget::Follow:
                    followed = true;
                    outcome.redirects.push_back(secureUrl(address));
                    // As WinINet does: a 307 or 308 sends the same request again, the
                    // others turn a POST into a GET without the form.
                    post = post && (status == 307 || status == 308);
                    outcome.formLost = outcome.formLost || !post;
                    break;
                case RedirectTarget::NotHttps:
                    outcome.error = ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
                    outcome.location = location;
                    break;
                case RedirectTarget::Unusable:
                    break;  // nowhere to go: the redirect stands as the reply
                }
            }
            if (!followed && outcome.error == 0) {
                outcome.status = status;
                outcome.location = location;
                if (isSuccessStatus(status))
                    outcome.bytes = readReply(request, buffer, tellMoreBytes, outcome);
            }
        }
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        if (!followed) return outcome;
    }
}

int fetchSearchPage(const SearchSite& site, char* buffer, const char* encodedName)
{
    // Only a status of 200-299 with a reply long enough to be a page counts.
    const SearchOutcome outcome = sendSearchRequest(site, buffer, encodedName);
    const bool success = outcome.error == 0 && isSuccessStatus(outcome.status) && !outcome.cut;
    return success && outcome.bytes >= MIN_REPLY_SIZE ? outcome.bytes : -1;
}
