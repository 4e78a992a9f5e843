#include "client/url.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace join {
namespace {

constexpr std::size_t kMaxUrl = 2048;
constexpr std::size_t kMaxTable = 40;
constexpr std::size_t kMaxToken = 64;
constexpr std::size_t kMaxHost = 253;

bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A table's ID is lower-case letters, digits and dashes.
bool validTable(std::string_view id) {
    return !id.empty() && id.size() <= kMaxTable && std::all_of(id.begin(), id.end(), [](char c) {
        return isLower(c) || isDigit(c) || c == '-';
    });
}

// Tokens are base-32 text; either case is taken, as a person may retype one.
bool validToken(std::string_view token) {
    return !token.empty() && token.size() <= kMaxToken &&
           std::all_of(token.begin(), token.end(),
                       [](char c) { return isLower(c) || isUpper(c) || isDigit(c); });
}

bool validHostName(std::string_view host) {
    return !host.empty() && host.size() <= kMaxHost &&
           std::all_of(host.begin(), host.end(), [](char c) {
               return isLower(c) || isUpper(c) || isDigit(c) || c == '-' || c == '.';
           });
}

bool validIpv6(std::string_view host) {
    return !host.empty() && host.size() <= 45 && std::all_of(host.begin(), host.end(), [](char c) {
        return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
               c == '.';
    });
}

bool validPort(std::string_view port) {
    unsigned value = 0;
    const auto [end, problem] = std::from_chars(port.data(), port.data() + port.size(), value);
    return problem == std::errc{} && end == port.data() + port.size() && value >= 1 &&
           value <= 65535 && port.size() <= 5;
}

// Takes the scheme off `rest`; false for anything but http:// and ws://.
bool takeScheme(std::string_view& rest, UrlError& error) {
    const std::size_t length = rest.starts_with("http://") ? 7 : rest.starts_with("ws://") ? 5 : 0;
    if (length > 0) {
        rest.remove_prefix(length);
        return true;
    }
    if (rest.starts_with("https://") || rest.starts_with("wss://")) {
        error.message =
            "this client speaks plain http://: TLS belongs to a reverse proxy in front of the "
            "server, or use an SSH tunnel";
    } else {
        error.message = "a table's link starts with http://";
    }
    return false;
}

// Splits "HOST[:PORT]" or "[V6][:PORT]".
bool takeAuthority(std::string_view authority, TableUrl& url, UrlError& error) {
    std::string_view host = authority;
    std::string_view port = "80";
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            error.message = "an IPv6 address in a link ends with ]";
            return false;
        }
        host = authority.substr(1, close - 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                error.message = "the link's address is not HOST:PORT";
                return false;
            }
            port = after.substr(1);
        }
        if (!validIpv6(host)) {
            error.message = "the link's IPv6 address is not valid";
            return false;
        }
    } else {
        const std::size_t colon = authority.find(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        if (!validHostName(host)) {
            error.message = "the link names no valid server";
            return false;
        }
    }
    if (!validPort(port)) {
        error.message = "the link's port is not a number from 1 to 65535";
        return false;
    }
    url.host = host;
    url.port = port;
    return true;
}

// "", "/" (a server) or "/t/ID" with the token in `fragment`.
bool takeTable(std::string_view path, std::string_view fragment, bool hasFragment, TableUrl& url,
               UrlError& error) {
    if (path.empty() || path == "/") {
        if (hasFragment) {
            error.message = "a link with a token names its table: /t/ID#TOKEN";
            return false;
        }
        return true;
    }
    constexpr std::string_view kPrefix = "/t/";
    if (path.substr(0, kPrefix.size()) != kPrefix || !validTable(path.substr(kPrefix.size()))) {
        error.message = "a table's link looks like http://HOST:PORT/t/ID#TOKEN";
        return false;
    }
    if (!hasFragment || !validToken(fragment)) {
        error.message = "the link has no valid token after its #: copy the whole link";
        return false;
    }
    url.table = path.substr(kPrefix.size());
    url.token = fragment;
    return true;
}

}  // namespace

std::optional<TableUrl> parseTableUrl(std::string_view text, UrlError& error) {
    if (text.size() > kMaxUrl) {
        error.message = "the link is too long";
        return std::nullopt;
    }
    std::string_view rest = text;
    if (!takeScheme(rest, error)) {
        return std::nullopt;
    }
    const std::size_t hash = rest.find('#');
    const bool hasFragment = hash != std::string_view::npos;
    const std::string_view fragment = hasFragment ? rest.substr(hash + 1) : std::string_view{};
    rest = rest.substr(0, hash);
    if (rest.find('?') != std::string_view::npos) {
        error.message = "a table's link has no query (?...)";
        return std::nullopt;
    }
    const std::size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    const std::string_view path =
        slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    TableUrl url;
    if (authority.find('@') != std::string_view::npos) {
        error.message = "a table's link has no user name (@)";
        return std::nullopt;
    }
    if (!takeAuthority(authority, url, error) ||
        !takeTable(path, fragment, hasFragment, url, error)) {
        return std::nullopt;
    }
    return url;
}

std::string hostAndPort(const TableUrl& url) {
    const bool ipv6 = url.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + url.host + "]" : url.host) + ":" + url.port;
}

std::string linkOf(const TableUrl& url) {
    std::string link = "http://" + hostAndPort(url);
    if (!url.table.empty()) {
        link += "/t/" + url.table + "#" + url.token;
    }
    return link;
}

}  // namespace join
