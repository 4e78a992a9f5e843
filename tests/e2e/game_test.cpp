// Whole games played through the terminal by reading the screen: the map is random, so
// every answer comes from what the game shows. The exact screens are checked in process.
#include "harness.h"

namespace e2e {
namespace {

std::string header(const std::string& name, int day) {
    return std::string("[")
        .append(name)
        .append("'s Turn]          [Day: ")
        .append(std::to_string(day) + "]");
}

// Plays a whole game to its standings, buying shares on the way, and checks the days and
// that the richest come first.
void playToTheEnd(Session& s, const std::vector<std::string>& names, int lastDay) {
    ASSERT_TRUE(startGame(s, names));
    Robot robot{s, true};
    ASSERT_EQ(robot.playUntil({Stop::Standings}), Stop::Standings);
    ASSERT_EQ(robot.headers.size(), names.size() * lastDay);
    EXPECT_EQ(robot.headers.back(), header(names.back(), lastDay));
    EXPECT_GT(robot.purchases, 0);
    std::vector<std::int64_t> worths;
    const std::string_view shown = s.consumed();
    for (std::size_t rank = 1; rank <= names.size(); ++rank) {
        const std::size_t row =
            shown.rfind(std::string(1, '\n').append(std::to_string(rank)).append(8, ' '));
        worths.push_back(numberAfter(shown.substr(0, shown.find('\n', row + 1)), "$"));
    }
    EXPECT_TRUE(std::ranges::is_sorted(worths, std::greater<>()) && worths.back() > 0)
        << s.screen();
    s.pressKey(" ");
    EXPECT_TRUE(s.expect(kTitle)) << "the title menu returns after the standings";
}

// A cell of the last map drawn that holds `symbol`, as a player would type it ("B3").
std::string cellHolding(Session& s, char symbol) {
    const std::string_view seen = s.consumed();
    const std::size_t rows = seen.rfind("  K  L\n") + 7;  // each row: 41 characters and a line end
    for (std::size_t cell = 0; rows > 7 && cell < 12 * 9; ++cell) {
        if (seen.substr(rows + cell / 12 * 42 + 5 + cell % 12 * 3, 1) == std::string(1, symbol)) {
            return {static_cast<char>('A' + cell % 12), static_cast<char>('1' + cell / 12)};
        }
    }
    return "";
}

TEST(Turn, MenuAndBuildAnswersThroughTheTerminal) {
    Session s;
    ASSERT_TRUE(startGame(s, {"Zed"}));
    const std::string menu = "[Options][:]  [D]isplay  [B]uild  [S]tock  [Q]uit\n[Choice][?]  ";
    for (const char* answer : {"d\n", "s\n", "q\nn\n"}) {  // map, holdings, unconfirmed quit
        SCOPED_TRACE(answer);
        ASSERT_TRUE(s.expect(menu));
        s.send(answer);
    }
    ASSERT_TRUE(s.expect(menu));
    EXPECT_NE(s.consumed().find(kClear + "             Map of the Galaxy\n"), npos);
    EXPECT_NE(s.consumed().find("    *** No Corporations Formed ***\n"), npos);
    EXPECT_EQ(s.consumed().find("Sorry"), npos);
    s.send("b\n");
    ASSERT_TRUE(s.expect("[Where Do you Wish to Build][?] "));
    const std::vector<std::string> spots = offeredSpots(s);
    ASSERT_EQ(spots.size(), 5U);
    const std::vector<std::string> bad = {"M1",
                                          "A0",
                                          "3B",
                                          "A",
                                          cellHolding(s, '*'),
                                          cellHolding(s, '.')};  // a star, a cell not offered
    for (const std::string& answer : bad) {
        SCOPED_TRACE(answer);
        ASSERT_FALSE(answer.empty()) << s.screen();
        s.send(answer + "\n");
        ASSERT_TRUE(s.expect("[That was not a valid Choice] \n"));
        ASSERT_TRUE(s.expect("[Where Do you Wish to Build][?] "));
        EXPECT_EQ(offeredSpots(s), spots) << "the offers are made once per build";
    }
    const std::string lower = {static_cast<char>(spots[2][0] - 'A' + 'a'), spots[2][1]};
    s.send(lower + "xyz\n");
    EXPECT_NE(nextStop(s), Stop::Build) << "a lower-case spot with trailing junk is taken";
    EXPECT_EQ(s.segment().find("not a valid"), npos);
}

TEST(FullGame, FivePlayersThenOnePlayerToTheStandingsInOneRun) {
    Session s;
    playToTheEnd(s, {"Ann", "Bob", "Cyd", "Dee", "Eve"}, 14);
    playToTheEnd(s, {"Solo"}, 22);
    s.send("q\n");
    EXPECT_EQ(s.finish(), 0);
}

}  // namespace
}  // namespace e2e
