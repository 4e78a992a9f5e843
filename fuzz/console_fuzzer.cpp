// Fuzzing the console's three reads alone. The input is
//   one header byte: its low 4 bits are the schedule length - 1; bit 7 hands the text to the
//     reader at once, otherwise a chunk at a time, as a terminal hands over lines;
//   the schedule bytes: the low 2 bits choose the read (0 number, 1 character, 2 and 3 word),
//     the next 3 bits the size of a chunk of input, 1 to 8 bytes;
//   the text typed.
// The reads run in schedule order, round and round, until the input ends. Each result and
// what each read leaves pending is checked against the reads' contracts, worked out from the
// text alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "harness.h"
#include "random_play.h"

namespace {

[[noreturn]] void broken(const std::string& what, std::size_t at) {
    std::fprintf(stderr, "console contract broken at byte %zu of the text: %s\n", at, what.c_str());
    std::abort();
}

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

// What the player typed, and how far the reads should have got in it.
class Typed {
public:
    explicit Typed(std::string_view text) : text_(text) {}

    std::size_t position() const { return pos_; }

    // Skips white space; false when only white space was left (the input has ended).
    bool skipWhiteSpace() {
        while (pos_ < text_.size() && isWhiteSpace(text_[pos_])) {
            ++pos_;
        }
        return pos_ < text_.size();
    }

    // An optional sign and the digits after it, clamped to 32 bits; a reply that is not a
    // number gives 0 and its line is dropped.
    std::int32_t number() {
        const bool negative = text_[pos_] == '-';
        if (text_[pos_] == '-' || text_[pos_] == '+') {
            ++pos_;
        }
        if (pos_ == text_.size() || !isDigit(text_[pos_])) {
            const std::size_t lineEnd = text_.find('\n', pos_);
            pos_ = lineEnd == std::string_view::npos ? text_.size() : lineEnd + 1;
            return 0;
        }
        constexpr std::int64_t kBeyond = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
        std::int64_t magnitude = 0;
        for (; pos_ < text_.size() && isDigit(text_[pos_]); ++pos_) {
            magnitude = std::min(magnitude * 10 + (text_[pos_] - '0'), kBeyond);
        }
        return static_cast<std::int32_t>(negative ? -magnitude : std::min(magnitude, kBeyond - 1));
    }

    char character() { return text_[pos_++]; }

    // The whole word up to the next white space.
    std::string_view word() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !isWhiteSpace(text_[pos_])) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// A word read for `typed`: the whole of it when it fits, else as much of it as fits without
// splitting a UTF-8 character (a run of continuation bytes too long for any character is
// not UTF-8 and may be cut anywhere).
bool wordFits(std::string_view got, std::string_view typed) {
    constexpr std::size_t kMost = Console::kWordLength;
    if (got.size() > kMost || typed.substr(0, got.size()) != got) {
        return false;
    }
    if (typed.size() <= kMost) {
        return got.size() == typed.size();
    }
    const std::size_t cut = got.size();
    bool endsOnBoundary = cut + 3 >= kMost && !isContinuation(typed[cut]);
    for (std::size_t i = cut + 1; i <= kMost; ++i) {
        endsOnBoundary = endsOnBoundary && isContinuation(typed[i]);  // nothing more would fit
    }
    bool notUtf8 = cut == kMost;
    for (std::size_t i = kMost - 3; i <= kMost; ++i) {
        notUtf8 = notUtf8 && isContinuation(typed[i]);
    }
    return endsOnBoundary || notUtf8;
}

enum class Read { kNumber, kCharacter, kWord };

struct Answer {
    std::int32_t number = 0;
    char character = 0;
    std::string word;
};

Answer perform(Read read) {
    Answer answer;
    switch (read) {
        case Read::kNumber:
            answer.number = theConsole->readInt();
            break;
        case Read::kCharacter:
            answer.character = theConsole->readChar();
            break;
        case Read::kWord:
            answer.word = theConsole->readWord();
            break;
    }
    return answer;
}

// Whether the answer is what the player typed. REQUIRES: typed is at a reply.
bool matches(Read read, const Answer& answer, Typed& typed) {
    switch (read) {
        case Read::kNumber:
            return answer.number == typed.number();
        case Read::kCharacter:
            return answer.character == typed.character();
        case Read::kWord:
            return wordFits(answer.word, typed.word());
    }
    return false;
}

// Performs one read and checks it. Returns false when the input has ended.
bool readAndCheck(Read read, Typed& typed, const fuzzing::ByteInput& input) {
    const std::size_t at = typed.position();
    const bool ended = !typed.skipWhiteSpace();
    Answer answer;
    try {
        answer = perform(read);
    } catch (const EndOfInput&) {
        if (!ended) {
            broken("a read found the input ended before its end", at);
        }
        return false;
    }
    if (ended) {
        broken("a read returned after the input ended", at);
    }
    if (!matches(read, answer, typed)) {
        broken("read " + std::to_string(static_cast<int>(read)) + " gave the number " +
                   std::to_string(answer.number) + ", the character " +
                   std::to_string(static_cast<int>(answer.character)) + " or the word \"" +
                   answer.word + "\"",
               at);
    }
    if (input.consumed() != typed.position()) {
        broken("the read took " + std::to_string(input.consumed() - at) + " bytes, expected " +
                   std::to_string(typed.position() - at),
               at);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzzing::prepareInProcessRuns();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t scheduleLength = std::min<std::size_t>((data[0] & 0x0FU) + 1, size - 1);
    const bool atOnce = (data[0] & 0x80U) != 0;
    std::vector<Read> schedule;
    std::vector<std::size_t> chunks;
    for (std::size_t i = 1; i <= scheduleLength; ++i) {
        const unsigned choice = data[i] & 0x03U;
        schedule.push_back(choice == 0   ? Read::kNumber
                           : choice == 1 ? Read::kCharacter
                                         : Read::kWord);
        chunks.push_back(((data[i] >> 2U) & 0x07U) + 1);
    }
    if (schedule.empty()) {
        schedule.push_back(Read::kWord);
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + 1 + scheduleLength,
                                size - 1 - scheduleLength);
    fuzzing::ByteInput input(text, atOnce ? std::vector<std::size_t>{} : chunks);
    randomplay::DiscardBuffer discard;
    const fuzzing::StreamSwap swap(input, discard);
    Typed typed(text);
    for (std::size_t i = 0; readAndCheck(schedule[i % schedule.size()], typed, input); ++i) {
    }
    return 0;
}
