// Two yardsticks for the computer's levels in the arena.
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
