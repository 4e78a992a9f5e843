#include "screens/announcements.h"

#include <utility>

#include "console/console.h"
#include "screens/company_names.h"
#include "screens/current_game.h"

void announcementTitle(std::string_view title) {
    Console& out = *theConsole;
    out.clearScreen();
    out.newLines(2);
    out.print("                   ");
    out.print(title);
    out.newLines(4);
}

void waitForKeyPrompt() {
    Console& out = *theConsole;
    out.print("[Press Any Key to Continue]");
    out.newLines(1);
    out.waitKey();
}

void announceCompany(char letter, std::int32_t player) {
    Console& out = *theConsole;
    announcementTitle("*** New Corporation Formed ***");
    out.print("A New Shipping company called ");
    out.print(companyName(letter - 'A'));
    out.print(" has been formed!");
    out.newLines(1);
    out.print("It has been designated the letter '");
    out.print(letter);
    out.print("'");
    out.newLines(2);
    out.print(theGame->playerName(player));
    out.print(" will get 5 bonus stock for forming the company.");
    out.newLines(4);
    waitForKeyPrompt();
}

// The rows are not aligned under the headings: fixed runs of spaces separate the numbers.
void announceMerger(const std::vector<MergeEntry>& entries, std::int32_t a, std::int32_t b) {
    Console& out = *theConsole;
    if (theGame->isActive(b)) {
        std::swap(a, b);  // from here on a is the survivor, b the absorbed company
    }
    announcementTitle("*** Corporation Merging ***");
    out.print(companyName(b));
    out.print(" has just been merged into ");
    out.print(companyName(a));
    out.newLines(1);
    out.print("Please Note the following transactions.");
    out.newLines(2);
    out.print("Player   Old Stock   New Stock   Total Holdings     Bonus Paid");
    out.newLines(2);
    for (std::int32_t p = 0; p < theGame->playerCount(); ++p) {
        const MergeEntry& entry = entries.at(static_cast<std::size_t>(p));
        if (!entry.involved) {
            continue;
        }
        out.print(theGame->playerName(p));
        out.print("        ");
        out.print(entry.oldStock);
        out.print("        ");
        out.print(entry.newStock);
        out.print("        ");
        out.print(theGame->holdings(p, a));
        out.print("            $");
        out.print(entry.bonus);
        out.newLines(1);
    }
    out.newLines(4);
    waitForKeyPrompt();
}

BuildObserver announcer() {
    return BuildObserver{announceCompany, announceMerger};
}
