// The title menu, its information screens and the end of input. The exact screens are
// checked in process; here, what the real binary does on a terminal or a pipe.
#include "harness.h"

namespace e2e {
namespace {

// Lower-case keys, two of them on one line, each screen cleared with escape codes.
TEST(TitleMenu, ClearsTheWindowForEachScreenAndQuitsQuietly) {
    Session s;
    ASSERT_TRUE(s.expect(kMenuPrompt));
    EXPECT_TRUE(s.consumed().starts_with(kTitle)) << "the title screen comes first";
    s.send("hc\n");
    for (const char* screen : {"Hall of fame is not implemented", "Programming: "}) {
        ASSERT_TRUE(s.expect(kClear + screen));
        ASSERT_TRUE(s.expect(kMenuPrompt));
    }
    s.send("q\n");
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.rest(), "q\n") << "only the echo of the key: nothing is cleared or written";
}

TEST(TitleMenu, AsksAgainForABadPlayerCountAndTakesANameWordByWord) {
    Session s;
    s.send("s\n0\n6\n-1\nabc\n2\n");
    for (int bad = 0; bad < 4; ++bad) {
        ASSERT_TRUE(s.expect("\n\n[Please Choose a Number Between 1 and 5]: "));
    }
    ASSERT_TRUE(s.expect("[What is player 1's name][?]: "));
    s.send("Ann Lee\n");  // the second word answers the second prompt at once
    ASSERT_TRUE(s.expect("[What is player 2's name][?]: "));
    ASSERT_TRUE(s.expect("[Ann's Turn]          [Day: 1]"));
    s.send("q\ny\nq\n");
    EXPECT_EQ(s.finish(), 0);
}

TEST(TitleMenu, EndOfInputAtAnyPromptEndsTheLineAndExitsAtOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "[Your Choice][?] "},
        {"s\n", "[How many people are playing][?]: "},
        {"s\n1\n", "[What is player 1's name][?]: "}};
    for (const auto& [keys, prompt] : cases) {
        SCOPED_TRACE(prompt);
        Session s;
        s.send(keys);
        ASSERT_TRUE(s.expect(prompt));
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
    EXPECT_TRUE(out.starts_with("\f\n\n\n\n\n\n                  Welcome to Kessandor!\n")) << out;
    EXPECT_EQ(std::ranges::count(out, '\f'), 5) << out;  // title and four screens
    EXPECT_EQ(out.find('\x1b'), npos) << out;
}

}  // namespace
}  // namespace e2e
