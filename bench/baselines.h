// Three yardsticks for the computer's levels in the arena.
#pragma once

#include <cstdint>

#include "ai/computer.h"

// Any offered spot; for each company, any number of the shares it can afford.
TurnPlan randomPlan(const Game& game, std::int32_t player);

// One step ahead: the spot that raises its own net worth the most at once (the first such
// spot on a tie), then all the shares its cash buys, cheapest company first: a purchase
// leaves net worth as it is, and every share pays the same 5 percent of its price at the end
// of the day, so the most money in shares earns the most.
TurnPlan greedyPlan(const Game& game, std::int32_t player);

// The play-outs player, as a strong person who knows the rules would write it: for every
// offered spot, many play-outs of the rest of the game with every player playing greedyPlan,
// the spot whose play-outs end with the widest lead over the best rival; then, for each
// company it can afford, the same for all its cash on that company (what is left on the
// cheapest), and it buys what the play-outs say pays most. Its futures are drawn from its own
// generator. `builds` is its budget: the builds it may simulate for one decision, for each two
// players (as hard's).
TurnPlan playoutsPlan(const Game& game, std::int32_t player, std::int64_t builds);
