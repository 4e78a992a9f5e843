// Every plan is a spot and a purchase: all the cash on one company (what is left over on the
// cheapest others), for each company it can afford. The plans are played out against the same
// sampled futures, so that they differ by the plan alone, and by successive halving: each
// round plays every plan still in the running a few more times and keeps the better half, so
// that most of the time goes to telling the best plans apart. A play-out ends in the final
// standings, worked out by the game's own rules, and scores a win with a bonus for the margin
// over the best rival. The weights are tuned in the arena (bench/README.md).
#include "ai/search.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ai/dice.h"

namespace {

constexpr std::int64_t kFewestPlayouts = 64;  // for every decision, however long the game left
constexpr std::int64_t kMostPlayouts = 4000;  // near the end, where play-outs are short
constexpr std::int32_t kWanderOneIn = 10;     // and now and then builds anywhere
constexpr double kNoise = 10;                 // dollars of chance in each spot's appeal

// Turns still to play once this one is over.
std::int64_t buildsLeft(const Game& game) {
    return std::int64_t{lastDayOf(game.playerCount()) - game.day()} * game.playerCount() +
           (game.playerCount() - 1 - game.currentPlayer());
}

// A build there changes something: it joins a company or founds one.
bool changesAnything(const Game& game, std::int32_t col, std::int32_t row) {
    return game.scanNeighbours(col, row).count > 0 || game.founds(col, row);
}

// What building there adds to the builder's net worth, less part of what it adds to the rival
// it helps most.
double appeal(const Game& game, std::int32_t builder, std::int32_t col, std::int32_t row,
              double rivalWeight) {
    Game after = game;
    after.placeOutpost(col, row, builder);
    const auto gain = [&](std::int32_t p) {
        return static_cast<double>(std::int64_t{after.netWorth(p)} - game.netWorth(p));
    };
    double rival = 0;
    for (std::int32_t p = 0; p < game.playerCount(); ++p) {
        if (p != builder) {
            rival = std::max(rival, gain(p));
        }
    }
    return gain(builder) - rivalWeight * rival;
}

std::int32_t playoutBuild(const Game& game, Dice& dice, double rivalWeight) {
    if (dice.below(kWanderOneIn) == 0) {
        return dice.below(kOfferCount);
    }
    std::int32_t best = 0;
    double bestScore = -std::numeric_limits<double>::infinity();
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        const std::int32_t col = game.offeredColumn(i);
        const std::int32_t row = game.offeredRow(i);
        double score = changesAnything(game, col, row)
                           ? appeal(game, game.currentPlayer(), col, row, rivalWeight)
                           : 0;
        score += dice.unit() * kNoise;
        if (score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

// All of `cash` on `first`, then as much as is left on the cheapest others.
std::vector<Purchase> spendOn(const Game& game, std::int32_t first, std::int32_t cash) {
    std::vector<std::int32_t> order;
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        if (game.isActive(c) && c != first) {
            order.push_back(c);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&game](std::int32_t a, std::int32_t b) {
        return game.price(a) < game.price(b);
    });
    if (first >= 0) {
        order.insert(order.begin(), first);
    }
    std::vector<Purchase> buys;
    for (const std::int32_t c : order) {
        const std::int32_t shares = cash / game.price(c);
        if (shares > 0) {
            buys.push_back(Purchase{c, shares});
            cash -= shares * game.price(c);
        }
    }
    return buys;
}

void buy(Game& game, std::int32_t player, const std::vector<Purchase>& buys) {
    for (const Purchase& purchase : buys) {
        game.buyShares(player, purchase.company, purchase.shares);
    }
}

// Ends the turn of the position given and plays the game to its end, every player building
// by appeal and putting all its cash on the cheapest companies.
void playOut(Game& game, Dice& dice, double rivalWeight) {
    game.reseed(static_cast<std::uint32_t>(dice.next()));
    game.endTurn();
    while (!game.isOver()) {
        const std::int32_t player = game.currentPlayer();
        game.offerSpots();
        const std::int32_t pick = playoutBuild(game, dice, rivalWeight);
        game.placeOutpost(game.offeredColumn(pick), game.offeredRow(pick), player);
        game.clearOffers();
        buy(game, player, spendOn(game, -1, game.cash(player)));
        game.endTurn();
    }
}

// A win (shared on a tie) and half the margin over the best rival as a part of both fortunes;
// alone, the fortune itself.
double outcome(const Game& end, std::int32_t player, double marginWeight) {
    const double mine = end.netWorth(player);
    if (end.playerCount() == 1) {
        return mine / 100000;
    }
    double rival = 0;
    for (std::int32_t p = 0; p < end.playerCount(); ++p) {
        if (p != player) {
            rival = std::max<double>(rival, end.netWorth(p));
        }
    }
    const double win = mine > rival ? 1 : mine == rival ? 0.5 : 0;
    return win + marginWeight * (mine - rival) / (mine + rival + 1);
}

struct Candidate {
    TurnPlan plan;
    Game position;  // after the build and the purchases, still the builder's turn
    double total = 0;
    std::int64_t playouts = 0;
    double mean() const { return total / static_cast<double>(playouts); }
};

// The purchases worth comparing in `after`: all the cash on each company it can afford.
void addPurchasePlans(const Game& after, std::int32_t player, std::int32_t offer,
                      std::vector<Candidate>& candidates) {
    std::vector<std::vector<Purchase>> seen;
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        if (after.isActive(c) && after.price(c) <= after.cash(player)) {
            seen.push_back(spendOn(after, c, after.cash(player)));
        }
    }
    if (seen.empty()) {
        seen.emplace_back();
    }
    for (std::vector<Purchase>& buys : seen) {
        Game position = after;
        buy(position, player, buys);
        candidates.push_back(Candidate{TurnPlan{offer, std::move(buys)}, std::move(position)});
    }
}

TurnPlan bestOf(std::vector<Candidate>& candidates, std::int32_t player, std::uint64_t seed,
                std::int64_t left, const SearchSettings& settings) {
    std::vector<Candidate*> alive(candidates.size());
    std::transform(candidates.begin(), candidates.end(), alive.begin(),
                   [](Candidate& candidate) { return &candidate; });
    const std::int64_t players = candidates.front().position.playerCount();
    const std::int64_t budget =
        left == 0
            ? static_cast<std::int64_t>(alive.size())  // the end is certain
            : std::clamp(settings.builds * players / 2 / left, kFewestPlayouts, kMostPlayouts);
    const auto rounds =
        static_cast<std::int64_t>(std::ceil(std::log2(static_cast<double>(alive.size()))));
    std::uint64_t next = 0;  // the next future's number
    while (alive.size() > 1) {
        const std::int64_t each =
            std::max<std::int64_t>(1, budget / rounds / static_cast<std::int64_t>(alive.size()));
        for (std::int64_t f = 0; f < each; ++f, ++next) {
            const std::uint64_t future = Dice::mix(seed, next);
            for (Candidate* candidate : alive) {
                Game end = candidate->position;
                Dice dice(future);
                playOut(end, dice, settings.rivalWeight);
                candidate->total += outcome(end, player, settings.marginWeight);
                ++candidate->playouts;
            }
        }
        std::stable_sort(alive.begin(), alive.end(), [](const Candidate* a, const Candidate* b) {
            return a->mean() > b->mean();
        });
        alive.resize((alive.size() + 1) / 2);
    }
    return alive.front()->plan;
}

}  // namespace

TurnPlan searchTurn(const Game& game, std::int32_t player, std::uint64_t seed,
                    const SearchSettings& settings) {
    std::vector<Candidate> candidates;
    for (std::int32_t offer = 0; offer < kOfferCount; ++offer) {
        Game after = game;
        after.placeOutpost(game.offeredColumn(offer), game.offeredRow(offer), player);
        after.clearOffers();
        addPurchasePlans(after, player, offer, candidates);
    }
    return bestOf(candidates, player, seed, buildsLeft(game), settings);
}

std::vector<Purchase> searchPurchases(const Game& after, std::int32_t player, std::uint64_t seed,
                                      const SearchSettings& settings) {
    std::vector<Candidate> candidates;
    addPurchasePlans(after, player, 0, candidates);
    return bestOf(candidates, player, seed, buildsLeft(after), settings).purchases;
}
