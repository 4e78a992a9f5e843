// Random-play soak: plays many random games through the game API and checks the rules after
// every build, every purchase and every day. Counts how often each rule came up and the
// largest fortunes seen, and fails with the seed and game number of the first broken rule.
//
//   kessandor_soak [--games N] [--seed S] [--first G] [--bias PERCENT]
//
// Game G of a run with seed S is reproduced alone by --seed S --first G --games 1.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "game/game.h"
#include "random_play.h"

namespace {

using randomplay::Surroundings;
using Map = std::array<std::array<char, kRows>, kColumns>;

struct Failure {
    std::string what;
};

[[noreturn]] void fail(std::string what) {
    throw Failure{std::move(what)};
}

std::string cellName(std::int32_t col, std::int32_t row) {
    return std::string(1, Game::columnLetter(col)) + std::to_string(row + 1);
}

bool isLetter(char symbol) {
    return symbol >= 'A' && symbol < 'A' + kCompanyCount;
}

std::int32_t clamped(std::int64_t money) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(money, std::numeric_limits<std::int32_t>::max()));
}

// How often each rule came up, and the largest amounts of money seen.
struct Tally {
    std::int64_t games = 0;
    std::int64_t builds = 0;
    std::int64_t plainOutposts = 0;
    std::int64_t formations = 0;
    std::int64_t reformations = 0;  // a letter formed again after it was absorbed
    std::int64_t growths = 0;       // a build next to exactly one company
    std::int64_t spreads = 0;       // builds that absorbed chained outposts
    std::int64_t outpostsAbsorbed = 0;
    std::array<std::int64_t, 5> mergerBuilds{};  // [k]: builds that joined k companies
    std::int64_t mergers = 0;
    std::int64_t largestCash = 0;
    std::int64_t largestNetWorth = 0;
    std::int64_t largestPrice = 0;
};

struct CompanyState {
    bool active = false;
    std::int32_t price = 0;
    std::int32_t size = 0;
};

struct PlayerState {
    std::int32_t cash = 0;
    std::array<std::int32_t, kCompanyCount> holdings{};
};

// Everything the rules may change, copied out of the game.
struct Snapshot {
    Map map{};
    std::array<CompanyState, kCompanyCount> companies{};
    std::array<PlayerState, kMaxPlayers> players{};
    std::int32_t mergeCount = 0;
    std::int32_t day = 0;

    static Snapshot of(const Game& game) {
        Snapshot s;
        for (std::int32_t col = 0; col < kColumns; ++col) {
            for (std::int32_t row = 0; row < kRows; ++row) {
                s.map.at(col).at(row) = game.cell(col, row);
            }
        }
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            s.companies.at(c) = {game.isActive(c), game.price(c), game.size(c)};
        }
        for (std::int32_t p = 0; p < game.playerCount(); ++p) {
            s.players.at(p).cash = game.cash(p);
            for (std::int32_t c = 0; c < kCompanyCount; ++c) {
                s.players.at(p).holdings.at(c) = game.holdings(p, c);
            }
        }
        s.mergeCount = game.mergeCount();
        s.day = game.day();
        return s;
    }
    char at(std::int32_t col, std::int32_t row) const { return map.at(col).at(row); }
    std::int32_t count(char symbol) const {
        std::int32_t n = 0;
        for (const auto& column : map) {
            n += static_cast<std::int32_t>(std::count(column.begin(), column.end(), symbol));
        }
        return n;
    }
};

// Worked out from the map alone, independently of the rules under test.
Surroundings around(const Game& game, std::int32_t col, std::int32_t row) {
    return randomplay::surroundingsOf(game, col, row);
}

