// The hall of fame, as `kessandor --scores` prints it and the title menu shows it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The hall of fame of the record `text`: for each number of players, games of people only
// apart from games with computers, the ten best net worths with name and date; "No games
// recorded yet." when there are none. Each line that cannot be read is left out and adds a
// note to `notes`.
std::string hallOfFame(std::string_view text, std::vector<std::string>& notes);

// `kessandor --scores`: the hall of fame, with one note on standard error for each line of the
// record that cannot be read; nullopt, having said why on standard error, when the record
// cannot be read at all.
std::optional<std::string> hallOfFameListing();
