#include "server/control.h"

#include <charconv>
#include <vector>

#include "game/game.h"
#include "records/names.h"
#include "records/score_format.h"

namespace server {

namespace {

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t end = std::min(line.find(' '), line.size());
        fields.push_back(line.substr(0, end));
        line.remove_prefix(std::min(end + 1, line.size()));
    }
    return fields;
}

std::optional<std::int32_t> number(std::string_view text, std::int32_t most) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 0 || value > most) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> playerIndex(std::string_view text) {
    return number(text, kMaxPlayers - 1);
}

std::optional<ControlMessage> parseAwait(const std::vector<std::string_view>& f) {
    if (f.size() == 2 && f[1] == "menu") {
        return Await{Await::Who::host, -1, false};
    }
    if (f.size() == 2 && f[1] == "count") {
        return Await{Await::Who::count, -1, false};
    }
    if (f.size() != 3) {
        return std::nullopt;
    }
    if (f[1] == "key" && f[2] == "any") {
        return Await{Await::Who::anyone, -1, true};
    }
    const std::optional<std::int32_t> player = playerIndex(f[2]);
    if (!player) {
        return std::nullopt;
    }
    if (f[1] == "name") {
        return Await{Await::Who::person, *player, false};
    }
    if (f[1] == "line" || f[1] == "key") {
        return Await{Await::Who::player, *player, f[1] == "key"};
    }
    return std::nullopt;
}

}  // namespace

std::optional<ControlMessage> parseControlLine(std::string_view line) {
    if (line.size() > kMaxControlLine) {
        return std::nullopt;
    }
    if (line.starts_with("result ")) {
        return ResultLine{std::string(line.substr(7))};
    }
    const std::vector<std::string_view> f = words(line);
    if (f.empty()) {
        return std::nullopt;
    }
    if (f[0] == "await") {
        return parseAwait(f);
    }
    if (f[0] == "player" && f.size() == 4 && (f[2] == "person" || f[2] == "computer")) {
        const std::optional<std::int32_t> player = playerIndex(f[1]);
        std::optional<std::string> name = unescapeName(f[3]);
        if (!player || !name) {
            return std::nullopt;
        }
        return PlayerLine{*player, f[2] == "computer", Game::visibleName(*name)};
    }
    if (f[0] == "turn" && f.size() == 3) {
        const std::optional<std::int32_t> player = playerIndex(f[1]);
        const std::optional<std::int32_t> day = number(f[2], 100);
        if (!player || !day) {
            return std::nullopt;
        }
        return TurnLine{*player, *day};
    }
    return std::nullopt;
}

std::string awayLine(std::int32_t player, bool away) {
    return std::string(away ? "away " : "back ").append(std::to_string(player)) += '\n';
}

}  // namespace server
