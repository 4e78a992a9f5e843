#include "sessions.h"

#include <algorithm>
#include <array>
#include <memory>
#include <sstream>
#include <string_view>

#include "game/building.h"
#include "game/game.h"
#include "harness.h"
#include "random_play.h"

namespace fuzzing {
namespace {

using randomplay::Rng;

constexpr std::array<std::string_view, 10> kNames = {
    "Ann", "bob", "Zoë", "Björn", "Cyd", "Ülle", "Kaito", "Mara", "Maximiliana-Octavia-Reyes",
    "Åsa"};

// Writes what the players type while the same game is played alongside through the game API.
class Script {
public:
    explicit Script(const SessionPlan& plan) : plan_(plan), rng_(plan.seed) {}

    Session write() {
        const randomplay::Headless headless;  // the rules announce on standard output
        session_.quitAtTheEnd = plan_.quitAtTheEnd;
        for (std::int32_t game = 0; game < plan_.games; ++game) {
            titleMenu();
            setUp();
            playGame(game == 0 ? plan_.quitOnDay : 0);
            theGame.reset();
        }
        if (plan_.games == 0) {
            titleMenu();
        }
        if (plan_.quitAtTheEnd) {
            say(rng_.chance(50) ? "q" : "Q");
        }
        return session_;
    }

private:
    void say(std::string_view answer) {
        session_.input += answer;
        session_.input += '\n';
    }
    bool detour(std::int32_t percent) { return plan_.detours && rng_.chance(percent); }
    template <std::size_t N>
    std::string_view pick(const std::array<std::string_view, N>& answers) {
        return answers.at(static_cast<std::size_t>(rng_.below(static_cast<std::int32_t>(N))));
    }

    void titleMenu() {
        while (detour(50)) {
            say(pick(std::array<std::string_view, 7>{"c", "H", "i", "I", "h", "x", "7"}));
        }
    }

    void setUp() {
        say(rng_.chance(50) ? "s" : "S");
        while (detour(40)) {
            say(pick(std::array<std::string_view, 4>{"0", "6", "-1", "two"}));
        }
        say(std::to_string(plan_.players));
        const bool oneLine = detour(40);
        for (std::int32_t p = 0; p < plan_.players; ++p) {
            session_.input += kNames.at(static_cast<std::size_t>(rng_.below(kNames.size())));
            session_.input += oneLine && p + 1 < plan_.players ? ' ' : '\n';
        }
        theGame = std::make_unique<Game>(plan_.players, kClock);
    }

    // The day loop of the program: turns, then the dividends, until the last day or a quit.
    void playGame(std::int32_t quitOnDay) {
        Game& game = *theGame;
        bool quit = false;
        while (!quit) {
            for (std::int32_t p = 0; p < game.playerCount() && !quit; ++p) {
                quit = game.day() == quitOnDay && p == game.playerCount() / 2;
                turn(p, quit);
            }
            game.endDay();
            if (game.day() >= game.finalDay()) {
                session_.standings.push_back(game.rankPlayers());
                quit = true;
            }
        }
        session_.mergers += game.mergeCount();
    }

    void turn(std::int32_t player, bool quit) {
        while (detour(20)) {
            say(pick(std::array<std::string_view, 5>{"d", "S", "x", "q\nn", "Q\nno"}));
        }
        if (quit) {
            say(rng_.chance(50) ? "q\ny" : "Q\nY");
            return;
        }
        build(player);
        if (theGame->anyActive()) {
            stockStage(player);
        }
    }

    void build(std::int32_t player) {
        Game& game = *theGame;
        game.offerSpots();
        const bool sameLine = detour(30);
        session_.input += rng_.chance(50) ? "b" : "B";
        session_.input += sameLine ? ' ' : '\n';
        while (detour(15)) {
            say(pick(std::array<std::string_view, 5>{"M3", "a0", "z", "??", notOffered()}));
            ++session_.rejectedSpots;
        }
        const randomplay::Tactics tactics{60, plan_.huntMergers};
        const std::int32_t chosen = randomplay::chooseOffer(game, rng_, tactics);
        const std::int32_t col = game.offeredColumn(chosen);
        const std::int32_t row = game.offeredRow(chosen);
        const char column = Game::columnLetter(col);
        std::string coordinate(1, rng_.chance(50) ? column : static_cast<char>(column - 'A' + 'a'));
        coordinate += std::to_string(row + 1);
        say(coordinate);
        session_.biggestMerger =
            std::max(session_.biggestMerger, randomplay::surroundingsOf(game, col, row).companies);
        placeOutpost(col, row, player);
        game.clearOffers();
    }

