// The hall of fame's layout: each net worth starts in the same column whatever the name holds,
// counted by what a terminal shows, and no byte of a name can command the terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screens/hall_of_fame.h"

namespace {

TEST(HallOfFame, NetWorthsLineUpWhateverTheNamesHold) {
    // Ann; Zoë in UTF-8; a Latin-1 "µÿ" that is not UTF-8; an 8-bit CSI; the UTF-8 CSI.
    const std::vector<std::string> names = {"Ann", "Zo%c3%ab", "Mu%b5%ff", "Ed%9b2J", "Cy%c2%9b2J"};
    std::string record = "kessandor-scores 1 (comment)\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        record += "2026-12-0" + std::to_string(i + 1) + "T10:00:00Z 1 people " + names[i] + " " +
                  std::to_string(5000 - i) + " 1\n";
    }
    std::vector<std::string> notes;
    const std::string shown = hallOfFame(record, notes);
    EXPECT_TRUE(notes.empty());
    // "   1. " then the name in 20 columns: the dollar sign is the 27th column of each line.
    const std::vector<std::string> expected = {
        "   1. Ann                 $5000", "   2. Zo\xC3\xAB                 $4999",
        "   3. Mu\xB5\xFF                $4998", "   4. Ed?2J               $4997",
        "   5. Cy?2J               $4996"};
    for (const std::string& line : expected) {
        EXPECT_NE(shown.find(line + "       2026-12-0"), std::string::npos) << line << "\n"
                                                                            << shown;
    }
}

}  // namespace
