// A game in progress as text, saved so that it can be resumed: a first line that names the
// format and its version, one line for each part of the game, and an end line that holds the
// length and a checksum of everything before it. Conversions between text and data only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "game/game.h"

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
