// The console's writes and its three reads, driven through a scripted standard input.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "console/console.h"
#include "support/screen_capture.h"

namespace {

Console& console() {
    return *theConsole;
}

// Nothing is added before or after a number; only newLines writes line ends.
TEST(Console, NumbersAndLineEndsAreWrittenExactly) {
    ScreenCapture screen;
    for (const std::int32_t value : {0, 6000, -5, INT_MIN}) {
        console().print(value);
        console().print('|');
    }
    console().newLines(0);
    console().newLines(-1);
    console().newLines(3);
    EXPECT_EQ(screen.output(), "0|6000|-5|-2147483648|\n\n\n");
}

TEST(Console, OneLineAnswersSeveralReads) {
    ScreenCapture screen("b c5 Ann Lee\n\n  7 x\n   yes\n");
    EXPECT_EQ(console().readChar(), 'b');
    EXPECT_EQ(console().readWord(), "c5");
    EXPECT_EQ(console().readWord(), "Ann");
    EXPECT_EQ(console().readWord(), "Lee");
    EXPECT_EQ(console().readInt(), 7);
    EXPECT_EQ(console().readChar(), 'x');
    EXPECT_EQ(console().readChar(), 'y');
    EXPECT_EQ(console().readChar(), 'e');
    EXPECT_EQ(screen.input().pending(), "s\n");
}

// What readInt returns, and what it leaves pending for the next read. Blank lines are no
// answer; a non-number gives 0 and takes the rest of its line with it; a last answer without
// a line end still counts.
TEST(Console, ReadIntSignsClampingAndNonNumbers) {
    const std::vector<std::tuple<std::string, std::int32_t, std::string>> cases = {
        {"12abc\n", 12, "abc\n"},
        {"  -7\n", -7, "\n"},
        {"+3\n", 3, "\n"},
        {"\n  \n\t5\n", 5, "\n"},
        {"2147483647 ", INT_MAX, " "},
        {"2147483648\n", INT_MAX, "\n"},
        {"99999999999999999999x", INT_MAX, "x"},
        {"-2147483648\n", INT_MIN, "\n"},
        {"-2147483649\n", INT_MIN, "\n"},
        {"-99999999999999999999 1", INT_MIN, " 1"},
        {"abc 5\n7\n", 0, "7\n"},
        {"- 5\n7\n", 0, "7\n"},
        {"+\n7\n", 0, "7\n"},
        {"x", 0, ""},
        {"42", 42, ""}};
    for (const auto& [script, value, pending] : cases) {
        ScreenCapture screen(script);
        EXPECT_EQ(console().readInt(), value) << testing::PrintToString(script);
        EXPECT_EQ(screen.input().pending(), pending) << testing::PrintToString(script);
    }
}

// Words keep at most 19 bytes, cut before a UTF-8 character that would not fit whole.
TEST(Console, ReadWordBoundsLongWordsWithoutSplittingCharacters) {
    const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC", smile = "\xF0\x9F\x98\x80";
    auto a = [](std::size_t n) { return std::string(n, 'a'); };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {a(19), a(19)},         {a(20), a(19)},        {a(60), a(19)},
        {a(17) + e, a(17) + e}, {a(18) + e, a(18)},    {a(16) + euro, a(16) + euro},
        {a(17) + euro, a(17)},  {a(18) + euro, a(18)}, {a(15) + smile, a(15) + smile},
        {a(16) + smile, a(16)}, {a(18) + smile, a(18)}};
    for (const auto& [word, kept] : cases) {
        ScreenCapture screen(word + " next\n");
        EXPECT_EQ(console().readWord(), kept) << word;
        EXPECT_EQ(screen.input().pending(), " next\n") << word;  // the rest of the word is gone
    }
}

TEST(Console, EndOfInputEndsEveryReadButALastAnswerStillCounts) {
    const std::vector<std::function<void()>> reads = {
        [] { console().readInt(); }, [] { console().readChar(); }, [] { console().readWord(); }};
    for (const std::string script : {"", "   \n\t \n"}) {
        for (const auto& read : reads) {
            ScreenCapture screen(script);
            EXPECT_THROW(read(), EndOfInput) << testing::PrintToString(script);
        }
    }
    ScreenCapture screen("42 x Ann");
    EXPECT_EQ(console().readInt(), 42);
    EXPECT_EQ(console().readChar(), 'x');
    EXPECT_EQ(console().readWord(), "Ann");
    EXPECT_THROW(console().readWord(), EndOfInput);
}

}  // namespace
