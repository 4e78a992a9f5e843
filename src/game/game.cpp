#include "game/game.h"

#include <algorithm>
#include <ctime>
#include <span>
#include <utility>

namespace {

std::optional<std::uint32_t> fixedClock;

std::uint32_t clockSeed() {
    if (fixedClock) {
        return *fixedClock;
    }
    return static_cast<std::uint32_t>(std::time(nullptr));
}

bool isCompanyLetter(char symbol) {
    return symbol >= 'A' && symbol < 'A' + kCompanyCount;
}

// The builds made so far, counting one in the current turn: every turn builds once.
std::int32_t buildsSoFar(const GameState& s) {
    return (s.day - 1) * s.playerCount + s.currentPlayer + 1;
}

std::string checkCounters(const GameState& s) {
    if (s.playerCount < 1 || s.playerCount > kMaxPlayers) {
        return "the number of players is not 1 to 5";
    }
    if (s.day < 1 || s.day > lastDayOf(s.playerCount)) {
        return "the day is not one of the game's days";
    }
    if (s.currentPlayer < 0 || s.currentPlayer >= s.playerCount) {
        return "the player to move does not exist";
    }
    // A merger takes away a company, and each company was founded by a build.
    if (s.mergeCount < 0 || s.mergeCount > buildsSoFar(s)) {
        return "the merger count is impossible";
    }
    if (s.computerLevel < 0 || s.computerLevel > kHardest) {
        return "the computer's level is unknown";
    }
    return {};
}

// The map holds only known symbols, the stars of the set-up, no more built cells than builds,
// and "?" exactly on the five offered spots, if anywhere (during a build).
std::string checkMap(const GameState& s) {
    std::int32_t stars = 0;
    std::int32_t built = 0;
    std::int32_t offered = 0;
    for (const auto& column : s.map) {
        for (const char symbol : column) {
            if (symbol != kEmpty && symbol != kStar && symbol != kOutpost && symbol != kOffered &&
                !isCompanyLetter(symbol)) {
                return "the map holds an unknown symbol";
            }
            stars += symbol == kStar ? 1 : 0;
            built += symbol == kOutpost || isCompanyLetter(symbol) ? 1 : 0;
            offered += symbol == kOffered ? 1 : 0;
        }
    }
    if (stars > kMostStars || built > buildsSoFar(s)) {
        return "the map holds more stars or built cells than a game can";
    }
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        const std::int32_t col = s.offeredColumns.at(i);
        const std::int32_t row = s.offeredRows.at(i);
        if (col < 0 || col >= kColumns || row < 0 || row >= kRows) {
            return "an offered spot is off the map";
        }
        if (offered != 0 && s.map.at(col).at(row) != kOffered) {
            return "the offered spots do not match the map";
        }
    }
    if (offered != 0 && offered != kOfferCount) {
        return "the offered spots do not match the map";
    }
    return {};
}

// An active company has a price and exactly as many cells as its size; an inactive one has
// no cells and no shareholders.
std::string checkCompanies(const Game& view) {
    const GameState& s = view.state();
    for (std::int32_t i = 0; i < kCompanyCount; ++i) {
        const Company& company = s.companies.at(i);
        if (company.letter != 'A' + i || company.size < 0 || company.price < 0) {
            return "a company's letter, size or price is wrong";
        }
        std::int32_t cells = 0;
        std::int32_t worth = 0;
        for (std::int32_t col = 0; col < kColumns; ++col) {
            for (std::int32_t row = 0; row < kRows; ++row) {
                if (view.cell(col, row) == company.letter) {
                    ++cells;
                    worth += view.worthOf(col, row);
                }
            }
        }
        if (company.active && (cells == 0 || cells != company.size || company.price != worth)) {
            return "a company's size or price does not match its cells on the map";
        }
        if (company.price > kColumns * kRows * kStarCellWorth) {
            return "a company's price is more than the whole map is worth";
        }
        const auto holds = [i](const Player& player) { return player.holdings.at(i) != 0; };
        const std::span players(s.players.data(), static_cast<std::size_t>(s.playerCount));
        if (!company.active && (cells != 0 || std::ranges::any_of(players, holds))) {
            return "a company that does not exist has cells or shareholders";
        }
    }
    return {};
}

std::string checkPlayers(const GameState& s) {
    for (std::int32_t p = 0; p < s.playerCount; ++p) {
        const Player& player = s.players.at(p);
        if (player.name.size() > kMaxNameLength || Game::visibleName(player.name) != player.name) {
            return "a player's name is too long or holds control characters";
        }
        if (player.cash < 0 || std::any_of(player.holdings.begin(), player.holdings.end(),
                                           [](std::int32_t shares) { return shares < 0; })) {
            return "a player's cash or shares are negative";
        }
    }
    return {};
}

}  // namespace

