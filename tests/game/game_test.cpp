// The random source, the galaxy map and the offered spots.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "game/game.h"

namespace {

// All 108 cells, column by column.
std::string cells(const Game& game) {
    std::string all;
    for (std::int32_t i = 0; i < kColumns * kRows; ++i) {
        all += game.cell(i / kRows, i % kRows);
    }
    return all;
}

TEST(GameSetUp, KnownSeedsGiveKnownMaps) {
    // Seed 1 draws 41 18467 6334 26500 19169 15724 11478 29358 26962 24464: 41 / 8191 + 3 = 3
    // stars, at G2, I5 and F3; the later draws show through randomBetween(0, 32767).
    Game game(1, 1U);
    std::string expected(kColumns * kRows, kEmpty);
    for (const std::int32_t star : {6 * kRows + 1, 8 * kRows + 4, 5 * kRows + 2}) {
        expected.at(star) = kStar;
    }
    EXPECT_EQ(cells(game), expected);
    for (const std::int32_t draw : {29358, 26962, 24464}) {
        EXPECT_EQ(game.randomBetween(0, 32767), draw);
    }
    for (std::uint32_t seed = 0; seed < 500; ++seed) {  // 3 to 7 stars, some may coincide
        const std::string map = cells(Game(1, seed * 7919U));
        const auto stars = std::count(map.begin(), map.end(), kStar);
        EXPECT_TRUE(stars >= 1 && stars <= 7 &&
                    stars + std::count(map.begin(), map.end(), kEmpty) == kColumns * kRows);
    }
}

// Over every possible draw, the top value comes only from the few highest draws and each
// other value from an equal share of the rest.
TEST(GameSetUp, RandomBetweenFavoursTheLowValues) {
    for (const auto& [lo, hi, highestDraws] :
         std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t>>{
             {0, 11, 10}, {0, 8, 8}, {3, 7, 4}}) {
        Game raw(1, 99U);
        Game scaled(1, 99U);  // same seed, same draws
        std::vector<std::int32_t> valueOfDraw(32768, -1);
        for (int i = 0; i < 600000; ++i) {
            valueOfDraw.at(raw.randomBetween(0, 32767)) = scaled.randomBetween(lo, hi);
        }
        ASSERT_EQ(std::count(valueOfDraw.begin(), valueOfDraw.end(), -1), 0);
        EXPECT_TRUE(std::is_sorted(valueOfDraw.begin(), valueOfDraw.end()));
        EXPECT_EQ(valueOfDraw.front(), lo);
        EXPECT_EQ(std::count(valueOfDraw.begin(), valueOfDraw.end(), hi), highestDraws);
        for (std::int32_t v = lo; v < hi; ++v) {
            EXPECT_EQ(std::count(valueOfDraw.begin(), valueOfDraw.end(), v),
                      (32768 - highestDraws) / (hi - lo));
        }
    }
}

// Offers land on distinct empty cells, also on a crowded map, and clearOffers withdraws all
// but the one built on.
TEST(GameSetUp, OffersAreDistinctEmptyAndWithdrawn) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        Game game(5, seed);
        for (std::int32_t i = 0; seed % 2 == 0 && i < kColumns * kRows; ++i) {
            const std::int32_t col = i / kRows, row = i % kRows;  // leave six cells empty
            game.setCell(col, row,
                         col >= 3 && col <= 5 && row >= 2 && row <= 3 ? kEmpty : kOutpost);
        }
        const std::string before = cells(game);
        game.offerSpots();
        std::string offered = before;
        for (std::int32_t i = 0; i < kOfferCount; ++i) {
            const std::int32_t at = game.offeredColumn(i) * kRows + game.offeredRow(i);
            EXPECT_EQ(before.at(at), kEmpty) << seed;
            offered.at(at) = kOffered;
        }
        EXPECT_EQ(cells(game), offered) << seed;
        EXPECT_EQ(std::ranges::count(offered, kOffered), 5) << seed << ": the spots are distinct";
        game.setCell(game.offeredColumn(2), game.offeredRow(2), 'C');
        game.clearOffers();
        std::string withdrawn = before;
        withdrawn.at(game.offeredColumn(2) * kRows + game.offeredRow(2)) = 'C';
        EXPECT_EQ(cells(game), withdrawn) << seed;
    }
}

}  // namespace
