// The random source, the galaxy map and the offered spots.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "game/game.h"
#include "game/position.h"

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
// A state that breaks a rule of the game (a damaged or forged save) is refused with a reason,
// and a sound one restores to the same state. A company's price is the worth of its cells:
// A at B1 C1, C1 beside the star at D1, is 700.
TEST(GameSetUp, RestoreRefusesBrokenStates) {
    const GameState sound = position(3, {".AA*", "+"}, {{5}}).state();
    ASSERT_TRUE(Game::restore(sound));
    EXPECT_EQ(sound.companies[0].price, 700);
    EXPECT_EQ(Game::restore(sound)->state().map, sound.map);
    const std::vector<void (*)(GameState&)> breaks = {
        [](GameState& s) { s.playerCount = 6; },
        [](GameState& s) { s.day = 19; },  // three players play days 1 to 18
        [](GameState& s) { s.currentPlayer = 3; },
        [](GameState& s) { s.map[0][0] = 'F'; },
        [](GameState& s) { s.map[0][0] = 'B'; },             // B is not formed
        [](GameState& s) { s.map[0][0] = kOffered; },        // one spot on offer, not five
        [](GameState& s) { s.companies[0].price = 800; },    // not the worth of its cells
        [](GameState& s) { s.companies[4].price = 70000; },  // more than the map is worth
        [](GameState& s) { s.companies[4].active = true; },  // a company with no cells
        [](GameState& s) { s.players[1].holdings[3] = 2; },  // shares of no company
        [](GameState& s) { s.players[2].cash = -1; },
        [](GameState& s) { s.players[0].name = std::string(20, 'x'); },
        [](GameState& s) { s.players[0].name = "a\x1b[2J"; },
        [](GameState& s) {
            s.players[0].name =
                "a\xC2\x9B"
                "2J";
        },  // the one-byte CSI in UTF-8
        [](GameState& s) { s.offeredRows[1] = 9; },
        [](GameState& s) { s.computerLevel = 3; },  // easy, normal and hard only
        [](GameState& s) { s.day = 1; },            // four cells built on the first turn
        [](GameState& s) { s.mergeCount = s.day * s.playerCount + 1; },
        [](GameState& s) {
            for (std::int32_t col = 4; col < 12; ++col) {
                s.map[col][8] = kStar;  // eight stars: the set-up places at most seven
            }
        },
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
        {"\x80\x9B\xA0\xFE\xFF~ !", "??\xA0\xFE\xFF~ !"},        // not UTF-8: 8-bit C1 controls go
        {"\x1b[2Jx\xC2\x9B"
         "2J\xC2\xA0",
         "?[2Jx?2J\xC2\xA0"},  // C1 CSI goes, U+00A0 stays
        {controls + "A", "?????A"}};
    for (std::int32_t p = 0; p < 5; ++p) {
        game.setPlayerName(cases.at(p).first, p);
        EXPECT_EQ(game.playerName(p), cases.at(p).second) << p;
    }
}

}  // namespace
