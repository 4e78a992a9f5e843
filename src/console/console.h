// The console facade: every screen of the game talks to the player through theConsole.
//
// Output goes to the buffered standard output; it becomes visible at each line end and
// before each read. All answers come from one line-buffered standard input: each read
// skips white space and takes one item, and whatever it does not take stays pending for
// the next read, so several answers may be typed on one line.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

// Thrown by a read that finds standard input ended with nothing but white space before
// the end. The program's main loop catches it and ends the program normally; nothing
// below the main loop handles it.
struct EndOfInput {};

// Thrown when standard output cannot take what the game printed (a full disk, a reader
// that has gone, a closed stream or a terminal that hung up): nobody can see the game any
// more. `error` is the errno value of the failure. The main loop frees the game and lets
// it pass; main reports it and ends the program with status 1.
struct OutputFailed {
    int error;
};

// What table mode (src/table/) hears of the reads; the ordinary game has no such watch.
class InputWatch {
public:
    virtual ~InputWatch() = default;
    // Before a read takes anything, just before its prompt is flushed. May throw to abandon
    // the read.
    virtual void beforeRead() = 0;
    // Before a key wait, the output flushed. False ends the wait at once, as if a key had
    // been pressed.
    virtual bool beforeKeyWait() = 0;
};

class Console {
public:
    // The longest word readWord returns, in bytes (a player name holds up to 19).
    static constexpr std::size_t kWordLength = 19;

    // Talks through standard input and output.
    Console();
    // Talks through `in` and `out` instead, for tests and tools that run the game in-process.
    // REQUIRES: both outlive the console.
    Console(std::streambuf& in, std::ostream& out) : in_(&in), out_(&out) {}

    // Clears the window; the next output starts at its top left corner.
    // REQUIRES: everything printed before has been flushed (by a read or by newLines).
    void clearScreen();

    // Writes n line ends, flushing after each one; n <= 0 writes nothing.
    void newLines(std::int32_t n);

    // Makes everything printed so far visible. Every read and every line end flushes; main
    // flushes once more before the program ends. Throws OutputFailed when the output failed.
    void flush();

    // Write without line end, separator or flush.
    void print(std::string_view text);
    void print(std::int32_t value);  // plain decimal, minus sign when negative
    void print(char c);

    // Reads an optional sign and the digits after it; the character that ends the number
    // stays pending. Beyond the 32-bit range the value clamps to the nearest limit. A reply
    // that does not begin with a number gives 0 and the rest of its line is discarded.
    std::int32_t readInt();

    // Reads the next character that is not white space, unchanged.
    char readChar();

    // Reads one word delimited by white space. A longer word is cut to its first
    // kWordLength bytes (never inside a UTF-8 character) and the rest of it is discarded.
    std::string readWord();

    // Waits for one key press on the keyboard itself, without echo and without Enter.
    // Never touches what is pending in standard input. Does not flush, except under a watch,
    // which must hear of the wait only once the screen is out.
    void waitKey();

    // Table mode: the answers come from `in` from now on, and `watch` hears of every read and
    // key wait. REQUIRES: both outlive the console.
    void watchInput(std::streambuf& in, InputWatch& watch) {
        in_ = &in;
        watch_ = &watch;
    }

private:
    void startRead();  // the flush, and the watch's say, before every read

    std::streambuf* in_;
    std::ostream* out_;
    InputWatch* watch_ = nullptr;
};

// The one console of the run: created before main starts, destroyed by main as its last act.
extern std::unique_ptr<Console> theConsole;
