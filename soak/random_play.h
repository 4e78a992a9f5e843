// Random players for whole games driven through the game API: the soak plays them with every
// rule checked, the benchmarks time them, and the fuzz corpus generator scripts sessions with
// them. The players build on a random offered spot, but some of the time on the spot that
// touches the most companies, outposts and stars, so that the rare rules (three- and four-way
// mergers, letters formed again after a merger) come up often.
#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <streambuf>

#include "console/terminal.h"
#include "game/building.h"
#include "game/game.h"

namespace randomplay {

// Standard output that goes nowhere, cheaply: the rules print their announcements, and a
// headless run has nobody to show them to.
class DiscardBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        setp(sink_.data(), sink_.data() + sink_.size());
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char_type* /*text*/, std::streamsize count) override {
        return count;
    }

private:
    std::array<char, 256> sink_{};
};

// Standard output is discarded for the life of the object; key waits return at once from
// its construction on.
class Headless {
public:
    Headless() : saved_(std::cout.rdbuf(&discard_)) {
        terminal::setKeyboardDevice("/nonexistent/keyboard");
    }
    ~Headless() { std::cout.rdbuf(saved_); }
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;

private:
    DiscardBuffer discard_;
    std::streambuf* saved_;
};

// A small, fast generator (splitmix64): every game of a run is reproducible from its seed.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31U);
    }
    // A whole number from 0 to n - 1. REQUIRES: n > 0.
    std::int32_t below(std::int32_t n) {
        return static_cast<std::int32_t>(next() % static_cast<std::uint64_t>(n));
    }
    bool chance(std::int32_t percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};

// What a cell touches on its four sides.
struct Surroundings {
    std::int32_t companies = 0;  // different company letters
    std::int32_t outposts = 0;
    std::int32_t stars = 0;
};

inline Surroundings surroundingsOf(const Game& game, std::int32_t col, std::int32_t row) {
    constexpr std::array<std::array<std::int32_t, 2>, 4> kSides = {
        {{0, -1}, {0, 1}, {-1, 0}, {1, 0}}};
    Surroundings around;
    std::array<bool, kCompanyCount> seen{};
    for (const auto& side : kSides) {
        const std::int32_t c = col + side[0];
        const std::int32_t r = row + side[1];
        if (c < 0 || c >= kColumns || r < 0 || r >= kRows) {
            continue;
        }
        const char symbol = game.cell(c, r);
        if (symbol >= 'A' && symbol < 'A' + kCompanyCount) {
            seen.at(symbol - 'A') = true;
        } else if (symbol == kOutpost) {
            ++around.outposts;
        } else if (symbol == kStar) {
            ++around.stars;
        }
    }
    for (const bool touched : seen) {
        around.companies += touched ? 1 : 0;
    }
    return around;
}

// How the random players pick among the offered spots.
struct Tactics {
    // How often a player takes the most attractive spot instead of any spot.
    std::int32_t biasPercent = 60;
    // Merger hunters steer clear of two-company spots, so that companies live side by side
    // until one spot touches three or four of them.
    bool huntMergers = false;
};

// Companies weigh most, so a spot between several companies wins and merges them.
inline std::int32_t attraction(const Surroundings& around, const Tactics& tactics) {
    if (tactics.huntMergers && around.companies >= 3) {
        return 100 * around.companies;
    }
    if (tactics.huntMergers && around.companies == 2) {
        return -1;
    }
    return around.companies * 16 + around.outposts * 3 + around.stars * 2;
}

// Picks one of the five offered spots (an index 0 to 4): the most attractive one as often as
// the tactics say, otherwise any of them.
inline std::int32_t chooseOffer(const Game& game, Rng& rng, const Tactics& tactics) {
    if (!rng.chance(tactics.biasPercent)) {
        return rng.below(kOfferCount);
    }
    std::int32_t best = 0;
    std::int32_t bestScore = -2;
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        const std::int32_t score =
            attraction(surroundingsOf(game, game.offeredColumn(i), game.offeredRow(i)), tactics);
        if (score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

// How many shares of `company` a random player buys: nothing, all it can afford, or anything
// in between. The game's own limit: 0 to cash / price.
inline std::int32_t chooseShares(const Game& game, Rng& rng, std::int32_t player,
                                 std::int32_t company) {
    const std::int32_t most = game.cash(player) / game.price(company);
    if (most < 1 || rng.chance(40)) {
        return 0;
    }
    return rng.chance(25) ? most : rng.below(most + 1);
}

// Does nothing: a whole game without checks, for timing the rules alone.
struct Unwatched {
    void beforeBuild(const Game& /*game*/, std::int32_t /*col*/, std::int32_t /*row*/,
                     std::int32_t /*player*/) {}
    void afterBuild(const Game& /*game*/, std::int32_t /*player*/) {}
    void beforePurchase(const Game& /*game*/, std::int32_t /*player*/) {}
    void afterPurchase(const Game& /*game*/, std::int32_t /*player*/, std::int32_t /*company*/,
                       std::int32_t /*count*/) {}
    void beforeEndDay(const Game& /*game*/) {}
    void afterEndDay(const Game& /*game*/) {}
};

// Plays theGame to its end as the program's day loop does, without screens: every player
// builds on an offered spot, then buys shares when a company exists; every day ends with
// the dividends, and the game ends when the day counter reaches its final value. The watcher
// sees every step. Returns the number of days of turns played.
// REQUIRES: theGame exists; standard output is discarded (the rules announce formations
// and mergers on screen).
template <class Watcher>
std::int32_t playRandomGame(Rng& rng, Watcher& watcher, const Tactics& tactics = {}) {
    Game& game = *theGame;
    std::int32_t days = 0;
    do {
        for (std::int32_t p = 0; p < game.playerCount(); ++p) {
            game.offerSpots();
            const std::int32_t chosen = chooseOffer(game, rng, tactics);
            const std::int32_t col = game.offeredColumn(chosen);
            const std::int32_t row = game.offeredRow(chosen);
            watcher.beforeBuild(game, col, row, p);
            placeOutpost(col, row, p);
            game.clearOffers();
            watcher.afterBuild(game, p);
            for (std::int32_t company = 0; company < kCompanyCount; ++company) {
                if (!game.isActive(company)) {
                    continue;
                }
                const std::int32_t count = chooseShares(game, rng, p, company);
                watcher.beforePurchase(game, p);
                game.buyShares(p, company, count);
                watcher.afterPurchase(game, p, company, count);
            }
        }
        watcher.beforeEndDay(game);
        game.endDay();
        ++days;
        watcher.afterEndDay(game);
    } while (game.day() < game.finalDay());
    return days;
}

}  // namespace randomplay
