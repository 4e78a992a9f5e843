// The scan of the game's bytes that decides where the client may write its status and when
// it must draw it again.
#include <gtest/gtest.h>

#include "client/screen.h"

namespace join {
namespace {

TEST(ByteScanner, AClearSplitAcrossChunksIsSeenWhereItEnds) {
    ByteScanner scanner;
    const auto first = scanner.scan("text\x1b[");
    EXPECT_FALSE(first.erasedStatus);
    EXPECT_FALSE(scanner.atBoundary());
    const auto second = scanner.scan("2J\x1b[3Jmore");
    EXPECT_TRUE(second.erasedStatus);
    EXPECT_EQ(second.clearEnd, 2U);
    EXPECT_TRUE(scanner.atBoundary());
}

TEST(ByteScanner, OnlyErasesThatReachTheLastRowCount) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"\x1b[J", true},
        {"\x1b[0J", true},
        {"\x1b[2J", true},
        {"\x1b[1J", false},
        {"\x1b[3J", false},
        {"\x1b[2K", false},
        {"\x1b[H", false},
        {"\x1b"
         "c",
         true},
        {"\x1b[r", true},
        {"\x1b]2;\x1b[2J\a", false},
        {"\x1b]2;x\x1b\\", false},
    };
    for (const auto& [bytes, erases] : cases) {
        ByteScanner scanner;
        EXPECT_EQ(scanner.scan(bytes).erasedStatus, erases) << bytes.substr(1);
        EXPECT_TRUE(scanner.atBoundary()) << bytes.substr(1);
    }
}

TEST(ByteScanner, WaitsForTheRestOfACharacterAndOfATitle) {
    ByteScanner scanner;
    scanner.scan("Zo\xc3");
    EXPECT_FALSE(scanner.atBoundary());
    scanner.scan("\xab");
    EXPECT_TRUE(scanner.atBoundary());
    scanner.scan("\xe2\x82");
    EXPECT_FALSE(scanner.atBoundary());
    scanner.scan("\xac\x1b]0;title");
    EXPECT_FALSE(scanner.atBoundary());
    scanner.scan("\a");
    EXPECT_TRUE(scanner.atBoundary());
}

TEST(StatusWrites, AreOneSequenceThatPutsTheCursorBack) {
    EXPECT_EQ(statusRowWrite("abc online"),
              "\x1b"
              "7\x1b[25;1H\x1b[2Kabc online\x1b"
              "8");
    EXPECT_EQ(titleWrite("abc online"), "\x1b]2;abc online\a");
}

}  // namespace
}  // namespace join
