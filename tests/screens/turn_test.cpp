#include "screens/turn.h"

#include <gtest/gtest.h>

#include <string>

#include "game/game.h"
#include "support/screen_capture.h"

namespace {

class TurnScreen : public ScreenTest {};

const std::string kHoldingsHead =
    "Name               Stock Owned  Stock Price  Net Worth\n"
    "------------------------------------------------------\n";

std::string turnHeader(const std::string& name, int day) {
    return "\n[" + name + "'s Turn]          [Day: " + std::to_string(day) +
           "]\n[Options][:]  [D]isplay  [B]uild  [S]tock  [Q]uit\n[Choice][?]  ";
}

TEST_F(TurnScreen, MapCellsStandUnderTheirColumnLetters) {
    startScreenGame(1);
    const MapRows rows = {"*..........+", "...A........", "............",
                          "............", "........?...", "............",
                          "............", "............", "B..........E"};
    for (int row = 0; row < kRows; ++row) {
        for (int col = 0; col < kColumns; ++col) {
            theGame->setCell(col, row, rows.at(row).at(col));
        }
    }
    ScreenCapture screen;
    showMap();
    EXPECT_EQ(screen.output(), expectedMapScreen(rows));
}

// Each bad answer redraws the map and repeats the same offers, and the answer to a repeated
// prompt ends its line: a column beyond L, row 0, the coordinates reversed, one letter, the
// star at A1 and a cell that was not offered.
TEST_F(TurnScreen, BuildPromptRepeatsOnABadAnswerWithTheSameOffers) {
    startScreenGame(1);
    theGame->setCell(0, 0, kStar);
    Game preview = *theGame;  // the same random state draws the same five spots
    preview.offerSpots();
    MapRows rows = mapRowsOfGame();
    std::string spots;
    for (int i = 0; i < kOfferCount; ++i) {
        rows.at(preview.offeredRow(i)).at(preview.offeredColumn(i)) = '?';
        spots += Game::columnLetter(preview.offeredColumn(i)) +
                 std::to_string(preview.offeredRow(i) + 1) + " ";
    }
    const std::string notOffered = std::string(1, char('A' + rows.at(8).find('.'))) + "9";
    const int col = preview.offeredColumn(2);
    const int row = preview.offeredRow(2);
    ScreenCapture screen("M1\nA0\n3B\nA\nA1\n" + notOffered + "\n" +
                         std::string{char('a' + col), char('1' + row)} + "junk\n");
    buildStage(0);

    const std::string offers = "\n[Here are coordinates you can build on][:]\n" + spots +
                               "\n\n[Where Do you Wish to Build][?] ";
    std::string expected = expectedMapScreen(rows) + offers;
    for (int bad = 0; bad < 6; ++bad) {
        expected += expectedMapScreen(rows) + "\n[That was not a valid Choice] " + offers + "\n";
    }
    EXPECT_EQ(screen.output(), expected);
    EXPECT_EQ(theGame->cell(col, row), kOutpost);
    for (int i = 0; i < kOfferCount; ++i) {
        if (i != 2) {
            EXPECT_EQ(theGame->cell(preview.offeredColumn(i), preview.offeredRow(i)), kEmpty);
        }
    }
}

TEST_F(TurnScreen, HoldingsTablePadsEveryLabelTo24Characters) {
    startScreenGame(2);
    theGame->setCell(0, 0, kStar);
    theGame->formCompany(4, 4, 0);  // A at 100
    theGame->formCompany(1, 0, 1);  // B next to the star at 600, founded by Bob
    theGame->formCompany(6, 6, 0);
    theGame->formCompany(8, 2, 0);
    theGame->formCompany(10, 7, 0);
    ScreenCapture screen;
    listHoldings(0);
    const std::string owned = "5          $100          $500\n";
    EXPECT_EQ(screen.output(), kHoldingsHead + "A: Altair StarWays      " + owned +
                                   "B: Betelgeuse, Ltd.     0          $600          $0\n" +
                                   "C: Capella Freight Co.  " + owned + "D: Denebola Shippers    " +
                                   owned + "E: Eridani Expediters   " + owned + "\n");
}

TEST_F(TurnScreen, MenuAnswersInvalidChoiceUnconfirmedQuitHoldingsAndMap) {
    startScreenGame(2);
    theGame->endDay();
    theGame->endDay();
    ScreenCapture screen("x\nq\nn\ns\nD\nQ\ny\n");
    EXPECT_TRUE(playerTurn(1));
    const std::string header = turnHeader("Bob", 3);
    const std::string quit = "\n[Do you really wish to quit][?]: ";
    EXPECT_EQ(screen.output(), header + "\n[Sorry, that was not a valid choice]\n" + header + quit +
                                   header + kHoldingsHead + "    *** No Corporations Formed ***\n" +
                                   header + expectedMapScreen(mapRowsOfGame()) + header + quit);
}

}  // namespace
