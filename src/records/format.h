// The two files Kessandor keeps for its players, as text: a game in progress, saved so that it
// can be resumed, and the record of finished games with its hall of fame. Conversions between
// text and data only: nothing here touches a file, the clock or the console.
//
// Both are plain text a person can read, with a first line that names the format and its
// version. A name is one word of any bytes; in a file, white space, control bytes and "%" are
// written as "%" and two hex digits and an empty name as a lone "%", so every line splits into
// its fields at spaces.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/game.h"

std::string escapeName(std::string_view name);
std::optional<std::string> unescapeName(std::string_view word);

// "2026-12-07T19:17:00Z": the moment in UTC, as both files write it.
std::string utcTime(std::time_t when);

// --- A game in progress ---

inline constexpr std::int32_t kSaveVersion = 1;

struct SavedGame {
    GameState state;
    std::string savedAt;  // as utcTime writes it
};

// The whole save file. Its last line holds the length and a checksum of everything before it,
// so a file cut short or changed is told from a sound one.
std::string writeSave(const SavedGame& game);
// `body` (whole lines) with the end line added: its length and checksum.
std::string sealSave(std::string body);
// The game `text` holds, or nullopt and what is wrong with it in words that follow the file's
// name ("is truncated: ...", "was saved by a newer version ..."). A game that breaks a rule
// is refused like a damaged file.
std::optional<SavedGame> readSave(std::string_view text, std::string& problem);

// --- The record of finished games ---

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

// The hall of fame of the record `text`: for each number of players, games of people only
// apart from games with computers, the ten best net worths with name and date; "No games
// recorded yet." when there are none. Each line that cannot be read is left out and adds a
// note to `notes`.
std::string hallOfFame(std::string_view text, std::vector<std::string>& notes);
