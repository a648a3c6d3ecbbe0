// Where a redirect from an HTTPS site sends the search. A build for an HTTPS site
// follows redirects itself, so that no request ever goes to plain HTTP: WinINet under
// Wine follows one from https:// to http:// and sends the form there. Platform-free.
#pragma once

#include <string>

// An address on a site, taken apart as a request needs it.
struct SiteAddress {
    std::string host;         // a name, or an IPv6 address without its brackets
    unsigned short port = 0;  // an https:// address that names none: 443
    std::string path;         // from its "/" on, with the query; never a fragment
};

enum class RedirectTarget {
    Follow,    // another https:// address: ask there
    NotHttps,  // any other scheme: the request must not go there
    Unusable,  // no host, a port that is no port: there is nowhere to go
};

// Reads a redirect's Location against the https:// address that answered with it: an
// absolute https:// address (scheme in any case), one without a scheme ("//host/path"),
// an absolute path, or a path or query relative to the answering address's. Surrounding
// blanks are ignored, and so is a user name before the host ("user@host"), since
// Turnbell never logs in. With Follow, to holds the next address; otherwise it is left
// as it was.
RedirectTarget resolveSecureRedirect(const SiteAddress& from, const std::string& location,
                                     SiteAddress& to);

// The address written out: "https://host[:port]/path", the port only when it is not 443
// and an IPv6 address in brackets.
std::string secureUrl(const SiteAddress& address);

// A host as a URL or a Host header writes it: an IPv6 address in brackets ("[::1]"), a
// name as it stands.
std::string bracketedHost(const std::string& host);
