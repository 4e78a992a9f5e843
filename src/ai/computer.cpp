// Easy and normal weigh the five spots by building on each in a copy of the game and judging
// the position that results. Easy looks only at today's prices and its own fortune, and
// spreads its money over every company like a cautious beginner. Normal plays the rest of the
// game out a few times to learn which shares will grow, puts its money where it grows most,
// and judges a build by what it brings it against the best-placed rival. Hard searches whole
// plans by playing them out to the final standings (search.h).
#include "ai/computer.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "ai/dice.h"
#include "ai/outlook.h"
#include "ai/search.h"

namespace {

struct Style {
    std::int32_t futures = 0;  // played out for each spot
    bool rivals = true;        // weighs what a build gives the other players
    bool spreads = false;      // buys some of every company rather than the best
};

// REQUIRES: level is easy or normal.
Style styleOf(Level level) {
    return level == Level::easy ? Style{0, false, true} : Style{4, true, false};
}

// The computer's own chance for `player`'s turn of this day in this game.
std::uint64_t seedFor(const Game& game, std::int32_t player) {
    return Dice::mix(Dice::mix(game.seed(), static_cast<std::uint64_t>(game.day())),
                     static_cast<std::uint64_t>(player));
}

// Adds as many shares of `company` as `cash` buys, and pays for them.
void buyAll(const Game& game, std::int32_t company, std::int32_t& cash,
            std::vector<Purchase>& buys) {
    const std::int32_t shares = cash / game.price(company);
    if (shares > 0) {
        buys.push_back(Purchase{company, shares});
        cash -= shares * game.price(company);
    }
}

// The shares that promise the most for their price, best first, as many as the cash buys.
// Shares never lose value, so holding cash back never pays.
std::vector<Purchase> bestBuys(const Game& game, std::int32_t player, const Outlook& outlook) {
    std::array<double, kCompanyCount> yield{};
    std::vector<std::int32_t> order;
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        if (game.isActive(c)) {
            yield.at(c) = outlook.shareWorth.at(c) / game.price(c);
            order.push_back(c);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&yield](std::int32_t a, std::int32_t b) {
        return yield.at(a) > yield.at(b);
    });
    std::vector<Purchase> buys;
    std::int32_t cash = game.cash(player);
    for (const std::int32_t c : order) {
        buyAll(game, c, cash, buys);
    }
    return buys;
}

// An equal part of the cash for every company, what is left over on the cheapest.
std::vector<Purchase> spreadBuys(const Game& game, std::int32_t player) {
    std::vector<std::int32_t> active;
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        if (game.isActive(c)) {
            active.push_back(c);
        }
    }
    std::vector<Purchase> buys;
    if (active.empty()) {
        return buys;
    }
    std::int32_t cash = game.cash(player);
    const auto part = static_cast<std::int32_t>(cash / static_cast<std::int32_t>(active.size()));
    for (const std::int32_t c : active) {
        std::int32_t budget = part;
        buyAll(game, c, budget, buys);
        cash -= part - budget;
    }
    const std::int32_t cheapest = *std::min_element(
        active.begin(), active.end(),
        [&game](std::int32_t a, std::int32_t b) { return game.price(a) < game.price(b); });
    buyAll(game, cheapest, cash, buys);
    return buys;
}

// What a player may expect to end the game with: cash, shares at their expected worth, the
// companies still to found, and what the cash will earn once it is invested.
double prospects(const Game& game, std::int32_t player, const Outlook& outlook) {
    double worth = game.cash(player) + outlook.foundingWorth.at(player);
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        if (game.isActive(c)) {
            worth += game.holdings(player, c) * outlook.shareWorth.at(c);
        }
    }
    for (const Purchase& buy : bestBuys(game, player, outlook)) {
        worth += buy.shares * (outlook.shareWorth.at(buy.company) - game.price(buy.company));
    }
    return worth;
}

// How good the position is for `player`: its prospects, less those of the best-placed rival
// when it minds its rivals (only the winner counts).
double standing(const Game& game, std::int32_t player, const Outlook& outlook, bool rivals) {
    double rival = 0;
    for (std::int32_t p = 0; rivals && p < game.playerCount(); ++p) {
        if (p != player) {
            rival = std::max(rival, prospects(game, p, outlook));
        }
    }
    return prospects(game, player, outlook) - rival;
}

Game builtOn(const Game& game, std::int32_t offer, std::int32_t player) {
    Game after = game;
    after.placeOutpost(game.offeredColumn(offer), game.offeredRow(offer), player);
    after.clearOffers();
    return after;
}

}  // namespace

std::optional<Level> levelNamed(std::string_view name) {
    const auto* found = std::find(kLevelNames.begin(), kLevelNames.end(), name);
    if (found == kLevelNames.end()) {
        return std::nullopt;
    }
    return static_cast<Level>(found - kLevelNames.begin());
}

TurnPlan planTurn(const Game& game, std::int32_t player, Level level) {
    const std::uint64_t seed = seedFor(game, player);
    if (level == Level::hard) {
        return searchTurn(game, player, seed);
    }
    const Style style = styleOf(level);
    TurnPlan plan;
    double bestScore = 0;
    Outlook bestOutlook;
    std::optional<Game> bestAfter;
    for (std::int32_t offer = 0; offer < kOfferCount; ++offer) {
        Game after = builtOn(game, offer, player);
        // The same futures for every spot, so that the spots differ by the build alone.
        const Outlook outlook = foresee(after, seed, style.futures);
        const double score = standing(after, player, outlook, style.rivals);
        if (!bestAfter || score > bestScore) {
            plan.offer = offer;
            bestScore = score;
            bestOutlook = outlook;
            bestAfter = std::move(after);
        }
    }
    plan.purchases =
        style.spreads ? spreadBuys(*bestAfter, player) : bestBuys(*bestAfter, player, bestOutlook);
    return plan;
}

std::vector<Purchase> planPurchases(const Game& game, std::int32_t player, Level level) {
    const std::uint64_t seed = seedFor(game, player);
    if (level == Level::hard) {
        return searchPurchases(game, player, seed);
    }
    const Style style = styleOf(level);
    return style.spreads ? spreadBuys(game, player)
                         : bestBuys(game, player, foresee(game, seed, style.futures));
}
