// The building rules on hand-built maps: plain outposts, formation, growth and mergers.
// Coordinates are (column, row) from 0; comments name cells as the map shows them (A1 = 0, 0).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "game/game.h"
#include "support/screen_capture.h"

namespace {

using Cells = std::vector<std::pair<std::int32_t, std::int32_t>>;

class Building : public ScreenTest {
protected:
    void SetUp() override { startScreenGame(4); }

    static Game& game() { return *theGame; }
    static void paint(std::int32_t row, const std::string& symbols) {
        for (std::int32_t col = 0; col < kColumns; ++col) {
            game().setCell(col, row, symbols.at(col));
        }
    }
    static std::string row(std::int32_t row) { return mapRowsOfGame().at(row); }
    // Founds a company on the first cell and grows it over the others.
    static void found(std::int32_t player, const Cells& cells) {
        const char letter = game().formCompany(cells[0].first, cells[0].second, player);
        for (std::size_t i = 1; i < cells.size(); ++i) {
            game().expandCompany(cells[i].first, cells[i].second, Game::letterIndex(letter) - 1);
        }
    }
    // Builds on (col, row) as one of the offered spots.
    static void build(std::int32_t col, std::int32_t row, std::int32_t player) {
        game().setCell(col, row, kOffered);
        placeOutpost(col, row, player);
    }
    // Size/price of each active company, "-" for the others: "A4/900 B- C- D- E- ".
    static std::string companies() {
        std::string all;
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            all += Game::columnLetter(c);
            all += game().isActive(c)
                       ? std::to_string(game().size(c)) + "/" + std::to_string(game().price(c))
                       : "-";
            all += " ";
        }
        return all;
    }
    // Each player's shares of A to E and cash: "5 0 0 0 0 $6000".
    static std::vector<std::string> players() {
        std::vector<std::string> all(game().playerCount());
        for (std::int32_t p = 0; p < game().playerCount(); ++p) {
            for (std::int32_t c = 0; c < kCompanyCount; ++c) {
                all[p] += std::to_string(game().holdings(p, c)) + " ";
            }
            all[p].append("$").append(std::to_string(game().cash(p)));
        }
        return all;
    }
    // Every announcement starts with a cleared screen, a form feed here.
    std::size_t announcements() const { return std::ranges::count(screen.output(), '\f'); }

    ScreenCapture screen;  // takes the announcements; their key waits return at once
};

TEST_F(Building, APlainOutpostWhenNothingFormsOrEveryLetterIsTaken) {
    build(5, 4, 0);
    EXPECT_EQ(game().cell(5, 4), kOutpost);
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        found(0, {{2 * c, 0}});
    }
    paint(6, "*...........");
    paint(7, ".+..........");
    build(0, 7, 0);  // A8, beside a star and an outpost
    EXPECT_EQ(row(7), "++..........");
    EXPECT_EQ(companies(), "A1/100 B1/100 C1/100 D1/100 E1/100 ");
    EXPECT_EQ(announcements(), 0U);
}

// Each cell adds 100, or 600 when it touches a star; diagonals never join.
TEST_F(Building, FormationTakesTheOutpostChainCellByCell) {
    paint(3, "...*........");
    paint(4, "..+++.......");
    paint(5, ".....+......");
    build(1, 4, 1);
    EXPECT_EQ(row(4), ".AAAA.......");
    EXPECT_EQ(row(5), ".....+......");
    EXPECT_EQ(companies(), "A4/900 B- C- D- E- ");
    EXPECT_EQ(players()[1], "5 0 0 0 0 $6000");
    EXPECT_EQ(announcements(), 1U);
}

// The chain C1 D1 joins A; F1 beyond B and E2 diagonal to D1 do not, and B is not merged.
TEST_F(Building, GrowthSpreadsThroughChainsAndStopsBesideOtherCompanies) {
    paint(0, "..++.+......");
    paint(1, "....+.......");
    paint(2, "*...........");
    found(0, {{0, 0}});
    found(1, {{4, 0}});
    build(1, 0, 2);
    EXPECT_EQ(row(0), "AAAAB+......");
    EXPECT_EQ(row(1), "....+.......");
    EXPECT_EQ(companies(), "A4/400 B1/100 C- D- E- ");
    build(0, 1, 2);  // A2 touches the star at A3
    EXPECT_EQ(companies(), "A5/1000 B1/100 C- D- E- ");
    EXPECT_EQ(announcements(), 0U);
}

