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

TEST(FullGame, FivePlayersThenOnePlayerToTheStandingsInOneRun) {
    Session s;
    playToTheEnd(s, {"Ann", "Bob", "Cyd", "Dee", "Eve"}, 14);
    playToTheEnd(s, {"Solo"}, 22);
    s.send("q\n");
    EXPECT_EQ(s.finish(), 0);
}

}  // namespace
}  // namespace e2e
