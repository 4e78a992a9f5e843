// A megabyte typed on one line at each kind of prompt. A terminal cuts lines at 4096 bytes,
// so these go through a pipe.
#include "harness.h"

namespace e2e {
namespace {

const std::size_t kMegabyte = std::size_t{1} << 20;
const long kMaxGrowthKb = 512;  // a game that kept the line would grow by a megabyte or more

TEST(LongLine, IsReadInBoundedMemoryAtEveryPrompt) {
    const struct {
        const char* prompt;
        Stop reach;  // played to by the robot in a one-player game, or None: the title menu
        std::string head;
        char fill;  // the line is head, then the fill, then tail
        std::string tail;
        std::string shown;  // what must show after the line
    } cases[] = {
        {"menu choice", Stop::None, "", ' ', "h\n", "Hall of fame is not implemented"},
        {"player count", Stop::None, "s\n", '9', "\n",
         "[Please Choose a Number Between 1 and 5]: "},
        {"name", Stop::None, "s\n1\n", 'N', "\n",
         std::string("\n[").append(19, 'N').append("'s Turn]")},
        {"build coordinate", Stop::Build, "", 'x', "\ne\n", "[Day: 2]"},
        {"stock-stage choice", Stop::Stock, "", ' ', "e\n", "[Choice][?]  "},
        {"share count", Stop::Buy, "", '9', "\n", "How many Shares of "},  // asked again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prompt);
        long residentKb[2] = {0, 0};
        for (const std::size_t length : {std::size_t{20}, kMegabyte}) {  // 20: too long already
            Session s(Wiring::Pipes);
            if (c.reach != Stop::None) {
                ASSERT_TRUE(startGame(s, {"Ann"}));
                ASSERT_EQ((Robot{s, true}.playUntil({c.reach})), c.reach);
            }
            const std::string head = c.reach == Stop::Build ? offeredSpots(s).at(0) : c.head;
            s.send(head + std::string(length, c.fill) + c.tail);
            EXPECT_TRUE(s.expect(c.shown));
            EXPECT_EQ(s.segment().find("Sorry"), npos) << s.screen();
            EXPECT_EQ(s.segment().find("not a valid"), npos) << s.screen();
            s.closeInput();
            EXPECT_EQ(s.finish(), 0) << s.screen();
            residentKb[length == kMegabyte] = s.usage().ru_maxrss;
        }
        EXPECT_LT(residentKb[1], residentKb[0] + kMaxGrowthKb) << "the same game with a short line";
    }
}

}  // namespace
}  // namespace e2e
