#include "records/save_format.h"

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <utility>

#include "records/names.h"
#include "records/text_fields.h"

namespace {

constexpr std::string_view kSaveTag = "kessandor-save ";
constexpr std::string_view kHexDigits = "0123456789abcdef";

// A file that cannot be read, with the words that follow its name.
struct Unreadable {
    std::string what;
};

// FNV-1a: cheap, and a changed or missing byte shows in it.
std::uint32_t checksum(std::string_view text) {
    return std::accumulate(text.begin(), text.end(), 2166136261U, [](std::uint32_t hash, char c) {
        return (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    });
}

void addLine(std::string& text, std::string_view key, std::initializer_list<std::int64_t> numbers,
             std::string_view last = {}) {
    text.append(key);
    for (const std::int64_t number : numbers) {
        text.append(" ").append(std::to_string(number));
    }
    if (!last.empty()) {
        text.append(" ").append(last);
    }
    text += '\n';
}

// The body of a save, line by line; each line starts with its key.
class SaveReader {
public:
    explicit SaveReader(std::string_view body) : rest_(body) {}

    // The fields after `key` on the next line, which must hold exactly `count` of them.
    std::vector<std::string_view> next(std::string_view key, std::size_t count) {
        ++number_;
        const std::size_t end = rest_.find('\n');
        if (end == std::string_view::npos) {
            fail(std::string("\"").append(key) += "\" is missing");
        }
        std::vector<std::string_view> fields = splitFields(rest_.substr(0, end));
        rest_.remove_prefix(end + 1);
        if (fields.size() != count + 1 || fields[0] != key) {
            fail(std::string("\"").append(key) += "\" expected");
        }
        fields.erase(fields.begin());
        return fields;
    }

    template <typename Int>
    Int number(std::string_view field) const {
        const std::optional<Int> value = parseNumber<Int>(field);
        if (!value) {
            fail(std::string("\"").append(field) += "\" is not a number in range");
        }
        return *value;
    }

    // The one number on the next line, after `key`.
    template <typename Int>
    Int value(std::string_view key) {
        return number<Int>(next(key, 1)[0]);
    }

    bool flag(std::string_view field) const {
        if (field != "0" && field != "1") {
            fail(std::string("\"").append(field) += "\" is neither 0 nor 1");
        }
        return field == "1";
    }

    void finish() {
        if (!rest_.empty()) {
            ++number_;
            fail("more lines than a game holds");
        }
    }

    [[noreturn]] void fail(const std::string& what) const {
        throw Unreadable{std::string("is damaged: line ")
                             .append(std::to_string(number_))
                             .append(": ")
                             .append(what)};
    }

private:
    std::string_view rest_;
    std::int32_t number_ = 1;  // of the line read last; the version line comes first
};

// Everything between the version line and the end line of a sound, complete file of a
// version this program reads.
std::string_view checkedSaveBody(std::string_view text) {
    const Unreadable truncated{"is truncated: it ends before its last line"};
    const Unreadable foreign{"is not a Kessandor saved game"};
    if (!text.starts_with(kSaveTag)) {
        throw kSaveTag.starts_with(text) ? truncated : foreign;
    }
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd == std::string_view::npos) {
        throw truncated;
    }
    const std::optional<std::int32_t> version =
        parseNumber<std::int32_t>(text.substr(kSaveTag.size(), firstEnd - kSaveTag.size()));
    if (!version || *version < 1) {
        throw foreign;
    }
    if (*version > kSaveVersion) {
        throw Unreadable{std::string("was saved by a newer version of Kessandor (save format ")
                             .append(std::to_string(*version)) += ")"};
    }
    const std::size_t lastStart = text.rfind('\n', text.size() - 2) + 1;
    if (!text.ends_with('\n') || lastStart <= firstEnd) {
        throw truncated;
    }
    const std::vector<std::string_view> end =
        splitFields(text.substr(lastStart, text.size() - 1 - lastStart));
    if (end.size() != 3 || end[0] != "end") {
        throw truncated;
    }
    if (parseNumber<std::size_t>(end[1]) != lastStart ||
        parseNumber<std::uint32_t>(end[2], 16) != checksum(text.substr(0, lastStart))) {
        throw Unreadable{"is damaged: its contents do not match their checksum"};
    }
    return text.substr(firstEnd + 1, lastStart - firstEnd - 1);
}

SavedGame parseSaveBody(std::string_view body) {
    SaveReader in(body);
    SavedGame game;
    GameState& s = game.state;
    game.savedAt = in.next("saved", 1)[0];
    if (!isUtcTime(game.savedAt)) {
        in.fail("the time it was saved is not a time in UTC");  // the list of saves shows it
    }
    s.seed = in.value<std::uint32_t>("seed");
    s.randomState = in.value<std::uint32_t>("random");
    s.playerCount = in.value<std::int32_t>("players");
    if (s.playerCount < 1 || s.playerCount > kMaxPlayers) {
        in.fail("the number of players is not 1 to 5");
    }
    s.day = in.value<std::int32_t>("day");
    s.currentPlayer = in.value<std::int32_t>("turn");
    s.mergeCount = in.value<std::int32_t>("mergers");
    s.computerLevel = in.value<std::int32_t>("level");
    const std::vector<std::string_view> offers =
        in.next("offers", 2 * static_cast<std::size_t>(kOfferCount));
    for (std::size_t i = 0; i < kOfferCount; ++i) {
        s.offeredColumns.at(i) = in.number<std::int32_t>(offers[2 * i]);
        s.offeredRows.at(i) = in.number<std::int32_t>(offers[2 * i + 1]);
    }
    for (std::size_t row = 0; row < kRows; ++row) {
        const std::string_view symbols = in.next("row", 1)[0];
        if (symbols.size() != kColumns) {
            in.fail("a row of the map is not 12 cells long");
        }
        for (std::size_t col = 0; col < kColumns; ++col) {
            s.map.at(col).at(row) = symbols[col];
        }
    }
    for (Company& company : s.companies) {
        const std::vector<std::string_view> fields = in.next("company", 4);
        if (fields[0].size() != 1) {
            in.fail("a company's letter is not one letter");
        }
        company = {fields[0][0], in.number<std::int32_t>(fields[1]),
                   in.number<std::int32_t>(fields[2]), in.flag(fields[3])};
    }
    for (std::int32_t p = 0; p < s.playerCount; ++p) {
        const std::vector<std::string_view> fields = in.next("player", 2 + kCompanyCount + 1);
        Player& player = s.players.at(p);
        player.cash = in.number<std::int32_t>(fields[0]);
        for (std::size_t c = 0; c < kCompanyCount; ++c) {
            player.holdings.at(c) = in.number<std::int32_t>(fields[1 + c]);
        }
        player.computer = in.flag(fields[1 + kCompanyCount]);
        std::optional<std::string> name = unescapeName(fields[2 + kCompanyCount]);
        if (!name) {
            in.fail("a player's name is badly escaped");
        }
        player.name = std::move(*name);
    }
    in.finish();
    return game;
}

// What no game played from its start reaches at the start of a turn, though every field is
// in range: a turn that did not build, a person seated after a computer, more cash than the
// game so far can have paid. REQUIRES: `state` passes Game::checkState.
std::string checkStory(const GameState& state) {
    std::int32_t built = 0;
    for (const auto& column : state.map) {
        built += static_cast<std::int32_t>(std::count_if(column.begin(), column.end(), [](char c) {
            return c == kOutpost || (c >= 'A' && c < 'A' + kCompanyCount);
        }));
    }
    if (built != (state.day - 1) * state.playerCount + state.currentPlayer) {
        return "the map does not hold one built cell for each turn played";
    }
    for (std::int32_t p = 1; p < state.playerCount; ++p) {
        if (state.players.at(p - 1).computer && !state.players.at(p).computer) {
            return "a person is seated after a computer";
        }
    }
    const Game game = Game::restore(state).value();
    for (std::int32_t p = 0; p < state.playerCount; ++p) {
        if (game.leastReceived(p) > game.mostReceived(p)) {
            return "a player holds more cash and shares than the game so far can have paid";
        }
    }
    return {};
}

}  // namespace

