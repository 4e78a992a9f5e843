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
