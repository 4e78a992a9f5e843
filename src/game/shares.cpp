// Share purchases, the daily dividend and the order of the final standings.
#include <algorithm>

#include "game/game.h"

std::int64_t Game::holdingValue(std::int32_t player, std::int32_t company) const {
    return std::int64_t{holdings(player, company)} * price(company);
}

std::int64_t Game::shareValue(std::int32_t player) const {
    std::int64_t value = 0;
    for (std::int32_t company = 0; company < kCompanyCount; ++company) {
        value += holdingValue(player, company);
    }
    return value;
}

void Game::buyShares(std::int32_t player, std::int32_t company, std::int32_t count) {
    Player& buyer = s_.players.at(player);
    buyer.cash = clampMoney(std::int64_t{buyer.cash} - std::int64_t{count} * price(company));
    std::int32_t& shares = buyer.holdings.at(company);
    shares = clampMoney(std::int64_t{shares} + count);
}

// 5 percent of the value of the player's own shares, rounded down, plus a fixed income.
void Game::endDay() {
    ++s_.day;
    s_.currentPlayer = 0;
    for (std::int32_t p = 0; p < s_.playerCount; ++p) {
        Player& player = s_.players.at(p);
        player.cash =
            clampMoney(std::int64_t{player.cash} + dividendOn(shareValue(p)) + kDailyIncome);
    }
}

std::int32_t Game::netWorth(std::int32_t player) const {
    return clampMoney(std::int64_t{cash(player)} + shareValue(player));
}

// The richest player ranks first, as the instructions promise the win to the highest net
// worth; a stable sort keeps players with equal net worth in player order.
std::vector<Standing> Game::rankPlayers() const {
    std::vector<Standing> standings;
    standings.reserve(static_cast<std::size_t>(s_.playerCount));
    for (std::int32_t p = 0; p < s_.playerCount; ++p) {
        standings.push_back(Standing{p, netWorth(p)});
    }
    std::stable_sort(
        standings.begin(), standings.end(),
        [](const Standing& left, const Standing& right) { return left.netWorth > right.netWorth; });
    return standings;
}

// Cash comes only from the start, the days' dividends and the merger bonuses. A player's share
// value never falls but by a merger's conversion, which loses less than one share of the
// survivor, and no price ever exceeded the worth of all the cells built by now; so the value
// any day paid on, and any merger's bonus was paid on, is at most today's value plus that
// much for every merger.
std::int64_t Game::mostReceived(std::int32_t player) const {
    std::int64_t builtWorth = 0;
    for (std::int32_t col = 0; col < kColumns; ++col) {
        for (std::int32_t row = 0; row < kRows; ++row) {
            const char symbol = cell(col, row);
            const bool built =
                symbol == kOutpost || (symbol >= 'A' && symbol < 'A' + kCompanyCount);
            builtWorth += built ? worthOf(col, row) : 0;
        }
    }
    const std::int64_t mostValue = shareValue(player) + std::int64_t{s_.mergeCount} * builtWorth;
    std::int64_t most =
        kStartingCash + std::int64_t{s_.day - 1} * (mostValue / kDividendDivisor + kDailyIncome);
    for (std::int32_t merger = 1; merger <= s_.mergeCount; ++merger) {
        most += mostValue / merger;  // the bonus of the merger-th merger
    }
    return most;
}

// Every company formed is active now or was absorbed by a merger, and gave its founder's
// shares; every other share was bought, for at least a plain cell's worth, or converted in a
// merger into no more shares than before.
std::int64_t Game::leastReceived(std::int32_t player) const {
    std::int64_t shares = 0;
    std::int64_t formed = s_.mergeCount;
    for (std::int32_t company = 0; company < kCompanyCount; ++company) {
        shares += holdings(player, company);
        formed += isActive(company) ? 1 : 0;
    }
    const std::int64_t bought = std::max<std::int64_t>(0, shares - formed * kFounderShares);
    return cash(player) + bought * kCellWorth;
}