// J8 meets A (J9 K9 L9, price 300) first and B (K8 L8 L7 L6 L5, price 500) second. B is the
// larger, so its price becomes 800 before A's shares convert: 5 A give 1500 / 800 = 1 B and
// $1500 / 1 merger, 7 A give 2 B and $2100.
TEST_F(Building, TheLargerCompanyAbsorbsTheSmallerEverywhere) {
    found(0, {{9, 8}, {10, 8}, {11, 8}});
    found(1, {{10, 7}, {11, 7}, {11, 6}, {11, 5}, {11, 4}});
    game().buyShares(2, 0, 7);
    build(9, 7, 3);
    EXPECT_EQ(row(4), "...........B");
    EXPECT_EQ(row(7), ".........BBB");
    EXPECT_EQ(row(8), ".........BBB");
    EXPECT_EQ(companies(), "A- B9/900 C- D- E- ");
    EXPECT_EQ(players(), (std::vector<std::string>{"0 1 0 0 0 $7500", "0 5 0 0 0 $6000",
                                                   "0 2 0 0 0 $6000", "0 0 0 0 0 $6000"}));
    EXPECT_EQ(announcements(), 1U);

    paint(0, "*...........");
    build(0, 1, 2);  // A is formed again beside a star, afresh
    EXPECT_EQ(companies(), "A1/600 B9/900 C- D- E- ");
    EXPECT_EQ(players()[0], "0 1 0 0 0 $7500");
    EXPECT_EQ(players()[2], "5 2 0 0 0 $6000");
}

// F5 meets B above, A below, C on the right. B and A tie, so B (met first) survives:
// 5 A at 100 give 500 / 200 = 2 B and $500. B and C tie again: 8 C at 200 give
// 1600 / 400 = 4 B and $1600 / 2 mergers.
TEST_F(Building, OnEqualSizesTheCompanyMetFirstSurvives) {
    found(0, {{5, 5}});
    found(1, {{5, 3}});
    found(2, {{6, 4}, {7, 4}});
    game().buyShares(2, 2, 3);
    build(5, 4, 3);
    EXPECT_EQ(row(3), ".....B......");
    EXPECT_EQ(row(4), ".....BBB....");
    EXPECT_EQ(row(5), ".....B......");
    EXPECT_EQ(companies(), "A- B5/500 C- D- E- ");
    EXPECT_EQ(players(), (std::vector<std::string>{"0 2 0 0 0 $6500", "0 5 0 0 0 $6000",
                                                   "0 4 0 0 0 $6200", "0 0 0 0 0 $6000"}));
    EXPECT_EQ(announcements(), 2U);
}

// F5 meets B above, A below, C left, D right: A absorbs B, then C, then D, and each bonus is
// divided by the mergers so far. 5 B: 500 / 400 = 1 A, $500 / 1; 9 C: 1800 / 600 = 3 A,
// $1800 / 2; 14 D: 1400 / 700 = 2 A, $1400 / 3 = 466.
TEST_F(Building, ThreeMergersFromOneBuildRunInScanOrder) {
    found(0, {{5, 5}, {5, 6}, {5, 7}});
    found(1, {{5, 3}});
    found(2, {{4, 4}, {3, 4}});
    found(3, {{6, 4}});
    game().buyShares(2, 2, 4);
    game().buyShares(3, 3, 9);
    build(5, 4, 0);
    EXPECT_EQ(row(4), "...AAAA.....");
    EXPECT_EQ(companies(), "A8/800 B- C- D- E- ");
    EXPECT_EQ(players(), (std::vector<std::string>{"5 0 0 0 0 $6000", "1 0 0 0 0 $6500",
                                                   "3 0 0 0 0 $6100", "2 0 0 0 0 $5566"}));
    EXPECT_EQ(announcements(), 3U);
}

// The count of different companies (2 standing for 2 or more), then the first and second
// letters met above, below, left, right; diagonals do not count.
TEST_F(Building, TheScanCountsCompaniesInNeighbourOrder) {
    const auto scan = [](std::int32_t col, std::int32_t row) {
        const NeighbourScan s = game().scanNeighbours(col, row);
        return std::to_string(s.count).append(s.count >= 1, s.first).append(s.count >= 2, s.second);
    };
    const std::pair<std::string, std::string> cases[] = {
        {"....", "0"},   {"+*..", "0"},   {"AA..", "1A"},  {"A..A", "1A"}, {"AB..", "2AB"},
        {"A.B.", "2AB"}, {"AA.B", "2AB"}, {".BA.", "2BA"}, {"..DC", "2DC"}};
    for (const auto& [sides, expected] : cases) {
        // B2's sides, E on its diagonals; appended, as "E" + s trips a false -Wrestrict in
        // GCC 12 at -O3.
        paint(0, std::string("E").append(1, sides[0]).append("E........."));
        paint(1, std::string(1, sides[2]).append(".").append(1, sides[3]).append("........."));
        paint(2, std::string("E").append(1, sides[1]).append("E........."));
        EXPECT_EQ(scan(1, 1), expected) << sides;
    }
    paint(0, ".A..........");
    paint(1, "B...........");
    EXPECT_EQ(scan(0, 0), "2BA");  // in the corner only below and right exist
}

}  // namespace