// The first company letter next to the cell in the order the rules look: above, below,
// left, right.
char firstLetterAround(const Snapshot& s, std::int32_t col, std::int32_t row) {
    const std::array<std::array<std::int32_t, 2>, 4> sides = {
        {{col, row - 1}, {col, row + 1}, {col - 1, row}, {col + 1, row}}};
    for (const auto& [c, r] : sides) {
        if (c >= 0 && c < kColumns && r >= 0 && r < kRows && isLetter(s.at(c, r))) {
            return s.at(c, r);
        }
    }
    return 0;
}

std::int64_t netWorth(const Game& game, std::int32_t player) {
    return std::int64_t{game.cash(player)} + game.shareValue(player);
}

class RuleChecker {
public:
    explicit RuleChecker(Tally& tally) : tally_(tally) {}

    void beforeBuild(const Game& game, std::int32_t col, std::int32_t row,
                     std::int32_t /*player*/) {
        before_ = Snapshot::of(game);
        col_ = col;
        row_ = row;
        around_ = around(game, col, row);
        couldForm_ = game.anyInactive();
    }

    void afterBuild(const Game& game, std::int32_t player) {
        const Snapshot after = Snapshot::of(game);
        ++tally_.builds;
        checkMap(game, after);
        checkChangedCells(after);
        checkHolders(game);
        checkPrices(after);
        checkBuild(game, after, player);
        recordLargest(game);
    }

    void beforePurchase(const Game& game, std::int32_t /*player*/) { before_ = Snapshot::of(game); }

    void afterPurchase(const Game& game, std::int32_t player, std::int32_t company,
                       std::int32_t count) {
        const PlayerState& was = before_.players.at(player);
        const std::int64_t cost = std::int64_t{count} * game.price(company);
        if (game.cash(player) != was.cash - cost ||
            game.holdings(player, company) != was.holdings.at(company) + count) {
            fail("buying " + std::to_string(count) + " shares of " +
                 std::string(1, static_cast<char>('A' + company)) + " at $" +
                 std::to_string(game.price(company)) + " with $" + std::to_string(was.cash) +
                 " left $" + std::to_string(game.cash(player)) + " and " +
                 std::to_string(game.holdings(player, company)) + " shares");
        }
        checkHolders(game);
    }

    void beforeEndDay(const Game& game) { before_ = Snapshot::of(game); }

