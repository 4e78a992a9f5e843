// The console's writes and its three reads, driven through a scripted standard input.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <sstream>

#include "console/console.h"

namespace {

// A console on strings: what the player typed, and what the game printed.
struct Screen {
    explicit Screen(const std::string& typed = "") : in(typed) {}
    std::string pending() {  // typed but not read yet
        const auto at = in.pubseekoff(0, std::ios::cur, std::ios::in);
        return in.str().substr(static_cast<std::size_t>(at));
    }
    std::stringbuf in;
    std::ostringstream out;
    Console console{in, out};
};

TEST(Console, OneLineAnswersSeveralReads) {
    Screen screen("b c5 Ann Lee\n\n  7 x\n   yes\n");
    EXPECT_EQ(screen.console.readChar(), 'b');
    EXPECT_EQ(screen.console.readWord(), "c5");
    EXPECT_EQ(screen.console.readWord(), "Ann");
    EXPECT_EQ(screen.console.readWord(), "Lee");
    EXPECT_EQ(screen.console.readInt(), 7);
    EXPECT_EQ(screen.console.readChar(), 'x');
    EXPECT_EQ(screen.console.readChar(), 'y');
    EXPECT_EQ(screen.console.readChar(), 'e');
    EXPECT_EQ(screen.pending(), "s\n");
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
        Screen screen(script);
        EXPECT_EQ(screen.console.readInt(), value) << testing::PrintToString(script);
        EXPECT_EQ(screen.pending(), pending) << testing::PrintToString(script);
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
        Screen screen(word + " next\n");
        EXPECT_EQ(screen.console.readWord(), kept) << word;
        EXPECT_EQ(screen.pending(), " next\n") << word;  // the rest of the word is gone
    }
}

TEST(Console, EndOfInputEndsEveryReadButALastAnswerStillCounts) {
    const std::vector<std::function<void(Console&)>> reads = {[](Console& c) { c.readInt(); },
                                                              [](Console& c) { c.readChar(); },
                                                              [](Console& c) { c.readWord(); }};
    for (const std::string script : {"", "   \n\t \n"}) {
        for (const auto& read : reads) {
            Screen screen(script);
            EXPECT_THROW(read(screen.console), EndOfInput) << testing::PrintToString(script);
        }
    }
    Screen screen("42 x Ann");
    EXPECT_EQ(screen.console.readInt(), 42);
    EXPECT_EQ(screen.console.readChar(), 'x');
    EXPECT_EQ(screen.console.readWord(), "Ann");
    EXPECT_THROW(screen.console.readWord(), EndOfInput);
}

// Output that shows only what was flushed, as a terminal shows what reached it.
class Terminal : public std::streambuf {
public:
    std::string shown;

protected:
    int_type overflow(int_type c) override {
        held_ += traits_type::to_char_type(c);
        return c;
    }
    int sync() override {
        shown += held_;
        held_.clear();
        return 0;
    }

private:
    std::string held_;
};

struct Abandoned {};

// Table mode's watch: it hears of a read just before the prompt goes out (so the server knows
// whose answer a prompt asks for before anyone sees it) and of a key wait once its prompt is
// out, may abandon the read before it takes anything, and may end a key wait before it starts.
TEST(Console, AWatchHearsOfEachReadBeforeItsPromptAndOfEachKeyWaitAfterIt) {
    struct Watch : InputWatch {
        explicit Watch(const Terminal& terminal) : terminal(terminal) {}
        void beforeRead() override {
            heard.push_back("read after " + terminal.shown);
            if (abandon) {
                throw Abandoned{};
            }
        }
        bool beforeKeyWait() override {
            heard.push_back("key after " + terminal.shown);
            return false;
        }
        const Terminal& terminal;
        std::vector<std::string> heard;
        bool abandon = false;
    };
    std::stringbuf typed("Ann 7\n");
    std::stringbuf unused;
    Terminal terminal;
    std::ostream out(&terminal);
    Console console(unused, out);
    Watch watch(terminal);
    console.watchInput(typed, watch);
    console.print("name? ");
    EXPECT_EQ(console.readWord(), "Ann");
    watch.abandon = true;
    console.print("number? ");
    EXPECT_THROW(console.readInt(), Abandoned);
    watch.abandon = false;
    EXPECT_EQ(console.readInt(), 7);  // the abandoned read took nothing
    console.print("[Press Any Key]");
    console.waitKey();  // ended by the watch: no keyboard is read
    EXPECT_EQ(watch.heard,
              (std::vector<std::string>{"read after ", "read after name? ", "read after name? ",
                                        "key after name? number? [Press Any Key]"}));
}

}  // namespace
