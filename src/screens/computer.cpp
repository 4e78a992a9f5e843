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

}  // namespace

std::string computerName(std::int32_t i) {
    return "Computer-" + std::to_string(i + 1);
}

void computerTurn(std::int32_t player) {
    Game& game = *theGame;
    game.offerSpots();
    const TurnPlan plan = planTurn(game, player, static_cast<Level>(game.computerLevel()));
    const std::int32_t col = game.offeredColumn(plan.offer);
    const std::int32_t row = game.offeredRow(plan.offer);
    game.placeOutpost(col, row, player, announcer());
    game.clearOffers();
    for (const Purchase& buy : plan.purchases) {
        game.buyShares(player, buy.company, buy.shares);
    }
    showAccount(player, col, row, plan.purchases);
    if (anyPersonPlays()) {
        theConsole->newLines(1);
        waitForKeyPrompt();
    }
}
