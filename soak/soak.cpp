// Random-play soak: plays many random games through the game's own order of play and checks,
// after every build, purchase and day, the invariants no rule may break. The rules themselves
// are pinned down by the unit tests and the transcripts; this looks for the states they miss.
//
//   kessandor_soak [--games N] [--seed S] [--hard-games H]   (a failure names the seed that
//                                                             replays it)
//
// In one game of every kComputerGamesOneIn, some seats are the computer's, easy or normal. The
// hard computer thinks a thousand times longer, so it plays H games of its own after the
// others, of one to five players in turn, in every other seat from the first.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "ai/computer.h"
#include "game/game.h"

namespace {

constexpr std::uint32_t kComputerGamesOneIn = 97;  // prime: every player count gets its share

struct Failure {
    std::string what;
};

// How often the rare rules came up: a run that never met them proves little.
struct Tally {
    std::int64_t games = 0;
    std::int64_t formations = 0;
    std::array<std::int64_t, 5> mergerBuilds{};  // [k]: builds that merged k companies into one
    std::int32_t largestNetWorth = 0;
    std::int64_t computerTurns = 0;
    std::int64_t hardTurns = 0;
    std::array<bool, kMaxPlayers + 1> hardSizes{};  // [n]: a game of n players had a hard seat
};

void require(bool holds, std::string_view what) {
    if (!holds) {
        throw Failure{std::string(what)};
    }
}

std::int32_t companyNeighbours(const Game& game, std::int32_t col, std::int32_t row) {
    const NeighbourScan scan = game.scanNeighbours(col, row);
    return scan.count;
}

// Mostly builds where companies meet, so that mergers of three and four come up.
std::int32_t chooseSpot(const Game& game, std::mt19937& rng) {
    std::int32_t best = static_cast<std::int32_t>(rng() % kOfferCount);
    if (rng() % 4 != 0) {
        for (std::int32_t i = 0; i < kOfferCount; ++i) {
            if (companyNeighbours(game, game.offeredColumn(i), game.offeredRow(i)) >
                companyNeighbours(game, game.offeredColumn(best), game.offeredRow(best))) {
                best = i;
            }
        }
    }
    return best;
}

void checkBuild(const Game& before, const Game& after, std::int32_t col, std::int32_t row) {
    require(Game::checkState(after.state()).empty(), Game::checkState(after.state()));
    require(after.cell(col, row) != kEmpty && after.cell(col, row) != kOffered,
            "the spot built on is still free");
    for (std::int32_t c = 0; c < kCompanyCount; ++c) {
        require(!(before.isActive(c) && after.isActive(c)) || after.price(c) >= before.price(c),
                "a share price fell");
    }
}

void buyAtRandom(Game& game, std::int32_t player, std::mt19937& rng) {
    for (std::int32_t company = 0; company < kCompanyCount; ++company) {
        if (game.isActive(company) && rng() % 3 == 0) {
            const std::int32_t most = game.cash(player) / game.price(company);
            game.buyShares(player, company, static_cast<std::int32_t>(rng() % (most + 1)));
        }
    }
    require(Game::checkState(game.state()).empty(), "a purchase left a broken state");
}

void playAtRandom(Game& game, std::int32_t player, std::mt19937& rng,
                  const BuildObserver& observer) {
    const std::int32_t spot = chooseSpot(game, rng);
    const std::int32_t col = game.offeredColumn(spot), row = game.offeredRow(spot);
    const Game before = game;
    game.placeOutpost(col, row, player, observer);
    game.clearOffers();
    checkBuild(before, game, col, row);
    buyAtRandom(game, player, rng);
}

// The computer builds on one of the offered spots and buys only what it can afford.
void playComputer(Game& game, std::int32_t player, Level level, const BuildObserver& observer) {
    const TurnPlan plan = planTurn(game, player, level);
    require(plan.offer >= 0 && plan.offer < kOfferCount, "the computer built off the offers");
    const std::int32_t col = game.offeredColumn(plan.offer), row = game.offeredRow(plan.offer);
    const Game before = game;
    game.placeOutpost(col, row, player, observer);
    game.clearOffers();
    checkBuild(before, game, col, row);
    for (const Purchase& buy : plan.purchases) {
        require(buy.company >= 0 && buy.company < kCompanyCount && game.isActive(buy.company) &&
                    buy.shares >= 1 && buy.shares <= game.cash(player) / game.price(buy.company),
                "the computer bought shares it could not");
        game.buyShares(player, buy.company, buy.shares);
    }
    require(Game::checkState(game.state()).empty(), "a computer's purchase left a broken state");
}

using Seats = std::array<std::optional<Level>, kMaxPlayers>;  // the computer's, at its level

// Every other seat hard, from the first.
Seats hardSeats() {
    Seats seats{};
    for (std::size_t p = 0; p < seats.size(); p += 2) {
        seats.at(p) = Level::hard;
    }
    return seats;
}

void playOne(std::uint32_t seed, std::int32_t players, const Seats& computers, Tally& tally) {
    std::mt19937 rng(seed);
    Game game(players, seed);
    std::int32_t turns = 0;
    bool quit = false;
    BuildObserver observer{[&tally](char, std::int32_t) { ++tally.formations; }, nullptr};
    while (!game.isOver() && !quit) {
        const std::int32_t player = game.currentPlayer();
        for (std::int32_t p = 0; p < game.playerCount(); ++p) {
            require(game.leastReceived(p) <= game.mostReceived(p),
                    "a player has more cash and shares than the bound saved games are checked "
                    "against");
        }
        game.offerSpots();
        std::int32_t mergers = 0;
        observer.companiesMerged = [&mergers](const auto&, std::int32_t, std::int32_t) {
            ++mergers;
        };
        if (computers.at(static_cast<std::size_t>(player))) {
            playComputer(game, player, *computers.at(static_cast<std::size_t>(player)), observer);
            ++tally.computerTurns;
            if (computers.at(static_cast<std::size_t>(player)) == Level::hard) {
                ++tally.hardTurns;
                tally.hardSizes.at(static_cast<std::size_t>(game.playerCount())) = true;
            }
        } else {
            playAtRandom(game, player, rng, observer);
        }
        ++tally.mergerBuilds.at(mergers == 0 ? 0 : mergers + 1);
        ++turns;
        quit = rng() % 5000 == 0;  // a quit ends the day, and the game with it
        if (quit) {
            game.endDay();
        } else {
            game.endTurn();
        }
    }
    const std::int32_t days = quit ? game.day() - 1 : lastDayOf(game.playerCount());
    require(game.day() == days + 1, "the game ended on the wrong day");
    require(quit || turns == days * game.playerCount(), "a player missed a turn");
    for (std::int32_t p = 0; p < game.playerCount(); ++p) {
        tally.largestNetWorth = std::max(tally.largestNetWorth, game.netWorth(p));
    }
    ++tally.games;
}

// Some seats easy or normal in one game of every kComputerGamesOneIn.
void playRandom(std::uint32_t seed, Tally& tally) {
    std::mt19937 rng(seed ^ 0xC0FFEEU);
    Seats computers{};
    for (std::size_t p = 0; seed % kComputerGamesOneIn == 0 && p < computers.size(); ++p) {
        if (rng() % 2 == 0) {
            computers.at(p) = static_cast<Level>(rng() % 2);
        }
    }
    playOne(seed, static_cast<std::int32_t>(seed % kMaxPlayers) + 1, computers, tally);
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t games = 1000;
    std::uint32_t seed = 1;
    std::int64_t hardGames = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view flag = argv[i];
        const auto value = std::strtoull(argv[i + 1], nullptr, 10);
        if (flag == "--games") {
            games = static_cast<std::int64_t>(value);
        } else if (flag == "--seed") {
            seed = static_cast<std::uint32_t>(value);
        } else if (flag == "--hard-games") {
            hardGames = static_cast<std::int64_t>(value);
        } else {
            std::fprintf(stderr, "usage: kessandor_soak [--games N] [--seed S] [--hard-games H]\n");
            return 2;
        }
    }
    Tally tally;
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t g = 0; g < games + hardGames; ++g) {
        const auto gameSeed = static_cast<std::uint32_t>(seed + g * 7919U);
        const bool hard = g >= games;
        try {
            if (hard) {
                // Seeds 7919 apart run through every size in five games.
                playOne(gameSeed, static_cast<std::int32_t>(gameSeed % kMaxPlayers) + 1,
                        hardSeats(), tally);
            } else {
                playRandom(gameSeed, tally);
            }
        } catch (const Failure& failure) {
            std::fprintf(stderr, "soak: FAILED: %s (replay: kessandor_soak --seed %u --games %s)\n",
                         failure.what.c_str(), gameSeed, hard ? "0 --hard-games 1" : "1");
            return 1;
        }
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf(
        "%lld games in %.1f s: %lld formations; builds merging 2, 3, 4 companies: %lld, "
        "%lld, %lld; largest net worth $%d; %lld computer turns, %lld of them hard\n",
        static_cast<long long>(tally.games), seconds.count(),
        static_cast<long long>(tally.formations), static_cast<long long>(tally.mergerBuilds[2]),
        static_cast<long long>(tally.mergerBuilds[3]),
        static_cast<long long>(tally.mergerBuilds[4]), tally.largestNetWorth,
        static_cast<long long>(tally.computerTurns), static_cast<long long>(tally.hardTurns));
    if (games >= 1000 && tally.mergerBuilds[3] == 0) {
        std::fprintf(stderr, "soak: FAILED: no build ever merged three companies\n");
        return 1;
    }
    if (hardGames >= kMaxPlayers &&
        std::count(tally.hardSizes.begin() + 1, tally.hardSizes.end(), true) != kMaxPlayers) {
        std::fprintf(stderr, "soak: FAILED: the hard computer missed a size of game\n");
        return 1;
    }
    std::printf("soak: every invariant held\n");
    return 0;
}
