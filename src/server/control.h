// The table descriptor as the server hears it: one line from the game, taken apart. Pure: no
// sockets, no processes. The game's side and the meaning of each line: docs/table-protocol.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace server {

// Whose answer the game waits for.
struct Await {
    enum class Who { host, count, person, player, anyone };  // menu, count, name, line/key, any
    Who who = Who::host;
    std::int32_t player = -1;  // for person and player
    bool key = false;          // a key wait rather than a line
};

struct PlayerLine {
    std::int32_t player = 0;
    bool computer = false;
    std::string name;  // unescaped, as the game holds it
};

struct TurnLine {
    std::int32_t player = 0;
    std::int32_t day = 0;
};

struct ResultLine {
    std::string line;  // the game's line in the record of games
};

using ControlMessage = std::variant<Await, PlayerLine, TurnLine, ResultLine>;

// The longest line either side sends; a longer one is dropped whole.
inline constexpr std::size_t kMaxControlLine = 1024;

// The message `line` (without its line end) carries, or nullopt when it is not one the
// contract knows.
std::optional<ControlMessage> parseControlLine(std::string_view line);

// What the server tells the game: `away P` or `back P`, with the line end.
std::string awayLine(std::int32_t player, bool away);

}  // namespace server
