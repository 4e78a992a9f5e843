// The hard computer's search: whole plans (a spot to build on and the shares to buy) compared by
// how the rest of the game turns out, played out many times to the final standings with offers
// the computer cannot see drawn from its own generator, and every player, itself included,
// building and buying as a sensible player would with the shares it holds.
#pragma once

#include <cstdint>
#include <vector>

#include "ai/computer.h"

struct SearchSettings {
    // What one decision may simulate, in builds (each a few builds tried on copies of the
    // game), for each two players: tens of milliseconds of one core. A game of more players
    // is longer to play out, so that it gets about as many play-outs as one of two.
    std::int64_t builds = 40000;
    // A builder in a play-out minds what a build gives its best-placed rival this much.
    double rivalWeight = 1.0;
    // A play-out's score: a win, plus this part of the margin over the best rival.
    double marginWeight = 2.0;
};

// The best plan for `player` in `game` (five spots on offer, its turn). `seed` makes the
// sampled futures; the same seed and position always give the same plan.
TurnPlan searchTurn(const Game& game, std::int32_t player, std::uint64_t seed,
                    const SearchSettings& settings = {});

// The best purchases for `player` in `after`, the position right after its build (offers
// withdrawn, still its turn).
std::vector<Purchase> searchPurchases(const Game& after, std::int32_t player, std::uint64_t seed,
                                      const SearchSettings& settings = {});
