#include "baselines.h"

#include <algorithm>
#include <array>
#include <numeric>

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
