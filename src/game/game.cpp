#include "game/game.h"

#include <algorithm>
#include <ctime>
#include <utility>

std::unique_ptr<Game> theGame;

namespace {

std::optional<std::uint32_t> fixedClock;

std::uint32_t clockSeed() {
    if (fixedClock) {
        return *fixedClock;
    }
    return static_cast<std::uint32_t>(std::time(nullptr));
}

}  // namespace

Game::Game(std::int32_t playerCount) : Game(playerCount, clockSeed()) {}

Game::Game(std::int32_t playerCount, std::uint32_t seed) : randomState_(seed) {
    for (std::int32_t i = 0; i < kCompanyCount; ++i) {
        companies_.at(i).letter = static_cast<char>('A' + i);
    }
    resetMap(playerCount);
}

void Game::fixClock(std::optional<std::uint32_t> seconds) {
    fixedClock = seconds;
}

std::uint32_t Game::draw() {
    randomState_ = randomState_ * 214013U + 2531011U;  // unsigned: wraps modulo 2^32
    return (randomState_ >> 16U) & 0x7FFFU;
}

// Not an even spread: hi comes only from the few highest draws, so column L and row 9 are
// rarely chosen. The game has always played this way.
std::int32_t Game::randomBetween(std::int32_t lo, std::int32_t hi) {
    const auto span = static_cast<std::int32_t>(32767 / (hi - lo));
    return static_cast<std::int32_t>(draw()) / span + lo;
}

void Game::resetMap(std::int32_t playerCount) {
    day_ = 1;
    playerCount_ = playerCount;
    for (auto& column : map_) {
        column.fill(kEmpty);
    }
    const std::int32_t stars = randomBetween(3, 7);
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
        offeredColumns_.at(i) = col;
        offeredRows_.at(i) = row;
    }
}

void Game::clearOffers() {
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        if (isOffered(offeredColumn(i), offeredRow(i))) {
            setCell(offeredColumn(i), offeredRow(i), kEmpty);
        }
    }
}

void Game::setPlayerName(std::string name, std::int32_t player) {
    players_.at(player).name = std::move(name);
}

bool Game::anyInactive() const {
    return std::any_of(companies_.begin(), companies_.end(),
                       [](const Company& company) { return !company.active; });
}

bool Game::anyActive() const {
    return std::any_of(companies_.begin(), companies_.end(),
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