std::string Game::checkState(const GameState& state) {
    for (const auto check : {checkCounters, checkMap, checkPlayers}) {
        std::string problem = check(state);
        if (!problem.empty()) {
            return problem;
        }
    }
    return checkCompanies(Game(state));  // the map is sound: its cells can be valued
}

Game::Game(std::int32_t playerCount) : Game(playerCount, clockSeed()) {}

Game::Game(std::int32_t playerCount, std::uint32_t seed) {
    s_.seed = seed;
    s_.randomState = seed;
    resetMap(playerCount);
}

void Game::fixClock(std::optional<std::uint32_t> seconds) {
    fixedClock = seconds;
}

std::uint32_t Game::draw() {
    s_.randomState = s_.randomState * 214013U + 2531011U;  // unsigned: wraps modulo 2^32
    return (s_.randomState >> 16U) & 0x7FFFU;
}

// Not an even spread: hi comes only from the few highest draws, so column L and row 9 are
// rarely chosen. The game has always played this way.
std::int32_t Game::randomBetween(std::int32_t lo, std::int32_t hi) {
    const auto span = static_cast<std::int32_t>(32767 / (hi - lo));
    return static_cast<std::int32_t>(draw()) / span + lo;
}

void Game::resetMap(std::int32_t playerCount) {
    s_.day = 1;
    s_.playerCount = playerCount;
    for (auto& column : s_.map) {
        column.fill(kEmpty);
    }
    const std::int32_t stars = randomBetween(3, kMostStars);
    for (std::int32_t i = 0; i < stars; ++i) {
        const std::int32_t col = randomBetween(0, kColumns - 1);
        const std::int32_t row = randomBetween(0, kRows - 1);
        setCell(col, row, kStar);  // two stars may land on one cell
    }
}

// Each chosen cell is marked before the next draw, so the five spots are distinct. A game
// builds on at most 70 cells, so empty cells are always left to find.
void Game::offerSpots() {
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        std::int32_t col = 0;
        std::int32_t row = 0;
        do {
            col = randomBetween(0, kColumns - 1);
            row = randomBetween(0, kRows - 1);
        } while (!isEmpty(col, row));
        setCell(col, row, kOffered);
        s_.offeredColumns.at(i) = col;
        s_.offeredRows.at(i) = row;
    }
}

void Game::clearOffers() {
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        if (isOffered(offeredColumn(i), offeredRow(i))) {
            setCell(offeredColumn(i), offeredRow(i), kEmpty);
        }
    }
}

void Game::endTurn() {
    if (++s_.currentPlayer == s_.playerCount) {
        endDay();
    }
}

bool Game::isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80U                    ? 1
                                   : lead >= 0xC2U && lead < 0xE0U ? 2
                                   : lead >= 0xE0U && lead < 0xF0U ? 3
                                   : lead >= 0xF0U && lead < 0xF5U ? 4
                                                                   : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0U) != 0x80U) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

std::string Game::visibleName(std::string_view name) {
    // Outside UTF-8, a terminal that honours 8-bit controls takes 80 to 9F for C1 controls.
    const bool utf8 = isUtf8(name);
    std::string shown;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const bool c1 = byte == 0xC2U && i + 1 < name.size() &&
                        (static_cast<unsigned char>(name[i + 1]) & 0xE0U) == 0x80U;
        if (c1 && utf8) {
            ++i;  // C2 80 to C2 9F: U+0080 to U+009F, CSI among them
        }
        const bool control =
            byte < 0x20U || byte == 0x7FU || (!utf8 && byte >= 0x80U && byte <= 0x9FU);
        shown += control || (c1 && utf8) ? '?' : name[i];
    }
    return shown;
}

void Game::setPlayerName(std::string_view name, std::int32_t player) {
    s_.players.at(player).name = visibleName(name);
}

bool Game::anyInactive() const {
    return std::any_of(s_.companies.begin(), s_.companies.end(),
                       [](const Company& company) { return !company.active; });
}

bool Game::anyActive() const {
    return std::any_of(s_.companies.begin(), s_.companies.end(),
                       [](const Company& company) { return company.active; });
}

char Game::toUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::int32_t Game::letterIndex(char c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 1 : -1;
}

std::int32_t Game::digitValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

char Game::columnLetter(std::int32_t i) {
    return static_cast<char>('A' + i);
}

std::optional<Game> Game::restore(const GameState& state, std::string* problem) {
    std::string found = checkState(state);
    if (!found.empty()) {
        if (problem != nullptr) {
            *problem = std::move(found);
        }
        return std::nullopt;
    }
    return Game(state);
}
