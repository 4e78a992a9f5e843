#include "console/console.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <limits>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "console/terminal.h"

namespace {

using Traits = std::char_traits<char>;

// Standard output as the game writes it: what is printed collects in a buffer, and each
// flush hands it to the system in one write call. The game flushes at every line end and
// before every read, so a game makes one write per line and one per prompt, and nothing
// else stands between a screen and the system.
class StandardOutput : public std::streambuf {
public:
    StandardOutput() { clear(); }

protected:
    // Returns -1 when the system refuses the bytes; errno says why.
    int sync() override {
        const char* next = pbase();
        const char* const end = pptr();
        clear();  // whatever happens, the bytes are not offered twice
        while (next < end) {
            const auto written = writeSome(next, end - next);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return -1;
            }
            next += written;
        }
        return 0;
    }

    // The usual print: a short text that fits.
    std::streamsize xsputn(const char* text, std::streamsize size) override {
        if (size > epptr() - pptr()) {
            return std::streambuf::xsputn(text, size);
        }
        Traits::copy(pptr(), text, static_cast<std::size_t>(size));
        pbump(static_cast<int>(size));
        return size;
    }

    // A full buffer (a text longer than any line of the game) goes out before the rest.
    int_type overflow(int_type c) override {
        if (sync() != 0) {
            return Traits::eof();
        }
        if (!Traits::eq_int_type(c, Traits::eof())) {
            sputc(Traits::to_char_type(c));
        }
        return Traits::not_eof(c);
    }

private:
    void clear() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

    static std::ptrdiff_t writeSome(const char* bytes, std::ptrdiff_t size) {
#if defined(_WIN32)
        return _write(1, bytes, static_cast<unsigned int>(size));  // text mode, as stdout
#else
        return ::write(STDOUT_FILENO, bytes, static_cast<std::size_t>(size));
#endif
    }

    std::array<char, 4096> buffer_{};
};

// Built on first use, by the console that is created before main starts.
std::ostream& standardOutput() {
    static StandardOutput buffer;
    static std::ostream stream(&buffer);
    return stream;
}

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

// Failed output ends the game; errno still says why, or the stream failed earlier.
[[noreturn]] void outputFailed() {
    throw OutputFailed{errno != 0 ? errno : EIO};
}

}  // namespace

std::unique_ptr<Console> theConsole = std::make_unique<Console>();

Console::Console() : in_(std::cin.rdbuf()), out_(&standardOutput()) {}

void Console::clearScreen() {
    terminal::clearScreen(*out_);
}

void Console::newLines(std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        print('\n');
        flush();
    }
}

// The prints and the flush talk to the stream's buffer directly: a game prints some 50,000
// pieces, and the stream's own checks around each cost more than the copying.
void Console::flush() {
    errno = 0;
    // The stream's state catches what clearScreen wrote through the stream itself.
    if (out_->rdbuf()->pubsync() != 0 || !*out_) {
        outputFailed();
    }
}

void Console::print(std::string_view text) {
    if (out_->rdbuf()->sputn(text.data(), std::ssize(text)) != std::ssize(text)) {
        outputFailed();
    }
}

void Console::print(std::int32_t value) {
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    print(std::string_view(digits.data(), result.ptr - digits.data()));
}

void Console::print(char c) {
    if (Traits::eq_int_type(out_->rdbuf()->sputc(c), Traits::eof())) {
        outputFailed();
    }
}

// The watch hears of the read before its prompt is flushed: at a table, the server must know
// whose answer the prompt asks for by the time anyone can see it.
void Console::startRead() {
    if (watch_ != nullptr) {
        watch_->beforeRead();
    }
    flush();
}

std::int32_t Console::readInt() {
    startRead();
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
    startRead();
    skipWhiteSpace(*in_);
    return Traits::to_char_type(in_->sbumpc());
}

std::string Console::readWord() {
    startRead();
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
    if (watch_ != nullptr) {
        flush();
        if (!watch_->beforeKeyWait()) {
            return;
        }
    }
    terminal::waitKey();
}