// Every field is taken apart by name, so a field added to the game's state, a company or a
// player stops this from compiling until it is saved too.
std::string writeSave(const SavedGame& game) {
    const auto& [playerCount, day, currentPlayer, mergeCount, computerLevel, map, companies,
                 players, offeredColumns, offeredRows, seed, randomState] = game.state;
    std::string text(kSaveTag);
    text.append(std::to_string(kSaveVersion)).append("\nsaved ").append(game.savedAt) += '\n';
    addLine(text, "seed", {seed});
    addLine(text, "random", {randomState});
    addLine(text, "players", {playerCount});
    addLine(text, "day", {day});
    addLine(text, "turn", {currentPlayer});
    addLine(text, "mergers", {mergeCount});
    addLine(text, "level", {computerLevel});
    text.append("offers");
    for (std::size_t i = 0; i < kOfferCount; ++i) {
        text.append(" ").append(std::to_string(offeredColumns.at(i)));
        text.append(" ").append(std::to_string(offeredRows.at(i)));
    }
    text += '\n';
    for (std::size_t row = 0; row < kRows; ++row) {
        text.append("row ");
        for (std::size_t col = 0; col < kColumns; ++col) {
            text += map.at(col).at(row);
        }
        text += '\n';
    }
    for (const auto& [letter, size, price, active] : companies) {
        addLine(text, std::string("company ").append(1, letter), {size, price, active ? 1 : 0});
    }
    for (std::int32_t p = 0; p < playerCount; ++p) {
        const auto& [name, cash, holdings, computer] = players.at(p);
        const auto& h = holdings;
        addLine(text, "player", {cash, h[0], h[1], h[2], h[3], h[4], computer ? 1 : 0},
                escapeName(name));
    }
    return sealSave(std::move(text));
}

std::string sealSave(std::string body) {
    std::string sum(8, '0');
    std::uint32_t rest = checksum(body);
    for (std::size_t i = sum.size(); i-- > 0; rest >>= 4U) {
        sum[i] = kHexDigits[rest & 15U];
    }
    const std::string end = std::string("end ").append(std::to_string(body.size())) + " " + sum;
    return body.append(end) += '\n';
}

std::optional<SavedGame> readSave(std::string_view text, std::string& problem) {
    try {
        SavedGame game = parseSaveBody(checkedSaveBody(text));
        std::string broken = Game::checkState(game.state);
        const auto offered = [](const auto& column) {
            return std::find(column.begin(), column.end(), kOffered) != column.end();
        };
        if (broken.empty() && std::any_of(game.state.map.begin(), game.state.map.end(), offered)) {
            broken = "a spot is on offer, as no turn's start has";  // saves come before the offers
        }
        if (broken.empty()) {
            broken = checkStory(game.state);
        }
        if (!broken.empty()) {
            throw Unreadable{std::string("is damaged: ").append(broken)};
        }
        return game;
    } catch (Unreadable& unreadable) {
        problem = std::move(unreadable.what);
        return std::nullopt;
    }
}
