#include "screens/hall_of_fame.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

#include "game/game.h"
#include "records/records.h"
#include "records/score_format.h"
#include "records/text_fields.h"

namespace {

constexpr std::size_t kHallSize = 10;  // best net worths listed for each kind of game

// One line of the hall of fame.
struct Fame {
    std::string name;
    std::int32_t netWorth = 0;
    std::string date;
    std::int32_t computerLevel = -1;
};

// The name as a terminal shows it safely, padded to 20 columns: a UTF-8 character takes one,
// and so does each byte of a name that is not UTF-8.
std::string paddedName(std::string_view name) {
    std::string shown = Game::visibleName(name);
    const bool utf8 = Game::isUtf8(shown);
    const auto columns =
        static_cast<std::size_t>(std::count_if(shown.begin(), shown.end(), [utf8](char c) {
            return !utf8 || (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
        }));
    return shown.append(columns < 20 ? 20 - columns : 1, ' ');
}

std::string padded(std::string text, std::size_t width, bool right) {
    const std::size_t fill = text.size() < width ? width - text.size() : 0;
    return right ? text.insert(0, fill, ' ') : text.append(fill, ' ');
}

void listFame(std::string& out, std::vector<Fame>& fame, std::int32_t players, bool computers) {
    std::stable_sort(fame.begin(), fame.end(),
                     [](const Fame& a, const Fame& b) { return a.netWorth > b.netWorth; });
    out.append("\n").append(std::to_string(players)).append(players == 1 ? " player" : " players");
    out.append(computers ? ", with computers:\n" : ", people only:\n");
    for (std::size_t i = 0; i < std::min(fame.size(), kHallSize); ++i) {
        out.append(padded(std::to_string(i + 1), 4, true)).append(". ");
        out.append(paddedName(fame[i].name));
        out.append(padded(std::string("$").append(std::to_string(fame[i].netWorth)), 12, false))
            .append(fame[i].date);
        if (computers) {
            out.append("  ").append(kLevelNames.at(fame[i].computerLevel));
        }
        out += '\n';
    }
}

}  // namespace

std::string hallOfFame(std::string_view text, std::vector<std::string>& notes) {
    // (number of players, with computers) -> every player of every such game
    std::map<std::pair<std::int32_t, bool>, std::vector<Fame>> kinds;
    std::size_t lineNumber = 1;
    std::size_t start = text.find('\n');  // after the first line, which names the format
    while (start != std::string_view::npos && start + 1 < text.size()) {
        const std::size_t end = std::min(text.find('\n', start + 1), text.size());
        const std::string_view line = text.substr(start + 1, end - start - 1);
        ++lineNumber;
        start = end < text.size() ? end : std::string_view::npos;
        const std::optional<GameResult> game = readResult(line);
        if (!game) {
            notes.push_back(std::string("line ").append(std::to_string(lineNumber)) +=
                            " cannot be read and is left out");
            continue;
        }
        auto& fame =
            kinds[{static_cast<std::int32_t>(game->players.size()), game->computerLevel >= 0}];
        std::transform(game->players.begin(), game->players.end(), std::back_inserter(fame),
                       [&game](const PlayerResult& player) {
                           return Fame{player.name, player.netWorth,
                                       std::string(datePart(game->finishedAt)),
                                       game->computerLevel};
                       });
    }
    if (kinds.empty()) {
        return "No games recorded yet.\n";
    }
    std::string out = "Hall of fame: the ten best net worths\n";
    for (auto& [kind, fame] : kinds) {
        listFame(out, fame, kind.first, kind.second);
    }
    return out;
}

std::optional<std::string> hallOfFameListing() {
    std::string path;
    std::string problem;
    const std::optional<std::string> text = recordText(path, problem);
    if (!text) {
        tell(problem);
        return std::nullopt;
    }
    std::vector<std::string> notes;
    std::string listing = hallOfFame(*text, notes);
    for (const std::string& note : notes) {
        tell(std::string(path).append(": ").append(note));
    }
    return listing;
}
