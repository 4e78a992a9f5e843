// The building rules on hand-drawn maps: plain outposts, formation, growth and mergers.
// Coordinates are (column, row) from 0; comments name cells as the map shows them (A1 = 0, 0).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game.h"
#include "game/position.h"

namespace {

// Size/price of each active company, "-" for the others: "A4/900 B- C- D- E- ".
std::string companies(const Game& game) {
    std::string all;
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        all += Game::columnLetter(c);
        all += game.isActive(c) ? std::to_string(game.size(c)) + "/" + std::to_string(game.price(c))
                                : "-";
        all += " ";
    }
    return all;
}

// Each player's shares of A to E and cash: "5 0 0 0 0 $6000".
std::vector<std::string> players(const Game& game) {
    std::vector<std::string> all(game.playerCount());
    for (std::int32_t p = 0; p < game.playerCount(); ++p) {
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            all[p] += std::to_string(game.holdings(p, c)) + " ";
        }
        all[p].append("$").append(std::to_string(game.cash(p)));
    }
    return all;
}

// What a build reported, in order: "+A1" for A founded by player 1, "B<A" for A merged into B.
struct Reports {
    std::string log;
    std::vector<MergeEntry> lastEntries;
    BuildObserver observer() {
        return {[this](char letter, std::int32_t player) {
                    log.append("+").append(1, letter).append(std::to_string(player)) += " ";
                },
                [this](const std::vector<MergeEntry>& entries, std::int32_t a, std::int32_t b) {
                    lastEntries = entries;
                    const auto letter = [](std::int32_t c) { return Game::columnLetter(c); };
                    log.append(1, letter(a)).append(1, ' ').append(1, letter(b)) += " ";
                }};
    }
};

TEST(Building, APlainOutpostWhenNothingFormsOrEveryLetterIsTaken) {
    Reports reports;
    Game game = position(4, {});
    game.placeOutpost(5, 4, 0, reports.observer());
    EXPECT_EQ(game.cell(5, 4), kOutpost);
    game = position(4, {"A.B.C.D.E...", "", "", "", "", "", "*...........", ".+..........", ""});
    game.placeOutpost(0, 7, 0, reports.observer());  // A8, beside a star and an outpost
    EXPECT_EQ(pictureOf(game)[7], "++..........");
    EXPECT_EQ(companies(game), "A1/100 B1/100 C1/100 D1/100 E1/100 ");
    EXPECT_EQ(reports.log, "");
}

// Each cell adds 100, or 600 when it touches a star; diagonals never join.
TEST(Building, FormationTakesTheOutpostChainCellByCell) {
    Reports reports;
    Game game =
        position(4, {"", "", "", "...*........", "..+++.......", ".....+......", "", "", ""});
    game.placeOutpost(1, 4, 1, reports.observer());
    EXPECT_EQ(pictureOf(game)[4], ".AAAA.......");
    EXPECT_EQ(pictureOf(game)[5], ".....+......");
    EXPECT_EQ(companies(game), "A4/900 B- C- D- E- ");
    EXPECT_EQ(players(game)[1], "5 0 0 0 0 $6000");
    EXPECT_EQ(reports.log, "+A1 ");
}

// The chain C1 D1 joins A; F1 beyond B and E2 diagonal to D1 do not, and B is not merged.
TEST(Building, GrowthSpreadsThroughChainsAndStopsBesideOtherCompanies) {
    Reports reports;
    Game game =
        position(4, {"A.++B+......", "....+.......", "*...........", "", "", "", "", "", ""});
    game.placeOutpost(1, 0, 2, reports.observer());
    EXPECT_EQ(pictureOf(game)[0], "AAAAB+......");
    EXPECT_EQ(pictureOf(game)[1], "....+.......");
    EXPECT_EQ(companies(game), "A4/400 B1/100 C- D- E- ");
    game.placeOutpost(0, 1, 2, reports.observer());  // A2 touches the star at A3
    EXPECT_EQ(companies(game), "A5/1000 B1/100 C- D- E- ");
    EXPECT_EQ(reports.log, "");
}

