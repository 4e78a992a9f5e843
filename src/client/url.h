// The links a table hands out (http://HOST:PORT/t/ID#TOKEN) and the bare server address that
// creates a table (http://HOST:PORT or http://HOST:PORT/).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace join {

struct TableUrl {
    std::string host;   // a name, an IPv4 address, or an IPv6 address without its brackets
    std::string port;   // digits; 80 when the link names none
    std::string table;  // empty: the link names only the server, and a table is to be created
    std::string token;  // the fragment; empty exactly when `table` is
};

struct UrlError {
    std::string message;
};

// Reads a link as a person pastes it. Schemes http:// and ws:// are the same to the client.
// Returns the parts or says, in one line, what is wrong with it.
std::optional<TableUrl> parseTableUrl(std::string_view text, UrlError& error);

// "HOST:PORT", with brackets round an IPv6 address: the Host header and the messages.
std::string hostAndPort(const TableUrl& url);

// The link as the server hands it out, for this client's own messages.
std::string linkOf(const TableUrl& url);

}  // namespace join
