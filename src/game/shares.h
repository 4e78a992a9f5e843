// The money side of the game: share purchases, the daily dividend and net worth. The
// operations are members of Game (game.h, defined in shares.cpp).
#pragma once

#include <cstdint>
#include <limits>

// One line of the final standings.
struct Standing {
    std::int32_t player = 0;
    std::int32_t netWorth = 0;  // cash plus the value of all shares
};

// Money is kept in 32-bit whole dollars. Sums and products of money are computed in 64 bits
// and brought back with this, so a fortune too large to hold stays at the largest amount
// instead of overflowing.
constexpr std::int32_t clampMoney(std::int64_t amount) {
    constexpr std::int64_t kMost = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kLeast = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(amount > kMost ? kMost : amount < kLeast ? kLeast : amount);
}

// Every day pays 5 percent of the value of a player's shares (its 20th part) plus this.
inline constexpr std::int32_t kDailyIncome = 150;
inline constexpr std::int32_t kDividendDivisor = 20;
// The end of a day's pay for shares worth `shareValue`: 5 percent, rounded down.
constexpr std::int64_t dividendOn(std::int64_t shareValue) {
    return shareValue / kDividendDivisor;
}
// The same as a fraction of the shares' value, for estimates.
inline constexpr double kDividendRate = 0.05;
