// A megabyte typed on one line at each kind of prompt. A terminal cuts lines at 4096 bytes,
// so these go through a pipe.
#include "harness.h"

namespace e2e {
namespace {

const std::size_t kMegabyte = std::size_t{1} << 20;
const long kMaxGrowthKb = 512;  // a game that kept the line would grow by a megabyte or more

// Plays a one-player game up to its first stock stage.
void reachStockStage(Session& s) {
    ASSERT_TRUE(startGame(s, {"Ann"}));
    ASSERT_EQ(Robot{s}.playUntil({Stop::Stock}), Stop::Stock);
}

TEST(LongLine, IsReadInBoundedMemoryAtEveryPrompt) {
    struct Case {
        const char* prompt;
        std::function<std::string(Session&)> reach;  // returns what must show after the line
        std::function<std::string(Session&, std::size_t)> line;  // n bytes long
    } const cases[] = {
        {"menu choice", [](Session&) { return "Hall of fame is not implemented"; },
         [](Session&, std::size_t n) { return std::string(n, ' ') + "h\n"; }},
        {"player count",
         [](Session& s) {
             s.send("s\n");
             return "\n\n[Please Choose a Number Between 1 and 5]: ";
         },
         [](Session&, std::size_t n) { return std::string(n, '9') + "\n"; }},
        {"name",
         [](Session& s) {
             s.send("s\n1\n");
             return "\n[" + std::string(19, 'N') + "'s Turn]";
         },
         [](Session&, std::size_t n) { return std::string(n, 'N') + "\n"; }},
        {"build coordinate",
         [](Session& s) {
             startGame(s, {"Ann"});
             s.send("b\n");
             s.expect("[Where Do you Wish to Build][?] ");
             return "[Day: 2]";
         },
         [](Session& s, std::size_t n) {
             return offeredSpots(s).at(0) + std::string(n, 'x') + "\ne\n";
         }},
        {"stock-stage choice",
         [](Session& s) {
             reachStockStage(s);
             return "[Choice][?]  ";
         },
         [](Session&, std::size_t n) { return std::string(n, ' ') + "e\n"; }},
        {"share count",
         [](Session& s) {
             reachStockStage(s);
             s.send("b\n");
             EXPECT_EQ(nextStop(s), Stop::Buy);
             const std::string_view seen = s.consumed();
             return std::string(seen.substr(seen.rfind("How many Shares of ")));
         },
         [](Session&, std::size_t n) { return std::string(n, '9') + "\n"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prompt);
        long residentKb[2] = {0, 0};
        for (const std::size_t length : {std::size_t{20}, kMegabyte}) {  // 20: too long already
            Session s(Wiring::Pipes);
            const std::string after = c.reach(s);
            s.send(c.line(s, length));
            EXPECT_TRUE(s.expect(after));
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