    // The name of a cell on the map that is not offered.
    std::string_view notOffered() {
        for (std::int32_t col = 0; col < kColumns; ++col) {
            for (std::int32_t row = 0; row < kRows; ++row) {
                if (!theGame->isOffered(col, row)) {
                    cellName_.assign(1, Game::columnLetter(col));
                    cellName_ += std::to_string(row + 1);
                    return cellName_;
                }
            }
        }
        return "L9";  // never: five offers cannot fill the map
    }

    void stockStage(std::int32_t player) {
        while (detour(20)) {
            say(pick(std::array<std::string_view, 4>{"l", "D", "x", "L"}));
        }
        const std::int32_t rounds = rng_.chance(70) ? 1 : rng_.below(3);
        for (std::int32_t round = 0; round < rounds; ++round) {
            say(rng_.chance(50) ? "b" : "B");
            buyRound(player);
        }
        say(rng_.chance(50) ? "e" : "E");
    }

    // One answer for every company the player can afford a share of.
    void buyRound(std::int32_t player) {
        Game& game = *theGame;
        for (std::int32_t company = 0; company < kCompanyCount; ++company) {
            if (!game.isActive(company) || game.cash(player) / game.price(company) < 1) {
                continue;
            }
            if (detour(10)) {
                say(rng_.chance(50) ? "-1"
                                    : std::to_string(game.cash(player) / game.price(company) + 1));
            }
            const std::int32_t count = randomplay::chooseShares(game, rng_, player, company);
            say(std::to_string(count));
            game.buyShares(player, company, count);
        }
    }

    const SessionPlan& plan_;
    Rng rng_;
    Session session_;
    std::string cellName_;
};

std::int32_t occurrences(std::string_view text, std::string_view part) {
    std::int32_t n = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos;
         at = text.find(part, at + part.size())) {
        ++n;
    }
    return n;
}

// The final standings screen of game number `game` (counted among the games that ended).
std::string_view standingsScreen(std::string_view shown, std::size_t game) {
    constexpr std::string_view kHeading = "Final Standings:";
    std::size_t at = shown.find(kHeading);
    for (std::size_t i = 0; i < game && at != std::string_view::npos; ++i) {
        at = shown.find(kHeading, at + kHeading.size());
    }
    if (at == std::string_view::npos) {
        return {};
    }
    const std::size_t end = shown.find('\f', at);
    return shown.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
}

}  // namespace

Session scriptSession(const SessionPlan& plan) {
    return Script(plan).write();
}

std::string replayMismatch(const Session& session) {
    std::stringbuf output;
    const int status = runProgram(session.input, output);
    const std::string shown = output.str();
    std::ostringstream why;
    if (status != 0) {
        why << "the program ended with status " << status << "; ";
    }
    const std::int32_t rejected = occurrences(shown, "[That was not a valid Choice]");
    if (rejected != session.rejectedSpots) {
        why << rejected << " coordinates were rejected instead of " << session.rejectedSpots
            << "; ";
    }
    const std::int32_t ended = occurrences(shown, "The Game is Over");
    if (ended != static_cast<std::int32_t>(session.standings.size())) {
        why << ended << " games ended instead of " << session.standings.size() << "; ";
    }
    for (std::size_t g = 0; g < session.standings.size(); ++g) {
        const std::string_view screen = standingsScreen(shown, g);
        for (const Standing& standing : session.standings[g]) {
            std::string amount = "$";
            amount += std::to_string(standing.netWorth);
            if (screen.find(amount) == std::string_view::npos) {
                why << "game " << g + 1 << " does not show a net worth of $" << standing.netWorth
                    << "; ";
            }
        }
    }
    const std::string_view lastPrompt =
        session.quitAtTheEnd ? "[Your Choice][?] " : "[Your Choice][?] \n";
    if (!std::string_view(shown).ends_with(lastPrompt)) {
        why << "the program did not end at the title menu; ";
    }
    return why.str();
}

}  // namespace fuzzing
