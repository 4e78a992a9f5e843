#include "records/format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <iterator>
#include <map>
#include <numeric>
#include <utility>

namespace {

constexpr std::string_view kSaveTag = "kessandor-save ";
constexpr std::string_view kScoresTag = "kessandor-scores ";
constexpr std::string_view kHexDigits = "0123456789abcdef";
constexpr std::size_t kHallSize = 10;  // best net worths listed for each kind of game

// A file that cannot be read, with the words that follow its name.
struct Unreadable {
    std::string what;
};

template <typename Int>
std::optional<Int> parseNumber(std::string_view text, int base = 10) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = line.find_first_not_of(' ');
    while (start != std::string_view::npos) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(' ', end);
    }
    return fields;
}

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

bool isUtcTime(std::string_view text) {
    constexpr std::string_view kPattern = "dddd-dd-ddTdd:dd:ddZ";
    return text.size() == kPattern.size() &&
           std::equal(kPattern.begin(), kPattern.end(), text.begin(), [](char want, char c) {
               return want == 'd' ? c >= '0' && c <= '9' : want == c;
           });
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

// One line of the hall of fame.
struct Fame {
    std::string name;
    std::int32_t netWorth = 0;
    std::string date;
    std::int32_t computerLevel = -1;
};

// The name as a terminal shows it safely, padded to 20 columns (a UTF-8 character takes one).
std::string paddedName(std::string_view name) {
    std::string shown = Game::visibleName(name);
    const auto columns =
        static_cast<std::size_t>(std::count_if(shown.begin(), shown.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
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

std::string escapeName(std::string_view name) {
    if (name.empty()) {
        return "%";
    }
    std::string word;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F || c == '%') {
            word.append("%").append(1, kHexDigits[byte >> 4U]).append(1, kHexDigits[byte & 15U]);
        } else {
            word += c;
        }
    }
    return word;
}

std::optional<std::string> unescapeName(std::string_view word) {
    std::string name;
    if (word == "%") {
        return name;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '%') {
            name += word[i];
            continue;
        }
        const std::optional<unsigned> byte = parseNumber<unsigned>(word.substr(i + 1, 2), 16);
        if (i + 2 >= word.size() || !byte) {
            return std::nullopt;
        }
        name += static_cast<char>(*byte);
        i += 2;
    }
    return word.empty() ? std::nullopt : std::optional(name);
}

std::string utcTime(std::time_t when) {
    std::array<char, 32> text{};
    const std::tm* parts = std::gmtime(&when);
    if (parts == nullptr ||
        std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", parts) == 0) {
        return "1970-01-01T00:00:00Z";
    }
    return text.data();
}

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
        if (!broken.empty()) {
            throw Unreadable{std::string("is damaged: ").append(broken)};
        }
        return game;
    } catch (Unreadable& unreadable) {
        problem = std::move(unreadable.what);
        return std::nullopt;
    }
}

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
                           return Fame{player.name, player.netWorth, game->finishedAt.substr(0, 10),
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
