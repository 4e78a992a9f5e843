// Share purchases, the daily dividend, the order of play and fortunes beyond 32 bits.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "game/game.h"
#include "game/position.h"

namespace {

// Share values 500, 300, 3100 and 0 earn 25, 15, 155 and 0 on top of 150. (Every price is a
// multiple of 100, so a value such as 399 never occurs.)
TEST(Money, EachDayPaysFivePercentOfOwnSharesPlus150) {
    // A at A1 for 100, B at F6 beside the star at F5 for 600.
    Game game = position(4, {"A", "", "", "", ".....*", ".....B"},
                         {{5, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, {1, 5, 0, 0, 0}});
    const std::int32_t day = game.day();
    game.endDay();
    EXPECT_EQ(game.day(), day + 1);
    const std::vector<std::int32_t> cash = {6000 + 175, 6000 + 165, 6000 + 305, 6000 + 150};
    for (std::int32_t p = 0; p < 4; ++p) {
        EXPECT_EQ(game.cash(p), cash[p]) << p;
        EXPECT_EQ(game.netWorth(p), cash[p] + game.shareValue(p)) << p;
    }
    game.endDay();
    EXPECT_TRUE(game.day() == day + 2 && game.cash(3) == 6300);
}

TEST(Money, BuyingNothingOrTheMost) {
    Game game = position(2, {"", "AA", "*"});  // 600 beside the star + 100
    game.buyShares(1, 0, 0);
    EXPECT_TRUE(game.cash(1) == 6000 && game.holdings(1, 0) == 0);
    game.buyShares(1, 0, 8);  // 8 x 700 = 5600, the most that 6000 buys
    EXPECT_TRUE(game.cash(1) == 400 && game.holdings(1, 0) == 8);
}

// Three players: each day every player has one turn in order, then the dividends; the game is
// over after day 18 (day 25 - 2 x 3 is never played), and a day cut short by a quit still pays.
TEST(Money, TurnsGoRoundThePlayersAndTheLastDayEndsTheGame) {
    Game game(3, 5U);
    std::vector<std::int32_t> order;
    while (!game.isOver()) {
        order.push_back(game.day() * 10 + game.currentPlayer());
        game.endTurn();
    }
    ASSERT_EQ(order.size(), 18U * 3U);
    EXPECT_TRUE(order.front() == 10 && order[1] == 11 && order[2] == 12 && order[3] == 20);
    EXPECT_TRUE(order.back() == 182 && game.day() == 19 && game.currentPlayer() == 0);
    EXPECT_EQ(game.cash(2), 6000 + 18 * 150);

    Game quitting(2, 5U);
    quitting.endTurn();
    quitting.endDay();  // player 1 quits on day 1
    EXPECT_TRUE(quitting.day() == 2 && quitting.currentPlayer() == 0 && quitting.cash(0) == 6150);
}

// Reinvesting every dividend long enough makes a fortune beyond 32 bits: net worth, cash and
// a merger bonus must stop at the largest amount instead of wrapping round.
TEST(Money, HugeFortunesStopAtTheLargestAmount) {
    Game game = position(2, {"A.BB"}, {{5, 0, 0, 0, 0}});
    for (int day = 0; game.holdingValue(0, 0) <= INT_MAX; ++day) {
        ASSERT_LT(day, 2000);
        game.buyShares(0, 0, game.cash(0) / 100);
        game.endDay();
    }
    EXPECT_EQ(game.rankPlayers()[0].netWorth, INT_MAX);
    for (int day = 0; day < 40; ++day) {
        game.endDay();
    }
    EXPECT_EQ(game.cash(0), INT_MAX);
    std::int32_t bonus = 0;
    const BuildObserver observer{
        nullptr, [&bonus](const std::vector<MergeEntry>& entries, std::int32_t, std::int32_t) {
            bonus = entries[0].bonus;
        }};
    game.placeOutpost(1, 0, 1, observer);  // B1 merges A into the larger B
    EXPECT_EQ(bonus, INT_MAX);             // the first merger pays in full
    EXPECT_EQ(game.cash(0), INT_MAX);
}

}  // namespace
