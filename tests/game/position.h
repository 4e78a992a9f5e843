// Hand-built positions for the rule tests: a map drawn as nine rows of twelve symbols (rows
// left short or out are empty space), each company priced as if it had been built cell by
// cell (cellWorth: more beside a star).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/game.h"

using Picture = std::array<std::string, kRows>;
using Shares = std::array<std::int32_t, kCompanyCount>;  // of A to E

inline char symbolAt(const Picture& map, std::int32_t col, std::int32_t row) {
    const std::string& line = map.at(row);
    return static_cast<std::size_t>(col) < line.size() ? line[col] : kEmpty;
}

inline bool besideStar(const Picture& map, std::int32_t col, std::int32_t row) {
    const auto star = [&map](std::int32_t c, std::int32_t r) {
        return c >= 0 && c < kColumns && r >= 0 && r < kRows && symbolAt(map, c, r) == kStar;
    };
    return star(col, row - 1) || star(col, row + 1) || star(col - 1, row) || star(col + 1, row);
}

// REQUIRES: `holdings` has no more entries than players; missing ones hold nothing.
inline Game position(std::int32_t players, const Picture& map,
                     const std::vector<Shares>& holdings = {}) {
    GameState state;
    state.playerCount = players;
    state.day = lastDayOf(players);  // the last day, so that a busy map fits the builds made
    std::size_t offers = 0;          // "?" marks are the offers, in reading order
    for (std::int32_t row = 0; row < kRows; ++row) {
        for (std::int32_t col = 0; col < kColumns; ++col) {
            const char symbol = symbolAt(map, col, row);
            state.map.at(col).at(row) = symbol;
            if (symbol == kOffered && offers < kOfferCount) {
                state.offeredColumns.at(offers) = col;
                state.offeredRows.at(offers++) = row;
            }
            if (symbol >= 'A' && symbol <= 'E') {
                Company& company = state.companies.at(symbol - 'A');
                company.active = true;
                ++company.size;
                company.price += cellWorth(besideStar(map, col, row));
            }
        }
    }
    for (std::size_t p = 0; p < holdings.size(); ++p) {
        state.players.at(p).holdings = holdings[p];
    }
    std::string problem;
    std::optional<Game> game = Game::restore(state, &problem);
    EXPECT_TRUE(game) << problem;
    return game ? *game : Game(players, 1U);
}

inline Picture pictureOf(const Game& game) {
    Picture map;
    for (std::int32_t row = 0; row < kRows; ++row) {
        for (std::int32_t col = 0; col < kColumns; ++col) {
            map.at(row) += game.cell(col, row);
        }
    }
    return map;
}
