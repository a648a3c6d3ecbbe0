#include "poller/fetch.h"

#include <cstdio>
#include <cstring>

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

void setTimeout(HINTERNET handle, DWORD option, DWORD milliseconds)
{
    InternetSetOptionA(handle, option, &milliseconds, sizeof(milliseconds));
}

// Reads the reply into buffer until it ends, the buffer is full, a read fails or the
// poller is told to stop; returns the number of bytes kept. A failed read keeps what
// came before it; the bytes of a read that returns after the stop are not counted.
// Each read asks only for what has already arrived: a blocking read of the whole
// remaining space would wait for the buffer to fill, so a stop would not be seen
// until the reply ended, and a server that stalls mid-reply would take every byte
// read so far down with the failed read.
int readReply(HINTERNET request, char* buffer, bool* moreBytes)
{
    char* position = buffer;
    DWORD remaining = REPLY_BUFFER_SIZE;
    while (remaining > 0) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) break;
        DWORD bytesRead = 0;
        if (!InternetReadFile(request, position, available < remaining ? available : remaining,
                              &bytesRead))
            break;
        if (!pollerRunning) break;
        if (bytesRead == 0) break;
        position += bytesRead;
        remaining -= bytesRead;
    }
    if (moreBytes && remaining == 0) {
        char extra;
        DWORD extraRead = 0;
        *moreBytes = InternetReadFile(request, &extra, 1, &extraRead) && extraRead == 1;
    }
    return static_cast<int>(position - buffer);
}

// The address the request's reply comes from, after any redirect.
std::string requestUrl(HINTERNET request)
{
    char url[INTERNET_MAX_URL_LENGTH];
    DWORD size = sizeof url;
    if (!InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &size)) return std::string();
    return std::string(url, strnlen(url, sizeof url));
}

// Whether the reply to a sent request comes over HTTPS: its final address says https,
// or, when the address cannot be had, its connection says it is secure.
bool cameOverHttps(HINTERNET request, const std::string& url)
{
    if (!url.empty()) return url.compare(0, 8, "https://") == 0;
    DWORD flags = 0;
    DWORD size = sizeof flags;
    return InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size) &&
           (flags & SECURITY_FLAG_SECURE);
}

}  // namespace

SearchOutcome sendSearchRequest(const SearchSite& site, char* buffer, const char* encodedName,
                                bool tellMoreBytes)
{
    SearchOutcome outcome;
    HINTERNET request = nullptr;
    HINTERNET connection = InternetConnectA(internetSession, site.host, site.port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    if (connection) {
        // Set on the connection: WinINet under Wine ignores them on the session, and the
        // request handle takes them from here.
        setTimeout(connection, INTERNET_OPTION_CONNECT_TIMEOUT, site.timeouts.connectMs);
        setTimeout(connection, INTERNET_OPTION_SEND_TIMEOUT, site.timeouts.sendMs);
        setTimeout(connection, INTERNET_OPTION_RECEIVE_TIMEOUT, site.timeouts.receiveMs);

        const char* acceptTypes[] = {"*/*", nullptr};
        // Over HTTPS WinINet checks the certificate; no flag here ever switches that off,
        // and a certificate it refuses fails the request like any other error.
        DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_UI;
        if (site.secure) flags |= INTERNET_FLAG_SECURE;
        request = HttpOpenRequestA(connection, "POST", SEARCH_PATH, REQUEST_VERSION, nullptr,
                                   acceptTypes, flags, 0);
    }
    if (!request) {
        outcome.error = GetLastError();
    } else {
        // The body is written into the reply buffer; one that does not fit is not sent.
        const int bodyLength =
            std::snprintf(buffer, REPLY_BUFFER_SIZE, SEARCH_BODY_FORMAT, encodedName);
        HttpAddRequestHeadersA(request, FORM_CONTENT_TYPE, static_cast<DWORD>(-1),
                               HTTP_ADDREQ_FLAG_REPLACE | HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        DWORD status = 0;
        DWORD statusSize = sizeof(status);
        if (bodyLength < 0 || bodyLength >= REPLY_BUFFER_SIZE) {
            outcome.error = ERROR_INSUFFICIENT_BUFFER;
        } else if (!HttpSendRequestA(request, nullptr, 0, buffer, static_cast<DWORD>(bodyLength)) ||
                   !HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                   &status, &statusSize, nullptr)) {
            outcome.error = GetLastError();
        } else {
            outcome.url = requestUrl(request);
            if (site.secure && !cameOverHttps(request, outcome.url)) {
                // Sent on to plain HTTP: not one byte of that reply is read.
                outcome.error = ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR;
            } else {
                outcome.status = status;
                if (isSuccessStatus(status))
                    outcome.bytes =
                        readReply(request, buffer, tellMoreBytes ? &outcome.moreBytes : nullptr);
                if (status / 100 == 3) {
                    char location[1024];
                    DWORD size = sizeof location;
                    if (HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, nullptr))
                        outcome.location.assign(location, size);
                }
            }
        }
    }
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    return outcome;
}

int fetchSearchPage(const SearchSite& site, char* buffer, const char* encodedName)
{
    // Only a status of 200-299 with a reply long enough to be a page counts.
    const SearchOutcome outcome = sendSearchRequest(site, buffer, encodedName);
    const bool success = outcome.error == 0 && isSuccessStatus(outcome.status);
    return success && outcome.bytes >= MIN_REPLY_SIZE ? outcome.bytes : -1;
}
