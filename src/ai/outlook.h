// What shares are likely to be worth by the end of the game, learnt by playing the rest of
// the game out many times with sampled offers and plausible builds.
#pragma once

#include <array>
#include <cstdint>

#include "game/game.h"

struct Outlook {
    // The expected worth at the end of one share of each company held from now on: its final
    // price plus the dividends it pays, followed through mergers (the shares of the survivor
    // it becomes and the bonus it earns). Only meaningful for active companies.
    std::array<double, kCompanyCount> shareWorth{};
    // The expected worth at the end of the founder's shares of the companies each player has
    // yet to found.
    std::array<double, kMaxPlayers> foundingWorth{};
};

// Plays the game on from `game` `futures` times and averages what shares turned out to be
// worth. `game` is the position at the end of a build (offers withdrawn, the builder still to
// move); every future starts by ending that turn. Offers are drawn with the game's own
// distribution but from generators seeded from `seed`, never from the game's generator.
// With no futures, a share is worth its price and the dividends it pays at that price.
Outlook foresee(const Game& game, std::uint64_t seed, std::int32_t futures);

// The worth at the end of a share that pays its dividends at today's price and no more.
double standingWorth(const Game& game, std::int32_t company);
