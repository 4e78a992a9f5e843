// The computer's players: what one of them does with a turn. A pure decision: the position
// in, the spot to build on and the shares to buy out. The screens show what it decided.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "game/game.h"

// How well the computer plays. Every level plays by the same rules.
enum class Level : std::int32_t { easy = 0, normal = 1, hard = 2 };

// "easy", "normal" or "hard"; nullopt for anything else.
std::optional<Level> levelNamed(std::string_view name);

struct Purchase {
    std::int32_t company = 0;
    std::int32_t shares = 0;  // at least 1
};

struct TurnPlan {
    std::int32_t offer = 0;           // which of the five offered spots to build on, 0 to 4
    std::vector<Purchase> purchases;  // bought in this order once the build is done
};

// What `player` does with the turn. It sees what a person sees: the map with the five
// offered spots, the companies, every player's shares and cash, the day. Where it samples
// what may come, it draws from its own generator seeded from the game's seed, the day and the
// player, so a position always gets the same plan. The purchases are affordable, in order,
// in the position the build leaves.
// REQUIRES: the five spots are on offer and it is `player`'s turn.
TurnPlan planTurn(const Game& game, std::int32_t player, Level level);

// The shares `player` buys in `game`, the position right after its build (the offers
// withdrawn, still its turn): for a computer that takes over a turn someone else began. Pure
// and repeatable as planTurn is; the purchases are affordable, in order.
std::vector<Purchase> planPurchases(const Game& game, std::int32_t player, Level level);
