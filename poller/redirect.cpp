#include "poller/redirect.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr unsigned short HTTPS_PORT = 443;

// The scheme of a reference in lower case, or nothing when it has none: a letter, then
// letters, digits, "+", "-" or ".", up to a ":" that comes before any "/", "?" or "#".
std::string schemeOf(const std::string& reference)
{
    if (reference.empty() || !std::isalpha(static_cast<unsigned char>(reference[0]))) return {};
    std::string scheme;
    for (char c : reference) {
        if (c == ':') return scheme;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return {};
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return {};
}

// "[user@]host[:port]", the host possibly an IPv6 address in brackets. False when it
// names no host, or a port that is not a number from 1 to 65535.
bool readAuthority(const std::string& authority, SiteAddress& to)
{
    const std::size_t at = authority.rfind('@');
    const std::string hostAndPort = at == std::string::npos ? authority : authority.substr(at + 1);
    std::string port;
    if (!hostAndPort.empty() && hostAndPort[0] == '[') {
        const std::size_t close = hostAndPort.find(']');
        if (close == std::string::npos) return false;
        to.host = hostAndPort.substr(1, close - 1);
        const std::string rest = hostAndPort.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return false;
        if (!rest.empty()) port = rest.substr(1);
    } else {
        const std::size_t colon = hostAndPort.find(':');
        to.host = hostAndPort.substr(0, colon);
        if (colon != std::string::npos) port = hostAndPort.substr(colon + 1);
    }
    if (to.host.empty()) return false;
    to.port = HTTPS_PORT;  // also for "host:", as browsers read it
    unsigned long number = 0;
    for (char c : port) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        number = number * 10 + static_cast<unsigned long>(c - '0');
        if (number > 65535) return false;
    }
    if (!port.empty()) {
        if (number == 0) return false;
        to.port = static_cast<unsigned short>(number);
    }
    return true;
}

}  // namespace

RedirectTarget resolveSecureRedirect(const SiteAddress& from, const std::string& location,
                                     SiteAddress& to)
{
    const std::size_t first = location.find_first_not_of(" \t");
    if (first == std::string::npos) return RedirectTarget::Unusable;
    std::string reference = location.substr(first, location.find_last_not_of(" \t") + 1 - first);
    reference.erase(std::min(reference.find('#'), reference.size()));  // a fragment is never sent

    SiteAddress next = from;
    const std::string scheme = schemeOf(reference);
    if (!scheme.empty()) {
        if (scheme != "https") return RedirectTarget::NotHttps;
        reference.erase(0, scheme.size() + 1);
        if (reference.compare(0, 2, "//") != 0) return RedirectTarget::Unusable;
    }
    if (reference.compare(0, 2, "//") == 0) {
        const std::size_t end = reference.find_first_of("/?", 2);
        if (!readAuthority(reference.substr(2, end == std::string::npos ? end : end - 2), next))
            return RedirectTarget::Unusable;
        const std::string rest = end == std::string::npos ? std::string() : reference.substr(end);
        next.path = rest.empty() || rest[0] == '?' ? "/" + rest : rest;
    } else if (!reference.empty() && reference[0] == '/') {
        next.path = reference;
    } else if (!reference.empty()) {
        // Relative to the answering address: a query takes the place of its query, a path
        // that of its last segment.
        const std::string fromPath = from.path.substr(0, from.path.find('?'));
        next.path = reference[0] == '?' ? fromPath + reference
                                        : fromPath.substr(0, fromPath.rfind('/') + 1) + reference;
    }
    to = next;
    return RedirectTarget::Follow;
}

std::string bracketedHost(const std::string& host)
{
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

std::string secureUrl(const SiteAddress& address)
{
    return "https://" + bracketedHost(address.host) +
           (address.port == HTTPS_PORT ? std::string() : ":" + std::to_string(address.port)) +
           address.path;
}
