#include "screens/flow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "game/game.h"
#include "support/screen_capture.h"

namespace {

class FlowScreen : public ScreenTest {};

const std::string kMenuPrompt = "[Your Choice][?] ";
const std::string kMenu =
    "\n\n\n\n[Menu Choices]: [C]redits [H]all of Fame [I]nstructions [S]tart [Q]uit\n"
    "[Your Choice][?] ";
const std::string kTitle = "\f\n\n\n\n\n\n                  Welcome to Kessandor!" + kMenu;
const std::string kCredits =
    "\fProgramming: The Kessandor developers\nE-mail:      kessandor@example.org\n"
    "Version:     1.0\n\nLook for the latest version at https://kessandor.example.org/";
const std::string kInstructions =
    "\f\t\t\t***Instructions***\n\n\n"
    "Morwayne is a game of intersteller trading.  The object is to amass the\n"
    "greatest amount of wealth. You accomplish this by establishing Companies and\n"
    "investing stock in them.  As these companies grow in size, so will their stock.\n\n"
    "Each day, you will be presented five spaces in which you can build an\n"
    "outpost ('+'). Building an outpost next to a star ('*') or next to another\n"
    "outpost will produce a new company that you can invest stock in.  Building\n"
    "next to a company will expand that company and raise it's stock price.  If two\n"
    "companies come into contact with each other, they will merge, giving bonuses to\n"
    "players baised on how much stock they own.  But this could help your opponent\n"
    "out more than you if you're not careful!\n\n"
    "The player with the highest networth at the end of 23 days will be the winner!\n\n"
    "EOF.";

TEST_F(FlowScreen, TitleMenuAndItsInformationScreens) {
    const struct {
        const char* typed;
        std::string after;  // what follows the title screen
    } cases[] = {
        {"q\n", ""},
        {"hc\nQ\n", "\fHall of fame is not implemented in this version" + kMenu + kCredits + kMenu},
        {"i\nQ\n", kInstructions + kMenu},
        {"x\nQ\n", "\fSorry, that is not a valid choice." + kMenu},
        {"", "\n"},  // end of input at the title menu
    };
    for (const auto& c : cases) {
        ScreenCapture screen(c.typed);
        EXPECT_EQ(runMainLoop(), 0);
        EXPECT_EQ(screen.output(), kTitle + c.after);
        EXPECT_EQ(theGame, nullptr);
    }
}

TEST_F(FlowScreen, PlayerCountIsAskedUntilOneToFiveThenEveryName) {
    const struct {
        const char* typed;
        int rejected;
        std::vector<std::string> names;
    } cases[] = {{"s\n0\n6\n-1\nabc\n2\nAnn Lee\n", 4, {"Ann", "Lee"}},
                 {"S 5\na b c d e\n", 0, {"a", "b", "c", "d", "e"}},
                 {"S\n1\nSolo\n", 0, {"Solo"}}};
    for (const auto& c : cases) {
        ScreenCapture screen(c.typed);
        EXPECT_FALSE(mainMenu());
        std::string expected = kTitle +
                               "\n\n[1 to 5 people can play]\n"
                               "[How many people are playing][?]: ";
        for (int i = 0; i < c.rejected; ++i) {
            expected += "\n\n[Please Choose a Number Between 1 and 5]: ";
        }
        ASSERT_NE(theGame, nullptr);
        ASSERT_EQ(theGame->playerCount(), std::ssize(c.names));
        for (int p = 0; p < theGame->playerCount(); ++p) {
            expected += "[What is player " + std::to_string(p + 1) + "'s name][?]: ";
            EXPECT_EQ(theGame->playerName(p), c.names.at(p));
        }
        EXPECT_EQ(screen.output(), expected);
        theGame.reset();
    }
}

// Each prompt by a text its line holds, and the answer to type there.
using Prompts = std::vector<std::pair<std::string, std::string>>;
const std::string kBuildPrompt = "Build][?] ", kTurnPrompt = "[Choice][?]  ";

// Plays by reading the screen: whenever the typed input runs out, answers the prompt on the
// last line shown by the first of `answers` that it holds, the build prompt with the first
// offered spot and the turn menu of `quitDay` with a confirmed quit. The input ends at
// `endAt`, or at a prompt without an answer.
struct Robot {
    Robot(ScreenCapture& screen, const Prompts& answers, const std::string& endAt = "",
          int quitDay = 0) {
        screen.input().refill = [=, this, &screen, asked = 0]() mutable {
            shown += screen.takeOutput();
            // The prompt showing is the one that stands last, on the last line.
            const auto place = [&](const auto& a) { return shown.rfind(a.first) + 1; };
            const auto answer = std::ranges::max_element(answers, {}, place);
            if (place(*answer) <= shown.rfind('\n') + 1 || ++asked > 5000) {
                return std::string();
            }
            if (answer->first == endAt) {
                endedAt = endAt;
                return std::string();
            }
            if (answer->first == kBuildPrompt) {
                return Game::columnLetter(theGame->offeredColumn(0)) +
                       std::to_string(theGame->offeredRow(0) + 1) + "\n";
            }
            return answer->first == kTurnPrompt && theGame->day() == quitDay ? "Q\nY\n"
                                                                             : answer->second;
        };
    }
    std::string shown;    // everything printed until the input ended
    std::string endedAt;  // `endAt` once the input ended there
};

TEST_F(FlowScreen, EndOfInputAtAnyPromptEndsTheLineAndTheProgram) {
    const Prompts answers = {
        {kMenuPrompt, "S\n"},    {"playing][?]: ", "7\n"}, {"1 and 5]: ", "1\n"},
        {"name][?]: ", "Ann\n"}, {kTurnPrompt, "Q\n"},     {"quit][?]: ", "N\nB\n"},
        {kBuildPrompt, ""},      {"[Choice]?  ", "B\n"},   {" each, Can buy ", "0\n"}};
    for (const auto& [prompt, reply] : answers) {
        Game::fixClock(4242U);
        ScreenCapture screen;
        const Robot robot(screen, answers, prompt);
        EXPECT_EQ(runMainLoop(), 0);
        EXPECT_EQ(robot.endedAt, prompt);
        EXPECT_EQ(screen.takeOutput(), "\n") << prompt;
        EXPECT_EQ(theGame, nullptr);
    }
}

std::vector<std::string> turnHeaders(const std::string& shown) {  // whole lines
    std::vector<std::string> headers;
    for (std::size_t at = shown.find("'s Turn]"); at != std::string::npos;
         at = shown.find("'s Turn]", at + 1)) {
        const std::size_t start = shown.rfind('\n', at) + 1;
        headers.push_back(shown.substr(start, shown.find('\n', at) - start));
    }
    return headers;
}

// 25 - 2 x players is the day reached after the last day of turns; a quit ends its day at
// once and the game with it, with the standings only when that day was the last.
TEST_F(FlowScreen, GameLengthAndTheStandingsAfterTheLastDay) {
    const struct {
        int players;
        int quitDay;  // 0: play to the end
        int daysOfTurns;
        bool standings;
    } cases[] = {{1, 0, 22, true},  {2, 0, 20, true}, {3, 0, 18, true},
                 {4, 0, 16, true},  {5, 0, 14, true}, {2, 20, 20, true},
                 {1, 22, 22, true}, {2, 5, 5, false}, {3, 1, 1, false}};
    for (const auto& c : cases) {
        startScreenGame(c.players);
        theGame->resetMap(c.players);  // stars again
        ScreenCapture screen;
        Robot robot(screen, {{kTurnPrompt, "B\n"}, {kBuildPrompt, ""}, {"[Choice]?  ", "E\n"}}, "",
                    c.quitDay);
        playGame();
        robot.shown += screen.takeOutput();

        std::vector<std::string> expected;
        for (int day = 1; day <= c.daysOfTurns; ++day) {
            for (int p = 0; p < c.players && !(day == c.quitDay && p > 0); ++p) {
                expected.push_back(
                    std::string("[")
                        .append(kPlayerNames.at(p))
                        .append("'s Turn]          [Day: " + std::to_string(day) + "]"));
            }
        }
        EXPECT_EQ(turnHeaders(robot.shown), expected) << c.players << " quit " << c.quitDay;
        // The standings are the last screen, and the only one.
        const auto standings = robot.shown.find("*** Incoming Announcement ***");
        EXPECT_EQ(standings != std::string::npos && standings > robot.shown.rfind('\f'),
                  c.standings);
        EXPECT_EQ(theGame->day(), c.daysOfTurns + 1);
        theGame.reset();
    }
}

}  // namespace
