#include "screens/computer.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ai/computer.h"
#include "console/console.h"
#include "screens/announcements.h"
#include "screens/company_names.h"
#include "screens/current_game.h"
#include "screens/turn.h"

namespace {

bool anyPersonPlays() {
    for (std::int32_t p = 0; p < theGame->playerCount(); ++p) {
        if (!theGame->isComputer(p)) {
            return true;
        }
    }
    return false;
}

// What a build did, for the hard computer's account: ", merging B and C into A", ", founding
// C", ", growing A", or nothing for a plain outpost. One line with the rest of the account.
struct BuildStory {
    std::vector<char> absorbed;
    char survivor = 0;
    char founded = 0;
};

BuildObserver tellingAnnouncer(BuildStory& story) {
    BuildObserver observer = announcer();
    const auto formed = observer.companyFormed;
    const auto merged = observer.companiesMerged;
    observer.companyFormed = [&story, formed](char letter, std::int32_t player) {
        story.founded = letter;
        formed(letter, player);
    };
    observer.companiesMerged = [&story, merged](const std::vector<MergeEntry>& entries,
                                                std::int32_t a, std::int32_t b) {
        const bool aSurvives = theGame->isActive(a);
        story.survivor = Game::columnLetter(aSurvives ? a : b);
        story.absorbed.push_back(Game::columnLetter(aSurvives ? b : a));
        merged(entries, a, b);
    };
    return observer;
}

std::string toldOf(const BuildStory& story, char built) {
    if (!story.absorbed.empty()) {
        std::string told = ", merging ";
        for (std::size_t i = 0; i < story.absorbed.size(); ++i) {
            told += i == 0 ? "" : i + 1 == story.absorbed.size() ? " and " : ", ";
            told += story.absorbed[i];
        }
        return told + " into " + story.survivor;
    }
    if (story.founded != 0) {
        return std::string(", founding ") + story.founded;
    }
    return built > '@' ? std::string(", growing ") + built : std::string();
}

void showPurchase(const Purchase& buy) {
    Console& out = *theConsole;
    out.print("[Bought ");
    out.print(buy.shares);
    out.print(buy.shares == 1 ? " Share of " : " Shares of ");
    out.print(companyLabel(buy.company));
    out.print(" at $");
    out.print(theGame->price(buy.company));
    out.print(" each]");
    out.newLines(1);
}

// Under the map: the turn header, where it built, and what it bought.
void showAccount(std::int32_t player, std::int32_t col, std::int32_t row,
                 const std::vector<Purchase>& purchases, const std::string& told) {
    Console& out = *theConsole;
    showMap();
    out.newLines(1);
    showTurnHeader(player);
    out.newLines(1);
    out.print("[Built on ");
    out.print(Game::columnLetter(col));
    out.print(row + 1);
    out.print(told);
    out.print("]");
    out.newLines(1);
    for (const Purchase& buy : purchases) {
        showPurchase(buy);
    }
    if (purchases.empty()) {
        out.print("[Bought no Shares]");
        out.newLines(1);
    }
}

// Buys `purchases` for `player`, who built on (col, row) this turn, then shows the account of
// the turn (with `told` of the build) and waits for a key when a person plays.
void buyAndAccount(std::int32_t player, std::int32_t col, std::int32_t row,
                   const std::vector<Purchase>& purchases, const std::string& told = {}) {
    for (const Purchase& buy : purchases) {
        theGame->buyShares(player, buy.company, buy.shares);
    }
    showAccount(player, col, row, purchases, told);
    if (anyPersonPlays()) {
        theConsole->newLines(1);
        waitForKeyPrompt();
    }
}

// Builds on the spot the computer chooses among the five on offer, then buys what it planned.
void buildOnOffer(std::int32_t player) {
    Game& game = *theGame;
    const TurnPlan plan = planTurn(game, player, static_cast<Level>(game.computerLevel()));
    const std::int32_t col = game.offeredColumn(plan.offer);
    const std::int32_t row = game.offeredRow(plan.offer);
    BuildStory story;
    game.placeOutpost(col, row, player, tellingAnnouncer(story));
    game.clearOffers();
    // Only hard says what its build did: the other levels' accounts stay as they were.
    const bool tells = game.computerLevel() == static_cast<std::int32_t>(Level::hard);
    buyAndAccount(player, col, row, plan.purchases,
                  tells ? toldOf(story, game.cell(col, row)) : "");
}

bool spotsOnOffer(const Game& game) {
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        if (game.isOffered(game.offeredColumn(i), game.offeredRow(i))) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string computerName(std::int32_t i) {
    return "Computer-" + std::to_string(i + 1);
}

void computerTurn(std::int32_t player) {
    theGame->offerSpots();
    buildOnOffer(player);
}

// A build turns only the built cell from empty to something else: the cells a company takes
// over held outposts or letters before, and the offers not taken are empty again.
void computerFinishesTurn(std::int32_t player, const GameState& atStart) {
    Game& game = *theGame;
    if (spotsOnOffer(game)) {
        buildOnOffer(player);
        return;
    }
    for (std::int32_t col = 0; col < kColumns; ++col) {
        for (std::int32_t row = 0; row < kRows; ++row) {
            if (atStart.map.at(col).at(row) == kEmpty && !game.isEmpty(col, row)) {
                const auto level = static_cast<Level>(game.computerLevel());
                buyAndAccount(player, col, row, planPurchases(game, player, level));
                return;
            }
        }
    }
    computerTurn(player);
}