    void afterEndDay(const Game& game) {
        if (game.day() != before_.day + 1) {
            fail("the day went from " + std::to_string(before_.day) + " to " +
                 std::to_string(game.day()));
        }
        for (std::int32_t p = 0; p < game.playerCount(); ++p) {
            std::int64_t value = 0;
            for (std::int32_t c = 0; c < kCompanyCount; ++c) {
                value += std::int64_t{before_.players.at(p).holdings.at(c)} * game.price(c);
            }
            const std::int32_t expected = clamped(before_.players.at(p).cash + value / 20 + 150);
            if (game.cash(p) != expected) {
                fail("player " + std::to_string(p + 1) + " has $" + std::to_string(game.cash(p)) +
                     " after the dividend on shares worth $" + std::to_string(value) +
                     ", expected $" + std::to_string(expected));
            }
        }
        checkHolders(game);
        recordLargest(game);
    }

private:
    // Sizes match the map, absorbed letters are gone, no offer is left over.
    static void checkMap(const Game& game, const Snapshot& after) {
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            const char letter = static_cast<char>('A' + c);
            const std::int32_t cells = after.count(letter);
            if (game.isActive(c) && cells != game.size(c)) {
                fail(std::string("company ") + letter + " has size " +
                     std::to_string(game.size(c)) + " but " + std::to_string(cells) +
                     " cells on the map");
            }
            if (!game.isActive(c) && cells != 0) {
                fail(std::string("inactive company ") + letter + " still has " +
                     std::to_string(cells) + " cells on the map");
            }
        }
        for (std::int32_t col = 0; col < kColumns; ++col) {
            for (std::int32_t row = 0; row < kRows; ++row) {
                const char symbol = after.at(col, row);
                if (symbol != kEmpty && symbol != kStar && symbol != kOutpost &&
                    !isLetter(symbol)) {
                    fail("cell " + cellName(col, row) + " holds '" + std::string(1, symbol) +
                         "' after the build");
                }
            }
        }
    }

    // Stars and untouched space stay as they were; the other offers go back to space; the
    // built spot becomes an outpost or a company; outposts only ever join companies.
    void checkChangedCells(const Snapshot& after) const {
        for (std::int32_t col = 0; col < kColumns; ++col) {
            for (std::int32_t row = 0; row < kRows; ++row) {
                const char was = before_.at(col, row);
                const char now = after.at(col, row);
                const bool built = col == col_ && row == row_;
                bool allowed = false;
                if (was == kOffered) {
                    allowed = built ? (now == kOutpost || isLetter(now)) : now == kEmpty;
                } else if (was == kOutpost) {
                    allowed = now == kOutpost || isLetter(now);
                } else if (isLetter(was)) {
                    allowed = isLetter(now);
                } else {
                    allowed = now == was;
                }
                if (!allowed) {
                    fail("cell " + cellName(col, row) + " went from '" + std::string(1, was) +
                         "' to '" + std::string(1, now) + "' building on " + cellName(col_, row_));
                }
            }
        }
    }

    // Nobody owes money or shares, and nobody holds shares of a company that does not exist.
    static void checkHolders(const Game& game) {
        for (std::int32_t p = 0; p < game.playerCount(); ++p) {
            if (game.cash(p) < 0) {
                fail("player " + std::to_string(p + 1) + " has $" + std::to_string(game.cash(p)));
            }
            for (std::int32_t c = 0; c < kCompanyCount; ++c) {
                const std::int32_t held = game.holdings(p, c);
                if (held < 0 || (held > 0 && !game.isActive(c))) {
                    fail("player " + std::to_string(p + 1) + " holds " + std::to_string(held) +
                         " shares of " + (game.isActive(c) ? "" : "inactive ") + "company " +
                         std::string(1, static_cast<char>('A' + c)));
                }
            }
        }
    }

    // A company costs at least 100 a share, and its price never falls while it exists.
    void checkPrices(const Snapshot& after) const {
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            const CompanyState& was = before_.companies.at(c);
            const CompanyState& now = after.companies.at(c);
            const std::string name(1, static_cast<char>('A' + c));
            if (now.active && now.price < 100) {
                fail("company " + name + " costs $" + std::to_string(now.price));
            }
            if (was.active && now.active && now.price < was.price) {
                fail("company " + name + " fell from $" + std::to_string(was.price) + " to $" +
                     std::to_string(now.price));
            }
        }
    }

    // Which rule the build met, and whether it came out as the rules say.
    void checkBuild(const Game& game, const Snapshot& after, std::int32_t player) {
        const char built = after.at(col_, row_);
        const std::int32_t touched = around_.companies;
        const std::int32_t outpostsGone =
            before_.count(kOutpost) - after.count(kOutpost) + (built == kOutpost ? 1 : 0);
        if (touched >= 2) {
            checkMergers(game, after, touched);
        } else if (touched == 1) {
            ++tally_.growths;
            expect(built == firstLetterAround(before_, col_, row_), "joined its company", built);
        } else if (couldForm_ && (around_.outposts > 0 || around_.stars > 0)) {
            checkFormation(game, built, player);
        } else {
            ++tally_.plainOutposts;
            expect(built == kOutpost, "stayed a plain outpost", built);
        }
        if (after.mergeCount != before_.mergeCount + std::max(touched - 1, 0)) {
            fail("building on " + cellName(col_, row_) + " next to " + std::to_string(touched) +
                 " companies made " + std::to_string(after.mergeCount - before_.mergeCount) +
                 " mergers");
        }
        if (outpostsGone > 0) {
            ++tally_.spreads;
            tally_.outpostsAbsorbed += outpostsGone;
        }
        if (isLetter(built)) {
            checkGrownCompany(game, after, built);
        } else {
            checkUntouchedCompanies(after, 0);
        }
    }

    void expect(bool ok, std::string_view rule, char built) const {
        if (!ok) {
            fail("the build on " + cellName(col_, row_) + " should have " + std::string(rule) +
                 " but became '" + std::string(1, built) + "'");
        }
    }

    void checkFormation(const Game& game, char built, std::int32_t player) {
        ++tally_.formations;
        std::int32_t lowestFree = 0;
        while (before_.companies.at(lowestFree).active) {
            ++lowestFree;
        }
        expect(built == 'A' + lowestFree, "formed the lowest free letter", built);
        if (game.holdings(player, lowestFree) != 5) {
            fail("the founder of " + std::string(1, built) + " holds " +
                 std::to_string(game.holdings(player, lowestFree)) + " shares");
        }
        if (everFormed_.at(lowestFree)) {
            ++tally_.reformations;
        }
        everFormed_.at(lowestFree) = true;
    }

    void checkMergers(const Game& game, const Snapshot& after, std::int32_t touched) {
        ++tally_.mergerBuilds.at(touched);
        tally_.mergers += touched - 1;
        const char survivor = after.at(col_, row_);
        expect(isLetter(survivor) && around(game, col_, row_).companies == 1,
               "merged every company around it", survivor);
        if (touched == 2) {
            checkTwoWayMerger(after, survivor);
        }
    }

    // The larger company survives (the first one found on equal sizes); each holder of the
    // absorbed company gets survivor shares of the same value and a bonus of that value
    // divided by the number of mergers so far.
    void checkTwoWayMerger(const Snapshot& after, char survivor) const {
        const std::int32_t s = survivor - 'A';
        std::int32_t x = 0;
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            if (c != s && before_.companies.at(c).active && !after.companies.at(c).active) {
                x = c;
            }
        }
        const CompanyState& kept = before_.companies.at(s);
        const CompanyState& gone = before_.companies.at(x);
        const bool rightSurvivor =
            kept.size > gone.size ||
            (kept.size == gone.size && firstLetterAround(before_, col_, row_) == survivor);
        if (!rightSurvivor) {
            fail(std::string(1, survivor) + " (size " + std::to_string(kept.size) +
                 ") survived a merger with " + std::string(1, static_cast<char>('A' + x)) +
                 " (size " + std::to_string(gone.size) + ")");
        }
        const std::int64_t mergedPrice = std::int64_t{kept.price} + gone.price;
        for (std::int32_t p = 0; p < kMaxPlayers; ++p) {
            const PlayerState& was = before_.players.at(p);
            const PlayerState& now = after.players.at(p);
            const std::int64_t oldValue = std::int64_t{was.holdings.at(x)} * gone.price;
            const std::int64_t shares = was.holdings.at(s) + oldValue / clamped(mergedPrice);
            const std::int64_t cash = was.cash + oldValue / after.mergeCount;
            if (now.holdings.at(s) != shares || now.cash != cash) {
                fail("after " + std::string(1, static_cast<char>('A' + x)) + " merged into " +
                     survivor + ", player " + std::to_string(p + 1) + " has " +
                     std::to_string(now.holdings.at(s)) + " shares and $" +
                     std::to_string(now.cash) + ", expected " + std::to_string(shares) + " and $" +
                     std::to_string(cash));
            }
        }
    }

    // The company on the built cell: worth the prices of every company it swallowed plus 100
    // for each cell it gained (600 next to a star), and as big as all of them together.
    void checkGrownCompany(const Game& game, const Snapshot& after, char letter) const {
        const std::int32_t index = letter - 'A';
        std::int64_t price = 0;
        std::int64_t size = 0;
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            if (before_.companies.at(c).active && !after.companies.at(c).active) {
                price += before_.companies.at(c).price;  // absorbed in this build
                size += before_.companies.at(c).size;
            }
        }
        if (before_.companies.at(index).active) {
            price += before_.companies.at(index).price;
            size += before_.companies.at(index).size;
        }
        for (std::int32_t col = 0; col < kColumns; ++col) {
            for (std::int32_t row = 0; row < kRows; ++row) {
                if (after.at(col, row) != letter || isLetter(before_.at(col, row))) {
                    continue;
                }
                const Surroundings gained = around(game, col, row);
                if (gained.outposts > 0) {
                    fail("cell " + cellName(col, row) + " joined " + letter +
                         " but an outpost chained to it did not");
                }
                price += gained.stars > 0 ? 600 : 100;
                ++size;
            }
        }
        if (game.price(index) != clamped(price) || game.size(index) != size) {
            fail(std::string("company ") + letter + " has price $" +
                 std::to_string(game.price(index)) + " and size " +
                 std::to_string(game.size(index)) + ", expected $" + std::to_string(price) +
                 " and " + std::to_string(size));
        }
        checkUntouchedCompanies(after, letter);
    }

    // Companies the build did not reach keep their price and size.
    void checkUntouchedCompanies(const Snapshot& after, char grown) const {
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            const CompanyState& was = before_.companies.at(c);
            const CompanyState& now = after.companies.at(c);
            if ('A' + c == grown || !was.active || !now.active) {
                continue;
            }
            if (was.price != now.price || was.size != now.size) {
                fail(std::string("company ") + static_cast<char>('A' + c) +
                     " changed though the build on " + cellName(col_, row_) + " did not reach it");
            }
        }
    }

    void recordLargest(const Game& game) {
        for (std::int32_t p = 0; p < game.playerCount(); ++p) {
            tally_.largestCash = std::max<std::int64_t>(tally_.largestCash, game.cash(p));
            tally_.largestNetWorth = std::max(tally_.largestNetWorth, netWorth(game, p));
        }
        for (std::int32_t c = 0; c < kCompanyCount; ++c) {
            tally_.largestPrice = std::max<std::int64_t>(tally_.largestPrice, game.price(c));
        }
    }

    Tally& tally_;
    Snapshot before_;
    std::int32_t col_ = 0;
    std::int32_t row_ = 0;
    Surroundings around_;
    bool couldForm_ = false;
    std::array<bool, kCompanyCount> everFormed_{};
};

