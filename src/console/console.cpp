#include "console/console.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <limits>

#include "console/terminal.h"

std::unique_ptr<Console> theConsole = std::make_unique<Console>();

namespace {

using Traits = std::char_traits<char>;

bool isWhiteSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// Skips white space and returns the next character without taking it.
// Throws EndOfInput when the input ends first.
int skipWhiteSpace(std::streambuf& in) {
    for (;;) {
        const int c = in.sgetc();
        if (c == Traits::eof()) {
            throw EndOfInput{};
        }
        if (!isWhiteSpace(c)) {
            return c;
        }
        in.sbumpc();
    }
}

// Drops everything up to and including the next line end, so the next read waits for a
// new line instead of tripping over the rest of a bad reply.
void discardRestOfLine(std::streambuf& in) {
    for (int c = in.sbumpc(); c != Traits::eof() && c != '\n'; c = in.sbumpc()) {
    }
}

bool isUtf8Continuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0U) == 0x80U;
}

// Where to cut `word` so that at most `limit` bytes remain and no UTF-8 character is split.
// REQUIRES: word.size() > limit.
std::size_t utf8Cut(const std::string& word, std::size_t limit) {
    constexpr std::size_t kLongestContinuation = 3;  // a UTF-8 character has at most 4 bytes
    std::size_t cut = limit;
    for (std::size_t step = 0; step < kLongestContinuation && isUtf8Continuation(word[cut]);
         ++step) {
        --cut;
    }
    // A run of continuation bytes longer than any character is not UTF-8: cut at the limit.
    return isUtf8Continuation(word[cut]) ? limit : cut;
}

}  // namespace

Console::Console() : in_(std::cin.rdbuf()), out_(&std::cout) {}

void Console::clearScreen() {
    terminal::clearScreen(*out_);
}

void Console::newLines(std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        out_->put('\n');
        flush();
    }
}

void Console::flush() {
    errno = 0;
    out_->flush();
    if (!*out_) {
        // A stream that failed earlier does not try again; then there is no errno to tell.
        throw OutputFailed{errno != 0 ? errno : EIO};
    }
}

void Console::print(std::string_view text) {
    out_->write(text.data(), std::ssize(text));
}

void Console::print(std::int32_t value) {
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    out_->write(digits.data(), result.ptr - digits.data());
}

void Console::print(char c) {
    out_->put(c);
}

std::int32_t Console::readInt() {
    flush();
    std::streambuf& in = *in_;
    int c = skipWhiteSpace(*in_);
    const bool negative = c == '-';
    if (c == '-' || c == '+') {
        in.sbumpc();
        c = in.sgetc();
    }
    if (!isDigit(c)) {
        discardRestOfLine(*in_);
        return 0;
    }
    // The magnitude saturates one past the largest int32, which is exactly the negative limit.
    constexpr std::int64_t kSaturated = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; isDigit(c); c = in.sgetc()) {
        magnitude = std::min(magnitude * 10 + (c - '0'), kSaturated);
        in.sbumpc();
    }
    if (negative) {
        return static_cast<std::int32_t>(-magnitude);
    }
    return static_cast<std::int32_t>(std::min(magnitude, kSaturated - 1));
}

char Console::readChar() {
    flush();
    skipWhiteSpace(*in_);
    return Traits::to_char_type(in_->sbumpc());
}

std::string Console::readWord() {
    flush();
    std::streambuf& in = *in_;
    std::string word;
    // Keep one byte more than fits, to see whether the cut would split a character.
    for (int c = skipWhiteSpace(*in_); c != Traits::eof() && !isWhiteSpace(c); c = in.sgetc()) {
        if (word.size() <= kWordLength) {
            word.push_back(Traits::to_char_type(c));
        }
        in.sbumpc();
    }
    if (word.size() > kWordLength) {
        word.resize(utf8Cut(word, kWordLength));
    }
    return word;
}

void Console::waitKey() {
    terminal::waitKey();
}
