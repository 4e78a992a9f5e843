#include "screens/announcements.h"

#include <gtest/gtest.h>

#include "game/game.h"
#include "support/screen_capture.h"

namespace {

class AnnouncementScreen : public ScreenTest {};

const std::string kKeyPrompt = "\n\n\n\n[Press Any Key to Continue]\n";

std::string mergerScreen(const std::string& absorbed, const std::string& survivor,
                         const std::string& rows) {
    return "\f\n\n                   *** Corporation Merging ***\n\n\n\n" + absorbed +
           " has just been merged into " + survivor +
           "\nPlease Note the following transactions.\n\n"
           "Player   Old Stock   New Stock   Total Holdings     Bonus Paid\n\n" +
           rows + kKeyPrompt;
}

TEST_F(AnnouncementScreen, NewCompanyNamesItsFounder) {
    startScreenGame(2);
    ScreenCapture screen;
    announceCompany('B', 1);
    EXPECT_EQ(screen.output(),
              "\f\n\n                   *** New Corporation Formed ***\n\n\n\n"
              "A New Shipping company called Betelgeuse, Ltd. has been formed!\n"
              "It has been designated the letter 'B'\n\n"
              "Bob will get 5 bonus stock for forming the company." +
                  kKeyPrompt);
}

// A founded by Ann, B by Bob, both at 100. Survivor and absorbed company are named the
// right way round whichever of the two the scan met first.
TEST_F(AnnouncementScreen, MergerReportNamesSurvivorAndListsShareholders) {
    // B is larger and survives at 300 whichever was met first: Ann's 5 A bring 5 x 100 / 300
    // = 1 share of B, Bob's 4 A bring 1 more to his 5 B, and the bonus is 100 per A share.
    const std::string kBothHeldA =
        "Ann        5        1        1            $500\n"
        "Bob        4        1        6            $400\n";
    const struct {
        bool bGrows;  // B gains a cell, so B (price 200, size 2) absorbs A
        int a, b;
        std::string expected;
    } cases[] = {
        // Equal sizes, A met first: A survives at 200. Bob held 4 A and 5 B: 5 x 100 / 200
        // gives 2 new shares, 6 in all, and a first merger's bonus of 5 x 100.
        {false, 0, 1,
         mergerScreen("Betelgeuse, Ltd.", "Altair StarWays",
                      "Bob        5        2        6"
                      "            $500\n")},
        {true, 0, 1, mergerScreen("Altair StarWays", "Betelgeuse, Ltd.", kBothHeldA)},
        {true, 1, 0, mergerScreen("Altair StarWays", "Betelgeuse, Ltd.", kBothHeldA)},
    };
    for (const auto& c : cases) {
        startScreenGame(2);
        theGame->formCompany(2, 2, 0);
        theGame->formCompany(7, 7, 1);
        theGame->buyShares(1, 0, 4);
        if (c.bGrows) {
            theGame->expandCompany(7, 8, 1);
        }
        const auto entries = theGame->mergeCompanies(c.a, c.b);
        ScreenCapture screen;
        announceMerger(entries, c.a, c.b);
        EXPECT_EQ(screen.output(), c.expected);
    }
}

TEST_F(AnnouncementScreen, MergerWithoutShareholdersShowsNoRows) {
    startScreenGame(3);
    theGame->formCompany(2, 2, 0);
    theGame->formCompany(7, 7, 1);
    theGame->mergeCompanies(0, 1);
    ScreenCapture screen;
    announceMerger(std::vector<MergeEntry>(3), 0, 1);
    EXPECT_EQ(screen.output(), mergerScreen("Betelgeuse, Ltd.", "Altair StarWays", ""));
}

}  // namespace
