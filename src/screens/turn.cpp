#include "screens/turn.h"

#include <optional>
#include <string>

#include "console/console.h"
#include "screens/announcements.h"
#include "screens/company_names.h"
#include "screens/current_game.h"

namespace {

struct Spot {
    std::int32_t col = 0;
    std::int32_t row = 0;
};

// A coordinate word names a cell by its first two characters: a column letter A to L in
// either case, then a row digit 1 to 9. Whatever follows is ignored. Only an offered spot
// is a valid answer.
std::optional<Spot> offeredSpotNamed(const std::string& word) {
    if (word.size() < 2) {
        return std::nullopt;
    }
    const std::int32_t column = Game::letterIndex(Game::toUpper(word[0]));
    const std::int32_t row = Game::digitValue(word[1]);
    if (column < 1 || column > kColumns || row < 1 || row > kRows) {
        return std::nullopt;
    }
    const Spot spot{column - 1, row - 1};
    if (!theGame->isOffered(spot.col, spot.row)) {
        return std::nullopt;
    }
    return spot;
}

// Labels are padded to 24 characters in the holdings table.
constexpr std::size_t kLabelColumn = 24;

}  // namespace

void showMap() {
    Console& out = *theConsole;
    out.clearScreen();
    out.print("             Map of the Galaxy");
    out.newLines(1);
    out.print("            *******************");
    out.newLines(2);
    out.print("     A  B  C  D  E  F  G  H  I  J  K  L");
    out.newLines(1);
    for (std::int32_t row = 0; row < kRows; ++row) {
        out.print(" ");
        out.print(row + 1);
        out.print("   ");
        for (std::int32_t col = 0; col < kColumns; ++col) {
            out.print(theGame->cell(col, row));
            out.print("  ");
        }
        out.newLines(1);
    }
}

void showOffers() {
    Console& out = *theConsole;
    out.newLines(1);
    out.print("[Here are coordinates you can build on][:]");
    out.newLines(1);
    for (std::int32_t i = 0; i < kOfferCount; ++i) {
        out.print(Game::columnLetter(theGame->offeredColumn(i)));
        out.print(theGame->offeredRow(i) + 1);
        out.print(" ");
    }
    out.newLines(2);
    out.print("[Where Do you Wish to Build][?] ");
}

void showTurnHeader(std::int32_t player) {
    Console& out = *theConsole;
    out.print("[");
    out.print(theGame->playerName(player));
    out.print("'s Turn]");
    out.print("          [Day: ");
    out.print(theGame->day());
    out.print("]");
}

bool playerTurn(std::int32_t player) {
    Console& out = *theConsole;
    for (;;) {
        out.newLines(1);
        showTurnHeader(player);
        out.newLines(1);
        out.print("[Options][:]  [D]isplay  [B]uild  [S]tock  [Q]uit");
        out.newLines(1);
        out.print("[Choice][?]  ");
        switch (Game::toUpper(out.readChar())) {
            case 'D':
                showMap();
                break;
            case 'S':
                listHoldings(player);
                break;
            case 'B':
                buildStage(player);
                return false;
            case 'Q':
                out.newLines(1);
                out.print("[Do you really wish to quit][?]: ");
                if (Game::toUpper(out.readChar()) == 'Y') {
                    return true;
                }
                break;
            default:
                out.newLines(1);
                out.print("[Sorry, that was not a valid choice]");
                out.newLines(1);
                break;
        }
    }
}

// The last column, headed Net Worth, is the value of the player's shares in that company.
void listHoldings(std::int32_t player) {
    Console& out = *theConsole;
    out.print("Name               Stock Owned  Stock Price  Net Worth");
    out.newLines(1);
    out.print("------------------------------------------------------");
    out.newLines(1);
    bool anyCompany = false;
    for (std::int32_t company = 0; company < kCompanyCount; ++company) {
        if (!theGame->isActive(company)) {
            continue;
        }
        anyCompany = true;
        const std::string_view label = companyLabel(company);
        out.print(label);
        out.print(std::string(kLabelColumn - label.size(), ' '));
        out.print(theGame->holdings(player, company));
        out.print("          $");
        out.print(theGame->price(company));
        out.print("          $");
        out.print(clampMoney(theGame->holdingValue(player, company)));
        out.newLines(1);
    }
    if (!anyCompany) {
        out.print("    *** No Corporations Formed ***");
    }
    out.newLines(1);
}

// The offers are made once per build stage: a rejected answer sees the same five spots.
void buildStage(std::int32_t player) {
    Console& out = *theConsole;
    theGame->offerSpots();
    showMap();
    showOffers();
    std::optional<Spot> spot = offeredSpotNamed(out.readWord());
    while (!spot) {
        showMap();
        out.newLines(1);
        out.print("[That was not a valid Choice] ");
        showOffers();
        const std::string word = out.readWord();
        out.newLines(1);
        spot = offeredSpotNamed(word);
    }
    theGame->placeOutpost(spot->col, spot->row, player, announcer());
    theGame->clearOffers();
}