struct Options {
    std::int64_t games = 1000;
    std::uint64_t seed = 1;
    std::int64_t first = 0;
    std::int32_t bias = randomplay::Tactics{}.biasPercent;
};

// Every game of a run gets its own seed, so any one of them can be played again alone.
std::uint64_t gameSeed(std::uint64_t runSeed, std::int64_t game) {
    randomplay::Rng mix(runSeed ^ (static_cast<std::uint64_t>(game) * 0x9E3779B97F4A7C15ULL));
    return mix.next();
}

// Plays game number `game` of the run; throws Failure when a rule is broken.
void playOne(const Options& options, std::int64_t game, Tally& tally) {
    const std::uint64_t seed = gameSeed(options.seed, game);
    const auto players = static_cast<std::int32_t>(game % kMaxPlayers) + 1;
    theGame = std::make_unique<Game>(players, static_cast<std::uint32_t>(seed));
    if (theGame->day() != 1) {
        fail("a new game starts on day " + std::to_string(theGame->day()));
    }
    randomplay::Rng rng(seed);
    RuleChecker checker(tally);
    // Every other game is played by merger hunters.
    const randomplay::Tactics tactics{options.bias, game % 2 == 1};
    const std::int32_t days = randomplay::playRandomGame(rng, checker, tactics);
    // The rules' table: 22 days of turns for one player down to 14 for five.
    const std::int32_t expectedDays = 24 - 2 * players;
    if (days != expectedDays || theGame->day() != expectedDays + 1) {
        fail(std::to_string(players) + " players played " + std::to_string(days) +
             " days and ended on day " + std::to_string(theGame->day()) + ", expected " +
             std::to_string(expectedDays) + " days ending on day " +
             std::to_string(expectedDays + 1));
    }
    ++tally.games;
    theGame.reset();
}

