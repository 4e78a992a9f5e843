#include "records/score_format.h"

#include <algorithm>

#include "records/names.h"
#include "records/text_fields.h"

namespace {

constexpr std::string_view kScoresTag = "kessandor-scores ";

// "people" gives -1; "computers-<level>" the level.
std::optional<std::int32_t> playersKindNamed(std::string_view mode) {
    if (mode == "people") {
        return -1;
    }
    constexpr std::string_view kPrefix = "computers-";
    const auto* found = std::find(kLevelNames.begin(), kLevelNames.end(),
                                  mode.substr(std::min(kPrefix.size(), mode.size())));
    if (!mode.starts_with(kPrefix) || found == kLevelNames.end()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(found - kLevelNames.begin());
}

}  // namespace

GameResult resultOf(const Game& game, std::string finishedAt) {
    GameResult result{std::move(finishedAt), -1, {}};
    std::int32_t rank = 0;
    for (const Standing& standing : game.rankPlayers()) {
        result.players.push_back({game.playerName(standing.player), standing.netWorth, ++rank});
        if (game.state().players.at(standing.player).computer) {
            result.computerLevel = game.state().computerLevel;
        }
    }
    return result;
}

std::string scoresHeader() {
    return std::string(kScoresTag)
        .append(std::to_string(kScoresVersion))
        .append(
            " (one game a line: when it ended in UTC, the number of players, people or "
            "computers-LEVEL, then each player's name, net worth and rank)\n");
}

std::string checkScoresHeader(std::string_view line) {
    const std::vector<std::string_view> fields = splitFields(line);
    const std::optional<std::int32_t> version = fields.size() > 1 && line.starts_with(kScoresTag)
                                                    ? parseNumber<std::int32_t>(fields[1])
                                                    : std::nullopt;
    if (!version || *version < 1) {
        return "is not a Kessandor record of games";
    }
    if (*version > kScoresVersion) {
        return std::string("was written by a newer version of Kessandor (record format ")
                   .append(std::to_string(*version)) += ")";
    }
    return {};
}

std::string writeResult(const GameResult& result) {
    std::string line = result.finishedAt;
    line.append(" ").append(std::to_string(result.players.size()));
    line.append(result.computerLevel < 0 ? " people" : " computers-");
    if (result.computerLevel >= 0) {
        line.append(kLevelNames.at(result.computerLevel));
    }
    for (const PlayerResult& player : result.players) {
        line.append(" ").append(escapeName(player.name));
        line.append(" ").append(std::to_string(player.netWorth));
        line.append(" ").append(std::to_string(player.rank));
    }
    return line += '\n';
}

std::optional<GameResult> readResult(std::string_view line) {
    const std::vector<std::string_view> fields = splitFields(line);
    const std::optional<std::int32_t> count =
        fields.size() > 3 ? parseNumber<std::int32_t>(fields[1]) : std::nullopt;
    const std::optional<std::int32_t> level =
        fields.size() > 3 ? playersKindNamed(fields[2]) : std::nullopt;
    if (!count || *count < 1 || *count > kMaxPlayers || !level || !isUtcTime(fields[0]) ||
        fields.size() != 3 + 3 * static_cast<std::size_t>(*count)) {
        return std::nullopt;
    }
    GameResult result{std::string(fields[0]), *level, {}};
    for (std::size_t i = 3; i < fields.size(); i += 3) {
        std::optional<std::string> name = unescapeName(fields[i]);
        const std::optional<std::int32_t> netWorth = parseNumber<std::int32_t>(fields[i + 1]);
        const std::optional<std::int32_t> rank = parseNumber<std::int32_t>(fields[i + 2]);
        if (!name || !netWorth || !rank || *rank < 1 || *rank > *count) {
            return std::nullopt;
        }
        result.players.push_back({std::move(*name), *netWorth, *rank});
    }
    return result;
}
