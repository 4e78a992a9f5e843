#include "screens/computer.h"

#include <algorithm>

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
                 const std::vector<Purchase>& purchases) {
    Console& out = *theConsole;
    showMap();
    out.newLines(1);
    showTurnHeader(player);
    out.newLines(1);
    out.print("[Built on ");
    out.print(Game::columnLetter(col));
    out.print(row + 1);
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
// the turn and waits for a key when a person plays.
void buyAndAccount(std::int32_t player, std::int32_t col, std::int32_t row,
                   const std::vector<Purchase>& purchases) {
    for (const Purchase& buy : purchases) {
        theGame->buyShares(player, buy.company, buy.shares);
    }
    showAccount(player, col, row, purchases);
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
    game.placeOutpost(col, row, player, announcer());
    game.clearOffers();
    buyAndAccount(player, col, row, plan.purchases);
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
