// The arena: plays many seeded games between strategies through the game's rules and reports
// how often each strategy wins, with a 95% confidence interval, and how long it takes to
// decide a turn.
//
//   kessandor_arena [--games N] [--seed S] [--threads T] [--expect-above P] STRATEGY...
//
// With --expect-above, the run fails (status 3) unless the first strategy's win rate is above
// P percent with 95% confidence: the lower end of its interval. CI checks the levels' order so.
// STRATEGY is easy, normal, hard, greedy, random or playouts (or hard~, hard/..., see README); two
// to five of them make the seats of each game. The seats turn round from game to game, so that
// every strategy sits in every seat equally often. A game won jointly counts as a share of a win
// for each winner.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ai/computer.h"
#include "ai/dice.h"
#include "ai/search.h"
#include "baselines.h"

namespace {

using Clock = std::chrono::steady_clock;

// The processor time this thread has used: on a shared machine the wall clock would also
// count the time other programs ran.
double threadMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Seat {
    std::string name;
    std::function<TurnPlan(const Game&, std::int32_t)> plan;
    // The same decision with another seed of the computer's own chance, when measured.
    std::function<TurnPlan(const Game&, std::int32_t)> reseeded;
};

std::uint64_t hardSeed(const Game& game, std::int32_t player) {
    return Dice::mix(Dice::mix(game.seed(), static_cast<std::uint64_t>(game.day())),
                     static_cast<std::uint64_t>(player));
}

bool samePlan(const TurnPlan& a, const TurnPlan& b) {
    return a.offer == b.offer &&
           std::equal(a.purchases.begin(), a.purchases.end(), b.purchases.begin(),
                      b.purchases.end(), [](const Purchase& x, const Purchase& y) {
                          return x.company == y.company && x.shares == y.shares;
                      });
}

// hard/BUILDS/RIVAL/MARGIN: the hard computer's search with other settings, for tuning.
bool searchNamed(std::string_view name, Seat& seat) {
    SearchSettings settings;
    long long builds = 0;
    if (std::sscanf(std::string(name).c_str(), "hard/%lld/%lf/%lf", &builds, &settings.rivalWeight,
                    &settings.marginWeight) < 1) {
        return false;
    }
    settings.builds = builds;
    seat.plan = [settings](const Game& game, std::int32_t player) {
        const std::uint64_t seed =
            Dice::mix(Dice::mix(game.seed(), static_cast<std::uint64_t>(game.day())),
                      static_cast<std::uint64_t>(player));
        return searchTurn(game, player, seed, settings);
    };
    return true;
}

// What the play-outs player may simulate for one decision: about as long as hard thinks.
constexpr std::int64_t kPlayoutsBudget = 24000;

bool seatNamed(std::string_view name, Seat& seat) {
    seat.name = name;
    if (name == "random") {
        seat.plan = randomPlan;
    } else if (name == "greedy") {
        seat.plan = greedyPlan;
    } else if (name == "playouts") {
        seat.plan = [](const Game& game, std::int32_t player) {
            return playoutsPlan(game, player, kPlayoutsBudget);
        };
    } else if (name == "hard~") {
        // hard, also planning every turn with another seed, to count the plans chance decides
        seat.plan = [](const Game& game, std::int32_t player) {
            return planTurn(game, player, Level::hard);
        };
        seat.reseeded = [](const Game& game, std::int32_t player) {
            return searchTurn(game, player, hardSeed(game, player) ^ 0x5EEDU);
        };
    } else if (const std::optional<Level> level = levelNamed(name)) {
        seat.plan = [level = *level](const Game& game, std::int32_t player) {
            return planTurn(game, player, level);
        };
    } else {
        return searchNamed(name, seat);
    }
    return true;
}

// What the games of one strategy added up to.
struct Record {
    double wins = 0;
    std::vector<double> decisionMs;
    std::int64_t reseeded = 0;  // decisions also made with another seed
    std::int64_t changed = 0;   // of them, those whose plan changed
    std::int64_t moved = 0;     // and those whose spot changed
};

struct Illegal {
    std::string what;
};

// Builds and buys as planned, refusing any move the rules do not allow.
void play(Game& game, std::int32_t player, const TurnPlan& plan) {
    if (plan.offer < 0 || plan.offer >= kOfferCount) {
        throw Illegal{"built where nothing was offered"};
    }
    game.placeOutpost(game.offeredColumn(plan.offer), game.offeredRow(plan.offer), player);
    game.clearOffers();
    for (const Purchase& buy : plan.purchases) {
        if (buy.company < 0 || buy.company >= kCompanyCount || !game.isActive(buy.company) ||
            buy.shares < 1 || buy.shares > game.cash(player) / game.price(buy.company)) {
            throw Illegal{"bought shares it could not"};
        }
        game.buyShares(player, buy.company, buy.shares);
    }
}

// One game with the seats turned round `turn` places; adds the wins and times to `records`.
void playGame(const std::vector<Seat>& lineup, std::uint32_t seed, std::size_t turn,
              std::map<std::string, Record>& records) {
    const auto players = static_cast<std::int32_t>(lineup.size());
    std::vector<const Seat*> seats;
    for (std::size_t i = 0; i < lineup.size(); ++i) {
        seats.push_back(&lineup.at((i + turn) % lineup.size()));
    }
    Game game(players, seed);
    while (!game.isOver()) {
        const std::int32_t player = game.currentPlayer();
        const Seat& seat = *seats.at(static_cast<std::size_t>(player));
        game.offerSpots();
        const double start = threadMs();
        const TurnPlan plan = seat.plan(game, player);
        Record& record = records[seat.name];
        record.decisionMs.push_back(threadMs() - start);
        if (seat.reseeded) {
            ++record.reseeded;
            const TurnPlan other = seat.reseeded(game, player);
            record.changed += samePlan(plan, other) ? 0 : 1;
            record.moved += plan.offer == other.offer ? 0 : 1;
        }
        play(game, player, plan);
        game.endTurn();
    }
    const std::vector<Standing> standings = game.rankPlayers();
    const auto winners = std::count_if(standings.begin(), standings.end(), [&](const Standing& s) {
        return s.netWorth == standings.front().netWorth;
    });
    for (std::int32_t i = 0; i < winners; ++i) {
        records[seats.at(static_cast<std::size_t>(standings.at(i).player))->name].wins +=
            1.0 / static_cast<double>(winners);
    }
}

double percentile(std::vector<double>& values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at),
                     values.end());
    return values.at(at);
}

