// The record of finished games as text: a first line that names the format and its version,
// then one game a line. Conversions between text and data only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/game.h"

inline constexpr std::int32_t kScoresVersion = 1;

struct PlayerResult {
    std::string name;
    std::int32_t netWorth = 0;
    std::int32_t rank = 0;  // as the final standings showed it, 1 for the richest
};

struct GameResult {
    std::string finishedAt;             // as utcTime writes it
    std::int32_t computerLevel = -1;    // -1 when only people played, else 0 to kHardest
    std::vector<PlayerResult> players;  // in the order of the standings
};

// What the final standings of `game` show, with the computers' level if any played.
GameResult resultOf(const Game& game, std::string finishedAt);

// The first line of the record, with its line end.
std::string scoresHeader();
// What keeps this version from adding to a record whose first line is `line` (a newer or a
// foreign format), or an empty text when it may.
std::string checkScoresHeader(std::string_view line);
// One game as one line of the record, with its line end.
std::string writeResult(const GameResult& result);
// The game a line of the record holds (without its line end), or nullopt when it cannot be read.
std::optional<GameResult> readResult(std::string_view line);