void printMap(const Game& game) {
    for (std::int32_t row = 0; row < kRows; ++row) {
        std::fprintf(stderr, "  %d ", row + 1);
        for (std::int32_t col = 0; col < kColumns; ++col) {
            std::fprintf(stderr, " %c", game.cell(col, row));
        }
        std::fprintf(stderr, "\n");
    }
}

void printTally(const Tally& t, double seconds) {
    std::printf("games played            %lld in %.1f s (%.0f games/s)\n",
                static_cast<long long>(t.games), seconds,
                seconds > 0 ? static_cast<double>(t.games) / seconds : 0.0);
    const std::array<std::pair<const char*, std::int64_t>, 11> lines = {{
        {"builds", t.builds},
        {"plain outposts", t.plainOutposts},
        {"formations", t.formations},
        {"re-formations", t.reformations},
        {"growths", t.growths},
        {"spreads", t.spreads},
        {"outposts absorbed", t.outpostsAbsorbed},
        {"2-way merger builds", t.mergerBuilds[2]},
        {"3-way merger builds", t.mergerBuilds[3]},
        {"4-way merger builds", t.mergerBuilds[4]},
        {"mergers in all", t.mergers},
    }};
    for (const auto& [label, count] : lines) {
        std::printf("%-24s%lld\n", label, static_cast<long long>(count));
    }
    std::printf("largest cash            $%lld\n", static_cast<long long>(t.largestCash));
    std::printf("largest net worth       $%lld\n", static_cast<long long>(t.largestNetWorth));
    std::printf("largest share price     $%lld\n", static_cast<long long>(t.largestPrice));
    std::printf("money limit             $%d\n", std::numeric_limits<std::int32_t>::max());
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view flag = argv[i];
        const long long value = std::strtoll(argv[i + 1], nullptr, 10);
        if (flag == "--games") {
            options.games = value;
        } else if (flag == "--seed") {
            options.seed = static_cast<std::uint64_t>(value);
        } else if (flag == "--first") {
            options.first = value;
        } else if (flag == "--bias") {
            options.bias = static_cast<std::int32_t>(value);
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

// A long enough run must have met the rare rules, or the players' bias has stopped working.
constexpr std::int64_t kGamesThatMeetRareRules = 1000;

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: kessandor_soak [--games N] [--seed S] [--first G] [--bias PERCENT]\n");
        return 2;
    }
    const randomplay::Headless headless;
    Tally tally;
    const auto start = std::chrono::steady_clock::now();
    for (std::int64_t game = options.first; game < options.first + options.games; ++game) {
        try {
            playOne(options, game, tally);
        } catch (const Failure& failure) {
            std::fprintf(
                stderr,
                "soak: FAILED in game %lld of seed %llu (%d players, day %d): %s\n"
                "replay it with: kessandor_soak --seed %llu --first %lld --games 1\n",
                static_cast<long long>(game), static_cast<unsigned long long>(options.seed),
                theGame->playerCount(), theGame->day(), failure.what.c_str(),
                static_cast<unsigned long long>(options.seed), static_cast<long long>(game));
            printMap(*theGame);
            return 1;
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    printTally(tally, elapsed.count());
    if (options.games >= kGamesThatMeetRareRules &&
        (tally.mergerBuilds[3] == 0 || tally.reformations == 0)) {
        std::fprintf(stderr,
                     "soak: FAILED: %lld games never met a 3-way merger or a re-formed letter\n",
                     static_cast<long long>(tally.games));
        return 1;
    }
    std::printf("soak: all rules held\n");
    return 0;
}
