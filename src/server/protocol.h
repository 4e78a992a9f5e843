// What clients send the server, taken apart: the WebSocket hello and the request for a new
// table. Pure functions over untrusted text; the fuzzer calls them. The messages themselves
// are described in docs/table-protocol.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace server {

// The token of a hello message (`{"type": "hello", "token": "..."}`), or nullopt when `text`
// is not one.
std::optional<std::string> parseHello(std::string_view text);

struct TableRequest {
    std::int32_t computers = 0;  // 0 to 4
    std::int32_t level = 1;      // 0 easy to 2 hard
    std::optional<std::uint32_t> seed;
};

// A request body for a new table: a JSON object with only the fields "computers", "level" and
// "seed" (each optional); an empty body asks for the defaults. nullopt for anything else.
std::optional<TableRequest> parseTableRequest(std::string_view body);

}  // namespace server