struct Interval {
    double low = 0;
    double high = 0;
};

// Wilson's 95% interval for a proportion: sound also near 0 and 1.
Interval wilson(double wins, std::int64_t games) {
    const double n = static_cast<double>(games);
    const double p = wins / n;
    const double z = 1.96;
    const double centre = (p + z * z / (2 * n)) / (1 + z * z / n);
    const double half = z * std::sqrt(p * (1 - p) / n + z * z / (4 * n * n)) / (1 + z * z / n);
    return Interval{centre - half, centre + half};
}

void report(const std::string& name, Record& record, std::int64_t games) {
    const double p = record.wins / static_cast<double>(games);
    const Interval interval = wilson(record.wins, games);
    std::vector<double>& ms = record.decisionMs;
    const double worst = ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
    std::printf(
        "%-8s wins %5.1f%%  (95%%: %5.1f%% to %5.1f%%)   decision ms (CPU): median %.3f  "
        "p99 %.3f  max %.3f\n",
        name.c_str(), 100 * p, 100 * interval.low, 100 * interval.high, percentile(ms, 0.5),
        percentile(ms, 0.99), worst);
    if (record.reseeded > 0) {
        const auto share = [&record](std::int64_t count) {
            return 100.0 * static_cast<double>(count) / static_cast<double>(record.reseeded);
        };
        std::printf(
            "%-8s of %lld plans, another seed of its own chance changes %.1f%%, their "
            "spot %.1f%%\n",
            name.c_str(), static_cast<long long>(record.reseeded), share(record.changed),
            share(record.moved));
    }
}

int usage() {
    std::fprintf(
        stderr,
        "usage: kessandor_arena [--games N] [--seed S] [--threads T] STRATEGY "
        "STRATEGY...\n  STRATEGY: easy, normal, hard, greedy, random or playouts (2 to 5)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t games = 200;
    std::uint32_t seed = 1;
    std::int32_t threads = 1;
    double expectAbove = -1;  // percent
    std::vector<Seat> lineup;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.substr(0, 2) == "--" && i + 1 < argc) {
            const auto value = std::strtoll(argv[++i], nullptr, 10);
            if (argument == "--games") {
                games = value;
            } else if (argument == "--seed") {
                seed = static_cast<std::uint32_t>(value);
            } else if (argument == "--expect-above") {
                expectAbove = static_cast<double>(value);
            } else if (argument == "--threads") {
                threads = static_cast<std::int32_t>(std::clamp<long long>(value, 1, 64));
            } else {
                return usage();
            }
        } else if (Seat seat; seatNamed(argument, seat)) {
            lineup.push_back(seat);
        } else {
            return usage();
        }
    }
    if (lineup.size() < 2 || lineup.size() > static_cast<std::size_t>(kMaxPlayers) || games < 1) {
        return usage();
    }
    std::map<std::string, Record> records;
    std::mutex merging;
    std::vector<std::string> failures;
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> workers;
    for (std::int32_t t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::map<std::string, Record> mine;
            for (std::int64_t g = t; g < games; g += threads) {
                const auto gameSeed = static_cast<std::uint32_t>(seed + g * 7919);
                try {
                    playGame(lineup, gameSeed, static_cast<std::size_t>(g), mine);
                } catch (const Illegal& illegal) {
                    const std::lock_guard<std::mutex> lock(merging);
                    failures.push_back(illegal.what + " in the game of seed " +
                                       std::to_string(gameSeed));
                }
            }
            const std::lock_guard<std::mutex> lock(merging);
            for (auto& [name, record] : mine) {
                Record& total = records[name];
                total.wins += record.wins;
                total.reseeded += record.reseeded;
                total.changed += record.changed;
                total.moved += record.moved;
                total.decisionMs.insert(total.decisionMs.end(), record.decisionMs.begin(),
                                        record.decisionMs.end());
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    const std::chrono::duration<double> seconds = Clock::now() - start;
    std::printf("%lld games of", static_cast<long long>(games));
    for (const Seat& seat : lineup) {
        std::printf(" %s", seat.name.c_str());
    }
    std::printf(" (seed %u, %.0f s)\n", seed, seconds.count());
    for (auto& [name, record] : records) {
        report(name, record, games);
    }
    for (const std::string& failure : failures) {
        std::fprintf(stderr, "arena: ILLEGAL MOVE: %s\n", failure.c_str());
    }
    if (!failures.empty()) {
        return 1;
    }
    const double low = 100 * wilson(records[lineup.front().name].wins, games).low;
    if (expectAbove >= 0 && low <= expectAbove) {
        std::fprintf(stderr,
                     "arena: FAILED: %s does not win above %.0f%% with 95%% confidence (its "
                     "interval starts at %.1f%%)\n",
                     lineup.front().name.c_str(), expectAbove, low);
        return 3;
    }
    return 0;
}
