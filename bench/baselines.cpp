#include "baselines.h"

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <optional>

#include "ai/dice.h"

TurnPlan randomPlan(const Game& game, std::int32_t player) {
    Dice dice(Dice::mix(Dice::mix(game.seed() ^ 0x5EEDU, static_cast<std::uint64_t>(game.day())),
                        static_cast<std::uint64_t>(player)));
    TurnPlan plan;
    plan.offer = dice.below(kOfferCount);
    Game after = game;
    after.placeOutpost(game.offeredColumn(plan.offer), game.offeredRow(plan.offer), player);
    std::int32_t cash = after.cash(player);
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        if (after.isActive(c) && cash >= after.price(c)) {
            const std::int32_t shares = dice.below(cash / after.price(c) + 1);
            if (shares > 0) {
                plan.purchases.push_back(Purchase{c, shares});
                cash -= shares * after.price(c);
            }
        }
    }
    return plan;
}

TurnPlan greedyPlan(const Game& game, std::int32_t player) {
    TurnPlan plan;
    std::int32_t best = -1;
    Game chosen = game;
    for (std::int32_t offer = 0; offer < kOfferCount; ++offer) {
        Game after = game;
        after.placeOutpost(game.offeredColumn(offer), game.offeredRow(offer), player);
        if (after.netWorth(player) > best) {
            best = after.netWorth(player);
            plan.offer = offer;
            chosen = after;
        }
    }
    std::array<std::int32_t, kCompanyCount> order{};
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&chosen](std::int32_t a, std::int32_t b) {
        return chosen.price(a) < chosen.price(b);
    });
    std::int32_t cash = chosen.cash(player);
    for (const std::int32_t c : order) {
        if (chosen.isActive(c) && cash >= chosen.price(c)) {
            const std::int32_t shares = cash / chosen.price(c);
            plan.purchases.push_back(Purchase{c, shares});
            cash -= shares * chosen.price(c);
        }
    }
    return plan;
}

namespace {

// Ends the turn of `game` (after a build and its purchases) and plays the rest of the game
// with greedyPlan for everyone; returns the player's lead over the best rival at the end.
double playedOut(Game game, std::int32_t player, std::uint64_t future) {
    Dice dice(future);
    game.reseed(static_cast<std::uint32_t>(dice.next()));
    game.endTurn();
    while (!game.isOver()) {
        const std::int32_t mover = game.currentPlayer();
        game.offerSpots();
        const TurnPlan plan = greedyPlan(game, mover);
        game.placeOutpost(game.offeredColumn(plan.offer), game.offeredRow(plan.offer), mover);
        game.clearOffers();
        for (const Purchase& buy : plan.purchases) {
            game.buyShares(mover, buy.company, buy.shares);
        }
        game.endTurn();
    }
    double rival = 0;
    for (std::int32_t p = 0; p < game.playerCount(); ++p) {
        if (p != player) {
            rival = std::max<double>(rival, game.netWorth(p));
        }
    }
    return game.netWorth(player) - rival;
}

double meanLead(const Game& position, std::int32_t player, std::uint64_t seed,
                std::int64_t playouts) {
    double total = 0;
    for (std::int64_t f = 0; f < playouts; ++f) {
        total += playedOut(position, player, Dice::mix(seed, static_cast<std::uint64_t>(f)));
    }
    return total / static_cast<double>(playouts);
}

// All the cash on `first`, the rest on the cheapest companies; with first -1, cheapest first.
std::vector<Purchase> allOn(const Game& game, std::int32_t player, std::int32_t first) {
    std::array<std::int32_t, kCompanyCount> order{};
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        if (a == first || b == first) {
            return a == first && b != first;
        }
        return game.price(a) < game.price(b);
    });
    std::vector<Purchase> buys;
    std::int32_t cash = game.cash(player);
    for (const std::int32_t c : order) {
        if (game.isActive(c) && cash >= game.price(c)) {
            buys.push_back(Purchase{c, cash / game.price(c)});
            cash -= buys.back().shares * game.price(c);
        }
    }
    return buys;
}

Game boughtBy(Game game, std::int32_t player, const std::vector<Purchase>& buys) {
    for (const Purchase& buy : buys) {
        game.buyShares(player, buy.company, buy.shares);
    }
    return game;
}

}  // namespace

TurnPlan playoutsPlan(const Game& game, std::int32_t player, std::int64_t builds) {
    const std::uint64_t seed =
        Dice::mix(Dice::mix(game.seed() ^ 0xB0A7U, static_cast<std::uint64_t>(game.day())),
                  static_cast<std::uint64_t>(player));
    const std::int64_t left =
        std::int64_t{lastDayOf(game.playerCount()) - game.day()} * game.playerCount() +
        (game.playerCount() - 1 - game.currentPlayer());
    // Two thirds of the budget for the spots, one third for the purchases.
    const std::int64_t playouts = std::max<std::int64_t>(
        1, builds * game.playerCount() / 2 / std::max<std::int64_t>(left, 1) / 3);
    TurnPlan plan;
    double best = 0;
    std::optional<Game> chosen;
    for (std::int32_t offer = 0; offer < kOfferCount; ++offer) {
        Game after = game;
        after.placeOutpost(game.offeredColumn(offer), game.offeredRow(offer), player);
        after.clearOffers();
        const double lead = meanLead(boughtBy(after, player, allOn(after, player, -1)), player,
                                     seed, playouts * 2 / kOfferCount + 1);
        if (!chosen || lead > best) {
            best = lead;
            plan.offer = offer;
            chosen = after;
        }
    }
    plan.purchases = allOn(*chosen, player, -1);
    std::vector<std::int32_t> affordable;
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        if (chosen->isActive(c) && chosen->price(c) <= chosen->cash(player)) {
            affordable.push_back(c);
        }
    }
    best = -std::numeric_limits<double>::infinity();
    for (const std::int32_t c : affordable) {
        if (affordable.size() < 2) {
            break;
        }
        std::vector<Purchase> buys = allOn(*chosen, player, c);
        const double lead = meanLead(boughtBy(*chosen, player, buys), player, seed,
                                     playouts / static_cast<std::int64_t>(affordable.size()) + 1);
        if (lead > best) {
            best = lead;
            plan.purchases = std::move(buys);
        }
    }
    return plan;
}
