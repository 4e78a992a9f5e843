// Games played through the terminal by reading the screen: the map is random, so every
// answer comes from what the game shows.
#include "harness.h"

namespace e2e {
namespace {

const std::string kTurnMenu = "\n[Options][:]  [D]isplay  [B]uild  [S]tock  [Q]uit\n[Choice][?]  ";

std::string header(const std::string& name, int day) {
    return "[" + name + "'s Turn]          [Day: " + std::to_string(day) + "]";
}

// A cell of the last map that holds `symbol`, as the player would type it.
std::string cellHolding(Session& s, char symbol) {
    for (int cell = 0; cell < 12 * 9; ++cell) {
        if (mapCell(s, cell % 12, cell / 12) == symbol) {
            return {char('A' + cell % 12), char('1' + cell / 12)};
        }
    }
    return "";
}

TEST(Turn, MenuOptionsAndBuildAnswersThenAKeyWaitAndQuit) {
    Session s;
    ASSERT_TRUE(startGame(s, {"Zed"}));
    ASSERT_TRUE(s.expect("[Choice][?]  "));
    const std::string turn = header("Zed", 1) + kTurnMenu;
    s.send("d\n");
    ASSERT_TRUE(s.expect(kClear + "             Map of the Galaxy\n"));
    ASSERT_TRUE(s.expect(turn));
    s.send("s\n");
    ASSERT_TRUE(s.expect("Name               Stock Owned  Stock Price  Net Worth\n" +
                         std::string(54, '-') + "\n    *** No Corporations Formed ***\n\n" + turn));
    s.send("q\n");
    ASSERT_TRUE(s.expect("\n[Do you really wish to quit][?]: "));
    s.send("N\n");
    ASSERT_TRUE(s.expect(turn));
    EXPECT_EQ(s.segment().find("Sorry"), std::string::npos);

    s.send("b\n");
    ASSERT_TRUE(s.expect("[Where Do you Wish to Build][?] "));
    const std::vector<std::string> spots = offeredSpots(s);
    ASSERT_EQ(spots.size(), 5u) << s.screen();
    std::string line;
    for (const std::string& spot : spots) {
        line += spot + " ";
    }
    const std::string star = cellHolding(s, '*');
    const std::string empty = cellHolding(s, '.');
    ASSERT_FALSE(star.empty() || empty.empty()) << s.screen();
    for (const std::string& bad : std::vector<std::string>{"M1", "A0", "3B", "A", star, empty}) {
        SCOPED_TRACE(bad);
        s.send(bad + "\n");
        ASSERT_TRUE(
            s.expect("\n[That was not a valid Choice] \n[Here are coordinates you can "
                     "build on][:]\n" +
                     line + "\n\n[Where Do you Wish to Build][?] "));
        EXPECT_NE(s.segment().find(kClear + "             Map of the Galaxy"), std::string::npos);
    }
    s.send(std::string{static_cast<char>(spots[4][0] - 'A' + 'a'), spots[4][1]} + "+junk\n");
    Stop stop = nextStop(s);
    EXPECT_NE(stop, Stop::Build) << "a lower-case spot with trailing junk is taken";
    EXPECT_EQ(s.segment().find("not a valid"), std::string::npos);
    if (stop != Stop::Key) {
        Robot robot{s};
        robot.answer(stop);
        stop = robot.playUntil({Stop::Key});
    }
    // The first announcement founds a company; its stock stage follows the key.
    ASSERT_EQ(stop, Stop::Key);
    ASSERT_TRUE(s.waitMode(true)) << "the key wait reads without Enter and without echo";
    s.send("\x1b[A");  // a cursor key: three bytes, one key
    ASSERT_EQ(nextStop(s), Stop::Stock);
    EXPECT_EQ(s.segment().find("^["), std::string::npos) << "the key is not echoed";
    EXPECT_TRUE(s.mode().c_lflag & ECHO);
    s.send("e\n");
    ASSERT_EQ(nextStop(s), Stop::Turn);
    EXPECT_EQ(s.segment().find("Sorry"), std::string::npos) << "nothing of the key leaked";
    s.send("q\ny\n");
    ASSERT_TRUE(s.expect(kTitle));
    s.send("q\n");
    EXPECT_EQ(s.finish(), 0);
}

// Plays a whole game to its standings, buying shares on the way, and checks the days.
void playToTheEnd(Session& s, const std::vector<std::string>& names, int lastDay) {
    ASSERT_TRUE(startGame(s, names));
    Robot robot{s, true};
    ASSERT_EQ(robot.playUntil({Stop::Title}), Stop::Title);
    EXPECT_TRUE(s.segment().ends_with(kTitle)) << "the title menu returns after the standings";
    std::vector<std::string> expected;
    for (int day = 1; day <= lastDay; ++day) {
        for (const std::string& name : names) {
            expected.push_back(header(name, day));
        }
    }
    EXPECT_EQ(robot.headers, expected);
    EXPECT_GT(robot.purchases, 0);
    // Richest first; every row is followed by a blank line.
    std::vector<std::string> players;
    std::int64_t previous = INT64_MAX;
    for (std::size_t rank = 1; rank <= names.size() && 2 * rank < robot.ranks.size(); ++rank) {
        const std::string& row = robot.ranks[2 * rank - 1];
        const std::string lead = std::to_string(rank) + "        ";  // 8 spaces
        const std::size_t dollar = row.find("             $");       // 13 spaces
        ASSERT_TRUE(row.starts_with(lead) && dollar != std::string::npos) << s.screen();
        EXPECT_EQ(robot.ranks[2 * rank], "");
        players.push_back(row.substr(lead.size(), dollar - lead.size()));
        const std::int64_t worth = numberAfter(row, "$");
        EXPECT_LE(worth, std::exchange(previous, worth));
    }
    EXPECT_TRUE(std::is_permutation(names.begin(), names.end(), players.begin(), players.end()));
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
