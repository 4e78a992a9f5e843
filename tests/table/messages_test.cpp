// The table descriptor's lines: what the game writes names every player in one word, and of what
// the server writes only well-formed "away P" and "back P" lines count, split wherever the reads
// fall, an overlong line dropped whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table/messages.h"

namespace {

using table::LineSplitter;
using table::ServerMessage;

TEST(TableLines, NamesAreOneWordAsTheRecordEscapesThem) {
    EXPECT_EQ(table::playerLine(0, false, "Ann"), "player 0 person Ann");
    EXPECT_EQ(table::playerLine(4, true, "Computer-1"), "player 4 computer Computer-1");
    EXPECT_EQ(table::playerLine(1, false, "Ann Lee\t100%"), "player 1 person Ann%20Lee%09100%25");
    EXPECT_EQ(table::playerLine(2, false, ""), "player 2 person %");
    EXPECT_EQ(table::turnLine(3, 17), "turn 3 17");
    const GameResult result{"2026-12-07T19:17:00Z", -1, {{"Bo b", 9000, 1}, {"Ann", 7000, 2}}};
    EXPECT_EQ(table::resultLine(result),
              "result 2026-12-07T19:17:00Z 2 people Bo%20b 9000 1 Ann 7000 2");
}

TEST(TableLines, OnlyAwayAndBackOfAPlayerIndexAreMessages) {
    for (std::int32_t p = 0; p < kMaxPlayers; ++p) {
        const auto away = table::parseServerLine("away " + std::to_string(p));
        ASSERT_TRUE(away);
        EXPECT_EQ(away->kind, ServerMessage::Kind::away);
        EXPECT_EQ(away->player, p);
        const auto back = table::parseServerLine("back " + std::to_string(p));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->kind, ServerMessage::Kind::back);
        EXPECT_EQ(back->player, p);
    }
    for (const char* line : {"",
                             "away",
                             "away ",
                             "away 5",
                             "away 10",
                             "away -1",
                             "away +1",
                             "away  1",
                             " away 1",
                             "away 1 ",
                             "away 1\r",
                             "away 1x",
                             "away x",
                             "Away 1",
                             "AWAY 1",
                             "awayx 1",
                             "gone 1",
                             "back",
                             "away 99999999999999999999",
                             "away 0x1",
                             "away 1\n"}) {
        EXPECT_FALSE(table::parseServerLine(line)) << line;
    }
}

// Every way of cutting `text` in two reads, and the whole in one.
std::vector<std::vector<std::string>> splitEveryWay(const std::string& text) {
    std::vector<std::vector<std::string>> results;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        LineSplitter lines;
        std::vector<std::string> got = lines.take(text.substr(0, cut));
        for (std::string& line : lines.take(text.substr(cut))) {
            got.push_back(std::move(line));
        }
        results.push_back(std::move(got));
    }
    return results;
}

TEST(TableLines, LinesAreCutAtTheirEndsWhereverTheReadsFall) {
    const std::vector<std::string> expected = {"away 1", "", "back 1"};
    for (const auto& got : splitEveryWay("away 1\n\nback 1\naway")) {
        EXPECT_EQ(got, expected);  // the last line has no end yet
    }
}

TEST(TableLines, ALineLongerThanTheLimitIsDroppedWholeAndTheNextKept) {
    const std::string longest(LineSplitter::kLongestLine, 'x');
    for (const auto& got : splitEveryWay(longest + "\n" + longest + "y\naway 2\n")) {
        EXPECT_EQ(got, (std::vector<std::string>{longest, "away 2"}));
    }
    // However many reads it takes to arrive.
    LineSplitter lines;
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(lines.take(std::string(1000, 'z')).empty());
    }
    EXPECT_EQ(lines.take("tail\nback 3\n"), std::vector<std::string>{"back 3"});
}

}  // namespace
