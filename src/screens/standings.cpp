#include "screens/standings.h"

#include "console/console.h"
#include "screens/announcements.h"
#include "screens/current_game.h"

void showStandings(const std::vector<Standing>& standings) {
    Console& out = *theConsole;
    announcementTitle("*** Incoming Announcement ***");
    out.print("      The Game is Over, Here are the Final Standings:");
    out.newLines(3);
    out.print("Rank     Player         Net Worth");
    out.newLines(2);
    std::int32_t rank = 1;
    for (const Standing& standing : standings) {
        out.print(rank++);
        out.print("        ");
        out.print(theGame->playerName(standing.player));
        out.print("             ");
        out.print("$");
        out.print(standing.netWorth);
        out.newLines(2);
    }
    out.newLines(2);
    out.print("Press Any key to continue");
    out.newLines(1);
    out.waitKey();
}
