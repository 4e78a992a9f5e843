#include "screens/stock.h"

#include <gtest/gtest.h>

#include "game/game.h"
#include "support/screen_capture.h"

namespace {

class StockScreen : public ScreenTest {};

std::string stageHeader(int cash) {
    return "\n\n[Ann's available money]: $" + std::to_string(cash) +
           "     [Stock Stage]\n[Options]: [D]isplay [B]uy Stock [L]ist Stock [E]nd\n[Choice]?  ";
}

std::string buyPrompt(int cash, const std::string& label, int price, int most) {
    return "\n\n[Available Money]: $" + std::to_string(cash) + "\n\nHow many Shares of " + label +
           " do you wish to buy?\n[$" + std::to_string(price) + " each, Can buy " +
           std::to_string(most) + "]: ";
}

// Company A next to a star, at 600 a share, founded by Bob so that Ann holds none.
void starCompanyForBob() {
    startScreenGame(2);
    theGame->setCell(0, 0, kStar);
    theGame->formCompany(1, 0, 1);
}

TEST_F(StockScreen, MenuInvalidChoiceListDisplayAndEnd) {
    starCompanyForBob();
    const std::string map = expectedMapScreen(mapRowsOfGame());
    ScreenCapture screen("x\nL\nd\ne\n");
    stockStage(0);
    const std::string header = stageHeader(6000) + "\n";
    EXPECT_EQ(screen.output(), map + header + "\n[Sorry, that was not a valid choice]\n\n" +
                                   header +
                                   "Name               Stock Owned  Stock Price  Net Worth\n"
                                   "------------------------------------------------------\n"
                                   "A: Altair StarWays      0          $600          $0\n\n" +
                                   header + map + header);
}

TEST_F(StockScreen, BuyDialogRepeatsSilentlyUntilTheCountFits) {
    const struct {
        const char* answers;
        int prompts;
        int bought;
    } cases[] = {{"0\n", 1, 0}, {"zz\n", 1, 0}, {"11\n-1\n10\n", 3, 10}, {"4\n", 1, 4}};
    for (const auto& c : cases) {
        starCompanyForBob();
        ScreenCapture screen(c.answers);
        buyDialog(0, 0);
        std::string expected;
        for (int i = 0; i < c.prompts; ++i) {
            expected += buyPrompt(6000, "A: Altair StarWays", 600, 10);
        }
        EXPECT_EQ(screen.output(), expected) << c.answers;
        EXPECT_EQ(theGame->holdings(0, 0), c.bought) << c.answers;
        EXPECT_EQ(theGame->cash(0), 6000 - 600 * c.bought) << c.answers;
    }
}

TEST_F(StockScreen, UnaffordableCompanyIsPassedOverSilently) {
    startScreenGame(1);
    theGame->endDay();  // 6000 + 150, no shares yet
    theGame->setCell(0, 0, kStar);
    theGame->formCompany(1, 0, 0);  // A at 600
    theGame->formCompany(6, 6, 0);  // B at 100
    theGame->buyShares(0, 1, 56);   // 6150 - 5600 leaves 550
    const std::string map = expectedMapScreen(mapRowsOfGame());
    ScreenCapture screen("b\n5\nE\n");
    stockStage(0);
    EXPECT_EQ(screen.output(), map + stageHeader(550) + "\n" +
                                   buyPrompt(550, "B: Betelgeuse, Ltd.", 100, 5) + stageHeader(50) +
                                   "\n");
    EXPECT_EQ(theGame->holdings(0, 1), 5 + 56 + 5);
}

TEST_F(StockScreen, LaterCompanySeesTheCashLeftByAnEarlierPurchase) {
    startScreenGame(2);
    theGame->formCompany(2, 2, 1);
    theGame->formCompany(6, 6, 1);
    theGame->formCompany(9, 3, 1);
    theGame->mergeCompanies(0, 1);  // A absorbs B: A at 200, B gone, C at 100
    const std::string map = expectedMapScreen(mapRowsOfGame());
    ScreenCapture screen("B\n3\n4\nE\n");
    stockStage(0);
    EXPECT_EQ(screen.output(),
              map + stageHeader(6000) + "\n" + buyPrompt(6000, "A: Altair StarWays", 200, 30) +
                  buyPrompt(5400, "C: Capella Freight Co.", 100, 54) + stageHeader(5000) + "\n");
    EXPECT_EQ(theGame->holdings(0, 0), 3);
    EXPECT_EQ(theGame->holdings(0, 2), 4);
}

}  // namespace
