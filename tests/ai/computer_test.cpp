// The computer's decisions in hand-drawn positions, at every level. Coordinates are (column,
// row) from 0; comments name cells as the map shows them (A1 = 0, 0).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ai/computer.h"
#include "game/position.h"

namespace {

constexpr Level kLevels[] = {Level::easy, Level::normal, Level::hard};

// The position drawn, with every "?" on offer (in reading order) and player 0 to move with
// `cash`. REQUIRES: the picture holds five "?".
Game offering(const Picture& map, const std::vector<Shares>& holdings, std::int32_t cash) {
    GameState state = position(2, map, holdings).state();
    state.players[0].cash = cash;
    return Game::restore(state).value();
}

// Where the plan builds, as the map shows it: "C1".
std::string spotOf(const Game& game, const TurnPlan& plan) {
    std::string spot(1, Game::columnLetter(game.offeredColumn(plan.offer)));
    spot += static_cast<char>('1' + game.offeredRow(plan.offer));
    return spot;
}

// Carries out the plan as the screens do, checking every purchase against the cash left.
// Returns the cash left over.
std::int32_t carryOut(Game game, const TurnPlan& plan) {
    EXPECT_TRUE(plan.offer >= 0 && plan.offer < kOfferCount);
    game.placeOutpost(game.offeredColumn(plan.offer), game.offeredRow(plan.offer), 0);
    game.clearOffers();
    for (const Purchase& buy : plan.purchases) {
        EXPECT_TRUE(game.isActive(buy.company) && buy.shares >= 1 &&
                    buy.shares <= game.cash(0) / game.price(buy.company))
            << Game::columnLetter(buy.company) << " x" << buy.shares << " with $" << game.cash(0);
        game.buyShares(0, buy.company, buy.shares);
    }
    return game.cash(0);
}

// A (2 cells, $200) and B (3 cells, $300) both touch C5. Building there merges A into B: the
// first merger of the game pays player 0's 20 shares of A their full value, $4000, and turns
// them into 20 x 200 / 500 = 8 shares of B. Growing A at B4 would only add $100 a share, and
// the other three spots touch nothing.
const Picture kMerger = {"..........?.", "?...........", "", ".?..........", "AA?BBB......", "",
                         "........?..."};

TEST(ComputerPlayer, TakesAMergerThatPaysIt) {
    const Game game = offering(kMerger, {{20, 0, 0, 0, 0}}, 0);
    for (const Level level : kLevels) {
        const TurnPlan plan = planTurn(game, 0, level);
        EXPECT_EQ(spotOf(game, plan), "C5") << static_cast<int>(level);
    }
}

// Beside a star a new company is worth 5 x $600 to its founder, beside an outpost 5 x $100 a
// cell; an outpost alone is worth nothing.
TEST(ComputerPlayer, FoundsACompanyRatherThanBuildAnIsolatedOutpost) {
    const Picture besideStar = {"",
                                "..?.........",
                                "",
                                ".....*?.....",
                                "",
                                "?...........",
                                "",
                                "........?...",
                                "..........?."};
    const Picture besideOutpost = {"?...........", "", "....?.......", "", "", "",
                                   "..+?........", "", "?........?.."};
    for (const Level level : kLevels) {
        const Game star = offering(besideStar, {}, 6000);
        EXPECT_EQ(spotOf(star, planTurn(star, 0, level)), "G4") << static_cast<int>(level);
        const Game outpost = offering(besideOutpost, {}, 6000);
        EXPECT_EQ(spotOf(outpost, planTurn(outpost, 0, level)), "D7") << static_cast<int>(level);
    }
}

// A share both hold: player 0 has 10 of A, its rival 30. C1, beside the star, would raise A by
// $600: $6000 for player 0 and $18000 for the rival. G5 raises B, player 0's own, by $100:
// $1000 for player 0 alone. The levels that mind their rivals build at G5.
TEST(ComputerPlayer, BuildsForItselfRatherThanForItsRival) {
    const Picture map = {"AA?*........", "", "......?.....", "", "....BB?.....", "", "",
                         "?.........?."};
    const Game game = offering(map, {{10, 10, 0, 0, 0}, {30, 0, 0, 0, 0}}, 0);
    for (const Level level : {Level::normal, Level::hard}) {
        EXPECT_EQ(spotOf(game, planTurn(game, 0, level)), "G5") << static_cast<int>(level);
    }
}

// Purchases are planned with the cash the build leaves: none before the merger bonus, $599
// against a $600 share. Each is affordable in its turn, and no level keeps back the price of
// a share of the cheapest company (shares never lose value).
TEST(ComputerPlayer, SpendsNoMoreThanItHasAndLeavesNoShareUnbought) {
    const Picture dear = {
        "", "", "..*A.?......", "", "?.......?...", "", "..?.........", "", "..........?."};
    const std::vector<std::pair<Game, std::int32_t>> cases = {
        {offering(kMerger, {{20, 0, 0, 0, 0}}, 0), 600},  // the cheapest, B, after the merger
        {offering(dear, {{0, 0, 0, 0, 0}}, 599), 600},    // A is the only company
    };
    for (const Level level : kLevels) {
        for (const auto& [game, cheapest] : cases) {
            const TurnPlan plan = planTurn(game, 0, level);
            const std::int32_t left = carryOut(game, plan);
            EXPECT_TRUE(left >= 0 && left < cheapest) << static_cast<int>(level) << " $" << left;
        }
    }
}

// Where the computer takes over a turn after someone else built, it buys what it would have
// bought after that build had it made it, with the cash the build left.
TEST(ComputerPlayer, BuysAfterAnotherBuildAsAfterItsOwn) {
    const Game game = offering(kMerger, {{20, 0, 0, 0, 0}}, 0);
    for (const Level level : kLevels) {
        const TurnPlan plan = planTurn(game, 0, level);
        for (std::int32_t offer = 0; offer < kOfferCount; ++offer) {
            Game built = game;
            built.placeOutpost(game.offeredColumn(offer), game.offeredRow(offer), 0);
            built.clearOffers();
            const std::vector<Purchase> purchases = planPurchases(built, 0, level);
            const std::int32_t left = carryOut(game, TurnPlan{offer, purchases});
            EXPECT_TRUE(left >= 0 && left < 600) << static_cast<int>(level) << " $" << left;
            if (offer == plan.offer) {
                EXPECT_EQ(purchases.size(), plan.purchases.size()) << static_cast<int>(level);
                for (std::size_t i = 0; i < std::min(purchases.size(), plan.purchases.size());
                     ++i) {
                    EXPECT_EQ(purchases[i].company, plan.purchases[i].company);
                    EXPECT_EQ(purchases[i].shares, plan.purchases[i].shares);
                }
            }
        }
    }
}

}  // namespace

