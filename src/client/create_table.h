// Creating a table: POST /api/tables on the server a bare link names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <boost/asio/io_context.hpp>

#include "client/table_client.h"
#include "client/url.h"

namespace join {

struct TableSettings {
    std::optional<int> computers;
    std::string level;  // empty: the server's default
    std::optional<std::uint32_t> seed;
};

// The body of the request: only the settings given.
std::string tableRequestBody(const TableSettings& settings);

struct NewTable {
    TableUrl host;  // the server as `server` names it, with the new table and the host's token
    Links links;
};

// Runs `io` until the server has answered (or 10 seconds have passed). On failure returns
// nothing and puts one line in `error`.
std::optional<NewTable> createTable(boost::asio::io_context& io, const TableUrl& server,
                                    const TableSettings& settings, std::string& error);

}  // namespace join
