#include "screens/stock.h"

#include "console/console.h"
#include "screens/company_names.h"
#include "screens/current_game.h"
#include "screens/turn.h"

void stockStage(std::int32_t player) {
    Console& out = *theConsole;
    showMap();
    for (;;) {
        out.newLines(2);
        out.print("[");
        out.print(theGame->playerName(player));
        out.print("'s available money]: $");
        out.print(theGame->cash(player));
        out.print("     [Stock Stage]");
        out.newLines(1);
        out.print("[Options]: [D]isplay [B]uy Stock [L]ist Stock [E]nd");
        out.newLines(1);
        out.print("[Choice]?  ");
        const char choice = Game::toUpper(out.readChar());
        out.newLines(1);
        switch (choice) {
            case 'B':
                for (std::int32_t company = 0; company < kCompanyCount; ++company) {
                    if (theGame->isActive(company)) {
                        buyDialog(company, player);
                    }
                }
                break;
            case 'D':
                showMap();
                break;
            case 'L':
                listHoldings(player);
                break;
            case 'E':
                return;
            default:
                out.newLines(1);
                out.print("[Sorry, that was not a valid choice]");
                out.newLines(2);
                break;
        }
    }
}

// The cash, price and limit are taken once and shown unchanged on every repeat. An answer
// outside 0 to the limit repeats the prompt without a message; 0 buys nothing.
void buyDialog(std::int32_t company, std::int32_t player) {
    Console& out = *theConsole;
    const std::int32_t cash = theGame->cash(player);
    const std::int32_t price = theGame->price(company);
    const std::int32_t most = cash / price;
    if (most < 1) {
        return;
    }
    std::int32_t count = -1;
    while (count < 0 || count > most) {
        out.newLines(2);
        out.print("[Available Money]: $");
        out.print(cash);
        out.newLines(2);
        out.print("How many Shares of ");
        out.print(companyLabel(company));
        out.print(" do you wish to buy?");
        out.newLines(1);
        out.print("[$");
        out.print(price);
        out.print(" each, Can buy ");
        out.print(most);
        out.print("]: ");
        count = out.readInt();
    }
    theGame->buyShares(player, company, count);
}