// Right after the build, no spot on offer: A (3 cells, $300) and B (1 cell, $100).
const Picture kTwoCompanies = {"AAA", "", "", "", "....B"};

Game afterBuild(std::int32_t cash) {
    GameState state = position(2, kTwoCompanies).state();
    state.players[0].cash = cash;
    return Game::restore(state).value();
}

// Easy gives each company an equal part, $500 of $1000: 1 share of A ($200 left over) and 5
// of B; the $200 left over buys 2 more of the cheapest, B.
TEST(ComputerPlayer, EasySpreadsItsCashAndPutsTheRestOnTheCheapest) {
    const std::vector<Purchase> buys = planPurchases(afterBuild(1000), 0, Level::easy);
    std::vector<std::int32_t> shares(kCompanyCount);
    for (const Purchase& buy : buys) {
        shares.at(buy.company) += buy.shares;
    }
    EXPECT_EQ(shares, (std::vector<std::int32_t>{1, 7, 0, 0, 0}));
}

// A purchase planned after someone else's build: affordable in its turn, the same on every
// call, and nothing left that buys a share.
TEST(ComputerPlayer, PlansPurchasesAfterABuildItDidNotPlan) {
    for (const std::int32_t cash : {0, 99, 100, 1000, 45678}) {
        const Game game = afterBuild(cash);
        for (const Level level : kLevels) {
            const std::vector<Purchase> buys = planPurchases(game, 0, level);
            Game bought = game;
            for (const Purchase& buy : buys) {
                ASSERT_TRUE(bought.isActive(buy.company) && buy.shares >= 1 &&
                            buy.shares <= bought.cash(0) / bought.price(buy.company));
                bought.buyShares(0, buy.company, buy.shares);
            }
            EXPECT_LT(bought.cash(0), 100) << static_cast<int>(level) << " $" << cash;
            const std::vector<Purchase> again = planPurchases(game, 0, level);
            EXPECT_TRUE(std::equal(buys.begin(), buys.end(), again.begin(), again.end(),
                                   [](const Purchase& a, const Purchase& b) {
                                       return a.company == b.company && a.shares == b.shares;
                                   }));
        }
    }
}
