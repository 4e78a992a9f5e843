#include "screens/standings.h"

#include <gtest/gtest.h>

#include "game/game.h"
#include "support/screen_capture.h"

namespace {

class StandingsScreen : public ScreenTest {};

std::string standingsScreen(const std::string& rows) {
    return "\f\n\n                   *** Incoming Announcement ***\n\n\n\n"
           "      The Game is Over, Here are the Final Standings:\n\n\n"
           "Rank     Player         Net Worth\n\n" +
           rows + "\n\nPress Any key to continue\n";
}

TEST_F(StandingsScreen, OnePlayerHasRankOne) {
    startScreenGame(1);
    ScreenCapture screen;
    showStandings(theGame->rankPlayers());
    EXPECT_EQ(screen.output(), standingsScreen("1        Ann             $6000\n\n"));
}

// Ann and Cy both end at 7000, Bob at 6000: the richest come first, ties in player order.
TEST_F(StandingsScreen, RichestFirstAndTiesInPlayerOrder) {
    startScreenGame(3);
    theGame->formCompany(4, 4, 0);    // Ann: 6000 cash and 5 A at 100
    theGame->buyShares(2, 0, 10);     // Cy: 5000 cash and 10 A at 100
    theGame->expandCompany(4, 5, 0);  // A rises to 200: Ann 7000, Bob 6000, Cy 7000
    ScreenCapture screen;
    showStandings(theGame->rankPlayers());
    EXPECT_EQ(screen.output(), standingsScreen("1        Ann             $7000\n\n"
                                               "2        Cy             $7000\n\n"
                                               "3        Bob             $6000\n\n"));
}

}  // namespace