// J8 meets A (J9 K9 L9, price 300) first and B (K8 L8 L7 L6 L5, price 500) second. B is the
// larger, so its price becomes 800 before A's shares convert: 5 A give 1500 / 800 = 1 B and
// $1500 / 1 merger, 7 A give 2 B and $2100.
TEST(Building, TheLargerCompanyAbsorbsTheSmallerEverywhere) {
    Reports reports;
    Game game = position(4,
                         {"", "", "", "", "...........B", "...........B", "...........B",
                          "..........BB", ".........AAA"},
                         {{5, 0, 0, 0, 0}, {0, 5, 0, 0, 0}, {7, 0, 0, 0, 0}});
    game.placeOutpost(9, 7, 3, reports.observer());
    EXPECT_EQ(pictureOf(game)[7], ".........BBB");
    EXPECT_EQ(pictureOf(game)[8], ".........BBB");
    EXPECT_EQ(companies(game), "A- B9/900 C- D- E- ");
    EXPECT_EQ(players(game), (std::vector<std::string>{"0 1 0 0 0 $7500", "0 5 0 0 0 $6000",
                                                       "0 2 0 0 0 $8100", "0 0 0 0 0 $6000"}));
    EXPECT_EQ(reports.log, "A B ");
    EXPECT_EQ(game.mergeCount(), 1);

    GameState state = game.state();
    state.map[0][0] = kStar;
    game = *Game::restore(state);
    game.placeOutpost(0, 1, 2, reports.observer());  // A is formed again beside a star, afresh
    EXPECT_EQ(companies(game), "A1/600 B9/900 C- D- E- ");
    EXPECT_EQ(players(game)[0], "0 1 0 0 0 $7500");
    EXPECT_EQ(players(game)[2], "5 2 0 0 0 $8100");
    EXPECT_EQ(reports.log, "A B +A2 ");
}

// F5 meets B above, A below, C on the right. B and A tie, so B (met first) survives:
// 5 A at 100 give 500 / 200 = 2 B and $500. B and C tie again: 8 C at 200 give
// 1600 / 400 = 4 B and $1600 / 2 mergers.
TEST(Building, OnEqualSizesTheCompanyMetFirstSurvives) {
    Reports reports;
    Game game =
        position(4, {"", "", "", ".....B......", "......CC....", ".....A......", "", "", ""},
                 {{5, 0, 0, 0, 0}, {0, 5, 0, 0, 0}, {0, 0, 8, 0, 0}});
    game.placeOutpost(5, 4, 3, reports.observer());
    EXPECT_EQ(pictureOf(game)[3], ".....B......");
    EXPECT_EQ(pictureOf(game)[4], ".....BBB....");
    EXPECT_EQ(pictureOf(game)[5], ".....B......");
    EXPECT_EQ(companies(game), "A- B5/500 C- D- E- ");
    EXPECT_EQ(players(game), (std::vector<std::string>{"0 2 0 0 0 $6500", "0 5 0 0 0 $6000",
                                                       "0 4 0 0 0 $6800", "0 0 0 0 0 $6000"}));
    EXPECT_EQ(reports.log, "B A B C ");
}

// F5 meets B above, A below, C left, D right: A absorbs B, then C, then D, and each bonus is
// divided by the mergers so far. 5 B: 500 / 400 = 1 A, $500 / 1; 9 C: 1800 / 600 = 3 A,
// $1800 / 2; 14 D: 1400 / 700 = 2 A, $1400 / 3 = 466. Player 0 held no shares of the three.
TEST(Building, ThreeMergersFromOneBuildRunInScanOrder) {
    Reports reports;
    Game game = position(4,
                         {"", "", "", ".....B......", "...CC.D.....", ".....A......",
                          ".....A......", ".....A......", ""},
                         {{5, 0, 0, 0, 0}, {0, 5, 0, 0, 0}, {0, 0, 9, 0, 0}, {0, 0, 0, 14, 0}});
    game.placeOutpost(5, 4, 0, reports.observer());
    EXPECT_EQ(pictureOf(game)[4], "...AAAA.....");
    EXPECT_EQ(companies(game), "A8/800 B- C- D- E- ");
    EXPECT_EQ(players(game), (std::vector<std::string>{"5 0 0 0 0 $6000", "1 0 0 0 0 $6500",
                                                       "3 0 0 0 0 $6900", "2 0 0 0 0 $6466"}));
    EXPECT_EQ(reports.log, "B A A C A D ");
    ASSERT_EQ(reports.lastEntries.size(), 4U);  // one entry per player, only D's holder involved
    EXPECT_TRUE(reports.lastEntries[3].involved && reports.lastEntries[3].oldStock == 14 &&
                reports.lastEntries[3].newStock == 2 && reports.lastEntries[3].bonus == 466);
    EXPECT_FALSE(reports.lastEntries[0].involved || reports.lastEntries[2].involved);
}

}  // namespace
