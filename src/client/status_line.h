// What the status line says: the table's `status` message from the server, read into plain
// data, and the one line of visible text made from it and the state of the connection.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace join {

struct SeatStatus {
    int seat = 0;
    std::string name;  // empty: the seat has no name yet
    bool computer = false;
    bool connected = false;
    bool computerPlaying = false;
};

struct TableStatus {
    std::string table;
    std::string state;  // lobby, playing, finished or restarting
    std::optional<int> day;
    std::string awaitingWho;  // host, player, any or nobody
    std::optional<int> awaitingSeat;
    std::string awaitingName;
    std::vector<SeatStatus> seats;
    int spectators = 0;
    std::optional<int> you;
};

// Reads the fields of a `status` message; a field missing or of the wrong type is left at
// its default, so a newer server's message still shows what this client knows.
TableStatus readStatus(std::string_view text);

// Printable ASCII only, at most `limit` characters: a character outside it shows as one '?'.
// Whatever the server sends, the status line never holds a control byte or an escape.
std::string visibleText(std::string_view text, std::size_t limit);

// "online", "connecting", "reconnecting (try 3)"...: said by the connection, shown first.
std::string statusLine(const TableStatus& status, std::string_view connection, std::size_t width);

}  // namespace join
