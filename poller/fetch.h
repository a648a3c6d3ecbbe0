// The search request: posts the game site's search form for one user name and reads
// the result page into the caller's buffer.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "poller/reply.h"

// The WinINet session every request hangs from; startPoller() opens it, and it stays
// open for the life of the process.
extern HINTERNET internetSession;

// The request's time-outs: 60 000 ms to connect, 30 000 ms for each send and for each
// receive. They are set because WinINet under Wine has no send or receive time-out by
// default and would wait for ever on a site that stops answering, and the poller must
// not hang on one: the poll fails instead, and the next one tries again. The values
// are close to what WinINet on Windows gives up after by itself.
struct FetchTimeouts {
    DWORD connectMs;
    DWORD sendMs;
    DWORD receiveMs;
};
constexpr FetchTimeouts DEFAULT_FETCH_TIMEOUTS = {60000, 30000, 30000};

// The search form's address on the game site.
constexpr char SEARCH_PATH[] = "/index.php?p=recherche";

// The port a site is asked on when none is given: 443 over HTTPS, else 80.
constexpr INTERNET_PORT defaultSitePort(bool secure)
{
    return secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
}

// Only a reply with a status of 200-299 is read as a page.
constexpr bool isSuccessStatus(DWORD status) { return status / 100 == 2; }

// Where the search request goes, and how long it may wait there.
struct SearchSite {
    const char* host;
    INTERNET_PORT port;
    bool secure;  // HTTPS, with the server's certificate checked as always
    FetchTimeouts timeouts;
};
// The game site the program is built for: the built-in site host, over HTTP on port 80
// or, in a build for an HTTPS site, over HTTPS on port 443.
extern const SearchSite BUILT_IN_SITE;

// What became of one search request, in more detail than fetchSearchPage keeps.
struct SearchOutcome {
    DWORD error = 0;           // GetLastError() of the WinINet call that failed, or 0
    DWORD status = 0;          // the reply's HTTP status, or 0 when none was read
    int bytes = 0;             // reply bytes in the buffer: read only after a status of 200-299
    bool cut = false;          // the reply broke off: a read failed, or fewer bytes came than
                               // its Content-Length announced (the buffer not full)
    DWORD announcedBytes = 0;  // its Content-Length, or 0 when it announced none (or no
                               // plain length: "-1", two values)
    bool moreBytes = false;    // the reply went on past a full buffer (when asked to tell)
    // The address of the last request: where the reply came from, redirects followed,
    // or where the request failed.
    std::string url;
    DWORD requestMs = 0;  // how long the last request took, from its connection to its status
    // Each address the request was sent on to, in order. An HTTPS site's redirects are
    // followed here, so every one is known; WinINet follows a plain site's itself, and
    // then only the last, url, is.
    std::vector<std::string> redirects;
    // A redirect took the search on without its form: an HTTPS site's 301, 302 or 303,
    // which is followed as a GET, as WinINet does; and any redirect that WinINet
    // followed itself, since under Wine it drops the form on a 307 too.
    bool formLost = false;
    // Where a redirect pointed (its Location header) when it was not followed: the
    // final reply's, or the address refused as not HTTPS.
    std::string location;
    // The final reply is an HTTPS site's sixth redirect: five were followed.
    bool tooManyRedirects = false;
};

// The search request itself: posts the form, follows redirects, reads the status and,
// for a status of 200-299, the reply, exactly as fetchSearchPage describes, and says
// what happened. A body too long for the buffer is not sent (error
// ERROR_INSUFFICIENT_BUFFER). A plain site's redirects are WinINet's to follow. An HTTPS
// site's are followed here (at most five), only to https:// addresses, each
// host's certificate checked: a 307 or 308 sends the same POST again, body included,
// and a 301, 302 or 303 a GET, as WinINet would. A redirect to any other scheme fails
// the request (ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR) before anything is sent there.
// A cleared pollerRunning fails the request (ERROR_INTERNET_OPERATION_CANCELLED) before
// each request of it, redirects included: nothing is sent after a stop.
// With tellMoreBytes, a full buffer is followed by the read of one more byte, to tell
// whether the reply went on (the poll never waits for that).
SearchOutcome sendSearchRequest(const SearchSite& site, char* buffer, const char* encodedName,
                                bool tellMoreBytes = false);

// Posts the search form for encodedName (made by urlEncodeForm) to the site and reads
// at most REPLY_BUFFER_SIZE bytes of the reply into buffer, which must hold
// REPLY_BUFFER_SIZE bytes. Returns the number of reply bytes, from MIN_REPLY_SIZE to
// REPLY_BUFFER_SIZE, or -1 on any failure, a reply that broke off included: its bytes
// are not a page, and a game missing from them would count as newly waiting once it
// came back. The bytes are not NUL-terminated. Blocks until the exchange ends; a
// cleared pollerRunning ends the read after the read in progress, and fails the search
// before any further request.
int fetchSearchPage(const SearchSite& site, char* buffer, const char* encodedName);
