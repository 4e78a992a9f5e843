// Share purchases, the daily dividend and fortunes beyond 32 bits. The order of the standings
// is checked on the standings screen.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "game/game.h"
#include "support/screen_capture.h"

namespace {

// Share values 500, 300, 3100 and 0 earn 25, 15, 155 and 0 on top of 150. (Every price is a
// multiple of 100, so a value such as 399 never occurs.)
TEST(Money, EachDayPaysFivePercentOfOwnSharesPlus150) {
    Game game = emptyMapGame(4);
    game.formCompany(0, 0, 0);  // A at 100
    game.setCell(5, 4, kStar);
    game.formCompany(5, 5, 2);  // B at 600
    game.buyShares(1, 0, 3);
    game.buyShares(2, 0, 1);
    game.endDay();
    EXPECT_EQ(game.day(), 2);
    const std::vector<std::int32_t> cash = {6000 + 175, 5700 + 165, 5900 + 305, 6000 + 150};
    for (std::int32_t p = 0; p < 4; ++p) {
        EXPECT_EQ(game.cash(p), cash[p]) << p;
    }
    game.endDay();
    EXPECT_EQ(game.day(), 3);
    EXPECT_EQ(game.cash(3), 6300);
}

TEST(Money, BuyingNothingOrTheMost) {
    Game game = emptyMapGame(2);
    game.setCell(0, 2, kStar);
    game.formCompany(0, 1, 0);    // 600 beside the star
    game.expandCompany(1, 1, 0);  // + 100
    game.buyShares(1, 0, 0);
    EXPECT_TRUE(game.cash(1) == 6000 && game.holdings(1, 0) == 0);
    game.buyShares(1, 0, 8);  // 8 x 700 = 5600, the most that 6000 buys
    EXPECT_TRUE(game.cash(1) == 400 && game.holdings(1, 0) == 8);
}

// Reinvesting every dividend long enough makes a fortune beyond 32 bits: net worth, cash and
// a merger bonus must stop at the largest amount instead of wrapping round.
TEST(Money, HugeFortunesStopAtTheLargestAmount) {
    Game game = emptyMapGame(2);
    game.formCompany(0, 0, 0);  // A at 100
    game.formCompany(5, 5, 1);  // B, larger than A
    game.expandCompany(6, 5, 1);
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
    EXPECT_EQ(game.mergeCompanies(0, 1)[0].bonus, INT_MAX);  // the first merger pays in full
    EXPECT_EQ(game.cash(0), INT_MAX);
}

}  // namespace
