// The title menu, its information screens, the player set-up and the end of input.
#include "harness.h"

namespace e2e {
namespace {

const std::string kAfterScreen = "\n\n\n\n" + kMenu;  // the menu prints under every screen
const std::string kCredits[] = {kClear + "Programming: ", "\nE-mail:      ",
                                "\nVersion:     1.0\n\nLook for the latest version at ",
                                kAfterScreen};
const std::string kHallOfFame = kClear + "Hall of fame is not implemented in this version";

TEST(TitleMenu, ShowsEachScreenForLowerCaseKeysAndQuitsQuietly) {
    Session s;
    ASSERT_TRUE(s.expect(kTitle));
    EXPECT_EQ(s.consumed(), kTitle) << "the title screen comes first";
    struct Case {
        const char* keys;
        std::vector<std::string> screens;  // shown one after the other
    } const cases[] = {
        {"c\n", {kCredits[0], kCredits[1], kCredits[2], kCredits[3]}},
        {"h\n", {kHallOfFame + kAfterScreen}},
        {"i\n",
         {kClear + "\t\t\t***Instructions***\n\n\nMorwayne is a game of intersteller trading.  The "
                   "object is to amass the\n",
          "\n\nThe player with the highest networth at the end of 23 days will be the "
          "winner!\n\nEOF." +
              kAfterScreen}},
        {"x\n", {kClear + "Sorry, that is not a valid choice." + kAfterScreen}},
        {"hc\n", {kHallOfFame + kAfterScreen, kCredits[0], kCredits[3]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        s.send(c.keys);
        for (const std::string& screen : c.screens) {
            ASSERT_TRUE(s.expect(screen));
        }
    }
    s.send("q\n");
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.rest(), "q\n") << "only the echo of the key: nothing is cleared or written";
}

TEST(TitleMenu, AsksAgainForABadPlayerCountAndTakesNamesWordByWord) {
    Session s;
    ASSERT_TRUE(s.expect(kMenu));
    s.send("s\n");
    ASSERT_TRUE(s.expect("\n\n[1 to 5 people can play]\n[How many people are playing][?]: "));
    EXPECT_EQ(s.segment().find(kClear), std::string::npos) << "S does not clear the window";
    for (const char* count : {"0\n", "6\n", "-1\n", "abc\n"}) {
        SCOPED_TRACE(count);
        s.send(count);
        ASSERT_TRUE(s.expect("\n\n[Please Choose a Number Between 1 and 5]: "));
    }
    s.send("2\n");
    ASSERT_TRUE(s.expect("[What is player 1's name][?]: "));
    s.send("Ann Lee\n");  // the second word answers the second name at once
    ASSERT_TRUE(s.expect("[What is player 2's name][?]: "));
    ASSERT_TRUE(s.expect("\n[Ann's Turn]          [Day: 1]\n"));
    ASSERT_TRUE(s.expect("[Choice][?]  "));
    s.send("Q\n");
    ASSERT_TRUE(s.expect("\n[Do you really wish to quit][?]: "));
    s.send("Y\n");
    ASSERT_TRUE(s.expect(kTitle)) << "a quit on day 1 goes straight back to the title";
    EXPECT_EQ(s.segment().find("Lee's Turn"), std::string::npos);
    EXPECT_EQ(s.segment().find("Incoming Announcement"), std::string::npos);
    s.send("Q\n");
    EXPECT_EQ(s.finish(), 0);
}

TEST(TitleMenu, EndOfInputAtAnyPromptEndsTheLineAndExitsAtOnce) {
    struct Case {
        const char* keys;
        const char* prompt;
    } const cases[] = {{"", "[Your Choice][?] "},
                       {"s\n", "[How many people are playing][?]: "},
                       {"s\n1\n", "[What is player 1's name][?]: "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prompt);
        Session s;
        s.send(c.keys);
        ASSERT_TRUE(s.expect(c.prompt));
        const auto sent = std::chrono::steady_clock::now();
        s.closeInput();
        EXPECT_EQ(s.finish(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));
        EXPECT_EQ(s.rest(), "\n");
    }
}

TEST(TitleMenu, SeparatesScreensWithFormFeedsWhenOutputIsAPipe) {
    Session s(Wiring::Pipes);
    s.send("c\nh\ni\nx\nq\n");
    EXPECT_EQ(s.finish(), 0);
    const std::string_view out = s.rest();
    EXPECT_EQ(out.rfind("\f\n\n\n\n\n\n                  Welcome to Kessandor!\n", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\f'), 5) << out;  // title and four screens
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
}

}  // namespace
}  // namespace e2e
