// The random source, the galaxy map and the offered spots.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
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
        GameState state = Game(5, seed).state();
        for (std::int32_t i = 0; seed % 2 == 0 && i < kColumns * kRows; ++i) {
            const std::int32_t col = i / kRows, row = i % kRows;  // leave six cells empty
            state.map.at(col).at(row) =
                col >= 3 && col <= 5 && row >= 2 && row <= 3 ? kEmpty : kOutpost;
        }
        Game game = *Game::restore(state);
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
        // On the open maps one spot is built on; nothing is left to spread over there.
        const std::int32_t builtCol = game.offeredColumn(2), builtRow = game.offeredRow(2);
        if (seed % 2 == 1) {
            game.placeOutpost(builtCol, builtRow, 0);
        }
        game.clearOffers();
        std::string withdrawn = before;
        withdrawn.at(builtCol * kRows + builtRow) = game.cell(builtCol, builtRow);
        EXPECT_NE(game.cell(builtCol, builtRow), seed % 2 == 1 ? kEmpty : kOffered);
        EXPECT_EQ(cells(game), withdrawn) << seed;
    }
}

// Seed 1 goes on after its three stars with draws 29358 26962, 24464 ..., which pick J7 first
// (29358 / 2978 = 9, 26962 / 4095 = 6). Over many games every column and row is offered,
// L and 9 only rarely, and nothing outside the map.
TEST(GameSetUp, OffersComeFromTheWholeMap) {
    Game game(1, 1U);
    game.offerSpots();
    std::string spots;
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        spots.append(1, Game::columnLetter(game.offeredColumn(i))) +=
            std::to_string(game.offeredRow(i) + 1);
    }
    EXPECT_EQ(spots, "J7I2J6A1E2");
    std::vector<std::int32_t> columns(kColumns), rows(kRows);
    for (std::uint32_t seed = 1; seed <= 4000; ++seed) {
        Game g(1, seed);
        g.offerSpots();
        for (std::int32_t i = 0; i < kOfferCount; ++i) {
            ++columns.at(g.offeredColumn(i));
            ++rows.at(g.offeredRow(i));
        }
    }
    EXPECT_EQ(std::ranges::count(columns, 0), 0);
    EXPECT_EQ(std::ranges::count(rows, 0), 0);
}

// A state that breaks a rule of the game is refused with a reason, and a sound one restores
// to the same state.
TEST(GameSetUp, RestoreRefusesBrokenStates) {
    Game game(3, 77U);
    game.offerSpots();
    game.placeOutpost(game.offeredColumn(0), game.offeredRow(0), 0);
    game.clearOffers();
    const GameState sound = game.state();
    ASSERT_TRUE(Game::restore(sound));
    ASSERT_EQ(sound.map[0][0], kEmpty);  // free for the breaks that use A1
    EXPECT_EQ(Game::restore(sound)->state().map, sound.map);
    const std::vector<void (*)(GameState&)> breaks = {
        [](GameState& s) { s.playerCount = 6; },
        [](GameState& s) { s.day = 20; },  // three players stop at 19
        [](GameState& s) { s.currentPlayer = 3; },
        [](GameState& s) { s.map[0][0] = 'F'; },
        [](GameState& s) { s.map[0][0] = 'B'; },             // B is not formed
        [](GameState& s) { s.companies[4].active = true; },  // a company with no cells
        [](GameState& s) { s.players[1].holdings[3] = 2; },  // shares of no company
        [](GameState& s) { s.players[2].cash = -1; },
        [](GameState& s) { s.players[0].name = std::string(20, 'x'); },
        [](GameState& s) { s.offeredRows[1] = 9; },
        [](GameState& s) { s.computerLevel = 3; },  // easy, normal and hard only
    };
    for (std::size_t i = 0; i < breaks.size(); ++i) {
        GameState broken = sound;
        breaks[i](broken);
        std::string problem;
        EXPECT_FALSE(Game::restore(broken, &problem)) << i;
        EXPECT_FALSE(problem.empty()) << i;
    }
}

TEST(GameSetUp, NamesKeepEveryByteButControlCharacters) {
    Game game(5, 1U);
    const std::string controls = std::string(1, '\0') + "\x01\x1b\x1f\x7f";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Ann", "Ann"},
        {"\xC3\x9Clle\xE2\x82\xAC", "\xC3\x9Clle\xE2\x82\xAC"},  // UTF-8: Ülle€
        {"\x80\xFE\xFF~ !", "\x80\xFE\xFF~ !"},                  // not UTF-8, still untouched
        {"\x1b[2Jx", "?[2Jx"},
        {controls + "A", "?????A"}};
    for (std::int32_t p = 0; p < 5; ++p) {
        game.setPlayerName(cases.at(p).first, p);
        EXPECT_EQ(game.playerName(p), cases.at(p).second) << p;
    }
}

}  // namespace
