// The lines of the table descriptor, both ways (docs/table-protocol.md, section 1): what the
// game tells its server as things happen, and the server's own lines, split from what the
// descriptor delivers and read into messages. Text only: nothing here reads or writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/names.h"
#include "records/score_format.h"

namespace table {

// "player 0 person Ann": one line per player once the players are set up.
std::string playerLine(std::int32_t player, bool computer, std::string_view name);
// "turn 1 3": the start of player 1's turn on day 3.
std::string turnLine(std::int32_t player, std::int32_t day);
// "result " and the game's line in the record of games.
std::string resultLine(const GameResult& result);

// What the server tells the game: a person has gone away, or come back.
struct ServerMessage {
    enum class Kind { away, back };
    Kind kind = Kind::away;
    std::int32_t player = 0;  // 0 to kMaxPlayers - 1
};

// "away P" or "back P", P a player index; nullopt for any other line.
std::optional<ServerMessage> parseServerLine(std::string_view line);

// Cuts what the descriptor delivers, in pieces of any size, into lines. A line longer than
// kLongestLine is dropped whole, up to its line end: no server line is that long.
class LineSplitter {
public:
    static constexpr std::size_t kLongestLine = 256;  // bytes, without the line end

    // The lines `bytes` completes, in order, without their line ends.
    std::vector<std::string> take(std::string_view bytes);

private:
    std::string partial_;    // the start of the line that has no end yet
    bool overlong_ = false;  // the line at hand is too long: skip to its end
};

}  // namespace table
