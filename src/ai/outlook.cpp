#include "ai/outlook.h"

#include <vector>

#include "ai/dice.h"

namespace {

// A parcel of shares followed through the future: its company changes when that company is
// absorbed, and the cash it earns (dividends, merger bonuses) piles up beside it. It is kept in
// thousandths of a share, so that the game's own rules for dividends and mergers, which round
// to whole shares and dollars, value a single share to a thousandth.
constexpr std::int32_t kUnitsPerShare = 1000;

struct Stake {
    std::int32_t company = 0;
    std::int32_t units = 0;
    double cash = 0;
    std::int32_t founder = -1;  // the player who founded it in this future, or -1
    double worth(const Game& game) const {
        return cash + static_cast<double>(game.price(company)) * units / kUnitsPerShare;
    }
};

// How a player in a sampled future builds: where a company grows, merges or is founded,
// most of the time, with the bigger price rise preferred; now and then anywhere.
std::int32_t plausibleBuild(const Game& game, Dice& dice) {
    if (dice.below(8) == 0) {
        return dice.below(kOfferCount);
    }
    std::int32_t best = 0;
    double bestScore = -1;
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        const std::int32_t col = game.offeredColumn(i);
        const std::int32_t row = game.offeredRow(i);
        const NeighbourScan scan = game.scanNeighbours(col, row);
        const double worth = game.worthOf(col, row);
        double score = 0;
        if (scan.count >= 2) {
            score = 2 * worth + game.price(scan.first - 'A') + game.price(scan.second - 'A');
        } else if (scan.count == 1) {
            score = worth;
        } else if (game.founds(col, row)) {
            score = 3 * worth;
        }
        score += dice.unit() * 50;
        if (score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

void payDividends(const Game& game, std::vector<Stake>& stakes) {
    for (Stake& stake : stakes) {
        const std::int64_t value = std::int64_t{stake.units} * game.price(stake.company);
        stake.cash += static_cast<double>(dividendOn(value)) / kUnitsPerShare;
    }
}

// Ends the builder's turn, and the day with it after the last player.
void passTurn(Game& game, std::vector<Stake>& stakes) {
    const bool dayEnds = game.currentPlayer() == game.playerCount() - 1;
    game.endTurn();
    if (dayEnds) {
        payDividends(game, stakes);
    }
}

void playOn(Game& game, Dice& dice, std::vector<Stake>& stakes) {
    BuildObserver observer;
    observer.companyFormed = [&](char letter, std::int32_t player) {
        stakes.push_back(Stake{letter - 'A', kFounderShares * kUnitsPerShare, 0, player});
    };
    observer.companiesMerged = [&](const std::vector<MergeEntry>&, std::int32_t a, std::int32_t b) {
        const std::int32_t survivor = game.isActive(a) ? a : b;
        const std::int32_t absorbed = survivor == a ? b : a;
        for (Stake& stake : stakes) {
            if (stake.company == absorbed) {
                const MergeEntry terms = mergerTerms(stake.units, game.price(absorbed),
                                                     game.price(survivor), game.mergeCount());
                stake.cash += static_cast<double>(terms.bonus) / kUnitsPerShare;
                stake.units = terms.newStock;
                stake.company = survivor;
            }
        }
    };
    passTurn(game, stakes);
    while (!game.isOver()) {
        game.offerSpots();
        const std::int32_t pick = plausibleBuild(game, dice);
        game.placeOutpost(game.offeredColumn(pick), game.offeredRow(pick), game.currentPlayer(),
                          observer);
        game.clearOffers();
        passTurn(game, stakes);
    }
}

}  // namespace

double standingWorth(const Game& game, std::int32_t company) {
    const std::int32_t daysLeft = game.finalDay() - game.day();
    return game.price(company) * (1.0 + daysLeft * kDividendRate);
}

Outlook foresee(const Game& game, std::uint64_t seed, std::int32_t futures) {
    Outlook outlook;
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        outlook.shareWorth.at(c) = game.isActive(c) ? standingWorth(game, c) : 0;
    }
    if (futures < 1 || !Game::checkState(game.state()).empty()) {
        return outlook;  // a position the rules do not know cannot be played on
    }
    outlook.shareWorth.fill(0);
    for (std::int32_t f = 0; f < futures; ++f) {
        Dice dice(Dice::mix(seed, static_cast<std::uint64_t>(f)));
        Game future = game;
        future.reseed(static_cast<std::uint32_t>(dice.next()));  // offers of our own
        std::vector<Stake> stakes;
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            if (game.isActive(c)) {
                stakes.push_back(Stake{c, kUnitsPerShare, 0, -1});
            }
        }
        playOn(future, dice, stakes);
        std::size_t next = 0;
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            if (game.isActive(c)) {
                outlook.shareWorth.at(c) += stakes.at(next++).worth(future) / futures;
            }
        }
        for (; next < stakes.size(); ++next) {
            const Stake& founded = stakes.at(next);
            outlook.foundingWorth.at(founded.founder) += founded.worth(future) / futures;
        }
    }
    return outlook;
}
